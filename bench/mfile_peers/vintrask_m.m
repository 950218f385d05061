% vintrask_m: the ADMM penalty update of vintrask written as a plain m-file,
% the peer of bench/octave_scalar_bench.m (what a user without the MEX module
% would call). Same arguments and results; no argument checks.
function [penalty, count_raise, count_lower] = vintrask_m(penalty, penalty_max, penalty_min, count_raise, count_lower, iter)
  iter = fix(iter);
  if iter < 30
    period = 3;
  elseif iter < 60
    period = 6;
  elseif iter < 120
    period = 12;
  elseif iter < 250
    period = 25;
  elseif iter < 500
    period = 50;
  else
    period = 100;
  end
  if rem(iter, period) ~= 0
    return;
  end
  if count_raise > max(1, 1.2 * count_lower)
    penalty = min(penalty * 1.25, penalty_max);
    count_raise = 0;
  elseif count_lower > max(1, 1.2 * count_raise)
    penalty = max(penalty / 1.25, penalty_min);
    count_lower = 0;
  end
end
