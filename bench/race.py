#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end race: lumora-cli hide and reveal against the pipeline of standard tools
that does the same work (zip -9 -P, openssl enc -aes-256-ecb, cat; tail, openssl enc -d,
unzip -P). The two sides run in turn, so both see the same load; every run goes through
/usr/bin/time for its peak resident memory."""

import argparse
import filecmp
import os
import shlex
import shutil
import statistics
import subprocess
import sys
import time

PASSWORD = "bench-password"


def password_key_hex():
    # The password key: the password's bytes, zero-filled to 32 bytes.
    key = PASSWORD.encode()[:32]
    return (key + bytes(32 - len(key))).hex()


def timed(command, env):
    """Runs command (a list) under /usr/bin/time; returns (wall seconds, CPU seconds of
    user and system time, peak RSS in KiB), all taken over the command and its children."""
    report = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"lumora-time-{os.getpid()}")
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report] + command, env=env,
                            stdout=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed: {shlex.join(command)}")
    with open(report) as f:
        user, system, rss = f.read().strip().splitlines()[-1].split()
    os.unlink(report)
    return seconds, float(user) + float(system), int(rss)


def shell(text):
    return ["sh", "-c", text]


class Race:
    def __init__(self, cli, work, image, files):
        self.cli = cli
        self.work = work
        self.image = image
        self.files = files
        self.env = dict(os.environ, LUMORA_PASSWORD=PASSWORD)
        self.carrier = os.path.join(work, "lumora-carrier.jpg")
        self.piped = os.path.join(work, "pipeline-carrier.jpg")
        self.revealed = os.path.join(work, "lumora-revealed")
        self.unpacked = os.path.join(work, "pipeline-revealed")

    def clean(self, *paths):
        for path in paths:
            if os.path.isdir(path):
                shutil.rmtree(path)
            elif os.path.exists(path):
                os.unlink(path)

    def lumora_hide(self):
        self.clean(self.carrier)
        return timed([self.cli, "hide", self.image, "-o", self.carrier] + self.files, self.env)

    def pipeline_hide(self):
        archive = os.path.join(self.work, "pipeline.zip")
        encrypted = archive + ".enc"
        self.clean(self.piped, archive, encrypted)
        q = shlex.quote
        text = (f"zip -q -9 -j -P {q(PASSWORD)} {q(archive)} "
                + " ".join(q(f) for f in self.files)
                + f" && openssl enc -aes-256-ecb -K {password_key_hex()} -nosalt"
                f" -in {q(archive)} -out {q(encrypted)}"
                f" && cat {q(self.image)} {q(encrypted)} > {q(self.piped)}")
        result = timed(shell(text), self.env)
        self.clean(archive, encrypted)
        return result

    def lumora_reveal(self):
        self.clean(self.revealed)
        return timed([self.cli, "reveal", self.carrier, "-d", self.revealed], self.env)

    def pipeline_reveal(self):
        archive = os.path.join(self.work, "pipeline-out.zip")
        self.clean(self.unpacked, archive)
        q = shlex.quote
        skip = os.path.getsize(self.image) + 1
        text = (f"tail -c +{skip} {q(self.piped)}"
                f" | openssl enc -d -aes-256-ecb -K {password_key_hex()} -nosalt -out {q(archive)}"
                f" && unzip -q -P {q(PASSWORD)} -d {q(self.unpacked)} {q(archive)}")
        result = timed(shell(text), self.env)
        self.clean(archive)
        return result

    def check_revealed(self):
        for folder in (self.revealed, self.unpacked):
            for path in self.files:
                copy = os.path.join(folder, os.path.basename(path))
                if not filecmp.cmp(path, copy, shallow=False):
                    sys.exit(f"{copy} differs from {path}")


def pair(name, lumora, pipeline, runs):
    sides = ("lumora", "pipeline")
    times = {side: [] for side in sides}
    cpu = {side: [] for side in sides}
    peaks = {side: 0 for side in sides}
    for _ in range(runs):
        for side, run in zip(sides, (lumora, pipeline)):
            seconds, cpu_seconds, rss = run()
            times[side].append(seconds)
            cpu[side].append(cpu_seconds)
            peaks[side] = max(peaks[side], rss)
    wall = {side: statistics.median(times[side]) for side in sides}
    used = {side: statistics.median(cpu[side]) for side in sides}
    print(f"{name:7} wall: lumora-cli {wall['lumora']:6.2f} s  pipeline {wall['pipeline']:6.2f} s"
          f"  ratio {wall['lumora'] / wall['pipeline']:4.2f}x  (median of {runs}; lumora "
          + " ".join(f"{t:.2f}" for t in times["lumora"]) + ", pipeline "
          + " ".join(f"{t:.2f}" for t in times["pipeline"]) + ")")
    print(f"{'':7} CPU:  lumora-cli {used['lumora']:6.2f} s  pipeline {used['pipeline']:6.2f} s"
          f"  ratio {used['lumora'] / used['pipeline']:4.2f}x  (user + system, median)")
    print(f"{'':7} peak RSS: lumora-cli {peaks['lumora'] / 1024:.1f} MiB"
          f"  pipeline {peaks['pipeline'] / 1024:.1f} MiB (largest process)")


def single(name, run):
    seconds, cpu_seconds, rss = run()
    print(f"{name:7} lumora-cli {seconds:7.2f} s wall  {cpu_seconds:7.2f} s CPU"
          f"  peak RSS {rss / 1024:.1f} MiB")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--image", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--lumora-only", action="store_true",
                        help="one run of lumora-cli alone (for the large file)")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    race = Race(args.cli, args.work, args.image, [os.path.abspath(f) for f in args.files])
    total = sum(os.path.getsize(f) for f in race.files)
    print(f"input: {len(race.files)} files, {total / 1e6:.1f} MB, image "
          f"{os.path.getsize(args.image) / 1e6:.2f} MB")
    if args.lumora_only:
        single("hide", race.lumora_hide)
        single("reveal", race.lumora_reveal)
        for path in race.files:
            copy = os.path.join(race.revealed, os.path.basename(path))
            if not filecmp.cmp(path, copy, shallow=False):
                sys.exit(f"{copy} differs from {path}")
        race.clean(race.carrier, race.revealed)
        return
    pair("hide", race.lumora_hide, race.pipeline_hide, args.runs)
    pair("reveal", race.lumora_reveal, race.pipeline_reveal, args.runs)
    race.check_revealed()
    lum = os.path.getsize(race.carrier)
    pipe = os.path.getsize(race.piped)
    print(f"size    carrier {lum:,} bytes  pipeline output {pipe:,} bytes"
          f"  ratio {lum / pipe:.4f}")
    race.clean(race.carrier, race.piped, race.revealed, race.unpacked)


if __name__ == "__main__":
    main()
