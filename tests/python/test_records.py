"""convertquor.read, records and write, held to the quor command's bytes, CSV and messages."""

import decimal
import io
import os
import random
import stat

import numpy as np
import pandas as pd
import pytest

import convertquor
from conftest import EXAMPLES, csv_rows, run_quor


def text_of(value):
    """A read value as quor decode writes it."""
    if isinstance(value, decimal.Decimal):
        return format(value, "f")
    return str(value)


def test_read_gives_the_values_quor_decode_gives(example):
    frame = convertquor.read(example["records"], **example["layout"])
    _, out, _ = run_quor("decode", "-q", "--header", *example["args"], example["records"])
    header, *lines = csv_rows(out)
    assert list(frame.columns) == header
    assert [[text_of(v) for v in row] for row in frame.itertuples(index=False)] == lines
    # Numbers with places keep every place the field has, as Decimals.
    assert all(type(v) in (str, int, decimal.Decimal) for v in frame.iloc[0].tolist() if not isinstance(v, np.integer))
    assert list(convertquor.records(example["records"], **example["layout"])) == \
        [{k: (int(v) if isinstance(v, np.integer) else v) for k, v in row.items()} for row in frame.to_dict("records")]


def test_write_gives_the_bytes_quor_encode_gives(example):
    expected = example["records"].read_bytes()
    rows = csv_rows(example["csv"].read_bytes(), example["encoding"])
    if "--header" in example["encode"]:
        header, *rows = rows
        rows = [dict(zip(header, row)) for row in rows]
    assert convertquor.write(rows, None, **example["layout"]) == expected
    # The DataFrame read back, with its typed values, writes the same bytes: a round trip.
    frame = convertquor.read(example["records"], **example["layout"])
    assert convertquor.write(frame, None, **example["layout"]) == expected
    assert convertquor.write(frame.itertuples(index=False), None, **example["layout"]) == expected


def test_typed_values_round_trip_through_a_dataframe(tmp_path):
    layout = convertquor.Layout.from_text(
        "name text 6\nkanji national 3\nsmall zoned 4 signed\nwide zoned 25 signed\n"
        "price packed 9 scale=2 signed\nrate binary 4 scale=3\ncount binary 18 signed\n")
    rng = random.Random(7)
    frame = pd.DataFrame({
        "name": [rng.choice(["ABC", "ｱｲｳ", "", "x y"]) for _ in range(300)],
        "kanji": [rng.choice(["山", "田中", ""]) for _ in range(300)],
        "small": [rng.randrange(-9999, 10000) for _ in range(300)],
        "wide": [rng.randrange(-10 ** 25 + 1, 10 ** 25) for _ in range(300)],
        "price": [decimal.Decimal(rng.randrange(-10 ** 9 + 1, 10 ** 9)).scaleb(-2) for _ in range(300)],
        "rate": [decimal.Decimal(rng.randrange(0, 10000)).scaleb(-3) for _ in range(300)],
        "count": [rng.randrange(-10 ** 18 + 1, 10 ** 18) for _ in range(300)],
    })
    frame.loc[1, "kanji"] = "ｶﾞ"
    written = convertquor.write(frame, tmp_path / "typed.dat", layout=layout)
    assert written == 300 and os.path.getsize(tmp_path / "typed.dat") == 300 * layout.record_length
    back = convertquor.read(tmp_path / "typed.dat", layout=layout)
    assert dict(back.dtypes.astype(str)) == {"name": "object", "kanji": "object", "small": "int64", "wide": "object",
                                             "price": "object", "rate": "object", "count": "int64"}
    frame["name"] = frame["name"].str.rstrip()  # text reads back without its padding
    frame.loc[1, "kanji"] = "ガ"  # half-width kana is written as one full-width character
    pd.testing.assert_frame_equal(back, frame)
    assert convertquor.write(back, None, layout=layout) == (tmp_path / "typed.dat").read_bytes()


