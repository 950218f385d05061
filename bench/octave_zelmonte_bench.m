% zelmonte in Octave, as users call it, on the cases bench_fusedlasso times
% through the test host (zelmonte/small_lambda, zelmonte/piecewise for the
% large lambda, zelmonte/worst_log_ramp), and beside each the output
% floor in the same session: creating the n-by-1 result through the host
% and writing it once (floor_mex, bench/floor_mex.cpp), called the same way.
%
%   small_lambda    noise N(0, 1), lambda = 0.5 (short segments)
%   large_lambda    about 300 constant pieces, levels N(0, 10^2), plus
%                   noise N(0, 1), lambda = 1e4 (a few hundred segments)
%   worst_log_ramp  log(1 + k), lambda = 1e4: every restart of the scan
%                   re-reads nearly all it has read since (3e4 samples)
%
% n = 1e6 and 1e7 for the first two. Module and floor are timed in
% alternation (fastest.m); each time is the best of `repeats` calls. Prints lines "RESULT octave/zelmonte/<case>/<n>/ns_per_sample <v>"
% and ".../floor_ns_per_sample <v>".
%
% Run with the modules and floor_mex on the path, e.g. from the source tree:
%   octave-cli --eval "addpath([pwd '/build/octave'], [pwd '/build/bench/octave']); run('bench/octave_zelmonte_bench.m')"

if ~exist('repeats', 'var'), repeats = 5; end

function floor_call(n), x = floor_mex([n 1]); end  %#ok<NASGU>

function run_zelmonte(y, lambda), x = zelmonte(y, lambda); end  %#ok<NASGU>

function y = piecewise(n, pieces)
  starts = rand(n, 1) < pieces / n;
  starts(1) = true;
  levels = 10 * randn(nnz(starts), 1);
  y = levels(cumsum(starts)) + randn(n, 1);
end

if exist('zelmonte', 'file') ~= 3 || exist('floor_mex', 'file') ~= 3
  printf('RESULT octave/zelmonte/status not_built\n');
  return;
end

recycle_large_blocks();  % results up to 32 MiB then land in recycled memory

rand('seed', 1); randn('seed', 1);
cases = {
  'small_lambda',   @(n) randn(n, 1),          0.5, [1e6 1e7]
  'large_lambda',   @(n) piecewise(n, 300),    1e4, [1e6 1e7]
  'worst_log_ramp', @(n) log(1 + (0:n-1)'),    1e4, 3e4
};
for c = 1:rows(cases)
  [name, make, lambda, sizes] = cases{c, :};
  for n = sizes
    y = make(n);
    run_zelmonte(y, lambda);  % load the modules, warm the input
    floor_call(n);
    t = fastest(repeats, @() run_zelmonte(y, lambda), @() floor_call(n));
    printf('RESULT octave/zelmonte/%s/%d/ns_per_sample %.4f\n', name, n, 1e9 * t(1) / n);
    printf('RESULT octave/zelmonte/%s/%d/floor_ns_per_sample %.4f\n', name, n, 1e9 * t(2) / n);
  end
end
