% lassowave quick start: calls each module once and prints what comes back.
% Run from Octave with the built modules on the path, e.g.
%   octave-cli --eval "addpath('build/octave'); run('examples/quickstart.m')"

printf('lassowave quick start\n\n');
% The solvers' dense algebra runs on the host's BLAS (OpenBLAS after the
% quick start's install).
if exist('OCTAVE_VERSION', 'builtin')
  printf('BLAS: %s\n\n', strtok(version('-blas'), '('));
end

% Penalty updates: a solver passes its penalty, the bounds, its two tallies
% and the iteration number, and stores what comes back.
[p, cr, cl] = vintrask(10, 100, 1, 3, 2, 0);
printf('vintrask(10, 100, 1, 3, 2, 0)          -> penalty %g, tallies %g, %g\n', p, cr, cl);
[p, cr, cl] = quorbel(1, 10, 0.1, 0, 0, 10, 0);
printf('quorbel(1, 10, 0.1, 0, 0, 10, 0)       -> penalty %g, tallies %g, %g\n', p, cr, cl);
[p, cr, cl] = pelmorin(1, 3, 0.1, 2, 0, 0, -1);
printf('pelmorin(1, 3, 0.1, 2, 0, 0, -1)       -> penalty %g, tallies %g, %g\n', p, cr, cl);
[p, cr, cl] = sandrevo(1, 100, 0.1, 2, 0, 0, 1);
printf('sandrevo(1, 100, 0.1, 2, 0, 0, 1)      -> penalty %.15g, tallies %g, %g\n', p, cr, cl);
[p, cr, cl] = tolbrecht(1, 100, 0.1, 1, 4, 0, 5);
printf('tolbrecht(1, 100, 0.1, 1, 4, 0, 5)     -> penalty %g, tallies %g, %g\n', p, cr, cl);

% Sparse triangular solves: fenwarix solves R'*x = b, hobrinth Rt'*x = b;
% chained on a Cholesky factor they solve A*x = b with A = R'*R.
R = sparse([2 1; 0 4]);
x = fenwarix(R, [2; 9]);
printf('fenwarix(sparse([2 1; 0 4]), [2; 9])   -> x = [%g; %g]\n', x);
x = hobrinth(R', [4; 8]);
printf('hobrinth(sparse([2 0; 1 4]), [4; 8])   -> x = [%g; %g]\n', x);
A = sparse([4 2 0; 2 5 1; 0 1 3]);
R = chol(A);
x = hobrinth(R', fenwarix(R, [6; 8; 4]));
printf('hobrinth(R'', fenwarix(R, b)), R = chol(A) -> residual %.1e\n', norm(A * x - [6; 8; 4]));

% Fused-lasso support: rescaling (gravenmor, also as brastelin), the
% Jacobian structure diag(d) + H*H' of the proximal step (lunderjack), and
% exact 1-D total-variation denoising (zelmonte).
[v, s1, s2, g, q, w1, w2, z] = gravenmor(6, 2, 8, 3, 5);
printf('gravenmor(6, 2, 8, 3, 5)               -> %g %g %g %g %g %g %g %g\n', v, s1, s2, g, q, w1, w2, z);
[v, s1] = brastelin(6, 0, 8, 3, 5);
printf('brastelin(6, 0, 8, 3, 5)               -> %g %g (scaling off)\n', v, s1);
[d, H] = lunderjack([1, 1, 0, 1]);
printf('lunderjack([1 1 0 1])                  -> d = [%s], H %dx%d with %d entries\n', ...
       num2str(d'), size(H, 1), size(H, 2), nnz(H));
x = zelmonte([0; 0; 10; 10], 1);
printf('zelmonte([0; 0; 10; 10], 1)            -> x = [%g; %g; %g; %g]\n', x);

% Redundant (undecimated) wavelet transform and its inverse: every band keeps
% all samples; with an orthonormal filter quillomar undoes ostrevin.
[yl, yh, L] = ostrevin([1 2 3 4], [1 1], 2);
printf('ostrevin([1 2 3 4], [1 1], 2)          -> yl = [%s], yh = [%s], L = %d\n', ...
       num2str(yl), num2str(yh), L);
h = [1 1] / sqrt(2);
[yl, yh] = ostrevin(magic(4), h, 2);
x = quillomar(yl, yh, h, 2);
printf('quillomar(ostrevin(magic(4), h, 2))    -> largest error %.1e\n', max(abs(x(:) - reshape(magic(4), [], 1))));

% Decimated wavelet transform and its inverse, pyramid layout: with an
% orthonormal scaling filter vestran undoes kaldor.
[y, L] = kaldor([1 2 3 4], [1 1] / sqrt(2));
printf('kaldor([1 2 3 4], [1 1]/sqrt(2))       -> y = [%s], L = %d\n', num2str(y, '%.4g '), L);
x = vestran(y, [1 1] / sqrt(2));
printf('vestran(y, [1 1]/sqrt(2))              -> x = [%s]\n', num2str(x, '%.4g '));
h = [-0.12940952255126038, 0.22414386804201339, 0.83651630373780791, 0.48296291314453414];
X = magic(8);
printf('vestran(kaldor(magic(8), db4, 3))      -> largest error %.1e\n', ...
       max(max(abs(vestran(kaldor(X, h, 3), h, 3) - X))));

% @QUICKSTART-MORE@ (later modules add their lines above this marker)

printf('\nquick start done\n');
