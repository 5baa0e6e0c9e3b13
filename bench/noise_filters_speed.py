#!/usr/bin/env python3
"""Speed of the dynamic noise and adaptive speech filters: each engine run by `ztlive-cli process`
over 10 minutes of 24-bit stereo 44.1 kHz audio (a tone in pink noise, made by sox into a
temporary folder), as times real time: the length of the audio over the wall time of the whole
process (reading, filtering, writing), best of RUNS runs (the machine is shared).

usage: noise_filters_speed.py BUILD_DIR [SECONDS] [RUNS]"""
import os
import subprocess
import sys
import tempfile
import time

# name, filter, values
CASES = [
    ("dynamic noise", "dynamic-noise", "1000,1000,50,100,0,0,0"),
    ("dynamic noise, enhancer +6 dB", "dynamic-noise", "1000,3000,50,100,0,60,1"),
    ("adaptive, time delay, 32 taps", "adaptive", "100,0,2,32,1,0"),
    ("adaptive, right channel, 32 taps", "adaptive", "100,0,0,32,0,0"),
    ("adaptive, time delay, 256 taps", "adaptive", "100,0,2,256,1,0"),
]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cli = os.path.join(sys.argv[1], "cli", "ztlive-cli")
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 600
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    with tempfile.TemporaryDirectory(prefix="noise-filters-speed-") as folder:
        env = dict(os.environ, ZTLIVE_HOME=os.path.join(folder, "home"))
        os.makedirs(env["ZTLIVE_HOME"])
        source = os.path.join(folder, "source.wav")
        subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "24", source, "synth", str(seconds),
                        "pinknoise", "synth", "sine", "mix", "440", "vol", "0.4"], check=True)
        output = os.path.join(folder, "out.wav")
        print("%.0f s of 24-bit stereo 44.1 kHz, best of %d runs" % (seconds, runs))
        print("%-36s %10s %12s" % ("filter", "wall s", "x real time"))
        for name, filter_name, values in CASES:
            best = float("inf")
            for _ in range(runs):
                if os.path.exists(output):
                    os.remove(output)
                start = time.perf_counter()
                subprocess.run([cli, "process", "--filter", filter_name, "--values", values, source, output],
                               check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                best = min(best, time.perf_counter() - start)
            print("%-36s %10.2f %12.1f" % (name, best, seconds / best), flush=True)


if __name__ == "__main__":
    main()
