#!/usr/bin/env python3
"""The optimiser's unscreened study run by numpy, side by side with quav-cli.

The study of quav_bench's BM_OptimizerRun (screened 0): the example model with
its mounts upright about z, four parameters bound to rates and positions (18
values each by default: 104,976 variants), and the conditions only the modes
settle. Builds the variants' stiffness and mass matrices as the engine does
(springs oriented by their angles, rates times the dynamic factor, moment arms
about the centre of gravity) and solves them with numpy.linalg.eigh: a variant
at a time, as a study script would (on a sample of them), and all of them
stacked in a few calls. Both are timed against `quav-cli optimize` of the same
study on one thread (the whole process: start, model, files, log), and the
frequencies of the variants quav-cli accepts are compared with numpy's.

    /usr/bin/python3 bench/numpy_reference.py build-rel/src/quav-cli
        [examples/power_unit.json] [--values 18] [--sample 10000]

Needs numpy (Debian: apt-get install python3-numpy). On a machine where
OPENBLAS_CORETYPE is set, unset it for this command to let OpenBLAS pick its
kernel.

quav-cli's run writes its folder (the accepted variants' files and the log) in
the temporary directory, which TMPDIR chooses: its time includes creating those
files, which on some file systems costs more than the calculation.
"""

import argparse
import itertools
import json
import os
import subprocess
import sys
import tempfile
import time

import numpy as np

TWO_PI = 6.283184  # the engine's 2 pi
DEGREE = 0.01745328888888889  # 3.141592 / 180


def orientation(angles):
    """Rx(-angle y) Rz(angle z + 90 deg), as the engine orients a spring, for
    angles (..., 3)."""
    a1 = -angles[..., 1] * DEGREE
    a2 = (angles[..., 2] + 90.0) * DEGREE
    c1, s1, c2, s2 = np.cos(a1), np.sin(a1), np.cos(a2), np.sin(a2)
    zero = np.zeros_like(c1)
    return np.stack([np.stack([c2, -s2, zero], -1), np.stack([c1 * s2, c1 * c2, -s1], -1),
                     np.stack([s1 * s2, s1 * c2, c1], -1)], -2)


def skew(r):
    """S with S v = r x v, stacked over the leading axes of r."""
    s = np.zeros(r.shape[:-1] + (3, 3))
    s[..., 0, 1], s[..., 0, 2] = -r[..., 2], r[..., 1]
    s[..., 1, 0], s[..., 1, 2] = r[..., 2], -r[..., 0]
    s[..., 2, 0], s[..., 2, 1] = -r[..., 1], r[..., 0]
    return s


def frequencies(model, positions, angles, rates):
    """Descending frequencies [Hz] of the variants: positions and angles (n, s, 3)
    of each spring, rates (n, s, 3) of each spring's characteristic."""
    n = positions.shape[0]
    cog = np.asarray(model["centreOfGravity"])
    k = np.zeros((n, 6, 6))
    for s in range(positions.shape[1]):
        o = orientation(angles[:, s])
        ks = o @ (rates[:, s, :, None] * np.swapaxes(o, 1, 2))
        a = np.concatenate([np.broadcast_to(np.eye(3), (n, 3, 3)),
                            np.swapaxes(skew(positions[:, s] - cog), 1, 2)], axis=2)
        k += np.swapaxes(a, 1, 2) @ ks @ a
    m = np.zeros((6, 6))
    m[:3, :3] = np.eye(3) * model["mass"]
    m[3:, 3:] = np.asarray(model["inertia"])
    inverse = np.linalg.inv(np.linalg.cholesky(m))
    lam = np.linalg.eigvalsh(inverse @ k @ inverse.T)
    return np.sort(np.sqrt(np.abs(lam)) / TWO_PI, axis=1)[:, ::-1]


def spring_arrays(model, variants):
    """Positions, angles and rates (dynamic factor applied) of `variants` models."""
    chars = {c["id"]: c for c in model["springCharacteristics"]}
    positions, angles, rates = [], [], []
    for v in variants:
        positions.append([s["position"] for s in v["springs"]])
        angles.append([s["angles"] for s in v["springs"]])
        vc = {c["id"]: c for c in v["springCharacteristics"]}
        rates.append([np.asarray(vc[s["characteristicId"]]["stiffness"]) *
                      chars[s["characteristicId"]]["dynamicFactor"] for s in v["springs"]])
    return np.asarray(positions, float), np.asarray(angles, float), np.asarray(rates, float)


def study_arrays(model, values):
    """The study's variants in enumeration order, the bindings applied as the
    engine applies them (parameter value x multiplier)."""
    params = model["optimizer"]["parameters"]
    grids = [p["minValue"] + np.arange(values) * (p["maxValue"] - p["minValue"]) / (values - 1)
             for p in params]
    springs = model["springs"]
    index = {s["id"]: i for i, s in enumerate(springs)}
    chars = {c["id"]: c for c in model["springCharacteristics"]}
    base_pos = np.asarray([s["position"] for s in springs], float)
    base_ang = np.asarray([s["angles"] for s in springs], float)
    base_rate = {cid: np.asarray(c["stiffness"], float) for cid, c in chars.items()}
    combos = np.asarray(list(itertools.product(*grids)))
    n = len(combos)
    pos = np.broadcast_to(base_pos, (n,) + base_pos.shape).copy()
    ang = np.broadcast_to(base_ang, (n,) + base_ang.shape).copy()
    rate = {cid: np.broadcast_to(r, (n, 3)).copy() for cid, r in base_rate.items()}
    column = {p["id"]: i for i, p in enumerate(params)}
    for b in model["optimizer"]["bindings"]:
        value = combos[:, column[b["parameterId"]]] * b["multiplier"]
        t = b["target"]
        if b["objectId"] in index and 1 <= t <= 6:
            (pos if t <= 3 else ang)[:, index[b["objectId"]], (t - 1) % 3] = value
        if b["objectId"] in rate and 1 <= t <= 3:
            rate[b["objectId"]][:, t - 1] = value
    rates = np.stack([rate[s["characteristicId"]] * chars[s["characteristicId"]]["dynamicFactor"]
                      for s in springs], axis=1)
    return combos, pos, ang, rates


