"""Host record files read by the workers of a Dask cluster, as a dask.dataframe.DataFrame.

    import convertquor.dask
    orders = convertquor.dask.read("orders-*.dat", copybook="order.cpy", blocksize="64MiB")
    orders.groupby("ORDER-DATE")["TOTAL-AMOUNT"].sum().compute()

Each file is cut into partitions at record boundaries: records of a fixed length start at multiples of
the length, so a partition is a run of whole records found by arithmetic, without reading the file.
Each worker opens the file, reads its partition's records and decodes them with the ConvertQuor
library, exactly as convertquor.read does, so the result equals convertquor.read of the whole file:
the same columns, types, values and index (a record's number in its file; for several files the
numbers go on from one file to the next). The workers must see the files at the same paths.
"""

import glob
import os

import dask
import dask.dataframe as dd
from dask.utils import parse_bytes

from . import _records


def _paths_of(paths):
    if isinstance(paths, (str, os.PathLike)):
        paths = [paths]
    found = []
    for path in paths:
        path = os.fspath(path)
        if any(c in path for c in "*?[") and not os.path.exists(path):
            matched = sorted(glob.glob(path))
            if not matched:
                raise FileNotFoundError(f"no file matches {path}")
            found.extend(matched)
        else:
            found.append(path)
    if not found:
        raise ValueError("no file to read")
    return found


def _parts_of(paths, record_length, per_partition):
    """(path, first record, record count or None for the rest of the file, index base) a partition, and
    the divisions: the index of each partition's first record, and the last record's."""
    parts = []
    divisions = []
    base = 0
    last = None
    for path in paths:
        size = os.path.getsize(path)
        records = size // record_length
        if records == 0 and size == 0:
            continue
        for first in range(0, max(records, 1), per_partition):
            # The last partition reads to the end, so bytes after the last whole record are reported
            # as convertquor.read reports them.
            count = per_partition if first + per_partition < records else None
            parts.append((path, first, count, base))
            divisions.append(base + first)
        last = base + max(records, 1) - 1
        base += records
    if not parts:
        return [(paths[0], 0, None, 0)], (None, None)
    divisions.append(last)
    if any(a >= b for a, b in zip(divisions[:-2], divisions[1:-1])):
        return parts, (None,) * len(divisions)  # a file without a whole record: no known bounds
    return parts, tuple(divisions)


def _read_part(part, settings):
    """One partition's DataFrame, read in a worker."""
    path, first, count, base = part
    source = _records._Source(path)
    try:
        frame = _records._read_frame(settings, source, first, count)
    finally:
        source.close()
    if base:
        frame.index = frame.index + base
    return frame


def read(paths, *, copybook=None, layout=None, blocksize="64MiB", **options):
    """Host record files as a dask.dataframe.DataFrame, partitions cut at record boundaries.

    paths      a path, a glob pattern ("orders-*.dat") or a list of them, read in order
    blocksize  the bytes a partition holds at most (an int, or "64MiB"); at least one record
    copybook, layout, lengths, formats, and the options: as for convertquor.read

    The layout, the options and the gaiji mapping are read here, once, and sent to the workers with
    each partition; a bad record raises convertquor.Error from the worker that reads it, and the
    warnings of lenient and skip_bad runs are the workers'.
    """
    settings = _records._Settings("read", copybook, layout, options)
    length = settings.layout.record_length
    if length == 0:
        raise _records.Error("the layout has no bytes")
    per_partition = max(1, parse_bytes(blocksize) // length)
    files = _paths_of(paths)
    parts, divisions = _parts_of(files, length, per_partition)
    meta = _records._frame(settings, [], [])
    token = dask.base.tokenize([(p, os.path.getsize(p), os.path.getmtime(p)) for p in files], per_partition,
                               settings.layout.__getstate__(), settings.record_options, settings.gaiji.content,
                               settings.lenient, settings.skip_bad, settings.max_errors)
    return dd.from_map(_read_part, parts, args=(settings,), meta=meta, divisions=divisions,
                       label="read-host-records", token=token, enforce_metadata=False)
