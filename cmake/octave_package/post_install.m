function post_install(desc)
% Run by pkg install once the package is in place.
%
% The modules are installed beside their help files (Octave reads a MEX
% function's help only from a same-named .m file in the same folder), so
% the package has no architecture-dependent files, and pkg does not create
% its architecture folder. "pkg test" visits that folder too and stops at a
% missing one, so create it, empty; pkg uninstall removes it again.
  if isfield(desc, 'archprefix') && ! isempty(desc.archprefix) && ! isfolder(desc.archprefix)
    [ok, msg] = mkdir(desc.archprefix);
    if ! ok
      error('lassowave: cannot create %s: %s', desc.archprefix, msg);
    end
  end
end
