function status = check_build_script_matlab(root, standin, check, compare)
% build_lassowave.m's MATLAB branch for real: the script writes its MATLAB
% commands (a dry run, from Octave, for GCC), the stand-in MATLAB's mex
% runs each of them into a folder whose path has a blank, and the modules
% it makes pass check_matlab_build.sh. Returns 0 on success.
  status = 1;
  out = [tempname() ' with blank'];
  unwind_protect
    try
      addpath(root);
      report = build_lassowave(out, 'host', 'matlab', 'dryrun', true, 'compiler', 'gnu');
      mex = fullfile(standin, 'bin', 'mex');
      for k = 1:numel(report)
        b = report(k);
        cmd = quote(mex);
        for a = b.args
          cmd = [cmd ' ' quote(a{1})];
        end
        [rc, text] = system([cmd ' 2>&1']);
        if rc != 0
          error('mex for %s failed:\n%s\n%s', b.name, cmd, text);
        end
        % What the real mex prints for a clean build, and no compiler output.
        expected = sprintf('Building with ''g++''.\nMEX completed successfully.\n');
        if ! strcmp(text, expected)
          error('mex for %s printed more than a clean build does:\n%s', b.name, text);
        end
      end
      line = sprintf('bash %s %s %s 131482 %s', quote(check), quote(standin), quote(out), ...
                     quote(compare));
      [rc, text] = system(line);
      printf('%s', text);
      assert(rc == 0, 'the modules mex made from build_lassowave''s commands fail their checks');
      printf('build_lassowave, MATLAB branch: %d builds made by the stand-in mex and checked\n', ...
             numel(report));
      status = 0;
    catch err
      printf('check_build_script_matlab: %s\n', err.message);
    end
  unwind_protect_cleanup
    confirm_recursive_rmdir(false, 'local');
    if exist(out, 'dir')
      rmdir(out, 's');
    end
  end_unwind_protect
end

function q = quote(a)
  q = ['''' strrep(a, '''', '''\''''') ''''];
end
