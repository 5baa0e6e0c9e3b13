#!/usr/bin/env python3
"""The brick wall at 4095 taps over 24-bit stereo, whole process through ztlive-cli, against
sox's sinc filter of the same length and ffmpeg's afir with the same taps (written to a wave
file). Prints times, x-realtime and how much faster ztlive-cli is than the fastest peer; also
ztlive-cli at shorter lengths. Besides the wall clock it gives each run's processor time:
ztlive-cli writes its result durably (flushed to the disk before it takes its name), the peers
do not, so on a busy disk the wall clock also measures that flush (TMPDIR=/dev/shm puts the
files in memory and leaves it out).

usage: brick_wall_speed.py BUILD_DIR [MINUTES]"""
import os
import resource
import subprocess
import sys
import tempfile

from timing import time_runs

RATE = 44100
TAPS = 4095
CUTOFF = 1000


def low_pass_taps(taps, cutoff, rate):
    """The brick wall's low pass: a sinc truncated to taps values around taps // 2."""
    import numpy as np
    d = np.arange(taps) - taps // 2
    h = np.empty(taps)
    nonzero = d != 0
    h[nonzero] = np.sin(6.2831853071796 * cutoff * d[nonzero] / rate) / (3.1415926535898 * d[nonzero])
    h[~nonzero] = 2.0 * cutoff / rate
    return h


def write_taps(path, h):
    """The taps as a mono 64-bit float wave file, as afir reads its impulse response."""
    from scipy.io import wavfile
    import numpy as np
    wavfile.write(path, RATE, np.asarray(h, dtype=np.float64))


def cpu_time(command, runs=3, **kwargs):
    """The least processor time (user + system) of several runs: steadier than the wall
    clock on a machine shared with other work."""
    best = None
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        used = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
        best = used if best is None else min(best, used)
    return best


def main():
    build = sys.argv[1]
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    cli = os.path.join(build, "cli", "ztlive-cli")
    seconds = minutes * 60
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as folder:
        env = dict(os.environ, ZTLIVE_HOME=os.path.join(folder, "home"))
        source = os.path.join(folder, "in.wav")
        out = os.path.join(folder, "out.wav")
        taps_file = os.path.join(folder, "taps.wav")
        write_taps(taps_file, low_pass_taps(TAPS, CUTOFF, RATE))
        subprocess.run(["sox", "-D", "-n", "-r", str(RATE), "-c", "2", "-b", "24", source,
                        "synth", str(seconds), "pinknoise", "vol", "0.5"], check=True)
        print(f"source: {minutes:g} minutes of 24-bit stereo at 44.1 kHz, {os.path.getsize(source) / 1e6:.1f} MB")
        print(f"filter: low pass at {CUTOFF} Hz, {TAPS} taps\n")

        def ours(taps):
            values = f"{CUTOFF},200,{taps},0"
            return ["sh", "-c", f'rm -f "{out}" && "{cli}" process --filter brick-wall --values {values} "{source}" "{out}"']

        peers = [
            (f"sox sinc -n {TAPS} -{CUTOFF}", ["sox", "-D", source, "-b", "24", out, "sinc", "-n", str(TAPS), f"-{CUTOFF}"]),
            ("ffmpeg afir (same taps, no gain, double)",
             ["ffmpeg", "-v", "error", "-y", "-i", source, "-i", taps_file, "-filter_complex",
              "[0:a][1:a]afir=gtype=none:irfmt=mono:precision=double", "-c:a", "pcm_s24le", out]),
            ("ffmpeg afir (same taps, no gain, float)",
             ["ffmpeg", "-v", "error", "-y", "-i", source, "-i", taps_file, "-filter_complex",
              "[0:a][1:a]afir=gtype=none:irfmt=mono", "-c:a", "pcm_s24le", out]),
        ]
        best, median = time_runs(ours(TAPS), runs=3, env=env)
        cpu = cpu_time(ours(TAPS), env=env)
        peer_times = [(name, time_runs(command, runs=3)[0], cpu_time(command)) for name, command in peers]
        fastest, fastest_time, fastest_cpu = min(peer_times, key=lambda item: item[1])
        print("| run | best time | x-realtime | processor time |")
        print("|---|---|---|---|")
        print(f"| ztlive-cli brick-wall {TAPS} taps | {best:.2f} s (median {median:.2f}) | {seconds / best:.0f}x | {cpu:.2f} s |")
        for name, peer_time, peer_cpu in peer_times:
            print(f"| {name} | {peer_time:.2f} s | {seconds / peer_time:.0f}x | {peer_cpu:.2f} s |")
        print(f"\nfastest peer: {fastest}; ztlive-cli faster by {fastest_time / best:.2f}x "
              f"(processor time: {fastest_cpu / cpu:.2f}x)")

        print("\n| ztlive-cli length | best time | x-realtime |")
        print("|---|---|---|")
        for taps in (32, 256, 1024, 2048):
            t, _ = time_runs(ours(taps), runs=3, env=env)
            print(f"| {taps} | {t:.2f} s | {seconds / t:.0f}x |")


if __name__ == "__main__":
    main()
