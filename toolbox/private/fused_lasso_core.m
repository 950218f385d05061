function [x, info, problem] = fused_lasso_core(caller, A, b, lambda1, lambda2, opts, problem, start)
% The solve behind fused_lasso_solve and fused_lasso_path, on checked
% arguments (see fused_lasso_solve's help for opts: tol, max_iter, sigma,
% x0, y0); caller names the function in the warning on no convergence.
% problem is check_problem's on a first call, or what the last call on
% the same A returned: ||A||_F, A's scale and the lasso's Gram cache,
% which the solves of a path then share (a 1000 by 3275 design's cache
% costs as much as several Newton steps to rebuild).
  [m, n] = size(A);
  tol = option(opts, 'tol', 1e-9);
  max_iter = option(opts, 'max_iter', 200);
  sigma = full(double(option(opts, 'sigma', [])));
  x0 = option(opts, 'x0', []);
  y0 = option(opts, 'y0', []);
  if ~isfield(problem, 'normF')
    if numel(A) >= 2 ^ 21
      warm_allocator();
    end
    % ||A||_F from the plain sum of squares, a sixth of norm(A, 'fro')'s
    % time (it scales against overflow); norm only where that over- or
    % underflows.
    normF = sqrt(problem.sumsq);
    if ~(isfinite(normF) && normF > sqrt(realmin))
      normF = norm(A, 'fro');
    end
    % The Gram matrices overflow for ||A||_F beyond about 1e150, and lose
    % their digits to underflow below 1e-150: far outside 1e+-100, A is
    % scaled by a power of two c (exactly) with x/c and c*lambda, which
    % leaves A*x and the objective as they were.
    c = 1;
    if normF > 0 && (normF > 1e100 || normF < 1e-100)
      c = 2 ^ -round(log2(normF));
    end
    problem = struct('normF', c * normF, 'c', c, 'gram', gram_cache(A));
  end
  normF = problem.normF;
  c = problem.c;
  if c ~= 1
    [A, lambda1, lambda2, x0] = deal(c * A, c * lambda1, c * lambda2, x0 / c);
  end
  % A large first penalty (sigma*||A||^2 in the hundreds) makes the first
  % proximal step most of the solve; the Newton systems are solved
  % directly, so their conditioning costs little. min(m, n)/||A||_F^2 is
  % 1/(mean square singular value), a cheap stand-in for 1/||A||^2.
  % For the lasso from a warm start (x0) 25 times that: the solution is
  % near, so larger proximal steps save outer iterations, while the
  % Newton steps, whose kinks come closer as sigma grows, still take few
  % cuts (measured on a lasso path: 0.6 of the time at 25, and more again
  % beyond 125). With the TV term the groups move at every kink, and a
  % warm start keeps the first penalty (a 20-point fused path at 500 by
  % 2000: 139 Newton steps against 252 at 25 times, 177 at 5 times). For
  % the lasso from x = 0, 3 times that: its continuation's first stage
  % then needs fewer outer iterations (measured: 0.95 of the time at
  % 2000 by 10000, 0.8 on the degree-7 expansion; with the TV term 3
  % times is 1.8 times slower).
  if isempty(sigma)
    sigma = 256 * min(m, n) / max(normF ^ 2, realmin);
    if lambda2 == 0 && ~isempty(x0)
      sigma = 25 * sigma;
    elseif lambda2 == 0
      sigma = 3 * sigma;
    end
  end

  history = struct('kkt', [], 'objective', [], 'sigma', [], 'newton_steps', [], 'time', []);
  if isempty(x0)
    x = zeros(n, 1);
    residual = -b;
  else
    x = full(double(x0));
    residual = times_sparse(A, x) - b;
  end
  y = residual;
  [kkt, ~, denominator, g] = kkt_residual(A, b, x, residual, lambda1, lambda2);
  iter = 0;
  steps_total = 0;
  if kkt > tol
    % Units in which ||b|| = 1: the tolerances below are then relative ones.
    % x and the residual y scale alike, so sigma carries over (s2/s1 = 1).
    % Scaling is switched off for an ||b|| above 1e7 (1/||b|| < 1e-7);
    % the iteration is the same in either units.
    scale = 1 / max(norm(b), realmin);
    [sigma, s] = gravenmor(sigma, scale, scale, lambda1, lambda2);
    x = s * x;
    y = s * y;
    if isempty(x0)
      % From x = 0 the first inner solve starts at y = 0, where u = 0 and
      % the Jacobian is empty: its first direction is -b, and the
      % backtracking along it lets the kept set grow from nothing. From
      % y = -b nearly every position would be kept at first.
      y = zeros(m, 1);
    end
    % Continuation: from x = 0, lambda1 above about a tenth of
    % ||A'*b||_inf keeps few positions, so the first Newton systems are
    % small; each stage ends loosely (1e-4) and hands x, y and sigma on.
    % Each stage starts from the last one's dual point scaled into the new
    % dual feasible set, so its first step keeps about the last solution's
    % positions. Only for the lasso: with the TV term the groups the
    % first steps form keep the systems small already, and the stages
    % cost more than they save (measured: 2.3 times the time at 2000 by
    % 10000).
    lam1_top = norm(g, inf);
    stages = lambda1;
    if isempty(x0) && lambda1 > 0 && lambda2 == 0
      while stages(1) < 0.1 * lam1_top
        stages = [10 * stages(1), stages];
      end
    end
    % A'*y goes with y from stage to stage (alm): known here but for y0
    % (y = 0, or the residual's s*g).
    Aty = s * g;
    if ~isempty(y0)
      y = s * full(double(y0));
      Aty = [];
    elseif isempty(x0)
      Aty = zeros(n, 1);
    elseif lambda2 == 0 && lambda1 > 0
      % x0's residual y (the dual point of other weights) is scaled into
      % the dual feasible set ||A'*y||_inf <= lambda1 (g = A'*y): the first
      % step then keeps about x0's positions, not every one whose gradient
      % exceeds lambda1.
      f = min(1, lambda1 / max(norm(g, inf), realmin));
      y = f * y;
      Aty = f * Aty;
    end
    state = struct('sigma', sigma, 'sigma_max', 1e8 * sigma, 'sigma_min', 1e-4 * sigma, ...
                   'gram', problem.gram, 'sums', sums_cache(n), 'Aty', Aty);
    for k = 1:numel(stages)
      final = k == numel(stages);
      if k > 1
        % The same for the last stage's dual point: feasible for the
        % stage's lambdas when scaled with them.
        y = y * stages(k) / stages(k - 1);
        state.Aty = state.Aty * stages(k) / stages(k - 1);
      end
      lam1 = s * stages(k);
      lam2 = s * lambda2 * stages(k) / lambda1;
      if final
        [lam1, lam2] = deal(s * lambda1, s * lambda2);
        [stage_tol, stage_iter] = deal(tol, max_iter);
      else
        [stage_tol, stage_iter] = deal(max(tol, 1e-4), 50);
      end
      if k == 1
        known = [kkt, s * denominator];   % x is still the entry's
      else
        known = [];
      end
      [x, y, state, h, iter, steps, kkt, residual] = alm(A, b, s, x, y, state, lam1, lam2, stage_tol, ...
                                               stage_iter, normF, start, known);
      steps_total = steps_total + steps;
      if final
        history = h;
      end
    end
    sigma = state.sigma;
    problem.gram = state.gram;
    x = x / s;
    y = residual;
    if isempty(y)   % max_iter = 0
      y = A * x - b;
    end
  end
  x = c * x;
  info = struct('iterations', iter, 'newton_steps', steps_total, 'kkt', kkt, ...
                'converged', kkt <= tol, 'time', toc(start), 'y', y, 'sigma', sigma, ...
                'history', history);
  if ~info.converged
    warning(['lassowave:' caller ':noconvergence'], ...
            '%s: no convergence in %d iterations (relative KKT residual %.3g, tolerance %.3g).', ...
            caller, max_iter, kkt, tol);
  end
