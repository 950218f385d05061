function h = wavelet_filter(name)
%WAVELET_FILTER Orthonormal scaling filter by name, for the wavelet modules.
%   h = wavelet_filter(name)
%   names = wavelet_filter()
%
%   Returns the scaling (low-pass) filter of the named orthonormal wavelet as
%   a row, in the convention kaldor, vestran, ostrevin and quillomar use:
%   sum(h) = sqrt(2) and sum_k h(k) h(k+2j) = 1 for j = 0, 0 otherwise. The
%   coefficients are in PyWavelets' order (its reconstruction low-pass).
%
%   name   'haar'   the Haar filter (the same as 'db1')
%          'dbN'    Daubechies, N = 1 to 60: N vanishing moments, 2N taps,
%                   extremal phase (the energy at the front)
%          'symN'   symlets, N = 2 to 20: N vanishing moments, 2N taps,
%                   nearly symmetric
%          'coifN'  coiflets, N = 1 to 5: 2N vanishing moments of the
%                   wavelet and 2N-1 of the scaling function, 6N taps
%   Names are lower case, as in PyWavelets.
%
%   Every coefficient is the exact value correctly rounded to double: the
%   filters were computed in high precision (tools/wavelet_filters.py: the
%   spectral factorization of the Daubechies polynomial, the moment
%   equations of the coiflets), so db60 is as exact as db2. They are read
%   from wavelet_filters.txt beside this file.
%
%   names = wavelet_filter() returns every name, as a cell array of rows.
%
%   Errors: a name that is not a text, an unknown family, an order outside
%   its range or a malformed name gives an error that begins
%   "wavelet_filter:" and lists the families and their orders.
%
%   Example:
%     x = randn(1, 256);
%     y = kaldor(x, wavelet_filter('db4'), 3);     % three levels
%     max(abs(vestran(y, wavelet_filter('db4'), 3) - x))   % about 1e-15

  persistent table
  if isempty(table)
    table = read_table(fullfile(fileparts(mfilename('fullpath')), 'wavelet_filters.txt'));
  end
  if nargin == 0
    h = table.names;
    return;
  end
  families = ['the families are ''haar'', ''dbN'' (N = 1 to 60), ''symN'' (N = 2 to 20) ' ...
              'and ''coifN'' (N = 1 to 5)'];
  if ~ischar(name) || size(name, 1) ~= 1
    error('wavelet_filter: the name must be a text such as ''db4''; %s.', families);
  end
  k = find(strcmp(table.names, name), 1);
  if isempty(k)
    token = regexp(name, '^(db|sym|coif)(0|[1-9]\d*)$', 'tokens', 'once');
    if isempty(token)
      error('wavelet_filter: unknown wavelet ''%s''; %s.', name, families);
    end
    error('wavelet_filter: no wavelet ''%s'': order %s is outside the range of ''%sN''; %s.', ...
          name, token{2}, token{1}, families);
  end
  h = table.filters{k};
end

function table = read_table(file)
  text = fileread(file);
  lines = regexp(text, '[^\n]+', 'match');
  lines = lines(~strncmp(lines, '#', 1));
  table.names = cell(1, numel(lines));
  table.filters = cell(1, numel(lines));
  for k = 1:numel(lines)
    words = regexp(strtrim(lines{k}), '\s+', 'split');
    table.names{k} = words{1};
    % Hexadecimal bits of each double: read exactly, with no decimal rounding.
    table.filters{k} = reshape(hex2num(char(words(2:end))), 1, []);
  end
end

%!test
%! % The 4-tap Daubechies filter in closed form (whose own rounding is a few ulps).
%! h = wavelet_filter('db2');
%! closed = [1 + sqrt(3), 3 + sqrt(3), 3 - sqrt(3), 1 - sqrt(3)] / (4 * sqrt(2));
%! assert(size(h), [1 4]);
%! assert(abs(h - closed) <= 4 * eps(closed));
%! assert(wavelet_filter('haar'), [1 1] / sqrt(2), eps);
%! assert(wavelet_filter('haar'), wavelet_filter('db1'));

