function status = check_build_script(root, version)
% build_lassowave.m inside Octave: builds every module into a fresh folder
% whose path has a blank, quietly (no compiler output for a clean build),
% where each module then runs, prints its help and passes its built-in
% tests; it reads the project version; the MATLAB commands it would run
% carry the right flags for each compiler; a module that does not compile
% is named with the compiler's reason while the others are still built; a
% malformed table row is refused; the script parses in MATLAB. Returns 0
% on success.
  status = 1;
  out = [tempname() ' with blank'];
  tree = tempname();
  unwind_protect
    try
      addpath(root);
      check_matlab_syntax(fullfile(root, 'build_lassowave.m'));
      info = build_lassowave('-info');
      assert(info.version, version, 'build_lassowave reads the version');
      names = {info.modules.name};

      printed = evalc('report = build_lassowave(out);');
      assert(all([report.ok]));
      assert({report.name}, names);
      assert(isempty(strfind(printed, 'compiler')), 'a clean build printed compiler output:\n%s', printed);
      assert(isempty(regexp(printed, '\<note\>', 'once')), 'a clean build printed a note:\n%s', printed);
      addpath(out);
      smoke_modules(names, out);
      % The functions over the modules come along, data and private/ too.
      for f = dir(fullfile(root, 'toolbox', '*'))'
        if ! any(strcmp(f.name, {'.', '..'}))
          assert(exist(fullfile(out, f.name)) != 0, 'build_lassowave did not copy toolbox/%s', f.name);
        end
      end
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
  % The commands a MATLAB build would run (nothing is compiled), for each
  % compiler family.
  for compiler = {'gnu', 'msvc'}
    report = build_lassowave(out, 'host', 'matlab', 'dryrun', true, 'compiler', compiler{1});
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
        what = sprintf('MATLAB build %d (%s, %s)', k, m.name, compiler{1});
        assert(b.name, m.name, what);
        assert(a{1}, '-R2017b', what);
        assert(a{2}, e{1}{1}, what);
        assert(sum(strcmp(a, '-largeArrayDims') | strcmp(a, '-compatibleArrayDims')), 1, what);
        assert(a{find(strcmp(a, '-outdir')) + 1}, e{1}{2}, what);
        assert(a{find(strcmp(a, '-output')) + 1}, m.name, what);
        % mex compiles MATLAB's version source into the large-array builds;
        % the 32-bit builds bring mexVersion themselves.
        index32 = strcmp(e{1}{1}, '-compatibleArrayDims');
        srcs = a(end - numel(m.sources) + 1 - index32:end);
        for s = 1:numel(m.sources)
          assert(! isempty(strfind(strrep(srcs{s}, '\', '/'), m.sources{s})), what);
        end
        assert(sum(! cellfun(@isempty, regexp(a, 'mex_api_version\.c$'))), double(index32), what);
        if index32
          assert(regexprep(srcs{end}, '.*[\\/]', ''), 'mex_api_version.c', what);
        end
        % Nothing hides an entry point: mex's export map decides.
        assert(! any(! cellfun(@isempty, strfind(a, 'visibility'))), what);
        overrides = a(! cellfun(@isempty, regexp(a, '^[A-Z]+=', 'once')));
        if strcmp(compiler{1}, 'gnu')
          assert(sort(regexprep(overrides, '=.*', '')), {'CFLAGS', 'CXXFLAGS'}, what);
          cxx = overrides{strncmp(overrides, 'CXXFLAGS=', 9)};
          assert(strncmp(cxx, 'CXXFLAGS=$CXXFLAGS ', 19), what);
          assert(! isempty(strfind(cxx, '-std=c++17')), what);
          assert(! isempty(strfind(cxx, '-ffp-contract=off')), what);
          c = overrides{strncmp(overrides, 'CFLAGS=', 7)};
          assert(! isempty(strfind(c, '-ffp-contract=off')), what);
        else
          % cl: its own options only, strict floating point (no contraction).
          assert(numel(overrides), 1, what);
          assert(strncmp(overrides{1}, 'COMPFLAGS=$COMPFLAGS ', 21), what);
          assert(! isempty(strfind(overrides{1}, '/std:c++17')), what);
          assert(! isempty(strfind(overrides{1}, '/fp:strict')), what);
          assert(isempty(regexp(overrides{1}, '(^|\s)-', 'once')), what);
          assert(! any(strcmp(a, '-lm')), what);
        end
      end
    end
    assert(numel(report), k);
  end
end

function check_failure_report(root, tree)
  % A tree of three modules: one that builds, one that does not compile and
  % one whose source is missing.
  mkdir(fullfile(tree, 'host'));
  mkdir(fullfile(tree, 'sub'));
  mkdir(fullfile(tree, 'cmake'));
  copyfile(fullfile(root, 'cmake', 'module_flags.txt'), fullfile(tree, 'cmake'));
  copyfile(fullfile(root, 'build_lassowave.m'), tree);
  copyfile(fullfile(root, 'host', '*'), fullfile(tree, 'host'));
  copyfile(fullfile(root, 'penalty', 'vintrask.cpp'), fullfile(tree, 'sub'));
  copyfile(fullfile(root, 'penalty', 'penalty_frame.*'), fullfile(tree, 'sub'));
  write_file(fullfile(tree, 'sub', 'broken.cpp'), "int broken( { return 0; }\n");
  write_file(fullfile(tree, 'CMakeLists.txt'), "project(lassowave VERSION 0.0.1)\n");
  write_file(fullfile(tree, 'cmake', 'modules.txt'), [ ...
    "# a test table\n" ...
    "vintrask large - sub/vintrask.cpp sub/penalty_frame.cpp\n\n" ...
    "broken large - sub/broken.cpp\n" ...
    "lost   index32   -   sub/lost.cpp\n"]);
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

  % A row the script does not understand stops it before anything is built.
  write_file(fullfile(tree, 'cmake', 'modules.txt'), "vintrask lage - sub/vintrask.cpp\n");
  addpath(tree);
  unwind_protect
    try
      build_lassowave('-info');
      error('a module table row with an unknown level was accepted');
    catch err
      assert(! isempty(strfind(err.message, '"vintrask lage - sub/vintrask.cpp" is not')), err.message);
    end
  unwind_protect_cleanup
    rmpath(tree);
  end_unwind_protect
end

function check_matlab_syntax(file)
  % No Octave-only syntax outside comments and strings.
  lines = strsplit(fileread(file), "\n");
  for k = 1:numel(lines)
    code = regexprep(lines{k}, "'([^']|'')*'", "''");   % strings
    code = regexprep(code, '%.*$', '');                  % comments
    bad = regexp(code, '(!|"|#|\+=|-=|\+\+|\<end(if|for|while|function|switch)\>|\<end_try_catch\>|\<unwind_protect|(^|[^\w])__\w)', 'match', 'once');
    if ! isempty(bad)
      error('%s:%d uses %s, which MATLAB does not parse: %s', file, k, bad, strtrim(lines{k}));
    end
  end
end

function write_file(file, text)
  fid = fopen(file, 'w');
  fputs(fid, text);
  fclose(fid);
end