end

function [x, y, state, history, iter, steps_total, kkt, r] = alm(A, b0, s, x, y, state, lam1, lam2, ...
                                                               tol, max_iter, normF, start, known)
% Outer iterations in the scaled units (b = s*b0, x and y scaled alike)
% from x and y, to a relative KKT residual of tol or max_iter iterations;
% the residual is taken in the caller's units, as it is reported.
  b = s * b0;
  history = struct('kkt', [], 'objective', [], 'sigma', [], 'newton_steps', [], 'time', []);
  sigma = state.sigma;
  count_raise = 0;
  count_lower = 0;
  steps_total = 0;
  % The residual at x and its denominator, in these units: given (known)
  % when x is the caller's entry point, which has just been checked.
  r = [];
  if isempty(known)
    r = times_sparse(A, x / s) - b0;
    [kkt, ~, denominator] = kkt_residual(A, b0, x / s, r, lam1 / s, lam2 / s);
    denominator = s * denominator;
  else
    kkt = known(1);
    denominator = known(2);
  end
  kkt_scale = kkt;    % the inner tolerance follows the outer residual
  inner_share = 0.1;
  if lam2 > 0
    inner_share = 1;
  end
  % A'*y (state.Aty, or [] where not known), carried from one inner solve
  % to the next (y is where the last one ended) instead of read afresh:
  % each product with A' is a pass over all of A, the cost of a Newton
  % step at 2000 by 10000.
  Aty = state.Aty;
  iter = 0;
  for iter = 1:max_iter
    % The inner gradient's effect on the next x is sigma*A'*grad, and
    % ||A'*grad|| <= ||A||_F*||grad||: asking ||grad|| to be a tenth of
    % the current KKT residual (in gradient units) keeps the inner error
    % below the outer progress, so the outer loop converges as exact
    % proximal-point steps would; it tightens as the outer residual falls.
    % With the TV term the whole residual will do: the first inner solve
    % is most of the work, and its last Newton steps, which refine the
    % groups, are repeated by the next one anyway (2000 by 10000: 25 steps
    % against 29; 500 by 2000: 13 against 19). The lasso's steps are the
    % same either way.
    grad_tol = inner_share * max(kkt_scale, 0.5 * tol) * denominator / max(normF, realmin);
    x_old = x;
    [y, x, grad, steps, state, Aty] = newton_inner(A, b, x_old, y, Aty, sigma, lam1, lam2, ...
                                                   grad_tol, state);
    steps_total = steps_total + steps;
    r = times_sparse(A, x / s) - b0;
    % One pass over A for both the KKT residual's g = A'*r and the dual
    % residual A'*grad below: the inner solve's gradient is
    % grad = y + b - A*x, so A'*r = (A'*y - A'*grad)/s. That difference
    % carries the rounding Aty gathered over the Newton steps, so a
    % residual near tol is confirmed from A'*r itself.
    Atgrad = A' * grad;
    [kkt, objective, denominator] = kkt_residual(A, b0, x / s, r, lam1 / s, lam2 / s, (Aty - Atgrad) / s);
    if kkt <= 10 * tol
      [kkt, objective, denominator] = kkt_residual(A, b0, x / s, r, lam1 / s, lam2 / s);
    end
    denominator = s * denominator;
    history.kkt(end + 1) = kkt;
    history.objective(end + 1) = objective;
    history.sigma(end + 1) = sigma;
    history.newton_steps(end + 1) = steps;
    history.time(end + 1) = toc(start);
    if kkt > tol && kkt <= 1e-3 && (lam2 > 0 || (lam1 > 0 && ~issparse(A)))
      % Near the solution x mostly has the solution's support and signs
      % already (with the TV term: its pieces and the signs of their
      % jumps), and there the solution solves a linear system (polish):
      % when it meets the tolerance, it ends the solve some outer
      % iterations early, and exact to rounding.
      if lam2 > 0
        [xp, rp, kkt_p, objective_p, state.sums] = polish_pieces(A, b0, x / s, lam1 / s, lam2 / s, ...
                                                                 state.sums);
      else
        [xp, rp, kkt_p, objective_p, state.gram] = polish(A, b0, x / s, lam1 / s, state.gram);
      end
      if kkt_p <= tol
        [x, r, kkt] = deal(s * xp, rp, kkt_p);
        history.kkt(end) = kkt;
        history.objective(end) = objective_p;
        history.time(end) = toc(start);
      end
    end
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
    dual = norm(Atgrad);
    if primal > dual
      count_raise = count_raise + 1;
    elseif dual > primal
      count_lower = count_lower + 1;
    end
    if lam2 > 0
      % Step factor 5 (factor_switch 0): with the first penalty already
      % large, few raises are needed, and the last y stays a close start.
      [sigma, count_raise, count_lower] = ...
          sandrevo(sigma, state.sigma_max, state.sigma_min, count_raise, count_lower, iter, 0);
    else
      [sigma, count_raise, count_lower] = ...
          quorbel(sigma, state.sigma_max, state.sigma_min, count_raise, count_lower, iter, -1);
    end
  end
  state.sigma = sigma;
  state.Aty = Aty;
