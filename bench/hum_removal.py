#!/usr/bin/env python3
"""Hum and buzz removal, side by side: the harmonic reject filter against chains of notches of
ffmpeg (`bandreject`) and sox (`bandreject`), one notch per harmonic.

Quality: generated music-like and speech-like signals (24-bit mono, 44.1 kHz, 20 s, not
periodic) with 50 Hz hum on the odd harmonics up to 950 Hz or 60 Hz buzz on all harmonics up to
960 Hz, at -40 and -25 dBFS rms, the fundamental off nominal by -0.1 %, 0 and +0.1 %. Each tool's
output is compared with the clean signal from the second second on: the signal-to-noise ratio's
improvement, and the hum's reduction at the worst harmonic (a least-squares sine fit at each
harmonic, from the third second on, of the hum the tool left against the hum put in; every
tool is linear, so the hum it leaves is its output for the noisy signal less its output for
the clean one).
  - this program, ready preset: "50 Hz Hum" / "60 Hz Buzz" as shipped (nominal frequency);
  - this program, Find: `ztlive-cli analyze --hum` on the file, then the preset's values with the
    frequency and fine tuning it found;
  - ffmpeg and sox: notches at the nominal harmonics, one width for all, chosen for the best
    mean SNR improvement on separate material (other notes, other seeds); and the same with the
    true fundamental given to them (what they would reach with a perfect estimate).

Speed: 10 minutes of 24-bit stereo, each tool's whole process (read, filter, write), best of
RUNS runs, as times real time.

usage: hum_removal.py BUILD_DIR [--speed-only | --quality-only] [RUNS]"""
import os
import re
import subprocess
import sys
import tempfile
import time
import wave

import numpy as np

RATE = 44100
SECONDS = 20.0
FULL = 8388607.0
WIDTHS_HZ = [0.25, 0.5, 1, 2, 4]
OUR_WIDTHS = [5, 10, 20, 50]  # the notch width value, 0.01 Hz
PRESETS = {
    "hum": ("50 Hz Hum", "500,60,19,0,0,1,{width},{fine}"),
    "buzz": ("60 Hz Buzz", "600,60,16,2,0,1,{width},{fine}"),
}


def harmonics(kind):
    return list(range(1, 20, 2)) if kind == "hum" else list(range(1, 17))


def nominal(kind):
    return 50.0 if kind == "hum" else 60.0


def plucked_music(seed, seconds=SECONDS):
    """Notes of random pitch and length (melody, bass and chords), plucked and decaying."""
    rng = np.random.default_rng(seed)
    n = int(seconds * RATE)
    out = np.zeros(n)
    for voice, (low, high, mean_len, level) in enumerate([(60, 84, 0.3, 0.5), (36, 52, 0.8, 0.7), (48, 72, 1.2, 0.3)]):
        t0 = 0.0
        while t0 < seconds:
            length = rng.uniform(0.5, 1.5) * mean_len
            midi = rng.integers(low, high)
            f = 440.0 * 2 ** ((midi - 69) / 12.0) * (1 + rng.normal(0, 0.002))
            start, stop = int(t0 * RATE), min(n, int((t0 + length * 1.5) * RATE))
            t = np.arange(stop - start) / RATE
            note = np.zeros_like(t)
            for h in range(1, 9):
                if h * f > RATE / 2:
                    break
                note += np.exp(-t * (1.5 + h) / (0.5 + length)) * np.sin(2 * np.pi * h * f * t + rng.uniform(0, 6.3)) / h
            note *= np.minimum(1.0, t * 200) * level
            out[start:stop] += note
            t0 += length
    return out


