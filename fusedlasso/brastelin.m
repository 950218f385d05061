function varargout = brastelin(varargin)
%BRASTELIN Fused-lasso problem rescaling; the same function as GRAVENMOR.
%   [value, s1, s2, gmean, sratio, weight1, weight2, zero] = ...
%       brastelin(value, scale_1, scale_2, weight_1, weight_2)
%
%   With s1 = scale_1 and s2 = scale_2, or s1 = s2 = 1 when scale_1 < 1e-7,
%   the results are (s2/s1)*value, s1, s2, sqrt(s1*s2), sqrt(s1/s2),
%   weight_1*s1, weight_2*s2 and 0. Arguments are real double, non-empty;
%   only their first elements are read. See GRAVENMOR for the details.
%
%   Errors (the texts name gravenmor, whose twin this is):
%     " gravenmor: must have 5 inputs"   not exactly five arguments
%     "gravenmor: argument K (NAME) must ..."   an argument that is not a
%         real, dense, non-empty double
%
%   In toolbox/fused_lasso_solve.m (as gravenmor): rescales the problem on entry.
%
%   Example:
%     [v, s1] = brastelin(6, 0, 8, 3, 5)    % scaling off: v = 6, s1 = 1
%
%   See also GRAVENMOR.
  error('lassowave:notBuilt', ...
        'brastelin: the compiled module is not built or not on the path (see the lassowave README).');
end

%!test
%! % The example (scaling off), and the same call as gravenmor with scaling on.
%! [v, s1, s2, g, q, w1, w2, z] = brastelin (6, 0, 8, 3, 5);
%! assert ([v, s1, s2, g, q, w1, w2, z], [6, 1, 1, 1, 1, 3, 5, 0]);
%! [v, s1, s2, g, q, w1, w2, z] = brastelin (6, 2, 8, 3, 5);
%! assert ([v, s1, s2, g, q, w1, w2, z], [24, 2, 8, 4, 0.5, 6, 40, 0]);

%!error <^brastelin:  gravenmor: must have 5 inputs$> brastelin (1, 2, 3, 4)
%!error <^brastelin: gravenmor: argument 2 \(scale_1\) must not be empty\.$> brastelin (6, [], 8, 3, 5)
