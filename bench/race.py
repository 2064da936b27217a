#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end race: lumora-cli hide and reveal, on its default threads and on one, against
the pipeline of standard tools that does the same work (zip -9 -P, openssl enc
-aes-256-ecb, cat; tail, openssl enc -d, unzip -P) and, when 7-Zip is installed, the same
pipeline with 7-Zip's zip writer on two threads. The sides run in turn, so all see the same
load; every run goes through /usr/bin/time for its peak resident memory. lumora-cli runs
with -v, whose step lines are timed as they come, which gives the read-back of a save.
Then Ctrl-C is sent to lumora-cli while it works, and the time it takes to end is taken."""

import argparse
import filecmp
import multiprocessing
import os
import shlex
import shutil
import signal
import statistics
import subprocess
import sys
import time

PASSWORD = "bench-password"


def password_key_hex():
    # The password key: the password's bytes, zero-filled to 32 bytes.
    key = PASSWORD.encode()[:32]
    return (key + bytes(32 - len(key))).hex()


class Run:
    """One timed run: wall and CPU seconds, peak RSS in KiB (over the command and its
    children), and for lumora-cli -v the seconds from each step line to the next."""

    def __init__(self, command, env):
        report = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"lumora-time-{os.getpid()}")
        start = time.perf_counter()
        process = subprocess.Popen(["/usr/bin/time", "-f", "%U %S %M", "-o", report] + command,
                                   env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                   text=True)
        stamps = [(line.strip(), time.perf_counter()) for line in process.stderr]
        process.wait()
        self.seconds = time.perf_counter() - start
        if process.returncode != 0:
            sys.exit(f"failed: {shlex.join(command)}")
        with open(report) as f:
            user, system, rss = f.read().strip().splitlines()[-1].split()
        os.unlink(report)
        self.cpu = float(user) + float(system)
        self.rss = int(rss)
        self.steps = {}
        ends = [t for _, t in stamps[1:]] + [start + self.seconds]
        for (line, began), ended in zip(stamps, ends):
            self.steps[line.removeprefix("lumora-cli: ")] = ended - began


def shell(text):
    return ["sh", "-c", text]


def spin(count):
    total = 0
    for i in range(count):
        total += i * i
    return total


def headroom():
    """How much faster two CPU-bound processes do two tasks than one does one after the
    other, now: about 2 on two idle cores, about 1 when other work holds the machine. The
    gain of lumora-cli's threads is bounded by it."""
    count = 3_000_000
    start = time.perf_counter()
    spin(count)
    spin(count)
    alone = time.perf_counter() - start
    start = time.perf_counter()
    with multiprocessing.Pool(2) as pool:
        pool.map(spin, [count, count])
    return alone / (time.perf_counter() - start)


def load():
    return "load average " + " ".join(f"{v:.2f}" for v in os.getloadavg())


def seven_zip():
    for name in ("7zz", "7z"):
        if shutil.which(name):
            return name
    return None


