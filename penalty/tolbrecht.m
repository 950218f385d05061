function varargout = tolbrecht(varargin)
%TOLBRECHT Penalty-parameter update of a fused-lasso solver; the same function as SANDREVO.
%   [penalty, count_raise, count_lower] = tolbrecht(penalty, penalty_max, ...
%       penalty_min, count_raise, count_lower, iter, factor_switch)
%
%   The step factor F is sqrt(5) when factor_switch truncates to 1, and 5
%   otherwise. On due iterations the penalty becomes penalty*F when
%   count_raise > max(1, 1.2*count_lower) (capped at penalty_max, count_raise
%   reset to 0), or else (penalty + penalty)/F when
%   count_lower > max(1, 3*count_raise) (raised to penalty_min if below it,
%   count_lower reset to 0).
%   Schedule: every iteration up to 9 is due, 10-199 every 2, 200 and above
%   every 3 (due when rem(iter, period) == 0).
%
%   Arguments are real double scalars (only the first element is read);
%   iter and factor_switch are truncated toward zero. Further arguments are
%   ignored.
%
%   Errors:
%     " quorbel: must have 7 inputs"   fewer than seven arguments (this text
%         names quorbel)
%     "sandrevo: argument K (NAME) must ..."   an argument that is not a real,
%         dense, non-empty double, or an iter or factor_switch that is NaN,
%         infinite or outside the signed 32-bit range
%
%   In toolbox/fused_lasso_solve.m (as sandrevo): the augmented Lagrangian's penalty.
%
%   Example:
%     p = tolbrecht(1, 100, 0.1, 2, 0, 0, 1)    % p = sqrt(5)
%     [p, cr, cl] = tolbrecht(1, 100, 0.1, 1, 4, 0, 5)   % p = 0.4, cr = 1, cl = 0
%
%   See also SANDREVO, VINTRASK, QUORBEL.
  error('lassowave:notBuilt', ...
        'tolbrecht: the compiled module is not built or not on the path (see the lassowave README).');
end

%!assert (tolbrecht (1, 100, 0.1, 2, 0, 0, 1), sqrt (5))     # the examples
%!test
%! [p, cr, cl] = tolbrecht (1, 100, 0.1, 1, 4, 0, 5);
%! assert ([p, cr, cl], [0.4, 1, 0]);

%!test
%! % Factor sqrt(5) only for a factor_switch that truncates to 1.
%! [p, cr, cl] = tolbrecht (1, 100, 0.1, 1, 4, 0, 1);
%! assert ([p, cr, cl], [2 / sqrt(5), 1, 0], eps);
%! assert (tolbrecht (1, 100, 0.1, 2, 0, 0, 1.9), sqrt (5));
%! assert (tolbrecht (1, 3, 0.1, 2, 0, 0, 0), 3);                  # capped
%! [p, cr, cl] = tolbrecht (1, 100, 0.1, 2, 6, 0, 1);              # no rule applies
%! assert ([p, cr, cl], [1, 2, 6]);
%! % Schedule: every iteration up to 9, every 2 to 199, every 3 from 200.
%! assert (tolbrecht (1, 100, 0.1, 2, 0, 199, 0), 1);
%! assert (tolbrecht (1, 100, 0.1, 2, 0, 200, 0), 1);
%! assert (tolbrecht (1, 100, 0.1, 2, 0, 201, 0), 5);

%!error <^tolbrecht:  quorbel: must have 7 inputs$> tolbrecht (1, 2, 3, 4, 5, 6)
%!error <^tolbrecht: sandrevo: argument 5 \(count_lower\) must be of class double, not int8\.$> tolbrecht (1, 2, 3, 4, int8 (5), 1, 1)
%!error <^tolbrecht: sandrevo: argument 6 \(iter\) must be a finite number within the signed 32-bit integer range\.$> tolbrecht (1, 3, 0.1, 2, 0, 2^31, 1)
