"""convertquor.dask: partitions cut at record boundaries, each read in a worker, equal to convertquor.read."""

import subprocess
import sys

import dask
import pandas as pd
import pytest

import convertquor
import convertquor.dask
from conftest import ROOT, run_quor

LISTS = {"lengths": "8,20,10,7,11,8", "formats": "1,1,2,0,3,0"}


@pytest.fixture(scope="module")
def bench_records(tmp_path_factory):
    """200,000 records of the benchmark layout, encoded by quor."""
    folder = tmp_path_factory.mktemp("bench")
    subprocess.run([sys.executable, str(ROOT / "bench" / "generate_records.py"), "200000", str(folder / "in.csv")],
                   check=True)
    run_quor("encode", "-q", "--lengths", LISTS["lengths"], "--formats", LISTS["formats"], "-o", folder / "records.dat",
             folder / "in.csv")
    return folder / "records.dat"


def test_partitions_are_whole_records_and_read_as_the_whole_file(tmp_path):
    layout = convertquor.Layout.from_text("id zoned 4\nname text 3\n")
    rows = [(i, f"N{i % 7}") for i in range(10)]
    data = convertquor.write(rows, None, layout=layout)
    cases = [  # file bytes, blocksize, partitions
        (data, 7 * 3, 4),      # 3 records a partition
        (data, 7 * 3 + 6, 4),  # a partition never holds part of a record
        (data, 1, 10),         # at least one record a partition
        (data, "1MiB", 1),
        (b"", 70, 1),
    ]
    with dask.config.set(scheduler="synchronous"):
        for content, blocksize, partitions in cases:
            (tmp_path / "f.dat").write_bytes(content)
            frame = convertquor.dask.read(tmp_path / "f.dat", layout=layout, blocksize=blocksize)
            assert frame.npartitions == partitions, blocksize
            pd.testing.assert_frame_equal(frame.compute(), convertquor.read(tmp_path / "f.dat", layout=layout))
            assert frame.known_divisions == bool(content)

        # Several files: one after the other, the index going on.
        (tmp_path / "a.dat").write_bytes(data)
        (tmp_path / "b.dat").write_bytes(data[:7 * 4])
        frame = convertquor.dask.read(str(tmp_path / "[ab].dat"), layout=layout, blocksize=7 * 4)
        assert frame.divisions == (0, 4, 8, 10, 13)
        whole = pd.concat([convertquor.read(tmp_path / "a.dat", layout=layout),
                           convertquor.read(tmp_path / "b.dat", layout=layout)], ignore_index=True)
        pd.testing.assert_frame_equal(frame.compute(), whole)

        # Bytes after the last whole record: the last partition says so, as read() does.
        (tmp_path / "f.dat").write_bytes(data + b"\xF1")
        frame = convertquor.dask.read(tmp_path / "f.dat", layout=layout, blocksize=7 * 3)
        with pytest.raises(convertquor.Error, match=r"f.dat: record 11 \(byte offset 70\): 1 leftover byte after"):
            frame.compute()
        with pytest.warns(convertquor.LenientWarning):
            skipped = convertquor.dask.read(tmp_path / "f.dat", layout=layout, blocksize=7 * 3, skip_bad=True).compute()
        pd.testing.assert_frame_equal(skipped, convertquor.read(data, layout=layout))


def test_a_distributed_cluster_reads_what_one_process_reads(bench_records):
    distributed = pytest.importorskip("distributed")
    expected = convertquor.read(bench_records, **LISTS)
    assert len(expected) == 200000
    frame = convertquor.dask.read(bench_records, blocksize="3MiB", **LISTS)
    assert frame.npartitions >= 4
    # The same records as a VB file, cut by the index pass.
    blocked = bench_records.with_suffix(".vb")
    blocked.write_bytes(convertquor.write(expected, None, recfm="VB", **LISTS))
    framed = convertquor.dask.read(blocked, blocksize="3MiB", recfm="VB", **LISTS)
    assert framed.npartitions >= 4
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        assert len(client.scheduler_info()["workers"]) == 2
        got = frame.compute()
        got_framed = framed.compute()
    pd.testing.assert_frame_equal(got, expected)
    pd.testing.assert_frame_equal(got_framed, expected)
    assert cluster.status.name == "closed"
