function status = check_example(file, module_dir)
% Runs one example script in the current folder (without changing to the
% script's folder, as run() would) with the modules of module_dir and the
% examples' helper (example_figure.m) on the path.
% The example asserts its own outcome; this checks that it also wrote its
% figure, a small PNG named after it. Returns 0 on success.
  status = 1;
  try
    addpath(module_dir, fileparts(file));
    [~, name] = fileparts(file);
    png = [name '.png'];
    if exist(png, 'file')
      delete(png);
    end
    run_script(file);
    info = dir(png);
    assert(numel(info) == 1, '%s wrote no %s', name, png);
    fid = fopen(png, 'r');
    magic = fread(fid, 8, 'uint8')';
    fclose(fid);
    assert(isequal(magic, [137 80 78 71 13 10 26 10]), '%s is not a PNG file', png);
    assert(info.bytes < 100e3, '%s is %d bytes; keep figures small', png, info.bytes);
    printf('%s: outcome asserted, %s written (%d bytes)\n', name, png, info.bytes);
    status = 0;
  catch err
    printf('check_example: %s\n', err.message);
  end
end

function run_script(file)
  % A workspace of its own for the script's variables.
  source(file);
end
