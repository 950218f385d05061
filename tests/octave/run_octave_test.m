function status = run_octave_test(name, module_dir)
% Runs the %! blocks of one test file against the modules in module_dir and
% returns 0 when all of them pass (1 otherwise), for use as an exit status.
  addpath(module_dir);
  [passed, total] = test(name, 'quiet', stdout);
  printf('%s: %d passed, %d failed\n', name, passed, total - passed);
  status = double(total == 0 || passed < total);
end