class Race:
    def __init__(self, cli, work, image, files, use_7zip):
        self.cli = cli
        self.work = work
        self.image = image
        self.files = files
        self.env = dict(os.environ, LUMORA_PASSWORD=PASSWORD)
        self.env.pop("LUMORA_THREADS", None)
        self.seven = seven_zip() if use_7zip else None
        self.carrier = os.path.join(work, "lumora-carrier.jpg")
        self.piped = os.path.join(work, "pipeline-carrier.jpg")
        self.sevened = os.path.join(work, "7zip-carrier.jpg")
        self.revealed = os.path.join(work, "lumora-revealed")
        self.unpacked = os.path.join(work, "pipeline-revealed")

    def clean(self, *paths):
        for path in paths:
            if os.path.isdir(path):
                shutil.rmtree(path)
            elif os.path.exists(path):
                os.unlink(path)

    def lumora_env(self, threads):
        env = dict(self.env)
        if threads is not None:
            env["LUMORA_THREADS"] = str(threads)
        return env

    def hide_command(self):
        return [self.cli, "hide", "-v", self.image, "-o", self.carrier] + self.files

    def reveal_command(self):
        return [self.cli, "reveal", "-v", self.carrier, "-d", self.revealed]

    def lumora_hide(self, threads=None):
        self.clean(self.carrier)
        return Run(self.hide_command(), self.lumora_env(threads))

    def lumora_reveal(self, threads=None):
        self.clean(self.revealed)
        return Run(self.reveal_command(), self.lumora_env(threads))

    def lumora_verify(self, threads=None):
        return Run([self.cli, "verify", self.carrier], self.lumora_env(threads))

    def hide_with(self, make_archive, carrier):
        """make_archive(archive) is the shell text that writes the zip archive; then
        openssl enciphers it and cat puts it behind the image."""
        archive = os.path.join(self.work, "pipeline.zip")
        encrypted = archive + ".enc"
        self.clean(carrier, archive, encrypted)
        q = shlex.quote
        text = (make_archive(q(archive))
                + f" && openssl enc -aes-256-ecb -K {password_key_hex()} -nosalt"
                f" -in {q(archive)} -out {q(encrypted)}"
                f" && cat {q(self.image)} {q(encrypted)} > {q(carrier)}")
        result = Run(shell(text), self.env)
        self.clean(archive, encrypted)
        return result

    def reveal_with(self, carrier, extract):
        """extract(archive) is the shell text that unpacks the deciphered archive."""
        archive = os.path.join(self.work, "pipeline-out.zip")
        self.clean(self.unpacked, archive)
        q = shlex.quote
        skip = os.path.getsize(self.image) + 1
        text = (f"tail -c +{skip} {q(carrier)}"
                f" | openssl enc -d -aes-256-ecb -K {password_key_hex()} -nosalt -out {q(archive)}"
                f" && {extract(q(archive))}")
        result = Run(shell(text), self.env)
        self.clean(archive)
        return result

    def pipeline_hide(self):
        files = " ".join(shlex.quote(f) for f in self.files)
        return self.hide_with(lambda archive: f"zip -q -9 -j -P {shlex.quote(PASSWORD)} "
                              f"{archive} {files}", self.piped)

    def pipeline_reveal(self):
        return self.reveal_with(self.piped, lambda archive: f"unzip -q -P {shlex.quote(PASSWORD)}"
                                f" -d {shlex.quote(self.unpacked)} {archive}")

    def seven_hide(self):
        files = " ".join(shlex.quote(f) for f in self.files)
        return self.hide_with(lambda archive: f"{self.seven} a -bd -bso0 -tzip -mx=9 -mmt=2 "
                              f"-mem=ZipCrypto -p{shlex.quote(PASSWORD)} {archive} {files}",
                              self.sevened)

    def seven_reveal(self):
        return self.reveal_with(self.sevened, lambda archive: f"{self.seven} x -bd -bso0 -y "
                                f"-p{shlex.quote(PASSWORD)} -o{shlex.quote(self.unpacked)} "
                                f"{archive}")

    def check(self, folder):
        for path in self.files:
            copy = os.path.join(folder, os.path.basename(path))
            if not filecmp.cmp(path, copy, shallow=False):
                sys.exit(f"{copy} differs from {path}")

    def cancel_latency(self, command, threads, step, delay):
        """Starts command, sends SIGINT `delay` seconds after its -v line `step`, and
        gives the seconds from the signal to its end, whether it ended by it, and whether
        the work was done before the signal came (the save said "saved", or the program
        ended on its own)."""
        process = subprocess.Popen(command, env=self.lumora_env(threads),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        for line in process.stderr:
            if line.strip() == f"lumora-cli: {step}":
                break
        time.sleep(delay)
        sent = time.perf_counter()
        process.send_signal(signal.SIGINT)
        rest = process.stderr.read()
        process.wait()
        done = process.returncode == 0 or "lumora-cli: saved " in rest
        return time.perf_counter() - sent, process.returncode == -signal.SIGINT, done


def report(name, results, baseline):
    """results: side name -> list of Run. Prints medians, ratios to baseline, peaks."""
    print(name)
    base_wall = statistics.median(r.seconds for r in results[baseline])
    base_cpu = statistics.median(r.cpu for r in results[baseline])
    for side, runs in results.items():
        wall = statistics.median(r.seconds for r in runs)
        cpu = statistics.median(r.cpu for r in runs)
        peak = max(r.rss for r in runs)
        print(f"  {side:26} wall {wall:7.2f} s ({wall / base_wall:4.2f}x)"
              f"  CPU {cpu:7.2f} s ({cpu / base_cpu:4.2f}x)  peak RSS {peak / 1024:6.1f} MiB"
              "  runs " + " ".join(f"{r.seconds:.2f}" for r in runs))


def step_report(name, runs):
    steps = {}
    for run in runs:
        for step, seconds in run.steps.items():
            steps.setdefault(step, []).append(seconds)
    print(f"  {name} steps (median of {len(runs)}, from one -v line to the next):")
    for step, seconds in steps.items():
        print(f"    {step[:60]:60} {statistics.median(seconds):6.2f} s")


def race(sides, runs):
    results = {name: [] for name, _ in sides}
    for _ in range(runs):
        before = headroom()
        for name, run in sides:
            results[name].append(run())
        print(f"  (round: two-process headroom {before:.2f}x before, {headroom():.2f}x after;"
              f" {load()})")
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--image", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--large", action="store_true",
                        help="one run each of the hide sides and lumora-cli's reveal")
    parser.add_argument("--no-7zip", action="store_true", help="leave 7-Zip out")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    r = Race(args.cli, args.work, args.image, [os.path.abspath(f) for f in args.files],
             not args.no_7zip)
    total = sum(os.path.getsize(f) for f in r.files)
    print(f"input: {len(r.files)} files, {total / 1e6:.1f} MB, image "
          f"{os.path.getsize(args.image) / 1e6:.2f} MB; processors usable: "
          f"{len(os.sched_getaffinity(0))}; 7-Zip: "
          f"{r.seven or ('left out' if args.no_7zip else 'not installed')}; {load()}")
    lumora = "lumora-cli (default threads)"
    single = "lumora-cli (1 thread)"
    hide_sides = [(lumora, r.lumora_hide), (single, lambda: r.lumora_hide(1)),
                  ("zip -9 + openssl + cat", r.pipeline_hide)]
    if r.seven:
        hide_sides.append(("7-Zip zip -mmt=2 + openssl", r.seven_hide))
    if args.large:
        hide_sides = [s for s in hide_sides if s[0] != single]
    hides = race(hide_sides, 1 if args.large else args.runs)
    report("hide", hides, "zip -9 + openssl + cat")
    step_report(lumora, hides[lumora])

    if args.large:
        revealed = r.lumora_reveal()
        r.check(r.revealed)
        print(f"reveal  {lumora}: wall {revealed.seconds:.2f} s  CPU {revealed.cpu:.2f} s"
              f"  peak RSS {revealed.rss / 1024:.1f} MiB")
    else:
        # Every side reveals its own carrier, written by the last hide race.
        reveal_sides = [(lumora, r.lumora_reveal), (single, lambda: r.lumora_reveal(1)),
                        ("tail + openssl + unzip", r.pipeline_reveal)]
        if r.seven:
            reveal_sides.append(("tail + openssl + 7-Zip", r.seven_reveal))
        reveals = race(reveal_sides, args.runs)
        r.check(r.revealed)
        r.check(r.unpacked)
        report("reveal", reveals, "tail + openssl + unzip")
        step_report(lumora, reveals[lumora])
        checks = race([(lumora, r.lumora_verify), (single, lambda: r.lumora_verify(1))],
                      args.runs)
        report("verify (the work of a save's read-back, alone)", checks, lumora)

        print("cancel: Ctrl-C during a step, seconds until lumora-cli ended (ended by SIGINT)")
        # The read-back of the corpus takes about a quarter of a second: signals come sooner.
        for command, step, output, delays in (
                (r.reveal_command(), "Unpacking", r.revealed, (0.3, 0.6, 0.9)),
                (r.hide_command(), "Packing files", r.carrier, (0.3, 0.6, 0.9)),
                (r.hide_command(), "Checking", r.carrier, (0.05, 0.1, 0.15))):
            for threads in (None, 1):
                latencies = []
                for delay in delays:
                    r.clean(output)
                    latencies.append(r.cancel_latency(command, threads, step, delay))
                    # A cancelled save writes no carrier.
                    _, by, done = latencies[-1]
                    if by and not done and output == r.carrier and os.path.exists(output):
                        sys.exit("a cancelled hide left its carrier behind")
                print(f"  {command[1]:6} {step:14} {'default' if threads is None else threads}"
                      " threads: " + ", ".join(
                          "step over before the signal" if done
                          else f"{s:.3f} s ({'yes' if by else 'NO'})"
                          for s, by, done in latencies))
        r.lumora_hide()  # the carrier again, after the cancelled saves

    sizes = [("lumora-cli", r.carrier), ("zip pipeline", r.piped)]
    if r.seven:
        sizes.append(("7-Zip pipeline", r.sevened))
    print("size    " + "  ".join(f"{name} {os.path.getsize(path):,} bytes"
                                 for name, path in sizes))
    r.clean(r.carrier, r.piped, r.sevened, r.revealed, r.unpacked)


if __name__ == "__main__":
    main()
