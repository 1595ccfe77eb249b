#!/usr/bin/python3
"""Writes wavelet/WaveletPrototypes.inc: the stored prototype taps of the 33
filter banks, rounded to float32 and printed with nine significant digits
(enough to give back the float32 value exactly).

Daubechies and Symlet taps come from PyWavelets' rec_lo; the 30-tap Coiflet
is the classic published table; the Battle-Lemarie entries are truncations of
the cubic-spline filter scaled to sum sqrt(2); the biorthogonal and spline
prototypes are the published values themselves.

Run with /usr/bin/python3 (needs python3-pywt):
    /usr/bin/python3 tools/gen_filter_banks.py > wavelet/WaveletPrototypes.inc
"""
import math
import sys

import numpy as np
import pywt

f32 = np.float32

COIF30 = [
    -2.120808398259e-04, 3.585896879330e-04, 2.1782363583355e-03, -4.1593587818186e-03,
    -1.01311175209033e-02, 2.34081567882734e-02, 2.81680289738655e-02, -9.19200105692549e-02,
    -5.20431631816557e-02, 4.215662067346898e-01, 7.742896037334738e-01, 4.379916262173834e-01,
    -6.20359639693546e-02, -1.055742087143175e-01, 4.12892087544753e-02, 3.26835742705106e-02,
    -1.97617789446276e-02, -9.1642311634348e-03, 6.7641854487565e-03, 2.4333732129107e-03,
    -1.662863702186e-03, -6.381313431115e-04, 3.022595818445e-04, 1.405411497166e-04,
    -4.13404322768e-05, -2.13150268122e-05, 3.7346551755e-06, 2.0637618516e-06,
    -1.674428858e-07, -9.51765727e-08]
# The published float32 values of the first three and last two taps win over
# the rounding of the double table (they differ by at most one float32 step).
COIF30_HEAD = [-0.000212080835, 0.000358589692, 0.00217823638]
COIF30_TAIL = [-1.67442892e-07, -9.51765671e-08]

# Cubic-spline Battle-Lemarie scaling filter, b[n] = b[-n], n = 0..24.
BATTLE = [0.766137719, 0.433927, -0.0502022281, -0.110038124, 0.0320812203, 0.042068772,
          -0.0171764884, -0.0179825015, 0.00868538208, 0.00820155907, -0.00435388321,
          -0.00388246425, 0.00218673423, 0.0018821524, -0.0011037509, -0.00092720805,
          0.000559942273, 0.000462119875, -0.000285386574, -0.00023234963, 0.000146043341,
          0.000117628784, -7.49991741e-05, -5.98799415e-05, 3.86325482e-05]
BATTLE_ORDERS = [3, 4, 5, 6, 7, 8, 9, 10, 15, 20, 21, 25, 30, 31, 49]
# The published taps of order 3 were scaled from b in more precision than its
# float32 values; they differ from our scaling by one float32 step and win.
BATTLE3 = [0.0, 0.375562131, 0.663089275, 0.375562131]

BIOR39_HALF = [-0.000679744349, 0.00203923322, 0.00506031932, -0.0206189118, -0.0141127883,
               0.0991347805, 0.0123001365, -0.320191979, 0.00205002283, 0.942125678]
BIOR39_Q = [0.0] * 8 + [-0.176776692, 0.530330062, -0.530330062, 0.176776692] + [0.0] * 8
BIOR68_HEAD = [0, 0.00190883176, -0.00191428617, -0.0169906393, 0.0119345654, 0.0497329049,
               -0.0772631764, -0.0940592065, 0.420796275, 0.825923026]
BIOR68_Q = [0, 0, 0, 0.0144262826, -0.0144675048, -0.0787220001, 0.0403679796, 0.417849123,
            -0.758907735, 0.417849123, 0.0403679796, -0.0787220001, -0.0144675048, 0.0144262826,
            0, 0, 0, 0]
SPLINE62_P = [0, -0.110485435, 0.662912607, -1.23743689, -0.309359223, 3.40295148, -0.309359223,
              -1.23743689, 0.662912607, -0.110485435]
SPLINE66_P = [0, -0.00543795479, 0.0326277316, -0.0410867706, -0.13413623, 0.380138934,
              0.0961568579, -1.1963501, 0.358905017, 2.43257856, 0.358905017, -1.1963501,
              0.0961568579, 0.380138934, -0.13413623, -0.0410867706, 0.0326277316, -0.00543795479]
SPLINE6_SHORT = [-0.0220970865, 0.132582515, -0.331456304, 0.441941738, -0.331456304, 0.132582515,
                 -0.0220970865]
