#!/usr/bin/env python3
"""A batch of sixteen one-minute files (16-bit stereo 44.1 kHz pink noise, made by sox) through
the impulse and continuous noise filters as one chain, each file's noise print taken from its
first second: the wall time of the whole batch with --jobs 1 and with --jobs 2, the throughput
ratio (goal: at least 1.8 on two cores), and the peak memory of one worker (a run of one file,
measured with getrusage of the children) and of the batch process itself.

Each batch runs RUNS times (default 3), the two taking turns, and the best wall time of each
counts (the machine is shared); the CPU time (user and system of all processes) of the best
runs is given too. The two batches write into folders of their own and must give the same bytes.

usage: batch_timing.py BUILD_DIR [FILES] [SECONDS] [RUNS]"""
import filecmp
import os
import resource
import subprocess
import sys
import tempfile
import time

GOAL = 1.8
CHAIN = ["--chain", "impulse+continuous-noise", "--noise-from", "0", "--noise-to", "1"]


def peak_rss_of(command, env):
    """The peak resident memory (MiB) of the largest child of this script after command ran."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    subprocess.run(command, check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    return max(before, after) / 1024.0, after > before


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cli = os.path.join(sys.argv[1], "cli", "ztlive-cli")
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 16
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 60
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    with tempfile.TemporaryDirectory(prefix="batch-timing-") as folder:
        env = dict(os.environ, ZTLIVE_HOME=os.path.join(folder, "home"))
        os.makedirs(env["ZTLIVE_HOME"])
        files = []
        for i in range(count):
            path = os.path.join(folder, "side%02d.wav" % i)
            subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth", str(seconds),
                            "pinknoise", "vol", "0.5"], check=True)
            files.append(path)
        # One worker alone first: the peak memory of a run of one file.
        worker_mib, _ = peak_rss_of([cli, "process"] + CHAIN + [files[0], os.path.join(folder, "alone.wav")], env)
        walls = {1: float("inf"), 2: float("inf")}
        cpus = {}
        for _ in range(runs):
            for jobs in (1, 2):
                out = os.path.join(folder, "jobs%d" % jobs)
                command = [cli, "--yes", "batch", "--jobs", str(jobs), "--out-dir", out] + CHAIN + files
                before = resource.getrusage(resource.RUSAGE_CHILDREN)
                start = time.perf_counter()
                subprocess.run(command, check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                wall = time.perf_counter() - start
                after = resource.getrusage(resource.RUSAGE_CHILDREN)
                if wall < walls[jobs]:
                    walls[jobs] = wall
                    cpus[jobs] = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
        batch_mib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024.0
        same = all(filecmp.cmp(os.path.join(folder, "jobs1", os.path.basename(f)),
                               os.path.join(folder, "jobs2", os.path.basename(f)), shallow=False) for f in files)
    audio = count * seconds
    ratio = walls[1] / walls[2]
    print("batch_timing: %d files of %.0f s, impulse+continuous-noise, best of %d" % (count, seconds, runs))
    for jobs in (1, 2):
        print("  --jobs %d: %7.2f s wall, %6.1f x real time, %6.2f s CPU" %
              (jobs, walls[jobs], audio / walls[jobs], cpus[jobs]))
    print("  throughput --jobs 2 / --jobs 1: %.2f (goal >= %.1f) %s" % (ratio, GOAL, "ok" if ratio >= GOAL else "BELOW GOAL"))
    print("  peak memory: one worker %.1f MiB; largest process of the runs %.1f MiB" % (worker_mib, batch_mib))
    print("  results of --jobs 1 and --jobs 2 %s" % ("identical" if same else "DIFFER"))
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
