function varargout = gravenmor(varargin)
%GRAVENMOR Scalars of a fused-lasso problem rescaled by two scale factors.
%   [value, s1, s2, gmean, sratio, weight1, weight2, zero] = ...
%       gravenmor(value, scale_1, scale_2, weight_1, weight_2)
%
%   Scaling is off when scale_1 < 1e-7 (strictly; zero and negative
%   values included): then s1 = s2 = 1. Otherwise scaling is on, with
%   s1 = scale_1 and s2 = scale_2. scale_2 itself is not tested.
%
%   Arguments (real double, non-empty; only the first element is read):
%     value     the value to rescale
%     scale_1   first scale factor (switches scaling on or off)
%     scale_2   second scale factor
%     weight_1  weight that goes with scale_1
%     weight_2  weight that goes with scale_2
%
%   Results, in this order:
%     1  (s2/s1)*value
%     2  s1
%     3  s2
%     4  sqrt(s1*s2)
%     5  sqrt(s1/s2)
%     6  weight_1*s1
%     7  weight_2*s2
%     8  0
%   Fewer results may be requested; they are the first ones. No sign or
%   range check is made: s2 = 0 gives an infinite result 5, negative factors
%   give NaN square roots, and a NaN scale_1 keeps scaling on.
%
%   Errors:
%     " gravenmor: must have 5 inputs"   not exactly five arguments
%     "gravenmor: argument K (NAME) must ..."   an argument that is not a
%         real, dense, non-empty double, e.g.
%         "gravenmor: argument 2 (scale_1) must not be empty."
%
%   In toolbox/fused_lasso_solve.m: rescales the problem on entry (to ||b|| = 1).
%
%   Example:
%     [v, s1, s2, g, q, w1, w2, z] = gravenmor(6, 2, 8, 3, 5)
%     % v = 24, s1 = 2, s2 = 8, g = 4, q = 0.5, w1 = 6, w2 = 40, z = 0
%
%   See also BRASTELIN, LUNDERJACK, ZELMONTE.
  error('lassowave:notBuilt', ...
        'gravenmor: the compiled module is not built or not on the path (see the lassowave README).');
end

%!test
%! % The example: scaling on.
%! [v, s1, s2, g, q, w1, w2, z] = gravenmor (6, 2, 8, 3, 5);
%! assert ([v, s1, s2, g, q, w1, w2, z], [24, 2, 8, 4, 0.5, 6, 40, 0]);
%!test
%! % Scaling off strictly below 1e-7: both factors become 1.
%! [v, s1, s2, g, q, w1, w2, z] = gravenmor (6, 0, 8, 3, 5);
%! assert ([v, s1, s2, g, q, w1, w2, z], [6, 1, 1, 1, 1, 3, 5, 0]);
%! assert (gravenmor (6, 0.99e-7, 8, 3, 5), 6);
%! assert (gravenmor (6, -2, 8, 3, 5), 6);
%! assert (gravenmor (6, 1e-7, 8, 3, 5), (8 / 1e-7) * 6);
%!test
%! % Fewer results: the first ones.
%! [v, s1] = gravenmor (6, 2, 8, 3, 5);
%! assert ([v, s1], [24, 2]);

%!error <^gravenmor:  gravenmor: must have 5 inputs$> gravenmor (1, 2, 3, 4)
%!error <^gravenmor:  gravenmor: must have 5 inputs$> gravenmor (1, 2, 3, 4, 5, 6)
%!error <^gravenmor: gravenmor: argument 2 \(scale_1\) must not be empty\.$> gravenmor (6, [], 8, 3, 5)
%!error <^gravenmor: gravenmor: argument 4 \(weight_1\) must be of class double, not single\.$> gravenmor (6, 2, 8, single (3), 5)
