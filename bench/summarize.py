#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Prints one line per benchmark from Google Benchmark's JSON on stdin: the median and the
best rate over the repetitions, in MB/s (10^6 bytes per CPU second). On a shared machine
the best run is the one least disturbed by other work."""

import json
import statistics
import sys


def main():
    report = json.load(sys.stdin)
    rates = {}
    labels = {}
    for run in report["benchmarks"]:
        if run.get("run_type") != "iteration" or "bytes_per_second" not in run:
            continue
        name = run["run_name"]
        rates.setdefault(name, []).append(run["bytes_per_second"] / 1e6)
        labels[name] = run.get("label", "")
    print(f"{'benchmark':34} {'median MB/s':>12} {'best MB/s':>10}  runs  path")
    for name, values in rates.items():
        print(f"{name:34} {statistics.median(values):12.1f} {max(values):10.1f}"
              f"  {len(values):4}  {labels[name]}")


if __name__ == "__main__":
    main()
