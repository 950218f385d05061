% tv_denoise.m: exact 1-D total-variation denoising with zelmonte.
%
%   x = argmin 0.5*sum((x - y).^2) + lambda*sum(abs(diff(x)))
%
% A piecewise-constant signal is buried in Gaussian noise; zelmonte
% returns the exact minimizer in one pass. The script checks the
% optimality conditions of the result: with w = cumsum(x - y),
% |w(k)| <= lambda everywhere, w(end) = 0, and w(k) = lambda*sign(x(k+1) -
% x(k)) wherever x jumps; it also checks that the result is much closer to
% the clean signal than the noisy one.
%
% Run from Octave or MATLAB with the modules on the path, e.g.
%   octave-cli --eval "pkg load lassowave; run('examples/tv_denoise.m')"
% Writes tv_denoise.png (signal, noise, result and the optimality
% certificate) into the current folder; run() changes to the script's
% folder first.
% Where no graphics can be had, it says so in one line instead
% (example_figure.m).

randn('state', 11);
n = 400;
levels = [0, 2, -1, 1.5, 3, 0.5];
edges = [0, 60, 140, 180, 270, 330, n];
clean = zeros(n, 1);
for k = 1:numel(levels)
  clean(edges(k) + 1:edges(k + 1)) = levels(k);
end
noise = 0.4 * randn(n, 1);
y = clean + noise;
lambda = 3;

x = zelmonte(y, lambda);

% Optimality of x, to rounding.
w = cumsum(x - y);
tol = 1e-9 * lambda;
step = diff(x);
jump = abs(step) > 1e-12;
assert(abs(w(end)) < tol);
assert(all(abs(w(1:end - 1)) <= lambda + tol));
assert(max(abs(w(jump) - lambda * sign(step(jump)))) < tol);

rms = @(v) sqrt(mean(v .^ 2));
fprintf('TV denoising, n = %d, lambda = %g\n', n, lambda);
fprintf('  rms error: noisy %.3f, denoised %.3f; %d jumps (clean: %d)\n', ...
        rms(noise), rms(x - clean), nnz(jump), numel(levels) - 1);
assert(rms(x - clean) < 0.4 * rms(noise));

fig = example_figure('tv_denoise.png', [0 0 640 500]);
if ~isempty(fig)
  subplot(2, 1, 1);
  plot(1:n, y, '.', 'color', [0.6 0.6 0.6], 'markersize', 4);
  hold on;
  plot(1:n, clean, 'k-', 1:n, x, 'r-', 'linewidth', 1.5);
  hold off;
  axis([1 n -2.2 5]);
  legend('noisy y', 'clean', 'x = zelmonte(y, \lambda)', 'location', 'north', ...
         'orientation', 'horizontal');
  xlabel('sample');
  ylabel('value');
  title(sprintf('1-D total-variation denoising, \\lambda = %g', lambda));
  subplot(2, 1, 2);
  plot(1:n, w / lambda, 'b-', [1 n], [1 1], 'k:', [1 n], [-1 -1], 'k:');
  axis([1 n -1.8 1.3]);
  legend('cumsum(x - y) / \lambda', 'bounds \pm1', 'location', 'south', ...
         'orientation', 'horizontal');
  xlabel('sample');
  ylabel('cumsum(x - y) / \lambda');
  title('optimality certificate: within \pm1, at \pm1 where x jumps, 0 at the end');
  print(fig, '-dpng', '-r72', 'tv_denoise.png');
  close(fig);
  fprintf('  figure: tv_denoise.png\n');
end