def test_records_stream_block_by_block(example, monkeypatch):
    monkeypatch.setattr(convertquor._records, "_BLOCK_BYTES", 1)  # one record a block
    whole = convertquor.read(example["records"], **example["layout"])
    with open(example["records"], "rb") as f:
        streamed = convertquor.records(f, **example["layout"])
        first = next(streamed)
        assert f.tell() == os.path.getsize(example["records"]) // len(whole)  # one record read, no more
        assert [first, *streamed] == [{k: (int(v) if isinstance(v, np.integer) else v) for k, v in row.items()}
                                     for row in whole.to_dict("records")]
    assert convertquor.read(example["records"].read_bytes(), **example["layout"]).equals(whole)


def quor_message(stderr):
    return stderr.splitlines()[0]


def test_errors_carry_the_parts_and_words_of_quor_messages(tmp_path):
    layout = EXAMPLES / "orders.layout"
    good = tmp_path / "good.dat"
    run_quor("encode", "-q", "--layout", layout, "--gaiji", EXAMPLES / "site-gaiji.txt", "-o", good, EXAMPLES / "orders.csv")
    bad = tmp_path / "bad.dat"
    data = bytearray(good.read_bytes())
    data[69 * 2 + 54] = 0xFA  # record 3, quantity's last byte
    bad.write_bytes(bytes(data) + b"\x40\x40\x40")

    # Invalid data read: the record, its byte, the field, the bytes and the reason, as quor decode says.
    _, _, stderr = run_quor("decode", "--layout", layout, bad, check=False)
    with pytest.raises(convertquor.Error) as raised:
        convertquor.read(bad, layout=layout, gaiji=EXAMPLES / "site-gaiji.txt")
    e = raised.value
    assert str(e) == quor_message(stderr)
    assert (e.record, e.column, e.field, e.value, e.offset, e.number, e.source) == \
        (3, 4, "quantity", b"\xFA", 69 * 2 + 54, None, str(bad))
    assert e.reason in str(e)

    # skip_bad leaves the record out (the index keeps the record numbers) and warns of it and of the
    # bytes after the last whole record.
    with pytest.warns(convertquor.LenientWarning, match="2 bad records skipped") as warned:
        skipped = convertquor.read(bad, layout=layout, gaiji=EXAMPLES / "site-gaiji.txt", skip_bad=True)
    assert list(skipped.index) == [i for i in range(20) if i != 2]
    assert "3 leftover bytes after the last whole record (records are 69 bytes)" in str(warned[0].message)
    with pytest.raises(convertquor.Error, match="bad.dat: record 17 .* bytes that are no JEF code \\(the bad records exceed max_errors=3\\)"):
        convertquor.read(bad, layout=layout, skip_bad=True, max_errors=3)

    # lenient: text as read, numbers with invalid data missing; integer columns nullable.
    with pytest.warns(convertquor.LenientWarning, match="1 field of invalid data"):
        lenient = convertquor.read(bad.read_bytes()[:-3], layout=layout, gaiji=EXAMPLES / "site-gaiji.txt", lenient=True)
    assert str(lenient["quantity"].dtype) == "Int64" and lenient["quantity"].isna().tolist() == [i == 2 for i in range(20)]

    # Values refused on writing: the field, the value and the reason, as quor encode says them for a line.
    cases = [
        ("A0000001,ﾔﾏﾀﾞ ﾀﾛｳ,山田太郎,12,150000,202401050", None),       # cut
        ("A0000001,ﾔﾏﾀﾞ ﾀﾛｳ,山田太郎,12,1500.5,20240105", 13),          # a fraction in a packed field
        ("A0000001,ﾔﾏﾀﾞ ﾀﾛｳ,山田\uE000,12,150000,20240105", None),        # no gaiji mapping given
        ("A0000001,ﾔﾏﾀﾞ ﾀﾛｳ,山田太郎,12,150000", None),                    # five items
    ]
    for line, number in cases:
        _, _, stderr = run_quor("encode", "--layout", layout, "-o", tmp_path / "x.dat", stdin=line.encode(), check=False)
        with pytest.raises(convertquor.Error) as raised:
            convertquor.write([line.split(","), line.split(",")], None, layout=layout)
        assert str(raised.value) == quor_message(stderr).replace("<stdin>:1:", "record 1:"), line
        assert raised.value.number == number and raised.value.record == 1

    # A layout the library refuses, and an operation of the component that fails.
    with pytest.raises(convertquor.Error, match=r"^t.layout:1: ") as raised:
        convertquor.read(b"", layout=convertquor.Layout.from_text("a 5 setKanji\n", name="t.layout"))
    assert raised.value.number == 5
    with pytest.raises(convertquor.Error, match="Type mismatch") as raised:
        convertquor.Quor().FujitsuZoneFD("12A", 3)
    assert raised.value.number == 13
    with pytest.raises(convertquor.Error) as raised:
        convertquor.Quor().FujitsuHostQuor("1,AB", "2,3", "0,3")
    assert (raised.value.number, raised.value.column) == (13, 2)


