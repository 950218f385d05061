function varargout = zelmonte(varargin)
%ZELMONTE Exact 1-D total-variation denoising.
%   x = zelmonte(y, lambda)
%
%   x is the exact minimizer (up to rounding) of
%       0.5*sum((x - y).^2) + lambda*sum(abs(diff(x)))
%   a piecewise-constant signal, computed by a direct forward scan (no
%   iterations, no tolerance).
%
%   Time: linear in the length of y on every input of finite values. The
%   scan is fast on noisy and piecewise-constant signals, but on smooth
%   trends with a weight that is large for them (log(1 + k) with lambda =
%   1e4, sqrt(k) with lambda = 1e3, ...) it re-reads almost all it has read
%   at every step, and its time would grow as the square of the length.
%   So it counts the samples it reads, and once it has read 4 per sample of
%   y it stops and computes the whole result anew by an exact method whose
%   time is linear on every input (dynamic programming along the signal),
%   in about 2 to 3 times the time of noise of the same length. That method
%   takes 28 bytes of scratch memory per sample (44 with non-finite
%   samples, below), the only memory zelmonte
%   takes beyond x.
%
%   Both give the minimizer up to rounding, but not always the same last
%   bits. Wherever the scan reads at most 4 samples per sample, x is bit
%   for bit the scan's. On the rare inputs past that, the values may differ
%   from what the scan alone would give by a few units of rounding (of
%   max(abs(y)) and lambda), and where two pieces of the minimizer have
%   nearly equal values, one of them may take the other's value.
%
%   Non-finite samples (with a lambda above 0), in linear time too:
%   - An infinite sample (Inf or -Inf: a glitch, a division by zero) stays
%     as it is in x and pulls its neighbours towards it by lambda: each
%     stretch of finite samples between infinite ones is denoised on its
%     own, its first sample raised by lambda when the sample before it is
%     Inf (lowered when -Inf), its last sample likewise for the one after.
%     This is the limit of the exact result as that sample grows.
%   - A NaN makes x NaN from the first sample whose value depends on the
%     NaN's value, to the end; before that, x is what every value in its
%     place would give. Fill or drop missing samples to keep the rest.
%   The non-finite case takes scratch memory of 44 bytes per sample.
%
%   "Exact" means: the minimizer of the given doubles, up to the rounding
%   of the scan's running sums, on every finite input. The error is
%   relative to max(abs(y)) and lambda, so for a large lambda it is
%   relative to lambda*eps, not to y: with one sample x = (y - lambda) +
%   lambda, and zelmonte(1e-20, 1) is 0. Where two pieces of the minimizer
%   have (nearly) equal values, x may step there by a unit of rounding.
%
%   Arguments:
%     y       real dense double; the signal is its first column (M values,
%             M = rows(y)); x is Mx1. A row vector is a signal of one
%             sample. A 0xN y gives a 0x1 x.
%     lambda  real dense double, non-empty, not negative; its first element
%             is used. lambda = 0 returns y (with its NaN and Inf samples);
%             NaN gives NaN throughout (so does Inf).
%   Further arguments are ignored.
%
%   Errors:
%     "zelmonte: requires 2 input arguments."   fewer than two arguments
%     "zelmonte: requires 1 output argument."   more than one result
%     "zelmonte: argument 1 (y) must be of class double, not CLASS."
%         (also "... must be real, not complex." and "... must be dense,
%         not sparse." for y and for lambda)
%     "zelmonte: argument 1 (y) has rows but no columns, so it holds no samples."
%     "zelmonte: argument 1 (y) has 2^31 or more rows; at most 2147483647
%         are supported."
%     "zelmonte: argument 2 (lambda) must not be empty."
%     "zelmonte: argument 2 (lambda) must not be negative."
%     "zelmonte: out of memory: no room for N doubles of scratch."
%         the linear method's scratch, where the host returns none (most
%         hosts raise their own out-of-memory error instead)
%
%   In toolbox/fused_lasso_solve.m: the proximal step (then a soft threshold).
%
%   Example:
%     x = zelmonte([0; 0; 10; 10], 1)    % x = [0.5; 0.5; 9.5; 9.5]
%
%   See also LUNDERJACK, GRAVENMOR.
  error('lassowave:notBuilt', ...
        'zelmonte: the compiled module is not built or not on the path (see the lassowave README).');
end

%!assert (zelmonte ([0; 0; 10; 10], 1), [0.5; 0.5; 9.5; 9.5])
%!assert (zelmonte ([3; 1; 2], 0), [3; 1; 2])
%!assert (zelmonte ([4 2 3], 1), 4)            # a row is one sample
%!assert (size (zelmonte (zeros (0, 3), 1)), [0, 1])
%!test
%! % Optimality: w = cumsum(x - y) lies in [-lambda, lambda], ends at 0,
%! % and equals lambda*sign(x(k+1) - x(k)) wherever x jumps.
%! y = [1; 5; 2; 8; 8; 3; 0; 4; 4; 9];
%! lambda = 1.5;
%! x = zelmonte (y, lambda);
%! w = cumsum (x - y);
%! assert (abs (w(end)) < 1e-12);
%! assert (all (abs (w(1:end-1)) <= lambda + 1e-12));
%! step = diff (x);
%! jump = abs (step) > 1e-12;
%! assert (any (jump));
%! assert (w(jump), lambda * sign (step(jump)), 1e-12);
%!test
%! % A smooth trend with a large weight (the linear method): optimal.
%! y = sqrt ((0:1999)');
%! x = zelmonte (y, 1e3);
%! w = cumsum (x - y);
%! assert (abs (w(end)) < 1e-9);
%! assert (all (abs (w(1:end-1)) <= 1e3 + 1e-9));
%! step = diff (x);
%! jump = abs (step) > 1e-9;
%! assert (w(jump), 1e3 * sign (step(jump)), 1e-9);
%!test
%! % A lambda larger than every partial sum needs flattens to the mean.
%! y = [1; 4; 2; 7];
%! assert (zelmonte (y, 100), mean (y) * ones (4, 1), 1e-14);

%!error <^zelmonte: zelmonte: requires 2 input arguments\.$> zelmonte (1)
%!error <^zelmonte: zelmonte: requires 1 output argument\.$> [a, b] = zelmonte (1, 1)
%!error <^zelmonte: zelmonte: argument 1 \(y\) must be of class double, not single\.$> zelmonte (single ([1; 2]), 1)
%!error <^zelmonte: zelmonte: argument 2 \(lambda\) must not be empty\.$> zelmonte ([1; 2], [])
%!error <^zelmonte: zelmonte: argument 2 \(lambda\) must not be negative\.$> zelmonte ([1; 2], -1)
