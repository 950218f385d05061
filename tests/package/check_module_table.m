function status = check_module_table(root, table_file, version)
% build_lassowave.m reads the module list from the lassowave_add_module
% calls itself; CMake wrote the table of what lassowave_add_module
% recorded. Both must name the same modules, levels, help files and
% sources, in the same order, and the same version. Returns 0 on success.
  status = 1;
  try
    addpath(root);
    info = build_lassowave('-info');
    if ! strcmp(info.version, version)
      error('build_lassowave reads version %s, the project version is %s', info.version, version);
    end
    expected = read_table(table_file);
    got = cell(1, numel(info.modules));
    for k = 1:numel(info.modules)
      m = info.modules(k);
      help = m.help;
      if isempty(help)
        help = '-';
      end
      got{k} = strjoin([{m.name, m.level, help}, m.sources], ' ');
    end
    if ! isequal(got, expected)
      error('the module tables differ:\nCMake:\n  %s\nbuild_lassowave:\n  %s', ...
            strjoin(expected, "\n  "), strjoin(got, "\n  "));
    end

    % build_lassowave.m must also parse in MATLAB: no Octave-only syntax
    % outside comments and strings.
    check_matlab_syntax(fullfile(root, 'build_lassowave.m'));

    % A module a build script could not understand is an error, not a
    % silently missing module.
    tree = tempname();
    unwind_protect
      mkdir(fullfile(tree, 'sub'));
      write_file(fullfile(tree, 'CMakeLists.txt'), ...
                 "project(lassowave VERSION 9.8.7)\nadd_subdirectory(sub)\n");
      write_file(fullfile(tree, 'sub', 'CMakeLists.txt'), ...
                 "lassowave_add_module(NAME a SOURCES ${A_SOURCES})\n");
      copyfile(fullfile(root, 'build_lassowave.m'), tree);
      addpath(tree);
      try
        build_lassowave('-info');
        error('a module with a variable in its sources was accepted');
      catch err
        if isempty(strfind(err.message, 'passes ${A_SOURCES} to lassowave_add_module'))
          rethrow(err);
        end
      end
      rmpath(tree);
    unwind_protect_cleanup
      confirm_recursive_rmdir(false, 'local');
      rmdir(tree, 's');
    end_unwind_protect

    printf('module table: %d modules, version %s, agree\n', numel(got), version);
    status = 0;
  catch err
    printf('check_module_table: %s\n', err.message);
  end
end

function rows = read_table(file)
  rows = {};
  for line = strsplit(fileread(file), "\n")
    l = strtrim(line{1});
    if ! isempty(l) && l(1) != '#'
      rows{end + 1} = strjoin(strsplit(l, ' '), ' ');
    end
  end
end

function check_matlab_syntax(file)
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
