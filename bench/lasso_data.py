#!/usr/bin/env python3
"""Writes the lasso benchmark's problems to disk once, for every solver.

    lasso_data.py <dir>

Each problem is a folder <dir>/<case>/ holding
    meta.txt   "m n sparse lambda1 lambda2 nlambda" (nlambda > 0: a path case,
               its lambda1 values in lambdas.f64, largest first)
    A.f64      A dense, column-major float64; or, for a sparse A, its
               compressed columns: Ap.i32 (n+1 pointers), Ai.i32 (0-based
               rows), Ax.f64
    b.f64      b
All little-endian. A path case on another case's data holds symbolic links
to that case's A and b files, not a copy. lambda1 multiplies ||x||_1 in
0.5*||A*x - b||^2 + lambda1*||x||_1 (peers that scale the loss by 1/m are
given lambda1/m).
Seeded: the same files on every run.
"""
import os
import sys

import numpy as np
import scipy.sparse as sp
from sklearn.datasets import load_diabetes
from sklearn.preprocessing import PolynomialFeatures


def ar1(rng, m, n, rho):
    """m samples of n features, corr(j, k) = rho^|j - k|."""
    z = np.empty((m, n))
    z[:, 0] = rng.standard_normal(m)
    c = np.sqrt(1 - rho * rho)
    for j in range(1, n):
        z[:, j] = rho * z[:, j - 1] + c * rng.standard_normal(m)
    return z


def unit_columns(A):
    """Columns scaled to norm sqrt(m), as after standardizing."""
    return A * (np.sqrt(A.shape[0]) / np.linalg.norm(A, axis=0))


def response(rng, A, k, noise):
    """b = A*x_true + noise, x_true with k nonzeros of either sign."""
    n = A.shape[1]
    x = np.zeros(n)
    x[rng.choice(n, k, replace=False)] = rng.choice([-1.0, 1.0], k) * (1 + rng.random(k))
    signal = A @ x
    return signal + noise * np.std(signal) * rng.standard_normal(A.shape[0])


def link_data(folder, source):
    """Links folder's A and b files to those of the sibling folder source."""
    for name in os.listdir(os.path.join(os.path.dirname(folder), source)):
        if name.endswith(('.f64', '.i32')) and name != 'lambdas.f64':
            target = os.path.join(folder, name)
            if os.path.lexists(target):
                os.remove(target)
            os.symlink(os.path.join('..', source, name), target)


def write(folder, A, b, ratio, nlambda=0, lambda2=0.0, data_of=None):
    """data_of: a case already written with the same A and b, whose files
    are linked rather than written again."""
    os.makedirs(folder, exist_ok=True)
    m, n = A.shape
    lam_max = np.abs(A.T @ b).max()
    if data_of:
        link_data(folder, data_of)
    elif sp.issparse(A):
        A = sp.csc_matrix(A)
        A.sort_indices()
        A.indptr.astype('<i4').tofile(os.path.join(folder, 'Ap.i32'))
        A.indices.astype('<i4').tofile(os.path.join(folder, 'Ai.i32'))
        A.data.astype('<f8').tofile(os.path.join(folder, 'Ax.f64'))
    else:
        np.asfortranarray(A).T.astype('<f8').tofile(os.path.join(folder, 'A.f64'))
    if not data_of:
        b.astype('<f8').tofile(os.path.join(folder, 'b.f64'))
    if nlambda:
        (lam_max * np.logspace(0, np.log10(ratio), nlambda)).astype('<f8').tofile(
            os.path.join(folder, 'lambdas.f64'))
    with open(os.path.join(folder, 'meta.txt'), 'w') as f:
        f.write('%d %d %d %.17g %.17g %d\n' % (m, n, int(sp.issparse(A)), ratio * lam_max, lambda2, nlambda))


def main():
    out = sys.argv[1]
    rng = np.random.default_rng(29)

    # Dense, neighbouring columns correlated (AR(1), rho = 0.9).
    A = ar1(rng, 2000, 10000, 0.9)
    b = response(rng, A, 30, 0.1)
    write(os.path.join(out, 'dense'), A, b, 0.01)

    # Sparse, 0.2% nonzeros, standard normal values.
    A = sp.random(5000, 200000, density=0.002, format='csc', random_state=rng,
                  data_rvs=rng.standard_normal)
    b = response(rng, A, 200, 0.5)
    write(os.path.join(out, 'sparse'), A, b, 0.01)

    # 25 correlated features (AR(1), rho = 0.5), every monomial of degree
    # <= 3 (3275 columns), standardized.
    poly = PolynomialFeatures(3, include_bias=False)
    A = unit_columns(poly.fit_transform(ar1(rng, 1000, 25, 0.5)))
    b = response(rng, A, 30, 0.5)
    write(os.path.join(out, 'poly3'), A, b, 0.001)
    # Its regularization path: 100 values from lambda_max down to 1e-3 of it.
    write(os.path.join(out, 'poly3_path'), A, b, 0.001, nlambda=100, data_of='poly3')

    # A small real data set (diabetes: 442 samples of 10 features) expanded
    # to every monomial of degree <= 7 (19447 columns), standardized: the
    # kind of problem the semismooth Newton lasso literature measures on.
    X, y = load_diabetes(return_X_y=True)
    X = (X - X.min(axis=0)) / (X.max(axis=0) - X.min(axis=0))
    A = unit_columns(PolynomialFeatures(7, include_bias=False).fit_transform(X))
    write(os.path.join(out, 'diabetes7'), A, y - y.mean(), 0.001)


if __name__ == '__main__':
    main()
