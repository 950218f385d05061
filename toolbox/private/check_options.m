function check_options(opts, caller)
% The checks fused_lasso_solve and fused_lasso_path make of opts and the
% solve's settings (tol, max_iter, sigma), with the caller's name in
% front of each error text; an absent or empty field takes its default.
  if ~isstruct(opts)
    error('%s: argument 5 (opts) must be a struct.', caller);
  end
  tol = option(opts, 'tol', 0);
  if ~(isnumeric(tol) && isreal(tol) && isscalar(tol) && tol >= 0 && isfinite(tol))
    error('%s: opts.tol must be a finite nonnegative real scalar.', caller);
  end
  max_iter = option(opts, 'max_iter', 0);
  if ~(isnumeric(max_iter) && isreal(max_iter) && isscalar(max_iter) && max_iter >= 0 ...
       && max_iter == fix(max_iter) && isfinite(max_iter))
    error('%s: opts.max_iter must be a nonnegative integer.', caller);
  end
  sigma = option(opts, 'sigma', 1);
  if ~(isnumeric(sigma) && isreal(sigma) && isscalar(sigma) && sigma > 0 && isfinite(sigma))
    error('%s: opts.sigma must be a finite positive real scalar.', caller);
  end
end
