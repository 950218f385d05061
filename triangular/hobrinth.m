function x = hobrinth(varargin)
%HOBRINTH Backward substitution with a sparse lower triangular factor.
%   x = hobrinth(Rt, b)
%
%   Solves Rt' * x = b for x, where Rt is a sparse lower triangular matrix,
%   without forming Rt'. Column i of Rt gives equation i of the transposed
%   system, solved from the last row up: x(i) = (b(i) - Rt(i+1:end, i)' *
%   x(i+1:end)) / Rt(i, i), with the sum taken over the stored entries of
%   column i in storage order. Together with FENWARIX it solves
%   R' * R * x = b, e.g. with a Cholesky factor:
%     z = fenwarix(R, b);  x = hobrinth(R', z);
%
%   Arguments:
%     Rt  real double sparse matrix with as many columns as b has rows. The
%         first stored entry of each column is taken as its diagonal, every
%         entry after it as lying below the diagonal. Every column must hold
%         at least one stored entry. Only the last stored entry of the last
%         column is tested for triangularity; a zero diagonal is divided by
%         all the same.
%     b   real double column vector, dense or sparse; only its first column
%         is used. Further arguments are ignored.
%
%   Result: x, a dense column with as many rows as b. An empty b (0 rows)
%   with a sparse Rt of 0 columns gives a 0-by-1 x.
%
%   Errors, checked in this order:
%     "hobrinth: requires 2 input arguments."   fewer than two arguments
%     "hobrinth: requires 1 output argument."   more than one result asked
%     "hobrinth: argument 2 (b) ..."   b not real double, with 2^31
%         or more rows, without a column, or a malformed sparse b
%     "hobrinth: Rt should be square."   columns of Rt differ from rows of b
%     "hobrinth: Rt should be sparse."   Rt is a full matrix
%     "hobrinth: argument 1 (Rt) ..."   Rt not real double (a logical or
%         complex Rt), or malformed column starts
%     "hobrinth: argument 1 (Rt) has no stored entry in column M."
%     "hobrinth: Rt not lower triangular."   the last stored entry of the
%         last column lies above row M
%     "hobrinth: argument 1 (Rt) has no stored entry in column K."
%     "hobrinth: argument 1 (Rt) has a stored entry outside rows 1 to M in
%         column K."   a row index that is not a row of the system
%
%   In toolbox/fused_lasso_solve.m: R*t = z, the second half of each Newton system.
%
%   Example:
%     Rt = sparse([2 0; 1 4]);
%     x = hobrinth(Rt, [4; 8])    % x = [1; 2], the solution of Rt' * x = b
%
%   See also FENWARIX.
  error('lassowave:notBuilt', ...
        'hobrinth: the compiled module is not built or not on the path (see the lassowave README).');
end

%!assert (hobrinth (sparse ([2 0; 1 4]), [4; 8]), [1; 2])
%!test
%! % Rt' * x = b for a lower triangular Rt, as backslash solves it.
%! Rt = sparse ([3 0 0; 1 2 0; 0 1 4]);
%! b = [5; 1; 2];
%! assert (hobrinth (Rt, b), Rt' \ b, 1e-14);
%! assert (hobrinth (Rt, sparse (b)), Rt' \ b, 1e-14);
%! assert (size (hobrinth (sparse (0, 0), zeros (0, 1))), [0, 1]);

%!error <^hobrinth: hobrinth: requires 2 input arguments\.$> hobrinth (sparse (1))
%!error <^hobrinth: hobrinth: requires 1 output argument\.$> [a, b] = hobrinth (sparse (1), 1)
%!error <^hobrinth: hobrinth: Rt should be square\.$> hobrinth (sparse ([2 0; 1 4]), [1; 2; 3])
%!error <^hobrinth: hobrinth: Rt should be sparse\.$> hobrinth ([2 0; 1 4], [1; 2])
%!error <^hobrinth: hobrinth: Rt not lower triangular\.$> hobrinth (sparse ([2 1; 1 0]), [1; 2])
