function [X, info] = fused_lasso_path(A, b, lambda1, lambda2, opts)
%FUSED_LASSO_PATH Fused-lasso solutions along a sequence of weights, each warm-started.
%   [X, info] = fused_lasso_path(A, b, lambda1, lambda2)
%   [X, info] = fused_lasso_path(A, b, lambda1, lambda2, opts)
%
%   Column k of X minimizes
%       0.5*||A*x - b||^2 + lambda1(k)*||x||_1 + lambda2(k)*sum(abs(diff(x)))
%   (see fused_lasso_solve). lambda1 and lambda2 hold K values each (a
%   single value stands for K copies); the problems are solved in the order
%   given, each by fused_lasso_solve's method started from the one before
%   (reusing the Gram matrices of A's columns it formed): its x and its
%   residual A*x - b scaled into the new problem's dual feasible set (by
%   the smaller ratio of new to old weights). A decreasing lambda1
%   thus keeps every Newton system near the size of the solution's. The
%   penalty starts afresh each time: the last one, grown large near the
%   last solution, doubled the path's Newton steps where it was handed on
%   (measured on a 1000 by 3275 polynomial design).
%
%   lambda1 = []: the default grid, opts.nlambda (100) values of lambda1
%   log-spaced from lambda_max down to opts.lambda_ratio (1e-3) times it,
%   with lambda2 a single value (0 when empty). lambda_max is the smallest
%   lambda1 for which x = 0: x = 0 is optimal iff A'*b = lambda1*u +
%   lambda2*D'*z for some u, z in [-1, 1] (D the difference matrix), i.e.
%   iff A'*b - lambda2*D'*z lies in [-lambda1, lambda1] for some such z.
%   The smallest such bound over z is the largest magnitude of the 1-D
%   total-variation denoising of A'*b by lambda2 (the taut string through
%   the tube of radius lambda2 about cumsum(A'*b) has the least largest
%   slope of all paths in it), so lambda_max = max(abs(zelmonte(A'*b,
%   lambda2))), ||A'*b||_inf for the lasso. X(:, 1) is then exactly 0.
%
%   opts: fused_lasso_solve's tol and max_iter, passed to every solve, and
%   nlambda, lambda_ratio (the default grid's).
%
%   X is n-by-K, sparse when that takes less memory. info is a K-by-1
%   struct array of the solves' info (fused_lasso_solve), with the fields
%   lambda1 and lambda2 added. A solve that ends at max_iter unconverged
%   is reported by the warning lassowave:fused_lasso_path:noconvergence.
%
%   Example:
%     A = randn(100, 300); x0 = zeros(300, 1); x0(1:10) = 3;
%     [X, info] = fused_lasso_path(A, A*x0 + 0.1*randn(100, 1), [], 0);
%     semilogx([info.lambda1], X');    % the lasso path
%
%   See also FUSED_LASSO_SOLVE, ZELMONTE.
  if nargin < 4
    error('fused_lasso_path: requires 4 or 5 input arguments.');
  end
  if nargin < 5 || isempty(opts)
    opts = struct();
  end
  [A, b, problem] = check_problem(A, b, 'fused_lasso_path');
  check_options(opts, 'fused_lasso_path');
  check_weights(lambda1, 3, 'lambda1');
  check_weights(lambda2, 4, 'lambda2');
  if isempty(lambda2)
    lambda2 = 0;
  end
  if isempty(lambda1)
    if ~isscalar(lambda2)
      error('fused_lasso_path: argument 4 (lambda2) must be a single value when lambda1 is empty (the default grid).');
    end
    nlambda = option(opts, 'nlambda', 100);
    ratio = option(opts, 'lambda_ratio', 1e-3);
    if ~(isscalar(nlambda) && nlambda >= 1 && nlambda == fix(nlambda)) || ~(isscalar(ratio) && ratio > 0 && ratio <= 1)
      error('fused_lasso_path: opts.nlambda must be a positive integer and opts.lambda_ratio in (0, 1].');
    end
    lambda1 = max(abs(zelmonte(A' * b, lambda2))) * logspace(0, log10(ratio), nlambda);
  end
  K = max(numel(lambda1), numel(lambda2));
  if ~any(numel(lambda1) == [1, K]) || ~any(numel(lambda2) == [1, K])
    error('fused_lasso_path: lambda1 and lambda2 must hold equally many values (or one of them a single value).');
  end
  lambda1 = repmat(lambda1(:), K / numel(lambda1), 1);
  lambda2 = repmat(lambda2(:), K / numel(lambda2), 1);

  solve_opts = struct('tol', option(opts, 'tol', []), 'max_iter', option(opts, 'max_iter', []));
  n = columns(A);
  dense = zeros(n, 0);
  for k = 1:K   % problem: ||A||_F and the lasso's Gram cache, shared by the solves
    [x, info_k, problem] = fused_lasso_core('fused_lasso_path', A, b, lambda1(k), lambda2(k), ...
                                            solve_opts, problem, tic);
    info_k.lambda1 = lambda1(k);
    info_k.lambda2 = lambda2(k);
    info(k, 1) = info_k;
    % The next start: x and the dual point scaled by c <= 1 so that
    % A'*y in c*(lambda1*U + lambda2*D'*U) lies in the next problem's set.
    if k < K
      c = min([1, ratio_of(lambda1(k + 1), lambda1(k)), ratio_of(lambda2(k + 1), lambda2(k))]);
      solve_opts.x0 = x;
      solve_opts.y0 = c * info_k.y;
    end
    dense(:, k) = x;
  end
  if 2 * nnz(dense) + n + 1 < numel(dense)   % sparse storage: 16 bytes a nonzero, 8 a column
    X = sparse(dense);
  else
    X = dense;
  end
end

function c = ratio_of(new, old)
  if old > 0
    c = new / old;
  else
    c = 1;
  end
end

function check_weights(value, k, name)
  if ~isnumeric(value) || ~isreal(value) || (~isempty(value) && ~isvector(value)) ...
     || ~all(value(:) >= 0 & isfinite(value(:)))
    error('fused_lasso_path: argument %d (%s) must be a vector of finite nonnegative real values.', k, name);
  end
end

%!shared A, b
%! randn('state', 11);
%! A = randn(60, 150);
%! truth = zeros(150, 1);
%! truth(21:40) = 2;
%! truth(90:95) = -1;
%! b = A * truth + 0.1 * randn(60, 1);

%!test
%! % The default grid: 100 values from lambda_max down to 1e-3 of it, the
%! % first point exactly 0 and not just below it; every point optimal by
%! % the lasso's own conditions (sign and bound of the gradient), checked
%! % here from x, A and b alone.
%! [X, info] = fused_lasso_path(A, b, [], 0);
%! l1 = [info.lambda1];
%! assert(size(X), [150, 100]);
%! assert(l1(1), norm(A' * b, inf), 1e-14 * l1(1));
%! assert(l1(end) / l1(1), 1e-3, 1e-12);
%! assert(all(diff(l1) < 0) && all([info.converged]));
%! assert(nnz(X(:, 1)) == 0 && nnz(X(:, 2)) > 0);
%! for k = 1:100
%!   x = full(X(:, k));
%!   g = A' * (A * x - b);
%!   on = x ~= 0;
%!   assert(all(abs(g(on) + l1(k) * sign(x(on))) <= 1e-6 * l1(1)));
%!   assert(all(abs(g(~on)) <= l1(k) + 1e-6 * l1(1)));
%! end

%!test
%! % With lambda2 > 0 lambda_max is the largest magnitude of the TV
%! % denoising of A'*b, below ||A'*b||_inf: x = 0 exactly there, not below.
%! l2 = 5;
%! [X, info] = fused_lasso_path(A, b, [], l2, struct('nlambda', 3));
%! lmax = info(1).lambda1;
%! assert(lmax < norm(A' * b, inf));
%! assert(nnz(X(:, 1)) == 0);
%! x = fused_lasso_solve(A, b, 0.99 * lmax, l2);
%! assert(nnz(x) > 0);

%!test
%! % Warm starts give the cold solutions to the tolerance, for the lasso
%! % and the fused lasso, with vector and single-value weights.
%! obj = @(x, l1, l2) 0.5 * norm(A * x - b)^2 + l1 * norm(x, 1) + l2 * norm(diff(x), 1);
%! for c = {{[8, 4, 2, 1, 0.5], 0}, {[8, 4, 2, 1], [3, 2, 2, 1]}, {2, [6, 3, 1]}}
%!   [l1, l2] = c{1}{:};
%!   [X, info] = fused_lasso_path(A, b, l1, l2);
%!   K = columns(X);
%!   assert(K == max(numel(l1), numel(l2)) && numel(info) == K);
%!   for k = 1:K
%!     a = info(k).lambda1;
%!     d = info(k).lambda2;
%!     [x, cold] = fused_lasso_solve(A, b, a, d);
%!     assert(info(k).converged && cold.converged);
%!     assert(abs(obj(full(X(:, k)), a, d) - obj(x, a, d)) <= 1e-9 * obj(x, a, d));
%!   end
%! end

%!error <^fused_lasso_path: lambda1 and lambda2 must hold equally many values \(or one of them a single value\)\.$> fused_lasso_path(eye(3), [1; 2; 3], [1, 2], [1, 2, 3])
%!error <^fused_lasso_path: argument 3 \(lambda1\) must be a vector of finite nonnegative real values\.$> fused_lasso_path(eye(3), [1; 2; 3], [1, -2], 0)
%!error <^fused_lasso_path: argument 4 \(lambda2\) must be a vector of finite nonnegative real values\.$> fused_lasso_path(eye(3), [1; 2; 3], 1, Inf)
%!error <^fused_lasso_path: argument 4 \(lambda2\) must be a single value when lambda1 is empty \(the default grid\)\.$> fused_lasso_path(eye(3), [1; 2; 3], [], [1, 2])
%!error <^fused_lasso_path: argument 1 \(A\) has a NaN or Inf entry\.$> fused_lasso_path([1, NaN; 0, 1], [1; 2], 1, 0)
%!error <^fused_lasso_path: argument 2 \(b\) must be a real column with as many rows as A \(2\)\.$> fused_lasso_path(eye(2), [1; 2; 3], 1, 0)
%!error <^fused_lasso_path: requires 4 or 5 input arguments\.$> fused_lasso_path(eye(2), [1; 2], 1)
%!error <^fused_lasso_path: opts.tol must be a finite nonnegative real scalar\.$> fused_lasso_path(eye(2), [1; 2], 1, 0, struct('tol', NaN))

%!test
%! % Work count of the warm starts with the TV term: an 8-point fused path
%! % takes 79 Newton steps, the same 8 solves from x = 0 take 190 (with the
%! % lasso's larger first penalty from a warm start the path took 145).
%! randn('state', 1);
%! A = randn(300, 1200) / sqrt(300);
%! truth = zeros(1200, 1);
%! truth([100:180, 400:480, 700:760, 1000:1100]) = 1;
%! b = A * truth + 0.05 * randn(300, 1);
%! l1 = 0.01 * norm(A' * b, inf) * logspace(1, -0.5, 8);
%! [X, info] = fused_lasso_path(A, b, l1, 10 * l1);
%! cold = 0;
%! for k = 1:8
%!   [x, info_k] = fused_lasso_solve(A, b, l1(k), 10 * l1(k));
%!   cold = cold + info_k.newton_steps;
%!   assert(norm(full(X(:, k)) - x) <= 1e-6 * max(norm(x), 1));
%! end
%! assert(all([info.converged]) && sum([info.newton_steps]) <= 0.6 * cold);
