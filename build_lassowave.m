function report = build_lassowave(varargin)
%BUILD_LASSOWAVE Build every lassowave module inside Octave or MATLAB.
%   build_lassowave
%   build_lassowave(outdir)
%   build_lassowave(outdir, 'modules', {'vintrask', 'zelmonte'})
%   report = build_lassowave(...)
%   info = build_lassowave('-info')
%
%   Compiles every lassowave module with the running host's own mex command
%   into the folder outdir (default: build-octave or build-matlab beside
%   this file) and copies each module's help file beside it, so that
%   "help <name>" describes it, and the functions written over the modules
%   (the folder toolbox/: solvers, wavelet filters, denoising) with them.
%   Then use both with addpath(outdir).
%
%   MATLAB (mex, R2017b or newer): every build uses -R2017b; the
%   large-array builds add -largeArrayDims and get mexfilerequiredapiversion
%   from MATLAB's own version source, which mex compiles in; the
%   32-bit-index builds add -compatibleArrayDims and host/mex_api_version.c,
%   which gives them mexVersion. mex's own export map decides what is
%   visible. Modules delivered at both levels (fenwarix) get their
%   32-bit-index variant in the subfolder index32/ of outdir, with its own
%   copy of the help file. The flags follow the compiler MATLAB is set up
%   with (mex -setup): Microsoft's cl gets COMPFLAGS, GCC, Clang and
%   MinGW-w64 get CFLAGS and CXXFLAGS.
%   Octave (mkoctfile --mex, which is what Octave's mex command runs): Octave
%   has a single array interface, so each module is built once, in outdir,
%   with host/mex_api_version.c and the project's export map.
%   Both: C++17, no contraction into fused multiply-adds and no fast-math
%   (results follow the modules' written evaluation order bit for bit); an
%   Octave for 32-bit x86 adds SSE2 arithmetic (-msse2 -mfpmath=sse), so
%   that doubles are binary64 there too.
%
%   The module list, each module's sources, help file and array-interface
%   level come from cmake/modules.txt and the compile flags from
%   cmake/module_flags.txt, the files the CMake build reads; the version is
%   the one of the project() line of CMakeLists.txt.
%
%   Options (name, value pairs after outdir):
%     'modules'  cell array of module names: build only these
%     'host'     'octave' or 'matlab' (default: the running host); naming the
%                other host needs 'dryrun'
%     'dryrun'   true: compile nothing, return the commands in the report
%     'compiler' MATLAB only: 'gnu' (GCC, Clang, MinGW-w64) or 'msvc'
%                (default: the C++ compiler MATLAB's mex is set up with)
%     'verbose'  true: pass -v to the compiler driver
%
%   report: one element per build (a module or its 32-bit-index variant),
%   with fields name, variant ('large' or 'index32'), folder, ok, message
%   (the compiler's output or what was missing) and args (the mex or
%   mkoctfile arguments). Compiler output is printed only when it holds a
%   warning or an error.
%   info = build_lassowave('-info'): struct with fields version, root and
%   modules (name, level, help, sources; paths relative to root).
%
%   A module that fails does not stop the others: each failure is printed
%   with the module's name and the reason (a missing file, or the compiler's
%   output), and at the end the error lassowave:buildFailed names the
%   failed modules.
%
%   Example:
%     build_lassowave('mex-out');
%     addpath('mex-out');
%     help vintrask

  root = fileparts(mfilename('fullpath'));
  info.version = read_version(root);
  info.root = root;
  info.modules = read_modules(root);
  if nargin == 1 && ischar(varargin{1}) && strcmp(varargin{1}, '-info')
    report = info;
    return;
  end

  is_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  opts = struct('modules', {{}}, 'host', '', 'dryrun', false, 'verbose', false, 'compiler', '');
  outdir = '';
  args = varargin;
  if ~isempty(args) && mod(numel(args), 2) == 1
    outdir = args{1};
    args = args(2:end);
  end
  for k = 1:2:numel(args)
    key = args{k};
    if ~ischar(key) || ~isfield(opts, key)
      error('lassowave:badOption', 'build_lassowave: unknown option %s.', describe(key));
    end
    opts.(key) = args{k + 1};
  end
  if isempty(opts.host)
    if is_octave
      opts.host = 'octave';
    else
      opts.host = 'matlab';
    end
  end
  if ~any(strcmp(opts.host, {'octave', 'matlab'}))
    error('lassowave:badOption', 'build_lassowave: option host must be ''octave'' or ''matlab''.');
  end
  if strcmp(opts.host, 'octave') ~= is_octave && ~opts.dryrun
    error('lassowave:badOption', ...
          'build_lassowave: cannot build for %s while running in another host (use ''dryrun'', true).', ...
          opts.host);
  end
  if isempty(outdir)
    outdir = fullfile(root, ['build-' opts.host]);
  end
  if isempty(opts.compiler)
    opts.compiler = 'gnu';
    if strcmp(opts.host, 'matlab')
      opts.compiler = matlab_compiler(is_octave);
    end
  end
  if ~any(strcmp(opts.compiler, {'gnu', 'msvc'}))
    error('lassowave:badOption', 'build_lassowave: option compiler must be ''gnu'' or ''msvc''.');
  end
  flags = read_flags(root);

  modules = info.modules;
  if ~isempty(opts.modules)
    names = {modules.name};
    wanted = cellstr(opts.modules);
    unknown = setdiff(wanted, names);
    if ~isempty(unknown)
      error('lassowave:badOption', 'build_lassowave: no module named %s.', unknown{1});
    end
    modules = modules(ismember(names, wanted));
  end

  builds = plan_builds(modules, outdir, strcmp(opts.host, 'octave'));
  if strcmp(opts.host, 'octave')
    host_text = ['Octave ' version()];
  else
    host_text = ['MATLAB ' version()];
  end
  if ~opts.dryrun
    fprintf('lassowave %s: building %d modules for %s into %s\n', info.version, ...
            numel(modules), host_text, outdir);
    % A module still loaded from an earlier build would keep its old code
    % (and, on Windows, its file locked).
    if is_octave
      clear('-f', modules.name);
    else
      clear('mex');
    end
  end

  for k = 1:numel(builds)
    b = builds(k);
    if strcmp(opts.host, 'octave')
      [b.args, env] = octave_args(b, root, flags, opts.verbose);
    else
      b.args = matlab_args(b, root, flags, opts.compiler, opts.verbose);
      env = {};
    end
    if ~opts.dryrun
      b = run_build(b, root, env, opts.host);
    end
    builds(k) = b;
  end

  if ~opts.dryrun
    copy_toolbox(root, outdir);
    failed = builds(~[builds.ok]);
    for k = 1:numel(failed)
      fprintf(2, '\nbuild_lassowave: module %s failed: %s\n', label(failed(k)), ...
              strtrim(failed(k).message));
    end
    if ~isempty(failed)
      names = arrayfun(@label, failed, 'UniformOutput', false);
      error('lassowave:buildFailed', 'build_lassowave: %d of %d builds failed: %s.', ...
            numel(failed), numel(builds), strjoin(names, ', '));
    end
    fprintf('lassowave %s: %d modules and the functions of toolbox/ built; use them with addpath(''%s'')\n', ...
            info.version, numel(modules), outdir);
  end
  if nargout > 0
    report = builds;
  end
end

function copy_toolbox(root, outdir)
  % The functions written over the modules (solvers, wavelet filters,
  % denoising) go beside them, with their data files and private/ folder.
  from = fullfile(root, 'toolbox');
  if ~exist(from, 'dir')
    return;
  end
  if ~exist(outdir, 'dir')
    mkdir(outdir);
  end
  [ok, msg] = copyfile(fullfile(from, '*'), outdir);
  if ~ok
    error('lassowave:buildFailed', 'build_lassowave: cannot copy the functions of %s: %s', from, msg);
  end
end

function v = read_version(root)
  file = fullfile(root, 'CMakeLists.txt');
  tok = regexp(fileread(file), 'project\s*\(\s*lassowave\s+VERSION\s+(\d+\.\d+\.\d+)', ...
               'tokens', 'once');
  if isempty(tok)
    error('lassowave:noVersion', 'build_lassowave: %s has no project(lassowave VERSION x.y.z) line.', file);
  end
  v = tok{1};
end

function rows = read_rows(file)
  % The non-comment lines of a table file, each split into its words.
  if exist(file, 'file') ~= 2
    error('lassowave:badTable', 'build_lassowave: cannot read %s.', file);
  end
  rows = {};
  lines = regexp(fileread(file), '\r?\n', 'split');
  for k = 1:numel(lines)
    line = strtrim(lines{k});
    if ~isempty(line) && line(1) ~= '#'
      rows{end + 1} = regexp(line, '\s+', 'split'); %#ok<AGROW>
    end
  end
end

function modules = read_modules(root)
  % cmake/modules.txt: name, level, help file (- for none), sources.
  file = fullfile(root, 'cmake', 'modules.txt');
  modules = struct('name', {}, 'level', {}, 'help', {}, 'sources', {});
  rows = read_rows(file);
  for k = 1:numel(rows)
    w = rows{k};
    if numel(w) < 4 || ~any(strcmp(w{2}, {'large', 'index32', 'large+index32'}))
      error('lassowave:badTable', ...
            'build_lassowave: %s: "%s" is not "<name> <level> <help file> <source>..." with level large, index32 or large+index32.', ...
            file, strjoin(w, ' '));
    end
    if any(strcmp(w{1}, {modules.name}))
      error('lassowave:badTable', 'build_lassowave: %s names module %s twice.', file, w{1});
    end
    help = w{3};
    if strcmp(help, '-')
      help = '';
    end
    modules(end + 1) = struct('name', w{1}, 'level', w{2}, 'help', help, ...
                              'sources', {w(4:end)}); %#ok<AGROW>
  end
  if isempty(modules)
    error('lassowave:badTable', 'build_lassowave: %s lists no module.', file);
  end
end

function flags = read_flags(root)
  % cmake/module_flags.txt: set, compiler, language, flags. Returns a struct
  % with one text per set, compiler and language, e.g. flags.module.gnu.cxx.
  flags = struct();
  for set = {'module', 'hidden', 'i386'}
    for compiler = {'gnu', 'msvc'}
      flags.(set{1}).(compiler{1}) = struct('c', '', 'cxx', '');
    end
  end
  file = fullfile(root, 'cmake', 'module_flags.txt');
  rows = read_rows(file);
  for k = 1:numel(rows)
    w = rows{k};
    if numel(w) < 4 || ~isfield(flags, w{1}) || ~isfield(flags.(w{1}), w{2}) || ...
       ~any(strcmp(w{3}, {'c', 'cxx', 'both'}))
      error('lassowave:badTable', ...
            'build_lassowave: %s: "%s" is not "<set> <compiler> <language> <flag>...".', ...
            file, strjoin(w, ' '));
    end
    languages = {w{3}};
    if strcmp(w{3}, 'both')
      languages = {'c', 'cxx'};
    end
    for l = languages
      f = flags.(w{1}).(w{2});
      f.(l{1}) = strtrim([f.(l{1}) ' ' strjoin(w(4:end), ' ')]);
      flags.(w{1}).(w{2}) = f;
    end
  end
end

function builds = plan_builds(modules, outdir, for_octave)
  builds = struct('name', {}, 'variant', {}, 'folder', {}, 'ok', {}, 'message', {}, ...
                  'args', {}, 'help', {}, 'sources', {});
  for k = 1:numel(modules)
    m = modules(k);
    b = struct('name', m.name, 'variant', 'large', 'folder', outdir, 'ok', false, ...
               'message', '', 'args', {{}}, 'help', m.help, 'sources', {m.sources});
    switch m.level
      case 'large'
        builds(end + 1) = b; %#ok<AGROW>
      case 'index32'
        % In Octave the one array interface serves the 32-bit-index modules.
        if ~for_octave
          b.variant = 'index32';
        end
        builds(end + 1) = b; %#ok<AGROW>
      case 'large+index32'
        builds(end + 1) = b; %#ok<AGROW>
        if ~for_octave
          b.variant = 'index32';
          b.folder = fullfile(outdir, 'index32');
          builds(end + 1) = b; %#ok<AGROW>
        end
    end
  end
end

function files = source_files(b, root, version_source)
  files = cell(1, numel(b.sources));
  for k = 1:numel(b.sources)
    files{k} = native_path(root, b.sources{k});
  end
  if version_source
    files{end + 1} = fullfile(root, 'host', 'mex_api_version.c');
  end
end

function p = native_path(root, relative)
  parts = regexp(relative, '/', 'split');
  p = fullfile(root, parts{:});
end

function compiler = matlab_compiler(is_octave)
  % The family of the C++ compiler MATLAB's mex is set up with; outside
  % MATLAB (dry runs), GCC's.
  compiler = 'gnu';
  if ~is_octave
    cc = mex.getCompilerConfigurations('C++', 'Selected');
    if ~isempty(cc) && ~isempty(strfind(cc(1).Manufacturer, 'Microsoft'))
      compiler = 'msvc';
    end
  end
end

function [args, env] = octave_args(b, root, flags, verbose)
  % The compiler flags go through the environment, as mkoctfile expects;
  % they extend Octave's own flags. The module goes to a folder of its own
  % first (see run_build): mkoctfile cannot link to a path with a blank.
  base_cxx = '';
  base_c = '';
  if exist('OCTAVE_VERSION', 'builtin') ~= 0
    base_cxx = strtrim(mkoctfile('-p', 'CXXFLAGS'));
    base_c = strtrim(mkoctfile('-p', 'CFLAGS'));
  end
  % C is host/mex_api_version.c, all entry points, and the file mkoctfile
  % --mex writes to define __octave_mex_soversion__ (Octave 11 and later),
  % which must stay visible: no hidden visibility for C.
  cxx = [flags.module.gnu.cxx ' ' flags.hidden.gnu.cxx];
  c = flags.module.gnu.c;
  if is_i386_octave()
    cxx = [cxx ' ' flags.i386.gnu.cxx];
    c = [c ' ' flags.i386.gnu.c];
  end
  env = {'CXXFLAGS', strtrim([base_cxx ' ' cxx]), 'CFLAGS', strtrim([base_c ' ' c])};
  args = [{'--mex', ['-I' fullfile(root, 'host')], '-o', [b.name '.mex']}, ...
          source_files(b, root, true), {'-lm'}, octave_link_args(root)];
  if verbose
    args = [{'-v'}, args];
  end
end

function yes = is_i386_octave()
  % An Octave built for 32-bit x86 (host type i386 to i686): its modules get
  % the flags of set i386 (SSE2 arithmetic, binary64 as everywhere else).
  % MATLAB has had no 32-bit release since before R2017b.
  yes = exist('OCTAVE_VERSION', 'builtin') ~= 0 && ...
        ~isempty(regexp(computer(), '^i[3-6]86-', 'once'));
end

function args = octave_link_args(root)
  % Link options per platform. Windows: none (mkoctfile links Octave's
  % libraries, which a DLL's imports need). macOS: the mx/mex functions are
  % looked up when Octave loads the module, and Apple's linker takes an
  % exported-symbols list. Other systems (ELF): the module's own symbols
  % bound to itself, and only the entry points exported (version script).
  if ispc()
    args = {};
  elseif ismac()
    args = {'-Wl,-undefined,dynamic_lookup', ...
            ['-Wl,-exported_symbols_list,' fullfile(root, 'host', 'mex_exports.list')]};
  else
    args = {'-Wl,-Bsymbolic', ...
            ['-Wl,--version-script=' fullfile(root, 'host', 'mex_exports.map')]};
  end
end

function args = matlab_args(b, root, flags, compiler, verbose)
  index32 = strcmp(b.variant, 'index32');
  if index32
    dims = '-compatibleArrayDims';
  else
    dims = '-largeArrayDims';
  end
  args = {'-R2017b', dims, ['-I' fullfile(root, 'host')], '-outdir', b.folder, '-output', b.name};
  f = flags.module.(compiler);
  if strcmp(compiler, 'msvc')
    % cl reads COMPFLAGS for C and C++ alike.
    args{end + 1} = ['COMPFLAGS=$COMPFLAGS ' f.cxx];
  else
    args = [args, {['CXXFLAGS=$CXXFLAGS ' f.cxx], ['CFLAGS=$CFLAGS ' f.c], '-lm'}];
  end
  if verbose
    args{end + 1} = '-v';
  end
  % mex compiles MATLAB's version source (mexfilerequiredapiversion) into
  % the large-array builds only; the 32-bit builds get mexVersion here.
  args = [args, source_files(b, root, index32)];
end

function b = run_build(b, root, env, host)
  fprintf('  %-12s', label(b));
  missing = {};
  files = [b.sources, {'host/mex_api_version.c'}];
  if ~isempty(b.help)
    files{end + 1} = b.help;
  end
  for k = 1:numel(files)
    if ~file_exists(native_path(root, files{k}))
      missing{end + 1} = files{k}; %#ok<AGROW>
    end
  end
  if ~isempty(missing)
    b.message = sprintf('missing file %s', strjoin(missing, ', '));
    fprintf('FAILED\n');
    return;
  end
  if exist(b.folder, 'dir') ~= 7
    [ok, msg] = mkdir(b.folder);
    if ~ok
      b.message = sprintf('cannot create the folder %s: %s', b.folder, msg);
      fprintf('FAILED\n');
      return;
    end
  end
  % Remove an earlier build first, so that a failed build leaves no stale
  % module behind.
  target = fullfile(b.folder, [b.name '.' mexext_for(host)]);
  if file_exists(target)
    delete(target);
  end

  if strcmp(host, 'octave')
    saved = cell(size(env));
    for k = 1:2:numel(env)
      saved{k} = env{k};
      saved{k + 1} = getenv(env{k});
      setenv(env{k}, env{k + 1});
    end
    % mkoctfile (what Octave's mex runs) as a command of its own, so that
    % the compiler's messages can be captured and reported. It runs in a
    % fresh folder of its own and links there, since it passes the output
    % path to the linker unquoted; the module then moves into place.
    cmd = shell_quote(fullfile(feval('__octave_config_info__', 'bindir'), 'mkoctfile'));
    for k = 1:numel(b.args)
      cmd = [cmd ' ' shell_quote(b.args{k})]; %#ok<AGROW>
    end
    work = tempname();
    mkdir(work);
    here = pwd();
    cd(work);
    [status, out] = system([cmd ' 2>&1']);
    cd(here);
    for k = 1:2:numel(saved)
      setenv(saved{k}, saved{k + 1});
    end
    built = fullfile(work, [b.name '.mex']);
    if status == 0 && file_exists(built)
      [moved, msg] = movefile(built, target);
      if ~moved
        status = 1;
        out = sprintf('%s\ncannot move the module to %s: %s', out, target, msg);
      end
    end
    confirm_recursive_rmdir(false, 'local');
    rmdir(work, 's');
  else
    try
      out = evalc('mex(b.args{:})');
      status = 0;
    catch err
      out = err.message;
      status = 1;
    end
  end
  if status ~= 0 || ~file_exists(target)
    if isempty(strtrim(out))
      out = sprintf('the compiler reported status %d and wrote no %s', status, target);
    end
    b.message = out;
    fprintf('FAILED\n');
    return;
  end
  if ~isempty(b.help)
    [ok, msg] = copyfile(native_path(root, b.help), fullfile(b.folder, [b.name '.m']));
    if ~ok
      b.message = sprintf('cannot copy the help file %s: %s', b.help, msg);
      fprintf('FAILED\n');
      return;
    end
  end
  b.ok = true;
  b.message = out;
  % Progress lines and notes are kept in the report but not shown.
  if isempty(regexpi(out, '(warning|error)\s*:', 'once'))
    fprintf('ok\n');
  else
    fprintf('ok, with compiler warnings:\n%s\n', out);
  end
end

function q = shell_quote(a)
  if ispc()
    q = ['"' a '"'];
  else
    q = ['''' strrep(a, '''', '''\''''') ''''];
  end
end

function yes = file_exists(p)
  % exist(p, 'file') says 3 for a MEX file and 2 for others; dir says yes.
  yes = ~isempty(dir(p));
end

function ext = mexext_for(host)
  if strcmp(host, 'octave')
    ext = 'mex';
  else
    ext = mexext();
  end
end

function s = label(b)
  if strcmp(b.variant, 'index32') && ~isempty(regexp(b.folder, '[\\/]index32$', 'once'))
    s = [b.name ' (32-bit-index variant)'];
  else
    s = b.name;
  end
end

function s = describe(x)
  if ischar(x)
    s = ['''' x ''''];
  else
    s = ['of class ' class(x)];
  end
end