def speech(seed, seconds=SECONDS):
    """A voiced buzz with a wandering pitch, shaped by moving formants, in syllables."""
    rng = np.random.default_rng(seed)
    n = int(seconds * RATE)
    t = np.arange(n) / RATE
    pitch = 110 + 25 * np.sin(2 * np.pi * 0.37 * t + rng.uniform(0, 6)) + 15 * np.sin(2 * np.pi * 1.3 * t)
    phase = 2 * np.pi * np.cumsum(pitch) / RATE
    f1 = 600 + 200 * np.sin(2 * np.pi * 2.3 * t + rng.uniform(0, 6))
    f2 = 1700 + 400 * np.sin(2 * np.pi * 1.7 * t + rng.uniform(0, 6))
    out = np.zeros(n)
    for h in range(1, 30):
        fh = h * pitch
        gain = np.exp(-((fh - f1) / 200) ** 2) + 0.5 * np.exp(-((fh - f2) / 300) ** 2) + 0.05
        out += gain * np.sin(h * phase) / h
    syllables = np.clip(np.sin(2 * np.pi * 3.3 * t + rng.uniform(0, 6)), 0, None) ** 1.5
    return out * syllables


def scaled(signal, dbfs):
    return signal * (10 ** (dbfs / 20) * FULL / np.sqrt(np.mean(signal ** 2)))


def hum_signal(kind, f0, dbfs, seed, n):
    rng = np.random.default_rng(seed)
    t = np.arange(n) / RATE
    hum = np.zeros(n)
    for i in harmonics(kind):
        hum += 10 ** (-1.5 * (i - 1) / 20) * np.sin(2 * np.pi * i * f0 * t + rng.uniform(0, 6.3))
    return scaled(hum, dbfs)


def write_wave(path, values, channels=1):
    data = np.clip(np.round(values), -8388608, 8388607).astype("<i4")
    packed = np.frombuffer(data.tobytes(), dtype=np.uint8).reshape(-1, 4)[:, :3].tobytes()
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(3)
        w.setframerate(RATE)
        w.writeframes(packed)


def read_wave(path):
    """The first channel of a 24-bit wave file (plain or extensible format)."""
    with open(path, "rb") as f:
        data = f.read()
    position, channels = 12, 1
    while position + 8 <= len(data):
        chunk, size = data[position:position + 4], int.from_bytes(data[position + 4:position + 8], "little")
        if chunk == b"fmt ":
            channels = int.from_bytes(data[position + 10:position + 12], "little")
        if chunk == b"data":
            body = data[position + 8:position + 8 + size]
            break
        position += 8 + size + (size & 1)
    raw = np.frombuffer(body[:len(body) - len(body) % (3 * channels)], dtype=np.uint8).reshape(-1, 3 * channels)[:, :3]
    padded = np.zeros((raw.shape[0], 4), dtype=np.uint8)
    padded[:, 1:] = raw
    return padded.view("<i4").reshape(-1).astype(float) / 256


def snr(clean, signal, start):
    error = signal[start:] - clean[start:]
    return 10 * np.log10(np.sum(clean[start:] ** 2) / max(np.sum(error ** 2), 1e-9))


def sine_level(values, hz, start):
    t = np.arange(start, len(values)) / RATE
    basis = np.stack([np.sin(2 * np.pi * hz * t), np.cos(2 * np.pi * hz * t)], axis=1)
    coeff, *_ = np.linalg.lstsq(basis, values[start:], rcond=None)
    return 20 * np.log10(np.hypot(*coeff) + 1e-9)


def worst_reduction(hum_in, hum_out, kind, f0):
    """Every tool here is linear, so what it makes of the hum alone is what it makes of the
    noisy signal less what it makes of the clean one; the music does not blur the measure."""
    start = int(2 * RATE)
    return min(sine_level(hum_in, i * f0, start) - sine_level(hum_out, i * f0, start) for i in harmonics(kind))


