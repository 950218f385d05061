% fenwarix and hobrinth in Octave (its own sparse index width), checked
% against Octave's own sparse solver.

%!function R = random_upper(n, density, seed)
%!  rand('seed', seed); randn('seed', seed);
%!  R = triu(sprandn(n, n, density), 1) + spdiags(1 + rand(n, 1), 0, n, n);
%!endfunction

%!test
%! % The worked examples and M = 1.
%! assert(fenwarix(sparse([2 1; 0 4]), [2; 9]), [1; 2]);
%! assert(hobrinth(sparse([2 0; 1 4]), [4; 8]), [1; 2]);
%! assert(fenwarix(sparse(4), 3), 0.75);
%! assert(hobrinth(sparse(4), 3), 0.75);

%!test
%! % Against R' \ b and Rt' \ b on random factors of varied size and density.
%! for c = {[10, 0.3], [500, 0.01], [2000, 0.002], [3000, 0.0005], [1500, 0.05]}
%!   n = c{1}(1); d = c{1}(2);
%!   R = random_upper(n, d, n);
%!   b = randn(n, 1);
%!   x = fenwarix(R, b);
%!   assert(size(x), [n, 1]);
%!   assert(norm(x - R' \ b) / norm(R' \ b) < 1e-12);
%!   Rt = R';
%!   y = hobrinth(Rt, b);
%!   assert(norm(y - Rt' \ b) / norm(Rt' \ b) < 1e-12);
%! end

