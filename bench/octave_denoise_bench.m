% Times wavelet_denoise on the cases bench/peer_skimage_denoise.py wrote into
% data_dir (set before running), with the same wavelet (db4), levels and
% rules as scikit-image's run: decimated with BayesShrink and the universal
% rule, redundant with BayesShrink. Prints
% "RESULT octave/denoise/<case>/<transform>/<rule>/<psnr|ms> <value>";
% time the fastest of `repeats` calls (default 7).
if ~exist('repeats', 'var')
  repeats = 7;
end
names = strsplit(strtrim(fileread(fullfile(data_dir, 'cases.txt'))), ' ');
runs = {'decimated', 'bayes'; 'decimated', 'universal'; 'redundant', 'bayes'};
for k = 1:numel(names)
  base = fullfile(data_dir, names{k});
  info = sscanf(fileread([base '.size']), '%f');
  rows = info(1);
  cols = info(2);
  levels = info(3);
  peak = info(4);
  % numpy wrote rows one after another: read as columns and transpose.
  both = cell(1, 2);
  suffixes = {'clean', 'noisy'};
  for s = 1:2
    fid = fopen([base '.' suffixes{s}], 'r');
    if fid < 0
      error('octave_denoise_bench: cannot read %s.%s', base, suffixes{s});
    end
    both{s} = reshape(fread(fid, inf, 'double', 0, 'ieee-le'), cols, rows)';
    fclose(fid);
  end
  [clean, noisy] = both{:};
  for r = 1:size(runs, 1)
    opts = struct('transform', runs{r, 1}, 'rule', runs{r, 2});
    best = inf;
    for rep = 1:repeats
      start = tic;
      x = wavelet_denoise(noisy, 'db4', levels, opts);
      best = min(best, toc(start));
    end
    value = 10 * log10(peak ^ 2 / mean((x(:) - clean(:)) .^ 2));
    key = sprintf('octave/denoise/%s/%s/%s', names{k}, runs{r, 1}, runs{r, 2});
    printf('RESULT %s/psnr %.4f\nRESULT %s/ms %.4f\n', key, value, key, 1e3 * best);
  end
end
