"""Helpers shared by the whole-process comparison scripts."""
import statistics
import subprocess
import time


def time_runs(command, runs=5, **kwargs):
    """The best and the median time of several runs of a command, in seconds."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)
        times.append(time.perf_counter() - start)
    return min(times), statistics.median(times)


def make_noise_file(path, seconds):
    """16-bit stereo pink noise at 44.1 kHz, made by sox."""
    subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", path,
                    "synth", str(seconds), "pinknoise", "vol", "0.5"], check=True)
