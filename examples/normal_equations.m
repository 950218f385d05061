% normal_equations.m: solve R'*R*x = b with fenwarix and hobrinth.
%
% A sparse symmetric positive definite A (a shifted 2-D Laplacian) is
% factored by chol as A = R'*R; fenwarix solves R'*z = b (forward
% substitution, reading R's columns as the rows of R'), and hobrinth
% solves R*x = z by taking R' as its lower triangular factor. The same is
% done with a fill-reducing ordering (chol(A, 'vector')). Both solutions
% must agree with Octave's (or MATLAB's) backslash to 1e-10.
%
% Run from Octave or MATLAB with the modules on the path, e.g.
%   octave-cli --eval "pkg load lassowave; run('examples/normal_equations.m')"
% Writes normal_equations.png (the sparsity of A and of both factors) into
% the current folder; run() changes to the script's folder first.
% Where no graphics can be had, it says so in one line instead
% (example_figure.m).

k = 30;
e = ones(k, 1);
T = spdiags([-e, 2 * e, -e], -1:1, k, k);
I = speye(k);
A = kron(I, T) + kron(T, I) + 0.01 * speye(k * k);
n = size(A, 1);
rand('state', 2);
b = rand(n, 1);
reference = A \ b;

% Natural order.
R = chol(A);
x = hobrinth(R', fenwarix(R, b));

% Fill-reducing order: R2'*R2 = A(q, q).
[R2, p, q] = chol(A, 'vector');
assert(p == 0);
xq = zeros(n, 1);
xq(q) = hobrinth(R2', fenwarix(R2, b(q)));

err = norm(x - reference) / norm(reference);
errq = norm(xq - reference) / norm(reference);
fprintf('R''*R*x = b, n = %d, nnz(A) = %d\n', n, nnz(A));
fprintf('  natural order:     nnz(R) = %6d, relative difference to A\\b %.1e\n', nnz(R), err);
fprintf('  fill-reducing:     nnz(R) = %6d, relative difference to A\\b %.1e\n', nnz(R2), errq);
assert(err < 1e-10);
assert(errq < 1e-10);
assert(norm(A * x - b) < 1e-10 * norm(b));
assert(nnz(R2) < nnz(R));

fig = example_figure('normal_equations.png', [0 0 780 320]);
if ~isempty(fig)
  panels = {A, R, R2};
  titles = {'A (shifted 2-D Laplacian)', 'R = chol(A)', 'fill-reducing: chol(A(q,q))'};
  for k = 1:3
    subplot(1, 3, k);
    spy(panels{k});
    xlabel(sprintf('column (%d nonzeros)', nnz(panels{k})));
    ylabel('row');
    title(titles{k});
  end
  print(fig, '-dpng', '-r72', 'normal_equations.png');
  close(fig);
  fprintf('  figure: normal_equations.png\n');
end
