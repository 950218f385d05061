function status = check_build_script(root, table_file)
% build_lassowave.m inside Octave: builds every module into a fresh folder,
% where each module then runs, prints its help and passes its built-in
% tests; the MATLAB commands it would run carry the right flags; a module
% that does not compile is named with the compiler's reason while the
% others are still built. Returns 0 on success.
  status = 1;
  out = tempname();
  tree = tempname();
  unwind_protect
    try
      addpath(root);
      info = build_lassowave('-info');
      names = {info.modules.name};

      report = build_lassowave(out);
      assert(all([report.ok]));
      assert({report.name}, names);
      addpath(out);
      smoke_modules(names, out);
      for k = 1:numel(names)
        [passed, total] = test(names{k}, 'quiet', stdout);
        if total == 0 || passed < total
          error('test %s: %d of %d built-in tests pass', names{k}, passed, total);
        end
      end
      rmpath(out);

      check_matlab_commands(info, fullfile(out, 'matlab'));
      check_failure_report(root, tree);

      printf('build_lassowave: %d modules built, smoke-tested and tested\n', numel(names));
      status = 0;
    catch err
      printf('check_build_script: %s\n', err.message);
    end
  unwind_protect_cleanup
    confirm_recursive_rmdir(false, 'local');
    for d = {out, tree}
      if exist(d{1}, 'dir')
        rmdir(d{1}, 's');
      end
    end
  end_unwind_protect
end

function check_matlab_commands(info, out)
  % The commands a MATLAB build would run (nothing is compiled).
  report = build_lassowave(out, 'host', 'matlab', 'dryrun', true);
  assert(! exist(out, 'dir'), 'a dry run created the output folder');
  k = 0;
  for m = info.modules
    switch m.level
      case 'large'
        expect = {{'-largeArrayDims', out}};
      case 'index32'
        expect = {{'-compatibleArrayDims', out}};
      case 'large+index32'
        expect = {{'-largeArrayDims', out}, {'-compatibleArrayDims', fullfile(out, 'index32')}};
    end
    for e = expect
      k = k + 1;
      b = report(k);
      a = b.args;
      what = sprintf('MATLAB build %d (%s)', k, m.name);
      assert(b.name, m.name, what);
      assert(a{1}, '-R2017b', what);
      assert(a{2}, e{1}{1}, what);
      assert(sum(strcmp(a, '-largeArrayDims') | strcmp(a, '-compatibleArrayDims')), 1, what);
      assert(a{find(strcmp(a, '-outdir')) + 1}, e{1}{2}, what);
      assert(a{find(strcmp(a, '-output')) + 1}, m.name, what);
      srcs = a(end - numel(m.sources):end);
      assert(regexprep(srcs{end}, '.*[\\/]', ''), 'mex_api_version.c', what);
      for s = 1:numel(m.sources)
        assert(! isempty(strfind(strrep(srcs{s}, '\', '/'), m.sources{s})), what);
      end
      if ! ispc()
        flags = a(strncmp(a, 'CXXFLAGS=', 9));
        assert(numel(flags), 1, what);
        assert(! isempty(strfind(flags{1}, '-std=c++17')), what);
        assert(! isempty(strfind(flags{1}, '-ffp-contract=off')), what);
      end
    end
  end
  assert(numel(report), k);
end

function check_failure_report(root, tree)
  % A tree of three modules: one that builds, one that does not compile and
  % one whose source is missing.
  mkdir(fullfile(tree, 'host'));
  mkdir(fullfile(tree, 'sub'));
  copyfile(fullfile(root, 'build_lassowave.m'), tree);
  copyfile(fullfile(root, 'host', '*'), fullfile(tree, 'host'));
  copyfile(fullfile(root, 'penalty', 'vintrask.cpp'), fullfile(tree, 'sub'));
  copyfile(fullfile(root, 'penalty', 'penalty_frame.*'), fullfile(tree, 'sub'));
  write_file(fullfile(tree, 'sub', 'broken.cpp'), "int broken( { return 0; }\n");
  write_file(fullfile(tree, 'CMakeLists.txt'), "project(lassowave VERSION 0.0.1)\nadd_subdirectory(sub)\n");
  write_file(fullfile(tree, 'sub', 'CMakeLists.txt'), [ ...
    "lassowave_add_module(NAME vintrask SOURCES vintrask.cpp penalty_frame.cpp)\n" ...
    "lassowave_add_module(NAME broken SOURCES broken.cpp)\n" ...
    "lassowave_add_module(NAME lost SOURCES lost.cpp INDEX32)\n"]);
  out = fullfile(tree, 'out');
  addpath(tree);
  unwind_protect
    % What the user sees (stdout and stderr), then the final error.
    printed = evalc('try, build_lassowave(out); catch e, printf(''\nERROR: %s\n'', e.message); end');
  unwind_protect_cleanup
    rmpath(tree);
  end_unwind_protect
  assert(! isempty(strfind(printed, 'ERROR: build_lassowave: 2 of 3 builds failed: broken, lost.')), printed);
  assert(! isempty(regexp(printed, 'module broken failed: [^\n]*broken\.cpp[^\n]*error', 'once')), printed);
  assert(! isempty(strfind(printed, 'module lost failed: missing file sub/lost.cpp')), printed);
  assert(! isempty(dir(fullfile(out, 'vintrask.mex'))), 'the module that compiles was not built');
  assert(isempty(dir(fullfile(out, 'broken.mex'))));
end

function write_file(file, text)
  fid = fopen(file, 'w');
  fputs(fid, text);
  fclose(fid);
end
