#!/usr/bin/env python3
"""Peak building and range operations on a one-hour 16-bit stereo file (about 635 MB, from the
page cache), beside cat and dd of the same bytes. Prints times and ratios.

usage: compare_file_ops.py BUILD_DIR [MINUTES]"""
import os
import subprocess
import sys
import tempfile

from timing import make_noise_file, time_runs


def best_ms(command, **kwargs):
    return time_runs(command, runs=3, **kwargs)[0] * 1000


def main():
    build = sys.argv[1]
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    timing = os.path.join(build, "bench", "file_ops_timing")
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as folder:
        wave = os.path.join(folder, "hour.wav")
        make_noise_file(wave, minutes * 60)
        size = os.path.getsize(wave)
        cat_ms = best_ms(f"cat '{wave}' > /dev/null", shell=True)
        dd_ms = best_ms(["dd", f"if={wave}", f"of={os.path.join(folder, 'dd.raw')}", "bs=4096"])
        out = subprocess.run([timing, wave], check=True, capture_output=True, text=True).stdout
        ours = dict(line.split() for line in out.strip().splitlines())
        print(f"file: {minutes:g} minutes of 16-bit stereo, {size / 1e6:.0f} MB")
        print(f"peak build       {float(ours['build_ms']):8.1f} ms   cat {cat_ms:8.1f} ms   ratio {float(ours['build_ms']) / cat_ms:.2f}")
        print(f"display peaks    {float(ours['display_ms']):8.3f} ms   (2048 columns, whole file)")
        print(f"CopyRange (all)  {float(ours['copy_ms']):8.1f} ms   dd bs=4096 {dd_ms:8.1f} ms   ratio {float(ours['copy_ms']) / dd_ms:.2f}")
        print(f"CutRange (1/10)  {float(ours['cut_ms']):8.1f} ms   (moves 9/10 of the data)")


if __name__ == "__main__":
    main()
