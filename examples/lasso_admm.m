% lasso_admm.m: an ADMM lasso solver whose penalty adapts with vintrask.
%
%   minimize 0.5*||A*x - b||^2 + lambda*||x||_1
%
% ADMM splits x (least squares) from z (the l1 term) with the scaled dual u
% and the penalty rho. A badly chosen rho makes ADMM crawl; here each
% iteration tallies which residual dominates (the primal one calls for a
% larger rho, the dual one for a smaller), and vintrask turns the tallies
% into a new rho on the iterations its schedule makes due. The same solver
% with rho kept fixed, run much longer to a much tighter tolerance, gives
% the reference solution; the adaptive run must agree with it to 1e-6
% (relative) in far fewer iterations.
%
% Run from Octave or MATLAB with the modules on the path, e.g.
%   octave-cli --eval "pkg load lassowave; run('examples/lasso_admm.m')"
% Writes lasso_admm.png (objective and penalty against the iteration) into
% the current folder; run() changes to the script's folder first.
% Where no graphics can be had, it says so in one line instead
% (example_figure.m).

rand('state', 3);
randn('state', 3);
m = 150;
n = 60;
A = randn(m, n) / sqrt(m);
x_true = zeros(n, 1);
x_true(randperm(n, 8)) = 3 * randn(8, 1);
b = A * x_true + 0.05 * randn(m, 1);
lambda = 0.1 * norm(A' * b, inf);

rho_start = 50;               % deliberately far too large
rho_min = 1e-4;
rho_max = 1e4;
mu = 10;                      % a residual "dominates" when mu times larger
AtA = A' * A;
Atb = A' * b;
objective = @(x) 0.5 * norm(A * x - b)^2 + lambda * norm(x, 1);

% Two runs of one solver: the reference (fixed rho, tight tolerance, long)
% and the adaptive one.
runs = struct('adapt', {false, true}, 'tol', {1e-13, 1e-9}, 'max_iter', {20000, 3000});
for k = 1:numel(runs)
  rho = rho_start;
  count_raise = 0;
  count_lower = 0;
  z = zeros(n, 1);
  u = zeros(n, 1);
  R = chol(AtA + rho * eye(n));
  obj = zeros(runs(k).max_iter, 1);
  rhos = zeros(runs(k).max_iter, 1);
  for iter = 0:runs(k).max_iter - 1
    x = R \ (R' \ (Atb + rho * (z - u)));
    z_old = z;
    v = x + u;
    z = sign(v) .* max(abs(v) - lambda / rho, 0);
    u = u + x - z;

    primal = norm(x - z);
    dual = rho * norm(z - z_old);
    obj(iter + 1) = objective(z);
    rhos(iter + 1) = rho;
    tol = runs(k).tol;
    if primal <= tol * sqrt(n) + tol * max(norm(x), norm(z)) && ...
       dual <= tol * sqrt(n) + tol * rho * norm(u)
      break;
    end

    if runs(k).adapt
      if primal > mu * dual
        count_raise = count_raise + 1;
      elseif dual > mu * primal
        count_lower = count_lower + 1;
      end
      [rho_new, count_raise, count_lower] = ...
          vintrask(rho, rho_max, rho_min, count_raise, count_lower, iter);
      if rho_new ~= rho
        u = u * (rho / rho_new);        % the scaled dual follows rho
        rho = rho_new;
        R = chol(AtA + rho * eye(n));
      end
    end
  end
  runs(k).x = z;
  runs(k).iterations = iter + 1;
  runs(k).objective = obj(1:iter + 1);
  runs(k).rho = rhos(1:iter + 1);
end
reference = runs(1);
adaptive = runs(2);

% The reference solves the lasso: its optimality conditions hold.
g = A' * (A * reference.x - b);
on = reference.x ~= 0;
assert(any(on) && any(~on));
assert(max(abs(g(on) + lambda * sign(reference.x(on)))) < 1e-9 * lambda);
assert(max(abs(g(~on))) <= lambda * (1 + 1e-9));

relative_error = norm(adaptive.x - reference.x) / norm(reference.x);
f_ref = objective(reference.x);
fprintf('lasso, %d x %d, lambda = %.4g, rho starting at %g\n', m, n, lambda, rho_start);
fprintf('  fixed rho:    %5d iterations (reference, tolerance %g)\n', reference.iterations, reference.tol);
fprintf('  adaptive rho: %5d iterations, final rho %.4g, relative error %.2e\n', ...
        adaptive.iterations, adaptive.rho(end), relative_error);
assert(relative_error < 1e-6);
assert(abs(objective(adaptive.x) - f_ref) < 1e-9 * f_ref);
assert(adaptive.iterations < reference.iterations / 4);
assert(adaptive.rho(end) < rho_start / 10);

% Figure: the objective's distance to the reference value, and rho.
fig = example_figure('lasso_admm.png', [0 0 720 500]);
if ~isempty(fig)
  % A logarithmic iteration axis shows both runs whole: the adaptive run ends
  % long before the reference does.
  runs_legend = {sprintf('fixed \\rho: %d iterations', reference.iterations), ...
                 sprintf('adaptive \\rho (vintrask): %d iterations', adaptive.iterations)};
  subplot(2, 1, 1);
  loglog(1:reference.iterations, max(reference.objective - f_ref, eps * f_ref), 'b-', ...
         1:adaptive.iterations, max(adaptive.objective - f_ref, eps * f_ref), 'r-');
  legend(runs_legend, 'location', 'southwest');
  set(gca, 'ytick', 10 .^ (-15:5:5));
  xlabel('iteration');
  ylabel('objective - optimum');
  title(sprintf('ADMM lasso (%d x %d): distance to the optimal objective', m, n));
  subplot(2, 1, 2);
  loglog(1:reference.iterations, reference.rho, 'b-', 1:adaptive.iterations, adaptive.rho, 'r-');
  legend(runs_legend, 'location', 'southeast');
  xlabel('iteration');
  ylabel('\rho');
  title('penalty \rho, starting far too large');
  print(fig, '-dpng', '-r72', 'lasso_admm.png');
  close(fig);
  fprintf('  figure: lasso_admm.png\n');
end