%!test
%! % Every filter: length, sum sqrt(2), orthonormality and vanishing moments,
%! % each sum within a few roundings of its terms' magnitude.
%! names = wavelet_filter();
%! assert(numel(names), 1 + 60 + 19 + 5);
%! for k = 1:numel(names)
%!   name = names{k};
%!   h = wavelet_filter(name);
%!   n = numel(h);
%!   order = str2double(regexprep(name, '\D', ''));
%!   if strncmp(name, 'coif', 4)
%!     assert(n, 6 * order);
%!     moments = 2 * order;
%!   elseif strcmp(name, 'haar')
%!     assert(n, 2);
%!     moments = 1;
%!   else
%!     assert(n, 2 * order);
%!     moments = order;
%!   end
%!   assert(abs(sum(h) - sqrt(2)) <= 8 * eps * sum(abs(h)), name);
%!   for j = 0:n / 2 - 1
%!     terms = h(1:n - 2 * j) .* h(1 + 2 * j:n);
%!     assert(abs(sum(terms) - (j == 0)) <= 8 * n * eps * max(sum(abs(terms)), 1), ...
%!            sprintf('%s: orthonormality at shift %d', name, j));
%!   end
%!   k1 = 0:n - 1;
%!   for p = 0:moments - 1
%!     % Moments about the middle keep the terms small.
%!     terms = (-1) .^ k1 .* ((k1 - (n - 1) / 2) / n) .^ p .* h;
%!     assert(abs(sum(terms)) <= 8 * n * eps * sum(abs(terms)), ...
%!            sprintf('%s: wavelet moment %d', name, p));
%!   end
%! end

%!test
%! % Coiflets: the scaling function's moments vanish about k = 2N as well.
%! for order = 1:5
%!   h = wavelet_filter(sprintf('coif%d', order));
%!   t = ((0:numel(h) - 1) - 2 * order) / order;
%!   for p = 1:2 * order - 1
%!     terms = t .^ p .* h;
%!     assert(abs(sum(terms)) <= 16 * numel(h) * eps * sum(abs(terms)));
%!   end
%! end

%!test
%! % Extremal phase: the Daubechies filters put their energy first; a
%! % symlet is nearer symmetric than the Daubechies filter of its order.
%! for order = [4 10 20]
%!   d = wavelet_filter(sprintf('db%d', order));
%!   s = wavelet_filter(sprintf('sym%d', order));
%!   assert(sum(abs(s - fliplr(s))) < sum(abs(d - fliplr(d))));
%!   assert(sum(d(1:order) .^ 2) > sum(s(1:order) .^ 2));
%!   assert(sum(d(1:order) .^ 2) > 0.9);
%! end

%!test
%! % The modules take the filters as they come: a perfect round trip.
%! x = reshape(sin(1:256) + cos((1:256) .^ 1.5), 16, 16);
%! for name = {'db8', 'sym12', 'coif3', 'db60'}
%!   h = wavelet_filter(name{1});
%!   assert(vestran(kaldor(x, h, 2), h, 2), x, 1e-12);
%! end

%!error <wavelet_filter: unknown wavelet 'bior2.2'; the families are 'haar', 'dbN' \(N = 1 to 60\), 'symN' \(N = 2 to 20\) and 'coifN' \(N = 1 to 5\)\.> wavelet_filter('bior2.2')
%!error <wavelet_filter: unknown wavelet 'DB4'> wavelet_filter('DB4')
%!error <wavelet_filter: unknown wavelet 'db'> wavelet_filter('db')
%!error <wavelet_filter: unknown wavelet 'db 4'> wavelet_filter('db 4')
%!error <wavelet_filter: no wavelet 'db61': order 61 is outside the range of 'dbN'; the families> wavelet_filter('db61')
%!error <wavelet_filter: no wavelet 'sym1': order 1 is outside the range of 'symN'> wavelet_filter('sym1')
%!error <wavelet_filter: no wavelet 'coif0': order 0 is outside the range of 'coifN'> wavelet_filter('coif0')
%!error <wavelet_filter: unknown wavelet 'haar2'> wavelet_filter('haar2')
%!error <wavelet_filter: unknown wavelet 'db04'> wavelet_filter('db04')
%!error <wavelet_filter: the name must be a text such as 'db4'; the families are> wavelet_filter(4)
%!error <wavelet_filter: the name must be a text such as 'db4'> wavelet_filter(['db2'; 'db3'])
%!error <wavelet_filter: the name must be a text such as 'db4'> wavelet_filter({'db2'})
%!error <Invalid call|called with too many inputs> wavelet_filter('db2', 1)