def test_records_of_the_wrong_shape_or_type_are_refused():
    layout = convertquor.Layout.from_text("a text 3\nb zoned 3\n")
    for rows, message in [
        ([{"a": "x"}], "record 1: no value for field 2 (b)"),
        ([{"a": "x", "b": 1, "c": 2}], "record 1: the key 'c' names no field of the layout"),
        ([("x", 1), ("y",)], "record 2: 1 item, the layout has 2 fields"),
        (pd.DataFrame({"a": ["x"], "c": [1]}), "the DataFrame's column 'c' is no field of the layout"),
    ]:
        with pytest.raises(convertquor.Error) as raised:
            convertquor.write(rows, None, layout=layout)
        assert str(raised.value) == message
    with pytest.raises(TypeError, match="record 1: field 2 \\(b\\): a value of type bytes"):
        convertquor.write([("x", b"1")], None, layout=layout)
    with pytest.raises(TypeError, match="record 1: field 2 \\(b\\): a value of type bool"):
        convertquor.write([("x", True)], None, layout=layout)
    with pytest.raises(TypeError, match="does not take: encoding"):
        convertquor.read(b"", layout=layout, encoding="cp932")
    with pytest.raises(TypeError, match="does not take: keep_padding"):
        convertquor.write([], None, layout=layout, keep_padding=True)


def test_missing_values_and_plain_numbers_write_as_a_csv_file_would_hold_them(tmp_path):
    layout_file = tmp_path / "t.layout"
    layout_file.write_text("a text 3\nb zoned 6 scale=2 signed\nc zoned 20\n")
    _, expected, _ = run_quor("encode", "-q", "--lenient", "--layout", layout_file, "--force",
                              stdin=b"x,100,10000000000000000\n,12.5,7\n,,3\n")
    rows = [("x", decimal.Decimal("1E+2"), 1e16), (None, 12.5, np.int32(7)), (pd.NA, float("nan"), 3)]
    with pytest.warns(convertquor.LenientWarning, match='1 value written .*\n  record 3: field 2 \\(b\\): "": not a'):
        assert convertquor.write(rows, None, layout=layout_file, lenient=True) == expected
    with pytest.raises(convertquor.Error, match='^record 3: field 2 \\(b\\): "": not a number'):
        convertquor.write(rows, None, layout=layout_file)


def test_a_path_is_replaced_only_by_a_whole_run(tmp_path):
    layout = convertquor.Layout.from_text("a text 3\n")
    target = tmp_path / "out.dat"
    target.write_bytes(b"earlier")
    os.chmod(target, 0o640)
    with pytest.raises(convertquor.Error):
        convertquor.write([("ABC",), ("ABCD",)], target, layout=layout)
    assert target.read_bytes() == b"earlier" and os.listdir(tmp_path) == ["out.dat"]
    assert convertquor.write([("ABC",)], target, layout=layout) == 1
    assert target.read_bytes() == b"\xC1\xC2\xC3" and stat.S_IMODE(os.stat(target).st_mode) == 0o640
    os.symlink(target, tmp_path / "link.dat")
    convertquor.write([("XYZ",)], tmp_path / "link.dat", layout=layout)
    assert os.path.islink(tmp_path / "link.dat") and target.read_bytes() == b"\xE7\xE8\xE9"
    # A file object is given the records before a bad one, as a pipe is.
    sink = io.BytesIO()
    with pytest.raises(convertquor.Error):
        convertquor.write([("ABC",), ("ABCD",)], sink, layout=layout)
    assert sink.getvalue() == b"\xC1\xC2\xC3"
    with pytest.warns(convertquor.LenientWarning, match="1 value written other than they read"):
        assert convertquor.write([("ABCD",)], None, layout=layout, lenient=True) == b"\xC1\xC2\xC3"


