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

V and VB files (recfm=), and files of several record types, give no record's place by arithmetic: an
index pass reads each file once, on the client, through the library's framing reader (descriptors and
type fields only, nothing decoded), and notes the first record boundary at or after every `blocksize`
bytes with the number of records before it; a V partition starts at a record's RDW, a VB one at a
block's BDW, so each worker's reader starts where a reader of the whole file would stand.
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


def _framed_parts(paths, settings, blocksize):
    """The index pass: (path, first byte, end byte or None, records before it, index base) a partition,
    and the divisions, as _parts_of gives them."""
    parts = []
    divisions = []
    base = 0
    for path in paths:
        reader = settings.file_reader()
        source = _records._Source(path)
        starts = []
        try:
            offset = 0
            pending = b""
            for chunk, last in source.raw():
                data = memoryview(bytes(pending) + bytes(chunk)) if pending else chunk
                at = 0
                more = True
                while more:
                    consumed, found, more = reader.scan(data[at:], offset, last, blocksize)
                    starts.extend(found)
                    at += consumed
                    offset += consumed
                    if consumed == 0:
                        break
                if not more:
                    break
                pending = bytes(data[at:])
        finally:
            source.close()
        if not starts:
            starts = [(0, 0)]
        for i, (at, before) in enumerate(starts):
            end = starts[i + 1][0] if i + 1 < len(starts) else None
            parts.append((path, at, end, before, base))
            divisions.append(base + before)
        base += reader.records
    divisions.append(max(base - 1, divisions[-1]))
    if any(a >= b for a, b in zip(divisions[:-2], divisions[1:-1])) or base == 0:
        return parts, (None,) * len(divisions)
    return parts, tuple(divisions)


def _read_framed_part(part, settings, record):
    """One partition of a framed file, read in a worker: the records of layout `record`."""
    path, start, end, before, base = part
    source = _records._Source(path)
    try:
        frame = _records._read_frames(settings, source, start, end, before)[record]
    finally:
        source.close()
    if base:
        frame.index = frame.index + base
    return frame


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


def read(paths, *, copybook=None, layout=None, blocksize="64MiB", record=None, **options):
    """Host record files as a dask.dataframe.DataFrame, partitions cut at record boundaries.

    paths      a path, a glob pattern ("orders-*.dat") or a list of them, read in order
    blocksize  the bytes a partition holds at most (an int, or "64MiB"); at least one record
    copybook, layout, lengths, formats, and the options: as for convertquor.read
    record     with several record layouts (types=), the one whose records the DataFrame holds

    The layout, the options and the gaiji mapping are read here, once, and sent to the workers with
    each partition; a bad record raises convertquor.Error from the worker that reads it, and the
    warnings of lenient and skip_bad runs are the workers'.
    """
    settings = _records._Settings("read", copybook, layout, options)
    files = _paths_of(paths)
    if settings.framed:
        names = settings.record_names
        if record is None and len(names) > 1:
            raise TypeError(f"the files hold several record layouts ({', '.join(names)}): record= names the one to read")
        chosen = names[0] if record is None else settings.layout.record(record)[0]
        if chosen not in names:
            raise TypeError(f"record {record}: not among the record layouts types= names ({', '.join(names)})")
        parts, divisions = _framed_parts(files, settings, max(1, parse_bytes(blocksize)))
        columns = dict(settings.layout_columns())[chosen]
        meta = _records._frame(settings, [], [], columns)
        token = dask.base.tokenize([(p, os.path.getsize(p), os.path.getmtime(p)) for p in files], parts, chosen,
                                   settings.layout.__getstate__(), settings.record_options, settings.framing_options,
                                   settings.choices, settings.type_field, settings.gaiji.content, settings.lenient,
                                   settings.skip_bad, settings.max_errors)
        return dd.from_map(_read_framed_part, parts, args=(settings, chosen), meta=meta, divisions=divisions,
                           label="read-host-records", token=token, enforce_metadata=False)
    if record is not None:
        raise TypeError("record= names one of several record layouts types= gives")
    length = settings.layout.record_length
    if length == 0:
        raise _records.Error("the layout has no bytes")
    per_partition = max(1, parse_bytes(blocksize) // length)
    parts, divisions = _parts_of(files, length, per_partition)
    meta = _records._frame(settings, [], [])
    token = dask.base.tokenize([(p, os.path.getsize(p), os.path.getmtime(p)) for p in files], per_partition,
                               settings.layout.__getstate__(), settings.record_options, settings.gaiji.content,
                               settings.lenient, settings.skip_bad, settings.max_errors)
    return dd.from_map(_read_part, parts, args=(settings,), meta=meta, divisions=divisions,
                       label="read-host-records", token=token, enforce_metadata=False)
