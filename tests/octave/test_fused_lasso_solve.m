% toolbox/fused_lasso_solve.m against answers found without it: the closed
% form for A = I, the plain splitting method (fused_lasso_admm.m, no
% lassowave module) polished on its sign pattern, Octave's own qp, and the
% lasso's known limits.

%!shared objective
%! addpath(fullfile(fileparts(which('fused_lasso_admm')), '..', '..', 'toolbox'));
%! objective = @(A, b, l1, l2, x) 0.5 * norm(A * x - b)^2 + l1 * norm(x, 1) + l2 * norm(diff(x), 1);

%!function x = polished(A, b, lambda1, lambda2, z)
%!  % The exact minimizer on the sign pattern of the splitting's z = [x;
%!  % diff(x)]: pieces between the nonzero jumps, each zero or of one sign;
%!  % with the signs fixed the objective is quadratic in the pieces' values.
%!  n = columns(A);
%!  z1 = z(1:n);
%!  z2 = z(n + 1:end);
%!  piece = cumsum([1; z2 ~= 0]);
%!  E = sparse(1:n, piece, 1, n, piece(end));
%!  level = (E' * z1) ./ full(sum(E, 1))';
%!  s = sign(level) .* (abs(level) > 1e-6 * max(abs(z1)));
%!  E = E(:, s ~= 0);
%!  q = E' * (lambda1 * (E * s(s ~= 0)) + lambda2 * ([0; sign(z2)] - [sign(z2); 0]));
%!  AE = A * E;
%!  x = E * ((AE' * AE) \ (AE' * b - q));
%!endfunction

%!function [A, b] = problem(m, n, seed)
%!  % A piecewise-constant, partly zero truth seen through a random A.
%!  randn('state', seed);
%!  A = randn(m, n);
%!  truth = zeros(n, 1);
%!  truth(round(n / 5):round(n / 2)) = 1.5;
%!  truth(round(2 * n / 3):end) = -1;
%!  b = A * truth + 0.1 * randn(m, 1);
%!endfunction

%!test
%! % A = I: the closed form soft(zelmonte(b, lambda2), lambda1), to rounding
%! % (zelmonte's own rounding is relative to lambda2*eps).
%! randn('state', 1);
%! for n = [1, 2, 40]
%!   b = 3 * randn(n, 1);
%!   for lambdas = [0.3, 0.7; 0, 0.7; 0.3, 0; 2, 5]'
%!     v = zelmonte(b, lambdas(2));
%!     exact = sign(v) .* max(abs(v) - lambdas(1), 0);
%!     for I = {eye(n), speye(n)}
%!       [x, info] = fused_lasso_solve(I{1}, b, lambdas(1), lambdas(2), struct('tol', 1e-15));
%!       assert(info.converged);
%!       assert(norm(x - exact) <= 1e-13 * max(norm(exact), 1));
%!     end
%!   end
%! end

%!test
%! % Small dense problems, tall and wide, against the splitting method run
%! % to relative residuals of 1e-10 and polished: objectives equal to 1e-9.
%! for c = {{50, 30, 1, 0.5, 2}, {20, 60, 2, 0.2, 1}, {60, 60, 3, 1, 5}, {25, 45, 4, 0.05, 0.5}, ...
%!          {40, 80, 6, 0, 1}}
%!   [m, n, seed, l1, l2] = c{1}{:};
%!   [A, b] = problem(m, n, seed);
%!   [x, info] = fused_lasso_solve(A, b, l1, l2);
%!   assert(info.converged && info.kkt <= 1e-9);
%!   [xa, z] = fused_lasso_admm(A, b, l1, l2, norm(A)^2 / 10, 1e-10, 100000);
%!   xp = polished(A, b, l1, l2, z);
%!   f = objective(A, b, l1, l2, x);
%!   fp = objective(A, b, l1, l2, xp);
%!   assert(fp <= objective(A, b, l1, l2, xa));
%!   assert(abs(f - fp) <= 1e-9 * fp);
%!   assert(norm(x - xp) <= 1e-6 * norm(xp));
%! end

%!test
%! % Near the solution the solve ends on the linear system of x's pieces
%! % and signs: exact to rounding after few outer iterations, dense and
%! % sparse, lambda1 = 0 (pieces of zeros free) included; the same x as
%! % a tolerance the outer iterations reach by themselves.
%! [A, b] = problem(200, 1000, 7);
%! l1 = 0.02 * norm(A' * b, inf);
%! for lambdas = [l1, 10 * l1; 0, 10 * l1]'
%!   for M = {A, sparse(A)}
%!     [x, info] = fused_lasso_solve(M{1}, b, lambdas(1), lambdas(2));
%!     assert(info.kkt <= 1e-13 && info.iterations <= 4);
%!     [xt, info] = fused_lasso_solve(M{1}, b, lambdas(1), lambdas(2), struct('tol', 1e-5));
%!     assert(norm(x - xt) <= 1e-12 * norm(x));
%!   end
%! end

%!test
%! % Octave's qp on the same problem written with t >= |x|, s >= |diff(x)|.
%! [A, b] = problem(30, 20, 5);
%! l1 = 0.5;
%! l2 = 2;
%! n = 20;
%! D = diff(eye(n));
%! H = blkdiag(A' * A, zeros(2 * n - 1));
%! q = [-A' * b; l1 * ones(n, 1); l2 * ones(n - 1, 1)];
%! I = eye(n);
%! Z = zeros(n - 1, n);
%! C = [I, -I, Z'; -I, -I, Z'; D, Z, -eye(n - 1); -D, Z, -eye(n - 1)];
%! % qp's active-set method may stop at its iteration limit (seen with
%! % Octave 9): then its point is only feasible, so x must be at least as
%! % good; where it reports a solution the two must agree.
%! [v, ~, qinfo] = qp(zeros(3 * n - 1, 1), H, q, [], [], [], [], [], C, ...
%!                    zeros(4 * n - 2, 1), optimset('MaxIter', 5000));
%! [x, info] = fused_lasso_solve(A, b, l1, l2);
%! assert(info.converged);
%! f = objective(A, b, l1, l2, x);
%! fq = objective(A, b, l1, l2, v(1:n));
%! assert(f <= fq * (1 + 1e-9));
%! if qinfo.info == 0
%!   assert(abs(f - fq) <= 1e-9 * fq);
%! end

%!test
%! % lambda2 = 0, the lasso: its optimality conditions hold, and it agrees
%! % with the splitting method.
%! [A, b] = problem(40, 60, 6);
%! l1 = 0.1 * norm(A' * b, inf);
%! [x, info] = fused_lasso_solve(A, b, l1, 0);
%! assert(info.converged);
%! g = A' * (A * x - b);
%! on = x ~= 0;
%! assert(any(on) && any(~on));
%! assert(max(abs(g(on) + l1 * sign(x(on)))) <= 1e-7 * l1);
%! assert(max(abs(g(~on))) <= l1 * (1 + 1e-7));
%! [~, z] = fused_lasso_admm(A, b, l1, 0, norm(A)^2 / 10, 1e-10, 100000);
%! fp = objective(A, b, l1, 0, polished(A, b, l1, 0, z));
%! assert(abs(objective(A, b, l1, 0, x) - fp) <= 1e-9 * fp);

%!test
%! % lambda1 = 0, total variation only (tall A: a unique solution).
%! [A, b] = problem(60, 40, 7);
%! [x, info] = fused_lasso_solve(A, b, 0, 3);
%! assert(info.converged);
%! [~, z] = fused_lasso_admm(A, b, 0, 3, norm(A)^2 / 10, 1e-10, 100000);
%! z(1:40) = 1;   % every piece free: no l1 term to fix a zero
%! fp = objective(A, b, 0, 3, polished(A, b, 0, 3, z));
%! assert(abs(objective(A, b, 0, 3, x) - fp) <= 1e-9 * fp);
%! % lambda1 = lambda2 = 0: least squares.
%! [x, info] = fused_lasso_solve(A, b, 0, 0);
%! assert(info.converged);
%! assert(norm(x - A \ b) <= 1e-8 * norm(A \ b));

%!test
%! % x = 0 exactly from lambda1_max = ||A'*b||_inf on (the lasso, and with
%! % the TV term too), and not below it.
%! [A, b] = problem(30, 50, 8);
%! l1max = norm(A' * b, inf);
%! for l2 = [0, 1]
%!   for l1 = [1, 1.01, 10] * l1max
%!     [x, info] = fused_lasso_solve(A, b, l1, l2);
%!     assert(isequal(x, zeros(50, 1)) && info.converged);
%!   end
%! end
%! [x, info] = fused_lasso_solve(A, b, 0.99 * l1max, 0);
%! assert(nnz(x) >= 1 && info.converged);

%!test
%! % Sparse A, tall and wide: the same solution as for full(A).
%! randn('state', 9);
%! rand('state', 9);
%! for size_ = [80, 50; 40, 90]'
%!   A = sprandn(size_(1), size_(2), 0.2);
%!   b = A * [zeros(20, 1); 2 * ones(20, 1); zeros(size_(2) - 40, 1)] + 0.1 * randn(size_(1), 1);
%!   [x, info] = fused_lasso_solve(A, b, 0.3, 1);
%!   [xf, info_f] = fused_lasso_solve(full(A), b, 0.3, 1);
%!   assert(info.converged && info_f.converged);
%!   f = objective(A, b, 0.3, 1, x);
%!   assert(abs(f - objective(A, b, 0.3, 1, xf)) <= 1e-9 * f);
%!   [~, z] = fused_lasso_admm(full(A), b, 0.3, 1, normest(A)^2 / 10, 1e-10, 100000);
%!   fp = objective(A, b, 0.3, 1, polished(full(A), b, 0.3, 1, z));
%!   assert(abs(f - fp) <= 1e-9 * fp);
%! end

%!test
%! % What info holds; b = 0; a looser tolerance stops no later.
%! [A, b] = problem(30, 40, 10);
%! [x, info] = fused_lasso_solve(A, b, 0.5, 2);
%! k = info.iterations;
%! assert(k >= 1 && info.newton_steps >= k && info.time >= 0);
%! assert(numel(info.history.kkt) == k && numel(info.history.sigma) == k);
%! assert(info.history.kkt(end) == info.kkt && all(info.history.sigma > 0));
%! assert(all(diff(info.history.time) >= 0) && info.history.time(end) <= info.time);
%! [x, info] = fused_lasso_solve(A, zeros(30, 1), 0.5, 2);
%! assert(isequal(x, zeros(40, 1)) && info.kkt == 0 && info.iterations == 0);
%! [~, loose] = fused_lasso_solve(A, b, 0.5, 2, struct('tol', 1e-3));
%! assert(loose.kkt <= 1e-3 && loose.iterations <= k);

%!error <^fused_lasso_solve: requires 4 or 5 input arguments\.$> fused_lasso_solve(eye(2), [1; 2], 1)
%!error <^fused_lasso_solve: argument 1 \(A\) must be a real non-empty numeric matrix\.$> fused_lasso_solve(1i * eye(2), [1; 2], 1, 1)
%!error <^fused_lasso_solve: argument 2 \(b\) must be a real column with as many rows as A \(2\)\.$> fused_lasso_solve(eye(2), [1, 2], 1, 1)
%!error <^fused_lasso_solve: argument 3 \(lambda1\) must be a finite nonnegative real scalar\.$> fused_lasso_solve(eye(2), [1; 2], -1, 1)
%!error <^fused_lasso_solve: argument 4 \(lambda2\) must be a finite nonnegative real scalar\.$> fused_lasso_solve(eye(2), [1; 2], 1, NaN)
%!error <^fused_lasso_solve: argument 5 \(opts\) must be a struct\.$> fused_lasso_solve(eye(2), [1; 2], 1, 1, 3)

%!test
%! % Many small pieces and a small lambda2: some 80 Newton steps, whose
%! % groups the solver sums once and keeps (past 16 blocks of them, which
%! % it joins). Optimal by the fixed point x = prox(x - A'*(A*x - b)),
%! % checked here from x, A and b alone, dense and sparse alike.
%! randn('state', 5);
%! A = randn(120, 600);
%! b = A * repelem(randn(30, 1), 20) + 0.5 * randn(120, 1);
%! l1 = 1e-3 * norm(A' * b, inf);
%! l2 = 0.02 * norm(A' * b, inf);
%! for S = {A, sparse(A)}
%!   [x, info] = fused_lasso_solve(S{1}, b, l1, l2, struct('tol', 1e-12));
%!   g = A' * (A * x - b);
%!   v = zelmonte(x - g, l2);
%!   assert(info.converged && info.newton_steps > 16);
%!   assert(norm(x - sign(v) .* max(abs(v) - l1, 0)) <= 1e-11 * (norm(b) + norm(x) + norm(g)));
%! end

%!test
%! % A sparse design of 100000 rows: the solver keeps at most 2^23 entries
%! % of run sums (84 runs of this height), so its store restarts again and
%! % again, and a step with more kept groups than that only sums them.
%! % Optimal by the prox fixed point, from x, A and b alone.
%! randn('state', 3);
%! rand('state', 3);
%! A = sprandn(100000, 300, 1e-3);
%! b = A * repelem(randn(60, 1), 5) + 0.1 * randn(100000, 1);
%! l1 = 1e-4 * norm(A' * b, inf);
%! l2 = 1e-3 * norm(A' * b, inf);
%! [x, info] = fused_lasso_solve(A, b, l1, l2, struct('tol', 1e-12));
%! g = A' * (A * x - b);
%! v = zelmonte(x - g, l2);
%! assert(info.converged && nnz(diff(x)) > 84);
%! assert(norm(x - sign(v) .* max(abs(v) - l1, 0)) <= 1e-11 * (norm(b) + norm(x) + norm(g)));

%!test
%! % Work count on a problem like the benchmark's smaller one (Gaussian
%! % A, five pieces): 16 Newton steps; halving the line search's steps
%! % took 44.
%! randn('state', 1);
%! A = randn(500, 2000) / sqrt(500);
%! truth = zeros(2000, 1);
%! truth([100:180, 400:480, 900:940, 1300:1420, 1700:1750]) = 1;
%! b = A * truth + 0.05 * randn(500, 1);
%! l1 = 0.01 * norm(A' * b, inf);
%! [x, info] = fused_lasso_solve(A, b, l1, 10 * l1, struct('tol', 1e-12));
%! assert(info.converged && info.newton_steps <= 22);

%!test
%! % A random sparse design whose Newton matrix fills in (its Cholesky
%! % factor would be nearly dense) and with more kept columns than a
%! % factor of their order pays for: the same solution as the dense A,
%! % and the lasso's optimality conditions from x, A and b alone.
%! randn('state', 12);
%! rand('state', 12);
%! A = sprandn(400, 3000, 0.02);
%! b = A * [randn(60, 1); zeros(2940, 1)] + 0.1 * randn(400, 1);
%! l1 = 0.02 * norm(A' * b, inf);
%! [x, info] = fused_lasso_solve(A, b, l1, 0);
%! assert(info.converged && nnz(x) > 150);
%! g = A' * (A * x - b);
%! on = x ~= 0;
%! assert(all(abs(g(on) + l1 * sign(x(on))) <= 1e-6 * l1));
%! assert(all(abs(g(~on)) <= l1 * (1 + 1e-6)));
%! xf = fused_lasso_solve(full(A), b, l1, 0);
%! f = objective(A, b, l1, 0, x);
%! assert(abs(f - objective(A, b, l1, 0, xf)) <= 1e-9 * f);

%!test
%! % The lasso with about as many nonzeros as rows (neighbouring columns
%! % correlated, a small lambda1): the dense A's Newton matrices come from
%! % its cache of Gram columns, also where more columns are kept than A
%! % has rows; the sparse A's are formed anew. Both meet the optimality
%! % conditions and agree.
%! randn('state', 15);
%! m = 120;
%! n = 480;
%! A = randn(m, n);
%! for j = 2:n
%!   A(:, j) = 0.9 * A(:, j - 1) + sqrt(1 - 0.81) * A(:, j);
%! end
%! b = A * [randn(40, 1); zeros(n - 40, 1)] + randn(m, 1);
%! l1 = 1e-3 * norm(A' * b, inf);
%! [x, info] = fused_lasso_solve(A, b, l1, 0);
%! [xs, info_s] = fused_lasso_solve(sparse(A), b, l1, 0);
%! assert(info.converged && info_s.converged && nnz(x) > 0.8 * m);
%! g = A' * (A * x - b);
%! on = x ~= 0;
%! assert(all(abs(g(on) + l1 * sign(x(on))) <= 1e-6 * l1));
%! assert(all(abs(g(~on)) <= l1 * (1 + 1e-6)));
%! f = objective(A, b, l1, 0, x);
%! assert(abs(f - objective(A, b, l1, 0, xs)) <= 1e-9 * f);

%!test
%! % A at extreme scales (its Gram matrices would overflow or underflow)
%! % with lambdas of the same scale: the unit problem's solution, scaled.
%! [A, b] = problem(30, 60, 16);
%! x = fused_lasso_solve(A, b, 0.5, 2, struct('tol', 1e-12));
%! for c = [1e-300, 1e-160, 1e160, 1e300]
%!   [xc, info] = fused_lasso_solve(c * A, b, 0.5 * c, 2 * c, struct('tol', 1e-12));
%!   assert(info.converged && norm(c * xc - x) <= 1e-9 * norm(x));
%! end

%!test
%! % A warm start (x, the dual point and the penalty of a nearby solve)
%! % reaches the same solution in fewer Newton steps; inputs unchanged.
%! [A, b] = problem(50, 120, 13);
%! [x1, i1] = fused_lasso_solve(A, b, 1, 2);
%! [x2, cold] = fused_lasso_solve(A, b, 0.9, 2);
%! [x3, warm] = fused_lasso_solve(A, b, 0.9, 2, struct('x0', x1, 'y0', 0.9 * i1.y, 'sigma', i1.sigma));
%! assert(cold.converged && warm.converged && warm.newton_steps < cold.newton_steps);
%! f = objective(A, b, 0.9, 2, x2);
%! assert(abs(objective(A, b, 0.9, 2, x3) - f) <= 1e-9 * f);
%! assert(norm(i1.y - (A * x1 - b)) <= 1e-12 * norm(b));

%!test
%! % Too few iterations: converged is false, and a warning says so.
%! [A, b] = problem(40, 60, 14);
%! opts = struct('max_iter', 1, 'tol', 1e-14);
%! state = warning('query', 'lassowave:fused_lasso_solve:noconvergence');
%! warning('error', 'lassowave:fused_lasso_solve:noconvergence');
%! try
%!   fused_lasso_solve(A, b, 0.1, 0.5, opts);
%!   err = [];
%! catch err
%! end
%! warning(state.state, 'lassowave:fused_lasso_solve:noconvergence');
%! assert(~isempty(err) && strcmp(err.identifier, 'lassowave:fused_lasso_solve:noconvergence'));
%! assert(strncmp(err.message, 'fused_lasso_solve: no convergence in 1 iterations (', 51));
%! warning('off', 'lassowave:fused_lasso_solve:noconvergence');
%! [~, info] = fused_lasso_solve(A, b, 0.1, 0.5, opts);
%! warning(state.state, 'lassowave:fused_lasso_solve:noconvergence');
%! assert(~info.converged && info.kkt > 1e-14);

%!error <^fused_lasso_solve: argument 1 \(A\) has a NaN or Inf entry\.$> fused_lasso_solve([1, NaN; 0, 1], [1; 2], 1, 1)
%!error <^fused_lasso_solve: argument 1 \(A\) has a NaN or Inf entry\.$> fused_lasso_solve(sparse([1, 0; Inf, 1]), [1; 2], 1, 1)
%!error <^fused_lasso_solve: argument 2 \(b\) has a NaN or Inf entry\.$> fused_lasso_solve(eye(2), [1; Inf], 1, 1)
%!error <^fused_lasso_solve: argument 2 \(b\) must be a real column with as many rows as A \(2\)\.$> fused_lasso_solve(eye(2), [1; 2; 3], 1, 1)
%!error <^fused_lasso_solve: argument 3 \(lambda1\) must be a finite nonnegative real scalar\.$> fused_lasso_solve(eye(2), [1; 2], Inf, 1)
%!error <^fused_lasso_solve: argument 1 \(A\) must be a real non-empty numeric matrix\.$> fused_lasso_solve({1}, 1, 1, 1)
%!error <^fused_lasso_solve: opts.x0 must be a finite real column of 2 values \(columns of A\)\.$> fused_lasso_solve(eye(2), [1; 2], 1, 1, struct('x0', [1; 2; 3]))
