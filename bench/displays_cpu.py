#!/usr/bin/env python3
"""The CPU cost of the displays: the main window (offscreen) plays a two-minute 16-bit stereo
44.1 kHz file (music-like sox tones) on a private JACK server, once with the level meter,
spectrum analyzer and XY display open and once with all three closed, and the whole process's
CPU time while playing is compared (goal: at most 5 % of one core more with the displays open).

Each case runs RUNS times (default 3), the two taking turns, and the median of each counts (the
machine is shared).

usage: displays_cpu.py BUILD_DIR [SECONDS] [RUNS]"""
import os
import statistics
import subprocess
import sys
import tempfile

GOAL = 5.0


def run(host, wave, seconds, case, env):
    out = subprocess.run([host, wave, str(seconds), case], env=env, capture_output=True, text=True, check=False)
    fields = out.stdout.split()
    if out.returncode != 0 or "cpu_percent" not in fields:
        sys.exit("%s run failed (%d): %s %s" % (case, out.returncode, out.stdout, out.stderr[-2000:]))
    return float(fields[fields.index("cpu_percent") + 1]), int(fields[fields.index("blocks") + 1])


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    host = os.path.join(sys.argv[1], "bench", "displays_cpu_host")
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 20
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    with tempfile.TemporaryDirectory(prefix="displays-cpu-") as folder:
        env = dict(os.environ, ZTLIVE_HOME=os.path.join(folder, "home"), XDG_CACHE_HOME=os.path.join(folder, "cache"),
                   QT_QPA_PLATFORM="offscreen")
        os.makedirs(env["ZTLIVE_HOME"])
        wave = os.path.join(folder, "music.wav")
        subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", wave, "synth", str(seconds + 5),
                        "pluck", "C3", "pluck", "E4", "sine", "440", "remix", "1,3", "2,3", "vol", "0.5"],
                       check=True)
        results = {"closed": [], "open": []}
        for _ in range(runs):
            for case in ("closed", "open"):
                percent, blocks = run(host, wave, seconds, case, env)
                results[case].append(percent)
                print("%-6s %6.2f %% of one core (%d blocks shown)" % (case, percent, blocks), flush=True)
        closed = statistics.median(results["closed"])
        opened = statistics.median(results["open"])
        print("median closed %.2f %%, open %.2f %%: the displays cost %.2f %% of one core (goal: under %.1f %%)"
              % (closed, opened, opened - closed, GOAL))
        return 0 if opened - closed < GOAL else 1


if __name__ == "__main__":
    sys.exit(main())
