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
%     Newton systems: the smaller of I + sigma*M*M' (m-by-m) and
%       I/sigma + M'*M (r-by-r, then Sherman-Morrison-Woodbury), by the
%       cheapest of: a dense Cholesky factor (BLAS-3) where the matrix is
%       dense or its sparse factor would fill in, a sparse Cholesky factor
%       with a fill-reducing order where it stays sparse (solved by
%       fenwarix and hobrinth), and preconditioned conjugate gradients
%       where even the smaller order is too large to factor. For the
%       lasso with a dense A, M'*M is read from a cache of the Gram
%       matrix of the columns kept so far (up to r < 1.5*m).
%     Finish: once the relative KKT residual is below 1e-3, the linear
%       system the solution meets on x's support and signs (with the TV
%       term: on x's pieces of equal values, the signs of their values
%       and of the jumps between them) is solved; where its point meets
%       tol, the solve ends there, exact to rounding. The lasso's needs
%       a dense A (its system comes from the Gram cache).
%     Start: for the lasso without opts.x0, a short continuation in
%       decades from about ||A'*b||_inf/10 down to lambda1, each stage
%       solved loosely from the last, its dual point scaled into the next
%       stage's feasible set: the kept set then stays near the size of the
%       solution's from the first Newton step on (never an n-by-n matrix).
%     Penalty: sandrevo (lasso: quorbel) from tallies of which residual
%       dominates; the problem is rescaled on entry with gravenmor.
%
%   opts (optional struct; missing fields take their defaults):
%     tol       stop when the relative KKT residual is at most tol (1e-9)
%     max_iter  largest number of outer iterations (200)
%     sigma     first penalty (256*min(m, n)/||A||_F^2, about 256/||A||^2;
%               25 times that from x0)
%     x0        a starting point (n-by-1), e.g. the solution for nearby
%               lambdas; no continuation is run from it
%     y0        with x0: the dual point to start from (m-by-1; by default
%               x0's residual A*x0 - b, for the lasso scaled into the dual
%               feasible set ||A'*y0||_inf <= lambda1); info.y of a solve
%               for larger weights, scaled as fused_lasso_path does
%
%   info:
%     iterations    outer (augmented Lagrangian) iterations at lambda1
%                   itself (after the continuation's stages)
%     newton_steps  semismooth Newton steps, stages included
%     kkt           final relative KKT residual, from x, A and b alone:
%                     ||x - prox_p(x - g)|| / (||b|| + ||x|| + ||g||),
%                     g = A'*(A*x - b)
%     converged     kkt <= tol; when false (max_iter reached) a warning
%                   lassowave:fused_lasso_solve:noconvergence says so
%     time          seconds
%     y             the residual A*x - b (the dual solution), for a warm start
%     sigma         the last penalty, for a warm start (opts.sigma)
%     history       per outer iteration at lambda1: kkt, objective, sigma (the
%                   penalty used), newton_steps, time (seconds since entry)
%
%   Example (examples/fused_lasso.m shows a whole run):
%     A = randn(100, 300); x0 = zeros(300, 1); x0(101:140) = 2;
%     [x, info] = fused_lasso_solve(A, A*x0 + 0.1*randn(100, 1), 1, 5);
%
%   Errors begin "fused_lasso_solve:", among them for NaN or Inf in A or b.
%   Needs the lassowave modules on the path (zelmonte, lunderjack, fenwarix,
%   hobrinth, sandrevo, quorbel, gravenmor). See also FUSED_LASSO_PATH.
  start = tic;
  if nargin < 4
    error('fused_lasso_solve: requires 4 or 5 input arguments.');
  end
  if nargin < 5 || isempty(opts)
    opts = struct();
  end
  [A, b, problem] = check_problem(A, b, 'fused_lasso_solve');
  [m, n] = size(A);
  check_weight(lambda1, 3, 'lambda1');
  check_weight(lambda2, 4, 'lambda2');
  check_options(opts, 'fused_lasso_solve');
  x0 = option(opts, 'x0', []);
  y0 = option(opts, 'y0', []);
  if ~isempty(x0) && ~(isnumeric(x0) && isreal(x0) && isequal(size(x0), [n, 1]) && all(isfinite(x0)))
    error('fused_lasso_solve: opts.x0 must be a finite real column of %d values (columns of A).', n);
  end
  if ~isempty(y0) && ~(isnumeric(y0) && isreal(y0) && isequal(size(y0), [m, 1]) && all(isfinite(y0)))
    error('fused_lasso_solve: opts.y0 must be a finite real column of %d values (rows of A).', m);
  end
  [x, info] = fused_lasso_core('fused_lasso_solve', A, b, lambda1, lambda2, opts, problem, start);
end

function check_weight(value, k, name)
  if ~isnumeric(value) || ~isreal(value) || ~isscalar(value) || ~(value >= 0) || ~isfinite(value)
    error('fused_lasso_solve: argument %d (%s) must be a finite nonnegative real scalar.', k, name);
  end
end

%!test
%! % A = I: the closed form soft(zelmonte(b, lambda2), lambda1).
%! randn('state', 1);
%! b = 3 * randn(40, 1);
%! for lambdas = [0.3, 0.7; 0, 0.7; 0.3, 0; 2, 5]'
%!   v = zelmonte(b, lambdas(2));
%!   exact = sign(v) .* max(abs(v) - lambdas(1), 0);
%!   for I = {eye(40), speye(40)}
%!     [x, info] = fused_lasso_solve(I{1}, b, lambdas(1), lambdas(2), struct('tol', 1e-15));
%!     assert(info.converged && norm(x - exact) <= 1e-13 * max(norm(exact), 1));
%!   end
%! end

%!test
%! % The lasso, dense and sparse, wide: the optimality conditions from x,
%! % A and b alone (sign and bound of the gradient), and info.y = A*x - b.
%! randn('state', 2);
%! rand('state', 2);
%! for A = {randn(50, 200), sprandn(100, 800, 0.05)}
%!   A = A{1};
%!   b = A * [randn(10, 1); zeros(columns(A) - 10, 1)] + 0.1 * randn(rows(A), 1);
%!   l1 = 0.05 * norm(A' * b, inf);
%!   [x, info] = fused_lasso_solve(A, b, l1, 0);
%!   g = A' * (A * x - b);
%!   on = x ~= 0;
%!   assert(info.converged && any(on));
%!   assert(all(abs(g(on) + l1 * sign(x(on))) <= 1e-6 * l1));
%!   assert(all(abs(g(~on)) <= l1 * (1 + 1e-6)));
%!   assert(norm(info.y - (A * x - b)) <= 1e-12 * norm(b));
%! end

%!test
%! % max_iter reached: converged false (the warning: the last block).
%! randn('state', 3);
%! A = randn(30, 50);
%! b = randn(30, 1);
%! state = warning('off', 'lassowave:fused_lasso_solve:noconvergence');
%! [~, info] = fused_lasso_solve(A, b, 0.1, 0.5, struct('max_iter', 1, 'tol', 1e-15));
%! warning(state);
%! assert(~info.converged);

%!error <^fused_lasso_solve: argument 1 \(A\) has a NaN or Inf entry\.$> fused_lasso_solve([1, NaN; 0, 1], [1; 2], 1, 1)
%!error <^fused_lasso_solve: argument 2 \(b\) has a NaN or Inf entry\.$> fused_lasso_solve(eye(2), [1; Inf], 1, 1)
%!error <^fused_lasso_solve: argument 2 \(b\) must be a real column with as many rows as A \(2\)\.$> fused_lasso_solve(eye(2), [1; 2; 3], 1, 1)
%!error <^fused_lasso_solve: argument 3 \(lambda1\) must be a finite nonnegative real scalar\.$> fused_lasso_solve(eye(2), [1; 2], -1, 1)
%!error <^fused_lasso_solve: argument 4 \(lambda2\) must be a finite nonnegative real scalar\.$> fused_lasso_solve(eye(2), [1; 2], 1, NaN)
%!error <^fused_lasso_solve: argument 1 \(A\) must be a real non-empty numeric matrix\.$> fused_lasso_solve(single(1i), 1, 1, 1)
%!error <^fused_lasso_solve: opts.tol must be a finite nonnegative real scalar\.$> fused_lasso_solve(eye(2), [1; 2], 1, 0, struct('tol', 'abc'))
%!error <^fused_lasso_solve: opts.max_iter must be a nonnegative integer\.$> fused_lasso_solve(eye(2), [1; 2], 1, 0, struct('max_iter', 2.5))
%!error <^fused_lasso_solve: opts.sigma must be a finite positive real scalar\.$> fused_lasso_solve(eye(2), [1; 2], 1, 0, struct('sigma', -1))
%!error <^fused_lasso_solve: argument 5 \(opts\) must be a struct\.$> fused_lasso_solve(eye(2), [1; 2], 1, 0, 3)
%!test
%! % A sparse penalty (a sparse scalar is a valid scalar) reaches the solve as a dense one.
%! [x, info] = fused_lasso_solve(eye(2), [1; 2], 0.5, 0, struct('sigma', sparse(2), 'tol', 1e-14));
%! assert(info.converged && norm(x - [0.5; 1.5]) <= 1e-12);
%!warning <fused_lasso_solve: no convergence in 1 iterations> fused_lasso_solve(magic(4), [1; 2; 3; 4], 0.1, 0.5, struct('max_iter', 1, 'tol', 1e-15));
