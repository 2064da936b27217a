#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Times lumora-cli scan over a generated tree of small files.

The tree (made once, then kept): FILES small files of 100 to 400 seeded random bytes in
folders of 100, ten levels of folders deep at most, with CARRIERS copies of a real carrier
among them, a few symbolic links and FIFOs. Each run scans the whole tree with a warm page
cache; the median of RUNS wall-clock times is reported, with the user and system CPU time
of that run.
"""
import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import time


def make_tree(root, files, carriers, carrier):
    random.seed(19)
    stamp = os.path.join(root, ".complete")
    if os.path.exists(stamp):
        return
    shutil.rmtree(root, ignore_errors=True)
    chosen = set(random.sample(range(files), carriers))
    for i in range(files):
        folder = os.path.join(root, *[f"d{(i // 100) >> (3 * k) & 7}" for k in range(3)],
                              f"f{i // 100}")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, f"file{i}.bin")
        if i in chosen:
            shutil.copyfile(carrier, path)
        else:
            with open(path, "wb") as out:
                out.write(random.randbytes(random.randint(100, 400)))
        if i % 5000 == 1:
            os.symlink(path, path + ".link")
            os.mkfifo(os.path.join(folder, "pipe"))
    open(stamp, "w").close()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--carrier", required=True, help="a carrier to copy into the tree")
    parser.add_argument("--files", type=int, default=100_000)
    parser.add_argument("--carriers", type=int, default=20)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    root = os.path.join(args.work, f"scan-tree-{args.files}")
    started = time.monotonic()
    make_tree(root, args.files, args.carriers, args.carrier)
    print(f"tree: {args.files} files in {root} (ready after {time.monotonic() - started:.1f} s)")

    runs = []
    for _ in range(args.runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        started = time.monotonic()
        done = subprocess.run([args.cli, "scan", root], capture_output=True, text=True)
        wall = time.monotonic() - started
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        found = done.stdout.count("\n")
        if done.returncode != 0 or found != args.carriers:
            sys.exit(f"scan failed ({done.returncode}), found {found}: {done.stderr}")
        runs.append((wall, after.ru_utime - before.ru_utime, after.ru_stime - before.ru_stime))
    wall, user, system = sorted(runs)[len(runs) // 2]
    print(f"scan: median {wall:.3f} s wall ({user:.3f} s user, {system:.3f} s system) "
          f"over {args.runs} runs, {args.carriers} carriers found; "
          f"all runs: {', '.join(f'{r[0]:.3f}' for r in runs)} s")
    print(f"      {statistics.mean(r[0] for r in runs) * 1e6 / args.files:.1f} µs per file")


if __name__ == "__main__":
    main()
