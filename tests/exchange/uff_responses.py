#!/usr/bin/env python3
"""Reads the frequency responses (dataset 58, evenly spaced complex values) of a
universal file with a reader that shares nothing with QUAV's, and prints the
first response as CSV: frequency and magnitude, as `quav-cli sweep` prints a
curve."""
import sys

lines = open(sys.argv[1]).read().split("\n")
responses = []
i = 0
while i < len(lines):
    if lines[i].strip() == "58" and lines[i - 1].strip() == "-1":
        count, even, start, step = lines[i + 7].split()[1:5]
        if lines[i + 7].split()[0] != "6" or even != "1":
            sys.exit("dataset 58 at line %d: not evenly spaced complex doubles" % (i + 1))
        values = []
        i += 12
        while lines[i].strip() != "-1":
            values += [float(v) for v in lines[i].split()]
            i += 1
        n = int(count)
        if len(values) != 2 * n:
            sys.exit("dataset 58: %d values for %d points" % (len(values), n))
        f0, df = float(start), float(step)
        responses.append([(f0 + k * df, complex(values[2 * k], values[2 * k + 1])) for k in range(n)])
    i += 1
print("responses,%d" % len(responses))
for f, h in responses[0]:
    print("%.17g,%.17g" % (f, abs(h)))
