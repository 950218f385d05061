#!/usr/bin/env python3
"""Writes the denoising benchmark's data and times scikit-image's
denoise_wavelet on it.

    peer_skimage_denoise.py <folder> <repeats>

Cases: scikit-image's own images (camera, moon, brick, the Shepp-Logan
phantom; float in [0, 1]) with Gaussian noise of sigma 0.1, and the classic
1-D signals of Donoho and Johnstone (blocks, bumps, heavisine, Doppler;
2048 samples) at signal-to-noise 7 (std(signal) = 7 sigma), scaled so that
the clean signal peaks at 0.9: denoise_wavelet clips its result to [-1, 1]
(or [0, 1] for data without negatives), which must not cut the signal.
Each case is written as <name>.clean and <name>.noisy (float64, rows as in
numpy, i.e. row-major) with <name>.size (rows and columns), for the Octave
side. Prints "RESULT skimage/<case>/<rule>/<psnr|ms> <value>" lines: db4,
soft, sigma estimated, 3 levels for images and 5 for signals, BayesShrink
and VisuShrink; time the fastest of <repeats> calls.
"""
import os
import sys
import time

import numpy as np
from skimage import data, img_as_float
from skimage.restoration import denoise_wavelet

folder, repeats = sys.argv[1], int(sys.argv[2])
os.makedirs(folder, exist_ok=True)
rng = np.random.default_rng(20261209)


def signals(n=2048):
    t = np.arange(1, n + 1) / n
    pos = np.array([0.1, 0.13, 0.15, 0.23, 0.25, 0.40, 0.44, 0.65, 0.76, 0.78, 0.81])
    hb = np.array([4, -5, 3, -4, 5, -4.2, 2.1, 4.3, -3.1, 2.1, -4.2])
    hp = np.array([4, 5, 3, 4, 5, 4.2, 2.1, 4.3, 3.1, 5.1, 4.2])
    w = np.array([0.005, 0.005, 0.006, 0.01, 0.01, 0.03, 0.01, 0.01, 0.005, 0.008, 0.005])
    d = t[:, None] - pos[None, :]
    return {
        'blocks': (hb * (1 + np.sign(d)) / 2).sum(1),
        'bumps': (hp * (1 + np.abs(d) / w) ** -4).sum(1),
        'heavisine': 4 * np.sin(4 * np.pi * t) - np.sign(t - 0.3) - np.sign(0.72 - t),
        'doppler': np.sqrt(t * (1 - t)) * np.sin(2 * np.pi * 1.05 / (t + 0.05)),
    }


cases = []
for name in ['camera', 'moon', 'brick', 'shepp_logan_phantom']:
    clean = img_as_float(getattr(data, name)())
    cases.append((name, clean, clean + 0.1 * rng.standard_normal(clean.shape), 3, 1.0))
for name, f in signals().items():
    f = f / f.std()
    noisy = f + rng.standard_normal(f.shape) / 7
    c = 0.9 / np.abs(f).max()
    clean = (c * f)[None, :]
    cases.append((name, clean, c * noisy[None, :], 5, clean.max() - clean.min()))


def psnr(x, clean, peak):
    return 10 * np.log10(peak ** 2 / np.mean((x - clean) ** 2))


for name, clean, noisy, levels, peak in cases:
    for suffix, a in (('clean', clean), ('noisy', noisy)):
        np.ascontiguousarray(a, dtype='<f8').tofile(os.path.join(folder, f'{name}.{suffix}'))
    with open(os.path.join(folder, f'{name}.size'), 'w') as f:
        f.write(f'{a.shape[0]} {a.shape[1]} {levels} {peak!r}\n')
    y = noisy[0] if noisy.shape[0] == 1 else noisy
    for rule, method in (('bayes', 'BayesShrink'), ('universal', 'VisuShrink')):
        best = float('inf')
        for _ in range(repeats):
            start = time.perf_counter()
            x = denoise_wavelet(y, wavelet='db4', mode='soft', wavelet_levels=levels, method=method)
            best = min(best, time.perf_counter() - start)
        print(f'RESULT skimage/{name}/{rule}/psnr {psnr(x.reshape(clean.shape), clean, peak):.4f}')
        print(f'RESULT skimage/{name}/{rule}/ms {1e3 * best:.4f}', flush=True)
with open(os.path.join(folder, 'cases.txt'), 'w') as f:
    f.write(' '.join(c[0] for c in cases) + '\n')
