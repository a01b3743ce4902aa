"""V and VB files and files of several record types: read as quor decode reads them, written as quor encode
writes them, and cut into Dask partitions by the index pass, equal to the whole file read."""

import dask
import pandas as pd
import pytest

import convertquor
import convertquor.dask
from conftest import EXAMPLES, ORDERS, csv_rows, run_quor
from test_records import text_of

ORDERS_V = {"copybook": EXAMPLES / "orders-v.cpy", "type_field": "REC-TYPE",
            "types": {"H": "ORDER-HEAD", "L": "ORDER-LINE"}}
ORDERS_V_ARGS = ["--copybook", EXAMPLES / "orders-v.cpy", "--type-field", "REC-TYPE", "--type", "H=ORDER-HEAD",
                 "--type", "L=ORDER-LINE"]
TRANSFER = {"copybook": EXAMPLES / "transfer.cpy", "type_field": "REC-TYPE",
            "types": ["1=TRANSFER-HEADER", "2=TRANSFER-DATA", "8=TRANSFER-TRAILER", "9=TRANSFER-END"]}
TRANSFER_ARGS = ["--copybook", EXAMPLES / "transfer.cpy", "--type-field", "REC-TYPE", "--type", "1=TRANSFER-HEADER",
                 "--type", "2=TRANSFER-DATA", "--type", "8=TRANSFER-TRAILER", "--type", "9=TRANSFER-END"]

# (csv, quor's layout arguments, the package's, framing arguments both ways)
SHAPES = [
    (EXAMPLES / "orders-v.csv", ORDERS_V_ARGS, ORDERS_V, ["--recfm", "V"], {"recfm": "V"}),
    (EXAMPLES / "orders-v.csv", ORDERS_V_ARGS, ORDERS_V, ["--recfm", "VB", "--block-size", "120"],
     {"recfm": "VB", "block_size": 120}),
    (EXAMPLES / "orders-v.csv", ORDERS_V_ARGS, ORDERS_V, ["--recfm", "V", "--rdw-little-endian", "--rdw-data-length"],
     {"recfm": "V", "rdw_little_endian": True, "rdw_data_length": True}),
    (EXAMPLES / "transfer.csv", TRANSFER_ARGS, TRANSFER, [], {}),
    (EXAMPLES / "transfer.csv", TRANSFER_ARGS, TRANSFER, ["--recfm", "VB"], {"recfm": "VB"}),
]


@pytest.mark.parametrize("csv_file, args, layout, framing_args, framing", SHAPES)
def test_read_gives_what_quor_decode_gives_record_by_record(tmp_path, csv_file, args, layout, framing_args, framing):
    records = tmp_path / "records.dat"
    run_quor("encode", "-q", *args, *framing_args, "-o", records, csv_file)
    _, out, _ = run_quor("decode", "-q", *args, *framing_args, records)
    lines = csv_rows(out)
    got = list(convertquor.records(records, **layout, **framing))
    # quor writes the columns a short record holds; the package has every column, absent ones empty.
    assert [[name] + [text_of(v) for v in row.values()][:len(line) - 1] for (name, row), line in zip(got, lines)] == lines
    assert len(got) == len(lines)
    frames = convertquor.read(records, **layout, **framing)
    assert sum(len(frame) for frame in frames.values()) == len(lines)
    for name, frame in frames.items():
        assert [i for i, line in enumerate(lines) if line[0] == name] == list(frame.index)
    # From bytes and from a file object the same.
    with open(records, "rb") as f:
        for other in (convertquor.read(records.read_bytes(), **layout, **framing), convertquor.read(f, **layout, **framing)):
            for name, frame in frames.items():
                pd.testing.assert_frame_equal(other[name], frame)


@pytest.mark.parametrize("framing_args, framing", [
    (["--recfm", "V"], {"recfm": "V"}),
    (["--recfm", "VB", "--block-size", "100"], {"recfm": "VB", "block_size": 100}),
    (["--recfm", "VB", "--rdw-data-length"], {"recfm": "VB", "rdw_data_length": True}),
])
def test_write_frames_the_records_as_quor_encode_does(tmp_path, framing_args, framing):
    run_quor("encode", "-q", *ORDERS["args"], *framing_args, "-o", tmp_path / "records.dat", ORDERS["csv"])
    expected = (tmp_path / "records.dat").read_bytes()
    frame = convertquor.read(expected, **ORDERS["layout"], **framing)
    assert len(frame) == len(csv_rows(ORDERS["csv"].read_bytes()))
    assert convertquor.write(frame, None, **ORDERS["layout"], **framing) == expected


