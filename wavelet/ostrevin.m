function varargout = ostrevin(varargin)
%OSTREVIN Redundant (undecimated) wavelet transform with periodic extension.
%   [yl, yh, L] = ostrevin(x, h)
%   [yl, yh, L] = ostrevin(x, h, L)
%
%   Transforms the signal x (a row vector, a column vector or a matrix) with
%   the scaling (low-pass) filter h over L levels without discarding samples:
%   every band has as many samples as x. At level k the filter taps are
%   2^(k-1) samples apart and the signal is extended periodically. A matrix
%   is filtered along its rows first, then along its columns.
%
%   Arguments (real dense doubles):
%     x   signal, M-by-N; a column vector is transformed like the row vector
%         holding the same values
%     h   scaling filter of any length and shape (its first max(size(h))
%         stored values are used, unscaled)
%     L   number of levels (optional; truncated toward zero). Without it, L
%         is the number of times the length of a vector, or the smaller of
%         the two dimensions' counts for a matrix, can be halved while even.
%         Every dimension above 1 must be a multiple of 2^L.
%
%   Filters: low-pass h0 = h reversed; high-pass h1(i) = h(i) for even i
%   (1-based) and -h(i) for odd i. Along a line of length D with spacing s,
%   a holding the line's current low-pass values,
%     low(i)  = sum_j h(j) * a(mod(i + (j-1)*s, D))
%     high(i) = sum_j q(j) * a(mod(i + (j-1)*s, D))  with q = flip(h1),
%   j = 1 .. numel(h), i and the positions in a counted from 0. A line of
%   one sample (a 1-by-1 x) uses that sample at every tap and every level.
%
%   Results:
%     yl  low-pass band of level L, M-by-N (x itself when L = 0)
%     yh  high-pass bands of all levels, finest first:
%           1-by-N row:     1-by-(L*N), level k in columns (k-1)*N+1 .. k*N
%           N-by-1 column:  N-by-L, level k in column k
%           M-by-N matrix:  M-by-(3*N*L), level k in columns 3N(k-1)+1 on:
%                           band 1 (rows low, columns high), band 2 (rows
%                           high, columns low), band 3 (both high), N each
%     L   the number of levels used, as a double
%
%   Errors:
%     "There are at most 3 input parameters allowed!"
%     "There are at least 2 input parameters required!"
%     "The number of levels, L, must be a non-negative integer"
%     "Maximum number of levels is zero; no decomposition can be performed!"
%         (no L given and none can be inferred, also for an empty x)
%     "The matrix row dimension must be of size m*2^(L)"
%     "The matrix column dimension must be of size n*2^(L)"
%     "Input K (NAME) must be of class double, not CLASS!", "... must be
%         real, not complex!", "... must be dense, not sparse!"
%     "Input 2 (h) must have at least 1 filter tap!"   empty filter
%     "The high-pass result yh would have 2^31 or more columns; at most
%         2147483647 are supported!"
%
%   Example:
%     [yl, yh, L] = ostrevin([1 2 3 4], [1 1], 1)
%     % yl = [3 5 7 5], yh = [-1 -1 -1 3], L = 1
%
%   See also QUILLOMAR, KALDOR.
  error('lassowave:notBuilt', ...
        'ostrevin: the compiled module is not built or not on the path (see the lassowave README).');
end

%!test
%! % The example.
%! [yl, yh, L] = ostrevin ([1 2 3 4], [1 1], 1);
%! assert (yl, [3 5 7 5]);
%! assert (yh, [-1 -1 -1 3]);
%! assert (L, 1);
%!test
%! % Band layout: rows give L*N columns, columns N-by-L, matrices 3*N*L.
%! h = [1 1] / sqrt(2);
%! [yl, yh, L] = ostrevin (1:8, h);
%! assert ([size(yl), size(yh), L], [1, 8, 1, 24, 3]);
%! [yl, yh] = ostrevin ((1:8)', h, 2);
%! assert ([size(yl), size(yh)], [8, 1, 8, 2]);
%! [yl, yh] = ostrevin (ones (4, 8), h, 2);
%! assert ([size(yl), size(yh)], [4, 8, 4, 48]);
%! % A constant stays in the low band (scaled by sum(h)^2 per level).
%! assert (yl, 4 * ones (4, 8), 1e-14);
%! assert (yh, zeros (4, 48), 1e-14);
%!test
%! % A shift of the signal shifts every band the same way.
%! h = [1+sqrt(3), 3+sqrt(3), 3-sqrt(3), 1-sqrt(3)] / (4*sqrt(2));
%! x = sin ((1:16) / 2) .^ 3;
%! [yl, yh] = ostrevin (x, h, 2);
%! [yl2, yh2] = ostrevin (circshift (x, [0, 3]), h, 2);
%! assert (yl2, circshift (yl, [0, 3]), 1e-13);
%! assert (yh2(1:16), circshift (yh(1:16), [0, 3]), 1e-13);

%!error <^ostrevin: There are at least 2 input parameters required!$> ostrevin ([1 2])
%!error <^ostrevin: There are at most 3 input parameters allowed!$> ostrevin ([1 2], [1 1], 1, 1)
%!error <^ostrevin: Input 2 \(h\) must have at least 1 filter tap!$> ostrevin ([1 2], [])
%!error <^ostrevin: The matrix column dimension must be of size n\*2\^\(L\)$> ostrevin (1:6, [1 1], 2)
%!error <^ostrevin: Input 1 \(x\) must be dense, not sparse!$> ostrevin (sparse ([1 2]), [1 1])
