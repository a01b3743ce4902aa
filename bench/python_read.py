#!/usr/bin/env python3
"""The Python package's reading, measured: convertquor.read of N records of the benchmark layout against
`quor decode` to CSV then pandas.read_csv (wall and CPU seconds and peak memory of each, a process of its own
under /usr/bin/time, the CPU of the quor it starts included), and convertquor.dask.read on a distributed
cluster of one worker process against two; then the same records as a VB file (blocks of 32760 bytes):
convertquor.read of it, the index pass convertquor.dask.read makes of it, and its Dask reading.

Usage: PYTHONPATH=build/release/python /usr/bin/python3 bench/python_read.py [N]   (default 1000000)
Environment: QUOR (default build/release/cli/quor), BENCH_DIR (default ${TMPDIR:-/tmp}/quor-bench),
             RUNS (default 3: each figure the median by wall time).
"""

import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
QUOR = os.environ.get("QUOR", os.path.join(HERE, "..", "build", "release", "cli", "quor"))
BENCH_DIR = os.environ.get("BENCH_DIR", os.path.join(os.environ.get("TMPDIR", "/tmp"), "quor-bench"))
RUNS = int(os.environ.get("RUNS", "3"))
LISTS = ["--lengths", "8,20,10,7,11,8", "--formats", "1,1,2,0,3,0"]

READ = """
import convertquor, sys
frame = convertquor.read(sys.argv[1], lengths="8,20,10,7,11,8", formats="1,1,2,0,3,0")
assert len(frame) == int(sys.argv[2])
"""
READ_VB = """
import convertquor, sys
frame = convertquor.read(sys.argv[1], recfm="VB", lengths="8,20,10,7,11,8", formats="1,1,2,0,3,0")
assert len(frame) == int(sys.argv[2])
"""
READ_CSV = """
import subprocess, sys, pandas
subprocess.run([sys.argv[3], "decode", "-q", "--lengths", "8,20,10,7,11,8", "--formats", "1,1,2,0,3,0",
                "-o", sys.argv[1] + ".csv", sys.argv[1]], check=True)
frame = pandas.read_csv(sys.argv[1] + ".csv", header=None, dtype={0: str, 1: str, 2: str}, keep_default_na=False)
assert len(frame) == int(sys.argv[2])
"""


def records_file(n):
    data = os.path.join(BENCH_DIR, f"records-{n}.dat")
    if not os.path.exists(data):
        csv = os.path.join(BENCH_DIR, f"records-{n}.csv")
        if not os.path.exists(csv):
            subprocess.run([sys.executable, os.path.join(HERE, "generate_records.py"), str(n), csv], check=True)
        subprocess.run([QUOR, "encode", "-q", *LISTS, "-o", data, csv], check=True)
    return data


def blocked_file(n):
    data = os.path.join(BENCH_DIR, f"records-{n}.vb")
    if not os.path.exists(data):
        csv = os.path.join(BENCH_DIR, f"records-{n}.csv")
        if not os.path.exists(csv):
            subprocess.run([sys.executable, os.path.join(HERE, "generate_records.py"), str(n), csv], check=True)
        subprocess.run([QUOR, "encode", "-q", *LISTS, "--recfm", "VB", "-o", data, csv], check=True)
    return data


def timed(code, *args):
    """(wall s, CPU s, peak RSS MB) of `python3 -c code args`: the CPU of the quor run it starts is
    counted, its memory only as the largest process's."""
    done = subprocess.run(["/usr/bin/time", "-f", "%e %U %S %M", sys.executable, "-c", code, *args],
                          capture_output=True, text=True, check=True)
    wall, user, system, rss = done.stderr.strip().splitlines()[-1].split()
    return float(wall), float(user) + float(system), int(rss) / 1024


def median_run(code, *args):
    runs = sorted((timed(code, *args) for _ in range(RUNS)), key=lambda run: run[0])
    return runs[len(runs) // 2]


def index_seconds(path):
    """Wall seconds of convertquor.dask.read's index pass over a VB file (the file in the page cache)."""
    import convertquor.dask
    seconds = []
    for _ in range(RUNS):
        start = time.perf_counter()
        convertquor.dask.read(path, blocksize="4MiB", recfm="VB", lengths="8,20,10,7,11,8", formats="1,1,2,0,3,0")
        seconds.append(time.perf_counter() - start)
    return statistics.median(seconds)


def cluster_seconds(path, workers, **framing):
    """Wall seconds of reading the file on a cluster of `workers` processes (one thread each), summing a
    column and counting the records, the cluster started beforehand."""
    import dask
    import distributed
    import convertquor.dask
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster):
        seconds = []
        for _ in range(RUNS):
            frame = convertquor.dask.read(path, blocksize="4MiB", lengths="8,20,10,7,11,8", formats="1,1,2,0,3,0",
                                          **framing)
            start = time.perf_counter()
            dask.compute(frame["field 5"].sum(), frame["field 1"].count())
            seconds.append(time.perf_counter() - start)
    return statistics.median(seconds)


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
    os.makedirs(BENCH_DIR, exist_ok=True)
    path = records_file(n)
    print(f"{os.cpu_count()} processors; {n} records of the benchmark layout, {os.path.getsize(path)} bytes; "
          f"each figure the median of {RUNS} runs")
    print(f"{'':44} {'wall s':>8} {'CPU s':>8} {'peak RSS':>10}")
    wall, cpu, rss = median_run(READ, path, str(n))
    print(f"{'convertquor.read':44} {wall:8.2f} {cpu:8.2f} {rss:7.0f} MB")
    wall, cpu, rss = median_run(READ_CSV, path, str(n), QUOR)
    print(f"{'quor decode to CSV, then pandas.read_csv':44} {wall:8.2f} {cpu:8.2f} {rss:7.0f} MB")
    os.remove(path + ".csv")
    for workers in (1, 2):
        print(f"{f'convertquor.dask.read, {workers} worker process' + ('es' if workers > 1 else ''):44} "
              f"{cluster_seconds(path, workers):8.2f}")
    blocked = blocked_file(n)
    print(f"the VB file: {os.path.getsize(blocked)} bytes")
    wall, cpu, rss = median_run(READ_VB, blocked, str(n))
    print(f"{'convertquor.read, recfm=VB':44} {wall:8.2f} {cpu:8.2f} {rss:7.0f} MB")
    print(f"{'convertquor.dask.read index pass, VB':44} {index_seconds(blocked):8.2f}")
    for workers in (1, 2):
        print(f"{f'convertquor.dask.read VB, {workers} worker process' + ('es' if workers > 1 else ''):44} "
              f"{cluster_seconds(blocked, workers, recfm='VB'):8.2f}")


if __name__ == "__main__":
    main()
