#!/usr/bin/env python3
"""Times PyWavelets on the wavelet configurations lassowave is measured on,
the way its users call it (whole decomposition or reconstruction, periodic
extension). Prints one JSON object: {case: milliseconds}, each the fastest
of `repeat` calls (first argument, default 7), as the test-host and Octave
timings of the same cases are: on a shared machine the fastest call is the
one least disturbed by other work. Run with the interpreter that has
Debian's python3-pywt, /usr/bin/python3."""
import json
import sys
import time

import numpy as np
import pywt

WAVELETS = {2: "haar", 8: "db4", 16: "db8"}


def best_ms(f, repeat):
    f()  # warm: first-call set-up and page faults of the first results
    best = float("inf")
    for _ in range(repeat):
        t = time.perf_counter()
        f()
        best = min(best, time.perf_counter() - t)
    return 1e3 * best


# (kind, dimensions): the forward call (input, wavelet, levels) and the
# inverse call (coefficients, wavelet) as PyWavelets' users make them.
CALLS = {
    ("decimated", 1): (lambda x, w, L: pywt.wavedec(x, w, mode="periodization", level=L),
                       lambda c, w: pywt.waverec(c, w, mode="periodization")),
    ("decimated", 2): (lambda x, w, L: pywt.wavedec2(x, w, mode="periodization", level=L),
                       lambda c, w: pywt.waverec2(c, w, mode="periodization")),
    ("redundant", 1): (lambda x, w, L: pywt.swt(x, w, level=L), pywt.iswt),
    ("redundant", 2): (lambda x, w, L: pywt.swt2(x, w, level=L), pywt.iswt2),
}


def main():
    repeat = int(sys.argv[1]) if len(sys.argv) > 1 else 7
    rng = np.random.default_rng(1)
    x1 = rng.standard_normal(2 ** 20)
    x2 = rng.standard_normal((1024, 1024))
    x3 = rng.standard_normal((512, 512))
    out = {}
    for kind, x, level, tap_counts in (("decimated", x1, 10, (2, 8, 16)),
                                       ("decimated", x2, 5, (2, 8)),
                                       ("redundant", x1, 5, (2, 8)),
                                       ("redundant", x3, 3, (2, 8))):
        forward, inverse = CALLS[(kind, x.ndim)]
        for taps in tap_counts:
            w = WAVELETS[taps]
            c = forward(x, w, level)
            key = f"{kind}/{x.ndim}d/{taps}"
            out[key + "/forward"] = best_ms(lambda: forward(x, w, level), repeat)
            out[key + "/inverse"] = best_ms(lambda: inverse(c, w), repeat)
    json.dump(out, sys.stdout, indent=1, sort_keys=True)
    print()


if __name__ == "__main__":
    main()
