#!/usr/bin/env python3
"""The impulse, notch and continuous noise filters over one 16-bit stereo 44.1 kHz file with
music, hiss, 50 Hz hum and clicks (made by chain_timing source): as one filter chain, as three
file runs one after the other, and as one ffmpeg filter graph. Prints x-realtime for each, the
sum of the three runs, and the ratios chain / members and ffmpeg / chain.

Settings (chain and members alike; see chain_timing.cpp):
  impulse: threshold 2000, size 7, Vinyl LP detector, tracking 20, Accuracy (prediction)
  notch: 50 Hz, 29/100 octave (45.3 to 55.2 Hz)
  continuous noise: attack 20 ms, release 100 ms, attenuation 100, 1024 pairs, print from the
  first second (hiss and hum only)
ffmpeg: adeclick at its defaults (55 ms windows, 75 % overlap, order 2 %, threshold 2),
  bandreject=f=50:width_type=h:w=10 (45 to 55 Hz), afftdn with its noise floor at the hiss's
  -50 dBFS (its defaults: 12 dB reduction, floor -50 dB); 16-bit output.

Every job runs RUNS times (default 3); the table gives the best. The chain and member times are
the filter runs' own (open, process, write, rename), measured inside the program; "process"
times are whole processes, which for ours also take the untimed one-second noise sampling.

usage: compare_chain.py BUILD_DIR [MINUTES] [RUNS]"""
import os
import subprocess
import sys
import tempfile
import time

LIMIT = 1.10  # the chain may take at most this much of the members' summed time
FFMPEG_GRAPH = "adeclick,bandreject=f=50:width_type=h:w=10,afftdn=nf=-50"


def timed(command, env=None):
    """The wall time of a command and its standard output."""
    start = time.perf_counter()
    done = subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    return time.perf_counter() - start, done.stdout


def run_times(output):
    """The "<name> <seconds>" lines of chain_timing."""
    times = {}
    for line in output.splitlines():
        name, seconds = line.split()
        times[name] = float(seconds)
    return times


def best_of(runs, command, env=None):
    """The best process time and the best time of every run the program reports."""
    process = []
    inside = {}
    for _ in range(runs):
        wall, output = timed(command, env)
        process.append(wall)
        for name, seconds in run_times(output).items():
            inside[name] = min(seconds, inside.get(name, seconds))
    return min(process), inside


def main():
    build = sys.argv[1]
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    program = os.path.join(build, "bench", "chain_timing")
    seconds = minutes * 60
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as folder:
        home = os.path.join(folder, "home")
        os.mkdir(home)
        env = dict(os.environ, ZTLIVE_HOME=home)
        source = os.path.join(folder, "in.wav")
        chain_out = os.path.join(folder, "chain.wav")
        members_out = os.path.join(folder, "members.wav")
        ffmpeg_out = os.path.join(folder, "ffmpeg.wav")
        subprocess.run([program, "source", source, str(seconds)], check=True, env=env)
        print(f"source: {minutes:g} minutes of 16-bit stereo at 44.1 kHz, {os.path.getsize(source) / 1e6:.1f} MB;"
              f" best of {runs} runs\n")

        def ours(mode, out):
            # A destination left by the run before would be a question answered No.
            return ["sh", "-c", f'rm -f "{out}" "{out}".*.wav && exec "$0" {mode} "{source}" "{out}"', program]

        def ffmpeg(threads):
            extra = ["-filter_threads", str(threads)] if threads else []
            return ["ffmpeg", "-v", "error", "-y", *extra, "-i", source, "-af", FFMPEG_GRAPH, "-c:a", "pcm_s16le", ffmpeg_out]

        chain_process, chain = best_of(runs, ours("chain", chain_out), env)
        members_process, members = best_of(runs, ours("members", members_out), env)
        ffmpeg_process, _ = best_of(runs, ffmpeg(0))
        ffmpeg_one_process, _ = best_of(runs, ffmpeg(1))
        member_sum = sum(members.values())

        def row(job, run_seconds, process_seconds):
            run_text = f"{run_seconds:.2f} s | {seconds / run_seconds:.0f}x" if run_seconds else "- | -"
            process_text = f"{process_seconds:.2f} s | {seconds / process_seconds:.0f}x" if process_seconds else "- | -"
            print(f"| {job} | {run_text} | {process_text} |")

        print("| job | run | x-realtime | process | x-realtime |")
        print("|---|---|---|---|---|")
        row("chain: impulse, notch, continuous noise", chain["chain"], chain_process)
        for name in ("impulse", "notch", "continuous-noise"):
            row(f"member: {name}", members[name], None)
        row("sum of the three members", member_sum, members_process)
        row("ffmpeg adeclick,bandreject,afftdn", None, ffmpeg_process)
        row("ffmpeg, one filter thread", None, ffmpeg_one_process)

        ratio = chain["chain"] / member_sum
        print(f"\nchain / sum of members: {ratio:.2f} (at most {LIMIT:.2f} allowed):"
              f" {'within' if ratio <= LIMIT else 'OVER'}")
        print(f"chain process / members' process: {chain_process / members_process:.2f}")
        print(f"ffmpeg / chain (processes): {ffmpeg_process / chain_process:.1f}x;"
              f" one filter thread: {ffmpeg_one_process / chain_process:.1f}x")

        # What the chain writes, beside what the three file runs write: the members round to the
        # file's 16 bits between filters, the chain does not.
        difference = subprocess.run([program, "difference", chain_out, members_out], check=True,
                                    stdout=subprocess.PIPE, text=True).stdout.split()
        print(f"chain output vs members' (16-bit steps): largest difference {difference[1]},"
              f" {difference[3]} values differ")
        # At 24 bits nothing rounds between the filters: the outputs must be the same.
        wide = os.path.join(folder, "in24.wav")
        subprocess.run(["sox", "-D", source, "-b", "24", wide], check=True)
        for mode, out in (("chain", chain_out), ("members", members_out)):
            subprocess.run(["sh", "-c", f'rm -f "{out}" "{out}".*.wav && exec "$0" {mode} "{wide}" "{out}"', program],
                           check=True, env=env, stdout=subprocess.DEVNULL)
        same = subprocess.run(["cmp", "-s", chain_out, members_out]).returncode == 0
        print(f"24-bit copy: chain output {'identical to' if same else 'DIFFERENT from'} the members'")


if __name__ == "__main__":
    main()
