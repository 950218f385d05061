function value = option(opts, name, default)
% opts.(name) where the struct has that field and it is not empty, else
% default: how the toolbox's functions read their optional settings.
  if isfield(opts, name) && ~isempty(opts.(name))
    value = opts.(name);
  else
    value = default;
  end
end
