% The redundant wavelet pair ostrevin / quillomar, called from Octave.

%!shared haar, db4, db6, db8
%! haar = [1 1] / sqrt(2);
%! db4 = [0.48296291314453416, 0.83651630373780783, 0.22414386804201342, -0.1294095225512604];
%! db6 = [0.33267055295008258, 0.80689150931109244, 0.45987750211849149, ...
%!        -0.13501102001025461, -0.0854412738820267, 0.035226291885709526];
%! db8 = [0.23037781330889645, 0.71484657055291556, 0.63088076792985892, ...
%!        -0.027983769416859511, -0.18703481171909295, 0.030841381835560691, ...
%!        0.032883011666885183, -0.010597401785069018];

%!function [lo, hi] = level_along(a, h, s)
%!  % One level along the last dimension of a, taps s apart, circularly, in
%!  % the modules' summation order.
%!  lh = numel(h);
%!  q = fliplr(h);
%!  q(lh - (0:2:lh-1)) = -q(lh - (0:2:lh-1));   % q(j) = -h(lh+1-j) when lh-j is even
%!  lo = zeros(size(a));
%!  hi = zeros(size(a));
%!  D = size(a, 2);
%!  for j = 1:lh
%!    v = a(:, mod((0:D-1) + (j-1) * s, D) + 1);
%!    lo = lo + v * h(j);
%!    hi = hi + v * q(j);
%!  end
%!endfunction

