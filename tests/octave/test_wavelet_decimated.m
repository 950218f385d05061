% kaldor and vestran called the way an Octave script calls them.

%!function W = analysis_matrix(n, h)
%!  % One decimated level on a periodic block of n samples, as a matrix:
%!  % rows 1 .. n/2 low pass, rows n/2+1 .. n high pass.
%!  lh = numel(h);
%!  W = zeros(n, n);
%!  for i = 0:n/2-1
%!    for j = 0:lh-1
%!      c = mod(2*i + j, n) + 1;
%!      W(i+1, c) += h(j+1);
%!      W(n/2+i+1, c) += (-1)^(lh-j) * h(lh-j);
%!    end
%!  end
%!endfunction

%!function y = reference_kaldor(x, h, L)
%!  % The pyramid, level by level, with the matrices above.
%!  y = x;
%!  if columns(x) == 1
%!    y = reference_kaldor(x.', h, L).';
%!    return;
%!  end
%!  [m, n] = size(x);
%!  R = m; C = n;
%!  for k = 1:L
%!    Wc = analysis_matrix(C, h);
%!    if m == 1
%!      y(1, 1:C) = y(1, 1:C) * Wc.';
%!    else
%!      y(1:R, 1:C) = analysis_matrix(R, h) * y(1:R, 1:C) * Wc.';
%!      R /= 2;
%!    end
%!    C /= 2;
%!  end
%!endfunction

%!function h = daubechies(taps)
%!  switch taps
%!    case 2
%!      h = [1 1] / sqrt(2);
%!    case 4
%!      h = [-0.12940952255126038117, 0.22414386804201338103, 0.83651630373780790558, ...
%!           0.48296291314453414337];
%!    case 6
%!      h = [0.035226291885709536603, -0.085441273882026661693, -0.1350110200102545887, ...
%!           0.4598775021184915701, 0.80689150931109257649, 0.332670552950082616];
%!    case 8
%!      h = [-0.010597401785069032105, 0.032883011666885199735, 0.030841381835560763627, ...
%!           -0.18703481171909308408, -0.027983769416859854211, 0.63088076792985890788, ...
%!           0.71484657055291564709, 0.23037781330889650086];
%!  end
%!endfunction

%!test
%! % Worked examples of the forward transform.
%! h = [1 1] / sqrt(2);
%! assert(kaldor([1 2 3 4], h, 1), [3 7 -1 -1] / sqrt(2), 1e-15);
%! [y, L] = kaldor([1 2 3 4], h);
%! assert(L, 2);
%! assert(y, [5, -2, -1/sqrt(2), -1/sqrt(2)], 1e-15);
%! assert(kaldor([1; 2; 3; 4], h), [5; -2; -1/sqrt(2); -1/sqrt(2)], 1e-15);
%! assert(kaldor([1 2; 3 4], h, 1), [5 -1; -2 0], 1e-15);
%! assert(kaldor(1:4, [1 2], 1), [5 11 0 2]);
%! assert(kaldor(1:4, [1 2 3 4], 1), [30 22 0 0]);
%! assert(kaldor(1:4, [1 2 3], 1), [14 14 -2 -2]);
%! assert(kaldor([10 100], 1:6, 1), [10*9 + 100*12, 60 - 500 + 40 - 300 + 20 - 100]);

%!test
%! % Worked examples of the inverse transform.
%! h = [1 1] / sqrt(2);
%! assert(vestran([3 7 -1 -1] / sqrt(2), h, 1), 1:4, 1e-14);
%! assert(vestran([5, -2, -1/sqrt(2), -1/sqrt(2)], h), 1:4, 1e-14);
%! assert(vestran([5 -1; -2 0], h, 1), [1 2; 3 4], 1e-14);
%! assert(vestran([1 0 0 0], 1:4, 1), [1 2 3 4]);
%! assert(vestran([0 1 0 0], 1:4, 1), [3 4 1 2]);
%! assert(vestran([0 0 1 0], 1:4, 1), [4 -3 2 -1]);
%! assert(vestran([1 0 0 0], 1:3, 1), [2 3 0 0]);
%! assert(vestran([0 0 1 0], 1:3, 1), [-2 1 0 0]);

%!test
%! % Against the pyramid built from Octave's own matrix products.
%! for taps = [2 4 6 8]
%!   h = daubechies(taps);
%!   for shape = {[1 32], [32 1], [16 16], [8 32], [32 8]}
%!     s = shape{1};
%!     x = sin(1:prod(s)) .* (1:prod(s)) / prod(s);
%!     x = reshape(x, s);
%!     for L = 1:3
%!       assert(kaldor(x, h, L), reference_kaldor(x, h, L), 1e-13);
%!     end
%!   end
%! end
%! % Any filter, odd lengths too, and longer than the block.
%! h = [0.3 -1 2 0.25 0.5];
%! x = reshape(cos(1:64), 8, 8);
%! assert(kaldor(x, h, 3), reference_kaldor(x, h, 3), 1e-13);
%! assert(kaldor(x(:, 1), h, 3), reference_kaldor(x(:, 1), h, 3), 1e-13);

%!test
%! % vestran applies the transposed level for an even-length filter.
%! h = [0.3 -1 2 0.25 0.5 1.5];
%! y = cos(1:16);
%! assert(vestran(y, h, 1), y * analysis_matrix(16, h), 1e-13);
%! Y = reshape(sin(1:64), 8, 8);
%! assert(vestran(Y, h, 1), analysis_matrix(8, h).' * Y * analysis_matrix(8, h), 1e-13);

%!test
%! % Round trips and energy for orthonormal filters, every admissible L.
%! for taps = [2 4 6 8]
%!   h = daubechies(taps);
%!   for shape = {[1 64], [64 1], [16 16], [8 32], [2 2], [1 2]}
%!     s = shape{1};
%!     x = reshape(cos((1:prod(s)) * 0.7) + (1:prod(s)) / 50, s);
%!     Lmax = log2(max(s));
%!     if min(s) > 1
%!       Lmax = log2(min(s));
%!     end
%!     for L = 1:Lmax
%!       y = kaldor(x, h, L);
%!       assert(size(y), s);
%!       assert(sumsq(y(:)), sumsq(x(:)), 1e-12 * sumsq(x(:)));
%!       assert(vestran(y, h, L), x, 1e-13);
%!     end
%!   end
%! end
%! % With L inferred on both sides.
%! x = magic(16);
%! [y, L] = kaldor(x, daubechies(8));
%! assert(L, 4);
%! [z, L2] = vestran(y, daubechies(8));
%! assert(L2, 4);
%! assert(z, x, 1e-12);

%!test
%! % Zero levels, single samples, empty inputs.
%! x = magic(4);
%! assert(kaldor(x, [1 2], 0), x);
%! assert(vestran(x, [1 2], 0), x);
%! assert(kaldor(x, [1 2], -0.5), x);
%! assert(kaldor(3, [1 1], 1), 0);
%! assert(kaldor(3, [1 1], 2^31 - 1), 0);
%! assert(vestran(3, [1 1], 1), 0);
%! assert(vestran(3, [1 1], 2^31 - 1), 3);
%! [y, L] = kaldor(zeros(0, 8), [1 1], 3);
%! assert(size(y), [0 8]);
%! assert(L, 3);
%! assert(size(vestran(zeros(1, 0), [1 1], 7)), [1 0]);
%! assert(size(kaldor([], [1 1], 2^31 - 1)), [0 0]);

%!test
%! % Level count: inferred, truncated, rejected.
%! [~, L] = kaldor(zeros(1, 12), [1 1]);   assert(L, 2);
%! [~, L] = kaldor(zeros(8, 12), [1 1]);   assert(L, 2);
%! [~, L] = vestran(zeros(6, 1), [1 1]);   assert(L, 1);
%! [~, L] = kaldor(zeros(1, 8), [1 1], 2.9);   assert(L, 2);
%! [~, L] = kaldor(zeros(1, 8), [1 1], [1 5]); assert(L, 1);
%! none = 'Maximum number of levels is zero; no decomposition can be performed!';
%! bad = 'The number of levels, L, must be a non-negative integer';
%! for f = {'kaldor', 'vestran'}
%!   t = str2func(f{1});
%!   assert_error_text(@() t(zeros(7, 8), [1 1]), f{1}, none);
%!   assert_error_text(@() t(zeros(1, 7), [1 1]), f{1}, none);
%!   assert_error_text(@() t(5, [1 1]), f{1}, none);
%!   assert_error_text(@() t([], [1 1]), f{1}, none);
%!   for L = {-1, NaN, Inf, -Inf, 1e10, []}
%!     assert_error_text(@() t(zeros(1, 8), [1 1], L{1}), f{1}, bad);
%!   end
%!   assert_error_text(@() t(zeros(12, 8), [1 1], 3), f{1}, ...
%!                     'The matrix row dimension must be of size m*2^(L)');
%!   assert_error_text(@() t(zeros(1, 12), [1 1], 3), f{1}, ...
%!                     'The matrix column dimension must be of size n*2^(L)');
%!   assert_error_text(@() t(zeros(2, 2), [1 1], 31), f{1}, ...
%!                     'The matrix row dimension must be of size m*2^(L)');
%!   [~, L] = t(zeros(8, 1), [1 1], 3);
%!   assert(L, 3);
%! end

%!test
%! % Input counts and argument checks.
%! for f = {'kaldor', 'vestran'}
%!   t = str2func(f{1});
%!   if strcmp(f{1}, 'kaldor') x = 'x'; else x = 'y'; end
%!   assert_error_text(@() t({}, 'a', 3i, -1), f{1}, 'There are at most 3 input parameters allowed!');
%!   assert_error_text(@() t(1:4), f{1}, 'There are at least 2 input parameters required!');
%!   assert_error_text(@() t(single(1:4), [1 1]), f{1}, ...
%!                     ['Input 1 (' x ') must be of class double, not single!']);
%!   assert_error_text(@() t(complex(1:4, [0 0 0 1]), [1 1]), f{1}, ...
%!                     ['Input 1 (' x ') must be real, not complex!']);
%!   assert_error_text(@() t(sparse([1 0 2 0]), [1 1]), f{1}, ...
%!                     ['Input 1 (' x ') must be dense, not sparse!']);
%!   assert_error_text(@() t(1:4, int32([1 1])), f{1}, ...
%!                     'Input 2 (h) must be of class double, not int32!');
%!   assert_error_text(@() t(1:4, [1 1], true), f{1}, ...
%!                     'Input 3 (L) must be of class double, not logical!');
%! end
%! assert_error_text(@() kaldor(1:4, []), 'kaldor', 'Input 2 (h) must have at least 1 filter tap!');
%! assert_error_text(@() kaldor(1:4, zeros(0, 3)), 'kaldor', ...
%!                   'Input 2 (h) must have at least 1 filter tap!');
%! assert_error_text(@() vestran(1:4, 1), 'vestran', 'Input 2 (h) must have at least 2 filter taps!');
%! assert(kaldor(1:4, 2, 1), [2 6 -2 -6]);   % one tap: h1 = -h
%! % A 2×3 filter has three taps, its first three stored elements.
%! x = cos(1:16);
%! assert(kaldor(x, [1 3 5; 2 4 6]), kaldor(x, [1 2 3]));
%! assert(vestran(x, [1 3 5; 2 4 6]), vestran(x, [1; 2; 3]));

%!test
%! % No input is written: x, h and L keep their values (deep copies compared,
%! % since a plain assignment would share the data the module reads).
%! h = daubechies(6); h0 = h + 0;
%! for shape = {[1 32], [32 1], [16 8], [1 1]}
%!   x = reshape(sin(1:prod(shape{1})), shape{1}); x0 = x + 0;
%!   L = 2.5; L0 = L + 0;
%!   if prod(shape{1}) == 1, L = 3; L0 = 3; end
%!   y = kaldor(x, h, L);
%!   assert(isequal(x, x0) && isequal(h, h0) && isequal(L, L0));
%!   y0 = y + 0;
%!   z = vestran(y, h, L);
%!   assert(isequal(y, y0) && isequal(h, h0) && isequal(L, L0));
%!   z = vestran(y, h, 0);
%!   assert(isequal(y, y0));
%! end
