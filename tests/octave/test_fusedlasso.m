% Fused-lasso support kernels called the way a solver script calls them.

%!function v = scaled(f, varargin)
%!  [a, b, c, d, e, g, h, z] = f(varargin{:});
%!  v = [a, b, c, d, e, g, h, z];
%!endfunction

%!function z = running_residual(y, x)
%!  z = cumsum(y - x);
%!endfunction

%!test
%! for f = {@gravenmor, @brastelin}
%!   assert(scaled(f{1}, 6, 2, 8, 3, 5), [24, 2, 8, 4, 0.5, 6, 40, 0]);
%!   assert(scaled(f{1}, 6, 0, 8, 3, 5), [6, 1, 1, 1, 1, 3, 5, 0]);
%!   assert(scaled(f{1}, 6, -2, NaN, 3, 5), [6, 1, 1, 1, 1, 3, 5, 0]);
%!   assert(scaled(f{1}, 6, 9.99e-8, 8, 3, 5), [6, 1, 1, 1, 1, 3, 5, 0]);
%!   assert(scaled(f{1}, 1, 1e-7, 4e-7, 1, 1), ...
%!          [4e-7 / 1e-7, 1e-7, 4e-7, sqrt(1e-7 * 4e-7), sqrt(1e-7 / 4e-7), 1e-7, 4e-7, 0]);
%!   assert(scaled(f{1}, 6, 2, 0, 3, 5), [0, 2, 0, 0, Inf, 6, 0, 0]);
%!   assert(scaled(f{1}, 6, NaN, 8, 3, 5), [NaN, NaN, 8, NaN, NaN, NaN, 40, 0]);
%!   assert(f{1}(3, 10, 1, 1, 1), (1 / 10) * 3);   % quotient first, then product
%!   [v, s1] = f{1}(6, 2, 8, 3, 5);
%!   assert([v, s1], [24, 2]);
%!   assert(f{1}([6 7; 8 9], 2, 8, 3, 5), 24);      % first elements only
%! end

%!test
%! for name = {'gravenmor', 'brastelin'}
%!   f = str2func(name{1});
%!   assert_error_text(@() f(1, 2, 3, 4), name{1}, ' gravenmor: must have 5 inputs');
%!   assert_error_text(@() f(1, 2, 3, 4, 5, 6), name{1}, ' gravenmor: must have 5 inputs');
%!   assert_error_text(@() f(1, [], 3, 4, 5), name{1}, ...
%!                     'gravenmor: argument 2 (scale_1) must not be empty.');
%!   assert_error_text(@() f(1, 2, 3i, 4, 5), name{1}, ...
%!                     'gravenmor: argument 3 (scale_2) must be real, not complex.');
%!   assert_error_text(@() f(1, 2, 3, sparse(4), 5), name{1}, ...
%!                     'gravenmor: argument 4 (weight_1) must be dense, not sparse.');
%!   assert_error_text(@() f(1, 2, 3, 4, single(5)), name{1}, ...
%!                     'gravenmor: argument 5 (weight_2) must be of class double, not single.');
%!   assert_error_text(@() f(true, 2, 3, 4, 5), name{1}, ...
%!                     'gravenmor: argument 1 (value) must be of class double, not logical.');
%! end

