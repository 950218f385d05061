function [x, info] = wavelet_denoise(y, wavelet, L, opts)
%WAVELET_DENOISE Wavelet shrinkage of a noisy signal or image, in one call.
%   x = wavelet_denoise(y)
%   x = wavelet_denoise(y, wavelet)
%   x = wavelet_denoise(y, wavelet, L)
%   [x, info] = wavelet_denoise(y, wavelet, L, opts)
%
%   Transforms y (a vector, or a matrix as an image), shrinks every detail
%   coefficient towards zero by a threshold chosen for its band from the
%   noise level, and transforms back. The approximation is kept as it is.
%
%   y        real vector or matrix, finite; other numeric classes are
%            converted to double (no rescaling), and x is double
%   wavelet  a name for wavelet_filter ('db4', 'sym8', 'coif2', ...; the
%            default is 'db4') or an orthonormal scaling filter (sum
%            sqrt(2), orthogonal to its even shifts)
%   L        levels; [] or absent: as scikit-image does, 3 fewer than the
%            most the shortest side N admits, and at least 1. The most is
%            floor(log2(N / (taps - 1))); more gives an error.
%   opts     struct, every field optional:
%     transform  'decimated' (default; kaldor and vestran) or 'redundant'
%                (ostrevin and quillomar: translation invariant, the same
%                as averaging the decimated denoiser over every shift, and
%                usually the smaller error, at about 3L times the work)
%     rule       threshold per band: 'bayes' (default; BayesShrink,
%                sigma_b^2 / sqrt(max(mean(d.^2) - sigma_b^2, eps))),
%                'universal' (VisuShrink, sigma_b * sqrt(2 log(numel(y))))
%                or 'sure' (SureShrink: the threshold of least Stein
%                unbiased risk for soft shrinkage, capped at the universal
%                threshold of the band, and the universal threshold where
%                the band is too sparse for SURE, by Donoho and Johnstone's
%                test sum(d.^2/sigma_b^2 - 1) <= log2(n)^1.5 * sqrt(n))
%     mode       'soft' (default: sign(d) .* max(|d| - t, 0)) or 'hard'
%                (d where |d| > t, else 0)
%     sigma      the noise's standard deviation; absent: estimated from the
%                finest diagonal details (the finest band of a vector) as
%                median(|d|) / 0.6745
%   Here sigma_b is the noise level in band b: sigma times the band's
%   gain, the norm of the transform's response in that band to a unit
%   impulse. For an orthonormal filter every coefficient of the decimated
%   transform has gain 1; the redundant transform's bands overlap (they
%   are not orthonormal), and their gains are taken from the filter in the
%   same way (with the modules' unnormalized filters they come out as 1).
%
%   Any size, and the borders: the transforms are periodic (they would
%   join the two ends of each side) and need each side above 1 to be a
%   multiple of 2^L. So y is extended on both ends of each such side by its
%   mirror image, repeating the edge sample (symmetric extension, as
%   scikit-image's borders): by the filter's length at the start, and at
%   the end by the filter's length and as much more as reaches the next
%   multiple of 2^L. x is cropped back to the size of y.
%
%   info: sigma (the noise level used), estimated (true when it was
%   estimated), levels (L), transform, rule, mode, filter (the filter as a
%   row), padded_size (the size transformed), and bands, a struct array
%   from wavelet_bands (level, highpass, index into the coefficients) with
%   gain and threshold of each band.
%
%   Errors begin "wavelet_denoise:" and say which argument was wrong: a y
%   that is not a real finite vector or matrix, an unknown wavelet name or
%   a filter that is not orthonormal, L not a positive integer or more
%   levels than the length admits, an unknown option or option value.
%
%   Example:
%     t = linspace(0, 1, 1024);
%     clean = sin(8 * pi * t) + (t > 0.5);
%     noisy = clean + 0.2 * randn(size(t));
%     [x, info] = wavelet_denoise(noisy, 'sym8', 5, struct('transform', 'redundant'));
%     info.sigma                    % about 0.2
%     norm(x - clean) / norm(noisy - clean)

  if nargin < 1 || nargin > 4
    error('wavelet_denoise: takes 1 to 4 arguments: wavelet_denoise(y, wavelet, L, opts).');
  end
  if nargin < 2 || isempty(wavelet)
    wavelet = 'db4';
  end
  if nargin < 3
    L = [];
  end
  if nargin < 4
    opts = struct();
  end

  if ~(isnumeric(y) || islogical(y)) || ~isreal(y) || isempty(y) || ndims(y) > 2
    error('wavelet_denoise: y must be a real, non-empty vector or matrix.');
  end
  y = double(y);
  if ~all(isfinite(y(:)))
    error('wavelet_denoise: y must be finite (it holds NaN or Inf).');
  end
  % The last filter and options are kept: a run over many signals pays for
  % their lookup and checks once (Octave's calls cost more than this work).
  persistent last_wavelet last_filter default_opts
  if ischar(wavelet) && strcmp(wavelet, last_wavelet)
    h = last_filter;
  else
    h = filter_of(wavelet);
    last_wavelet = wavelet;
    last_filter = h;
  end
  if nargin < 4
    if isempty(default_opts)
      default_opts = options_of(struct());
    end
    opts = default_opts;
  else
    opts = options_of(opts);
  end

  [M, N] = size(y);
  vector = M == 1 || N == 1;
  if vector
    shortest = numel(y);
  else
    shortest = min(M, N);
  end
  most = floor(log2(shortest / (numel(h) - 1)));
  if isempty(L)
    if most < 1
      error('wavelet_denoise: y is too short for a filter of %d taps: a side of %d admits no level.', ...
            numel(h), shortest);
    end
    L = min(max(most - 3, 1), most);
  elseif ~(isnumeric(L) && isreal(L) && isscalar(L) && L >= 1 && L == fix(L))
    error('wavelet_denoise: L must be a positive integer (or [] for the default).');
  elseif L > most
    error('wavelet_denoise: L = %d is more levels than a side of %d admits with %d taps (at most %d).', ...
          L, shortest, numel(h), max(most, 0));
  end

  % Borders: the transforms are periodic and would join the two ends of
  % each side; a mirror margin of one filter length on both ends keeps a
  % jump from appearing there, and the end margin grows to the next
  % multiple of 2^L.
  step = 2 ^ L;
  if vector
    % one side only: the other is 1
    [ye, start] = extend(y, 1 + (M == 1), numel(h), step);
    first = [1 1];
    first(1 + (M == 1)) = start;
  else
    [ye, first] = extend(y, 1, numel(h), step);
    [ye, first(2)] = extend(ye, 2, numel(h), step);
  end
  redundant = strcmp(opts.transform, 'redundant');
  if redundant
    [yl, c] = ostrevin(ye, h, L);
  else
    c = kaldor(ye, h, L);
  end
  % The layout and the gains depend only on the size, L, the transform
  % and the filter: kept from the last call, which helps runs over many
  % signals of one size.
  persistent last
  key = [size(ye), L, redundant, numel(h), h];
  if isempty(last) || numel(last.key) ~= numel(key) || any(last.key ~= key)
    last.key = key;
    last.bands = wavelet_bands(size(ye), L, opts.transform);
    last.gains = band_gains(last.bands, size(ye), h, L, redundant);
    % Every detail coefficient at once, with its band's number: one
    % shrinkage over all of them (a loop over bands costs more in Octave
    % than the arithmetic on a signal of a few thousand samples).
    last.detail = vertcat(last.bands.index);
    last.band = reshape(repelem(1:numel(last.bands), arrayfun(@(b) numel(b.index), last.bands)), [], 1);
    last.count = accumarray(last.band, 1)';
  end
  bands = last.bands;
  gains = last.gains;
  coefficient_size = size(c);
  if vector
    c = c(:);   % a vector's bands index it as a column
  end

  % The finest diagonal band: the last of level 1 for an image.
  finest = find([bands.level] == 1, 1, 'last');
  if isempty(opts.sigma)
    sigma = middle(abs(reshape(c(bands(finest).rows, bands(finest).columns), [], 1))) ...
            / 0.6745 / gains(finest);
  else
    sigma = opts.sigma;
  end

  n_total = numel(y);
  soft = strcmp(opts.mode, 'soft');
  rule_bayes = strcmp(opts.rule, 'bayes');   % the two short rules inline
  rule_universal = strcmp(opts.rule, 'universal');
  s = sigma * gains;
  if numel(last.detail) <= 32768
    % A signal: every detail coefficient at once, band thresholds by
    % accumarray (a loop over the bands costs more, in Octave, than the
    % arithmetic on a few thousand samples).
    d = c(last.detail);
    if rule_bayes
      % sigma_b^2 / sqrt(max(mean(d.^2) - sigma_b^2, eps)); 0 where sigma_b is
      power = accumarray(last.band, d .^ 2)' ./ last.count;
      thresholds = s .^ 2 ./ sqrt(max(power - s .^ 2, eps));
    elseif rule_universal
      thresholds = s * sqrt(2 * log(n_total));
    else
      thresholds = zeros(1, numel(bands));
      for b = 1:numel(bands)
        thresholds(b) = threshold(d(last.band == b), s(b), opts.rule, n_total);
      end
    end
    t = thresholds(last.band);
    c(last.detail) = shrink(d, t(:), soft);
  else
    % An image: band by band, as blocks (no index vector as long as the
    % image, whose gathers would cost more than the loop).
    thresholds = zeros(1, numel(bands));
    for b = 1:numel(bands)
      rows = bands(b).rows;
      columns = bands(b).columns;
      d = c(rows, columns);
      thresholds(b) = threshold(d, s(b), opts.rule, n_total);
      c(rows, columns) = shrink(d, thresholds(b), soft);
    end
  end

  if vector
    c = reshape(c, coefficient_size);
  end
  if redundant
    x = quillomar(yl, c, h, L);
  else
    x = vestran(c, h, L);
  end
  x = x(first(1):first(1) + M - 1, first(2):first(2) + N - 1);

  if nargout > 1
    per_band = num2cell(gains);
    [bands.gain] = per_band{:};
    per_band = num2cell(thresholds);
    [bands.threshold] = per_band{:};
    info = struct('sigma', sigma, 'estimated', isempty(opts.sigma), 'levels', L, ...
                  'transform', opts.transform, 'rule', opts.rule, 'mode', opts.mode, ...
                  'filter', h, 'padded_size', size(ye), 'bands', bands);
  end
end

function [y, first] = extend(y, dim, margin, step)
  % Symmetric extension along dim (a side above 1): margin samples before,
  % at least margin after, to a multiple of step; the edge sample repeats.
  % first: where the original starts.
  n = size(y, dim);
  first = 1;
  if n == 1
    return;
  end
  before = min(margin, n);
  after = min(margin + mod(-(n + 2 * margin), step), n);
  while mod(n + before + after, step) ~= 0
    after = after - 1;   % only when n is shorter than the margin
  end
  index = [before:-1:1, 1:n, n:-1:n - after + 1];
  if dim == 1
    y = y(index, :);
  else
    y = y(:, index);
  end
  first = before + 1;
end

function h = filter_of(wavelet)
  if ischar(wavelet)
    try
      h = wavelet_filter(wavelet);
    catch err
      error('wavelet_denoise: wavelet %s', regexprep(err.message, '^wavelet_filter: ', ''));
    end
    return;
  end
  if ~(isnumeric(wavelet) && isreal(wavelet) && isvector(wavelet) && numel(wavelet) >= 2 ...
       && all(isfinite(wavelet)))
    error('wavelet_denoise: wavelet must be a name such as ''db4'' or a real filter of 2 or more taps.');
  end
  h = reshape(double(wavelet), 1, []);
  n = numel(h);
  % sum sqrt(2) and orthonormal to its even shifts: the transforms then
  % invert exactly and keep the noise level.
  ok = abs(sum(h) - sqrt(2)) <= 1e-10 * sum(abs(h));
  for j = 0:ceil(n / 2) - 1
    ok = ok && abs(sum(h(1:n - 2 * j) .* h(1 + 2 * j:n)) - (j == 0)) <= 1e-10;
  end
  if ~ok
    error(['wavelet_denoise: the filter is not orthonormal (it needs sum(h) = sqrt(2) and ' ...
           'sum(h(k) h(k+2j)) = 1 for j = 0, 0 otherwise); wavelet_filter gives such filters.']);
  end
end

function opts = options_of(opts)
  defaults = struct('transform', 'decimated', 'rule', 'bayes', 'mode', 'soft', 'sigma', []);
  if ~isstruct(opts) || ~isscalar(opts)
    error('wavelet_denoise: opts must be a struct (fields transform, rule, mode, sigma).');
  end
  names = fieldnames(opts);
  if isempty(names)
    opts = defaults;
    return;
  end
  for k = 1:numel(names)
    if ~isfield(defaults, names{k})
      error('wavelet_denoise: unknown option ''%s'' (the options are transform, rule, mode and sigma).', ...
            names{k});
    end
    defaults.(names{k}) = opts.(names{k});
  end
  opts = defaults;
  check_choice('transform', opts.transform, {'decimated', 'redundant'});
  check_choice('rule', opts.rule, {'bayes', 'universal', 'sure'});
  check_choice('mode', opts.mode, {'soft', 'hard'});
  s = opts.sigma;
  if ~isempty(s) && ~(isnumeric(s) && isreal(s) && isscalar(s) && isfinite(s) && s >= 0)
    error('wavelet_denoise: option sigma must be a finite non-negative number.');
  end
  opts.sigma = double(s);
end

function m = middle(v)
  % median(v) of a column; a short one by sorting, which costs less than
  % median's own argument handling.
  n = numel(v);
  if n > 4096
    m = median(v);
    return;
  end
  v = sort(v);
  m = (v(floor((n + 1) / 2)) + v(ceil((n + 1) / 2))) / 2;
end

function check_choice(name, value, allowed)
  if ~ischar(value) || ~any(strcmp(value, allowed))
    error('wavelet_denoise: option %s must be one of ''%s''.', name, strjoin(allowed, ''', '''));
  end
end

function gains = band_gains(bands, sz, h, L, redundant)
  % The norm of each band's response to a unit impulse is the noise gain
  % of its coefficients (every coefficient of a band has the same one: the
  % transform is shift invariant within the band). A separable image band
  % has the product of its rows' and its columns' gains.
  gains = ones(1, numel(bands));
  if ~redundant
    return;   % orthonormal: every coefficient has gain 1
  end
  line_gain = @(n) impulse_gains(n, h, L);
  if sz(1) == 1 || sz(2) == 1
    gains = line_gain(prod(sz));
    return;
  end
  % Per level, along a line: [low high]; a matrix band is high along
  % columns ('columns'), rows ('rows') or both, low along the other.
  gr = line_gain(sz(2));
  gc = line_gain(sz(1));
  lr = impulse_low_gains(sz(2), h, L);
  lc = impulse_low_gains(sz(1), h, L);
  for b = 1:numel(bands)
    k = bands(b).level;
    switch bands(b).highpass
      case 'columns'
        gains(b) = lr(k) * gc(k);
      case 'rows'
        gains(b) = gr(k) * lc(k);
      otherwise
        gains(b) = gr(k) * gc(k);
    end
  end
end

function g = impulse_gains(n, h, L)
  e = zeros(1, n);
  e(1) = 1;
  [~, yh] = ostrevin(e, h, L);
  g = sqrt(sum(reshape(yh, n, L) .^ 2, 1));
end

function g = impulse_low_gains(n, h, L)
  % The gain of the low-pass of levels 1 ... k-1 before level k's
  % high-pass: the row (or column) filtering a band of level k had.
  e = zeros(1, n);
  e(1) = 1;
  g = ones(1, L);
  for k = 1:L
    yl = ostrevin(e, h, k);
    g(k) = sqrt(sum(yl .^ 2));
  end
end

function d = shrink(d, t, soft)
  if soft
    d = sign(d) .* max(abs(d) - t, 0);
  else
    d(abs(d) <= t) = 0;
  end
end

function t = threshold(d, s, rule, n_total)
  d = d(:);
  if s == 0
    t = 0;
    return;
  end
  switch rule
    case 'universal'
      t = s * sqrt(2 * log(n_total));
    case 'bayes'
      t = s ^ 2 / sqrt(max(sum(d .^ 2) / numel(d) - s ^ 2, eps));
    case 'sure'
      n = numel(d);
      z = d / s;
      universal = sqrt(2 * log(n));
      if sum(z .^ 2 - 1) <= log2(n) ^ 1.5 * sqrt(n)
        t = s * universal;
        return;
      end
      % SURE(t) = n - 2 #{|z| <= t} + sum min(|z|, t)^2, least at some |z_k|.
      a = sort(abs(z(:))) .^ 2;
      k = (1:n)';
      risk = n - 2 * k + cumsum(a) + (n - k) .* a;
      [~, best] = min(risk);
      t = s * min(sqrt(a(best)), universal);
  end
end

%!shared clean1, noisy1, clean2, noisy2
%! randn('state', 7);
%! t = (0:1023) / 1024;
%! clean1 = sin(4 * pi * t) + 1.5 * (t > 0.3) - 2 * (t > 0.72);
%! noisy1 = clean1 + 0.3 * randn(size(t));
%! [r, c] = ndgrid(1:128, 1:128);
%! clean2 = double((r - 64) .^ 2 + (c - 50) .^ 2 < 900) + 0.5 * (c > 90);
%! noisy2 = clean2 + 0.2 * randn(size(clean2));

%!test
%! % Every rule and transform lowers the error, and the estimated sigma is
%! % near the true one.
%! for tr = {'decimated', 'redundant'}
%!   for rule = {'bayes', 'universal', 'sure'}
%!     o = struct('transform', tr{1}, 'rule', rule{1});
%!     [x, info] = wavelet_denoise(noisy1, 'db4', 5, o);
%!     assert(norm(x - clean1) < 0.6 * norm(noisy1 - clean1));
%!     assert(abs(info.sigma - 0.3) < 0.03);
%!     [x, info] = wavelet_denoise(noisy2, 'sym4', 3, o);
%!     assert(norm(x - clean2, 'fro') < 0.7 * norm(noisy2 - clean2, 'fro'));
%!     assert(abs(info.sigma - 0.2) < 0.02);
%!   end
%! end

%!test
%! % The redundant transform beats the decimated one on both signals.
%! for y = {noisy1, noisy2}
%!   clean = clean1;
%!   if size(y{1}, 1) > 1, clean = clean2; end
%!   xd = wavelet_denoise(y{1}, 'db4', 3);
%!   xr = wavelet_denoise(y{1}, 'db4', 3, struct('transform', 'redundant'));
%!   assert(norm(xr - clean, 'fro') < norm(xd - clean, 'fro'));
%! end

%!test
%! % Against a plain transcription with the modules: universal, soft, known sigma.
%! % 1024 samples, 4 taps: mirrored by 4 at the start and by 4 + 8 at the
%! % end, to 1040, a multiple of 2^4.
%! h = wavelet_filter('db2');
%! L = 4;
%! ye = [noisy1(4:-1:1), noisy1, noisy1(end:-1:end - 11)];
%! t = 0.3 * sqrt(2 * log(1024));
%! for mode = {'soft', 'hard'}
%!   y = kaldor(ye, h, L);
%!   d = y(1040 / 2 ^ L + 1:end);
%!   if strcmp(mode{1}, 'soft')
%!     d = sign(d) .* max(abs(d) - t, 0);
%!   else
%!     d(abs(d) <= t) = 0;
%!   end
%!   y(1040 / 2 ^ L + 1:end) = d;
%!   expected = vestran(y, h, L);
%!   [x, info] = wavelet_denoise(noisy1, 'db2', L, struct('rule', 'universal', 'sigma', 0.3, 'mode', mode{1}));
%!   assert(x, expected(5:1028), 1e-13);
%!   assert([info.bands.threshold], t * ones(1, L), 1e-15);
%!   assert(info.padded_size, [1 1040]);
%! end

%!test
%! % Pure noise: the universal rule leaves almost nothing, in both
%! % transforms; the band gains come out as 1 (noise level kept per band).
%! randn('state', 3);
%! for tr = {'decimated', 'redundant'}
%!   e = randn(256, 256);
%!   % Five levels: the approximation kept holds 1/4^5 of the noise.
%!   [x, info] = wavelet_denoise(e, 'sym4', 5, struct('rule', 'universal', 'transform', tr{1}));
%!   assert(norm(x, 'fro') < 0.1 * norm(e, 'fro'));
%!   assert([info.bands.gain], ones(1, 15), 1e-12);
%! end
%! % The redundant bands of the finer levels (many independent samples)
%! % carry the noise level times their gain.
%! [~, yh] = ostrevin(e, wavelet_filter('sym4'), 5);
%! b = wavelet_bands(size(e), 5, 'redundant');
%! for k = find([b.level] <= 2)
%!   assert(std(yh(b(k).index)) / info.bands(k).gain, 1, 0.03);
%! end

%!test
%! % A constant comes back unchanged, at any size (odd sizes are extended).
%! for sz = {[1 100], [37 1], [45 60]}
%!   for tr = {'decimated', 'redundant'}
%!     y = 3.25 * ones(sz{1});
%!     x = wavelet_denoise(y, 'coif2', [], struct('transform', tr{1}));
%!     assert(size(x), size(y));
%!     assert(x, y, 1e-12);
%!   end
%! end

%!test
%! % Odd sizes: extended and cropped; the input is not changed and the
%! % default L follows the shortest side.
%! y = noisy2(1:101, 1:90);
%! keep = y;
%! [x, info] = wavelet_denoise(y, 'db3', 2);
%! assert(y, keep);
%! assert(size(x), [101 90]);
%! % 101 + 6 + 9 = 116 and 90 + 6 + 8 = 104, multiples of 4.
%! assert(info.padded_size, [116 104]);
%! assert(norm(x - clean2(1:101, 1:90), 'fro') < 0.7 * norm(y - clean2(1:101, 1:90), 'fro'));
%! [~, info] = wavelet_denoise(y, 'db3');
%! assert(info.levels, floor(log2(90 / 5)) - 3);

%!test
%! % SURE falls back to the universal threshold on a sparse band and goes
%! % below it on a dense one.
%! randn('state', 1);
%! sparse_signal = zeros(1, 1024); sparse_signal(100) = 20;
%! [~, info] = wavelet_denoise(sparse_signal + randn(1, 1024), 'haar', 1, struct('rule', 'sure', 'sigma', 1));
%! assert(info.bands(1).threshold, sqrt(2 * log(info.padded_size(2) / 2)), 1e-12);
%! dense = 3 * sign(randn(1, 1024));
%! [~, info] = wavelet_denoise(dense + randn(1, 1024), 'haar', 1, struct('rule', 'sure', 'sigma', 1));
%! assert(info.bands(1).threshold < sqrt(2 * log(512)));

%!error <wavelet_denoise: y must be a real, non-empty vector or matrix\.> wavelet_denoise([])
%!error <wavelet_denoise: y must be a real, non-empty vector or matrix\.> wavelet_denoise(complex(ones(8), 1))
%!error <wavelet_denoise: y must be a real, non-empty vector or matrix\.> wavelet_denoise(ones(8, 8, 2))
%!error <wavelet_denoise: y must be finite \(it holds NaN or Inf\)\.> wavelet_denoise([1:63, NaN])
%!error <wavelet_denoise: wavelet unknown wavelet 'db0x'> wavelet_denoise(1:64, 'db0x')
%!error <wavelet_denoise: wavelet no wavelet 'db99'> wavelet_denoise(1:64, 'db99')
%!error <wavelet_denoise: the filter is not orthonormal> wavelet_denoise(1:64, [1 2 3 4])
%!error <wavelet_denoise: wavelet must be a name such as 'db4' or a real filter of 2 or more taps\.> wavelet_denoise(1:64, 1)
%!error <wavelet_denoise: L must be a positive integer \(or \[\] for the default\)\.> wavelet_denoise(1:64, 'db2', 0)
%!error <wavelet_denoise: L = 5 is more levels than a side of 64 admits with 4 taps \(at most 4\)\.> wavelet_denoise(1:64, 'db2', 5)
%!error <wavelet_denoise: y is too short for a filter of 16 taps: a side of 8 admits no level\.> wavelet_denoise(1:8, 'db8')
%!error <wavelet_denoise: unknown option 'level' \(the options are transform, rule, mode and sigma\)\.> wavelet_denoise(1:64, 'db2', 2, struct('level', 2))
%!error <wavelet_denoise: option rule must be one of 'bayes', 'universal', 'sure'\.> wavelet_denoise(1:64, 'db2', 2, struct('rule', 'visu'))
%!error <wavelet_denoise: option transform must be one of 'decimated', 'redundant'\.> wavelet_denoise(1:64, 'db2', 2, struct('transform', 'swt'))
%!error <wavelet_denoise: option mode must be one of 'soft', 'hard'\.> wavelet_denoise(1:64, 'db2', 2, struct('mode', 1))
%!error <wavelet_denoise: option sigma must be a finite non-negative number\.> wavelet_denoise(1:64, 'db2', 2, struct('sigma', -1))
%!error <wavelet_denoise: opts must be a struct \(fields transform, rule, mode, sigma\)\.> wavelet_denoise(1:64, 'db2', 2, 'redundant')
