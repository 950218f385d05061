#!/usr/bin/env python3
"""Computes the orthonormal scaling filters wavelet_filter reads, in high
precision, and writes them correctly rounded to binary64.

    python3 tools/wavelet_filters.py > toolbox/wavelet_filters.txt
    python3 tools/wavelet_filters.py db2 sym8 coif3    # those lines only

Needs mpmath (Debian: python3-mpmath) and, for the coiflets' first guess,
numpy. Each filter is computed at two working precisions; a coefficient is
written only when both round to the same double, so every value is the
correctly rounded exact coefficient (the run stops otherwise).

Convention: h[0..L-1] with sum h = sqrt(2) and sum_k h[k] h[k+2j] = delta_j;
as a polynomial H(z) = sum h[k] z^k its zeros other than z = -1 lie outside
the unit circle for the Daubechies filters (h front-loaded: extremal phase).

Daubechies, N vanishing moments (2N taps): with y = sin^2(w/2) =
(2 - z - 1/z)/4, |H|^2/2 = cos^(2N)(w/2) P(y), P(y) = sum_{k<N}
binom(N-1+k, k) y^k. Each root y_j of P gives a pair z, 1/z of roots of
z^(N-1) P((2 - z - 1/z)/4); the spectral factor takes one of each pair:
H(z) ~ (1 + z)^N prod_j (1 - r_j z), r_j the member of the pair inside the
unit circle (extremal phase), or its reciprocal where a symlet says so.

Symlets: the same factorization with another member taken from some pairs
(complex-conjugate pairs of y_j decide together, so H stays real). Which
pairs flip is the selection below: for sym2 to sym9 it is the least
asymmetric choice, the one whose phase is nearest a line through the origin
in the L1 sense (phase_distance); for the higher orders the filters known by
these names since Daubechies' tables (those in every wavelet library) are
other selections of the same factorization, and a filter named sym12 must be
the sym12 users know, so the selection is recorded rather than searched.
--criterion prints, for each order, the recorded selection and the search's.

Coiflets coifN (6N taps, PyWavelets' numbering): sum h = sqrt(2),
orthonormality for j = 0 .. 3N-1, 2N vanishing moments of the wavelet
(sum (-1)^k k^l h[k] = 0, l < 2N; l = 0 is implied by the others but keeps
the Jacobian regular, so that Newton converges quadratically) and 2N - 1 of the scaling function about
k = 2N (sum (k - 2N)^l h[k] = 0, 1 <= l < 2N). The system has several real
solutions; the one taken is where Levenberg-Marquardt lands from a Gaussian
bump centred at 2N of width N/2, refined by Gauss-Newton in high precision.
"""
import sys
import mpmath as mp

# Selections for the symlets: one character per root pair, pairs ordered by
# the real part of their y_j (conjugates: the one with Im y >= 0); '1' takes
# the member outside the unit circle.
SYMLET_FLIPS = {
    2: '0', 3: '0', 4: '01', 5: '10', 6: '101', 7: '100', 8: '0101', 9: '0110',
    10: '10101', 11: '01100', 12: '101010', 13: '001110', 14: '0011010',
    15: '0011100', 16: '10011010', 17: '01110001', 18: '101100101',
    19: '001011100', 20: '1010011010',
}

DB_MAX, SYM_MIN, SYM_MAX, COIF_MAX = 60, 2, 20, 5


