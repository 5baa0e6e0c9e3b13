#!/usr/bin/env python3
"""The impulse, notch and continuous noise filters over one 16-bit stereo 44.1 kHz file with
music, hiss, 50 Hz hum and clicks (made by chain_timing source): as one filter chain, as three
file runs one after the other, and as one ffmpeg filter graph. Prints x-realtime for each, the
sum of the three runs, and the ratios chain / members and ffmpeg / chain.

Settings (chain and members alike; see chain_timing.cpp):
  impulse: threshold 2000, size 7, Vinyl LP detector, tracking 20, Accuracy (prediction)
  notch: 50 Hz, 29/100 octave (45.2 to 55.3 Hz)
  continuous noise: attack 20 ms, release 100 ms, attenuation 100, 1024 pairs, print from the
  first second (hiss and hum only)
ffmpeg: adeclick at its defaults (55 ms windows, 75 % overlap, order 2 %, threshold 2),
  bandreject=f=50:width_type=h:w=10 (45 to 55 Hz), afftdn with its noise floor at the hiss's
  -50 dBFS (its defaults: 12 dB reduction, floor -50 dB); 16-bit output.

Every job runs RUNS times (default 3), the jobs taking turns; the table gives the best of each.
"run" times are the filter runs' own (open, process, write, rename), measured inside the
program; "process" times are whole processes (wall clock, and CPU time of user and system),
which for ours also take the untimed one-second noise sampling.

usage: compare_chain.py BUILD_DIR [MINUTES] [RUNS]"""
import os
import subprocess
import resource
import sys
import tempfile
import time

LIMIT = 1.10  # the chain may take at most this much of the members' summed time
FFMPEG_GRAPH = "adeclick,bandreject=f=50:width_type=h:w=10,afftdn=nf=-50"


def timed(command, env=None):
    """The wall time, the CPU time (user and system) and the standard output of a command."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
    return wall, cpu, done.stdout


def run_times(output):
    """The "<name> <seconds>" lines of chain_timing."""
    times = {}
    for line in output.splitlines():
        name, seconds = line.split()
        times[name] = float(seconds)
    return times


class Job:
    """The best times of one command over several runs."""

    def __init__(self, command, env=None):
        self.command = command
        self.env = env
        self.wall = float("inf")
        self.cpu = float("inf")
        self.inside = {}

    def run(self):
        wall, cpu, output = timed(self.command, self.env)
        self.wall = min(self.wall, wall)
        self.cpu = min(self.cpu, cpu)
        for name, seconds in run_times(output).items():
            self.inside[name] = min(seconds, self.inside.get(name, seconds))


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

        chain_job = Job(ours("chain", chain_out), env)
        members_job = Job(ours("members", members_out), env)
        ffmpeg_job = Job(ffmpeg(0))
        ffmpeg_one_job = Job(ffmpeg(1))
        # Round by round, so that what else loads the machine weighs on every job alike.
        for _ in range(runs):
            for job in (chain_job, members_job, ffmpeg_job, ffmpeg_one_job):
                job.run()
        chain = chain_job.inside["chain"]
        members = members_job.inside
        member_sum = sum(members.values())

        def row(name, run_seconds, job=None):
            cells = [f"{run_seconds:.2f} s", f"{seconds / run_seconds:.0f}x"] if run_seconds else ["-", "-"]
            cells += [f"{job.wall:.2f} s", f"{seconds / job.wall:.0f}x", f"{job.cpu:.2f} s"] if job else ["-"] * 3
            print(f"| {name} | {' | '.join(cells)} |")

        print("| job | run | x-realtime | process | x-realtime | process CPU |")
        print("|---|---|---|---|---|---|")
        row("chain: impulse, notch, continuous noise", chain, chain_job)
        for name in ("impulse", "notch", "continuous-noise"):
            row(f"member: {name}", members[name])
        row("sum of the three members", member_sum, members_job)
        row("ffmpeg adeclick,bandreject,afftdn", None, ffmpeg_job)
        row("ffmpeg, one filter thread", None, ffmpeg_one_job)

        ratio = chain / member_sum
        print(f"\nchain / sum of members: {ratio:.2f} (at most {LIMIT:.2f} allowed):"
              f" {'within' if ratio <= LIMIT else 'OVER'}")
        print(f"chain process / members' process: {chain_job.wall / members_job.wall:.2f} wall,"
              f" {chain_job.cpu / members_job.cpu:.2f} CPU")
        print(f"ffmpeg / chain (processes): {ffmpeg_job.wall / chain_job.wall:.1f}x wall,"
              f" {ffmpeg_job.cpu / chain_job.cpu:.1f}x CPU;"
              f" one filter thread: {ffmpeg_one_job.wall / chain_job.wall:.1f}x wall,"
              f" {ffmpeg_one_job.cpu / chain_job.cpu:.1f}x CPU")

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
