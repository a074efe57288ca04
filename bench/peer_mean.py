#!/usr/bin/env python3
"""The numpy script a scientist would write instead of mergon-batch, for the whole-process
timing in bench/: the same input files with the start settings (3 header lines, x in column 5,
y in column 6), the same even grid over the common x range, linear interpolation, the mean,
and a table written to a file.

usage: peer_mean.py DIVISIONS OUTPUT FILE ...
"""
import sys

import numpy as np


def main(argv):
    divisions = int(argv[1])
    output = argv[2]
    curves = [np.loadtxt(path, skiprows=3, usecols=(4, 5), unpack=True) for path in argv[3:]]

    # The grid as mergon makes it: every step rounded to float32.
    lo = np.float32(max(x.min() for x, _ in curves))
    hi = np.float32(min(x.max() for x, _ in curves))
    step = np.float32((np.float64(hi) - np.float64(lo)) / divisions)
    products = (np.float64(step) * np.arange(divisions + 1)).astype(np.float32)
    grid = lo + products

    mean = np.mean([np.interp(grid.astype(np.float64), x, y) for x, y in curves], axis=0)
    table = np.column_stack((np.arange(1, divisions + 2), grid, mean))
    np.savetxt(output, table, fmt=("%d", "%.7g", "%.15g"), header="No x y", comments="")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