%!test
%! [d, H] = lunderjack([1, 1, 0, 1]);
%! assert(d, zeros(5, 1));
%! assert(issparse(H) && size(H, 1) == 5 && size(H, 2) == 2);
%! assert(full(H), [[1; 1; 1; 0; 0] / sqrt(3), [0; 0; 0; 1; 1] / sqrt(2)]);
%! [d, H] = lunderjack([0, 1, 0]);
%! assert(d, [1; 0; 0; 1]);
%! assert(full(H), [0; 1; 1; 0] / sqrt(2));
%! [d, H] = lunderjack([0, 2, NaN, 0.9999999999999999]);
%! assert(d, ones(5, 1));
%! assert(size(H), [5, 0]);
%! [d, H] = lunderjack(ones(1, 6));
%! assert(d, zeros(7, 1));
%! assert(full(H), ones(7, 1) / sqrt(7));
%! [d, H] = lunderjack([]);
%! assert(d, 1);
%! assert(size(H), [1, 0]);
%! [d, H] = lunderjack([1, 2, 1, NaN, 1, 1]);
%! assert(size(H, 2), 3);
%! assert(nnz(H), 7);
%! [dr, Hr] = lunderjack([1, 0, 1, 1]);
%! [dc, Hc] = lunderjack([1; 0; 1; 1]);
%! assert(isequal(dr, dc) && isequal(Hr, Hc));
%! [dm, Hm] = lunderjack([1, 0, 1; 1, 1, 0]);   % n = 3: values 1, 1, 0
%! [d3, H3] = lunderjack([1, 1, 0]);
%! assert(isequal(dm, d3) && isequal(Hm, H3));

