#!/usr/bin/env python3
"""Whole-process runs of the classic filters through ztlive-cli process on 24-bit stereo
audio, side by side with sox and ffmpeg doing the same job in the same run. Prints a table of
times, x-realtime and how much faster ztlive-cli is than the fastest peer.

usage: compare_classic_filters.py BUILD_DIR [MINUTES]"""
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
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as folder:
        env = dict(os.environ, ZTLIVE_HOME=os.path.join(folder, "home"))
        source = os.path.join(folder, "in.wav")
        out = os.path.join(folder, "out.wav")
        coefficients = os.path.join(folder, "average100.txt")
        with open(coefficients, "w") as f:
            f.write("\n".join(["0.01"] * 100) + "\n")
        subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "24", source,
                        "synth", str(minutes * 60), "pinknoise", "vol", "0.5"], check=True)
        seconds = minutes * 60
        print(f"source: {minutes:g} minutes of 24-bit stereo at 44.1 kHz, {os.path.getsize(source) / 1e6:.1f} MB\n")

        def ours(values, name):
            # A fresh destination each time, as a new document's run makes.
            return ["sh", "-c", f'rm -f "{out}" && "{cli}" process --filter {name} --values {values} "{source}" "{out}"']

        def ffmpeg(graph):
            return FFMPEG + ["-i", source, "-af", graph, "-c:a", "pcm_s24le", out]

        jobs = [
            ("low pass 18 dB/oct, 1 kHz", ours("2,1000", "low-pass"), [
                ("sox lowpass -1 + lowpass (3 poles)", ["sox", "-D", source, out, "lowpass", "-1", "1000", "lowpass", "1000"]),
                ("sox sinc -1000 (FIR)", ["sox", "-D", source, out, "sinc", "-1000"]),
                ("ffmpeg lowpass p=1 + p=2 (3 poles)", ffmpeg("lowpass=f=1000:p=1,lowpass=f=1000:p=2")),
            ]),
            ("low pass 6 dB/oct, 1 kHz", ours("0,1000", "low-pass"), [
                ("sox lowpass -1", ["sox", "-D", source, out, "lowpass", "-1", "1000"]),
                ("ffmpeg lowpass p=1", ffmpeg("lowpass=f=1000:p=1")),
            ]),
            ("high pass 12 dB/oct, 1 kHz", ours("1,1000", "high-pass"), [
                ("sox highpass", ["sox", "-D", source, out, "highpass", "1000"]),
                ("ffmpeg highpass p=2", ffmpeg("highpass=f=1000:p=2")),
            ]),
            ("notch 1 kHz, 0.5 octave", ours("0,1000,50,0", "notch"), [
                ("sox bandreject 0.5o", ["sox", "-D", source, out, "bandreject", "1000", "0.5o"]),
                ("ffmpeg bandreject w=0.5 o", ffmpeg("bandreject=f=1000:width_type=o:w=0.5")),
            ]),
            ("median 20", ours("0,20", "median"), []),
            ("averaging 100", ours("0,100", "averaging"), [
                ("sox fir (100 taps of 0.01)", ["sox", "-D", source, out, "fir", coefficients]),
            ]),
        ]
        print("| job | ztlive-cli | x-realtime | fastest peer | peer time | ztlive-cli faster by |")
        print("|---|---|---|---|---|---|")
        for name, command, peers in jobs:
            best, _ = time_runs(command, runs=3, env=env)
            peer_times = [(peer, time_runs(peer_command, runs=3)[0]) for peer, peer_command in peers]
            line = f"| {name} | {best:.2f} s | {seconds / best:.0f}x |"
            if peer_times:
                fastest, fastest_time = min(peer_times, key=lambda item: item[1])
                line += f" {fastest} | {fastest_time:.2f} s | {fastest_time / best:.2f}x |"
            else:
                line += " (no peer does this) | | |"
            print(line)
            for peer, peer_time in peer_times:
                print(f"|   {peer} | | | | {peer_time:.2f} s ({seconds / peer_time:.0f}x) | |")


if __name__ == "__main__":
    main()