%!test
%! % fenwarix then hobrinth on a Cholesky factor solves R'R x = b.
%! n = 900;
%! e = ones(30, 1);
%! T = spdiags([-e, 2 * e, -e], -1:1, 30, 30);
%! A = kron(speye(30), T) + kron(T, speye(30));   % five-point Laplacian
%! R = chol(A);
%! b = randn(n, 1);
%! x = hobrinth(R', fenwarix(R, b));
%! assert(norm(A * x - b) / norm(b) < 1e-10);
%! assert(norm(x - A \ b) / norm(A \ b) < 1e-10);

%!test
%! % Right-hand sides: sparse b, several columns, an empty sparse b.
%! R = random_upper(60, 0.1, 3);
%! b = randn(60, 1); b(1:4:end) = 0;
%! x = fenwarix(R, b);
%! assert(fenwarix(R, sparse(b)), x);
%! assert(fenwarix(R, [b, ones(60, 2)]), x);
%! assert(fenwarix(R, sparse([b, ones(60, 2)])), x);
%! assert(fenwarix(R, sparse(60, 1)), zeros(60, 1));
%! assert(hobrinth(R', sparse(b)), hobrinth(R', b));
%! assert(hobrinth(R', sparse(60, 3)), zeros(60, 1));

%!test
%! % No result requested: ans is still set. Further inputs are ignored.
%! fenwarix(sparse([2 1; 0 4]), [2; 9]);
%! assert(ans, [1; 2]);
%! assert(hobrinth(sparse([2 0; 1 4]), [4; 8], 'ignored'), [1; 2]);

%!test
%! % M = 0: an empty x; a full empty factor is still not sparse.
%! assert(size(fenwarix(sparse(0, 0), zeros(0, 1))), [0, 1]);
%! assert(size(hobrinth(sparse(0, 0), zeros(0, 0))), [0, 1]);
%! assert_error_text(@() fenwarix(zeros(0, 0), zeros(0, 1)), 'fenwarix', 'fenwarix: R should be sparse.');

%!test
%! % The numbered checks, their order and texts.
%! R = sparse([2 1; 0 4]); b = [2; 9];
%! assert_error_text(@() fenwarix(R), 'fenwarix', 'fenwarix: requires 2 input arguments.');
%! assert_error_text(@() hobrinth(R'), 'hobrinth', 'hobrinth: requires 2 input arguments.');
%! assert_error_text(@() fenwarix(R, b), 'fenwarix', 'fenwarix: requires 1 output argument.', 2);
%! assert_error_text(@() fenwarix(sparse(2, 3), b), 'fenwarix', 'fenwarix: R should be square.');
%! assert_error_text(@() hobrinth(ones(2, 3), b), 'hobrinth', 'hobrinth: Rt should be square.');
%! assert_error_text(@() fenwarix(full(R), b), 'fenwarix', 'fenwarix: R should be sparse.');
%! assert_error_text(@() hobrinth(full(R'), sparse(b)), 'hobrinth', 'hobrinth: Rt should be sparse.');
%! % The factor's row count is not part of the squareness test.
%! assert(fenwarix([R; sparse(3, 2)], b), [1; 2]);
%! assert_error_text(@() fenwarix(sparse([1 0; 1 1]), b), 'fenwarix', 'fenwarix: R not upper triangular.');
%! assert_error_text(@() hobrinth(sparse([1 1; 0 0]), b), 'hobrinth', 'hobrinth: Rt not lower triangular.');
%! % Only one entry is tested: in column 2 the last stored entry (5, in row
%! % 3) is taken as the diagonal and the 2 above it meets the unsolved x(2).
%! assert(fenwarix(sparse([1 0 0; 0 2 0; 0 5 1]), [1; 2; 3]), [1; 0.4; 3]);

%!test
%! % What the substitution cannot use is rejected with a clear text.
%! b = [1; 2; 3];
%! assert_error_text(@() fenwarix(sparse(logical(eye(3))), b), 'fenwarix', ...
%!                   'fenwarix: argument 1 (R) must be of class double, not logical.');
%! assert_error_text(@() hobrinth(sparse(eye(3)) * 1i, b), 'hobrinth', ...
%!                   'hobrinth: argument 1 (Rt) must be real, not complex.');
%! assert_error_text(@() fenwarix(speye(3), int32(b)), 'fenwarix', ...
%!                   'fenwarix: argument 2 (b) must be of class double, not int32.');
%! assert_error_text(@() hobrinth(speye(3), b + 1i), 'hobrinth', ...
%!                   'hobrinth: argument 2 (b) must be real, not complex.');
%! assert_error_text(@() fenwarix(speye(3), sparse(b > 1)), 'fenwarix', ...
%!                   'fenwarix: argument 2 (b) must be of class double, not logical.');
%! assert_error_text(@() fenwarix(speye(3), zeros(3, 0)), 'fenwarix', ...
%!                   'fenwarix: argument 2 (b) must have at least one column.');
%! assert_error_text(@() fenwarix(sparse([0 1 0; 0 1 0; 0 0 1]), b), 'fenwarix', ...
%!                   'fenwarix: argument 1 (R) has no stored entry in column 1.');
%! assert_error_text(@() fenwarix(sparse([1 0 0; 0 0 0; 0 0 1]), b), 'fenwarix', ...
%!                   'fenwarix: argument 1 (R) has no stored entry in column 2.');
%! assert_error_text(@() hobrinth(sparse([1 0 0; 0 1 0; 0 0 0]), b), 'hobrinth', ...
%!                   'hobrinth: argument 1 (Rt) has no stored entry in column 3.');
%! assert_error_text(@() fenwarix([speye(3); sparse([0 1 0])], b), 'fenwarix', ...
%!                   'fenwarix: argument 1 (R) has a stored entry outside rows 1 to 3 in column 2.');
%! assert_error_text(@() hobrinth([speye(3); sparse([1 0 0])], b), 'hobrinth', ...
%!                   'hobrinth: argument 1 (Rt) has a stored entry outside rows 1 to 3 in column 1.');

%!test
%! % Inputs are left as they were.
%! R = random_upper(50, 0.2, 9); b = randn(50, 1);
%! R0 = R; b0 = b; bs = sparse(b); bs0 = bs;
%! fenwarix(R, b); hobrinth(R', bs);
%! assert(isequal(R, R0) && isequal(b, b0) && isequal(bs, bs0));

%!test
%! % hobrinth's side of the edge cases: no result requested, several columns
%! % of b, and a misplaced entry that only the one-entry test could catch:
%! % column 2 of Rt stores (1, 5) before (2, 3), so 5 is taken as its
%! % diagonal and the 3 below it meets the not yet solved x(2) = 0.
%! hobrinth(sparse([2 0; 1 4]), [4; 8]);
%! assert(ans, [1; 2]);
%! Rt = random_upper(70, 0.1, 4)';
%! b = randn(70, 1);
%! y = hobrinth(Rt, b);
%! assert(hobrinth(Rt, [b, ones(70, 3)]), y);
%! assert(hobrinth(Rt, sparse([b, ones(70, 3)])), y);
%! assert(hobrinth(sparse([2 5 0; 1 3 0; 0 0 1]), [1; 2; 3]), [0.3; 0.4; 3]);
%! assert(size(fenwarix(sparse(0, 0), sparse(0, 1))), [0, 1]);
%! assert(size(hobrinth(sparse(0, 0), sparse(0, 4))), [0, 1]);

%!test
%! % A system of 2^31 rows is refused from b's size, before anything of the
%! % factor is looked at. (An Octave of 32-bit indices, as on 32-bit hosts,
%! % has no such array.)
%! if sizemax() >= 2^31
%!   b = sparse(2^31, 1);
%!   assert_error_text(@() fenwarix(speye(2), b), 'fenwarix', ...
%!     'fenwarix: argument 2 (b) has 2^31 or more rows; at most 2147483647 are supported.');
%!   assert_error_text(@() hobrinth(ones(2), b), 'hobrinth', ...
%!     'hobrinth: argument 2 (b) has 2^31 or more rows; at most 2147483647 are supported.');
%! end

%!test
%! % A row outside the system is rejected with a sparse b as with a dense
%! % one, and a failed call gives no result.
%! b = [1; 2; 3];
%! R = [speye(3); sparse([0 0 1])];
%! assert_error_text(@() fenwarix(R, sparse(b)), 'fenwarix', ...
%!   'fenwarix: argument 1 (R) has a stored entry outside rows 1 to 3 in column 3.');
%! assert_error_text(@() hobrinth(R, sparse(b)), 'hobrinth', ...
%!   'hobrinth: argument 1 (Rt) has a stored entry outside rows 1 to 3 in column 3.');
%! ans = 17;
%! try
%!   fenwarix(R, b);
%! catch
%! end
%! assert(ans, 17);
%! assert(fenwarix(speye(3), sparse(b)), b);

%!test
%! % The pair on the Cholesky factor of a random sparse SPD matrix.
%! rand('seed', 5); randn('seed', 5);
%! n = 1500;
%! B = sprandn(n, n, 0.002);
%! A = B' * B + speye(n);
%! R = chol(A);
%! b = randn(n, 1);
%! x = hobrinth(R', fenwarix(R, b));
%! assert(norm(x - A \ b) / norm(A \ b) < 1e-10);
%! assert(norm(A * x - b) / norm(b) < 1e-10);

%!test
%! % hobrinth leaves its factor as it was, and a sparse b too.
%! Rt = random_upper(50, 0.2, 10)'; Rt0 = Rt;
%! b = sparse(randn(50, 2)); b0 = b;
%! hobrinth(Rt, b); fenwarix(Rt', b);
%! assert(isequal(Rt, Rt0) && isequal(b, b0));
