function varargout = lunderjack(varargin)
%LUNDERJACK Structure of the generalized Jacobian of the fused-lasso prox.
%   [d, H] = lunderjack(p)
%
%   p is a pattern of length n = max(rows, columns) (its first n values in
%   column-major order are read): an entry exactly equal to 1 links
%   position j to position j+1 of a vector of length n+1. Every maximal run
%   of len consecutive ones joins len+1 positions into a group. The
%   Jacobian is diag(d) + H*H', where
%     d  (n+1)x1, 1 at every position in no group and 0 elsewhere;
%     H  sparse (n+1)xR, one column per group (R groups, in order of
%        position) holding 1/sqrt(len+1) on the group's rows, so that H*H'
%        is the block 1/(len+1) on each group.
%   Any value other than exactly 1 (0, 2, 0.999..., NaN) ends a run.
%   p = [] (0x0) gives d = 1 and a 1x0 H. Exactly two results must be
%   requested.
%
%   Errors, checked in this order:
%     "lunderjack: requires 1 input arguments."   not exactly one argument
%     "lunderjack: requires 2 output argument."   not exactly two results
%     "lunderjack: input cannot be a logical array."
%     "lunderjack: input cannot be sparse"
%     "lunderjack: argument 1 (p) must be of class double, not CLASS."
%     "lunderjack: argument 1 (p) must be real, not complex."
%     "lunderjack: argument 1 (p) has one dimension 0 and the other not, so it
%         holds none of its values; the only empty input accepted is 0x0."
%     "lunderjack: argument 1 (p) is too long: max(rows, columns) must be at
%         most 2147483646."
%
%   In toolbox/fused_lasso_solve.m: the Jacobian in each Newton system.
%
%   Example:
%     [d, H] = lunderjack([1 1 0 1])
%     % d = zeros(5, 1); full(H) = [1 1 1 0 0; 0 0 0 1 1]' .* [1/sqrt(3) 1/sqrt(2)]
%
%   See also ZELMONTE, GRAVENMOR.
  error('lassowave:notBuilt', ...
        'lunderjack: the compiled module is not built or not on the path (see the lassowave README).');
end

%!test
%! % The example.
%! [d, H] = lunderjack ([1 1 0 1]);
%! assert (d, zeros (5, 1));
%! assert (issparse (H));
%! assert (full (H), [1 1 1 0 0; 0 0 0 1 1]' .* [1/sqrt(3), 1/sqrt(2)], eps);
%!test
%! % diag(d) + H*H' averages each group and keeps every other position.
%! [d, H] = lunderjack ([0 1 1 0 0 1 2 1]);
%! J = diag (d) + full (H * H');
%! expected = blkdiag (1, ones (3) / 3, 1, ones (2) / 2, ones (2) / 2);
%! assert (J, expected, 4 * eps);
%! assert (size (H), [9, 3]);
%!test
%! % Only an exact 1 links; p = [] gives a single free position.
%! [d, H] = lunderjack ([0.999, NaN, 2]);
%! assert (d, ones (4, 1));
%! assert (size (H), [4, 0]);
%! [d, H] = lunderjack ([]);
%! assert (d, 1);
%! assert (size (H), [1, 0]);

%!error <^lunderjack: lunderjack: requires 1 input arguments\.$> [d, H] = lunderjack ()
%!error <^lunderjack: lunderjack: requires 2 output argument\.$> d = lunderjack ([1 0])
%!error <^lunderjack: lunderjack: input cannot be a logical array\.$> [d, H] = lunderjack (true (1, 3))
%!error <^lunderjack: lunderjack: input cannot be sparse$> [d, H] = lunderjack (sparse ([1 0 1]))
%!error <^lunderjack: lunderjack: argument 1 \(p\) must be real, not complex\.$> [d, H] = lunderjack ([1 1i])
