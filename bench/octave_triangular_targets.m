% The triangular solves on the factor of the speed targets, in one Octave
% session: the Cholesky factor R of the five-point Laplacian on a 700x700
% grid (490000 unknowns, in the fill-reducing order chol picks with
% 'vector'), and b = randn.
%
%   fenwarix(R, b)   vs  R' \ b,  as users call them
%   hobrinth(Rt, b)  vs  R \ b    with Rt = R' (formed before the clock),
%                        and vs Rt' \ b, which forms the transpose again
%   pass floor: sum(R, 1), one pass of Octave's over the stored entries
%
% Each time is the best of `repeats` calls. Prints "RESULT octave/triangular/
% <key> <value>" lines (milliseconds, and ns per stored entry). The factor
% takes several seconds to compute; `grid` changes its size. Set
% `factor_file` to a path to write R there for bench_triangular (run it with
% LASSOWAVE_TRIANGULAR_FACTOR=<path>), which times the kernels and the
% one-pass floor through the test host on this very factor.
%
% Run with the modules on the path, e.g. from the source tree:
%   octave-cli --eval "addpath('build/octave'); run('bench/octave_triangular_targets.m')"

if ~exist('grid', 'var'), grid = 700; end
if ~exist('repeats', 'var'), repeats = 5; end
if ~exist('factor_file', 'var'), factor_file = ''; end

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

function out(key, v)
  printf('RESULT octave/triangular/%s %.10g\n', key, v);
end

g = grid;
e = ones(g, 1);
T = spdiags([-e, 2 * e, -e], -1:1, g, g);
A = kron(speye(g), T) + kron(T, speye(g));
[R, p, q] = chol(A, 'vector');  % q: the fill-reducing order
if p ~= 0, error('chol failed'); end
clear A T;
n = rows(R);
entries = nnz(R);
randn('seed', 1);
b = randn(n, 1);
Rt = R';
out('n', n);
out('entries', entries);
if ~isempty(factor_file), write_factor(factor_file, R); end

tp = fastest(repeats, @() sum(R, 1));
out('pass_ms', 1e3 * tp);
out('pass_ns_per_entry', 1e9 * tp / entries);
tft = fastest(repeats, @() R' \ b);
out('octave_forward_ms', 1e3 * tft);
tbt = fastest(repeats, @() Rt' \ b);
out('octave_backward_ms', 1e3 * tbt);
tbr = fastest(repeats, @() R \ b);
out('octave_R_backslash_ms', 1e3 * tbr);

if exist('fenwarix', 'file') == 3
  x = fenwarix(R, b);
  out('fenwarix_rel_diff', norm(x - R' \ b) / norm(x));
  tf = fastest(repeats, @() fenwarix(R, b));
  out('fenwarix_ms', 1e3 * tf);
  out('fenwarix_ns_per_entry', 1e9 * tf / entries);
end
if exist('hobrinth', 'file') == 3
  y = hobrinth(Rt, b);
  out('hobrinth_rel_diff', norm(y - R \ b) / norm(y));
  tb = fastest(repeats, @() hobrinth(Rt, b));
  out('hobrinth_ms', 1e3 * tb);
  out('hobrinth_ns_per_entry', 1e9 * tb / entries);
end
