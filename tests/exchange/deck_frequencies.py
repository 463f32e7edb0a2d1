#!/usr/bin/env python3
"""Natural frequencies [Hz, with 2 pi] of a rigid body on springs read from an
exported large-field bulk-data deck, by a reader that shares nothing with
QUAV's: CONM2 gives M, each CBUSH's PBUSH rates along its CORD2R axes give K,
and a Jacobi iteration solves L^-1 K L^-T. Prints the six, lowest first."""
import math
import re
import sys


def real(text):
    text = text.strip()
    m = re.match(r"^([+-]?[0-9.]+)([+-][0-9]+)$", text)  # 1.5-3, the short exponent form
    return float(m.group(1) + "e" + m.group(2)) if m else float(text or 0)


cards = []
for line in open(sys.argv[1]):
    line = line.rstrip("\n")
    fields = [line[8 + 16 * i : 24 + 16 * i] for i in range(4)]
    if line.startswith("*"):
        cards[-1][1].extend(fields)
    elif line[:8].strip().endswith("*"):
        cards.append([line[:8].strip().rstrip("*"), fields])
grid, cord, bush, rates, mass = {}, {}, [], {}, None
for name, f in cards:
    if name == "GRID":
        grid[int(f[0])] = [real(x) for x in f[2:5]]
    elif name == "CONM2":
        mass = (int(f[1]), real(f[3]), [real(x) for x in f[8:14]])
    elif name == "CORD2R":
        cord[int(f[0])] = [real(x) for x in f[2:11]]
    elif name == "CBUSH":
        bush.append((int(f[1]), int(f[2]), int(f[7])))
    elif name == "PBUSH":
        rates[int(f[0])] = [real(x) for x in f[2:5]]

n = 6
cg = grid[mass[0]]
i11, i21, i22, i31, i32, i33 = mass[2]
M = [[0.0] * n for _ in range(n)]
for i in range(3):
    M[i][i] = mass[1]
J = [[i11, -i21, -i31], [-i21, i22, -i32], [-i31, -i32, i33]]  # CONM2's signs
for i in range(3):
    for j in range(3):
        M[3 + i][3 + j] = J[i][j]


def sub(a, b):
    return [x - y for x, y in zip(a, b)]


def cross(a, b):
    return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]


def unit(a):
    s = math.sqrt(sum(x * x for x in a))
    return [x / s for x in a]


K = [[0.0] * n for _ in range(n)]
for pid, ga, cid in bush:
    a, b, c = cord[cid][0:3], cord[cid][3:6], cord[cid][6:9]
    ez = unit(sub(b, a))
    ey = unit(cross(ez, sub(c, a)))
    ex = cross(ey, ez)
    r = sub(grid[ga], cg)
    for axis, k in zip((ex, ey, ez), rates[pid]):
        g = axis + cross(r, axis)  # the axis as a motion of the body about its CoG
        for i in range(n):
            for j in range(n):
                K[i][j] += k * g[i] * g[j]

L = [[0.0] * n for _ in range(n)]
for i in range(n):
    for j in range(i + 1):
        s = M[i][j] - sum(L[i][k] * L[j][k] for k in range(j))
        L[i][j] = math.sqrt(s) if i == j else s / L[j][j]


def solve_lower(v):
    x = [0.0] * n
    for i in range(n):
        x[i] = (v[i] - sum(L[i][k] * x[k] for k in range(i))) / L[i][i]
    return x


Y = [solve_lower([K[i][j] for i in range(n)]) for j in range(n)]
A = [solve_lower([Y[j][i] for j in range(n)]) for i in range(n)]
for _ in range(100):
    if sum(A[i][j] ** 2 for i in range(n) for j in range(n) if i != j) < 1e-300:
        break
    for p in range(n):
        for q in range(p + 1, n):
            if abs(A[p][q]) < 1e-300:
                continue
            th = (A[q][q] - A[p][p]) / (2 * A[p][q])
            t = (1 if th >= 0 else -1) / (abs(th) + math.sqrt(th * th + 1))
            c = 1 / math.sqrt(t * t + 1)
            s = t * c
            for k in range(n):
                A[k][p], A[k][q] = c * A[k][p] - s * A[k][q], s * A[k][p] + c * A[k][q]
            for k in range(n):
                A[p][k], A[q][k] = c * A[p][k] - s * A[q][k], s * A[p][k] + c * A[q][k]
print(" ".join("%.17g" % (math.sqrt(A[i][i]) / (2 * math.pi)) for i in sorted(range(n), key=lambda i: A[i][i])))
