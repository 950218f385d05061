% Penalty schedules called the way a solver script calls them.

%!function due = vintrask_due(iter)
%!  due = vintrask(10, 100, 1, 2, 0, iter) != 10;
%!endfunction

%!test
%! for iter = [0, -3, 3.999, 30, 60, 125, 250, 500]
%!   assert(vintrask_due(iter), true);
%! end
%! for iter = [-4, 2.9, 29, 59, 120, 249, 499, 550]
%!   assert(vintrask_due(iter), false);
%! end

%!test
%! [p, cr, cl] = vintrask(10, 100, 1, 3, 2, 0);
%! assert([p, cr, cl], [12.5, 0, 2]);
%! [p, cr, cl] = vintrask(10, 100, 1, 0, 2, 0);
%! assert([p, cr, cl], [8, 0, 0]);
%! [p, cr, cl] = vintrask(10, 5, 1, 2, 0, 0);
%! assert([p, cr, cl], [5, 0, 0]);
%! [p, cr, cl] = vintrask(10, 100, 1, 6, 5, 0);
%! assert([p, cr, cl], [10, 6, 5]);
%! [p, cr, cl] = vintrask(10, 100, 1, 1, 0, 0);
%! assert([p, cr, cl], [10, 1, 0]);
%! assert(vintrask(3, 100, 0, 0, 2, 0), 3 / 1.25);

%!test
%! % A solver loop: the results go straight back in on the next call.
%! p = 1; cr = 0; cl = 0;
%! for iter = 0:40
%!   cr = cr + 1;
%!   [p, cr, cl] = vintrask(p, 4, 0.5, cr, cl, iter);
%! end
%! assert(p, 4);

%!test
%! assert_error_text(@() vintrask(1, 2, 3, 4, 5), 'vintrask', ' vintrask: must have 6 inputs');
%! assert(vintrask(10, 100, 1, 3, 2, 0, 'ignored'), 12.5);
%! for name = {'quorbel', 'pelmorin', 'sandrevo', 'tolbrecht'}
%!   f = str2func(name{1});
%!   assert_error_text(@() f(1, 2, 3, 4, 5, 6), name{1}, ' quorbel: must have 7 inputs');
%! end

%!test
%! for f = {@quorbel, @pelmorin}
%!   q = f{1};
%!   [p, cr, cl] = q(1, 3, 0.1, 2, 0, 0, -1);   assert([p, cr, cl], [3, 0, 0]);
%!   [p, cr, cl] = q(1, 3, 0.5, 0, 2, 0, -1);   assert([p, cr, cl], [0.5, 0, 0]);
%!   [p, cr, cl] = q(1, 3, 0.1, 5, 7, 10, 0);   assert([p, cr, cl], [0.4, 5, 7]);
%!   [p, cr, cl] = q(0.2, 3, 0.1, 0, 0, 10, 0); assert([p, cr, cl], [0.1, 0, 0]);
%!   assert(q(1, 3, 0.1, 2, 0, 10, -0.5), 0.4);
%!   assert(q(1, 3, 0.1, 2, 0, 9, 0), 1);
%!   assert(q(1, 100, 0.1, 2, 0, 10, -1), 1);     % 10 is not due (period 3)
%!   assert(q(1, 100, 0.1, 2, 0, 520, -1), 5);
%! end

%!test
%! for f = {@sandrevo, @tolbrecht}
%!   s = f{1};
%!   [p, cr, cl] = s(1, 100, 0.1, 2, 0, 0, 1);  assert([p, cr, cl], [2.23606797749979, 0, 0]);
%!   [p, cr, cl] = s(1, 3, 0.1, 2, 0, 0, 0);    assert([p, cr, cl], [3, 0, 0]);
%!   [p, cr, cl] = s(1, 100, 0.1, 1, 4, 0, 5);  assert([p, cr, cl], [0.4, 1, 0]);
%!   [p, cr, cl] = s(1, 100, 0.1, 1, 4, 0, 1);  assert([p, cr, cl], [0.8944271909999159, 1, 0]);
%!   [p, cr, cl] = s(1, 100, 0.1, 2, 6, 0, 1);  assert([p, cr, cl], [1, 2, 6]);
%!   assert(s(1, 100, 0.1, 2, 0, 200, 0), 1);
%!   assert(s(1, 100, 0.1, 2, 0, 201, 0), 5);
%!   assert(s(1, 100, 0.1, 2, 0, 0, 1.9), sqrt(5));
%! end

