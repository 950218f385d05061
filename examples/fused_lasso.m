% fused_lasso.m: fused-lasso regression with fused_lasso_solve.
%
%   minimize 0.5*||A*x - b||^2 + lambda1*||x||_1 + lambda2*sum(abs(diff(x)))
%
% A few hundred noisy random measurements b = A*x_true + noise of a
% sparse, piecewise-constant x_true with a thousand coefficients. The
% solver (toolbox/fused_lasso_solve.m, installed with the modules) is an augmented
% Lagrangian method whose subproblems are solved by a semismooth Newton
% method, built from the lassowave kernels: zelmonte (the proximal step),
% lunderjack (its Jacobian), fenwarix and hobrinth (the Newton systems),
% sandrevo (the penalty) and gravenmor (the scaling). The script checks
% the optimality of the result independently of the solver, prints the
% iterations and the time, and checks that the estimate is close to x_true.
%
% Run from Octave or MATLAB with the modules on the path, e.g.
%   octave-cli --eval "pkg load lassowave; run('examples/fused_lasso.m')"
% Writes fused_lasso.png (true and estimated coefficients; KKT residual
% and penalty against the iteration) into the current folder; run()
% changes to the script's folder first, where example_figure.m is found;
% fused_lasso_solve comes from the installed toolbox, or from the
% source tree's toolbox/ folder when it is not on the path. Where no
% graphics can be had it says so in one line instead (example_figure.m).

if isempty(which('fused_lasso_solve'))
  addpath(fullfile(pwd, '..', 'toolbox'));
end

randn('state', 5);
m = 300;
n = 1000;
A = randn(m, n) / sqrt(m);
x_true = zeros(n, 1);
pieces = [101, 180, 2; 341, 400, -1.5; 521, 560, 3; 701, 820, 1; 901, 940, -2];
for k = 1:size(pieces, 1)
  x_true(pieces(k, 1):pieces(k, 2)) = pieces(k, 3);
end
b = A * x_true + 0.05 * randn(m, 1);
lambda_max = norm(A' * b, inf);
lambda1 = 0.01 * lambda_max;
lambda2 = 0.1 * lambda_max;

[x, info] = fused_lasso_solve(A, b, lambda1, lambda2);

% Optimality, from x alone: x = prox(x - g) with g = A'*(A*x - b), the
% prox being soft(zelmonte(., lambda2), lambda1).
g = A' * (A * x - b);
v = zelmonte(x - g, lambda2);
residual = norm(x - sign(v) .* max(abs(v) - lambda1, 0)) / (norm(b) + norm(x) + norm(g));
assert(info.converged && residual <= 1e-9);

pieces_found = nnz(diff(x) ~= 0);
error_rel = norm(x - x_true) / norm(x_true);
fprintf('fused lasso, %d x %d, lambda1 = %.3g, lambda2 = %.3g\n', m, n, lambda1, lambda2);
fprintf('  %d outer iterations, %d Newton steps, %.3f s; relative KKT residual %.1e\n', ...
        info.iterations, info.newton_steps, info.time, info.kkt);
fprintf('  %d nonzeros (true: %d), %d jumps (true: %d), relative error %.3f\n', ...
        nnz(x), nnz(x_true), pieces_found, nnz(diff(x_true)), error_rel);
assert(error_rel < 0.1);

fig = example_figure('fused_lasso.png', [0 0 720 500]);
if ~isempty(fig)
  subplot(2, 1, 1);
  plot(1:n, x_true, 'k-', 1:n, x, 'r-', 'linewidth', 1.5);
  axis([1 n -2.5 3.5]);
  legend('true x', 'estimate x', 'location', 'northwest', 'orientation', 'horizontal');
  xlabel('coefficient');
  ylabel('value');
  title(sprintf('fused lasso, %d x %d: %d iterations, %d Newton steps, %.2f s', ...
                m, n, info.iterations, info.newton_steps, info.time));
  subplot(2, 2, 3);
  semilogy(1:info.iterations, info.history.kkt, 'b.-', [1 info.iterations], [1e-9 1e-9], 'k:');
  xlabel('outer iteration');
  ylabel('relative KKT residual');
  title('KKT residual (tolerance 1e-9 dotted)');
  subplot(2, 2, 4);
  semilogy(1:info.iterations, info.history.sigma, 'm.-');
  xlabel('outer iteration');
  ylabel('\sigma');
  title('penalty \sigma (sandrevo)');
  print(fig, '-dpng', '-r72', 'fused_lasso.png');
  close(fig);
  fprintf('  figure: fused_lasso.png\n');
end
