#!/usr/bin/env python3
"""Whole-process comparison of a null pass (every value read and written again) with sox
converting the same file, and with a plain copy of its bytes. Prints times and ratios.

usage: compare_null_pass.py BUILD_DIR [MINUTES]"""
import os
import sys
import tempfile

from timing import make_noise_file, time_runs


def main():
    build = sys.argv[1]
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    null_pass = os.path.join(build, "bench", "null_pass")
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as folder:
        source = os.path.join(folder, "in.wav")
        out = os.path.join(folder, "out.wav")
        make_noise_file(source, minutes * 60)
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
            best, median = time_runs(command)
            results[name] = best
            print(f"{name:20s} best {best * 1000:8.1f} ms   median {median * 1000:8.1f} ms")
        print()
        for ours, theirs in (("null pass 16 -> 24", "sox -b 24"), ("null pass 16 -> 16", "sox -b 16")):
            print(f"{theirs} / {ours}: {results[theirs] / results[ours]:.2f}x faster than sox")
            print(f"{ours} / cp: {results[ours] / results['cp']:.2f}x the time of cp")


if __name__ == "__main__":
    main()