def test_the_component_calls_give_quor_field_bare_bytes():
    q = convertquor.Quor()
    cases = [
        ("zoned", "-123", 5, q.FujitsuZoneFD("-123", 5)),
        ("zoned", "-123", 5, q.FujitsuZoneFD(ConvertString="-123", ConvertLength=5, ConvertSign=True)),
        ("packed", "12345", 5, q.FujitsuPack("12345", 5)),
        ("ebcdic", "ｱｲABC", 7, q.SJIStoEBCDICK("ｱｲABC", 7)),
        ("jef", "山田", 3, q.FujitsuJEF("山田", 3)),
        ("zoned-list", "123,-45", "5,3", q.FujitsuZoneFDArray("123,-45", "5,3")),
    ]
    for kind, value, length, got in cases:
        _, out, _ = run_quor("field", "--bare", "--raw", kind, "--", value, length)
        assert got == out, (kind, value)
    assert q.FujitsuHostQuor("ABC,123", "5,5", "1,3") == bytes.fromhex("C1C2C34040 0012 3C".replace(" ", ""))
    assert q.Version() == convertquor.__version__
    q.JEFGaijiFilePath = str(EXAMPLES / "site-gaiji.txt")
    assert q.JEFGaijiFilePath == str(EXAMPLES / "site-gaiji.txt")
    assert (convertquor.setNumeric, convertquor.setCharacter, convertquor.setNCharacter,
            convertquor.setPackNumeric) == (0, 1, 2, 3)


def test_host_code_pages_write_and_read_as_quor_does(tmp_path):
    cases = [  # page, layout, a record's values
        ("fujitsu", "t text 12\nn national 3\n", ["ｱｲ 山 AB", "山田"]),
        ("ibm-930", "t text 12\nn national 3\n", ["ｱｲ 山 AB", "山田"]),
        ("ibm-1399", "t text 12\nn national 3\n", ["abc 山", "海"]),
        ("ibm-037", "t text 6\n", ["Hello"]),
    ]
    for page, text, values in cases:
        layout_file = tmp_path / "p.layout"
        layout_file.write_text(text)
        _, expected, _ = run_quor("encode", "-q", "--host", page, "--layout", layout_file, "--force",
                                  stdin=(",".join(values) + "\n").encode())
        assert convertquor.write([values], None, layout=layout_file, host=page) == expected, page
        assert list(convertquor.read(expected, layout=layout_file, host=page).iloc[0]) == values, page
    # Without shift codes a double-byte character in a text field is a change, refused by default.
    with pytest.raises(convertquor.Error, match="double-byte"):
        convertquor.write([["ｱ山", "山"]], None, layout=convertquor.Layout.from_text("t text 4\nn national 1\n"),
                          host="ibm-930", no_shift=True)
    with pytest.raises(ValueError, match="host ibm-999: not a host code page \\(fujitsu, ibm-930, "):
        convertquor.read(b"", layout=convertquor.Layout.from_text("t text 4\n"), host="ibm-999")


def _copybook(*lines):
    return "".join(" " * 7 + line + "\n" for line in lines)


