function smoke_modules(names, folder)
% Checks that each named module runs from folder as a compiled module with
% its help beside it: the name resolves to folder/<name>.mex, "help <name>"
% prints the module's help, a call without arguments is rejected by the
% module itself (not by the help stub's "not built" error), and the example
% of the help text runs.
  for k = 1:numel(names)
    name = names{k};
    where = which(name);
    expected = fullfile(folder, [name '.mex']);
    if ! strcmp(canonical(where), canonical(expected))
      error('smoke_modules: %s resolves to "%s", not to %s', name, where, expected);
    end
    if isempty(dir(fullfile(folder, [name '.m'])))
      error('smoke_modules: %s has no help file %s.m beside it', name, name);
    end

    text = evalc(['help ' name]);
    if isempty(strfind(text, upper(name))) || ! isempty(strfind(text, 'not documented'))
      error('smoke_modules: "help %s" does not print its help:\n%s', name, text);
    end

    f = str2func(name);
    try
      f();
    catch err
      if strcmp(err.identifier, 'lassowave:notBuilt')
        error('smoke_modules: %s ran its help stub, not the module', name);
      end
      if ! strncmp(err.message, [name ': '], numel(name) + 2)
        error('smoke_modules: %s without arguments failed with "%s"', name, err.message);
      end
    end

    example = help_example(text);
    if isempty(example)
      error('smoke_modules: the help of %s has no Example', name);
    end
    try
      run_example(example);
    catch err
      error('smoke_modules: the example of %s fails: %s\n%s', name, err.message, example);
    end
  end
end

function run_example(code)
  % In a workspace of its own, so that the example's variables stay there.
  evalc(code);
end

function p = canonical(p)
  c = canonicalize_file_name(p);
  if ! isempty(c)
    p = c;
  end
end

function code = help_example(text)
  % The lines after "Example:" (or "Examples:") up to "See also" or the end.
  code = '';
  lines = strsplit(text, "\n");
  start = find(! cellfun(@isempty, regexp(lines, '^\s*Examples?:\s*$', 'once')), 1);
  if isempty(start)
    return;
  end
  body = {};
  for k = start + 1:numel(lines)
    if ! isempty(regexp(lines{k}, '^\s*See also', 'once'))
      break;
    end
    body{end + 1} = lines{k};
  end
  code = strjoin(body, "\n");
end
