function [x, z, iterations, seconds] = fused_lasso_admm(A, b, lambda1, lambda2, rho, tol, max_iter, observe)
% [x, z, iterations, seconds] = fused_lasso_admm(A, b, lambda1, lambda2, rho, tol, max_iter[, observe])
%
% The fused lasso, min 0.5*||A*x - b||^2 + lambda1*||x||_1 +
% lambda2*sum(abs(diff(x))), by the plain splitting z = K*x, K = [I; D]
% (D = diff), and ADMM with the fixed penalty rho: soft thresholding is
% its only nonlinear step, and it uses none of the lassowave modules, so
% it is an independent answer for the suites and a peer for the
% benchmark. z = [z1; z2] comes back as well: its zeros (exact, from the
% soft threshold) give the sign pattern of the solution.
%
% The x-step solves (A'*A + rho*C)*x = r, C = K'*K = I + D'*D
% (tridiagonal, positive definite), factored once: directly when n <= m,
% otherwise through Sherman-Morrison-Woodbury with the m-by-m matrix
% I + A*(rho*C)^-1*A'. Stops when the primal and dual residuals are
% below tol relative to their scales, or after max_iter iterations.
% observe(x, seconds), if given, is called after every iteration outside
% the timed work (seconds counts the setup and the iterations only); it
% returns true to stop.
  start = tic;
  [m, n] = size(A);
  e = ones(n, 1);
  D = spdiags([-e, e], [0, 1], n - 1, n);
  C = speye(n) + D' * D;
  Atb = A' * b;
  if n <= m
    R = chol(A' * A + rho * C);
    solve = @(r) R \ (R' \ r);
  else
    L = chol(rho * C, 'lower');
    F = L' \ (L \ A');                  % (rho*C)^-1 * A'
    S = chol(eye(m) + A * F);
    solve = @(r) woodbury(r, L, F, S, A);
  end
  z = zeros(2 * n - 1, 1);
  u = zeros(2 * n - 1, 1);
  t1 = lambda1 / rho;
  t2 = lambda2 / rho;
  seconds = toc(start);
  for iterations = 1:max_iter
    start = tic;
    x = solve(Atb + rho * (z(1:n) - u(1:n) + D' * (z(n + 1:end) - u(n + 1:end))));
    Kx = [x; D * x];
    z_old = z;
    v = Kx + u;
    z = [sign(v(1:n)) .* max(abs(v(1:n)) - t1, 0); sign(v(n + 1:end)) .* max(abs(v(n + 1:end)) - t2, 0)];
    u = v - z;
    primal = norm(Kx - z);
    dz = z - z_old;
    dual = rho * norm(dz(1:n) + [0; dz(n + 1:end)] - [dz(n + 1:end); 0]);   % rho*||K'*(z - z_old)||
    seconds = seconds + toc(start);
    if primal <= tol * max(norm(Kx), norm(z)) && dual <= tol * rho * norm(u(1:n) + [0; u(n + 1:end)] - [u(n + 1:end); 0])
      break;
    end
    if nargin > 7 && observe(x, seconds)
      break;
    end
  end
end

function x = woodbury(r, L, F, S, A)
% (A'*A + rho*C)^-1 * r = t - F*(S^-1*(A*t)), t = (rho*C)^-1 * r.
  t = L' \ (L \ r);
  x = t - F * (S \ (S' \ (A * t)));
end
