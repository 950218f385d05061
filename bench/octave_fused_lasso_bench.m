% fused_lasso_solve (toolbox/) against two first-order methods on the same
% problems, in one run: the time each takes to bring the objective within
% a relative 1e-6 of the optimum.
%
%   problem   A = randn(m, n)/sqrt(m), x_true sparse and piecewise constant
%             (five pieces, 17% of the coefficients), b = A*x_true + noise
%             N(0, 0.05^2); lambda1 = 0.01*||A'*b||_inf, lambda2 = 10*lambda1
%   sizes     500 x 2000 and 2000 x 10000
%   optimum   fused_lasso_solve run to a relative KKT residual of 1e-12;
%             its own time to the target is read from its history (its
%             timed work includes its KKT residuals)
%   FISTA     proximal gradient with momentum, step 1/||A||^2 (normest,
%             counted in its time), the same exact prox:
%             soft(zelmonte(., lambda2/L), lambda1/L); like the solver it
%             takes A*y with y sparse (only y's nonzero columns are read)
%   ADMM      the plain splitting z = [x; diff(x)], soft thresholding only
%             (tests/octave/fused_lasso_admm.m), penalty rho fixed at
%             2*||A||^2, the best of 0.003 to 16 times ||A||^2 at 500 x 2000;
%             its factorization is counted in its time
%
% The objective is checked after every iteration of the two first-order
% methods outside their timed work. Each method stops at the target or
% after max_seconds of its own work (then its time is reported as "> t").
% fused_lasso_solve and FISTA run three times each, alternated, and each
% one's fastest run counts; ADMM, which takes ten times longer, runs once.
% Prints "RESULT octave/fused_lasso/<m>x<n>/<key> <value>" lines.
%
% Run from the source tree with the modules on the path, e.g.
%   octave-cli --eval "addpath([pwd '/build/octave']); run('bench/octave_fused_lasso_bench.m')"

if ~exist('max_seconds', 'var'), max_seconds = 600; end
if ~exist('sizes', 'var'), sizes = [500, 2000; 2000, 10000]; end
if ~exist('runs', 'var'), runs = 3; end

here = fileparts(mfilename('fullpath'));
addpath(fullfile(here, '..', 'toolbox'), fullfile(here, '..', 'tests', 'octave'));
if exist('zelmonte', 'file') ~= 3
  printf('RESULT octave/fused_lasso/status not_built\n');
  return;
end

function [seconds, iterations] = fista(A, b, lambda1, lambda2, target, objective, max_seconds)
  start = tic;
  L = normest(A)^2;
  n = columns(A);
  x = zeros(n, 1);
  y = x;
  t = 1;
  seconds = toc(start);
  for iterations = 1:1e6
    start = tic;
    v = zelmonte(y - (A' * (A * sparse(y) - b)) / L, lambda2 / L);
    x_new = sign(v) .* max(abs(v) - lambda1 / L, 0);
    t_new = (1 + sqrt(1 + 4 * t^2)) / 2;
    y = x_new + ((t - 1) / t_new) * (x_new - x);
    x = x_new;
    t = t_new;
    seconds = seconds + toc(start);
    if objective(x) <= target || seconds > max_seconds
      break;
    end
  end
end

for k = 1:rows(sizes)
  m = sizes(k, 1);
  n = sizes(k, 2);
  randn('state', 1);
  A = randn(m, n) / sqrt(m);
  x_true = zeros(n, 1);
  for piece = [0.05, 0.09, 2; 0.2, 0.24, -1.5; 0.45, 0.47, 3; 0.65, 0.71, 1; 0.85, 0.875, -2]'
    x_true(round(piece(1) * n):round(piece(2) * n)) = piece(3);
  end
  b = A * x_true + 0.05 * randn(m, 1);
  lambda1 = 0.01 * norm(A' * b, inf);
  lambda2 = 10 * lambda1;
  objective = @(x) 0.5 * norm(A * x - b)^2 + lambda1 * norm(x, 1) + lambda2 * norm(diff(x), 1);
  key = sprintf('octave/fused_lasso/%dx%d', m, n);

  % The solver and FISTA alternate, runs times each; each one's time is
  % its fastest run (a shared machine's load comes and goes, and the
  % first solve in a session pays for parsing and for the allocator).
  [ssnal_s, fista_s] = deal(Inf);
  for run = 1:runs
    [x, info] = fused_lasso_solve(A, b, lambda1, lambda2, struct('tol', 1e-12));
    if run == 1
      optimum = objective(x);
      target = optimum * (1 + 1e-6);
    end
    first = find(info.history.objective <= target, 1);
    if info.history.time(first) < ssnal_s
      ssnal_s = info.history.time(first);
      ssnal = [first, sum(info.history.newton_steps(1:first)), info.kkt];
    end
    [seconds, iterations] = fista(A, b, lambda1, lambda2, target, objective, max_seconds);
    if seconds < fista_s
      [fista_s, fista_iterations] = deal(seconds, iterations);
    end
  end
  printf('RESULT %s/ssnal_s %.4f\n', key, ssnal_s);
  printf('RESULT %s/ssnal_iterations %d\n', key, ssnal(1));
  printf('RESULT %s/ssnal_newton_steps %d\n', key, ssnal(2));
  printf('RESULT %s/ssnal_kkt_final %.3e\n', key, ssnal(3));
  printf('RESULT %s/fista_s %.4f\n', key, fista_s);
  printf('RESULT %s/fista_iterations %d\n', key, fista_iterations);
  printf('RESULT %s/fista_reached %d\n', key, fista_s <= max_seconds);

  rho = 2 * normest(A)^2;
  [~, ~, iterations, seconds] = fused_lasso_admm(A, b, lambda1, lambda2, rho, 0, ...
      1e6, @(x, seconds) objective(x) <= target || seconds > max_seconds);
  printf('RESULT %s/admm_s %.4f\n', key, seconds);
  printf('RESULT %s/admm_iterations %d\n', key, iterations);
  printf('RESULT %s/admm_reached %d\n', key, seconds <= max_seconds);
  fflush(stdout);
end
