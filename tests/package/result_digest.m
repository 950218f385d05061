function result_digest(module_dir)
% Calls every module on fixed inputs and prints one MD5 digest per case of
% the exact bits of everything it returns. Two builds give the same bits
% exactly when their printouts are identical (tools/ci-chroots.sh compares
% the modules built on other Debian releases with these).
%
% The inputs are made with exactly rounded operations only (integer
% arithmetic and one division), and the filters are decimal literals, so
% they have the same bits under every Octave and C library; Octave's own
% factorizations are not used for the same reason.
  addpath(module_dir);
  ramp = @(n, seed) mod((0:n - 1)' * 7919 + seed, 1009) / 1009 - 0.5;

  % Penalty schedules: every combination of tallies and iteration on a grid.
  for name = {'vintrask', 'quorbel', 'pelmorin', 'sandrevo', 'tolbrecht'}
    f = str2func(name{1});
    out = [];
    for iter = [0 1 9 10 11 99 100]
      for cr = 0:3
        for cl = 0:3
          for p = [1e-3 0.7 3 250]
            if strcmp(name{1}, 'vintrask')
              [a, b, c] = f(p, 100, 1e-2, cr, cl, iter);
              out = [out; a; b; c];
            else
              for sw = [-1 0 1 5]
                [a, b, c] = f(p, 100, 1e-2, cr, cl, iter, sw);
                out = [out; a; b; c];
              end
            end
          end
        end
      end
    end
    report(name{1}, out);
  end

  out = [];
  for args = {{6, 2, 8, 3, 5}, {0.3, 1e-8, 7, 2, 9}, {1e5, 3e3, 0.25, 1e-3, 40}}
    for f = {@gravenmor, @brastelin}
      r = cell(1, 8);
      [r{:}] = f{1}(args{1}{:});
      out = [out; cellfun(@double, r(:))];
    end
  end
  report('gravenmor, brastelin', out);

  p = double(mod((0:999)' * 37, 11) < 7);
  [d, H] = lunderjack(p);
  [i, j, v] = find(H);
  report('lunderjack', [d; i; j; v]);

  y = 4 * ramp(1000, 3) + (mod(0:999, 200)' < 90);
  report('zelmonte', [zelmonte(y, 0.35); zelmonte(y, 3); zelmonte(y, 0)]);

  % Triangular systems with fixed entries: R upper, a strong diagonal.
  n = 300;
  [r, c] = find(triu(mod((1:n)' * (1:n) * 13, 17) == 0));
  R = sparse([r; (1:n)'], [c; (1:n)'], [ramp(numel(r), 5); 2 + ramp(n, 8)], n, n);
  b = [ramp(n, 1), ramp(n, 2)];
  report('fenwarix', fenwarix(R, b));
  report('hobrinth', hobrinth(R', b));

  % Wavelets: a Daubechies filter of 8 taps and a 3-tap filter, 1-D short
  % and long lines, a matrix.
  db8 = [-0.010597401784997278, 0.032883011666982945, 0.030841381835986965, ...
         -0.18703481171888114, -0.027983769416983849, 0.63088076792959036, ...
         0.71484657055254153, 0.23037781330885523];
  h3 = [0.25, 0.5, 0.3];
  for h = {db8, h3}
    for x = {ramp(64, 4)', ramp(8192, 6), reshape(ramp(96 * 64, 7), 96, 64)}
      [yk, L] = kaldor(x{1}, h{1}, 3);
      report(sprintf('kaldor %dx%d, %d taps', size(x{1}), numel(h{1})), [yk(:); L]);
      report(sprintf('vestran %dx%d, %d taps', size(x{1}), numel(h{1})), vestran(x{1}, h{1}, 3));
      [yl, yh, L] = ostrevin(x{1}, h{1}, 3);
      report(sprintf('ostrevin %dx%d, %d taps', size(x{1}), numel(h{1})), [yl(:); yh(:); L]);
      report(sprintf('quillomar %dx%d, %d taps', size(x{1}), numel(h{1})), ...
             quillomar(yl, yh, h{1}, 3));
    end
  end
end

function report(name, values)
  bits = num2hex(double(values(:)));
  printf('%-36s %d values, md5 %s\n', name, numel(values), hash('md5', bits(:)'));
end
