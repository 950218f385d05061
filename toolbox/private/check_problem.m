function [A, b, problem] = check_problem(A, b, caller)
% The checks fused_lasso_solve and fused_lasso_path make of A and b, with
% the caller's name in front of each error text; returns A and b as
% doubles (b dense), and what the check learnt of A for fused_lasso_core:
% the sum of squares of its entries (||A||_F^2).
  if ~isnumeric(A) || ~isreal(A) || ndims(A) ~= 2 || isempty(A)
    error('%s: argument 1 (A) must be a real non-empty numeric matrix.', caller);
  end
  m = rows(A);
  if ~isnumeric(b) || ~isreal(b) || ~isequal(size(b), [m, 1])
    error('%s: argument 2 (b) must be a real column with as many rows as A (%d).', caller, m);
  end
  A = double(A);
  b = full(double(b));
  % A sum of squares of finite entries can only overflow; only then is
  % every entry read.
  problem = struct('sumsq', full(sumsq(A(:))));
  if ~isfinite(problem.sumsq) && ~all(isfinite(nonzeros(A)))
    error('%s: argument 1 (A) has a NaN or Inf entry.', caller);
  end
  if ~all(isfinite(b))
    error('%s: argument 2 (b) has a NaN or Inf entry.', caller);
  end
end
