% The four wavelet modules in Octave, as users call them, on the cases the
% PyWavelets peer (bench/peer_pywt.py) is timed on, and beside each the
% output floor in the same session: creating the call's outputs through the
% host and writing them once (floor_mex, bench/floor_mex.cpp, called the way
% the module is: same wrapper, same results), which any module that returns
% new arrays pays in page faults and memory traffic. Both are called from a
% function whose results are dropped when it returns, as a user's function
% calling the module does.
%
%   decimated  kaldor / vestran     1-D 2^20, L = 10, 2, 8, 16 taps
%                                   2-D 1024x1024, L = 5, 2 and 8 taps
%   redundant  ostrevin / quillomar 1-D 2^20, L = 5, 2 and 8 taps
%                                   2-D 512x512, L = 3, 2 and 8 taps
%
% Module and floor are timed in alternation (fastest.m); each time is the
% best of `repeats` calls. Prints lines
% "RESULT octave/<case>/ms <t>" and "RESULT octave/<case>/floor_ms <t>",
% with <case> named as in peer_pywt.py (e.g. redundant/2d/8/inverse). A
% module that is not built prints "RESULT octave/<case>/status not_built".
%
% Run with the modules and floor_mex on the path (absolute paths: run()
% changes into bench/), e.g. from the source tree:
%   octave-cli --eval "addpath([pwd '/build/octave'], [pwd '/build/bench/octave']); run('bench/octave_wavelet_bench.m')"

if ~exist('repeats', 'var'), repeats = 5; end

function h = scaling_filter(taps)
  switch taps
    case 2
      h = [1 1] / sqrt(2);
    case 8
      h = [0.23037781330889650086, 0.71484657055291564709, 0.63088076792985890788, ...
           -0.027983769416859854211, -0.18703481171909308408, 0.030841381835560763627, ...
           0.032883011666885199735, -0.010597401785069032105];
    otherwise  % any filter of the length costs the same
      h = cos(0.3 * (0:taps-1)) / taps;
  end
end

% The floor of a call with two or three results of the sizes in `sizes`.
function floor2(sizes), [a, b] = floor_mex(sizes); end     %#ok<ASGLU>
function floor3(sizes), [a, b, c] = floor_mex(sizes); end  %#ok<ASGLU>

function run_kaldor(x, h, L), [y, l] = kaldor(x, h, L); end            %#ok<ASGLU>
function run_vestran(y, h, L), [x, l] = vestran(y, h, L); end          %#ok<ASGLU>
function run_ostrevin(x, h, L), [yl, yh, l] = ostrevin(x, h, L); end   %#ok<ASGLU>
function run_quillomar(yl, yh, h, L), [x, l] = quillomar(yl, yh, h, L); end  %#ok<ASGLU>

function report(key, f, sizes, repeats)
  if rows(sizes) == 3, g = @() floor3(sizes); else, g = @() floor2(sizes); end
  f(); g();  % load the modules, warm the inputs
  t = fastest(repeats, f, g);
  printf('RESULT octave/%s/ms %.4f\n', key, 1e3 * t(1));
  printf('RESULT octave/%s/floor_ms %.4f\n', key, 1e3 * t(2));
end

function built = have(name)
  built = exist(name, 'file') == 3 && exist('floor_mex', 'file') == 3;
end

recycle_large_blocks();  % results up to 32 MiB then land in recycled memory

randn('seed', 1);
x1 = randn(1, 2^20);
x2 = randn(1024, 1024);
x3 = randn(512, 512);

% kind, input, levels, filter lengths
cases = {
  'decimated', x1, 10, [2 8 16]
  'decimated', x2, 5,  [2 8]
  'redundant', x1, 5,  [2 8]
  'redundant', x3, 3,  [2 8]
};
for c = 1:rows(cases)
  [kind, x, L, tap_counts] = cases{c, :};
  [M, N] = size(x);
  decimated = strcmp(kind, 'decimated');
  if decimated, pair = {'kaldor', 'vestran'}; else, pair = {'ostrevin', 'quillomar'}; end
  for taps = tap_counts
    key = sprintf('%s/%dd/%d', kind, 1 + (M > 1), taps);
    h = scaling_filter(taps);
    if ~have(pair{1}) || ~have(pair{2})
      printf('RESULT octave/%s/forward/status not_built\nRESULT octave/%s/inverse/status not_built\n', key, key);
    elseif decimated
      y = kaldor(x, h, L);
      report([key '/forward'], @() run_kaldor(x, h, L), [M N; 1 1], repeats);
      report([key '/inverse'], @() run_vestran(y, h, L), [M N; 1 1], repeats);
    else
      bands = L * (1 + 2 * (M > 1));  % one band per level for a line, three for an image
      [yl, yh] = ostrevin(x, h, L);
      report([key '/forward'], @() run_ostrevin(x, h, L), [M N; M bands * N; 1 1], repeats);
      report([key '/inverse'], @() run_quillomar(yl, yh, h, L), [M N; 1 1], repeats);
    end
  end
end
