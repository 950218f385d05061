#!/usr/bin/env python3
"""scikit-learn's Lasso (coordinate descent) on the problems lasso_data.py
wrote, at a ladder of tolerances: the peer of octave_lasso_bench.m.

    peer_sklearn_lasso.py <data_dir> [repeats] [case ...]

Prints, like octave_lasso_bench.m, one line per run:
    RUN <case> sklearn <tol> <seconds> <objective> [<objective> ...]
scikit-learn minimizes ||A*x - b||^2/(2*m) + alpha*||x||_1: alpha is
lambda1/m (no intercept). A path case runs lasso_path over the same
lambda1 values, warm-started in order as lasso_path does. Once one run of
a case takes longer than LASSO_PEER_BUDGET seconds (default 120), its
tighter tolerances are skipped: a tight tolerance can keep coordinate
descent going for many minutes. For the same reason each run's iterations
(per lambda on a path) are capped at what the run before did in twice the
budget, so that no run goes far past it. Run it with one thread (OMP_NUM_THREADS=1
OPENBLAS_NUM_THREADS=1).
"""
import os
import sys
import time
import warnings

import numpy as np
import scipy.sparse as sp
from sklearn.exceptions import ConvergenceWarning
from sklearn.linear_model import Lasso, lasso_path

TOLS = [1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-10, 1e-12]
MAX_ITER = 100000
# A run longer than this is not repeated: its spread is small beside it.
REPEAT_BELOW = 10.0


def load(folder):
    with open(os.path.join(folder, 'meta.txt')) as f:
        fields = f.read().split()
    m, n, is_sparse = int(fields[0]), int(fields[1]), int(fields[2])
    lambda1, nlambda = float(fields[3]), int(fields[5])
    path = lambda name: os.path.join(folder, name)
    if is_sparse:
        A = sp.csc_matrix((np.fromfile(path('Ax.f64'), '<f8'), np.fromfile(path('Ai.i32'), '<i4'),
                           np.fromfile(path('Ap.i32'), '<i4')), shape=(m, n))
    else:
        A = np.fromfile(path('A.f64'), '<f8').reshape(n, m).T   # column-major: Fortran order
    b = np.fromfile(path('b.f64'), '<f8')
    lambdas = np.fromfile(path('lambdas.f64'), '<f8') if nlambda else None
    return A, b, lambda1, lambdas


def objective(A, b, x, lambda1):
    r = A @ x - b
    return 0.5 * float(r @ r) + lambda1 * float(np.abs(x).sum())


def solve(A, b, lambda1, lambdas, tol, max_iter):
    """The solutions, one column per lambda, and the iterations run in all."""
    m = A.shape[0]
    if lambdas is None:
        model = Lasso(alpha=lambda1 / m, fit_intercept=False, tol=tol, max_iter=max_iter)
        model.fit(A, b)
        return model.coef_[:, None], model.n_iter_
    _, coefs, _, iterations = lasso_path(A, b, alphas=lambdas / m, tol=tol, max_iter=max_iter,
                                         return_n_iter=True)
    return coefs, sum(iterations)


def main():
    data_dir = sys.argv[1]
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    cases = sys.argv[3:] or sorted(d for d in os.listdir(data_dir) if os.path.isdir(os.path.join(data_dir, d)))
    budget = float(os.environ.get('LASSO_PEER_BUDGET', '120'))
    warnings.simplefilter('ignore', ConvergenceWarning)
    for case in cases:
        A, b, lambda1, lambdas = load(os.path.join(data_dir, case))
        max_iter = MAX_ITER
        for tol in TOLS:
            best = float('inf')
            for _ in range(repeats):
                start = time.perf_counter()
                X, iterations = solve(A, b, lambda1, lambdas, tol, max_iter)
                seconds = time.perf_counter() - start
                best = min(best, seconds)
                if seconds > REPEAT_BELOW:
                    break
            weights = [lambda1] if lambdas is None else lambdas
            values = [objective(A, b, X[:, k], weights[k]) for k in range(len(weights))]
            print('RUN %s sklearn %.0e %.4f %s' % (case, tol, best, ' '.join('%.17g' % v for v in values)),
                  flush=True)
            if best > budget:
                print('%s: a run took %.0f s, over the %.0f s budget; tighter tolerances skipped'
                      % (case, best, budget), file=sys.stderr)
                break
            max_iter = max(1, min(MAX_ITER, int(2 * budget * iterations / seconds)))


if __name__ == '__main__':
    main()
