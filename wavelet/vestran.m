function varargout = vestran(varargin)
%VESTRAN Inverse decimated wavelet transform with periodic extension.
%   [x, L] = vestran(y, h)
%   [x, L] = vestran(y, h, L)
%
%   Rebuilds a vector or matrix from its L-level decimated wavelet
%   coefficients y, stored in the pyramid layout that KALDOR writes, with
%   the scaling filter h and periodic extension. Levels run from the
%   coarsest block to the whole matrix, each a pass over the columns of its
%   block (for a matrix) and then over the rows. For an even-length h each
%   level is the transpose of the matching KALDOR level, so for an
%   orthonormal scaling filter vestran(kaldor(x, h, L), h, L) returns x up
%   to rounding.
%
%   Arguments (real, dense, double):
%     y  M-by-N coefficients; a vector (1-by-N or N-by-1) is rebuilt as 1-D
%     h  scaling filter of at least 2 taps, any shape: its length is the
%        larger of its row and column counts and its first that many
%        elements are used
%     L  number of levels (optional; only the first element is read and
%        it is truncated toward zero). Without L, the number of times the
%        length of a vector, or both sides of a matrix, can be halved while
%        even. Every side above 1 must be a multiple of 2^L.
%
%   Results:
%     x  M-by-N rebuilt signal; with L = 0, x is y unchanged
%     L  the number of levels used, as a double
%
%   Each output pair draws on lhh = floor(lh/2) low and high coefficients:
%   x(2i) = sum_k a(i+k-lhh+1) h(lh-2-2k) + d(i+k-lhh+1) g(lh-2-2k), and
%   x(2i+1) likewise with lh-1-2k, where g(t) = (-1)^t h(lh-1-t) and
%   indices are zero-based, coefficients taken periodically.
%
%   Working memory: one block, taken once per call, of 4*lhh plus twice
%   lhh + 15 + min(P/2, lhh + 15) (P the longer side of y, lhh =
%   floor(lh/2)) plus, for a matrix, (4*lhh - 2)*M doubles (the columns
%   one output pair of the rows draws on, and their periodic extension).
%
%   Errors:
%     "There are at most 3 input parameters allowed!"
%     "There are at least 2 input parameters required!"
%     "Input K (NAME) must be of class double, not CLASS!", "... must be
%         real, not complex!", "... must be dense, not sparse!"
%     "Input 2 (h) must have at least 2 filter taps!"
%     "The number of levels, L, must be a non-negative integer"   L is
%         negative, NaN, infinite, outside the 32-bit range, or empty
%     "Maximum number of levels is zero; no decomposition can be performed!"
%         no L given and none can be inferred (also for an empty y)
%     "The matrix row dimension must be of size m*2^(L)"
%     "The matrix column dimension must be of size n*2^(L)"
%
%   Example:
%     x = vestran([5 -2 -1/sqrt(2) -1/sqrt(2)], [1 1] / sqrt(2), 2)   % [1 2 3 4]
%
%   See also KALDOR.
  error('lassowave:notBuilt', ...
        'vestran: the compiled module is not built or not on the path (see the lassowave README).');
end

%!assert (vestran ([5 -2 -1/sqrt(2) -1/sqrt(2)], [1 1] / sqrt(2), 2), [1 2 3 4], 8 * eps)
%!test
%! % vestran undoes kaldor for an orthonormal filter, for vectors and matrices.
%! h = [1+sqrt(3), 3+sqrt(3), 3-sqrt(3), 1-sqrt(3)] / (4*sqrt(2));
%! x = (1:8) .^ 2;
%! [y, L] = kaldor (x, h);
%! [z, L2] = vestran (y, h);
%! assert ([L, L2], [3, 3]);
%! assert (z, x, 1e-11);
%! X = reshape (sin (1:32), 4, 8);
%! assert (vestran (kaldor (X, h, 1), h, 1), X, 1e-12);
%! assert (vestran ([1 2 3], [1 1], 0), [1 2 3]);

%!error <^vestran: There are at least 2 input parameters required!$> vestran ([1 2])
%!error <^vestran: There are at most 3 input parameters allowed!$> vestran ([1 2], [1 1], 1, 1)
%!error <^vestran: Input 2 \(h\) must have at least 2 filter taps!$> vestran ([1 2], 1)
%!error <^vestran: The number of levels, L, must be a non-negative integer$> vestran ([1 2], [1 1], NaN)
%!error <^vestran: The matrix row dimension must be of size m\*2\^\(L\)$> vestran (ones (6, 8), [1 1], 2)
