function varargout = vintrask(varargin)
%VINTRASK Penalty-parameter update of an ADMM lasso solver.
%   [penalty, count_raise, count_lower] = vintrask(penalty, penalty_max, ...
%       penalty_min, count_raise, count_lower, iter)
%
%   Call once per iteration. On the iterations the schedule makes due, the
%   penalty is raised by the factor 1.25 when count_raise > max(1, 1.2*count_lower)
%   (capped at penalty_max, count_raise reset to 0), or else lowered by dividing
%   by 1.25 when count_lower > max(1, 1.2*count_raise) (raised to penalty_min
%   if below it, count_lower reset to 0). Store the three results and pass
%   them back in on the next call.
%
%   Arguments (real double scalars; only the first element is read):
%     penalty      current penalty parameter
%     penalty_max  upper bound, applied only when the penalty is raised
%     penalty_min  lower bound, applied only when the penalty is lowered
%     count_raise  tally whose dominance raises the penalty
%     count_lower  tally whose dominance lowers the penalty
%     iter         iteration number, truncated toward zero
%   Further arguments are ignored.
%
%   Schedule: iter <= 29 is due every 3 iterations, 30-59 every 6, 60-119
%   every 12, 120-249 every 25, 250-499 every 50, 500 and above every 100
%   (due when rem(iter, period) == 0, so 0 and negative multiples are due).
%
%   Results: the new penalty, and the two tallies (0 for the one that caused
%   a change, otherwise as passed in).
%
%   Errors:
%     " vintrask: must have 6 inputs"   fewer than six arguments
%     "vintrask: argument K (NAME) must ..."   an argument that is not a
%         real, dense, non-empty double, or an iter that is NaN, infinite or
%         outside the signed 32-bit range
%
%   Example:
%     [p, cr, cl] = vintrask(10, 100, 1, 3, 2, 0)   % p = 12.5, cr = 0, cl = 2
%
%   See also QUORBEL, SANDREVO.
  error('lassowave:notBuilt', ...
        'vintrask: the compiled module is not built or not on the path (see the lassowave README).');
end

%!test
%! % The example, and the other two outcomes of a due iteration.
%! [p, cr, cl] = vintrask (10, 100, 1, 3, 2, 0);
%! assert ([p, cr, cl], [12.5, 0, 2]);
%! [p, cr, cl] = vintrask (10, 100, 1, 0, 2, 0);
%! assert ([p, cr, cl], [8, 0, 0]);
%! [p, cr, cl] = vintrask (10, 100, 1, 6, 5, 0);
%! assert ([p, cr, cl], [10, 6, 5]);
%!assert (vintrask (10, 11, 1, 3, 2, 0), 11)       # capped at penalty_max
%!assert (vintrask (1.1, 100, 1, 0, 2, 0), 1)      # raised to penalty_min
%!assert (vintrask (10, 100, 1, 3, 2, 0, "extra"), 12.5)

%!test
%! % Due every 3 iterations up to 29, then every 6, 12, 25, 50 and 100.
%! due = @(iter) vintrask (10, 100, 1, 2, 0, iter) != 10;
%! assert (arrayfun (due, [0, -3, 3.9, 27, 30, 36, 60, 125, 250, 500, 600]), true (1, 11));
%! assert (arrayfun (due, [1, 2.9, 29, 31, 59, 61, 120, 249, 499, 550]), false (1, 10));

%!test
%! % The results go straight back in on the next call.
%! p = 1; cr = 0; cl = 0;
%! for iter = 0:40
%!   cr = cr + 1;
%!   [p, cr, cl] = vintrask (p, 4, 0.5, cr, cl, iter);
%! endfor
%! assert (p, 4);

%!error <^vintrask:  vintrask: must have 6 inputs$> vintrask (1, 2, 3, 4, 5)
%!error <^vintrask: vintrask: argument 1 \(penalty\) must not be empty\.$> vintrask ([], 100, 1, 3, 2, 0)
%!error <^vintrask: vintrask: argument 4 \(count_raise\) must be dense, not sparse\.$> vintrask (10, 100, 1, sparse (3), 2, 0)
%!error <^vintrask: vintrask: argument 6 \(iter\) must be a finite number within the signed 32-bit integer range\.$> vintrask (10, 100, 1, 3, 2, NaN)
