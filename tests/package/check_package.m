function status = check_package(tarball, table_file, toolbox_dir)
% Installs the Octave package into a temporary prefix with its own package
% list, loads it, checks that every module sits beside its help file and
% runs (smoke_modules), that every function of toolbox_dir is on the path
% from the package with its help, runs "pkg test lassowave", unloads and
% uninstalls it. Returns 0 on success.
  status = 1;
  prefix = tempname();
  names = module_names(table_file);
  unwind_protect
    try
      mkdir(prefix);
      pkg('prefix', fullfile(prefix, 'share'), fullfile(prefix, 'lib'));
      pkg('local_list', fullfile(prefix, 'octave_packages'));
      % Packages installed for the whole machine are not this test's.
      pkg('global_list', fullfile(prefix, 'global_packages'));
      pkg('install', '-local', tarball);
      [desc, flag] = pkg('describe', 'lassowave');
      assert(flag{1}, 'Not loaded');
      pkg('load', 'lassowave');
      list = pkg('list', 'lassowave');
      dir = list{1}.dir;
      assert(strncmp(dir, prefix, numel(prefix)), 'installed outside the temporary prefix: %s', dir);
      [~, base, ext] = fileparts(dir);
      assert([base ext], ['lassowave-' list{1}.version]);

      smoke_modules(names, dir);
      functions = toolbox_names(toolbox_dir);
      for k = 1:numel(functions)
        f = functions{k};
        assert(strcmp(which(f), fullfile(dir, [f '.m'])), '%s is not installed: which gives "%s"', f, which(f));
        assert(! isempty(strtrim(get_help_text(f))), '%s has no help', f);
      end
      % Nothing compiled may be left in the architecture folder, where
      % Octave would find no help for it.
      arch = glob(fullfile(prefix, 'lib', '**', '*.mex'));
      assert(isempty(arch), 'modules in the architecture folder: %s', strjoin(arch', ', '));
      extra = setdiff(regexprep(cellstr(ls(fullfile(dir, '*.mex'))), '.*/|\.mex$', ''), names);
      assert(isempty(extra), 'unexpected modules installed: %s', strjoin(extra, ', '));

      % pkg test writes its log into the current folder.
      here = pwd();
      cd(prefix);
      unwind_protect
        printed = evalc('pkg test lassowave');
      unwind_protect_cleanup
        cd(here);
      end_unwind_protect
      printf('%s', printed);
      pass = regexp(printed, 'PASS\s+(\d+)', 'tokens', 'once');
      fail = regexp(printed, 'FAIL\s+(\d+)', 'tokens', 'once');
      assert(! isempty(pass) && str2double(pass{1}) > 0, 'pkg test ran no test');
      assert(isempty(fail) || str2double(fail{1}) == 0, 'pkg test: %s tests fail', fail{1});
      untested = regexp(printed, '(\d+) \(of \d+\) \.m files? (have|has) no tests', 'tokens', 'once');
      assert(isempty(untested) || str2double(untested{1}) == 0, ...
             'pkg test: %s help files have no built-in tests', untested{1});

      pkg('unload', 'lassowave');
      assert(isempty(which(names{1})), '%s is still on the path after pkg unload', names{1});
      pkg('uninstall', '-local', 'lassowave');
      assert(isempty(pkg('list')), 'lassowave is still listed after pkg uninstall');
      assert(! exist(dir, 'dir'), 'pkg uninstall left %s', dir);

      printf('package %s: installed, %d modules work, %d functions, tested, uninstalled\n', ...
             tarball, numel(names), numel(functions));
      status = 0;
    catch err
      printf('check_package: %s\n', err.message);
    end
  unwind_protect_cleanup
    confirm_recursive_rmdir(false, 'local');
    if exist(prefix, 'dir')
      rmdir(prefix, 's');
    end
  end_unwind_protect
end

function names = module_names(table_file)
  names = {};
  for line = strsplit(fileread(table_file), "\n")
    l = strtrim(line{1});
    if ! isempty(l) && l(1) != '#'
      names{end + 1} = strtok(l);
    end
  end
end

function names = toolbox_names(toolbox_dir)
  files = dir(fullfile(toolbox_dir, '*.m'));
  names = regexprep({files.name}, '\.m$', '');
end
