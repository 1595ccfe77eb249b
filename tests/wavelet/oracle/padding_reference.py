#!/usr/bin/python3
"""Checks mirrored padding (algorithm 2) and padding with history (3) against
a float64 numpy model of the formulas, written here independently of the C++.

One level of input x[0..n-1], L taps, M = (n + L - 1) // 2 outputs:
    approx[k] = sum_i lo[i] x~[2k + 2 - L + i],  detail[k] likewise with hi
Mirror:  x~[m] = x[-m] for m < 0, x[2n - 1 - m] for m >= n (one reflection;
         a term still outside 0..n-1 is left out).
History: for m < 0, x~[m] = entry[-m - 1], entry[0] being the value just
         before x[0]; the right side is mirrored. Without an entry for the
         level (first chunk) the left side is mirrored too.
Entry i (0 = the samples, i = the approximations of level i, the input of
level i + 1) keeps the last L - 2 of the first N >> i values of that input,
newest first. A shorter input pushes the older values back.

Usage: padding_reference.py <path of sonabel_wavelet_dump>
"""
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dumpclient import Dump, float32_signal  # noqa: E402

TOL = 1e-6


def extend(x, m, entry):
    n = len(x)
    if 0 <= m < n:
        return x[m]
    if m < 0:
        if entry is not None:
            return entry[-m - 1]
        return x[-m] if -m < n else 0.0
    r = 2 * n - 1 - m
    return x[r] if r >= 0 else 0.0


def level(x, lo, hi, entry):
    L = len(lo)
    M = (len(x) + L - 1) // 2
    a, d = np.zeros(M), np.zeros(M)
    for k in range(M):
        for i in range(L):
            v = extend(x, 2 * k + 2 - L + i, entry)
            a[k] += lo[i] * v
            d[k] += hi[i] * v
    return a, d


def keep_last(entry, values, keep):
    """The history store rule for one entry (None while it does not exist)."""
    held = list(entry[1]) if entry is not None else []
    count = entry[0] if entry is not None else 0
    newest = list(values[::-1])
    if keep <= 0 or len(values) == 0:
        return (0, [0.0] * 50)
    if len(values) >= keep:
        vals = newest[:keep] + [0.0] * (50 - keep)
        return (keep, vals)
    vals = held if held else [0.0] * 50
    if count > 0:
        vals = vals[:]
        moved = vals[:keep - len(values)]
        vals[len(values):keep] = moved
    vals[:len(values)] = newest
    return (min(count + len(values), keep), vals)


def transform(x, lo, hi, history):
    """history: dict level -> (count, 50 values) or None for mirror only."""
    N = len(x)
    L = len(lo)
    details = []
    src = np.asarray(x, dtype=np.float64)
    if N >= 4:
        d_count, i = N, 0
        while True:
            entry = None
            if history is not None and i in history:
                entry = history[i][1]
            a, d = level(src, lo, hi, entry)
            details.append(d)
            if history is not None:
                take = N if i == 0 else min(len(src), N >> i)
                history[i] = keep_last(history.get(i), src[:take], L - 2)
            src = a
            d_count >>= 1
            i += 1
            if d_count < 4:
                break
    elif history is not None:
        history[0] = keep_last(history.get(0), src, L - 2)
    return details, src


def main():
    dump = Dump(*sys.argv[1:])
    banks = dump.banks()
    rng = np.random.default_rng(77)
    failures, worst = [], {}
    # Haar, db3, db10, Biorthogonal 3/9, Battle-Lemarie 49 (L = 50).
    for index in (0, 2, 9, 13, 29):
        b = banks[index]
        for n in (64, 37, 16, 5):
            x = float32_signal(rng, n)
            # Mirror, one chunk.
            r = dump.forward_many([(index, 2, x)])[0]
            det, app = transform(x, b.lo, b.hi, None)
            pairs = [("mirror", p, q) for p, q in zip(det, r.details)] + [("mirror", app, r.approx)]
            # History, four chunks in a row.
            chunks = [float32_signal(rng, n) for _ in range(4)]
            rs = dump.stream(index, 3, chunks)
            history = {}
            for c, rr in zip(chunks, rs):
                det, app = transform(c, b.lo, b.hi, history)
                pairs += [("history", p, q) for p, q in zip(det, rr.details)] + [("history", app, rr.approx)]
            for kind, ref, ours in pairs:
                if len(ref) != len(ours):
                    failures.append("wavelet %d N=%d %s: %d values, expected %d" % (index, n, kind, len(ours), len(ref)))
                    continue
                dev = np.abs(ref - ours).max() if len(ref) else 0.0
                worst[kind] = max(worst.get(kind, 0.0), dev)
                if dev > TOL:
                    failures.append("wavelet %d N=%d %s: deviation %.3g" % (index, n, kind, dev))
    for kind in sorted(worst):
        print("max %-10s %.3g" % (kind, worst[kind]))
    for f in failures[:30]:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
