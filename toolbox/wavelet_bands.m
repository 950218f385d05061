function [bands, approx] = wavelet_bands(sz, L, transform)
%WAVELET_BANDS Where each level's bands lie in the wavelet modules' results.
%   [bands, approx] = wavelet_bands(sz, L)
%   [bands, approx] = wavelet_bands(sz, L, transform)
%
%   sz is the size of the transformed signal (size(x): a vector or a
%   matrix), L the number of levels, transform 'decimated' (the default:
%   the pyramid layout of kaldor's result y, which vestran reads) or
%   'redundant' (the band layout of ostrevin's yh, which quillomar reads).
%
%   bands: struct array, one element per detail band, finest level first,
%   with fields
%     level    1 (finest) to L
%     highpass where the high-pass filter ran: 'signal' for a vector;
%              'rows' (along each row, so across the columns: vertical
%              edges), 'columns' (horizontal edges) or 'both' for a matrix
%     index    linear indices of the band's coefficients in y (decimated)
%              or yh (redundant), as a column
%     rows, columns  the same band as a block: y(rows, columns) for a
%              matrix; for a vector, rows = index and columns = 1, to use
%              on y(:) or yh(:)
%     size     the band's size as a matrix, [rows columns]
%   approx: linear indices of the approximation of level L in y (decimated);
%   for 'redundant' the approximation is all of yl, so approx = (1:numel)'.
%
%   Layouts. Decimated, vector of n samples: y = approximation (n/2^L),
%   details of level L, L-1, ..., 1 (n/2^k samples each). Decimated, M-by-N
%   matrix: level k works on the top-left block of M/2^(k-1) by N/2^(k-1)
%   and leaves four quarters: top-left the next block, top-right high along
%   rows, bottom-left high along columns, bottom-right high along both.
%   Redundant: every band has the size of x; in yh, level k of a vector
%   fills positions (k-1)*n+1 ... k*n; for a matrix, level k fills columns
%   3N(k-1)+1 ... 3Nk, three M-by-N bands side by side: high along
%   columns, high along rows, high along both.
%
%   The sizes must admit L levels (each dimension above 1 a multiple of
%   2^L), as the modules require.
%
%   Example:
%     x = randn(64, 64);
%     y = kaldor(x, wavelet_filter('db2'), 3);
%     b = wavelet_bands(size(x), 3);
%     finest_diagonal = y(b(3).index);     % level 1, high along both

  if nargin < 2 || nargin > 3
    error('wavelet_bands: takes 2 or 3 arguments: wavelet_bands(sz, L, transform).');
  end
  if nargin < 3
    transform = 'decimated';
  end
  if ~(isnumeric(sz) && isreal(sz) && numel(sz) == 2 && all(sz >= 0 & sz == fix(sz)))
    error('wavelet_bands: the size must be two non-negative integers, as size(x) gives.');
  end
  if ~(isnumeric(L) && isreal(L) && isscalar(L) && L >= 0 && L == fix(L))
    error('wavelet_bands: the number of levels must be a non-negative integer.');
  end
  if ~ischar(transform) || ~any(strcmp(transform, {'decimated', 'redundant'}))
    error('wavelet_bands: the transform must be ''decimated'' or ''redundant''.');
  end
  M = double(sz(1));
  N = double(sz(2));
  vector = M == 1 || N == 1;
  for d = [M N]
    if d > 1 && mod(d, 2 ^ L) ~= 0
      error('wavelet_bands: a size of %d does not admit %d levels (it must be a multiple of 2^L = %d).', ...
            d, L, 2 ^ L);
    end
  end

  bands = struct('level', {}, 'highpass', {}, 'index', {}, 'rows', {}, 'columns', {}, 'size', {});
  if vector
    n = M * N;
    index = cell(1, L);
    sizes = cell(1, L);
    for k = 1:L
      if strcmp(transform, 'decimated')
        index{k} = (n / 2 ^ k + 1:n / 2 ^ (k - 1))';
      else
        index{k} = ((k - 1) * n + 1:k * n)';
      end
      sizes{k} = [numel(index{k}) 1];
    end
    bands = struct('level', num2cell(1:L), 'highpass', 'signal', 'index', index, 'rows', index, ...
                   'columns', 1, 'size', sizes);
    if strcmp(transform, 'decimated')
      approx = (1:n / 2 ^ L)';
    else
      approx = (1:n)';
    end
    return;
  end

  names = {'columns', 'rows', 'both'};
  for k = 1:L
    if strcmp(transform, 'decimated')
      R = M / 2 ^ (k - 1);
      C = N / 2 ^ (k - 1);
      % (row offset, column offset) of each quarter of the level's block
      corners = [R / 2, 0; 0, C / 2; R / 2, C / 2];
      for q = 1:3
        rows = corners(q, 1) + (1:R / 2)';
        cols = corners(q, 2) + (1:C / 2);
        index = reshape(rows + (cols - 1) * M, [], 1);
        bands(end + 1) = struct('level', k, 'highpass', names{q}, 'index', index, ...
                                'rows', rows', 'columns', cols, 'size', [R / 2, C / 2]);
      end
    else
      for q = 1:3
        first = (3 * (k - 1) + q - 1) * M * N;
        bands(end + 1) = struct('level', k, 'highpass', names{q}, ...
                                'index', (first + 1:first + M * N)', 'rows', 1:M, ...
                                'columns', first / M + (1:N), 'size', [M N]);
      end
    end
  end
  if strcmp(transform, 'decimated')
    approx = reshape((1:M / 2 ^ L)' + ((1:N / 2 ^ L) - 1) * M, [], 1);
  else
    approx = (1:M * N)';
  end
end

%!test
%! % Decimated vector: the pyramid as kaldor writes it, for a row and a column.
%! [b, a] = wavelet_bands([1 16], 3);
%! assert([b.level], [1 2 3]);
%! assert(b(1).index', 9:16);
%! assert(b(2).index', 5:8);
%! assert(b(3).index', 3:4);
%! assert(a', 1:2);
%! assert(wavelet_bands([16 1], 3), b);

%!test
%! % Every coefficient belongs to exactly one band or the approximation.
%! for t = {'decimated', 'redundant'}
%!   for sz = {[1 32], [32 1], [16 8], [8 32]}
%!     [b, a] = wavelet_bands(sz{1}, 3, t{1});
%!     all_index = sort([vertcat(b.index); a * strcmp(t{1}, 'decimated')]);
%!     all_index = all_index(all_index > 0);
%!     if strcmp(t{1}, 'decimated')
%!       assert(all_index', 1:prod(sz{1}));
%!     else
%!       assert(all_index', 1:prod(sz{1}) * numel(b));
%!     end
%!   end
%! end

%!test
%! % Decimated image: a pattern that varies only along each row (columns
%! % constant) has details only where the high-pass ran along rows.
%! h = [1 1] / sqrt(2);
%! x = repmat([1 5 2 8 3 3 9 1], 8, 1);
%! y = kaldor(x, h, 2);
%! b = wavelet_bands(size(x), 2);
%! for k = 1:numel(b)
%!   e = sum(y(b(k).index) .^ 2);
%!   assert(e > 0, strcmp(b(k).highpass, 'rows'));
%!   assert(y(b(k).rows, b(k).columns)(:), y(b(k).index));
%! end
%! % Transposed: only the column bands.
%! y = kaldor(x', h, 2);
%! for k = 1:numel(b)
%!   assert(sum(y(b(k).index) .^ 2) > 0, strcmp(b(k).highpass, 'columns'));
%! end

%!test
%! % Redundant image: the same, in ostrevin's yh.
%! h = [1 1] / sqrt(2);
%! x = repmat([1 5 2 8 3 3 9 1], 8, 1);
%! [~, yh] = ostrevin(x, h, 2);
%! b = wavelet_bands(size(x), 2, 'redundant');
%! assert(numel(b), 6);
%! for k = 1:numel(b)
%!   assert(sum(yh(b(k).index) .^ 2) > 0, strcmp(b(k).highpass, 'rows'));
%!   assert(yh(b(k).rows, b(k).columns)(:), yh(b(k).index));
%! end
%! [~, yh] = ostrevin(x', h, 2);
%! for k = 1:numel(b)
%!   assert(sum(yh(b(k).index) .^ 2) > 0, strcmp(b(k).highpass, 'columns'));
%! end

%!error <wavelet_bands: a size of 12 does not admit 3 levels \(it must be a multiple of 2\^L = 8\)\.> wavelet_bands([12 16], 3)
%!error <wavelet_bands: the transform must be 'decimated' or 'redundant'\.> wavelet_bands([8 8], 1, 'swt')
%!error <wavelet_bands: the number of levels must be a non-negative integer\.> wavelet_bands([8 8], 1.5)
%!error <wavelet_bands: the size must be two non-negative integers, as size\(x\) gives\.> wavelet_bands([8 8 8], 1)