def root_pairs(N):
    """The roots y_j of P, grouped into real roots and conjugate pairs,
    ordered by real part; each group as its representative with Im y >= 0."""
    if N == 1:
        return []
    coeffs = [mp.binomial(N - 1 + k, k) for k in range(N)]
    ys = mp.polyroots(coeffs[::-1], maxsteps=2000, extraprec=mp.mp.prec)
    reps = [y for y in ys if mp.im(y) >= 0]
    # A real root appears once; a complex one once with Im y > 0.
    tiny = mp.mpf(2) ** (-mp.mp.prec // 2)
    groups = []
    for y in reps:
        if abs(mp.im(y)) < tiny:
            groups.append((mp.re(y), False))
        else:
            groups.append((y, True))
    groups.sort(key=lambda g: mp.re(g[0]))
    assert sum(2 if c else 1 for _, c in groups) == N - 1, 'roots of P lost'
    return groups


def inside_root(y):
    # (2 - z - 1/z)/4 = y  <=>  z^2 - 2(1 - 2y) z + 1 = 0
    b = 1 - 2 * y
    s = mp.sqrt(b * b - 1)
    z = b + s
    return z if abs(z) < 1 else b - s


def poly_from_roots(N, rs):
    p = [mp.mpf(1)]
    for _ in range(N):
        p = [a + b for a, b in zip(p + [0], [0] + p)]
    for r in rs:
        p = [a - r * b for a, b in zip(p + [0], [0] + p)]
    p = [mp.re(a) for a in p]
    s = mp.fsum(p)
    return [a * mp.sqrt(2) / s for a in p]


def spectral_filter(N, flips):
    rs = []
    for (y, cplx), flip in zip(root_pairs(N), flips):
        r = inside_root(y)
        if flip == '1':
            r = 1 / r
        rs.append(r)
        if cplx:
            rs.append(mp.conj(r))
    return poly_from_roots(N, rs)


def phase_distance(h, points=1024):
    """L1 distance of the unwrapped phase of sum h[k] e^{-ikw}, w in (0, pi),
    from its least-squares line through the origin."""
    import numpy as np
    w = np.linspace(0, np.pi, points + 1)[1:-1]
    H = np.exp(-1j * np.outer(w, np.arange(len(h)))) @ np.array([float(x) for x in h])
    ph = np.unwrap(np.angle(H))
    c = (w @ ph) / (w @ w)
    return float(np.sum(np.abs(ph - c * w)))


def least_asymmetric_flips(N):
    import itertools
    n = len(root_pairs(N))
    best = min((''.join(b) for b in itertools.product('01', repeat=n)),
               key=lambda f: phase_distance(spectral_filter(N, f)))
    return best


def coiflet_residuals(h, K):
    n = len(h)
    eq = [mp.fsum(h) - mp.sqrt(2)]
    for j in range(3 * K):
        eq.append(mp.fsum(h[i] * h[i + 2 * j] for i in range(n - 2 * j)) - (1 if j == 0 else 0))
    # Moments in t = (k - 2K)/K: the same conditions, better scaled.
    t = [mp.mpf(i - 2 * K) / K for i in range(n)]
    # l = 0 too: implied by the rest, but without it the Jacobian is singular
    # at the solution and Newton converges only linearly.
    for l in range(2 * K):
        eq.append(mp.fsum((-1) ** i * t[i] ** l * h[i] for i in range(n)))
    for l in range(1, 2 * K):
        eq.append(mp.fsum(t[i] ** l * h[i] for i in range(n)))
    return eq


def coiflet_jacobian(h, K):
    n = len(h)
    rows = [[mp.mpf(1)] * n]
    for j in range(3 * K):
        rows.append([(h[i + 2 * j] if i + 2 * j < n else 0) + (h[i - 2 * j] if i >= 2 * j else 0)
                     for i in range(n)])
    t = [mp.mpf(i - 2 * K) / K for i in range(n)]
    rows += [[(-1) ** i * t[i] ** l for i in range(n)] for l in range(2 * K)]
    rows += [[t[i] ** l for i in range(n)] for l in range(1, 2 * K)]
    return rows


def coiflet_first_guess(K):
    import numpy as np
    n = 6 * K
    mp.mp.dps, saved = 20, mp.mp.dps
    h = np.exp(-((np.arange(n) - 2 * K) / (0.5 * K)) ** 2)
    h *= np.sqrt(2) / h.sum()
    F = lambda v: np.array([float(e) for e in coiflet_residuals([mp.mpf(x) for x in v], K)])
    J = lambda v: np.array([[float(e) for e in row] for row in coiflet_jacobian([mp.mpf(x) for x in v], K)])
    mu = 1e-3
    f = F(h)
    for _ in range(5000):
        A = J(h)
        g = A.T @ f
        N = A.T @ A
        step = np.linalg.solve(N + mu * np.diag(np.diag(N)), -g)
        f_new = F(h + step)
        if np.linalg.norm(f_new) < np.linalg.norm(f):
            h, f, mu = h + step, f_new, max(mu / 3, 1e-12)
        else:
            mu *= 4
        if np.linalg.norm(f) < 1e-12:
            break
    mp.mp.dps = saved
    return [mp.mpf(float(x)) for x in h]


def coiflet(K, guess):
    h = mp.matrix(guess)
    for _ in range(200):
        f = mp.matrix(coiflet_residuals(list(h), K))
        J = mp.matrix(coiflet_jacobian(list(h), K))
        step = mp.lu_solve(J.T * J, -(J.T * f))
        h += step
        if mp.norm(step) < mp.mpf(2) ** (-mp.mp.prec + 16):
            break
    res = mp.norm(mp.matrix(coiflet_residuals(list(h), K)))
    assert res < mp.mpf(2) ** (-mp.mp.prec + 32), 'coif%d: Gauss-Newton did not converge' % K
    return [h[i] for i in range(len(h))]


def compute(name, dps, cache):
    mp.mp.dps = dps
    if name == 'haar' or name == 'db1':
        return [mp.sqrt(2) / 2] * 2
    if name.startswith('db'):
        N = int(name[2:])
        return spectral_filter(N, '0' * len(root_pairs(N)))
    if name.startswith('sym'):
        N = int(name[3:])
        return spectral_filter(N, SYMLET_FLIPS[N])
    K = int(name[4:])
    if ('guess', K) not in cache:
        cache[('guess', K)] = coiflet_first_guess(K)
    return coiflet(K, cache[('guess', K)])


def digits_for(name):
    # P's roots lose digits as the order grows; the two precisions must
    # both round every coefficient the same way.
    n = int(''.join(c for c in name if c.isdigit()) or 1)
    return 40 + 2 * n


def binary64(name, cache):
    d = digits_for(name)
    lo = [float(x) for x in compute(name, d, cache)]
    hi = [float(x) for x in compute(name, 2 * d, cache)]
    if lo != hi:
        sys.exit('%s: %d and %d digits round differently; raise digits_for' % (name, d, 2 * d))
    return hi


def hexbits(x):
    import struct
    return '%016x' % struct.unpack('<Q', struct.pack('<d', x))[0]


def all_names():
    return (['haar'] + ['db%d' % n for n in range(1, DB_MAX + 1)]
            + ['sym%d' % n for n in range(SYM_MIN, SYM_MAX + 1)]
            + ['coif%d' % n for n in range(1, COIF_MAX + 1)])


def main(argv):
    if argv and argv[0] == '--criterion':
        for N in range(SYM_MIN, SYM_MAX + 1):
            mp.mp.dps = 60
            print('sym%d recorded %s least-asymmetric %s' % (N, SYMLET_FLIPS[N], least_asymmetric_flips(N)))
        return
    names = argv or all_names()
    cache = {}
    if not argv:
        print('# Orthonormal scaling filters (sum sqrt(2)), one per line: name, then each')
        print('# coefficient as the hexadecimal bits of its IEEE-754 binary64 value,')
        print('# correctly rounded. Written by tools/wavelet_filters.py; do not edit.')
    for name in names:
        if name not in all_names():
            sys.exit('unknown filter %s' % name)
        print(name, ' '.join(hexbits(x) for x in binary64(name, cache)), flush=True)


if __name__ == '__main__':
    main(sys.argv[1:])
