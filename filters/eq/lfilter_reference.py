#!/usr/bin/env python3
"""Reference for the classic filter tests: reads lines "b0 b1 b2 b3 a1 a2 a3" (one design per
line) and a signal file of one value per line, filters the signal with scipy.signal.lfilter for
each design and writes the outputs, one line of values per design."""
import sys

import numpy as np
from scipy.signal import lfilter

designs = [list(map(float, line.split())) for line in open(sys.argv[1]) if line.strip()]
signal = np.loadtxt(sys.argv[2])
with open(sys.argv[3], "w") as out:
    for d in designs:
        b = d[0:4]
        a = [1.0] + d[4:7]
        out.write(" ".join(repr(v) for v in lfilter(b, a, signal)) + "\n")