%!function [yl, yh] = reference_forward(x, h, L)
%!  yl = x;
%!  if columns(x) == 1, yl = x.'; end
%!  [m, n] = size(yl);
%!  yh = zeros(m, n * L * (1 + 2 * (m > 1)));
%!  for k = 1:L
%!    s = 2^(k-1);
%!    co = (1 + 2 * (m > 1)) * n * (k - 1);
%!    [yl, b1] = level_along(yl, h, s);
%!    yh(:, co + (1:n)) = b1;
%!    if m > 1
%!      [lo, hi] = level_along(yl.', h, s);
%!      [b2, b3] = level_along(b1.', h, s);
%!      yl = lo.';
%!      yh(:, co + (1:3*n)) = [hi.', b2.', b3.'];
%!    end
%!  end
%!  if columns(x) == 1, yl = yl.'; yh = reshape(yh, n, L); end
%!endfunction

%!test
%! % Worked examples and the band layout of both vector shapes.
%! [yl, yh, L] = ostrevin([1 2 3 4], [1 1], 1);
%! assert(yl, [3 5 7 5]); assert(yh, [-1 -1 -1 3]); assert(L, 1);
%! [yl, yh, L] = ostrevin([1 2 3 4], [1 1], 2);
%! assert(yl, [10 10 10 10]); assert(yh, [-1 -1 -1 3 -4 0 4 0]); assert(L, 2);
%! [yl, yh] = ostrevin([1; 2; 3; 4], [1 1], 2);
%! assert(yl, [10; 10; 10; 10]); assert(yh, [-1 -4; -1 0; -1 4; 3 0]);
%! [yl, yh] = ostrevin([1 0 0 0], [1 2 3], 1);
%! assert(yl, [1 0 3 2]); assert(yh, [-3 0 -1 2]);
%! [yl, yh] = ostrevin([1 3; 2 4], [1 1], 1);
%! assert(yl, 10 * ones(2)); assert(yh, [-2 -2 -4 4 0 0; 2 2 -4 4 0 0]);
%! [yl, yh] = ostrevin([1 2 3 4], [1 2 3 4], 2);
%! assert(yl, [252 240 268 240]); assert(yh, [0 6 0 14 92 48 12 48]);
%! [yl, yh] = ostrevin(2, [1 2 3 5], 1);
%! assert([yl, yh], [22, 6]);
%! [yl, yh, L] = ostrevin(magic(4), db4, 0);
%! assert(yl, magic(4)); assert(size(yh), [4 0]); assert(L, 0);
%! [yl, yh, L] = ostrevin(rand(8, 16), haar);
%! assert(L, 3); assert(size(yh), [8, 144]);
%! [yl, yh, L] = ostrevin(rand(1, 12), haar, 2.9);
%! assert(L, 2); assert(size(yh), [1, 24]);
%! assert(ostrevin([1 0 0 0], [1 2; 3 9; 9 9]), ostrevin([1 0 0 0], [1 3 9]));

%!test
%! % Each level is the dilated filter pair applied circularly to the
%! % previous low-pass, for row and column vectors and matrices.
%! for shape = {[1 32], [32 1], [8 16], [16 4], [4 12]}
%!   sz = shape{1};
%!   x = sin(reshape(1:prod(sz), sz) * 0.37);
%!   Lmax = min(sum(factor(max(sz)) == 2), 5);
%!   if min(sz) > 1, Lmax = min(sum(factor(sz(1)) == 2), sum(factor(sz(2)) == 2)); end
%!   for h = {haar, db4, db8}
%!     for L = 0:Lmax
%!       [yl, yh] = ostrevin(x, h{1}, L);
%!       [rl, rh] = reference_forward(x, h{1}, L);
%!       assert(yl, rl, 1e-14); assert(yh, rh, 1e-14);
%!     end
%!   end
%! end

%!test
%! % Circularly shifting the signal by one sample shifts every band by one.
%! x = randn(1, 64);
%! [yl, yh] = ostrevin(x, db6, 5);
%! [sl, sh] = ostrevin(circshift(x, 1, 2), db6, 5);
%! assert(sl, circshift(yl, 1, 2));
%! assert(sh, reshape(circshift(reshape(yh, 64, 5), 1, 1), 1, []));
%! X = randn(16, 8);
%! [yl, yh] = ostrevin(X, db4, 3);
%! for dim = 1:2
%!   [sl, sh] = ostrevin(circshift(X, 1, dim), db4, 3);
%!   assert(sl, circshift(yl, 1, dim));
%!   assert(sh, reshape(circshift(reshape(yh, 16, 8, 9), 1, dim), 16, []));
%! end

%!test
%! % quillomar: impulses, level order, the column form, 2-D band assignment
%! % and the factor 1/2 per step.
%! h = [1 2 3];
%! assert(quillomar([1 0 0 0], [0 0 0 0], h, 1), [0.5 1 1.5 0]);
%! assert(quillomar([0 0 0 0], [1 0 0 0], h, 1), [1.5 -1 0.5 0]);
%! assert(quillomar([1 0 0 0], zeros(1, 8), h, 2), [2.5 2 3.5 1]);
%! assert(quillomar([0 0 0 0], [0 0 0 0 1 0 0 0], h, 2), [-0.5 2 2.5 -1]);
%! assert(quillomar([0; 0; 0; 0], [0 1; 0 0; 0 0; 0 0], h, 2), [-0.5; 2; 2.5; -1]);
%! want = [0.25 0.5 0.5 1; 0.5 -0.25 1 -0.5; 0.5 1 -0.25 -0.5; 1 -0.5 -0.5 0.25];
%! for b = 0:3
%!   yl = zeros(4); yh = zeros(4, 12);
%!   if b == 0, yl(1, 1) = 1; else, yh(1, 4 * (b - 1) + 1) = 1; end
%!   x = quillomar(yl, yh, [1 2], 1);
%!   assert(x(1:2, 1:2)(:).', want(b + 1, :));
%!   x(1:2, 1:2) = 0;
%!   assert(x, zeros(4));
%! end
%! assert(quillomar([3 5 7 5], [-1 -1 -1 3], [1 1], 1), [2 4 6 8]);
%! [yl, yh] = ostrevin([1 3; 2 4], [1 1], 1);
%! assert(quillomar(yl, yh, [1 1], 1), [4 12; 8 16]);
%! [x, L] = quillomar(magic(4), zeros(4, 0), db4, 0);
%! assert(x, magic(4)); assert(L, 0);

%!test
%! % Round trips for orthonormal filters: vectors of both shapes and
%! % matrices, every admissible level count.
%! for shape = {[1 64], [64 1], [16 32], [32 8], [6 4], [2 2]}
%!   sz = shape{1};
%!   x = randn(sz);
%!   if min(sz) == 1
%!     Lmax = sum(factor(max(sz)) == 2);
%!   else
%!     Lmax = min(sum(factor(sz(1)) == 2), sum(factor(sz(2)) == 2));
%!   end
%!   for h = {haar, db4, db6, db8}
%!     for L = 0:Lmax
%!       [yl, yh] = ostrevin(x, h{1}, L);
%!       [back, Lr] = quillomar(yl, yh, h{1}, L);
%!       assert(Lr, L);
%!       assert(back, x, 1e-12);
%!     end
%!   end
%!   [yl, yh, L] = ostrevin(x, db4);
%!   assert(quillomar(yl, yh, db4), x, 1e-12);
%! end

%!test
%! % A single sample with many levels: every tap reads that sample.
%! h = [0.5 0.25 0.125 0.125];   % tap sum 1, alternating sum -0.25
%! for L = [2, 31, 32, 1000, 100000]
%!   [yl, yh, Lr] = ostrevin(3, h, L);
%!   assert(yl, 3); assert(yh, -0.75 * ones(1, L)); assert(Lr, L);
%!   x = quillomar(3, -0.75 * ones(1, L), h, L);
%!   assert(isfinite(x));
%! end
%! [yl, yh] = ostrevin(3, db4, 40);
%! assert(quillomar(yl, yh, db4, 40), 3, 1e-12);

%!test
%! % Inputs without samples give empty results of the right shapes.
%! [yl, yh, L] = ostrevin(zeros(0, 8), haar, 3);
%! assert(size(yl), [0 8]); assert(size(yh), [0 72]); assert(L, 3);
%! [yl, yh] = ostrevin(zeros(8, 0), haar, 3);
%! assert(size(yl), [8 0]); assert(size(yh), [8 0]);
%! [yl, yh] = ostrevin(zeros(1, 0), haar, 1e9);
%! assert(size(yl), [1 0]); assert(size(yh), [1 0]);
%! [x, L] = quillomar(zeros(0, 4), zeros(0, 8), haar, 2);
%! assert(size(x), [0 4]); assert(L, 2);
%! assert_error_text(@() ostrevin(zeros(0, 8), haar), 'ostrevin', ...
%!   'Maximum number of levels is zero; no decomposition can be performed!');

%!test
%! % Messages and their order.
%! v = 'Dimensions of first two input vectors not consistent!';
%! m = 'Dimensions of first two input matrices not consistent!';
%! assert_error_text(@() quillomar(zeros(1, 8), zeros(1, 23), haar, 3), 'quillomar', v);
%! assert_error_text(@() quillomar(zeros(8, 1), zeros(1, 24), haar, 3), 'quillomar', v);
%! assert_error_text(@() quillomar(zeros(4), zeros(4, 23), haar, 2), 'quillomar', m);
%! assert_error_text(@() quillomar(zeros(4), zeros(5, 24), haar, 2), 'quillomar', m);
%! assert_error_text(@() quillomar(zeros(4), zeros(4, 12), haar), 'quillomar', m);
%! assert(quillomar(zeros(4), zeros(4, 24), haar), zeros(4));
%! assert_error_text(@() quillomar(zeros(12, 8), zeros(12, 72), haar, 3), 'quillomar', ...
%!   'The matrix row dimension must be of size m*2^(L)');
%! assert_error_text(@() quillomar(1, 2, 3, 4, 5), 'quillomar', ...
%!   'There are at most 4 input parameters allowed!');
%! assert_error_text(@() quillomar(1, 2), 'quillomar', ...
%!   'There are at least 3 input parameters required!');
%! assert_error_text(@() ostrevin(1, 2, 3, 4), 'ostrevin', ...
%!   'There are at most 3 input parameters allowed!');
%! assert_error_text(@() ostrevin(1), 'ostrevin', ...
%!   'There are at least 2 input parameters required!');
%! assert_error_text(@() ostrevin(zeros(1, 12), haar, 3), 'ostrevin', ...
%!   'The matrix column dimension must be of size n*2^(L)');
%! assert_error_text(@() ostrevin(1:4, zeros(0, 3), 1), 'ostrevin', ...
%!   'Input 2 (h) must have at least 1 filter tap!');
%! assert_error_text(@() quillomar(1:4, 1:4, [], 1), 'quillomar', ...
%!   'Input 3 (h) must have at least 1 filter tap!');
%! assert_error_text(@() ostrevin(single(1:4), haar), 'ostrevin', ...
%!   'Input 1 (x) must be of class double, not single!');
%! assert_error_text(@() quillomar(1:4, sparse(1:4), haar), 'quillomar', ...
%!   'Input 2 (yh) must be dense, not sparse!');
%! assert_error_text(@() ostrevin(1:4, haar, -1), 'ostrevin', ...
%!   'The number of levels, L, must be a non-negative integer');

%!test
%! % No input is written: x, yl, yh, h and L keep their values.
%! h = db8; h0 = h + 0;
%! for shape = {[1 32], [32 1], [8 16], [1 1]}
%!   x = reshape(cos(1:prod(shape{1})), shape{1}); x0 = x + 0;
%!   L = 2.5; L0 = L + 0;
%!   [yl, yh] = ostrevin(x, h, L);
%!   assert(isequal(x, x0) && isequal(h, h0) && isequal(L, L0));
%!   yl0 = yl + 0; yh0 = yh + 0;
%!   back = quillomar(yl, yh, h, L);
%!   assert(isequal(yl, yl0) && isequal(yh, yh0) && isequal(h, h0) && isequal(L, L0));
%! end

%!test
%! % The level count of the redundant pair: truncated, zero accepted, the
%! % rest rejected; for quillomar it is settled before yh is compared.
%! bad = 'The number of levels, L, must be a non-negative integer';
%! none = 'Maximum number of levels is zero; no decomposition can be performed!';
%! [~, ~, L] = ostrevin(zeros(1, 8), haar, 2.9);   assert(L, 2);
%! [~, ~, L] = ostrevin(zeros(4, 4), haar, -0.5);  assert(L, 0);
%! [~, L] = quillomar(zeros(1, 8), zeros(1, 16), haar, 2.9);   assert(L, 2);
%! [~, L] = quillomar(zeros(4, 4), zeros(4, 0), haar, -0.5);   assert(L, 0);
%! [~, L] = quillomar(zeros(16, 1), zeros(16, 4), haar);       assert(L, 4);
%! for L = {-1, NaN, Inf, 1e10, []}
%!   assert_error_text(@() ostrevin(zeros(1, 8), haar, L{1}), 'ostrevin', bad);
%!   assert_error_text(@() quillomar(zeros(1, 8), zeros(1, 5), haar, L{1}), 'quillomar', bad);
%! end
%! assert_error_text(@() ostrevin(zeros(7, 8), haar), 'ostrevin', none);
%! assert_error_text(@() ostrevin(5, haar), 'ostrevin', none);
%! assert_error_text(@() quillomar(zeros(7, 8), zeros(7, 5), haar), 'quillomar', none);
%! assert_error_text(@() quillomar(zeros(1, 7), zeros(1, 5), haar), 'quillomar', none);
%! % Arguments are checked before the level count, in their order.
%! assert_error_text(@() quillomar(zeros(4), complex(zeros(4, 24), 1), haar, -1), 'quillomar', ...
%!   'Input 2 (yh) must be real, not complex!');
%! assert_error_text(@() quillomar(zeros(4), zeros(4, 24), true(1, 2), -1), 'quillomar', ...
%!   'Input 3 (h) must be of class double, not logical!');
%! assert_error_text(@() quillomar(zeros(4), zeros(4, 24), haar, int8(2)), 'quillomar', ...
%!   'Input 4 (L) must be of class double, not int8!');
%! assert_error_text(@() ostrevin(zeros(4), haar, single(2)), 'ostrevin', ...
%!   'Input 3 (L) must be of class double, not single!');
