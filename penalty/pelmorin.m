function varargout = pelmorin(varargin)
%PELMORIN Penalty-parameter update of a lasso solver; the same function as QUORBEL.
%   [penalty, count_raise, count_lower] = pelmorin(penalty, penalty_max, ...
%       penalty_min, count_raise, count_lower, iter, mode_switch)
%
%   mode_switch < 0 (after truncation toward zero): counter-driven rule. On
%   due iterations the penalty is multiplied by 5 when
%   count_raise > max(1, 1.2*count_lower) (capped at penalty_max, count_raise
%   reset to 0), or else divided by 5 when count_lower > max(1, 1.2*count_raise)
%   (raised to penalty_min if below it, count_lower reset to 0).
%   Schedule: iter <= 9 every 2, 10-199 every 3, 200-499 every 10, 500 and
%   above every 20 (due when rem(iter, period) == 0).
%
%   mode_switch >= 0: shrinking rule. For iter >= 10 the penalty becomes
%   (penalty + penalty)/5, raised to penalty_min if below it; the tallies are
%   returned unchanged. For iter <= 9 nothing changes.
%
%   Arguments are real double scalars (only the first element is read);
%   iter and mode_switch are truncated toward zero. Further arguments are
%   ignored.
%
%   Errors (the texts name quorbel, whose twin this is):
%     " quorbel: must have 7 inputs"   fewer than seven arguments
%     "quorbel: argument K (NAME) must ..."   an argument that is not a real,
%         dense, non-empty double, or an iter or mode_switch that is NaN,
%         infinite or outside the signed 32-bit range
%
%   In toolbox/fused_lasso_solve.m (as quorbel): the penalty when lambda2 = 0.
%
%   Example:
%     p = pelmorin(1, 10, 0.1, 0, 0, 10, 0)    % shrinking: p = 0.4
%     p = pelmorin(1, 3, 0.1, 2, 0, 0, -1)     % counter rule: p = 3
%
%   See also QUORBEL, VINTRASK, SANDREVO.
  error('lassowave:notBuilt', ...
        'pelmorin: the compiled module is not built or not on the path (see the lassowave README).');
end

%!assert (pelmorin (1, 10, 0.1, 0, 0, 10, 0), 0.4)      # the examples
%!assert (pelmorin (1, 3, 0.1, 2, 0, 0, -1), 3)

%!test
%! % Counter rule: raise (capped), lower (raised to penalty_min), or keep.
%! [p, cr, cl] = pelmorin (1, 3, 0.1, 2, 0, 0, -1);
%! assert ([p, cr, cl], [3, 0, 0]);
%! [p, cr, cl] = pelmorin (1, 3, 0.5, 0, 2, 0, -1);
%! assert ([p, cr, cl], [0.5, 0, 0]);
%! [p, cr, cl] = pelmorin (1, 100, 0.1, 6, 5, 0, -1);
%! assert ([p, cr, cl], [1, 6, 5]);
%! % Schedule: 10 is not due (every 3 from 10 on), 520 is (every 20).
%! assert (pelmorin (1, 100, 0.1, 2, 0, 10, -1), 1);
%! assert (pelmorin (1, 100, 0.1, 2, 0, 520, -1), 5);

%!test
%! % Shrinking rule: from iteration 10 on, tallies unchanged; -0.5 truncates to 0.
%! [p, cr, cl] = pelmorin (1, 3, 0.1, 5, 7, 10, 0);
%! assert ([p, cr, cl], [0.4, 5, 7]);
%! assert (pelmorin (0.2, 3, 0.1, 0, 0, 10, 0), 0.1);
%! assert (pelmorin (1, 3, 0.1, 2, 0, 10, -0.5), 0.4);
%! assert (pelmorin (1, 3, 0.1, 2, 0, 9, 0), 1);

%!error <^pelmorin:  quorbel: must have 7 inputs$> pelmorin (1, 2, 3, 4, 5, 6)
%!error <^pelmorin: quorbel: argument 5 \(count_lower\) must be of class double, not int8\.$> pelmorin (1, 2, 3, 4, int8 (5), 1, 1)
%!error <^pelmorin: quorbel: argument 7 \(mode_switch\) must be a finite number within the signed 32-bit integer range\.$> pelmorin (1, 3, 0.1, 2, 0, 0, Inf)
