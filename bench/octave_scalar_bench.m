% Per-call cost of the scalar modules in Octave, as users call them, against
% trivial_mex (bench/trivial_mex.cpp): a MEX function with the same inputs and
% outputs that only reads the first elements and creates the results.
%
%   vintrask  6 inputs, 3 outputs      quorbel   7 inputs, 3 outputs
%   sandrevo  7 inputs, 3 outputs      gravenmor 5 inputs, 8 outputs
%
% The two are timed in alternating rounds of `calls` calls each, in this one
% session (fastest.m); each time is the best round. Prints lines "RESULT <key> <value>"
% (microseconds per call, and the ratio module / trivial). For vintrask and
% gravenmor, the m-file peers in bench/mfile_peers/ (the same computation as
% a plain m-file function) are timed the same way (mfile_us_per_call).
%
% Run with the modules and trivial_mex on the path, e.g. from the source tree:
%   octave-cli --eval "addpath('build/octave', 'build/bench/octave'); run('bench/octave_scalar_bench.m')"

if ~exist('calls', 'var'), calls = 20000; end
if ~exist('rounds', 'var'), rounds = 15; end

% A loop of `calls` direct calls, run by eval, so that the time is the
% host's call path and the module's, with one function-handle call per loop.
function f = calls_of(name, args, nout, calls)
  outs = sprintf('o%d,', 1:nout);
  f = @() run_code(sprintf('for k = 1:%d, [%s] = %s(%s); end', calls, outs(1:end-1), name, args));
end
function run_code(code)
  eval(code);
end

addpath(fullfile(fileparts(mfilename('fullpath')), 'mfile_peers'));

cases = {
  'vintrask',  '10, 100, 1, 3, 2, 0',      3, 'vintrask_m'
  'quorbel',   '1, 3, 0.1, 2, 0, 0, -1',   3, ''
  'sandrevo',  '1, 100, 0.1, 1, 4, 0, 1',  3, ''
  'gravenmor', '6, 2, 8, 3, 5',            8, 'gravenmor_m'
};

for c = 1:rows(cases)
  [name, args, nout, peer] = cases{c, :};
  if exist(name, 'file') ~= 3 || exist('trivial_mex', 'file') ~= 3
    printf('RESULT octave/scalar/%s/status not_built\n', name);
    continue;
  end
  fastest(1, calls_of(name, args, nout, 10), calls_of('trivial_mex', args, nout, 10));  % load both
  t = fastest(rounds, calls_of(name, args, nout, calls), calls_of('trivial_mex', args, nout, calls));
  tm = t(1) / calls;
  tt = t(2) / calls;
  printf('RESULT octave/scalar/%s/us_per_call %.4f\n', name, 1e6 * tm);
  printf('RESULT octave/scalar/%s/trivial_us_per_call %.4f\n', name, 1e6 * tt);
  printf('RESULT octave/scalar/%s/ratio %.4f\n', name, tm / tt);
  if ~isempty(peer) && exist(peer, 'file') == 2
    fastest(1, calls_of(peer, args, nout, 10));
    tp = fastest(max(3, floor(rounds / 3)), calls_of(peer, args, nout, calls)) / calls;
    printf('RESULT octave/scalar/%s/mfile_us_per_call %.4f\n', name, 1e6 * tp);
  end
end
