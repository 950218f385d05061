% zelmonte in Octave, as users call it.
%
% 1. The cases bench_fusedlasso times through the test host, each beside
%    the output floor in the same session: creating the n-by-1 result
%    through the host and writing it once (floor_mex, bench/floor_mex.cpp),
%    called the same way. n = 1e6 and 1e7.
%      small_lambda    noise N(0, 1), lambda = 0.5 (short segments)
%      large_lambda    about 300 constant pieces, levels N(0, 10^2), plus
%                      noise N(0, 1), lambda = 1e4 (a few hundred segments)
% 2. Smooth monotone trends with a weight large for them, on which the scan
%    alone would read about n samples per sample (zelmonte then takes its
%    linear method), against noise N(0, 1) with lambda = 0.5 of the same
%    length, in the same rounds; n = 1e5, 1e6 and 1e7. Target: each within
%    5x of noise. Each result's optimality certificate is printed too: with
%    s = cumsum(y - x), the largest of |s| - lambda, |s(end)| and
%    |s - lambda*sign(step)| where x steps, over max(lambda, max|y|).
%      log1p       log(1 + k), lambda = 1e4
%      sqrt        sqrt(k), lambda = 1e3
%      cbrt        k^(1/3), lambda = 1e3
%      walk        cumsum(rand(n, 1)) / sqrt(n), lambda = 1e3
%      saturating  1 - exp(-8k/n), lambda = 1e2 (saturating_10: lambda = 10)
%
% 3. Signals with non-finite samples (a glitch in an otherwise ordinary
%    signal), against finite noise N(0, 1) with lambda = 0.5 of the same
%    length, in the same rounds; n = trend_sizes. Target: within 5x.
%      <trend>_inf, _minf, _nan  log1p, sqrt or saturating as above with
%                                one +Inf, -Inf or NaN in the middle
%      <trend>_both              +Inf at a third and NaN at two thirds
%      noise_inf, _minf, _nan    noise N(0, 1), lambda = 0.5, the same
%    Lines "RESULT octave/zelmonte/nonfinite/<case>/<n>/ns_per_sample" and
%    ".../noise_ns_per_sample".
%
% Module and floor, or trends and noise, are timed in alternation
% (fastest.m); each time is the best of `repeats` calls. Prints lines
% "RESULT octave/zelmonte/<case>/<n>/ns_per_sample <v>" with
% ".../floor_ns_per_sample" for part 1 and ".../noise_ns_per_sample" and
% ".../certificate" for part 2. Set `baseline` to the name prefix of another
% build of zelmonte on the path (e.g. 'old_' for old_zelmonte) to time it
% beside zelmonte in part 1 (".../baseline_ns_per_sample"); `trend_sizes`
% chooses the lengths of part 2.
%
% Run with the modules and floor_mex on the path, e.g. from the source tree:
%   octave-cli --eval "addpath([pwd '/build/octave'], [pwd '/build/bench/octave']); run('bench/octave_zelmonte_bench.m')"

if ~exist('repeats', 'var'), repeats = 5; end
if ~exist('baseline', 'var'), baseline = ''; end
if ~exist('trend_sizes', 'var'), trend_sizes = [1e5 1e6 1e7]; end

function floor_call(n), x = floor_mex([n 1]); end  %#ok<NASGU>

function run_zelmonte(f, y, lambda), x = f(y, lambda); end  %#ok<NASGU>

function y = piecewise(n, pieces)
  starts = rand(n, 1) < pieces / n;
  starts(1) = true;
  levels = 10 * randn(nnz(starts), 1);
  y = levels(cumsum(starts)) + randn(n, 1);
end