FLOATS = _copybook("01  R.", "    05  SINGLE  COMP-1.", "    05  DOUBLE  COMP-2.")
# (copybook, a COPY member, the CSV, quor's options and the package's for encoding, then for decoding;
# the encoding options other than the defaults, whose bytes differ from the defaults' or are refused by them)
LAYOUT_CHOICES = [
    (FLOATS, None, "1.5,-0.25\n0,1024.125\n", ["--float", "ieee"], {"float": "ieee"}, [], {}),
    (FLOATS, None, "1.5,-0.25\n0,1024.125\n", ["--float", "hex"], {"float": "hex"}, [], {"float": "hex"}),
    (_copybook("01  R.", "    05  N  PIC S9(3).", "    05  M  PIC S9(3)V9."), None, "123,-4.5\n0,99.9\n",
     ["--positive-zone", "F"], {"positive_zone": "F"}, [], {}),
    (_copybook("01  R.", "    05  N  PIC S9(4) COMP.", "    05  U  PIC 9(2) BINARY."), None, "32767,65535\n-32768,0\n",
     ["--binary-range", "full"], {"binary_range": "full"}, [], {}),
    (_copybook("01  R.", "    05  ID  PIC 9(5).", "    05  N  PIC S9(3)V9."), None, "42,1.5\n0,-2.0\n",
     [], {}, ["--keep-zeros"], {"keep_zeros": True}),
    (_copybook("01  R.", "    05  ID  PIC 9(5).", "    COPY ADDR."), _copybook("    05  CITY  PIC X(6)."),
     "42,KOBE\n7,NARA\n", ["--copy-path", "{copy}"], {"copy_path": ["{copy}"]}, [], {"copy_path": "{copy}:/nowhere"}),
]


@pytest.mark.parametrize("copybook, member, text, encode_args, encode_kw, decode_args, decode_kw", LAYOUT_CHOICES)
def test_layout_choices_give_quor_bytes_and_values(tmp_path, copybook, member, text, encode_args, encode_kw,
                                                   decode_args, decode_kw):
    (tmp_path / "r.cpy").write_text(copybook)
    copy = tmp_path / "members"
    if member is not None:
        copy.mkdir()
        (copy / "ADDR.cpy").write_text(member)
    (tmp_path / "r.csv").write_text(text)
    def placed(options):
        if isinstance(options, dict):
            return {k: [placed(v) for v in value] if isinstance(value, list) else placed(value)
                    for k, value in options.items()}
        return options.replace("{copy}", str(copy)) if isinstance(options, str) else options
    encode_args, decode_args = [placed(a) for a in encode_args], [placed(a) for a in decode_args]
    encode_kw, decode_kw = placed(encode_kw), placed(decode_kw)
    run_quor("encode", "-q", "--copybook", tmp_path / "r.cpy", *encode_args, "-o", tmp_path / "r.dat", tmp_path / "r.csv")
    expected = (tmp_path / "r.dat").read_bytes()
    rows = csv_rows(text.encode())
    assert convertquor.write(rows, None, copybook=tmp_path / "r.cpy", **encode_kw) == expected
    # The choice is the one that counts: without it the bytes differ, or the values are refused.
    if encode_kw and "copy_path" not in encode_kw and encode_kw != decode_kw:
        status, plain, _ = run_quor("encode", "-q", "--copybook", tmp_path / "r.cpy", tmp_path / "r.csv", check=False)
        assert status != 0 or plain != expected
    _, out, _ = run_quor("decode", "-q", "--copybook", tmp_path / "r.cpy", *encode_args, *decode_args, tmp_path / "r.dat")
    frame = convertquor.read(expected, copybook=tmp_path / "r.cpy", **{**encode_kw, **decode_kw})
    assert [[text_of(v) for v in row] for row in frame.itertuples(index=False)] == csv_rows(out)
    if decode_kw.get("keep_zeros"):
        assert frame["ID"].tolist() == ["00042", "00000"]
        assert convertquor.read(expected, copybook=tmp_path / "r.cpy")["ID"].tolist() == [42, 0]
    # A Layout read with the choices serves as the path given with them.
    layout = convertquor.Layout.from_copybook(tmp_path / "r.cpy", **encode_kw)
    assert convertquor.write(rows, None, layout=layout) == expected


def test_layout_choices_are_checked_where_they_are_given():
    for options in ({"float": "decimal"}, {"binary_range": "wide"}, {"positive_zone": "D"}):
        with pytest.raises(ValueError, match=next(iter(options))):
            convertquor.read(b"", copybook=EXAMPLES / "order.cpy", **options)
    with pytest.raises(TypeError, match="keep_zeros"):
        convertquor.write([], None, copybook=EXAMPLES / "order.cpy", keep_zeros=True)
    with pytest.raises(TypeError, match="copy_path"):
        convertquor.read(b"", layout=EXAMPLES / "orders.layout", copy_path="copy")