SPLINE97_HALF = [-0.0023143678, 0.0208293088, -0.0640901849, 0.0213633943, 0.325549006,
                 -0.64833045, -0.278975725, 2.22179294, -1.31918967, -3.67984462, 4.11031723]
SPLINE97_SHORT = [-0.00276213582, 0.0248592235, -0.0994368941, 0.23201941, -0.348029107,
                  0.348029107, -0.23201941, 0.0994368941, -0.0248592235, 0.00276213582]


def battle(order):
    """Taps of "Battle-Lemarie orthonormal <order>" as float64 before rounding."""
    if order == 3:
        return BATTLE3
    b = [float(f32(v)) for v in BATTLE]
    tap = lambda n: b[abs(n)]
    if order % 2:
        half = (order - 1) // 2
        taps = [tap(n) for n in range(-half, half + 1)]
    else:
        taps = [tap(n) for n in range(-(order // 2 - 1), order // 2 + 1)]
    if order != 49:
        scale = math.sqrt(2.0) / sum(taps)
        taps = [t * scale for t in taps]
    return ([0.0] if order % 2 else []) + taps


def entries():
    """(name, orthogonal, low prototype, high prototype, short high, short offset)."""
    out = [("Haar", True, pywt.Wavelet("haar").rec_lo, None, None, 0)]
    for n in list(range(2, 11)) + [15]:
        out.append(("Daubechies %d" % n, True, pywt.Wavelet("db%d" % n).rec_lo, None, None, 0))
    coif = [float(f32(v)) for v in COIF30]
    coif[:3] = COIF30_HEAD
    coif[-2:] = COIF30_TAIL
    out.append(("Coiflets 5", True, coif, None, None, 0))
    out.append(("Symlets 8", True, pywt.Wavelet("sym8").rec_lo, None, None, 0))
    out.append(("Biorthogonal 3/9", False, BIOR39_HALF + BIOR39_HALF[::-1], BIOR39_Q, None, 0))
    bior68 = BIOR68_HEAD + [BIOR68_HEAD[9 - k] for k in range(1, 9)]
    out.append(("Biorthogonal 6/8", False, bior68, BIOR68_Q, None, 0))
    for order in BATTLE_ORDERS:
        out.append(("Battle-Lemarie orthonormal %d" % order, True, battle(order), None, None, 0))
    # The 6/x splines reconstruct exactly only with p one place earlier (its
    # leading zero moved to the end) and the short high-pass one place later
    # than the plain centring would put it.
    out.append(("Spline 6/2", False, SPLINE62_P[1:] + [0.0], None, SPLINE6_SHORT, 2))
    out.append(("Spline 6/6", False, SPLINE66_P[1:] + [0.0], None, SPLINE6_SHORT, 6))
    out.append(("Spline 9/7", False, SPLINE97_HALF + SPLINE97_HALF[::-1], None, SPLINE97_SHORT, 6))
    return out


def fmt(values):
    vals = ["%.9g" % float(f32(v)) for v in values]
    vals = [v + "f" if ("." in v or "e" in v) else v + ".0f" for v in vals]
    lines = []
    for i in range(0, len(vals), 6):
        lines.append("    " + ", ".join(vals[i:i + 6]) + ",")
    return "\n".join(lines)


def main():
    w = sys.stdout.write
    w("// Generated by tools/gen_filter_banks.py; do not edit by hand.\n")
    w("// Stored prototype taps (float32) of the 33 filter banks, in table order.\n\n")
    rows = []
    for index, (name, ortho, low, high, short, offset) in enumerate(entries()):
        ident = "proto%02d" % index
        w("// %s\n" % name)
        w("const float %sLow[] = {\n%s\n};\n" % (ident, fmt(low)))
        high_ref = "nullptr"
        if high is not None:
            assert len(high) == len(low)
            w("const float %sHigh[] = {\n%s\n};\n" % (ident, fmt(high)))
            high_ref = ident + "High"
        short_ref, short_len = "nullptr", 0
        if short is not None:
            w("const float %sShort[] = {\n%s\n};\n" % (ident, fmt(short)))
            short_ref, short_len = ident + "Short", len(short)
        w("\n")
        rows.append('    {"%s", %s, %d, %sLow, %s, %s, %d, %d},\n'
                    % (name, "true" if ortho else "false", len(low), ident, high_ref, short_ref,
                       short_len, offset))
    w("const WaveletPrototype prototypes[] = {\n")
    for r in rows:
        w(r)
    w("};\n")


if __name__ == "__main__":
    main()