%!test
%! % Edge cases of the counter tests and the selectors, under every name.
%! [p, cr, cl] = vintrask(10, 100, 1, NaN, 2, 0);   % a NaN tally changes nothing
%! assert([p, cl], [10, 2]);
%! assert(isnan(cr));
%! [p, cr, cl] = vintrask(10, NaN, 1, 2, 0, 0);     % a NaN bound never replaces
%! assert([p, cr, cl], [12.5, 0, 0]);
%! [p, cr, cl] = vintrask(10, 5, 20, 2, 0, 0);      % bounds the wrong way round
%! assert([p, cr, cl], [5, 0, 0]);
%! [p, cr, cl] = vintrask(10, 100, 1, 1.5, 0, -4);  % -4 leaves -1 (period 3)
%! assert([p, cr, cl], [10, 1.5, 0]);
%! for f = {@quorbel, @pelmorin}
%!   q = f{1};
%!   [p, cr, cl] = q(1, 3, 0.1, 0, 2, 0, -7.9);     % -7.9 truncates to -7
%!   assert([p, cr, cl], [0.2, 0, 0]);
%!   [p, cr, cl] = q(1, 3, 0.1, 9, 0, -6, 0);       % no shrinking below 10
%!   assert([p, cr, cl], [1, 9, 0]);
%!   [p, cr, cl] = q(0.4, 3, 0.1, 5, 7, 11, 0, 'ignored');
%!   assert([p, cr, cl], [(0.4 + 0.4) / 5, 5, 7]);
%! end
%! for f = {@sandrevo, @tolbrecht}
%!   s = f{1};
%!   assert(s(1, 100, 0.1, 2, 0, 0, 2), 5);
%!   assert(s(1, 100, 0.1, 2, 0, 0, 0.99), 5);
%!   [p, cr, cl] = s(1, 100, 0.1, 0, 1, 0, 5);      % 1 > max(1, 0) fails
%!   assert([p, cr, cl], [1, 0, 1]);
%!   [p, cr, cl] = s(1, 100, 0.1, 0, 1.5, 0, 5, 'ignored');
%!   assert([p, cr, cl], [0.4, 0, 0]);
%!   assert(s(1, 100, 0.1, 2, 0, 10, 0), 5);        % even iterations from 10
%!   assert(s(1, 100, 0.1, 2, 0, 11, 0), 1);
%!   assert(s(1, 100, 0.1, 2, 0, -7, 0), 5);        % every call up to 9
%! end

%!test
%! % Bad arguments are rejected with a text naming the module and the argument.
%! assert_error_text(@() vintrask([], 100, 1, 3, 2, 0), 'vintrask', ...
%!                   'vintrask: argument 1 (penalty) must not be empty.');
%! assert_error_text(@() vintrask(10, 100, 1+2i, 3, 2, 0), 'vintrask', ...
%!                   'vintrask: argument 3 (penalty_min) must be real, not complex.');
%! assert_error_text(@() vintrask(10, 100, 1, sparse(3), 2, 0), 'vintrask', ...
%!                   'vintrask: argument 4 (count_raise) must be dense, not sparse.');
%! assert_error_text(@() vintrask(10, 100, 1, 3, int32(2), 0), 'vintrask', ...
%!                   'vintrask: argument 5 (count_lower) must be of class double, not int32.');
%! assert_error_text(@() vintrask(10, 100, 1, 3, 2, true), 'vintrask', ...
%!                   'vintrask: argument 6 (iter) must be of class double, not logical.');
%! assert_error_text(@() vintrask(10, 100, 1, 3, 2, NaN), 'vintrask', ...
%!   'vintrask: argument 6 (iter) must be a finite number within the signed 32-bit integer range.');
%! assert_error_text(@() quorbel(1, 3, 0.1, 2, 0, 0, Inf), 'quorbel', ...
%!   'quorbel: argument 7 (mode_switch) must be a finite number within the signed 32-bit integer range.');
%! assert_error_text(@() sandrevo(1, 3, 0.1, 2, 0, 2^31, 1), 'sandrevo', ...
%!   'sandrevo: argument 6 (iter) must be a finite number within the signed 32-bit integer range.');

%!test
%! % Fewer results than the module has: the first come back, inputs unchanged.
%! p = 10;
%! q = vintrask(p, 100, 1, 3, 2, 0);
%! assert(q, 12.5);
%! assert(p, 10);
%! vintrask(p, 100, 1, 3, 2, 0);
%! assert(ans, 12.5);