def test_bad_frames_and_types_say_what_quor_says(tmp_path):
    records = tmp_path / "orders.dat"
    run_quor("encode", "-q", *ORDERS_V_ARGS, "--recfm", "V", "-o", records, EXAMPLES / "orders-v.csv")
    data = records.read_bytes()
    cases = [  # the file's bytes, what quor decode says
        data[:-5],                                       # the last record cut short
        data[:4] + b"\x00\x02\x00\x00" + data[8:],       # an RDW shorter than itself
        data.replace(b"\xC8", b"\xE7", 1),               # a type no --type names ("X")
        data + b"\x00\x01",                              # an RDW cut short
    ]
    for content in cases:
        (tmp_path / "bad.dat").write_bytes(content)
        status, _, said = run_quor("decode", "-q", *ORDERS_V_ARGS, "--recfm", "V", tmp_path / "bad.dat", check=False)
        assert status != 0
        with pytest.raises(convertquor.Error) as raised:
            convertquor.read(tmp_path / "bad.dat", recfm="V", **ORDERS_V)
        assert str(raised.value) in said.splitlines()[0], content
        with pytest.warns(convertquor.LenientWarning, match="1 bad record skipped"):
            convertquor.read(tmp_path / "bad.dat", recfm="V", skip_bad=True, **ORDERS_V)
    # The options are checked where they are given.
    for wrong, error in [({"recfm": "U"}, ValueError), ({"type_field": "REC-TYPE"}, TypeError),
                         ({"types": {"H": "ORDER-HEAD"}}, TypeError), ({"types": ["H"]}, TypeError),
                         ({"rdw_little_endian": True}, TypeError)]:
        with pytest.raises(error):
            convertquor.read(data, copybook=EXAMPLES / "orders-v.cpy", **wrong)
    # types gives a DataFrame a record layout, however many it names.
    with pytest.warns(convertquor.LenientWarning, match="bad record"):  # the heads, no lines
        only_lines = convertquor.read(data, recfm="V", copybook=EXAMPLES / "orders-v.cpy",
                                      types={"*": "ORDER-LINE"}, skip_bad=True)
    assert list(only_lines) == ["ORDER-LINE"]
    with pytest.raises(convertquor.Error, match="several records"):
        convertquor.read(data, copybook=EXAMPLES / "orders-v.cpy", recfm="V")
    with pytest.raises(convertquor.Error, match="no record|NOTHING"):
        convertquor.read(data, recfm="V", copybook=EXAMPLES / "orders-v.cpy", type_field="REC-TYPE",
                         types={"H": "NOTHING"})


def _partition_starts(data, recfm, blocksize):
    """The records before each place a partition starts, walking big-endian RDWs and BDWs."""
    starts, at, records, next_start = [], 0, 0, 0
    while at < len(data):
        if at >= next_start:
            starts.append(records)
            next_start = at + blocksize
        length = int.from_bytes(data[at:at + 2], "big")
        if recfm == "VB":
            records += sum(1 for _ in _rdws(data[at + 4:at + length]))
        else:
            records += 1
        at += length
    return starts


def _rdws(block):
    at = 0
    while at < len(block):
        yield at
        at += int.from_bytes(block[at:at + 2], "big")


@pytest.mark.parametrize("recfm, block_size", [("V", None), ("VB", 200), ("VB", 32760)])
def test_dask_partitions_of_variable_records_read_as_the_whole_file(tmp_path, recfm, block_size):
    layout = convertquor.Layout.from_text("id zoned 5\nname text 8\n")
    framing = {"recfm": recfm} if block_size is None else {"recfm": recfm, "block_size": block_size}
    rows = [(i, "N" * (i % 9)) for i in range(3000)]
    path = tmp_path / "v.dat"
    path.write_bytes(convertquor.write(rows, None, layout=layout, **framing))
    whole = convertquor.read(path, layout=layout, **framing)
    assert len(whole) == 3000
    with dask.config.set(scheduler="synchronous"):
        for blocksize in (517, 4096, "1MiB"):
            frame = convertquor.dask.read([path, path], layout=layout, blocksize=blocksize, **framing)
            both = pd.concat([whole, whole], ignore_index=True)
            pd.testing.assert_frame_equal(frame.compute(), both)
            assert frame.known_divisions
            # Each partition starts at the first record (V) or block (VB) at or after blocksize bytes past
            # the one before, as a plain walk of the descriptors finds them.
            starts = _partition_starts(path.read_bytes(), recfm, dask.utils.parse_bytes(blocksize))
            assert frame.divisions[:-1] == tuple(starts + [3000 + s for s in starts])
    # Records of one type of a file of several, and a bad frame reported by the partition that holds it.
    records = tmp_path / "orders.dat"
    run_quor("encode", "-q", *ORDERS_V_ARGS, "--recfm", recfm, *(["--block-size", "120"] if block_size else []), "-o",
             records, EXAMPLES / "orders-v.csv")
    with dask.config.set(scheduler="synchronous"):
        lines = convertquor.dask.read(records, record="ORDER-LINE", blocksize=1, recfm=recfm, **ORDERS_V)
        assert lines.npartitions > 1
        pd.testing.assert_frame_equal(lines.compute(), convertquor.read(records, recfm=recfm, **ORDERS_V)["ORDER-LINE"])
        with pytest.raises(TypeError, match="record="):
            convertquor.dask.read(records, recfm=recfm, **ORDERS_V)
        (tmp_path / "cut.dat").write_bytes(records.read_bytes()[:-3])
        with pytest.raises(convertquor.Error, match="cut short|ends inside a block"):
            convertquor.dask.read(tmp_path / "cut.dat", record="ORDER-LINE", blocksize=1, recfm=recfm, **ORDERS_V).compute()


