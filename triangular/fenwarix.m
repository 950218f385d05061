function x = fenwarix(varargin)
%FENWARIX Forward substitution with a sparse upper triangular factor.
%   x = fenwarix(R, b)
%
%   Solves R' * x = b for x, where R is a sparse upper triangular matrix,
%   without forming R'. Column i of R gives equation i of the transposed
%   system: x(i) = (b(i) - R(1:i-1, i)' * x(1:i-1)) / R(i, i), with the sum
%   taken over the stored entries of column i in storage order. Together
%   with HOBRINTH it solves R' * R * x = b, e.g. with a Cholesky factor:
%     z = fenwarix(R, b);  x = hobrinth(R', z);
%
%   Arguments:
%     R  real double sparse matrix with as many columns as b has rows. The
%        last stored entry of each column is taken as its diagonal, every
%        entry before it as lying above the diagonal. Every column must hold
%        at least one stored entry. Only column 1 is tested for
%        triangularity; a zero diagonal is divided by all the same.
%     b  real double column vector, dense or sparse; only its first column
%        is used. Further arguments are ignored.
%
%   Result: x, a dense column with as many rows as b. An empty b (0 rows)
%   with a sparse R of 0 columns gives a 0-by-1 x.
%
%   Errors, checked in this order:
%     "fenwarix: requires 2 input arguments."   fewer than two arguments
%     "fenwarix: requires 1 output argument."   more than one result asked
%     "fenwarix: argument 2 (b) ..."   b not real double, with 2^31
%         or more rows, without a column, or a malformed sparse b
%     "fenwarix: R should be square."   columns of R differ from rows of b
%     "fenwarix: R should be sparse."   R is a full matrix
%     "fenwarix: argument 1 (R) ..."   R not real double (a logical or
%         complex R), or malformed column starts
%     "fenwarix: argument 1 (R) has no stored entry in column 1."
%     "fenwarix: R not upper triangular."   the last stored entry of column 1
%         lies below row 1
%     "fenwarix: argument 1 (R) has no stored entry in column K."
%     "fenwarix: argument 1 (R) has a stored entry outside rows 1 to M in
%         column K."   a row index that is not a row of the system
%
%   In toolbox/fused_lasso_solve.m: R'*z = g, the first half of each Newton system.
%
%   Example:
%     R = sparse([2 1; 0 4]);
%     x = fenwarix(R, [2; 9])     % x = [1; 2], the solution of R' * x = b
%
%   See also HOBRINTH.
  error('lassowave:notBuilt', ...
        'fenwarix: the compiled module is not built or not on the path (see the lassowave README).');
end

%!assert (fenwarix (sparse ([2 1; 0 4]), [2; 9]), [1; 2])
%!test
%! % With hobrinth on a Cholesky factor: R'*R*x = b, as backslash solves it.
%! A = sparse ([4 1 0 0; 1 5 2 0; 0 2 6 1; 0 0 1 3]);
%! b = [1; 2; 3; 4];
%! R = chol (A);
%! x = hobrinth (R', fenwarix (R, b));
%! assert (x, A \ b, 1e-12);
%!test
%! % Only the first column of b is used; a sparse b works as well.
%! R = sparse ([2 1; 0 4]);
%! assert (fenwarix (R, [2 7; 9 7]), [1; 2]);
%! assert (fenwarix (R, sparse ([2; 9])), [1; 2]);
%! assert (size (fenwarix (sparse (0, 0), zeros (0, 1))), [0, 1]);

%!error <^fenwarix: fenwarix: requires 2 input arguments\.$> fenwarix (sparse (1))
%!error <^fenwarix: fenwarix: requires 1 output argument\.$> [a, b] = fenwarix (sparse (1), 1)
%!error <^fenwarix: fenwarix: R should be square\.$> fenwarix (sparse ([2 1; 0 4]), [1; 2; 3])
%!error <^fenwarix: fenwarix: R should be sparse\.$> fenwarix ([2 1; 0 4], [1; 2])
%!error <^fenwarix: fenwarix: R not upper triangular\.$> fenwarix (sparse ([2 0; 1 4]), [1; 2])
%!error <^fenwarix: fenwarix: argument 1 \(R\) has no stored entry in column 2\.$> fenwarix (sparse ([2 0; 0 0]), [1; 2])
