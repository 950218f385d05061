function [x, info] = fused_lasso_solve(A, b, lambda1, lambda2, opts)
%FUSED_LASSO_SOLVE Fused-lasso regression by a semismooth Newton augmented Lagrangian method.
%   [x, info] = fused_lasso_solve(A, b, lambda1, lambda2)
%   [x, info] = fused_lasso_solve(A, b, lambda1, lambda2, opts)
%
%   x minimizes
%       0.5*||A*x - b||^2 + lambda1*||x||_1 + lambda2*sum(abs(diff(x)))
%   for A dense or sparse, m-by-n with m smaller or larger than n, b an
%   m-by-1 column and lambda1, lambda2 >= 0. With lambda2 = 0 it is the
%   lasso.
%
%   Method. Write p(x) = lambda1*||x||_1 + lambda2*sum(abs(diff(x))). The
%   dual problem is  min 0.5*||y||^2 + b'*y + p*(z)  s.t.  A'*y + z = 0;
%   its augmented Lagrangian, with the multiplier x and the penalty sigma,
%   minimized over z leaves a smooth, strongly convex function of y,
%       phi(y) = 0.5*||y||^2 + b'*y + (u'*w - 0.5*||u||^2)/sigma - p(u)
%                + const,   w = x - sigma*A'*y,  u = prox_{sigma*p}(w),
%   with gradient y + b - A*u. Each outer iteration minimizes phi by a
%   semismooth Newton method and then sets x = u (the multiplier update),
%   which is a proximal-point step x = argmin f(v) + ||v - x||^2/(2*sigma)
%   of the primal objective f: the outer loop converges for any sigma and
%   the faster the larger sigma is.
%     prox: the proximal map of lambda1*||.||_1 + lambda2*TV is the soft
%       threshold (by lambda1) of the TV denoising (by lambda2): zelmonte.
%     Newton matrix: I + sigma*A*J*A', J from the generalized Jacobian of
%       the prox. On each group of equal neighbours of the TV solution the
%       TV part averages, elsewhere it is the identity (lunderjack gives
%       diag(d) + H*H'); the soft threshold keeps the groups it leaves
%       nonzero (a group is kept or dropped whole, being one value). So
%       J = W*W', W the orthonormal columns of the kept singletons and
%       groups, and only M = A*W (r columns) enters.
%     Newton systems: a Cholesky factor R of the smaller of I + sigma*M*M'
%       (m-by-m) and I/sigma + M'*M (r-by-r, then Sherman-Morrison-
%       Woodbury), solved by fenwarix and hobrinth.
%     Penalty: sandrevo (lasso: quorbel) from tallies of which residual
%       dominates; the problem is rescaled on entry with gravenmor.
%
%   opts (optional struct; missing fields take their defaults):
%     tol       stop when the relative KKT residual is at most tol (1e-9)
%     max_iter  largest number of outer iterations (200)
%     sigma     first penalty (256*min(m, n)/||A||_F^2, about 256/||A||^2)
%
%   info:
%     iterations    outer (augmented Lagrangian) iterations
%     newton_steps  semismooth Newton steps, all outer iterations together
%     kkt           final relative KKT residual, from x, A and b alone:
%                     ||x - prox_p(x - g)|| / (||b|| + ||x|| + ||g||),
%                     g = A'*(A*x - b)
%     converged     kkt <= tol
%     time          seconds
%     history       per outer iteration: kkt, objective, sigma (the
%                   penalty used), newton_steps, time (seconds since entry)
%
%   Example (examples/fused_lasso.m shows a whole run):
%     A = randn(100, 300); x0 = zeros(300, 1); x0(101:140) = 2;
%     [x, info] = fused_lasso_solve(A, A*x0 + 0.1*randn(100, 1), 1, 5);
%
%   Needs the lassowave modules on the path (zelmonte, lunderjack, fenwarix,
%   hobrinth, sandrevo, quorbel, gravenmor).
  start = tic;
  if nargin < 4
    error('fused_lasso_solve: requires 4 or 5 input arguments.');
  end
  if nargin < 5 || isempty(opts)
    opts = struct();
  end
  if ~isnumeric(A) || ~isreal(A) || ndims(A) ~= 2 || isempty(A)
    error('fused_lasso_solve: argument 1 (A) must be a real non-empty numeric matrix.');
  end
  [m, n] = size(A);
  if ~isnumeric(b) || ~isreal(b) || ~isequal(size(b), [m, 1])
    error('fused_lasso_solve: argument 2 (b) must be a real column with as many rows as A (%d).', m);
  end
  if ~all(isfinite(nonzeros(A)))
    error('fused_lasso_solve: argument 1 (A) has a NaN or Inf entry.');
  end
  if ~all(isfinite(b))
    error('fused_lasso_solve: argument 2 (b) has a NaN or Inf entry.');
  end
  check_weight(lambda1, 3, 'lambda1');
  check_weight(lambda2, 4, 'lambda2');
  if ~isstruct(opts)
    error('fused_lasso_solve: argument 5 (opts) must be a struct.');
  end
  A = double(A);
  b = full(double(b));
  normF = norm(A, 'fro');
  tol = option(opts, 'tol', 1e-9);
  max_iter = option(opts, 'max_iter', 200);
  % A large first penalty (sigma*||A||^2 in the hundreds) makes the first
  % proximal step most of the solve; the Newton systems are solved
  % directly, so their conditioning costs little. min(m, n)/||A||_F^2 is
  % 1/(mean square singular value), a cheap stand-in for 1/||A||^2.
  sigma0 = option(opts, 'sigma', 256 * min(m, n) / max(normF ^ 2, realmin));

  history = struct('kkt', [], 'objective', [], 'sigma', [], 'newton_steps', [], 'time', []);
  [kkt, objective, denominator] = kkt_residual(A, b, zeros(n, 1), lambda1, lambda2);
  x = zeros(n, 1);
  iter = 0;
  steps_total = 0;
  if kkt > tol
    % Units in which ||b|| = 1: the tolerances below are then relative ones.
    % x and the residual y scale alike, so sigma carries over (s2/s1 = 1).
    % Scaling is switched off for an ||b|| above 1e7 (1/||b|| < 1e-7);
    % the iteration is the same in either units.
    [sigma, s, ~, ~, ~, lam1, lam2] = gravenmor(sigma0, 1 / norm(b), 1 / norm(b), lambda1, lambda2);
    b_s = s * b;
    sigma_max = 1e8 * sigma;
    sigma_min = 1e-4 * sigma;
    count_raise = 0;
    count_lower = 0;
    % The first inner solve starts at y = 0, where u = 0 and the Jacobian
    % is empty: its first direction is -b, and the backtracking along it
    % lets the kept set grow from nothing. From y = -b (the residual at
    % x = 0) nearly every position is kept at first, and those first
    % Newton systems are by far the dearest of the run.
    y = zeros(m, 1);
    kkt_scale = kkt;    % the inner tolerance follows the outer residual
    for iter = 1:max_iter
      % The inner gradient's effect on the next x is sigma*A'*grad, and
      % ||A'*grad|| <= ||A||_F*||grad||: asking ||grad|| to be a tenth of
      % the current KKT residual (in gradient units) keeps the inner error
      % below the outer progress, so the outer loop converges as exact
      % proximal-point steps would; it tightens as the outer residual falls.
      grad_tol = 0.1 * max(kkt_scale, 0.5 * tol) * s * denominator / max(normF, realmin);
      x_old = x;
      [y, x, grad, steps] = newton_inner(A, b_s, x_old, y, sigma, lam1, lam2, grad_tol);
      steps_total = steps_total + steps;
      [kkt, objective, denominator] = kkt_residual(A, b, x / s, lambda1, lambda2);
      history.kkt(end + 1) = kkt;
      history.objective(end + 1) = objective;
      history.sigma(end + 1) = sigma;
      history.newton_steps(end + 1) = steps;
      history.time(end + 1) = toc(start);
      if kkt <= tol
        break;
      end
      kkt_scale = min(kkt_scale, kkt);
      % Tallies. The primal residual ||A'*y + z|| = ||x - x_old||/sigma is
      % what a larger sigma shrinks faster (the proximal step goes further);
      % the dual residual ||A'*grad||, from the gradient the inner solve
      % left (the same units), is what a smaller sigma shrinks (phi gets
      % better conditioned). The inner solve normally leaves a tenth of the primal
      % residual, so sigma climbs and the outer loop turns superlinear; when
      % Newton stalls, the dual residual dominates and sigma comes down.
      primal = norm(x - x_old) / sigma;
      dual = norm(A' * grad);
      if primal > dual
        count_raise = count_raise + 1;
      elseif dual > primal
        count_lower = count_lower + 1;
      end
      if lam2 > 0
        % Step factor 5 (factor_switch 0): with the first penalty already
        % large, few raises are needed, and the last y stays a close start.
        [sigma, count_raise, count_lower] = ...
            sandrevo(sigma, sigma_max, sigma_min, count_raise, count_lower, iter, 0);
      else
        [sigma, count_raise, count_lower] = ...
            quorbel(sigma, sigma_max, sigma_min, count_raise, count_lower, iter, -1);
      end
    end
    x = x / s;
  end
  info = struct('iterations', iter, 'newton_steps', steps_total, 'kkt', kkt, ...
                'converged', kkt <= tol, 'time', toc(start), 'history', history);
  if ~info.converged
    warning('lassowave:fused_lasso_solve:noconvergence', ...
            'fused_lasso_solve: no convergence in %d iterations (relative KKT residual %.3g, tolerance %.3g).', ...
            max_iter, kkt, tol);
  end
end

function [y, u, grad, steps] = newton_inner(A, b, x, y, sigma, lam1, lam2, grad_tol)
% Minimizes phi(y) from the given y (the last inner solution: the dual
% optimum does not depend on the outer iteration, so it is a good start)
% until ||grad phi|| <= grad_tol, and returns y, u = prox_{sigma p}(x -
% sigma*A'*y), the final gradient and the number of Newton steps. A*u is
% taken with u sparse: dense times sparse reads only u's nonzero columns.
  max_steps = 50;
  Aty = A' * y;
  [phi, u, v, keep] = phi_at(y, Aty, b, x, sigma, lam1, lam2);
  grad = y + b - A * sparse(u);
  grad_norm = norm(grad);
  steps = 0;
  while grad_norm > grad_tol && steps < max_steps
    steps = steps + 1;
    d = newton_direction(A, v, keep, lam2 > 0, sigma, grad);
    Atd = A' * d;
    slope = grad' * d;
    % Armijo backtracking on phi. Near the solution the decrease a Newton
    % step promises (-slope, about ||grad||^2) falls below the rounding of
    % phi's terms while the gradient is still worth reducing; there the
    % full step is taken when it reduces the gradient norm instead. phi is
    % strongly convex, so both tests only accept progress.
    resolution = 16 * eps * phi_magnitude(y, b, u, x, sigma, lam1, lam2);
    alpha = 1;
    accepted = false;
    while alpha > 1e-12
      y_t = y + alpha * d;
      Aty_t = Aty + alpha * Atd;
      [phi_t, u_t, v_t, keep_t] = phi_at(y_t, Aty_t, b, x, sigma, lam1, lam2);
      if phi_t <= phi + 1e-4 * alpha * slope
        grad_t = y_t + b - A * sparse(u_t);
        accepted = true;
      elseif alpha == 1 && -slope <= resolution
        grad_t = y_t + b - A * sparse(u_t);
        accepted = norm(grad_t) < grad_norm;
      end
      if accepted
        break;
      end
      alpha = alpha / 2;
    end
    if ~accepted
      break;    % no progress possible at this precision
    end
    y = y_t;
    Aty = Aty_t;
    phi = phi_t;
    u = u_t;
    v = v_t;
    keep = keep_t;
    grad = grad_t;
    grad_norm = norm(grad);
  end
end

function [phi, u, v, keep] = phi_at(y, Aty, b, x, sigma, lam1, lam2)
% phi(y) without its constant -||x||^2/(2*sigma), the prox u, the TV
% solution v before the soft threshold and the positions it keeps.
  w = x - sigma * Aty;
  [u, v, keep] = prox(w, sigma * lam1, sigma * lam2);
  phi = 0.5 * (y' * y) + b' * y + (u' * w - 0.5 * (u' * u)) / sigma - penalty(u, lam1, lam2);
end

function s = phi_magnitude(y, b, u, x, sigma, lam1, lam2)
% The size of the terms phi is summed from: its rounding is a few eps of it.
  s = 0.5 * (y' * y) + abs(b' * y) + (abs(u' * (x - u)) + 0.5 * (u' * u) + 0.5 * (x' * x)) / sigma ...
      + penalty(u, lam1, lam2);
end

function [u, v, keep] = prox(w, t1, t2)
% prox of t1*||.||_1 + t2*TV: the soft threshold of the TV denoising.
  if t2 > 0
    v = zelmonte(w, t2);
  else
    v = w;
  end
  if t1 > 0
    keep = abs(v) > t1;
    u = zeros(size(v));
    u(keep) = v(keep) - t1 * sign(v(keep));
  else
    keep = true(size(v));
    u = v;
  end
end

function p = penalty(x, lam1, lam2)
  p = lam1 * sum(abs(x)) + lam2 * sum(abs(diff(x)));
end

function d = newton_direction(A, v, keep, linked, sigma, grad)
% Solves (I + sigma*A*J*A')*d = -grad with J = W*W' (see the help).
  M = A * jacobian_basis(v, keep, linked);   % dense times sparse: no copy of A's columns
  [m, r] = size(M);
  if r == 0
    d = -grad;
  elseif r < m
    % Sherman-Morrison-Woodbury: (I + sigma*M*M')^-1 = I - M*(I/sigma + M'*M)^-1*M'.
    d = M * spd_solve(plus_diagonal(M' * M, 1 / sigma), M' * grad) - grad;
  else
    d = -spd_solve(plus_diagonal(sigma * (M * M'), 1), grad);
  end
end

function S = plus_diagonal(S, c)
  if issparse(S)
    S = S + c * speye(size(S, 1));
  else
    S(1:size(S, 1) + 1:end) = S(1:size(S, 1) + 1:end) + c;
  end
end

function W = jacobian_basis(v, keep, linked)
% An orthonormal basis (n-by-r, sparse) of the range of the prox's
% Jacobian J = W*W'. Without the TV term (lambda2 = 0): a unit column on each kept
% position. With it, lunderjack's groups of equal neighbours of v: a
% column 1/sqrt(len) on each kept group (a column of H), a unit column on
% each kept position in no group (d = 1). The soft threshold keeps or
% drops a group whole (one value), so a group is kept when any of its rows
% is.
  n = numel(v);
  if linked
    if n > 1
      pattern = double(v(2:end) == v(1:end - 1));
    else
      pattern = [];
    end
    [d, H] = lunderjack(pattern);
    single = find(keep & d == 1);
    H = H(:, any(H(keep, :), 1));
  else
    single = find(keep);
    H = sparse(n, 0);
  end
  W = [sparse(single, 1:numel(single), 1, n, numel(single)), H];
end

function t = spd_solve(S, g)
% S*t = g for S symmetric positive definite: R'*R = S (Cholesky, with a
% fill-reducing order Q for a sparse S), then R'*z = g by fenwarix and
% R*t = z by hobrinth (on R', lower triangular). Both need R sparse.
  if issparse(S)
    [R, fail, Q] = chol(S);
  else
    [R, fail] = chol(S);
    R = sparse(R);
    Q = 1;
  end
  if fail
    error('fused_lasso_solve: the Newton matrix is not numerically positive definite.');
  end
  t = Q * hobrinth(R', fenwarix(R, Q' * g));
end

function [kkt, objective, denominator] = kkt_residual(A, b, x, lambda1, lambda2)
% The relative KKT residual of x from the optimality condition
% x = prox_p(x - g), g = A'*(A*x - b), the objective at x, and the
% residual's denominator (0 only for b = 0 at x = 0, which is optimal).
  r = A * x - b;
  g = A' * r;
  denominator = norm(b) + norm(x) + norm(g);
  kkt = norm(x - prox(x - g, lambda1, lambda2)) / max(denominator, realmin);
  objective = 0.5 * (r' * r) + penalty(x, lambda1, lambda2);
end

function check_weight(value, k, name)
  if ~isnumeric(value) || ~isreal(value) || ~isscalar(value) || ~(value >= 0) || ~isfinite(value)
    error('fused_lasso_solve: argument %d (%s) must be a finite nonnegative real scalar.', k, name);
  end
end

function value = option(opts, name, default)
  if isfield(opts, name) && ~isempty(opts.(name))
    value = opts.(name);
  else
    value = default;
  end
end
