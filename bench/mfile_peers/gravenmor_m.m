% gravenmor_m: the fused-lasso rescaling of gravenmor written as a plain
% m-file, the peer of bench/octave_scalar_bench.m. Same arguments and
% results; no argument checks.
function [v, s1, s2, gmean, sratio, w1, w2, zero] = gravenmor_m(value, scale_1, scale_2, weight_1, weight_2)
  s1 = 1;
  s2 = 1;
  if ~(scale_1 < 1e-7)
    s1 = scale_1;
    s2 = scale_2;
  end
  v = (s2 / s1) * value;
  gmean = sqrt(s1 * s2);
  sratio = sqrt(s1 / s2);
  w1 = weight_1 * s1;
  w2 = weight_2 * s2;
  zero = 0;
end
