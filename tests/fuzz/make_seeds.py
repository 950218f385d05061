#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora: typical calls taken from the test
suites, encoded in the byte format fuzz_call.cpp decodes. Run from the
repository root: python3 tests/fuzz/make_seeds.py"""
import hashlib
import os

DIMS = [0, 1, 1, 2, 2, 3, 4, 4, 5, 6, 7, 8, 8, 9, 12, 16, 24, 32, 33, 64]


def dim(d):
    return DIMS.index(d)


class Tenths:
    """k * 0.1 as round(k) * 0.1 gives it (value code 12), not the decimal."""

    def __init__(self, k):
        self.k = k


def value(v):
    if isinstance(v, Tenths):
        return [12, v.k + 128]
    if v == int(v) and -8 <= v <= 39:
        return [9, int(v) + 8]
    q = v * 4
    if q == int(q) and -128 <= q <= 127:
        return [8, int(q) + 128]
    t = round(v * 10)
    if t / 10 == v and -128 <= t <= 127:
        return [10, t + 128]
    raise ValueError(v)


def dense(m, n, vals):
    out = [0, dim(m), dim(n)]
    for i in range(m * n):
        out += value(vals[i % len(vals)])
    return out


def sparse(m, n, pattern, vals):
    """pattern: set of (row, col) that hold an entry."""
    # The target draws m*n dense values before it looks at the kind; the
    # sparse entries follow them.
    out = [9, dim(m), dim(n)] + value(0) * (m * n) + [0]  # not logical
    k = 0
    for j in range(n):
        for i in range(m):
            if (i, j) in pattern:
                out += [1] + value(vals[k % len(vals)])
                k += 1
            else:
                out += [0]
    return out


def long_line(length, seed, column=False, trend=False):
    """A 1×length row (or length×1 column) of sin(0.37·(seed+1)·k), or with
    trend a smooth monotone trend: sqrt(k), or log(1 + k) (seed bit 2),
    reversed (bit 0), negated (bit 1)."""
    return [11, (1 if column else 0) | 2 | ([4096, 4104, 8192, 12288].index(length) << 2)
            | (16 if trend else 0), seed]


def call(nlhs, *args):
    return bytes([len(args), nlhs, 0] + [b for a in args for b in a])


def scalars(*vs):
    return [dense(1, 1, [v]) for v in vs]


def upper(n):
    return sparse(n, n, {(j, j) for j in range(n)} | {(j - 1, j) for j in range(1, n)}, [2, 0.5])


def lower(n):
    return sparse(n, n, {(j, j) for j in range(n)} | {(j + 1, j) for j in range(n - 1)}, [2, 0.5])


SEEDS = {
    "vintrask": [call(3, *scalars(10, 30, 1, 3, 2, 0)), call(3, *scalars(10, 5, 1, 0, 2, 30))],
    "quorbel": [call(3, *scalars(1, 3, 0.5, 2, 0, 0, -1)), call(3, *scalars(1, 3, 0.25, 0, 0, 10, 0))],
    "sandrevo": [call(3, *scalars(1, 30, 0.25, 1, 4, 0, 1)), call(3, *scalars(1, 3, 0.25, 2, 0, 0, 5))],
    "gravenmor": [call(8, *scalars(6, 2, 8, 3, 5)), call(8, *scalars(6, 0, 8, 3, 5))],
    "lunderjack": [call(2, dense(1, 4, [1, 1, 0, 1])), call(2, dense(1, 3, [0, 1, 0])),
                   call(2, dense(0, 0, [0]))],
    "zelmonte": [call(1, dense(4, 1, [0, 0, 10, 10]), dense(1, 1, [1])),
                 call(1, dense(16, 1, [0, 1, 5, 6, 5, 0, -2]), dense(1, 1, [0.5])),
                 # Signals whose rounded running sums once took the scan past the end.
                 call(1, dense(5, 1, [0.9, 0.3, 0.5, -0.1, -0.1]), dense(1, 1, [0.5])),
                 call(1, dense(6, 1, [0, 0.4, 1.4, 2, 0, 0.4]), dense(1, 1, [1])),
                 call(1, dense(8, 1, [0.4, 1, 1.5, 0.9, 1.5, 1.5, 1.5, 2.3]), dense(1, 1, [1])),
                 # Ties where rounding once made the result wrong by up to lambda.
                 call(1, dense(8, 1, [Tenths(k) for k in [-4, 8, -1, 3, 14, 1, 3, -18]]),
                      dense(1, 1, [1])),
                 call(1, dense(9, 1, [Tenths(k) for k in [16, -16, -6, 16, -2, 20, 8, -10, 1]]),
                      dense(1, 1, [1.5]))],
    "fenwarix": [call(1, upper(2), dense(2, 1, [2, 9])), call(1, upper(5), dense(5, 1, [1, 2, 3])),
                 call(1, upper(4), sparse(4, 1, {(1, 0), (3, 0)}, [1, 2]))],
    "hobrinth": [call(1, lower(2), dense(2, 1, [4, 8])), call(1, lower(5), dense(5, 1, [1, 2, 3])),
                 call(1, lower(4), sparse(4, 1, {(0, 0), (2, 0)}, [1, 2]))],
    "kaldor": [call(2, dense(1, 4, [1, 2, 3, 4]), dense(1, 2, [1, 1]), dense(1, 1, [2])),
               call(2, dense(8, 8, [1, 2, 3, 4, 5]), dense(1, 4, [1, 2, 3, 4])),
               call(2, dense(2, 2, [1, 3, 2, 4]), dense(1, 3, [1, 2, 3]), dense(1, 1, [1]))],
    "ostrevin": [call(3, dense(1, 4, [1, 2, 3, 4]), dense(1, 2, [1, 1]), dense(1, 1, [2])),
                 call(3, dense(4, 4, [1, 2, 3]), dense(1, 4, [1, 2, 3, 4]), dense(1, 1, [1])),
                 call(3, dense(1, 1, [3]), dense(1, 3, [1, 2, 3]), dense(1, 1, [5]))],
    "quillomar": [call(2, dense(1, 4, [1, 0, 0, 0]), dense(1, 8, [0]), dense(1, 3, [1, 2, 3]),
                       dense(1, 1, [2])),
                  call(2, dense(4, 4, [1, 0]), dense(4, 12, [0, 1]), dense(1, 2, [1, 2]),
                       dense(1, 1, [1]))],
}
# Long lines take the transforms' paths for lines of thousands of samples.
SEEDS["kaldor"].append(call(2, long_line(4096, 3), dense(1, 4, [1, 2, 3, 4]), dense(1, 1, [6])))
SEEDS["ostrevin"] += [call(3, long_line(4096, 3), dense(1, 4, [1, 2, 3, 4]), dense(1, 1, [3])),
                      call(3, long_line(8192, 5, column=True), dense(1, 2, [1, 1]), dense(1, 1, [2]))]
SEEDS["quillomar"] += [call(2, long_line(4096, 3), long_line(12288, 4), dense(1, 4, [1, 2, 3, 4]),
                            dense(1, 1, [3])),
                       call(2, long_line(4096, 3), long_line(8192, 4), dense(1, 2, [1, 1]),
                            dense(1, 1, [2]))]
# Smooth trends with a weight large for them: zelmonte's linear method.
SEEDS["zelmonte"] += [call(1, long_line(4096, 0, column=True, trend=True), dense(1, 1, [20])),
                      call(1, long_line(8192, 7, column=True, trend=True), dense(1, 1, [1.5]))]
SEEDS["pelmorin"] = SEEDS["quorbel"]
SEEDS["tolbrecht"] = SEEDS["sandrevo"]
SEEDS["brastelin"] = SEEDS["gravenmor"]
SEEDS["vestran"] = SEEDS["kaldor"]
SEEDS["fenwarix_index32"] = SEEDS["fenwarix"]

for name, seeds in SEEDS.items():
    d = os.path.join("tests", "fuzz", "corpus", name)
    os.makedirs(d, exist_ok=True)
    for s in seeds:
        with open(os.path.join(d, hashlib.sha1(s).hexdigest()), "wb") as f:
            f.write(s)