%!test
%! % diag(d) + H*H' is the block 1/size on each group of linked positions.
%! rand('seed', 4);
%! for trial = 1:200
%!   n = floor(rand() * 12);
%!   choices = [1, 1, 0, 2, NaN];
%!   p = choices(floor(rand(1, n) * 5) + 1);
%!   if n == 0, p = []; end
%!   [d, H] = lunderjack(p);
%!   J = diag(d) + full(H * H');
%!   group = cumsum([1, p != 1]);
%!   sizes = accumarray(group(:), 1);
%!   want = (group(:) == group(:)') ./ sizes(group);
%!   assert(J, want, 1e-15);
%! end

%!test
%! assert_error_text(@() lunderjack(), 'lunderjack', 'lunderjack: requires 1 input arguments.');
%! assert_error_text(@() lunderjack(1, 2), 'lunderjack', 'lunderjack: requires 1 input arguments.');
%! for results = [0, 1, 3]
%!   assert_error_text(@() lunderjack([1, 0]), 'lunderjack', 'lunderjack: requires 2 output argument.', results);
%! end

%!test
%! check_lunderjack = @(p, text) assert_error_text(@() lunderjack(p), 'lunderjack', text, 2);
%! check_lunderjack(logical([1, 0, 1]), 'lunderjack: input cannot be a logical array.');
%! check_lunderjack(sparse(logical([1, 0, 1])), 'lunderjack: input cannot be a logical array.');
%! check_lunderjack(sparse([1, 0, 1]), 'lunderjack: input cannot be sparse');
%! check_lunderjack(sparse([1i, 0]), 'lunderjack: input cannot be sparse');
%! check_lunderjack(int8([1, 1]), 'lunderjack: argument 1 (p) must be of class double, not int8.');
%! check_lunderjack(single([1, 1]), 'lunderjack: argument 1 (p) must be of class double, not single.');
%! check_lunderjack('ab', 'lunderjack: argument 1 (p) must be of class double, not char.');
%! check_lunderjack([1, 1i], 'lunderjack: argument 1 (p) must be real, not complex.');
%! t = ['lunderjack: argument 1 (p) has one dimension 0 and the other not, so it holds ' ...
%!      'none of its values; the only empty input accepted is 0x0.'];
%! check_lunderjack(zeros(0, 5), t);
%! check_lunderjack(zeros(5, 0), t);

%!test
%! assert(zelmonte([0; 0; 10; 10], 1), [0.5; 0.5; 9.5; 9.5]);
%! y = [3; -1; 4; 1e-300; 5; 9; -2.5];
%! assert(zelmonte(y, 0), y);
%! assert(zelmonte(1e-20, 1), 0);
%! x = zelmonte(2.5 * ones(9, 1), 0.75);
%! assert(x, 2.5 * ones(9, 1), 1e-15);
%! assert(all(isnan(zelmonte([1; 5; 2; 8], NaN))));
%! assert(zelmonte([4, 0, 0, 9], 1), (4 - 1) + 1);           % a row is one sample
%! assert(zelmonte([0, 7; 0, 7; 10, 7; 10, 7], 1), [0.5; 0.5; 9.5; 9.5]);
%! assert(size(zelmonte([], 1)), [0, 1]);
%! assert(size(zelmonte(zeros(0, 3), 1)), [0, 1]);
%! assert(zelmonte([0; 0; 10; 10], [1, -5], 'ignored'), [0.5; 0.5; 9.5; 9.5]);
%! zelmonte([0; 0; 10; 10], 1);
%! assert(ans, [0.5; 0.5; 9.5; 9.5]);

%!test
%! % Non-finite samples: an infinite one stays and pulls its neighbours by
%! % lambda; a NaN makes the rest NaN from where its value could matter.
%! assert(zelmonte([0; 0; 10; 10; -Inf; 1; 1; 2], 1), [0.5; 0.5; 9; 9; -Inf; 1; 1; 1]);
%! assert(zelmonte([1; 2; Inf; 3; 4; NaN; 5], 0.5), [1.5; 2; Inf; NaN; NaN; NaN; NaN]);
%! assert(zelmonte([1; Inf; 2; NaN; -Inf], 0), [1; Inf; 2; NaN; -Inf]);
%! % A long smooth trend with a glitch: each side solved alone, pulled.
%! n = 30000;
%! y = log1p((0:n - 1)');
%! y(n / 2) = Inf;
%! x = zelmonte(y, 1e4);
%! assert(x(n / 2), Inf);
%! left = y(1:n / 2 - 1);
%! left(end) = left(end) + 1e4;
%! right = y(n / 2 + 1:end);
%! right(1) = right(1) + 1e4;
%! assert(x(1:n / 2 - 1), zelmonte(left, 1e4), 1e-9);
%! assert(x(n / 2 + 1:end), zelmonte(right, 1e4), 1e-9);
%! % A NaN at the end: the values before it do not depend on it.
%! y(n / 2) = 1;
%! y(end) = NaN;
%! x = zelmonte(y, 1e4);
%! t = find(isnan(x), 1);
%! assert(all(isnan(x(t:end))));
%! up = y(1:end - 1); up(end) = up(end) + 1e4;
%! down = y(1:end - 1); down(end) = down(end) - 1e4;
%! assert(x(1:t - 1), zelmonte(up(1:end), 1e4)(1:t - 1), 1e-9);
%! assert(x(1:t - 1), zelmonte(down(1:end), 1e4)(1:t - 1), 1e-9);

%!test
%! assert_error_text(@() zelmonte([1; 2]), 'zelmonte', 'zelmonte: requires 2 input arguments.');
%! assert_error_text(@() zelmonte([1; 2], 1), 'zelmonte', 'zelmonte: requires 1 output argument.', 2);
%! assert_error_text(@() zelmonte(single([1; 2]), 1), 'zelmonte', ...
%!                   'zelmonte: argument 1 (y) must be of class double, not single.');
%! assert_error_text(@() zelmonte([1; 2i], 1), 'zelmonte', ...
%!                   'zelmonte: argument 1 (y) must be real, not complex.');
%! assert_error_text(@() zelmonte(sparse([1; 2]), -1), 'zelmonte', ...
%!                   'zelmonte: argument 1 (y) must be dense, not sparse.');
%! assert_error_text(@() zelmonte(zeros(3, 0), 1), 'zelmonte', ...
%!                   'zelmonte: argument 1 (y) has rows but no columns, so it holds no samples.');
%! assert_error_text(@() zelmonte([1; 2], []), 'zelmonte', ...
%!                   'zelmonte: argument 2 (lambda) must not be empty.');
%! assert_error_text(@() zelmonte([1; 2], int32(1)), 'zelmonte', ...
%!                   'zelmonte: argument 2 (lambda) must be of class double, not int32.');
%! assert_error_text(@() zelmonte([1; 2], sparse(1)), 'zelmonte', ...
%!                   'zelmonte: argument 2 (lambda) must be dense, not sparse.');
%! assert_error_text(@() zelmonte([1; 2], -1e-300), 'zelmonte', ...
%!                   'zelmonte: argument 2 (lambda) must not be negative.');

%!test
%! % Ties that rounding used to turn into wrong results: a refresh lands an
%! % ulp past the other bound, or a bound kept by an end-phase closing closes
%! % a segment, and the last samples came back off by up to lambda (the first
%! % signal, on round(k) * 0.1 samples, gave 0.2 throughout).
%! tol = 1e-15;
%! x = zelmonte(round([-4; 8; -1; 3; 14; 1; 3; -18]) * 0.1, 1);
%! assert(x, [0.2 * ones(7, 1); -0.8], tol);
%! assert(zelmonte([0; 0.4; 1.4; 2; 0; 0.4], 1), 0.7 * ones(6, 1), tol);
%! x = zelmonte(round([16; -16; -6; 16; -2; 20; 8; -10; 1]) * 0.1, 1.5);
%! assert(x, 0.3 * ones(9, 1), tol);
%! assert(zelmonte([1; -0.1; 2.1999999999999997; 0.4; 0.5], 0.7), 0.8 * ones(5, 1), tol);
%! assert(zelmonte([0.9; 0.3; 0.5; -0.1; -0.1], 0.5), [0.4; 0.4; 0.4; 0.15; 0.15], tol);
%! x = zelmonte([0.4; 1; 1.5; 0.9; 1.5; 1.5; 1.5; 2.3], 1);
%! assert(x, [1.2; 1.2; 1.2; 1.2; 1.45; 1.45; 1.45; 1.45], tol);
%! x = zelmonte([0.4; 1.3; 1; 0.4; 0.3; 0.5; -0.1; -0.1], 0.5);
%! assert(x, [2.2 / 3 * ones(3, 1); 0.4; 0.4; 0.4; 0.15; 0.15], tol);

%!test
%! % Optimality: z = cumsum(y - x) stays within [-lambda, lambda], is -lambda
%! % where x steps up, +lambda where it steps down, and ends at 0.
%! randn('seed', 9); rand('seed', 9);
%! for n = [5, 200, 5000]
%!   segment = cumsum(rand(n, 1) < 10 / n) + 1;
%!   levels = 3 * randn(max(segment), 1);
%!   y = levels(segment) + 0.5 * randn(n, 1);
%!   for lambda = [0.01, 0.5, 3, 100]
%!     x = zelmonte(y, lambda);
%!     z = running_residual(y, x);
%!     tol = 1e-10 * max([lambda; abs(y)]);
%!     assert(all(abs(z) <= lambda + tol));
%!     up = find(diff(x) > 0);
%!     down = find(diff(x) < 0);
%!     assert(z(up), -lambda * ones(size(up)), tol);
%!     assert(z(down), lambda * ones(size(down)), tol);
%!     assert(abs(z(end)) <= tol);
%!     if lambda == 0.5 && n == 5000
%!       assert(numel(up) + numel(down) >= 5);   % a real piecewise result
%!     end
%!   end
%! end

%!test
%! % Smooth trends with a weight large for them, and their mirror images:
%! % zelmonte's linear method (the scan alone would re-read nearly all it
%! % has read at every closing). The result is the minimizer all the same.
%! k = (0:19999)';
%! trends = {log(1 + k), 1e4; sqrt(k), 1e3; k .^ (1 / 3), 1e3; 1 - exp(-8 * k / numel(k)), 10};
%! for c = 1:rows(trends)
%!   for mirror = 0:3
%!     y = trends{c, 1};
%!     lambda = trends{c, 2};
%!     if bitand(mirror, 1), y = flipud(y); end
%!     if bitand(mirror, 2), y = -y; end
%!     x = zelmonte(y, lambda);
%!     z = running_residual(y, x);
%!     tol = 1e-10 * max([lambda; abs(y)]);
%!     assert(all(abs(z) <= lambda + tol));
%!     up = find(diff(x) > tol);
%!     down = find(diff(x) < -tol);
%!     assert(z(up), -lambda * ones(size(up)), tol);
%!     assert(z(down), lambda * ones(size(down)), tol);
%!     assert(abs(z(end)) <= tol);
%!   end
%! end
