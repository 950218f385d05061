% wavelet_shrinkage.m: wavelet denoising in one call, with a filter by name.
%
% A 1-D signal and an image are corrupted by Gaussian noise and denoised by
% wavelet_denoise with the symlet of 8 vanishing moments
% (wavelet_filter('sym8')), BayesShrink thresholds and the noise level
% estimated from the finest details: once with the decimated transform
% (kaldor, vestran) and once with the redundant one (ostrevin, quillomar),
% which does not depend on where the signal starts and, as is well known,
% gives the smaller error. The script asserts that ordering for both
% signals, and that the filter inverts exactly without thresholding.
%
% Run from Octave or MATLAB with the modules on the path, e.g.
%   octave-cli --eval "pkg load lassowave; run('examples/wavelet_shrinkage.m')"
% Writes wavelet_shrinkage.png into the current folder; run() changes to the
% script's folder first.
% Where no graphics can be had, it says so in one line instead
% (example_figure.m).

h = wavelet_filter('sym8');
assert(abs(sum(h) - sqrt(2)) < 1e-15);
rms = @(v) sqrt(mean(v(:) .^ 2));
randn('state', 4);
redundant = struct('transform', 'redundant');

% 1-D: a smooth curve with two jumps, 1000 samples (not a power of two:
% wavelet_denoise extends it symmetrically and crops the result).
n = 1000;
t = (0:n - 1) / n;
clean = sin(4 * pi * t) + 1.5 * (t > 0.3) - 2 * (t > 0.72) + 0.5 * cos(30 * pi * t) .* (t > 0.5);
noisy = clean + 0.3 * randn(1, n);
assert(max(abs(vestran(kaldor(noisy(1:512), h, 4), h, 4) - noisy(1:512))) < 1e-12);

[decimated, info] = wavelet_denoise(noisy, 'sym8', 4);
translation_invariant = wavelet_denoise(noisy, 'sym8', 4, redundant);
e1 = [rms(noisy - clean), rms(decimated - clean), rms(translation_invariant - clean)];
fprintf('1-D, n = %d, L = %d, sigma estimated %.3f (true 0.3)\n', n, info.levels, info.sigma);
fprintf('  rms error: noisy %.4f, decimated %.4f, redundant %.4f\n', e1);
assert(e1(2) < 0.6 * e1(1));
assert(e1(3) < e1(2));

% 2-D: a square and a disc.
m = 128;
[c, r] = meshgrid(1:m, 1:m);
image = 0.2 + 0.6 * (abs(r - 44) < 24 & abs(c - 44) < 24) + ...
        0.8 * ((r - 84) .^ 2 + (c - 80) .^ 2 < 28 ^ 2);
noisy_image = image + 0.15 * randn(m, m);
decimated_image = wavelet_denoise(noisy_image, 'sym8', 3);
redundant_image = wavelet_denoise(noisy_image, 'sym8', 3, redundant);
e2 = [rms(noisy_image - image), rms(decimated_image - image), rms(redundant_image - image)];
fprintf('2-D, %dx%d, L = 3: rms error noisy %.4f, decimated %.4f, redundant %.4f\n', m, m, e2);
assert(e2(2) < 0.7 * e2(1));
assert(e2(3) < e2(2));

fig = example_figure('wavelet_shrinkage.png', [0 0 900 600]);
if ~isempty(fig)
  titles = {'noisy', 'decimated', 'redundant'};
  labels = {'noisy', 'denoised', 'denoised'};
  curves = {noisy, decimated, translation_invariant};
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
  print(fig, '-dpng', '-r72', 'wavelet_shrinkage.png');
  close(fig);
  fprintf('  figure: wavelet_shrinkage.png\n');
end
