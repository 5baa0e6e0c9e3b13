#!/usr/bin/env python3
"""Whole-process runs of the restoration filters through ztlive-cli process on 24-bit stereo
audio, side by side with ffmpeg's adeclick and afftdn and sox's noisered on the same file in
the same run. Prints x-realtime for every mode and how ztlive-cli compares with each peer.

usage: compare_restoration_filters.py BUILD_DIR [MINUTES]"""
import os
import subprocess
import sys
import tempfile

from timing import time_runs

FFMPEG = ["ffmpeg", "-v", "error", "-y"]


def main():
    build = sys.argv[1]
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    cli = os.path.join(build, "cli", "ztlive-cli")
    seconds = minutes * 60
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as folder:
        env = dict(os.environ, ZTLIVE_HOME=os.path.join(folder, "home"))
        source = os.path.join(folder, "in.wav")
        out = os.path.join(folder, "out.wav")
        profile = os.path.join(folder, "noise.prof")
        # Pink noise under a little white hiss, with sox's own crackle: material for both jobs.
        subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "24", source,
                        "synth", str(seconds), "pinknoise", "vol", "0.3"], check=True)
        subprocess.run(["sox", "-D", source, "-n", "trim", "0", "1", "noiseprof", profile], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        print(f"source: {minutes:g} minutes of 24-bit stereo at 44.1 kHz, {os.path.getsize(source) / 1e6:.1f} MB\n")

        def ours(name, values, extra=()):
            args = " ".join(extra)
            return ["sh", "-c", f'rm -f "{out}" && "{cli}" process --filter {name} --values {values} {args} "{source}" "{out}"']

        def ffmpeg(graph):
            return FFMPEG + ["-i", source, "-af", graph, "-c:a", "pcm_s24le", out]

        peers = {
            "ffmpeg adeclick": ffmpeg("adeclick"),
            "ffmpeg afftdn": ffmpeg("afftdn"),
            "sox noisered": ["sox", "-D", source, out, "noisered", profile, "0.21"],
        }
        peer_times = {}
        for name, command in peers.items():
            peer_times[name] = time_runs(command, runs=1)[0]

        print("| job | ztlive-cli | x-realtime | peer | peer x-realtime | ztlive-cli faster by |")
        print("|---|---|---|---|---|---|")
        detectors = ["78's (median)", "Vinyl LP (high pass)", "HQ (two high passes)"]
        for detector in range(3):
            for quality, quality_name in ((0, "Speed (cubic)"), (1, "Accuracy (prediction)")):
                values = f"2000,7,{detector},0,{1 if detector == 0 else 20},{quality}"
                best, _ = time_runs(ours("impulse", values), runs=1, env=env)
                peer = peer_times["ffmpeg adeclick"]
                print(f"| impulse, {detectors[detector]}, {quality_name} | {best:.2f} s | {seconds / best:.0f}x |"
                      f" ffmpeg adeclick | {seconds / peer:.0f}x | {peer / best:.1f}x |")
        for size in range(6):
            values = f"20,100,100,{size}"
            best, _ = time_runs(ours("continuous-noise", values, ("--noise-from", "0", "--noise-to", "1")),
                                runs=1, env=env)
            for peer in ("ffmpeg afftdn", "sox noisered"):
                print(f"| continuous noise, {256 << size} pairs | {best:.2f} s | {seconds / best:.0f}x | {peer} |"
                      f" {seconds / peer_times[peer]:.0f}x | {peer_times[peer] / best:.1f}x |")


if __name__ == "__main__":
    main()