def study(model, values):
    """quav_bench's study on the example model: its mounts upright about z (as
    bench/BenchModels.h makes them), its parameters, bindings and the conditions
    no screen settles."""
    for spring in model["springs"]:
        spring["angles"][2] = 0.0
    steps = values - 1
    model["optimizer"] = {
        "parameterIdCounter": 4,
        "parameters": [
            {"id": 1, "name": "front Kxx", "minValue": 2.3e5, "maxValue": 2.3e5 + 9e4,
             "increment": 9e4 / steps, "currentValue": 2.3e5},
            {"id": 2, "name": "rear Kxx", "minValue": 1.7e5, "maxValue": 1.7e5 + 9e4,
             "increment": 9e4 / steps, "currentValue": 1.7e5},
            {"id": 3, "name": "rear x", "minValue": -0.44, "maxValue": -0.35,
             "increment": 0.09 / steps, "currentValue": -0.44},
            {"id": 4, "name": "front y", "minValue": 0.21, "maxValue": 0.3,
             "increment": 0.09 / steps, "currentValue": 0.21},
        ],
        "bindings": [{"objectId": 6, "target": t, "parameterId": 1,
                      "multiplier": 1.0 if t == 1 else 0.2} for t in (1, 2, 3)] +
                    [{"objectId": 7, "target": t, "parameterId": 2,
                      "multiplier": 1.0 if t == 1 else 0.2} for t in (1, 2, 3)] +
                    [{"objectId": 4, "target": 1, "parameterId": 3, "multiplier": 1.0},
                     {"objectId": 5, "target": 1, "parameterId": 3, "multiplier": 1.0},
                     {"objectId": 2, "target": 2, "parameterId": 4, "multiplier": -1.0},
                     {"objectId": 3, "target": 2, "parameterId": 4, "multiplier": 1.0}],
        "conditions": {
            "modeConditionEnabled": [0, 0, 1, 0, 0, 0],
            "modeContributionPct": [0, 0, 50, 0, 0, 0],
            "modeMaxFrequency": [0, 0, 14, 0, 0, 0],
            "minFrequencyEnabled": 0, "maxFrequencyEnabled": 0,
            "minFrequency": 5, "maxFrequency": 20,
            "springRatioEnabled": 0, "springRatio": 5, "springRatioTolerancePct": 10,
            "meanCouplingEnabled": 1, "meanCouplingMax": 10.0,
            "displacementConditions": [],
        },
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cli")
    parser.add_argument("model", nargs="?",
                        default=os.path.join(os.path.dirname(__file__), "..", "examples",
                                             "power_unit.json"))
    parser.add_argument("--values", type=int, default=18)
    parser.add_argument("--sample", type=int, default=10000,
                        help="variants numpy solves one at a time")
    args = parser.parse_args()

    with open(args.model, encoding="utf-8") as f:
        model = json.load(f)
    study(model, args.values)

    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "study.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump(model, f)
        start = time.perf_counter()
        subprocess.run([args.cli, "optimize", path, "--out", os.path.join(work, "run"),
                        "--threads", "1"], check=True, stderr=subprocess.DEVNULL)
        quav_seconds = time.perf_counter() - start

        combos, pos, ang, rates = study_arrays(model, args.values)
        n = len(combos)
        sample = min(n, args.sample)
        start = time.perf_counter()
        for i in range(sample):
            frequencies(model, pos[i:i + 1], ang[i:i + 1], rates[i:i + 1])
        loop_seconds = time.perf_counter() - start

        start = time.perf_counter()
        chunk = 8192
        for first in range(0, n, chunk):
            frequencies(model, pos[first:first + chunk], ang[first:first + chunk],
                        rates[first:first + chunk])
        stacked_seconds = time.perf_counter() - start

        accepted = sorted(f for f in os.listdir(os.path.join(work, "run"))
                          if f.startswith("No"))
        worst = 0.0
        for name in accepted:
            dump = subprocess.run([args.cli, "dump", os.path.join(work, "run", name)],
                                  check=True, capture_output=True, text=True).stdout
            variant = json.loads(dump)
            ours = np.asarray(variant["results"]["eigenFrequencies"], float).ravel()
            theirs = frequencies(model, *spring_arrays(model, [variant]))[0]
            worst = max(worst, float(np.max(np.abs(ours - theirs) / theirs)))

    print(f"variants: {n}, accepted by quav-cli: {len(accepted)}")
    quav_rate = n / quav_seconds
    for label, count, seconds in (("quav-cli optimize, 1 thread", n, quav_seconds),
                                  ("numpy, a variant at a time", sample, loop_seconds),
                                  ("numpy, stacked", n, stacked_seconds)):
        rate = count / seconds
        print(f"{label:28s} {count:7d} variants {seconds:8.3f} s {rate:12,.0f} variants/s "
              f"{quav_rate / rate:6.0f} x slower than quav-cli")
    print(f"largest relative difference of the accepted variants' frequencies: {worst:.2e}")
    return 0 if accepted and worst < 1e-9 else 1


if __name__ == "__main__":
    sys.exit(main())
