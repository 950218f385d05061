% t = fastest(repeats, f1, f2, ...): the fastest of `repeats` timed calls of
% each function handle, in seconds (t(k) for fk). Each round calls every
% handle once, in turn, so that a change in the machine's load falls on all
% of them alike; ratios of the results are then taken within one run. The
% timing helper of every Octave comparison in bench/.
function t = fastest(repeats, varargin)
  t = inf(1, numel(varargin));
  for r = 1:repeats
    for k = 1:numel(varargin)
      f = varargin{k};
      tic;
      f();
      t(k) = min(t(k), toc);
    end
  end
end