class Tools:
    def __init__(self, build, folder):
        self.cli = os.path.join(build, "cli", "ztlive-cli")
        self.folder = folder
        self.env = dict(os.environ, ZTLIVE_HOME=os.path.join(folder, "home"))
        os.makedirs(self.env["ZTLIVE_HOME"], exist_ok=True)

    def run(self, args):
        subprocess.run(args, check=True, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def ours_preset(self, source, out, kind):
        self.run([self.cli, "process", "--filter", "harmonic-noise", "--preset", PRESETS[kind][0], source, out])

    def ours_values(self, source, out, values):
        self.run([self.cli, "process", "--filter", "harmonic-noise", "--values", values, source, out])

    def find(self, source):
        text = subprocess.run([self.cli, "analyze", "--hum", "--json", source], check=True, env=self.env,
                              capture_output=True, text=True).stdout
        match = re.search(r'"hum_hz": ([0-9.]+)', text)
        return float(match.group(1)) if match else None

    @staticmethod
    def ffmpeg(source, out, f0, kind, width):
        chain = ",".join("bandreject=f=%.4f:width_type=h:w=%g" % (i * f0, width) for i in harmonics(kind))
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", source, "-af", chain, "-c:a", "pcm_s24le", out],
                       check=True)

    @staticmethod
    def sox(source, out, f0, kind, width):
        effects = []
        for i in harmonics(kind):
            effects += ["bandreject", "%.4f" % (i * f0), "%gh" % width]
        subprocess.run(["sox", "-D", source, "-b", "24", out] + effects, check=True, stderr=subprocess.DEVNULL)


def ours_find_values(tools, source, kind, width):
    found = tools.find(source)
    if found is None:
        return None, None
    thousandths = int(round(found * 1000))
    tenths = (thousandths + 50) // 100
    values = PRESETS[kind][1].format(width=width, fine=thousandths - tenths * 100)
    return "%d,%s" % (tenths, values.split(",", 1)[1]), found


def cases(tuning):
    materials = [("music", plucked_music), ("speech", speech)]
    offsets = [-0.001, 0.001] if tuning else [-0.001, 0.0, 0.001]
    for mi, (material, make) in enumerate(materials):
        for kind in ("hum", "buzz"):
            for dbfs in (-40, -25):
                for offset in offsets:
                    seed = 1000 * (2 if tuning else 1) + 100 * mi + (dbfs + 50) + int(offset * 1e4)
                    yield material, make, kind, dbfs, offset, seed


def tune(tools, folder):
    """The notch width each tool does best with, per hum kind, on separate material: the
    peers with the nominal and with the true fundamental, this program after Find."""
    scores = {}
    for material, make, kind, dbfs, offset, seed in cases(tuning=True):
        clean = scaled(make(seed + 7, 10), -20)
        f0 = nominal(kind) * (1 + offset)
        noisy = clean + hum_signal(kind, f0, dbfs, seed, len(clean))
        source = os.path.join(folder, "tune.wav")
        write_wave(source, noisy)
        out = os.path.join(folder, "tune-out.wav")
        base = snr(clean, noisy, RATE)
        for peer in ("ffmpeg", "sox"):
            for given in ("nominal", "true"):
                for width in WIDTHS_HZ:
                    getattr(Tools, peer)(source, out, nominal(kind) if given == "nominal" else f0, kind, width)
                    scores.setdefault((peer, given, kind, width), []).append(snr(clean, read_wave(out), RATE) - base)
        for width in OUR_WIDTHS:
            values, _ = ours_find_values(tools, source, kind, width)
            if values is not None:
                tools.ours_values(source, out, values)
                gain = snr(clean, read_wave(out), RATE) - base
            else:
                gain = 0.0
            scores.setdefault(("find", "found", kind, width), []).append(gain)
    best = {}
    for (tool, given, kind, width), gains in scores.items():
        key = (tool, given, kind)
        if key not in best or np.mean(gains) > best[key][1]:
            best[key] = (width, np.mean(gains))
    return {key: width for key, (width, _) in best.items()}


