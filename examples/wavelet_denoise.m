% wavelet_denoise.m: wavelet shrinkage with the decimated pair
% (kaldor, vestran) and the redundant pair (ostrevin, quillomar).
%
% A 1-D signal and an image are corrupted by Gaussian noise. Each is
% transformed with the orthonormal Daubechies filter of 4 taps, every
% detail coefficient is soft-thresholded at sigma*sqrt(2*log(N)) (sigma
% estimated from the finest details), and the inverse transform gives the
% estimate. The redundant (undecimated) transform does not depend on where
% the signal starts, which, as is well known, gives a smaller error than
% the decimated one; the script asserts that ordering for both signals, and
% that both transforms invert exactly without thresholding.
%
% Run from Octave or MATLAB with the modules on the path, e.g.
%   octave-cli --eval "pkg load lassowave; run('examples/wavelet_denoise.m')"
% Writes wavelet_denoise.png into the current folder; run() changes to the
% script's folder first.
% Where no graphics can be had, it says so in one line instead
% (example_figure.m).

h = [1 + sqrt(3), 3 + sqrt(3), 3 - sqrt(3), 1 - sqrt(3)] / (4 * sqrt(2));
soft = @(v, t) sign(v) .* max(abs(v) - t, 0);
rms = @(v) sqrt(mean(v(:) .^ 2));
randn('state', 4);

% 1-D: a smooth curve with two jumps.
n = 1024;
L = 5;
t = (0:n - 1) / n;
clean = sin(4 * pi * t) + 1.5 * (t > 0.3) - 2 * (t > 0.72) + 0.5 * cos(30 * pi * t) .* (t > 0.5);
noisy = clean + 0.3 * randn(1, n);

y = kaldor(noisy, h, L);
assert(max(abs(vestran(y, h, L) - noisy)) < 1e-10);
coarse = n / 2 ^ L;
sigma = median(abs(y(n / 2 + 1:end))) / 0.6745;     % finest details
threshold = sigma * sqrt(2 * log(n));
y(coarse + 1:end) = soft(y(coarse + 1:end), threshold);
decimated = vestran(y, h, L);

[yl, yh] = ostrevin(noisy, h, L);
assert(max(abs(quillomar(yl, yh, h, L) - noisy)) < 1e-10);
redundant = quillomar(yl, soft(yh, threshold), h, L);

e1 = [rms(noisy - clean), rms(decimated - clean), rms(redundant - clean)];
fprintf('1-D, n = %d, L = %d: rms error noisy %.4f, decimated %.4f, redundant %.4f\n', n, L, e1);
assert(e1(2) < 0.6 * e1(1));
assert(e1(3) < e1(2));

% 2-D: a square and a disc.
m = 64;
L2 = 3;
[c, r] = meshgrid(1:m, 1:m);
image = 0.2 + 0.6 * (abs(r - 22) < 12 & abs(c - 22) < 12) + ...
        0.8 * ((r - 42) .^ 2 + (c - 40) .^ 2 < 14 ^ 2);
noisy_image = image + 0.15 * randn(m, m);

Y = kaldor(noisy_image, h, L2);
assert(max(max(abs(vestran(Y, h, L2) - noisy_image))) < 1e-10);
block = m / 2 ^ L2;
keep = false(m, m);
keep(1:block, 1:block) = true;                      % the coarse approximation
diagonal = Y(m / 2 + 1:end, m / 2 + 1:end);          % finest diagonal details
sigma2 = median(abs(diagonal(:))) / 0.6745;
threshold2 = sigma2 * sqrt(2 * log(m * m));
Y(~keep) = soft(Y(~keep), threshold2);
decimated_image = vestran(Y, h, L2);

[YL, YH] = ostrevin(noisy_image, h, L2);
assert(max(max(abs(quillomar(YL, YH, h, L2) - noisy_image))) < 1e-10);
redundant_image = quillomar(YL, soft(YH, threshold2), h, L2);

e2 = [rms(noisy_image - image), rms(decimated_image - image), rms(redundant_image - image)];
fprintf('2-D, %dx%d, L = %d: rms error noisy %.4f, decimated %.4f, redundant %.4f\n', m, m, L2, e2);
assert(e2(2) < 0.8 * e2(1));
assert(e2(3) < e2(2));

fig = example_figure('wavelet_denoise.png', [0 0 900 600]);
if ~isempty(fig)
  titles = {'noisy', 'kaldor/vestran', 'ostrevin/quillomar'};
  labels = {'noisy', 'denoised', 'denoised'};
  curves = {noisy, decimated, redundant};
  images = {noisy_image, decimated_image, redundant_image};
  for k = 1:3
    subplot(2, 3, k);
    plot(1:n, curves{k}, 'b-', 1:n, clean, 'k-');
    axis([1 n -3 4.5]);
    legend(labels{k}, 'clean', 'location', 'north', 'orientation', 'horizontal');
    xlabel('sample');
    ylabel('value');
    title(sprintf('1-D %s: rms error %.3f', titles{k}, e1(k)));
    subplot(2, 3, 3 + k);
    imagesc(images{k}, [0 1.6]);
    axis('image');
    xlabel('column');
    ylabel('row');
    title(sprintf('2-D %s: rms error %.3f', titles{k}, e2(k)));
  end
  colormap(gray(64));
  print(fig, '-dpng', '-r72', 'wavelet_denoise.png');
  close(fig);
  fprintf('  figure: wavelet_denoise.png\n');
end