function v = certificate(y, x, lambda)
  s = cumsum(y - x);
  step = diff(x);
  scale = max(lambda, max(abs(y)));
  jump = abs(step) > 1e-9 * scale;
  v = max([abs(s) - lambda; abs(s(end)); abs(s(jump) - lambda * sign(-step(jump)))]) / scale;
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
};
for c = 1:rows(cases)
  [name, make, lambda, sizes] = cases{c, :};
  for n = sizes
    y = make(n);
    calls = {@() run_zelmonte(@zelmonte, y, lambda), @() floor_call(n)};
    if ~isempty(baseline)
      old = str2func([baseline 'zelmonte']);
      calls{end + 1} = @() run_zelmonte(old, y, lambda);
    end
    cellfun(@(f) f(), calls);  % load the modules, warm the input
    t = fastest(repeats, calls{:});
    printf('RESULT octave/zelmonte/%s/%d/ns_per_sample %.4f\n', name, n, 1e9 * t(1) / n);
    printf('RESULT octave/zelmonte/%s/%d/floor_ns_per_sample %.4f\n', name, n, 1e9 * t(2) / n);
    if ~isempty(baseline)
      printf('RESULT octave/zelmonte/%s/%d/baseline_ns_per_sample %.4f\n', name, n, 1e9 * t(3) / n);
    end
  end
end

trends = {
  'log1p',         @(k, n) log(1 + k),                1e4
  'sqrt',          @(k, n) sqrt(k),                   1e3
  'cbrt',          @(k, n) k .^ (1 / 3),              1e3
  'walk',          @(k, n) cumsum(rand(n, 1)) / sqrt(n), 1e3
  'saturating',    @(k, n) 1 - exp(-8 * k / n),       1e2
  'saturating_10', @(k, n) 1 - exp(-8 * k / n),       10
};
for n = trend_sizes
  k = (0:n-1)';
  noise = randn(n, 1);
  ys = cellfun(@(f) f(k, n), trends(:, 2), 'UniformOutput', false);
  calls = [{@() run_zelmonte(@zelmonte, noise, 0.5)}, ...
           arrayfun(@(c) @() run_zelmonte(@zelmonte, ys{c}, trends{c, 3}), 1:rows(trends), ...
                    'UniformOutput', false)];
  cellfun(@(f) f(), calls);
  t = fastest(repeats, calls{:});
  for c = 1:rows(trends)
    key = sprintf('octave/zelmonte/%s/%d', trends{c, 1}, n);
    printf('RESULT %s/ns_per_sample %.4f\n', key, 1e9 * t(c + 1) / n);
    printf('RESULT %s/noise_ns_per_sample %.4f\n', key, 1e9 * t(1) / n);
    printf('RESULT %s/certificate %.3g\n', key, ...
           certificate(ys{c}, zelmonte(ys{c}, trends{c, 3}), trends{c, 3}));
  end
  clear ys;
end

% Part 3: non-finite samples.
glitches = {'inf', @(y) put(y, 0.5, Inf); 'minf', @(y) put(y, 0.5, -Inf); ...
            'nan', @(y) put(y, 0.5, NaN); 'both', @(y) put(put(y, 1 / 3, Inf), 2 / 3, NaN)};
function y = put(y, where, value)
  y(max(1, round(where * numel(y)))) = value;
end
for n = trend_sizes
  k = (0:n-1)';
  noise = randn(n, 1);
  names = {};
  ys = {};
  lambdas = [];
  for c = [1 2 5]
    base = trends{c, 2}(k, n);
    for g = 1:3 + 1
      names{end + 1} = [trends{c, 1} '_' glitches{g, 1}];
      ys{end + 1} = glitches{g, 2}(base);
      lambdas(end + 1) = trends{c, 3};
    end
  end
  for g = 1:3
    names{end + 1} = ['noise_' glitches{g, 1}];
    ys{end + 1} = glitches{g, 2}(noise);
    lambdas(end + 1) = 0.5;
  end
  calls = [{@() run_zelmonte(@zelmonte, noise, 0.5)}, ...
           arrayfun(@(c) @() run_zelmonte(@zelmonte, ys{c}, lambdas(c)), 1:numel(ys), ...
                    'UniformOutput', false)];
  cellfun(@(f) f(), calls);
  t = fastest(repeats, calls{:});
  for c = 1:numel(ys)
    key = sprintf('octave/zelmonte/nonfinite/%s/%d', names{c}, n);
    printf('RESULT %s/ns_per_sample %.4f\n', key, 1e9 * t(c + 1) / n);
    printf('RESULT %s/noise_ns_per_sample %.4f\n', key, 1e9 * t(1) / n);
  end
  clear ys;
end
