function varargout = sandrevo(varargin)
%SANDREVO Penalty-parameter update of a fused-lasso solver (also available as TOLBRECHT).
%   [penalty, count_raise, count_lower] = sandrevo(penalty, penalty_max, ...
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
%   Example:
%     p = sandrevo(1, 100, 0.1, 2, 0, 0, 1)    % p = sqrt(5)
%     [p, cr, cl] = sandrevo(1, 100, 0.1, 1, 4, 0, 5)   % p = 0.4, cr = 1, cl = 0
%
%   See also TOLBRECHT, VINTRASK, QUORBEL.
  error('lassowave:notBuilt', ...
        'sandrevo: the compiled module is not built or not on the path (see the lassowave README).');
end
