% fused_lasso_solve and fused_lasso_path (toolbox/) on the problems
% bench/lasso_data.py wrote, at a ladder of tolerances, beside scikit-learn
% (peer_sklearn_lasso.py prints the same lines): a method's time is its
% fastest run whose objective is within 1e-9 (relative) of the best any
% run found.
%
% Prints one line per run, the objective 0.5*||A*x - b||^2 + lambda1*||x||_1
% in full precision (for a path case, one per lambda):
%   RUN <case> octave <tol> <seconds> <objective> [<objective> ...]
% seconds the fastest of `repeats` calls (default 3). Set before running:
%   data_dir   the folder lasso_data.py wrote (required)
%   cases      the cases to run (default: every folder in data_dir)
%   tols       the ladder (default 1e-4 down to 1e-10)
%
% Run from the source tree with the modules on the path, one thread:
%   OPENBLAS_NUM_THREADS=1 octave-cli --eval "addpath([pwd '/build/octave']); \
%     data_dir = '/tmp/lasso'; run('bench/octave_lasso_bench.m')"

if ~exist('repeats', 'var'), repeats = 3; end
if ~exist('tols', 'var'), tols = 10 .^ -(4:10); end
if ~exist('cases', 'var')
  listing = dir(data_dir);
  cases = {listing([listing.isdir] & ~strncmp({listing.name}, '.', 1)).name};
end

here = fileparts(mfilename('fullpath'));
addpath(fullfile(here, '..', 'toolbox'));

function [A, b, lambda1, lambdas] = load_case(folder)
  meta = load(fullfile(folder, 'meta.txt'));
  [m, n, is_sparse, lambda1, ~, nlambda] = num2cell(meta){:};
  read = @(name, type) fread_all(fullfile(folder, name), type);
  if is_sparse
    p = read('Ap.i32', 'int32');
    rows = read('Ai.i32', 'int32') + 1;
    columns_ = repelems(1:n, [1:n; diff(p)']);
    A = sparse(rows, columns_, read('Ax.f64', 'double'), m, n);
  else
    A = reshape(read('A.f64', 'double'), m, n);
  end
  b = read('b.f64', 'double');
  lambdas = [];
  if nlambda > 0
    lambdas = read('lambdas.f64', 'double');
  end
end

function v = fread_all(file, type)
  f = fopen(file, 'r', 'ieee-le');
  v = double(fread(f, Inf, ['*' type]));
  fclose(f);
end

objective = @(A, b, x, l1) 0.5 * sum((A * x - b) .^ 2) + l1 * sum(abs(x));
warning('off', 'lassowave:fused_lasso_solve:noconvergence');
for c = 1:numel(cases)
  [A, b, lambda1, lambdas] = load_case(fullfile(data_dir, cases{c}));
  for tol = tols
    best = Inf;
    for r = 1:repeats
      start = tic;
      if isempty(lambdas)
        x = fused_lasso_solve(A, b, lambda1, 0, struct('tol', tol));
      else
        x = fused_lasso_path(A, b, lambdas, 0, struct('tol', tol));
      end
      best = min(best, toc(start));
    end
    if isempty(lambdas)
      values = objective(A, b, x, lambda1);
    else
      values = arrayfun(@(k) objective(A, b, x(:, k), lambdas(k)), 1:numel(lambdas));
    end
    printf('RUN %s octave %.0e %.4f%s\n', cases{c}, tol, best, sprintf(' %.17g', values));
    fflush(stdout);
  end
end
