function varargout = quillomar(varargin)
%QUILLOMAR Inverse of the redundant wavelet transform of OSTREVIN.
%   [x, L] = quillomar(yl, yh, h)
%   [x, L] = quillomar(yl, yh, h, L)
%
%   Rebuilds a signal from the low-pass band yl of the last level and the
%   high-pass bands yh of all levels, laid out as ostrevin returns them,
%   undoing the levels from the coarsest to the finest. A matrix level is
%   synthesised along the columns first, then along the rows. The synthesis
%   filters carry the factor 1/2, so for an orthonormal h (sum(h) = sqrt(2),
%   e.g. [1 1]/sqrt(2) or a Daubechies filter) quillomar undoes ostrevin up
%   to rounding.
%
%   Arguments (real dense doubles):
%     yl  low-pass band, M-by-N (a column is treated like the same row)
%     yh  high-pass bands: M-by-(L*N) for a vector (N-by-L for a column),
%         M-by-(3*N*L) for a matrix, as ostrevin returns them
%     h   the scaling filter given to ostrevin
%     L   number of levels (optional; truncated toward zero; inferred from
%         the size of yl as in ostrevin when not given)
%
%   Filters: g0 = h/2; g1 = flip(h)/2 with the entries at 1-based even
%   positions negated. Along a line of length D with spacing s, a the
%   low-pass and d the high-pass values,
%     out(i) = sum_k g0(k) * a(mod(i - (k-1)*s, D)) + g1(k) * d(mod(i - (k-1)*s, D)),
%   k = 1 .. numel(h), i and the positions in a and d counted from 0.
%
%   Results:
%     x   the rebuilt signal, M-by-N (yl itself when L = 0)
%     L   the number of levels used, as a double
%
%   Errors:
%     "There are at most 4 input parameters allowed!"
%     "There are at least 3 input parameters required!"
%     "The number of levels, L, must be a non-negative integer"
%     "Maximum number of levels is zero; no decomposition can be performed!"
%     "Dimensions of first two input vectors not consistent!"
%     "Dimensions of first two input matrices not consistent!"
%     "The matrix row dimension must be of size m*2^(L)"
%     "The matrix column dimension must be of size n*2^(L)"
%     "Input K (NAME) must be of class double, not CLASS!", "... must be
%         real, not complex!", "... must be dense, not sparse!"
%     "Input 3 (h) must have at least 1 filter tap!"   empty filter
%
%   Example:
%     h = [1 1] / sqrt(2);
%     [yl, yh] = ostrevin([1 2 3 4], h, 2);
%     x = quillomar(yl, yh, h, 2)   % [1 2 3 4] up to rounding
%
%   See also OSTREVIN, VESTRAN.
  error('lassowave:notBuilt', ...
        'quillomar: the compiled module is not built or not on the path (see the lassowave README).');
end

%!test
%! % The example, and round trips in 1-D and 2-D with an orthonormal filter.
%! h = [1 1] / sqrt(2);
%! [yl, yh] = ostrevin ([1 2 3 4], h, 2);
%! [x, L] = quillomar (yl, yh, h, 2);
%! assert (x, [1 2 3 4], 1e-14);
%! assert (L, 2);
%! h = [1+sqrt(3), 3+sqrt(3), 3-sqrt(3), 1-sqrt(3)] / (4*sqrt(2));
%! x = cos (1:16) .* (1:16);
%! [yl, yh] = ostrevin (x, h, 3);
%! assert (quillomar (yl, yh, h, 3), x, 1e-12);
%! [yl, yh] = ostrevin (x', h, 2);
%! assert (quillomar (yl, yh, h, 2), x', 1e-12);
%! X = reshape (sin (1:64), 8, 8);
%! [yl, yh] = ostrevin (X, h, 2);
%! assert (quillomar (yl, yh, h, 2), X, 1e-12);

%!error <^quillomar: There are at least 3 input parameters required!$> quillomar ([1 2], [1 2])
%!error <^quillomar: There are at most 4 input parameters allowed!$> quillomar ([1 2], [1 2], [1 1], 1, 1)
%!error <^quillomar: Dimensions of first two input vectors not consistent!$> quillomar ([1 2], [1 2 3], [1 1], 1)
%!error <^quillomar: Input 3 \(h\) must have at least 1 filter tap!$> quillomar ([1 2], [1 2], [], 1)
