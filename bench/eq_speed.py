#!/usr/bin/env python3
"""The graphic equalizer through ztlive-cli process on 24-bit stereo, against ffmpeg's
superequalizer and sox's ten equalizer effects in one chain (the same ten octave bands). Prints
times, x-realtime and how much faster ztlive-cli is than the fastest peer.

usage: eq_speed.py BUILD_DIR [MINUTES]"""
import math
import os
import subprocess
import sys
import tempfile

from timing import time_runs

# The ten octave centres, and a setting with every band moved: slider values 0..100 (50 flat)
# and the gain in dB each one stands for at its centre.
CENTRES = [31.25, 62.5, 125, 250, 500, 1000, 2000, 4000, 8000, 16000]
SLIDERS = [40, 45, 55, 50, 35, 25, 60, 65, 45, 40]


def centre_db(slider):
    r = (50 - slider) * 0.02
    weight = 2 * r if r > 0 else 0.8 * r
    return 20 * math.log10(1 + weight)


def main():
    build = sys.argv[1]
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    cli = os.path.join(build, "cli", "ztlive-cli")
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as folder:
        env = dict(os.environ, ZTLIVE_HOME=os.path.join(folder, "home"))
        source = os.path.join(folder, "in.wav")
        out = os.path.join(folder, "out.wav")
        subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "24", source,
                        "synth", str(minutes * 60), "pinknoise", "vol", "0.3"], check=True)
        seconds = minutes * 60
        print(f"source: {minutes:g} minutes of 24-bit stereo at 44.1 kHz, {os.path.getsize(source) / 1e6:.1f} MB\n")

        values = ",".join(str(v) for v in SLIDERS + [55])
        ours = ["sh", "-c", f'rm -f "{out}" && "{cli}" process --filter graphic-eq --values {values} "{source}" "{out}"']
        gains = [centre_db(v) for v in SLIDERS]
        sox = ["sox", "-D", source, out]
        for centre, gain in zip(CENTRES, gains):
            sox += ["equalizer", f"{centre:g}", "1o", f"{gain:.2f}"]
        # superequalizer's 18 bands (65 Hz ... 20 kHz) take linear gains; the nearest octave's.
        superbands = [65, 92, 131, 185, 262, 370, 523, 740, 1047, 1480, 2093, 2960, 4186, 5920, 8372, 11840,
                      16744, 20000]
        linear = []
        for f in superbands:
            nearest = min(range(10), key=lambda k: abs(math.log2(f / CENTRES[k])))
            linear.append(10 ** (gains[nearest] / 20))
        ffmpeg = ["ffmpeg", "-v", "error", "-y", "-i", source, "-af",
                  "superequalizer=" + ":".join(f"{i + 1}b={g:.3f}" for i, g in enumerate(linear)),
                  "-c:a", "pcm_s24le", out]

        best, _ = time_runs(ours, runs=3, env=env)
        peers = [("sox, ten equalizer effects", time_runs(sox, runs=3)[0]),
                 ("ffmpeg superequalizer", time_runs(ffmpeg, runs=3)[0])]
        fastest, fastest_time = min(peers, key=lambda item: item[1])
        print("| job | time | x-realtime |")
        print("|---|---|---|")
        print(f"| ztlive-cli graphic-eq | {best:.2f} s | {seconds / best:.0f}x |")
        for name, peer_time in peers:
            print(f"| {name} | {peer_time:.2f} s | {seconds / peer_time:.0f}x |")
        print(f"\nztlive-cli against the fastest peer ({fastest}): {fastest_time / best:.2f}x as fast")


if __name__ == "__main__":
    main()
