% fenwarix and hobrinth in Octave, as users call them, against Octave's own
% solves on the same factor, in one session:
%
%   fenwarix(R, b)   vs  R' \ b,  as users call it,
%                    and L \ b with L = R' formed before the clock
%                    (Octave's triangular solve alone)
%   hobrinth(Rt, b)  vs  R \ b    with Rt = R' (formed before the clock),
%                    and Rt' \ b, which forms the transpose again
%   pass floor: sum(R, 1), one pass of Octave's over the stored entries
%
% Factors: the Cholesky factor R of the five-point Laplacian on each g-by-g
% grid in `grids` (default 700: 490000 unknowns, the factor of the speed
% targets; in the fill-reducing order chol picks with 'vector', several
% seconds to compute), and, if `random_n` > 0, a random upper triangular
% factor of that order with about 20 entries per column. b = randn. All
% calls on a factor are timed in alternation (fastest.m); each time is the
% best of `repeats` calls. Prints "RESULT octave/triangular/<factor>/<key>
% <value>" lines, <factor> being laplacian<g> or random<n> (milliseconds,
% ns per stored entry, and the relative difference from Octave's solution).
%
% Set `factor_file` to a path to write the first factor there for
% bench_triangular (run it with LASSOWAVE_TRIANGULAR_FACTOR=<path>), which
% times the kernels and the one-pass floor through the test host on this
% very factor. Set `baseline` to the name prefix of another build of the two
% modules on the path (e.g. 'old_' for old_fenwarix and old_hobrinth) to
% time it beside them in the same run (keys baseline_fenwarix_ms, ...).
%
% Run with the modules on the path, e.g. from the source tree:
%   octave-cli --eval "addpath('build/octave'); run('bench/octave_triangular_bench.m')"
%   octave-cli --eval "addpath('build/octave'); grids = [700 1000]; random_n = 2e5; run('bench/octave_triangular_bench.m')"

if ~exist('grids', 'var'), grids = 700; end
if ~exist('random_n', 'var'), random_n = 0; end
if ~exist('repeats', 'var'), repeats = 5; end
if ~exist('factor_file', 'var'), factor_file = ''; end
if ~exist('baseline', 'var'), baseline = ''; end

% R as bench_triangular reads it: int64 n and nnz, jc, 0-based ir, then v.
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

function report(name, R, repeats, baseline)
  out = @(key, v) printf('RESULT octave/triangular/%s/%s %.10g\n', name, key, v);
  n = rows(R);
  entries = nnz(R);
  b = randn(n, 1);
  Rt = R';
  L = R';  % formed outside the timings
  x = fenwarix(R, b);
  y = hobrinth(Rt, b);
  out('n', n);
  out('entries', entries);
  out('fenwarix_rel_diff', norm(x - L \ b) / norm(x));
  out('hobrinth_rel_diff', norm(y - R \ b) / norm(y));
  names = {'pass', 'octave_forward', 'octave_L_backslash', 'octave_backward', ...
           'octave_R_backslash', 'fenwarix', 'hobrinth'};
  calls = {@() sum(R, 1), @() R' \ b, @() L \ b, @() Rt' \ b, @() R \ b, ...
           @() fenwarix(R, b), @() hobrinth(Rt, b)};
  if ~isempty(baseline)
    old_f = str2func([baseline 'fenwarix']);
    old_b = str2func([baseline 'hobrinth']);
    out('baseline_same_bits', isequal(old_f(R, b), x) && isequal(old_b(Rt, b), y));
    names(end + (1:2)) = {'baseline_fenwarix', 'baseline_hobrinth'};
    calls(end + (1:2)) = {@() old_f(R, b), @() old_b(Rt, b)};
  end
  t = fastest(repeats, calls{:});
  for k = 1:numel(names)
    out([names{k} '_ms'], 1e3 * t(k));
    out([names{k} '_ns_per_entry'], 1e9 * t(k) / entries);
  end
end

if exist('fenwarix', 'file') ~= 3 || exist('hobrinth', 'file') ~= 3
  printf('RESULT octave/triangular/status not_built\n');
  return;
end

rand('seed', 1); randn('seed', 1);
for g = grids
  e = ones(g, 1);
  T = spdiags([-e, 2 * e, -e], -1:1, g, g);
  A = kron(speye(g), T) + kron(T, speye(g));
  [R, p, q] = chol(A, 'vector');  % q: the fill-reducing order
  if p ~= 0, error('chol failed'); end
  clear A T;
  if ~isempty(factor_file) && g == grids(1), write_factor(factor_file, R); end
  report(sprintf('laplacian%d', g), R, repeats, baseline);
  clear R;
end
if random_n > 0
  n = random_n;
  R = triu(sprandn(n, n, 20 / n), 1) + spdiags(2 + rand(n, 1), 0, n, n);
  report(sprintf('random%d', n), R, repeats, baseline);
end
