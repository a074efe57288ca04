#!/usr/bin/env python3
"""Writes the sample curves: four heating runs of one polymer sample in a differential
scanning calorimeter. Three header lines, then one line per reading with six numbers:
reading number, time (s), furnace set point (C), reference temperature (C),
sample temperature (C) and heat flow (mW). Sample temperature (column 5) is x and heat
flow (column 6) is y with the default settings."""
import math
import random

RUNS = [  # name, start temperature, readings, peak shift, noise seed
    ("run1.txt", 30.0, 300, 0.00, 11),
    ("run2.txt", 31.2, 296, 0.35, 12),
    ("run3.txt", 29.5, 305, -0.20, 13),
    ("run4.txt", 30.6, 298, 0.15, 14),
]
RATE = 0.5  # K per reading (10 K/min, one reading every 3 s)


def heat_flow(t, shift, rng):
    baseline = -0.80 - 0.0021 * (t - 30.0)
    melt = -4.6 * math.exp(-((t - (128.0 + shift)) / 4.2) ** 2)
    glass = -0.35 / (1.0 + math.exp(-(t - 62.0) / 1.5))
    return baseline + melt + glass + rng.gauss(0.0, 0.012)


for name, start, count, shift, seed in RUNS:
    rng = random.Random(seed)
    with open(name, "w", newline="\r\n") as out:
        out.write("DSC heating run, 10 K/min, N2 50 ml/min\n")
        out.write("Sample: PE-HD pellet 5.21 mg, pan Al crimped, %s\n" % name[:-4])
        out.write("No  Time/s  Tset/C  Tref/C  Tsample/C  HeatFlow/mW\n")
        for i in range(count):
            tset = start + RATE * i
            tref = tset - 0.42 + rng.gauss(0.0, 0.01)
            tsample = tset - 0.61 + rng.gauss(0.0, 0.02)
            out.write("%4d %7.1f %7.2f %7.3f %8.3f %8.4f\n" % (
                i + 1, 3.0 * i, tset, tref, tsample, heat_flow(tsample, shift, rng)))