def quality(tools, folder):
    widths = tune(tools, folder)
    print("Notch widths chosen on separate material (peers in Hz, this program in 0.01 Hz):")
    for (tool, given, kind), width in sorted(widths.items()):
        print("  %-7s %-8s %-5s %g" % (tool, given, kind, width))
    print()
    columns = ["preset", "find", "ffmpeg", "sox", "ffmpeg*", "sox*"]
    print("SNR improvement in dB / hum reduction at the worst harmonic in dB (* = given the true f0)")
    print("%-7s %-5s %4s %7s | " % ("signal", "hum", "dBFS", "offset") +
          " | ".join("%-13s" % c for c in columns) + " | found Hz")
    totals = {c: [] for c in columns}
    worst = {c: [] for c in columns}
    for material, make, kind, dbfs, offset, seed in cases(tuning=False):
        clean = scaled(make(seed), -20)
        f0 = nominal(kind) * (1 + offset)
        hum = hum_signal(kind, f0, dbfs, seed, len(clean))
        noisy = clean + hum
        source = os.path.join(folder, "case.wav")
        clean_source = os.path.join(folder, "clean.wav")
        write_wave(source, noisy)
        write_wave(clean_source, clean)
        out = os.path.join(folder, "out.wav")
        values, found = ours_find_values(tools, source, kind, widths[("find", "found", kind)])
        runs = {"preset": lambda src: tools.ours_preset(src, out, kind)}
        if values is not None:
            runs["find"] = lambda src: tools.ours_values(src, out, values)
        for peer in ("ffmpeg", "sox"):
            for given, label in (("nominal", peer), ("true", peer + "*")):
                frequency = nominal(kind) if given == "nominal" else f0
                width = widths[(peer, given, kind)]
                runs[label] = (lambda p, fr, w: lambda src: getattr(Tools, p)(src, out, fr, kind, w))(peer, frequency, width)
        base = snr(clean, noisy, RATE)
        cells = []
        for c in columns:
            if c not in runs:
                cells.append("%-13s" % "not found")
                continue
            runs[c](source)
            result = read_wave(out)
            runs[c](clean_source)
            hum_out = result - read_wave(out)
            gain = snr(clean, result, RATE) - base
            reduction = worst_reduction(hum, hum_out, kind, f0)
            totals[c].append(gain)
            worst[c].append(reduction)
            cells.append("%+6.1f / %5.1f" % (gain, reduction))
        print("%-7s %-5s %4d %+6.2f%% | " % (material, kind, dbfs, offset * 100) + " | ".join(cells) +
              " | %s" % ("%.3f" % found if found else "-"), flush=True)
    print("%-26s | " % "mean SNR gain / worst" +
          " | ".join("%+6.1f / %5.1f" % (np.mean(totals[c]), np.min(worst[c])) if totals[c] else "%-13s" % "-"
                     for c in columns))


def speed(tools, folder, runs):
    seconds = 600
    source = os.path.join(folder, "long.wav")
    subprocess.run(["sox", "-D", "-n", "-r", str(RATE), "-c", "2", "-b", "24", source, "synth", str(seconds),
                    "pinknoise", "synth", "sine", "mix", "50", "vol", "0.3"], check=True)
    out = os.path.join(folder, "long-out.wav")
    jobs = [
        ("this program, narrow notches (\"50 Hz Hum\")",
         lambda: tools.ours_preset(source, out, "hum")),
        ("this program, spectral, 19 harmonics",
         lambda: tools.ours_values(source, out, "500,60,19,0,0,0,0,0")),
        ("ffmpeg, 10 bandreject", lambda: Tools.ffmpeg(source, out, 50, "hum", 1)),
        ("sox, 10 bandreject", lambda: Tools.sox(source, out, 50, "hum", 1)),
    ]
    print("\n%d s of 24-bit stereo 44.1 kHz, 50 Hz hum on the odd harmonics to 950 Hz, best of %d" % (seconds, runs))
    print("%-44s %8s %12s" % ("tool", "wall s", "x real time"))
    for name, job in jobs:
        best = float("inf")
        for _ in range(runs):
            if os.path.exists(out):
                os.remove(out)
            start = time.perf_counter()
            job()
            best = min(best, time.perf_counter() - start)
        print("%-44s %8.2f %12.1f" % (name, best, seconds / best), flush=True)


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if not args:
        sys.exit(__doc__)
    runs = int(args[1]) if len(args) > 1 else 2
    with tempfile.TemporaryDirectory(prefix="hum-removal-") as folder:
        tools = Tools(args[0], folder)
        if "--speed-only" not in sys.argv:
            quality(tools, folder)
        if "--quality-only" not in sys.argv:
            speed(tools, folder, runs)


if __name__ == "__main__":
    main()
