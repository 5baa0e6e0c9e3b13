#!/usr/bin/env python3
"""Whole-process comparison of a null pass (every value read and written again) with sox
converting the same file, and with a plain copy of its bytes. Prints times and ratios.

usage: compare_null_pass.py BUILD_DIR [MINUTES]"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def best_of(command, runs=5):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return min(times), statistics.median(times)


def main():
    build = sys.argv[1]
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    null_pass = os.path.join(build, "bench", "null_pass")
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as folder:
        source = os.path.join(folder, "in.wav")
        out = os.path.join(folder, "out.wav")
        subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", source,
                        "synth", str(minutes * 60), "pinknoise", "vol", "0.5"], check=True)
        print(f"source: {minutes:g} minutes of 16-bit stereo, {os.path.getsize(source) / 1e6:.1f} MB")
        cases = [
            ("null pass 16 -> 24", [null_pass, source, out, "24"]),
            ("sox -b 24", ["sox", "-D", source, "-b", "24", out]),
            ("null pass 16 -> 16", [null_pass, source, out, "16"]),
            ("sox -b 16", ["sox", "-D", source, "-b", "16", out]),
            ("cp", ["cp", source, out]),
        ]
        results = {}
        for name, command in cases:
            best, median = best_of(command)
            results[name] = best
            print(f"{name:20s} best {best * 1000:8.1f} ms   median {median * 1000:8.1f} ms")
        print()
        for ours, theirs in (("null pass 16 -> 24", "sox -b 24"), ("null pass 16 -> 16", "sox -b 16")):
            print(f"{theirs} / {ours}: {results[theirs] / results[ours]:.2f}x faster than sox")
            print(f"{ours} / cp: {results[ours] / results['cp']:.2f}x the time of cp")


if __name__ == "__main__":
    main()
