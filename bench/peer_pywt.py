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


def main():
    repeat = int(sys.argv[1]) if len(sys.argv) > 1 else 7
    rng = np.random.default_rng(1)
    out = {}
    x1 = rng.standard_normal(2 ** 20)
    for taps in (2, 8, 16):
        w = WAVELETS[taps]
        c = pywt.wavedec(x1, w, mode="periodization", level=10)
        out[f"decimated/1d/{taps}/forward"] = best_ms(
            lambda: pywt.wavedec(x1, w, mode="periodization", level=10), repeat)
        out[f"decimated/1d/{taps}/inverse"] = best_ms(
            lambda: pywt.waverec(c, w, mode="periodization"), repeat)
    x2 = rng.standard_normal((1024, 1024))
    for taps in (2, 8):
        w = WAVELETS[taps]
        c = pywt.wavedec2(x2, w, mode="periodization", level=5)
        out[f"decimated/2d/{taps}/forward"] = best_ms(
            lambda: pywt.wavedec2(x2, w, mode="periodization", level=5), repeat)
        out[f"decimated/2d/{taps}/inverse"] = best_ms(
            lambda: pywt.waverec2(c, w, mode="periodization"), repeat)
    x3 = rng.standard_normal((512, 512))
    for taps in (2, 8):
        w = WAVELETS[taps]
        c = pywt.swt(x1, w, level=5)
        out[f"redundant/1d/{taps}/forward"] = best_ms(lambda: pywt.swt(x1, w, level=5), repeat)
        out[f"redundant/1d/{taps}/inverse"] = best_ms(lambda: pywt.iswt(c, w), repeat)
        c2 = pywt.swt2(x3, w, level=3)
        out[f"redundant/2d/{taps}/forward"] = best_ms(lambda: pywt.swt2(x3, w, level=3), repeat)
        out[f"redundant/2d/{taps}/inverse"] = best_ms(lambda: pywt.iswt2(c2, w), repeat)
    json.dump(out, sys.stdout, indent=1, sort_keys=True)
    print()


if __name__ == "__main__":
    main()