SHIPMENTS = {"copybook": EXAMPLES / "shipments.cpy"}
SHIPMENTS_ARGS = ["--copybook", EXAMPLES / "shipments.cpy"]


def _quor_text(value):
    """A read value as quor decode writes it, a missing one (past a table's count) empty."""
    return "" if value is None or value is pd.NA else text_of(value)


# Records of a table of varying length (OCCURS DEPENDING ON): back to back, in slots of the longest,
# behind RDWs and in VB blocks.
@pytest.mark.parametrize("shape_args, shape", [
    ([], {}),
    (["--odo-padded"], {"odo_padded": True}),
    (["--recfm", "V"], {"recfm": "V"}),
    (["--recfm", "VB", "--block-size", "100"], {"recfm": "VB", "block_size": 100}),
    (["--recfm", "V", "--odo-padded"], {"recfm": "V", "odo_padded": True}),
])
def test_records_of_varying_length_read_and_write_as_quor_does(tmp_path, shape_args, shape):
    records = tmp_path / "shipments.dat"
    run_quor("encode", "-q", *SHIPMENTS_ARGS, *shape_args, "-o", records, EXAMPLES / "shipments.csv")
    expected = records.read_bytes()
    _, out, _ = run_quor("decode", "-q", "--header", *SHIPMENTS_ARGS, *shape_args, records)
    header, *lines = csv_rows(out)
    frame = convertquor.read(records, **SHIPMENTS, **shape)
    assert list(frame.columns) == header
    assert [[_quor_text(v) for v in row] for row in frame.itertuples(index=False)] == lines
    assert [[_quor_text(v) for v in row.values()] for row in convertquor.records(records, **SHIPMENTS, **shape)] == lines
    # Columns past a table's count are missing values: the integer columns are nullable.
    assert frame["QUANTITY(4)"].isna().any() and str(frame["QUANTITY(4)"].dtype) == "Int64"
    assert convertquor.write(frame, None, **SHIPMENTS, **shape) == expected
    assert convertquor.write(csv_rows((EXAMPLES / "shipments.csv").read_bytes()), None, **SHIPMENTS, **shape) == expected
    with dask.config.set(scheduler="synchronous"):
        pd.testing.assert_frame_equal(convertquor.dask.read(records, blocksize=64, **SHIPMENTS, **shape).compute(),
                                      frame)


def test_a_v_record_is_held_to_its_counters_as_quor_holds_it(tmp_path):
    records = tmp_path / "shipments.dat"
    run_quor("encode", "-q", *SHIPMENTS_ARGS, "--recfm", "V", "-o", records, EXAMPLES / "shipments.csv")
    data = records.read_bytes()
    # The first record's LINE-COUNT (after the RDW, 'SH', six digits, four bytes and eight) says 1 of its 2 lines.
    count = 4 + 2 + 6 + 4 + 8
    assert data[count] == 0xF2
    bad = tmp_path / "bad.dat"
    bad.write_bytes(data[:count] + b"\xF1" + data[count + 1:])
    status, _, said = run_quor("decode", "-q", *SHIPMENTS_ARGS, "--recfm", "V", bad, check=False)
    assert status != 0
    with pytest.raises(convertquor.Error) as raised:
        convertquor.read(bad, recfm="V", **SHIPMENTS)
    assert str(raised.value) in said.splitlines()[0]
    with pytest.warns(convertquor.LenientWarning, match="1 bad record skipped"):
        assert len(convertquor.read(bad, recfm="V", skip_bad=True, **SHIPMENTS)) == len(csv_rows(
            (EXAMPLES / "shipments.csv").read_bytes())) - 1
