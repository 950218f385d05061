function varargout = zelmonte(varargin)
%ZELMONTE Exact 1-D total-variation denoising.
%   x = zelmonte(y, lambda)
%
%   x is the exact minimizer (up to rounding) of
%       0.5*sum((x - y).^2) + lambda*sum(abs(diff(x)))
%   a piecewise-constant signal, computed by a direct forward scan (no
%   iterations, no tolerance).
%
%   Arguments:
%     y       real dense double; the signal is its first column (M values,
%             M = rows(y)); x is Mx1. A row vector is a signal of one
%             sample. A 0xN y gives a 0x1 x.
%     lambda  real dense double, non-empty, not negative; its first element
%             is used. lambda = 0 returns y; NaN gives NaN throughout (so
%             does Inf).
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
%
%   Example:
%     x = zelmonte([0; 0; 10; 10], 1)    % x = [0.5; 0.5; 9.5; 9.5]
%
%   See also LUNDERJACK, GRAVENMOR.
  error('lassowave:notBuilt', ...
        'zelmonte: the compiled module is not built or not on the path (see the lassowave README).');
end
