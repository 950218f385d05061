% Benchmark of fenwarix and hobrinth against Octave's own solve, in one
% Octave session:
%
%   fenwarix(R, b)   vs  R' \ b    (R upper triangular)
%   hobrinth(Rt, b)  vs  Rt' \ b   (Rt lower triangular)
%
% and, for reference, against the solve with the transpose formed before the
% clock starts (L \ b with L = R', U \ b with U = Rt'), which is Octave's
% triangular solve alone.
%
% Factors: the Cholesky factor of the five-point Laplacian on g-by-g grids
% (in the fill-reducing order chol picks with 'vector'), and a random upper
% triangular factor. Each time is the best of a few runs.
%
% Run from the source tree with the modules built:
%   octave-cli --eval "addpath('build/octave'); run('bench/octave_triangular_bench.m')"
% Set `grids` (and `repeats`) before running to change the grids, e.g.
%   octave-cli --eval "addpath('build/octave'); grids = 200; run('bench/octave_triangular_bench.m')"
% Set `factor_file` to a path to write the first grid's factor there for
% bench_triangular (run it with LASSOWAVE_TRIANGULAR_FACTOR=<path>), which
% times the kernels and the one-pass floor on that very factor. Set
% `baseline` to the name prefix of another build of the two modules on the
% path (e.g. 'old_' for old_fenwarix and old_hobrinth) to time it beside
% them in the same run.

if ~exist('grids', 'var'), grids = [700, 1000]; end
if ~exist('repeats', 'var'), repeats = 5; end
if ~exist('factor_file', 'var'), factor_file = ''; end
if ~exist('baseline', 'var'), baseline = ''; end

function write_factor(path, R)
  [i, ~, v] = find(R);
  jc = [0; cumsum(full(sum(R ~= 0, 1)))'];
  f = fopen(path, 'w');
  fwrite(f, [size(R, 2); nnz(R)], 'int64');
  fwrite(f, jc, 'int64');
  fwrite(f, i - 1, 'int64');
  fwrite(f, v, 'double');
  fclose(f);
end

function report(label, R, repeats, baseline)
  n = size(R, 1);
  b = randn(n, 1);
  Rt = R';
  L = R'; U = Rt';                      % formed outside the timings
  x = fenwarix(R, b);
  y = hobrinth(Rt, b);
  err_f = norm(x - L \ b) / norm(x);
  err_b = norm(y - U \ b) / norm(y);
  tf = fastest(repeats, @() fenwarix(R, b));
  tft = fastest(repeats, @() R' \ b);
  tfl = fastest(repeats, @() L \ b);
  tb = fastest(repeats, @() hobrinth(Rt, b));
  tbt = fastest(repeats, @() Rt' \ b);
  tbu = fastest(repeats, @() U \ b);
  e = nnz(R);
  printf('%-28s n = %8d  nnz = %9d\n', label, n, e);
  printf('  fenwarix(R, b)   %8.2f ms  %5.2f ns/entry | R''\\b %8.2f ms (ratio %5.2f) | L\\b %8.2f ms (ratio %5.2f) | rel. diff %.1e\n', ...
         1e3 * tf, 1e9 * tf / e, 1e3 * tft, tf / tft, 1e3 * tfl, tf / tfl, err_f);
  printf('  hobrinth(Rt, b)  %8.2f ms  %5.2f ns/entry | Rt''\\b %7.2f ms (ratio %5.2f) | U\\b %8.2f ms (ratio %5.2f) | rel. diff %.1e\n', ...
         1e3 * tb, 1e9 * tb / e, 1e3 * tbt, tb / tbt, 1e3 * tbu, tb / tbu, err_b);
  if ~isempty(baseline)
    f_old = str2func([baseline 'fenwarix']);
    b_old = str2func([baseline 'hobrinth']);
    if ~isequal(f_old(R, b), x) || ~isequal(b_old(Rt, b), y)
      printf('  %s build gives different bits\n', baseline);
    end
    tfo = fastest(repeats, @() f_old(R, b));
    tbo = fastest(repeats, @() b_old(Rt, b));
    printf('  %sfenwarix %8.2f ms  %5.2f ns/entry (this build: ratio %5.2f)\n', baseline, ...
           1e3 * tfo, 1e9 * tfo / e, tf / tfo);
    printf('  %shobrinth %8.2f ms  %5.2f ns/entry (this build: ratio %5.2f)\n', baseline, ...
           1e3 * tbo, 1e9 * tbo / e, tb / tbo);
  end
end

printf('lassowave triangular benchmark (ratio < 1: the module is faster)\n');
rand('seed', 1); randn('seed', 1);
for g = grids
  e = ones(g, 1);
  T = spdiags([-e, 2 * e, -e], -1:1, g, g);
  A = kron(speye(g), T) + kron(T, speye(g));
  [R, p, q] = chol(A, 'vector');   % q: the fill-reducing order
  if p ~= 0, error('chol failed'); end
  clear A T;
  if ~isempty(factor_file) && g == grids(1), write_factor(factor_file, R); end
  report(sprintf('Laplacian %dx%d', g, g), R, repeats, baseline);
  clear R;
end
n = 200000;
R = triu(sprandn(n, n, 20 / n), 1) + spdiags(2 + rand(n, 1), 0, n, n);
report('random, 20 per column', R, repeats, baseline);
