#!/usr/bin/env python3
"""A wide bench of the model of a player: every floor of the campaign played
in many trials per mode (presses jittered by up to 3 frames; reactions 200 ms
and 250 ms late on other game seeds; other game seeds; a person, all three at
once), by the suite's own player-model test in parallel processes, and a table
of the wins per floor and mode.

    bench/player_model_wide.py build/dev/tests/qz_tests --runs 100 -j 4

Each process plays a chunk of one floor's trials in one mode; the seed base
(printed) makes the whole table repeatable with --seed.
"""
import argparse
import os
import re
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor

# Column title, the test suite, the late reactions' frames (0: the test's own).
MODES = [
    ("jitter", "JitteredPresses", 0),
    ("late 200ms", "LateReactions", 12),
    ("late 250ms", "LateReactions", 15),
    ("seeds", "OtherRandomNumbers", 0),
    ("person", "APerson", 0),
]
CHUNK = 25
WON = re.compile(r"player model: floor (\d+), [^:]*: won (\d+) of (\d+)")


def floors_of(tests):
    listing = subprocess.run([tests, "--gtest_list_tests", "--gtest_filter=JitteredPresses/*"],
                             capture_output=True, text=True, check=True).stdout
    return re.findall(r"Floor(\d+)", listing)


def settings_of(late, runs, seed):
    """The model's settings a chunk plays with, which also replay it. The
    losses the test knows of are played too (it skips them otherwise)."""
    settings = {"QZ_PLAYER_MODEL": "known", "QZ_PLAYER_MODEL_RUNS": str(runs), "QZ_PLAYER_MODEL_SEED": str(seed)}
    if late:
        settings["QZ_PLAYER_MODEL_LATE"] = str(late)
    return settings


def play(tests, floor, suite, settings):
    """The wins of a chunk, or None when its process ended without saying (a crash)."""
    env = dict(os.environ, QZ_BACKEND="headless", **settings)
    result = subprocess.run([tests, f"--gtest_filter={suite}/CampaignPlayerModelTest.*/Floor{floor}"],
                            capture_output=True, text=True, env=env)
    found = WON.search(result.stdout)
    return int(found.group(2)) if found else None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("tests", help="the suite's executable (qz_tests)")
    parser.add_argument("--runs", type=int, default=100, help="trials per floor and mode")
    parser.add_argument("-j", "--jobs", type=int, default=4, help="processes at once")
    parser.add_argument("--seed", type=int, default=int(time.time()) % 1000000007, help="seed base")
    parser.add_argument("--floors", nargs="*", help="only these floors (e.g. 025 040)")
    args = parser.parse_args()

    floors = args.floors or floors_of(args.tests)
    print(f"seed base {args.seed} (--seed {args.seed} plays the same trials), {args.runs} trials per floor and mode",
          flush=True)
    jobs = []
    for floor in floors:
        for column, (_, suite, late) in enumerate(MODES):
            for first in range(0, args.runs, CHUNK):
                # Each chunk has a base of its own, so its trials differ from the other chunks'.
                jobs.append((floor, column, suite, late, min(CHUNK, args.runs - first), args.seed + first))
    started = time.time()
    def run(job):
        floor, column, suite, late, runs, seed = job
        settings = settings_of(late, runs, seed)
        won = play(args.tests, floor, suite, settings)
        # Each chunk as it ends, so a bench cut short still tells what it
        # played; a lost one with what replays it.
        told = f"won {won} of {runs}" if won is not None else f"ended without a result ({runs} runs counted lost)"
        replay = "" if won == runs else "  (" + " ".join(f"{k}={v}" for k, v in settings.items()) + ")"
        print(f"  floor {floor} {MODES[column][0]}: {told}{replay}", flush=True)
        return floor, column, (won, runs)

    with ThreadPoolExecutor(max_workers=args.jobs) as pool:
        outcomes = list(pool.map(run, jobs))
    wins = {}
    crashed = set()
    for floor, column, (won, runs) in outcomes:
        total = wins.setdefault((floor, column), [0, 0])
        total[0] += won or 0
        total[1] += runs
        if won is None:
            crashed.add((floor, column))

    width = 12
    print("floor".ljust(6) + "".join(title.rjust(width) for title, _, _ in MODES))
    for floor in floors:
        cells = "".join((("*" if (floor, c) in crashed else "") + f"{wins[(floor, c)][0]}/{wins[(floor, c)][1]}")
                        .rjust(width) for c in range(len(MODES)))
        print(floor.ljust(6) + cells)
    if crashed:
        print("*: a process of it ended without a result, its runs counted lost")
    print(f"{len(jobs)} processes, {time.time() - started:.0f} s")


if __name__ == "__main__":
    sys.exit(main())