end

function [x, r, kkt, objective, gram] = polish(A, b, x, lambda1, gram)
% The lasso's solution on the support S of x with its signs s, where they
% are the solution's: A(:, S)'*(A(:, S)*z - b) + lambda1*s = 0, by the
% Cholesky factor of the Gram matrix from the cache, refined once against
% the residual of z. Columns whose sign the system flips leave S (at
% most three times). Returns the point, its residual, KKT residual and
% objective, or kkt = Inf where no consistent point is found.
  [kkt, objective, r] = deal(Inf, Inf, []);
  S = x ~= 0;
  sx = sign(x);
  for attempt = 1:3
    if ~any(S) || nnz(S) >= rows(A)
      return;
    end
    [G, cols, gram] = gram_block(A, gram, S);
    [R, fail] = chol(G);
    if fail
      return;
    end
    signs = sx(cols);
    z = R \ (R' \ (columns_times(A, gram, cols, S, b) - lambda1 * signs));
    flip = sign(z) ~= signs;
    if ~any(flip)
      x = zeros(size(x));
      x(cols) = z;
      r = times_sparse(A, x) - b;
      z = z - R \ (R' \ (columns_times(A, gram, cols, S, r) + lambda1 * signs));
      if all(sign(z) == signs)
        x(cols) = z;
        r = times_sparse(A, x) - b;
      end
      [kkt, objective] = kkt_residual(A, b, x, r, lambda1, 0);
      return;
    end
    S(cols(flip)) = false;
  end
end

function [x, r, kkt, objective, sums] = polish_pieces(A, b, x, lambda1, lambda2, sums)
% The fused lasso's solution on the pieces of x (runs of equal values),
% with the signs of their values and of the jumps between them, where
% those are the solution's: there the objective is a quadratic in the
% values c of the free pieces (a piece of zeros stays zero while
% lambda1 > 0), minimal where
%   M'*(M*c - b) + lambda1*len.*sign(c) + lambda2*t = 0,
% M(:, i) the sum of A's columns over piece i, len its length and t(i)
% the signs of the jumps into it less those out of it. Refined once
% against the residual of c (kept where the signs still hold). Returns
% the point, its residual, KKT residual and objective, or kkt = Inf where
% the signs do not hold.
  [kkt, objective, r] = deal(Inf, Inf, []);
  starts = [true; diff(x) ~= 0];
  first = find(starts);
  last = [first(2:end) - 1; numel(x)];
  value = x(first);
  jump = sign(diff(value));
  t = [0; jump] - [jump; 0];
  free = value ~= 0 | lambda1 == 0;
  k = nnz(free);
  if k == 0 || k >= rows(A)
    return;
  end
  [M, sums] = run_sums(A, sums, first(free), last(free));
  M = full(M);
  [R, fail] = chol(M' * M);
  if fail
    return;
  end
  len = last(free) - first(free) + 1;
  penalty_gradient = lambda1 * len .* sign(value(free)) + lambda2 * t(free);
  c = R \ (R' \ (M' * b - penalty_gradient));
  piece = cumsum(starts);
  for refine = 0:1
    v = value;
    v(free) = c;
    if any(sign(diff(v)) ~= jump) || (lambda1 > 0 && any(sign(c) ~= sign(value(free))))
      if refine == 0
        return;
      end
      break;    % the point before the refinement stands
    end
    x = v(piece);
    r = times_sparse(A, x) - b;
    if refine == 0
      c = c - R \ (R' \ (M' * r + penalty_gradient));
    end
  end
  [kkt, objective] = kkt_residual(A, b, x, r, lambda1, lambda2);
end

function [y, u, grad, steps, state, Aty] = newton_inner(A, b, x, y, Aty, sigma, lam1, lam2, grad_tol, state)
% Minimizes phi(y) from the given y (the last inner solution: the dual
% optimum does not depend on the outer iteration, so it is a good start)
% until ||grad phi|| <= grad_tol, and returns y, u = prox_{sigma p}(x -
% sigma*A'*y), the final gradient, the number of Newton steps and A'*y
% (given, or [] to have it formed); state carries the caches.
  max_steps = 50;
  if isempty(Aty)
    Aty = A' * y;
  end
  linked = lam2 > 0;
  [phi, u, v, keep] = phi_at(y, Aty, b, x, sigma, lam1, lam2);
  [grad, M, state.sums] = phi_gradient(A, y, b, u, v, keep, linked, state.sums);
  grad_norm = norm(grad);
  if linked
    % alm's tolerance with the TV term is loose enough to be met where
    % the inner solve starts (b = 1-by-1 with lambda1 = 0: u = x, y stays
    % 0, and nothing ever moves): the gradient is at least halved.
    grad_tol = min(grad_tol, 0.5 * grad_norm);
  end
  steps = 0;
  while grad_norm > grad_tol && steps < max_steps
    steps = steps + 1;
    % An inexact Newton step keeps its fast local convergence when the
    % system's relative residual falls with the gradient; looser than 1e-5
    % the directions cost more backtracking than the iterations save.
    [d, state.gram] = newton_direction(A, M, keep, linked, sigma, grad, ...
                                       min(1e-5, max(grad_tol, 1e-3 * grad_norm)), state.gram);
    Atd = A' * d;
    slope = grad' * d;
    % Armijo backtracking on phi. Near the solution the decrease a Newton
    % step promises (-slope, about ||grad||^2) falls below the rounding of
    % phi's terms while the gradient is still worth reducing; there the
    % full step is taken when it cuts the gradient norm by a tenth, and
    % otherwise the inner solve has reached its precision and stops
    % (backtracking by a decrease test that is rounding noise only
    % wanders). phi is strongly convex, so both tests only accept progress.
    resolution = 16 * eps * phi_magnitude(y, b, u, x, sigma, lam1, lam2);
    alpha = 1;
    accepted = false;
    grad_t = [];
    if linked && -slope > resolution
      % With the TV term the groups of the prox change along most
      % directions, and halving cuts the step far short of phi's minimum
      % on the ray (steps of 1/8 to 1/32): the minimum itself takes half
      % the Newton steps (2000 by 10000: 19 against 36 in the first
      % outer iteration), for a few prox evaluations more.
      [alpha, w_t, u_t, v_t, keep_t] = ray_minimum(y, Aty, d, Atd, b, x, sigma, lam1, lam2, slope);
      phi_t = phi_of(y + alpha * d, w_t, u_t, b, sigma, lam1, lam2);
      accepted = phi_t <= phi + 1e-4 * alpha * slope;
      if ~accepted
        alpha = alpha / 2;
      end
    end
    while ~accepted && alpha > 1e-12
      [phi_t, u_t, v_t, keep_t] = phi_at(y + alpha * d, Aty + alpha * Atd, b, x, sigma, lam1, lam2);
      if -slope <= resolution
        [grad_t, M_t, state.sums] = phi_gradient(A, y + alpha * d, b, u_t, v_t, keep_t, linked, ...
                                                 state.sums);
        accepted = norm(grad_t) < 0.9 * grad_norm;
        break;
      end
      accepted = phi_t <= phi + 1e-4 * alpha * slope;
      if ~accepted
        alpha = alpha / 2;
      end
    end
    if ~accepted
      break;    % no progress possible at this precision
    end
    y = y + alpha * d;
    Aty = Aty + alpha * Atd;
    phi = phi_t;
    u = u_t;
    v = v_t;
    keep = keep_t;
    if isempty(grad_t)
      [grad, M, state.sums] = phi_gradient(A, y, b, u, v, keep, linked, state.sums);
    else
      grad = grad_t;
      M = M_t;
    end
    grad_norm = norm(grad);
  end
end

function [a, w_a, u_a, v_a, keep_a] = ray_minimum(y, Aty, d, Atd, b, x, sigma, lam1, lam2, slope)
% A step a in (0, 1] near phi's minimum on y + a*d, with its w and prox.
% phi is convex along the ray, and its derivative
%   phi'(a) = d'*(y + a*d + b) - (A'*d)'*u(a)
% is piecewise linear in a (as the prox u is): its root is found by
% regula falsi (Illinois) from phi'(0) = slope < 0, each probe one prox
% (phi itself is evaluated once, by the caller, at the step taken), until
% |phi'| falls to a tenth of |slope| (tighter costs probes and saves no
% steps) or six probes past a = 1; then the last probe below the root,
% where phi is still falling, or else the first above it.
  dyb = d' * (y + b);
  dd = d' * d;
  a = 1;
  w_a = x - sigma * (Aty + Atd);
  [u_a, v_a, keep_a] = prox(w_a, sigma * lam1, sigma * lam2);
  d_hi = dyb + dd - Atd' * u_a;
  if d_hi <= 0
    return;    % phi still falls at the full step
  end
  lo = 0;
  d_lo = slope;
  hi = 1;
  side = 0;
  for probe = 1:6
    t = lo - d_lo * (hi - lo) / (d_hi - d_lo);
    t = min(max(t, lo + 0.01 * (hi - lo)), hi - 0.01 * (hi - lo));
    w_t = x - sigma * (Aty + t * Atd);
    [u_t, v_t, keep_t] = prox(w_t, sigma * lam1, sigma * lam2);
    d_t = dyb + t * dd - Atd' * u_t;
    if abs(d_t) <= 0.1 * abs(slope) || d_t < 0 || a > t
      a = t;
      w_a = w_t;
      u_a = u_t;
      v_a = v_t;
      keep_a = keep_t;
    end
    if abs(d_t) <= 0.1 * abs(slope)
      return;
    end
    % Illinois: an end kept twice in a row has its derivative halved, so
    % the secant does not creep towards the root from one side only.
    if d_t < 0
      lo = t;
      d_lo = d_t;
      if side < 0
        d_hi = d_hi / 2;
      end
      side = -1;
    else
      hi = t;
      d_hi = d_t;
      if side > 0
        d_lo = d_lo / 2;
      end
      side = 1;
    end
  end
end

function z = times_sparse(A, u)
% A*u read from u's nonzero columns only: a full A times a sparse u does
% that without copying the columns (six times faster than A(:, k)*u(k)
% at 2000 by 10000 with 800 nonzeros); a sparse A by its column selection.
  if issparse(A)
    k = find(u);
    z = A(:, k) * reshape(u(k), [], 1);   % u(k) of a 1-by-1 u and empty k is 0-by-0
  else
    z = A * sparse(u);
  end
end

function [grad, M, sums] = phi_gradient(A, y, b, u, v, keep, linked, sums)
% grad phi = y + b - A*u at y (u its prox, v, keep as phi_at's) and, with
% the TV term (linked), the point's M = A*W of the Newton system
% (jacobian_columns), which also gives A*u: u lies in W's range (it is
% constant on the kept groups), so A*u is a product with M's few columns
% where times_sparse reads a column per nonzero of u.
  if linked
    [M, sums, Au] = jacobian_columns(A, v, keep, sums, u);
  else
    M = [];
    Au = times_sparse(A, u);
  end
  grad = y + b - Au;
end

function [phi, u, v, keep] = phi_at(y, Aty, b, x, sigma, lam1, lam2)
% phi(y) without its constant -||x||^2/(2*sigma), the prox u, the TV
% solution v before the soft threshold and the positions it keeps.
  w = x - sigma * Aty;
  [u, v, keep] = prox(w, sigma * lam1, sigma * lam2);
  phi = phi_of(y, w, u, b, sigma, lam1, lam2);
end

function phi = phi_of(y, w, u, b, sigma, lam1, lam2)
% phi_at's value from w = x - sigma*A'*y and its prox u.
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
  p = lam1 * sum(abs(x));
  if lam2 > 0
    p = p + lam2 * sum(abs(diff(x)));
  end
end

function [d, gram] = newton_direction(A, M, keep, linked, sigma, grad, rtol, gram)
% Solves (I + sigma*A*J*A')*d = -grad with J = W*W' (see the help), to a
% relative residual of rtol where it is solved iteratively; M = A*W where
% phi_gradient formed it (with the TV term).
  if ~linked && ~issparse(A) && any(keep) && nnz(keep) < 1.5 * size(A, 1)
    % The lasso's M = A(:, keep), by the Gram matrix G = M'*M from the
    % cache. M'*grad is formed from grad itself: near the solution grad
    % is far smaller than the terms y + b - A*u it is the sum of, and
    % M'*y + M'*b - G*u(keep) would lose it to rounding.
    r = nnz(keep);
    [G, cols, gram] = gram_block(A, gram, keep);
    Mtg = columns_times(A, gram, cols, keep, grad);
    G(1:r + 1:end) = G(1:r + 1:end) + 1 / sigma;
    [R, fail] = chol(G);
    check_factor(fail);
    t = zeros(columns(A), 1);
    t(cols) = R \ (R' \ Mtg);
    d = times_sparse(A, t) - grad;
    return;
  end
  if ~linked
    M = A(:, keep);
  end
  [m, r] = size(M);
  if r == 0
    d = -grad;
  elseif r < m
    % Sherman-Morrison-Woodbury: (I + sigma*M*M')^-1 = I - M*(I/sigma + M'*M)^-1*M'.
    d = M * spd_solve(M, 1 / sigma, true, M' * grad, rtol) - grad;
  else
    d = -spd_solve(sqrt(sigma) * M, 1, false, grad, rtol);
  end
end

function gram = gram_cache(A)
% The Gram matrix G = C'*C of every column the lasso's Newton steps have
% kept so far (dense A), C = A(:, order) in the order the columns were
% stored, with C itself as the blocks of columns stored together
% (position(j): column j's place in C, 0 if not stored). A step's Newton
% matrix is then a selection from G plus a Cholesky factor, where forming
% M'*M anew costs twice the factor (m*r^2 against r^3/3 operations at
% m > r) and a copy of M; products with M' read C's blocks, where
% selecting M's columns out of A costs more than the product (2000 by
% 10000, 600 columns: a 4 to 7 ms copy against a 0.5 ms product).
% Storing appends a block: the old columns are never copied again, and G
% grows by a border. The kept sets of successive steps and stages overlap
% almost wholly; a few new columns are only multiplied out for the step,
% and stored when they would grow the cache by a tenth. At most 4096
% columns (G: 128 MB) and 2^25 entries in C (256 MB); beyond, it restarts
% from the step's own columns, or a larger set is not cached.
  gram = struct('position', zeros(columns(A), 1), 'order', zeros(0, 1), 'blocks', {{}}, ...
                'G', zeros(0, 0));
end

function [S, cols, gram] = gram_block(A, gram, keep)
% S = A(:, cols)'*A(:, cols), cols the columns of the logical mask keep:
% those in the cache first, in its order, then the others ascending.
  limit = min(4096, floor(2 ^ 25 / rows(A)));
  if nnz(keep) > limit
    cols = find(keep);
    M = A(:, keep);
    S = M' * M;
    return;
  end
  new = keep & gram.position == 0;
  count = nnz(new);
  if count > 0 && count >= max(32, 0.1 * numel(gram.order))
    if numel(gram.order) + count > limit
      gram = gram_cache(A);
      new = keep;
    end
    N = A(:, new);
    B = [cache_times(gram, N)', N' * N];
    c = numel(gram.order);
    gram.G = [gram.G, B(:, 1:c)'; B];
    gram.blocks{end + 1} = N;
    gram.order = [gram.order; find(new)];
    gram.position(new) = c + 1:c + nnz(new);
    new(:) = false;
  end
  in = keep(gram.order);
  cols = gram.order(in);
  if ~any(new)
    S = gram.G(in, in);
    return;
  end
  N = A(:, new);
  if reads_cache(gram, in)
    B = cache_times(gram, N)';
    B = B(:, in);
  else
    % N'*A(:, cols) from the cached columns' copy in ascending order.
    [~, p] = sort(cols);
    B = zeros(nnz(new), numel(cols));
    B(:, p) = N' * A(:, keep & ~new);
  end
  S = [gram.G(in, in), B'; B, N' * N];
  cols = [cols; find(new)];
end

function Z = cache_times(gram, V)
% C'*V, block by block.
  Z = zeros(numel(gram.order), columns(V));
  k = 0;
  for j = 1:numel(gram.blocks)
    C = gram.blocks{j};
    Z(k + 1:k + columns(C), :) = C' * V;
    k = k + columns(C);
  end
end

function use = reads_cache(gram, in)
% Whether a product with all of C beats copying the in columns it needs
% out of A: a copy by mask costs about as much per entry as 200
% floating-point operations of a BLAS-3 product, or ten entries read by a
% BLAS-2 one, so C is read whole while it is at most four times the
% columns used.
  use = numel(in) <= 4 * nnz(in);
end

function z = columns_times(A, gram, cols, keep, v)
% A(:, cols)'*v for gram_block's cols (of the mask keep): the cached
% columns read from the cache's copy (see reads_cache). Otherwise, for
% more than a sixth of A's columns, a product with all of A, which
% streams it at about six times the speed of copying the columns out
% (1000 by 3275, 974 columns: 0.75 against 4.75 ms), and for fewer a
% product with their copy.
  position = gram.position(cols);
  new = position == 0;
  in = keep(gram.order);
  if reads_cache(gram, in) && 6 * nnz(new) <= numel(keep)
    zc = cache_times(gram, v);
    z = zeros(numel(cols), 1);
    z(~new) = zc(position(~new));
    if any(new)
      z(new) = A(:, keep & gram.position == 0)' * v;   % cols(new) ascend
    end
  elseif 6 * nnz(keep) > numel(keep)
    z = A' * v;
    z = z(cols);
  else
    z = zeros(numel(keep), 1);
    z(keep) = A(:, keep)' * v;
    z = z(cols);
  end
end

function [M, sums, Au] = jacobian_columns(A, v, keep, sums, u)
% M = A*W, W an orthonormal basis (n-by-r) of the range of the prox's
% Jacobian J = W*W', formed from A's columns directly. Without the TV
% term W's columns are unit columns on the kept positions (M is a column
% selection, newton_direction's). With it, lunderjack's groups of equal
% neighbours of v: a column 1/sqrt(len) on each kept group (a column of
% H), so M's column is the group's sum of A's columns over sqrt(len), and
% a unit column on each kept position in no group (d = 1). The soft
% threshold keeps or drops a group whole (one value), so a group is kept
% when any of its rows is. Also A*u for the prox u, which is constant on
% the kept groups and zero off the kept positions: the sum over kept
% groups of its value times the group's sum, plus its singletons.
  n = numel(v);
  if n > 1
    pattern = double(v(2:end) == v(1:end - 1));
  else
    pattern = [];
  end
  [d, H] = lunderjack(pattern);
  single = keep & d == 1;
  H = H(:, any(H(keep, :), 1));
  [rows_, group] = find(H);
  k = size(H, 2);
  % Each group is a run of neighbours: first and last row of each column
  % (find lists each column's rows ascending).
  first = zeros(0, 1);
  last = first;
  if k > 0
    starts = [true; diff(group(:)) ~= 0];
    first = reshape(rows_(starts), [], 1);
    last = reshape(rows_([starts(2:end); true]), [], 1);
  end
  [G, sums] = run_sums(A, sums, first, last);
  % The columns in position order, as W = [singletons, groups] sorted.
  S = A(:, single);
  M = [S, G * sparse(1:k, 1:k, 1 ./ sqrt(last - first + 1), k, k)];
  % (reshaped: u(single) of a 1-by-1 u and no kept position is 0-by-0)
  Au = full(S * reshape(u(single), [], 1) + G * reshape(u(first), [], 1));
end

function sums = sums_cache(n)
% The sums of A's columns over runs of neighbours (TV groups, pieces of
% x) met so far in a solve, as blocks of columns stored together: the
% Newton steps meet the same runs again and again (2000 by 10000: of 85000
% columns summed in 46 steps, 13000 new). A run is found by its first
% column or its last (by_first, by_last: the latest stored run that
% starts or ends there), a lookup by indexing where a search of the
% stored runs costs more than the sums at 500 by 2000.
  sums = struct('first', zeros(0, 1), 'last', zeros(0, 1), 'block', zeros(0, 1), ...
                'column', zeros(0, 1), 'blocks', {{}}, 'by_first', zeros(n, 1), ...
                'by_last', zeros(n, 1));
end

function [S, sums] = run_sums(A, sums, first, last)
% S(:, j) = the sum of A's columns first(j) to last(j), from the cache,
% the runs not in it summed and stored; sparse where A is. At most 2^23
% entries (64 MB) are kept (beyond, it restarts, and runs that alone
% exceed it are only summed), in at most 16 blocks (beyond, they are
% joined into one).
  [m, n] = size(A);
  limit = 2 ^ 23 / max(m, 1);
  if numel(first) > limit
    S = range_sums(A, first, last);
    return;
  end
  at = zeros(numel(first), 1);
  for map = {sums.by_first(first), sums.by_last(last)}
    c = map{1}(:);
    hit = at == 0 & c > 0;
    hit(hit) = sums.first(c(hit)) == first(hit) & sums.last(c(hit)) == last(hit);
    at(hit) = c(hit);
  end
  new = find(at == 0);
  if ~isempty(new)
    count = numel(sums.first) + numel(new);
    if count > limit
      sums = sums_cache(n);
      new = (1:numel(first))';
    elseif numel(sums.blocks) >= 16
      sums.blocks = {[sums.blocks{:}]};
      sums.block(:) = 1;
      sums.column = (1:numel(sums.first))';
    end
    c = numel(sums.first) + (1:numel(new))';
    sums.blocks{end + 1} = range_sums(A, first(new), last(new));
    sums.block(c, 1) = numel(sums.blocks);
    sums.column(c, 1) = 1:numel(new);
    sums.first(c, 1) = first(new);
    sums.last(c, 1) = last(new);
    sums.by_first(first(new)) = c;
    sums.by_last(last(new)) = c;
    at(new) = c;
  end
  % Gathered block by block, then put in the order asked for.
  block = sums.block(at);
  parts = cell(1, numel(sums.blocks));
  order = cell(numel(sums.blocks), 1);
  for j = 1:numel(sums.blocks)
    order{j} = find(block == j);
    parts{j} = sums.blocks{j}(:, sums.column(at(order{j})));
  end
  S = [zeros(m, 0), parts{:}];
  S(:, vertcat(order{:})) = S;
end

function S = range_sums(A, first, last)
% S(:, j) = the sum of A's columns first(j) to last(j) (a run of
% neighbours: a group of the TV prox, a piece of x), read as one range
% each; sparse where A is.
  k = numel(first);
  if issparse(A)
    S = sparse(rows(A), k);
  else
    S = zeros(rows(A), k);
  end
  for j = 1:k
    S(:, j) = sum(A(:, first(j):last(j)), 2);
  end
end

function t = spd_solve(M, c, gram, g, rtol)
% S*t = g for S = c*I + M'*M (gram) or c*I + M*M' (not gram), symmetric
% positive definite of order k, by the cheapest of three ways, counted in
% floating-point operations, dense BLAS-3 work ten times faster per
% operation than sparse or memory-bound work (OpenBLAS, one core):
%   conjugate gradients on S, applied as two products with M (never
%     formed), preconditioned by diag(S), to the relative residual rtol
%     the Newton step needs: 4*nnz(M) + 6*k per iteration. For a sparse M
%     it is tried first, with as many iterations as a factorization would
%     cost; the Gram matrix of a random sparse design is well conditioned
%     and needs few dozen, while its Cholesky factor fills in. It is the
%     only way for k above 6000 (k^3/3 beyond 7e10 operations).
%   a sparse Cholesky factor with an AMD order, where symbfact's column
%     counts (known before factoring) put it below the dense one:
%     sum(count.^2) against (k^3/3)/10; fenwarix and hobrinth solve with it.
%   a dense Cholesky factor (S formed by a BLAS-3 product): k^3/3 + the
%     product; the choice for a dense M and wherever the sparse factor
%     would fill in.
  k = ifelse_size(M, gram);
  if issparse(M) || k > 6000
    budget = (k ^ 3 / 30) / (4 * nnz(M) + 6 * k);
    if k > 6000
      budget = 1000;
    end
    [t, converged] = cg_solve(M, c, gram, g, rtol, max(10, min(1000, floor(budget))));
    if converged || k > 6000
      return;
    end
  end
  if issparse(M)
    if gram
      S = M' * M;
    else
      S = M * M';
    end
    S = S + c * speye(k);
    p = amd(S);
    S = S(p, p);
    count = symbfact(S);
    if sum(count .^ 2) < (k ^ 3 / 3) / 10
      [R, fail] = chol(S);
      check_factor(fail);
      t = zeros(k, 1);
      t(p) = hobrinth(R', fenwarix(R, g(p)));
      return;
    end
    M = full(M);
  end
  if gram
    S = M' * M;
  else
    S = M * M';
  end
  S(1:k + 1:end) = S(1:k + 1:end) + c;
  [R, fail] = chol(S);
  check_factor(fail);
  % A dense factor is solved densely (two BLAS-2 triangular solves);
  % copying it into sparse storage for fenwarix would cost more.
  t = R \ (R' \ g);
end

function k = ifelse_size(M, gram)
  if gram
    k = size(M, 2);
  else
    k = size(M, 1);
  end
end

function [t, converged] = cg_solve(M, c, gram, g, rtol, max_it)
% Preconditioned conjugate gradients on S (see spd_solve) from t = 0.
  if gram
    dg = c + full(sum(M .^ 2, 1))';
  else
    dg = c + full(sum(M .^ 2, 2));
  end
  t = zeros(size(g));
  r = g;
  z = r ./ dg;
  p = z;
  rz = r' * z;
  goal = rtol * norm(g);
  converged = false;
  for it = 1:max_it
    if gram
      q = c * p + M' * (M * p);
    else
      q = c * p + M * (M' * p);
    end
    alpha = rz / (p' * q);
    t = t + alpha * p;
    r = r - alpha * q;
    if norm(r) <= goal
      converged = true;
      return;
    end
    z = r ./ dg;
    rz_new = r' * z;
    p = z + (rz_new / rz) * p;
    rz = rz_new;
  end
end

function check_factor(fail)
  if fail
    error('fused_lasso_solve: the Newton matrix is not numerically positive definite.');
  end
end

function [kkt, objective, denominator, g] = kkt_residual(A, b, x, r, lambda1, lambda2, g)
% The relative KKT residual of x from the optimality condition
% x = prox_p(x - g), g = A'*r with the residual r = A*x - b (or g as
% given), the objective at x, and the residual's denominator (0 only for
% b = 0 at x = 0, which is optimal).
  if nargin < 7
    g = A' * r;
  end
  denominator = norm(b) + norm(x) + norm(g);
  kkt = norm(x - prox(x - g, lambda1, lambda2)) / max(denominator, realmin);
  objective = 0.5 * (r' * r) + penalty(x, lambda1, lambda2);
end
