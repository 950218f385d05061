function varargout = kaldor(varargin)
%KALDOR Decimated wavelet transform with periodic extension.
%   [y, L] = kaldor(x, h)
%   [y, L] = kaldor(x, h, L)
%
%   Computes the L-level decimated discrete wavelet transform of the vector
%   or matrix x with the scaling filter h, extending x periodically at its
%   borders. A matrix is transformed separably: each level filters and
%   halves every row of its block, then every column, and the next level
%   works on the low-low corner. VESTRAN with the same h and L inverts it
%   when h is an orthonormal scaling filter.
%
%   Arguments (real, dense, double):
%     x  M-by-N signal; a vector (1-by-N or N-by-1) gives a 1-D transform
%     h  scaling filter, any shape: its length is the larger of its row
%        and column counts and its first that many elements are used
%     L  number of levels (optional; only the first element is read and
%        it is truncated toward zero). Without L, the number of times the
%        length of a vector, or both sides of a matrix, can be halved while
%        even. Every side above 1 must be a multiple of 2^L.
%
%   Results:
%     y  M-by-N coefficients in the pyramid layout. Vector: approximation
%        of level L (n/2^L values), then the details of level L, L-1, ...,
%        1 (n/2^k values each). Matrix: level k splits its block into
%        quarters: top-left low along rows and columns (the next level's
%        block), top-right high along rows, bottom-left high along columns,
%        bottom-right high along both.
%        With L = 0, y is x unchanged.
%     L  the number of levels used, as a double
%
%   The analysis filters: lo(i) = sum_j x(2i+j) h(j) and
%   hi(i) = sum_j x(2i+j) (-1)^(lh-j) h(lh-1-j), j = 0 .. lh-1, indices
%   of x modulo the block length (zero-based).
%
%   Working memory: one block, taken once per call, of 2*lh plus the larger
%   of 2*(floor(P/2) + floor(lh/2) + 8) (P the longer side of x) and, for a
%   matrix, 32*N doubles (32 rows copied where a level works in place).
%
%   Errors:
%     "There are at most 3 input parameters allowed!"
%     "There are at least 2 input parameters required!"
%     "Input K (NAME) must be of class double, not CLASS!", "... must be
%         real, not complex!", "... must be dense, not sparse!"
%     "Input 2 (h) must have at least 1 filter tap!"   empty h
%     "The number of levels, L, must be a non-negative integer"   L is
%         negative, NaN, infinite, outside the 32-bit range, or empty
%     "Maximum number of levels is zero; no decomposition can be performed!"
%         no L given and none can be inferred (also for an empty x)
%     "The matrix row dimension must be of size m*2^(L)"
%     "The matrix column dimension must be of size n*2^(L)"
%
%   Example:
%     y = kaldor([1 2 3 4], [1 1] / sqrt(2), 1)   % [3 7 -1 -1] / sqrt(2)
%     y = kaldor([1 2 3 4], [1 1] / sqrt(2))      % L = 2: [5 -2 -1/sqrt(2) -1/sqrt(2)]
%
%   See also VESTRAN.
  error('lassowave:notBuilt', ...
        'kaldor: the compiled module is not built or not on the path (see the lassowave README).');
end

%!assert (kaldor ([1 2 3 4], [1 1] / sqrt(2), 1), [3 7 -1 -1] / sqrt(2), 4 * eps)
%!test
%! % Without L: as many levels as the length halves while even.
%! [y, L] = kaldor ([1 2 3 4], [1 1] / sqrt(2));
%! assert (L, 2);
%! assert (y, [5, -2, -1/sqrt(2), -1/sqrt(2)], 8 * eps);
%! assert (kaldor ([1 2 3 4], [1 1], 0), [1 2 3 4]);
%!test
%! % An orthonormal filter keeps the energy; vestran inverts, 1-D and 2-D.
%! h = [1+sqrt(3), 3+sqrt(3), 3-sqrt(3), 1-sqrt(3)] / (4*sqrt(2));
%! x = sin (1:16) + (1:16) / 4;
%! y = kaldor (x, h, 3);
%! assert (norm (y), norm (x), 1e-12);
%! assert (vestran (y, h, 3), x, 1e-12);
%! X = reshape (cos (1:64), 8, 8);
%! assert (vestran (kaldor (X, h, 2), h, 2), X, 1e-12);
%! assert (size (kaldor (x', h, 2)), [16, 1]);

%!error <^kaldor: There are at least 2 input parameters required!$> kaldor ([1 2])
%!error <^kaldor: There are at most 3 input parameters allowed!$> kaldor ([1 2], [1 1], 1, 1)
%!error <^kaldor: Input 2 \(h\) must have at least 1 filter tap!$> kaldor ([1 2], [])
%!error <^kaldor: The number of levels, L, must be a non-negative integer$> kaldor ([1 2], [1 1], -1)
%!error <^kaldor: Maximum number of levels is zero; no decomposition can be performed!$> kaldor ([1 2 3], [1 1])
%!error <^kaldor: Input 1 \(x\) must be of class double, not single!$> kaldor (single ([1 2]), [1 1])
