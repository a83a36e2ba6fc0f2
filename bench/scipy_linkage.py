#!/usr/bin/python3
"""Times scipy.cluster.hierarchy.linkage on the distances bench_clustering
clusters: the generated test table (TTestDataSrc::Generate, seed 230003,
n items x 10 dimensions), weighted Euclidean distances (every dimension's
difference times range(dim 0) / range(dim)).

Our linkages map to SciPy's methods: "min" -> single, "max" -> complete,
"average" ((a + b) / 2) -> weighted.

Usage: /usr/bin/python3 bench/scipy_linkage.py [n] [repetitions]
"""
import sys
import time

import numpy as np
from scipy.cluster.hierarchy import linkage
from scipy.spatial.distance import pdist


def generate(dims, points):
    """The generator of TTestDataSrc: columns last to first, rows last to first."""
    seed = 230003

    def random(n):
        nonlocal seed
        seed = (seed * 134775813 + 1) & 0xFFFFFFFF
        return (seed * n) >> 32

    values = np.zeros((points, dims))
    for c in range(dims - 1, -1, -1):
        value_range = (random(4) + 1) * 50
        for r in range(points - 1, -1, -1):
            values[r, c] = random(value_range)
    return values


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 8000
    repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    values = generate(10, n)
    ranges = values.max(axis=0) - values.min(axis=0)
    weights = ranges[0] / ranges
    distances = pdist(values * weights)
    print(f"{n} items x 10 dimensions, {distances.size} distances")
    for ours, method in (("min", "single"), ("max", "complete"), ("average", "weighted")):
        times = []
        for _ in range(repetitions):
            start = time.perf_counter()
            linkage(distances, method=method)
            times.append(time.perf_counter() - start)
        print(f"{ours:8s} ({method:8s}): best {min(times) * 1000:8.1f} ms, "
              f"median {sorted(times)[len(times) // 2] * 1000:8.1f} ms")


if __name__ == "__main__":
    main()
