"""Host record files read into pandas and written from Python values, through the ConvertQuor library.

Every record is decoded by the library's RecordDecoder and built by its RecordBuilder (convertquor._core);
this module finds the layout and the options, cuts the input into blocks of whole records, and says what
went wrong in the quor command's words.
"""

import decimal
import itertools
import os

import numpy as np
import pandas as pd

from . import _core
from ._errors import Error, LenientWarning

# The first problems a run lists in its warnings, as the quor command lists them.
_LISTED = 20
# Bytes of records a block holds: large enough that a block's call costs nothing, small enough that a
# file larger than memory streams.
_BLOCK_BYTES = 1 << 22
# Records of Python values built at a time.
_WRITE_BLOCK = 16384

# The options of reading and writing, by the quor command's names. A record option of the library is
# one line here, beside its member in the extension's RecordOptions: the member it sets, the member's
# value for the option's, and the ways it serves.
_RECORD_OPTIONS = {
    "unsigned": ("convert_sign", lambda given: not given, ("read", "write")),
    "keep_padding": ("keep_padding", bool, ("read",)),
    "host": ("host", str, ("read", "write")),
    "no_shift": ("shift_codes", lambda given: not given, ("read", "write")),
    "keep_zeros": ("keep_zeros", bool, ("read",)),
    "odo_padded": ("pad_varying", bool, ("read", "write")),
}
# The choices a copybook or layout file leaves to the site, one line each as the record options: the
# member of the extension's LayoutOptions it sets, and its value for the option's.
_LAYOUT_OPTIONS = {
    "float": ("float_format", str),
    "binary_range": ("binary_range", str),
    "positive_zone": ("positive_zone", str),
}
# The options of record framing, one line each as the record options: the member of the extension's
# Framing it sets, the member's value for the option's, and the ways it serves.
_FRAMING_OPTIONS = {
    "recfm": ("format", str, ("read", "write")),
    "block_size": ("block_size", int, ("read", "write")),
    "rdw_little_endian": ("little_endian_rdw", bool, ("read", "write")),
    "rdw_data_length": ("rdw_counts_data", bool, ("read", "write")),
}
# The options of a run as a whole, and the ways they serve.
_RUN_OPTIONS = {
    "gaiji": ("read", "write"),
    "lenient": ("read", "write"),
    "skip_bad": ("read", "write"),
    "max_errors": ("read", "write"),
    "lengths": ("read", "write"),
    "formats": ("read", "write"),
    "type_field": ("read",),
    "types": ("read",),
    "copy_path": ("read", "write"),
    **{name: ("read", "write") for name in _LAYOUT_OPTIONS},
}


class Layout:
    """A record layout: a layout file, a COBOL copybook, or the component's lengths and formats lists.

    The library reads it; a malformed one raises convertquor.Error naming the line. A Layout keeps the
    text it was read from, so it pickles small and a Dask worker reads it again.
    """

    def __init__(self, kind, text, name, options=None, copy_path=()):
        if kind not in ("layout", "copybook", "lists"):
            raise ValueError("a layout is a layout file, a copybook or lists")
        self.kind = kind
        self.text = text
        self.name = name
        self.options = dict(options or {})  # the site's choices by the quor command's names (float=, ...)
        self.copy_path = list(copy_path)  # the folders COPY members are looked for in, in turn
        self._core = None
        self._records = None
        self.records  # read now: a malformed layout fails where it is named

    @classmethod
    def from_file(cls, path, **options):
        """The layout file at `path` ("name length format" or "name kind size" lines); options float,
        binary_range, positive_zone as for read()."""
        with open(path, "rb") as f:
            return cls("layout", f.read(), os.fspath(path), _layout_choices(options))

    @classmethod
    def from_copybook(cls, path, *, copy_path=None, **options):
        """The record the COBOL copybook at `path` describes; COPY members are looked for in the
        copybook's own folder, then in each of copy_path's (a list, or a ':'-separated string); options
        float, binary_range, positive_zone as for read()."""
        with open(path, "rb") as f:
            text = f.read()
        folder = os.path.dirname(os.fspath(path)) or "."
        return cls("copybook", text, os.fspath(path), _layout_choices(options), [folder] + _folders_of(copy_path))

    @classmethod
    def from_text(cls, text, *, copybook=False, name="<text>", copy_path=None, **options):
        """A layout file's text, or a copybook's with copybook=True (str, or UTF-8 bytes); COPY members
        are looked for in copy_path's folders."""
        if isinstance(text, str):
            text = text.encode("utf-8")
        return cls("copybook" if copybook else "layout", bytes(text), name, _layout_choices(options),
                   _folders_of(copy_path))

    def with_options(self, copy_path=None, **options):
        """This layout read again with other site choices, and COPY members looked for in copy_path's
        folders as well."""
        return Layout(self.kind, self.text, self.name, {**self.options, **_layout_choices(options)},
                      self.copy_path + _folders_of(copy_path))

    def _layout_options(self):
        made = _core.LayoutOptions()
        for name, value in self.options.items():
            member, convert = _LAYOUT_OPTIONS[name]
            setattr(made, member, convert(value))
        return made

    @classmethod
    def from_lists(cls, lengths, formats):
        """The component's lists: lengths "8,20,10" and format codes "1,1,2"."""
        return cls("lists", (str(lengths), str(formats)), "--lengths/--formats")

    @property
    def core(self):
        if self._core is None:
            if len(self.records) > 1:
                raise Error(f"{self.name} describes several records ({', '.join(n for n, _ in self.records)}): "
                            "type_field= and types= say which record each is")
            if self.kind == "layout":
                self._core = _core.Layout.parse_layout_file(self.text, self.name, self._layout_options())
            elif self.kind == "copybook":
                self._core = _core.Layout.parse_copybook(self.text, self.name, self._layout_options(),
                                                         self.copy_path)
            else:
                self._core = _core.Layout.from_lists(*self.text)
        return self._core

    @property
    def records(self):
        """The records it describes, (name, _core.Layout) each: one, named "" in a layout file
        without "record NAME" lines, or the several 01 records of a copybook or records of a layout file."""
        if self._records is None:
            options = self._layout_options()
            if self.kind == "layout":
                self._records = [(r.name, r.layout)
                                 for r in _core.layout_file_records(self.text, self.name, options)]
            elif self.kind == "copybook":
                names = _core.copybook_record_names(self.text, self.name, options, self.copy_path)
                if len(names) == 1:
                    self._records = [(names[0], _core.Layout.parse_copybook(self.text, self.name, options,
                                                                            self.copy_path))]
                else:
                    self._records = [(n, _core.copybook_record(self.text, self.name, n, options,
                                                               self.copy_path).layout) for n in names]
            else:
                self._records = [("", _core.Layout.from_lists(*self.text))]
        return self._records

    def record(self, name):
        """The record `name` (any letter case): a record of the file or copybook, or, in a copybook, an
        item of a REDEFINES standing in place of the item it redefines. (name as written, _core.Layout)."""
        if self.kind == "copybook":
            named = _core.copybook_record(self.text, self.name, name, self._layout_options(), self.copy_path)
            return named.name, named.layout
        for found, layout in self.records:
            if found and (found == name or found.lower() == name.lower()):
                return found, layout
        if self.kind == "lists":
            raise Error("lengths and formats describe one record, without a name: types needs a layout file of "
                        "several records or a copybook")
        if len(self.records) == 1:
            raise Error(f"{self.name} describes one record, without a name: a layout file of several records "
                        "names each with a line 'record NAME'")
        raise Error(f"{self.name} has no record {name} (its records: {', '.join(n for n, _ in self.records)})")

    @property
    def record_length(self):
        """The bytes of a record."""
        return self.core.record_length

    @property
    def columns(self):
        """The names of the columns: the fields that take a value, "field 3" for one without a name."""
        return [name for name, _, _, _ in self.core.columns(_core.RecordOptions())]

    def __getstate__(self):
        return {"kind": self.kind, "text": self.text, "name": self.name, "options": self.options,
                "copy_path": self.copy_path}

    def __setstate__(self, state):
        self.__dict__.update(state)
        self._core = None
        self._records = None

    def __repr__(self):
        return f"convertquor.Layout({self.kind} {self.name!r}, {self.record_length} bytes)"


class _Gaiji:
    """A gaiji mapping file's content, read where the run is set up and sent along with it."""

    def __init__(self, content=None, what=None):
        self.content = content
        self.what = what
        self._mapping = None

    @property
    def mapping(self):
        if self._mapping is None:
            if self.content is None:
                self._mapping = _core.GaijiMapping()
            else:
                self._mapping = _core.GaijiMapping.from_named_file(self.content, self.what)
        return self._mapping

    def __getstate__(self):
        return {"content": self.content, "what": self.what}

    def __setstate__(self, state):
        self.__dict__.update(state)
        self._mapping = None


def _gaiji_of(path):
    """The mapping file `path` names (gaiji=), else the one QUOR_GAIJI names, else none, as the quor command."""
    origin = "gaiji"
    if path is None:
        path = os.environ.get("QUOR_GAIJI") or None
        origin = "QUOR_GAIJI"
    if path is None:
        return _Gaiji()
    what = f"the gaiji mapping file {os.fspath(path)} ({origin})"
    with open(path, "rb") as f:
        gaiji = _Gaiji(f.read(), what)
    gaiji.mapping  # a file that cannot be a mapping fails here, where it is named
    return gaiji


class _Settings:
    """A run's layout and options, checked once; small and picklable, so Dask sends it to its workers."""

    def __init__(self, way, copybook, layout, options):
        unknown = [name for name in options
                   if way not in _RECORD_OPTIONS.get(name, (None, None, ()))[2]
                   and way not in _FRAMING_OPTIONS.get(name, (None, None, ()))[2] and way not in _RUN_OPTIONS.get(name, ())]
        if unknown:
            raise TypeError(f"{way}() got an option it does not take: {', '.join(sorted(unknown))}")
        self.layout = _layout_of(copybook, layout, options.get("lengths"), options.get("formats"),
                                 {name: options[name] for name in _LAYOUT_OPTIONS if name in options},
                                 options.get("copy_path"))
        self.record_options = {member: convert(options[name])
                               for name, (member, convert, _) in _RECORD_OPTIONS.items() if name in options}
        self.options()  # a value the library does not take (an unknown host page) fails here
        self.framing_options = {member: convert(options[name])
                                for name, (member, convert, _) in _FRAMING_OPTIONS.items() if name in options}
        framing = self.framing()
        if framing.format == "F" and (framing.little_endian_rdw or framing.rdw_counts_data):
            raise TypeError("rdw_little_endian and rdw_data_length describe the RDW of V and VB records; "
                            f"recfm {options.get('recfm', 'F')} has none")
        self.type_field = options.get("type_field")
        self.choices = _choices_of(options.get("types"), self.type_field)
        self.record_names = [name for name, _ in self._layouts()]
        if len(self.record_names) > 1 and not self.choices:
            self.layout.core  # several records, and nothing to tell them apart: refused in its words
        # Read through the framing's reader: V and VB records, and records of several layouts.
        # Records of varying tables (OCCURS DEPENDING ON) are as long as their counters make them.
        self.varies = any(core.varies for _, core in self._layouts())
        self.framed = framing.format != "F" or len(self.record_names) > 1 or bool(self.choices) or self.varies
        self.gaiji = _gaiji_of(options.get("gaiji"))
        self.lenient = bool(options.get("lenient", False))
        self.skip_bad = bool(options.get("skip_bad", False))
        self.max_errors = options.get("max_errors")
        if self.max_errors is not None and not self.skip_bad:
            raise TypeError("max_errors counts the bad records skip_bad=True skips")

    def framing(self):
        made = _core.Framing()
        for member, value in self.framing_options.items():
            setattr(made, member, value)
        return made

    def _layouts(self):
        """(name, _core.Layout) each record layout of the run, as the types choose them."""
        if not self.choices:
            return self.layout.records
        chosen = []
        for _, record in self.choices:
            name, core = self.layout.record(record)
            if all(name != n for n, _ in chosen):
                chosen.append((name, core))
        return chosen

    def file_reader(self):
        """The extension's reader of framed records of the run's layouts."""
        layouts = self._layouts()
        names = [n for n, _ in layouts]
        choices = [(value, names.index(self.layout.record(record)[0])) for value, record in self.choices]
        return _core.FileReader([_core.NamedLayout(n, c) for n, c in layouts], self.type_field or "", choices,
                                self.framing(), self.options(), self.gaiji.mapping, self.lenient, decimal.Decimal)

    def layout_columns(self):
        """(name, its columns) each record layout."""
        return [(name, core.columns(self.options())) for name, core in self._layouts()]

    def options(self):
        made = _core.RecordOptions()
        for member, value in self.record_options.items():
            setattr(made, member, value)
        return made

    def columns(self):
        """(name, kind, digits, scale) a column."""
        return self.layout.core.columns(self.options())


def _choices_of(types, type_field):
    """The types as (value, record name) pairs: types a dict {value: record} or "VALUE=RECORD" texts;
    "*" for any value no other names."""
    if types is None:
        if type_field is not None:
            raise TypeError(f"type_field {type_field} needs types={{VALUE: RECORD, ...}} for each record layout")
        return []
    pairs = list(types.items()) if isinstance(types, dict) else []
    if not isinstance(types, dict):
        if isinstance(types, str):
            types = [types]
        for text in types:
            value, equals, record = str(text).rpartition("=")
            if not equals or not value or not record:
                raise TypeError(f"types {text!r}: expected VALUE=RECORD (or '*=RECORD' for any other value)")
            pairs.append((value, record))
    for value, record in pairs:
        if type_field is None and value != "*":
            raise TypeError(f"types {value}={record}: a value needs type_field=NAME, the field that holds it")
    if not pairs:
        raise TypeError("types names no record")
    return [(str(value), str(record)) for value, record in pairs]


def _layout_choices(options):
    unknown = sorted(set(options) - set(_LAYOUT_OPTIONS))
    if unknown:
        raise TypeError(f"a layout takes no option {', '.join(unknown)} (it takes {', '.join(_LAYOUT_OPTIONS)})")
    choices = dict(options)
    made = _core.LayoutOptions()
    for name, value in choices.items():
        setattr(made, _LAYOUT_OPTIONS[name][0], _LAYOUT_OPTIONS[name][1](value))  # a value not taken fails here
    return choices


def _folders_of(copy_path):
    """The folders of copy_path: a list of them, or a ':'-separated string, as --copy-path takes it."""
    if copy_path is None:
        return []
    if isinstance(copy_path, (str, bytes, os.PathLike)):
        return [folder for folder in os.fsdecode(copy_path).split(":") if folder]
    return [os.fsdecode(folder) for folder in copy_path]


def _layout_of(copybook, layout, lengths, formats, choices=None, copy_path=None):
    given = [name for name, value in (("copybook", copybook), ("layout", layout), ("lengths", lengths))
             if value is not None]
    if (lengths is None) != (formats is None):
        raise TypeError("lengths and formats are given together")
    if len(given) != 1:
        raise TypeError("give one of copybook=, layout= (a path or a convertquor.Layout), or lengths= and formats=")
    choices = choices or {}
    for made in (layout, copybook):
        if isinstance(made, Layout):
            return made.with_options(copy_path, **choices) if choices or copy_path is not None else made
    if layout is not None:
        if copy_path is not None:
            raise TypeError("copy_path names the folders of a copybook's COPY members; a layout file has none")
        return Layout.from_file(layout, **choices)
    if copybook is not None:
        return Layout.from_copybook(copybook, copy_path=copy_path, **choices)
    if choices or copy_path is not None:
        raise TypeError("float, binary_range, positive_zone and copy_path describe a copybook or layout file")
    return Layout.from_lists(lengths, formats)


def _plain_number(value):
    """A float or Decimal as the digits of its value: 1e+16 is "10000000000000000", Decimal("1E+2") "100"."""
    if isinstance(value, float):
        if value != value or value in (float("inf"), float("-inf")):
            return repr(value)
        value = decimal.Decimal(repr(value))
    if not value.is_finite():
        return str(value)
    return format(value, "f")


class _Problems:
    """A run's bad records and what it let through: raises, or with skip_bad counts and lists, in the
    quor command's words."""

    def __init__(self, settings, where):
        self.settings = settings
        self.where = where  # the place of a problem in messages, from its parts
        self.bad = 0
        self.skipped = []
        self.let_through = 0
        self.listed = []

    def refuse(self, parts, source=None):
        """A bad record: raises, unless skip_bad (and max_errors allows one more)."""
        message = self.where(parts) + ": " + parts.pop("detail")
        skipped = parts.pop("skipped", None)
        self.bad += 1
        max_errors = self.settings.max_errors
        if not self.settings.skip_bad or (max_errors is not None and self.bad > max_errors):
            if self.settings.skip_bad:
                message += f" (the bad records exceed max_errors={max_errors})"
            raise Error(message, source=source, **parts)
        if len(self.skipped) < _LISTED:
            self.skipped.append(message + (f" {skipped}" if skipped and skipped != "(record skipped)" else ""))

    def allowed(self, listed, count):
        """Lenient: `count` values let through, the first of them `listed`."""
        self.let_through += count
        for parts in listed:
            if len(self.listed) < _LISTED:
                self.listed.append(self.where(parts) + ": " + parts["detail"])

    def listing(self):
        return _LISTED - len(self.listed)

    def warn(self, let_through_words):
        import warnings
        if self.let_through:
            more = f"\n  and {self.let_through - len(self.listed)} more" if self.let_through > len(self.listed) else ""
            warnings.warn(LenientWarning(f"{_counted(self.let_through, let_through_words[0])} {let_through_words[1]}:\n  "
                                         + "\n  ".join(self.listed) + more), stacklevel=3)
        if self.bad:
            more = f"\n  and {self.bad - len(self.skipped)} more" if self.bad > len(self.skipped) else ""
            warnings.warn(LenientWarning(f"{_counted(self.bad, 'bad record')} skipped (skip_bad):\n  "
                                         + "\n  ".join(self.skipped) + more), stacklevel=3)


def _counted(count, noun):
    return f"{count} {noun}{'' if count == 1 else 's'}"


# Reading.

class _Source:
    """The bytes of a path, a bytes-like object or a binary file object, in blocks of whole records."""

    def __init__(self, source):
        self.name = None
        self.view = None
        self.file = None
        self.owned = False
        if isinstance(source, (str, os.PathLike)):
            self.name = os.fspath(source)
            self.file = open(source, "rb")
            self.owned = True
        elif isinstance(source, (bytes, bytearray, memoryview)):
            self.view = memoryview(source).cast("B")
        elif hasattr(source, "readinto") or hasattr(source, "read"):
            self.file = source
            self.name = getattr(source, "name", None)
            if not isinstance(self.name, str):
                self.name = None
        else:
            raise TypeError("a source is a path, bytes or a binary file object")

    def close(self):
        if self.owned:
            self.file.close()

    def blocks(self, length, first=0, count=None):
        """(whole records, their first record's number) from record `first` on, at most `count`
        records; then (leftover bytes, the number of the record they would start) when the input ends
        inside a record."""
        per_block = max(1, _BLOCK_BYTES // length)
        if self.view is not None:
            view = self.view[first * length:]
            if count is not None:
                view = view[:count * length]
            whole = len(view) // length
            for start in range(0, whole, per_block):
                end = min(whole, start + per_block)
                yield view[start * length:end * length], first + start
            if len(view) % length:
                yield view[whole * length:], first + whole
            return
        if first:
            self.file.seek(first * length)
        record = first
        buffer = bytearray(per_block * length)
        while count is None or record < first + count:
            want = per_block if count is None else min(per_block, first + count - record)
            got = self._fill(buffer, want * length)
            whole = got // length
            if whole:
                yield memoryview(buffer)[:whole * length], record
                record += whole
            if got < want * length:
                if got % length:
                    yield memoryview(buffer)[whole * length:got], record
                return

    def raw(self, start=0, end=None):
        """The bytes from byte `start` to `end` (the end of the input for None) in blocks: (bytes, last)."""
        if self.view is not None:
            yield self.view[start:end], True
            return
        if start:
            self.file.seek(start)
        at = start
        while True:
            want = _BLOCK_BYTES if end is None else min(_BLOCK_BYTES, end - at)
            buffer = bytearray(want)
            got = self._fill(buffer, want) if want else 0
            at += got
            last = got < want or (end is not None and at >= end)
            yield memoryview(buffer)[:got], last
            if last:
                return

    def _fill(self, buffer, size):
        """Reads up to `size` bytes into the buffer; fewer only at the end of the input."""
        view = memoryview(buffer)[:size]
        held = 0
        while held < size:
            if hasattr(self.file, "readinto"):
                got = self.file.readinto(view[held:])
            else:
                data = self.file.read(size - held)
                got = len(data) if data is not None else None
                if got:
                    view[held:held + got] = data
            if got is None:
                continue  # a non-blocking file without bytes at hand
            if got == 0:
                break
            held += got
        return held


def _read_place(source_name):
    def where(parts):
        if parts["record"] is None:  # a frame, where no record number can be given
            return f"{source_name} (byte offset {parts['offset']})" if source_name else f"byte offset {parts['offset']}"
        place = f"record {parts['record']} (byte offset {parts['offset']})"
        return f"{source_name}: {place}" if source_name else place
    return where


def _reader(settings):
    return _core.RecordReader(settings.layout.core, settings.options(), settings.gaiji.mapping, settings.lenient,
                              decimal.Decimal)


def _read_records(settings, source, problems, rows, first=0, count=None):
    """The blocks of `source` read: (values, kept, first record) each, the bad records and the
    leftover bytes given to `problems`."""
    length = settings.layout.record_length
    if length == 0:
        raise Error("the layout has no bytes")
    reader = _reader(settings)
    for buffer, record in source.blocks(length, first, count):
        if len(buffer) % length:
            problems.refuse({"record": record + 1, "offset": record * length, "column": None, "field": None,
                             "value": None, "number": None,
                             "reason": f"{_counted(len(buffer), 'leftover byte')} after the last whole record "
                                       f"(records are {length} bytes)",
                             "detail": f"{_counted(len(buffer), 'leftover byte')} after the last whole record "
                                       f"(records are {length} bytes)"}, source.name)
            return
        values, kept, bad, listed, faults = reader.read(buffer, record, record * length, not settings.skip_bad, rows,
                                                        problems.listing())
        for parts in bad:
            problems.refuse(parts, source.name)
        problems.allowed(listed, faults)
        yield values, kept, record, len(buffer) // length


def _read_framed(settings, source, problems, rows, start=0, end=None, first_record=0):
    """The blocks of a framed `source` (V, VB, or records of several layouts) read from byte `start`
    (a record's or block's first byte, `first_record` records before it) to `end`: one (values, record
    numbers) a layout each; the bad records and frames given to `problems`."""
    reader = settings.file_reader()
    stop = not settings.skip_bad
    pending = b""
    offset = start
    for chunk, last in source.raw(start, end):
        data = memoryview(bytes(pending) + bytes(chunk)) if pending else chunk
        at = 0
        while True:
            consumed, parts, bad, listed, faults, more = reader.read(data[at:], offset, first_record, last, stop, rows,
                                                                     problems.listing())
            at += consumed
            offset += consumed
            for p in bad:
                problems.refuse(p, source.name)
            problems.allowed(listed, faults)
            yield parts
            if not more:
                return
            if consumed == 0:
                break
        pending = bytes(data[at:])


def _column_of(pieces, kind, digits, nullable):
    """One column from its pieces, as the extension made them."""
    if kind == "integer" and digits <= 18:
        values = np.concatenate([p[0] for p in pieces]) if pieces else np.empty(0, dtype=np.int64)
        masks = [p[1] if p[1] is not None else np.zeros(len(p[0]), dtype=bool) for p in pieces]
        if nullable or any(p[1] is not None for p in pieces):
            mask = np.concatenate(masks) if masks else np.empty(0, dtype=bool)
            return pd.arrays.IntegerArray(values, mask)
        return values
    return np.concatenate(pieces) if pieces else np.empty(0, dtype=object)


def _frame(settings, pieces, index_pieces, columns=None):
    if columns is None:
        columns = settings.columns()
    data = {}
    for c, (name, kind, digits, _) in enumerate(columns):
        # Integer columns are nullable where a value may be missing: read leniently, or in an element
        # past its table's count (the same dtype in every Dask partition, whatever its records hold).
        data[name] = _column_of([piece[c] for piece in pieces], kind, digits, settings.lenient or settings.varies)
    index = np.concatenate(index_pieces) if index_pieces else np.empty(0, dtype=np.int64)
    frame = pd.DataFrame(data, index=pd.Index(index, dtype=np.int64), columns=[c[0] for c in columns], copy=False)
    if len(index) and index[-1] - index[0] + 1 == len(index):
        frame.index = pd.RangeIndex(int(index[0]), int(index[-1]) + 1)
    elif not len(index):
        frame.index = pd.RangeIndex(0)
    return frame


def _read_frames(settings, source, start=0, end=None, first_record=0):
    """The DataFrames of a framed `source`'s records, one a record layout by its name, from byte `start`
    to `end`; `first_record` records stand before `start`."""
    problems = _Problems(settings, _read_place(source.name))
    layouts = settings.layout_columns()
    pieces = [([], []) for _ in layouts]
    for parts in _read_framed(settings, source, problems, False, start, end, first_record):
        for (values, numbers), (values_pieces, index_pieces) in zip(parts, pieces):
            values_pieces.append(values)
            index_pieces.append(numbers)
    problems.warn(("field", "of invalid data read as U+FFFD or missing values (lenient)"))
    return {name: _frame(settings, values_pieces, index_pieces, columns)
            for (name, columns), (values_pieces, index_pieces) in zip(layouts, pieces)}


def _read_frame(settings, source, first=0, count=None):
    """The DataFrame of `source`'s records from record `first` on (at most `count`)."""
    problems = _Problems(settings, _read_place(source.name))
    pieces = []
    index_pieces = []
    for values, kept, record, whole in _read_records(settings, source, problems, False, first, count):
        pieces.append(values)
        index_pieces.append(kept if kept is not None else np.arange(record, record + whole, dtype=np.int64))
    problems.warn(("field", "of invalid data read as U+FFFD or missing values (lenient)"))
    return _frame(settings, pieces, index_pieces)


def read(source, *, copybook=None, layout=None, **options):
    """The records of a host record file as a pandas DataFrame, one row a record, one column a field.

    source    a path, bytes (bytes, bytearray, memoryview) or a binary file object
    copybook  a COBOL copybook's path; or layout=: a layout file's path, or a convertquor.Layout; or
              lengths="8,20,10", formats="1,1,2", the component's lists
    options   as the quor command names them: gaiji (a mapping file; default the one QUOR_GAIJI
              names), host (the host code page: "fujitsu", "ibm-930", ...), no_shift, unsigned,
              keep_padding, keep_zeros, odo_padded, lenient, skip_bad, max_errors; the layout's float
              ("hex", "ieee"), binary_range ("digits", "full"), positive_zone ("C", "F") and copy_path
              (folders of COPY members, a list or a ':'-separated string); the framing: recfm ("F", "FB", "V", "VB"),
              rdw_little_endian, rdw_data_length; several record types: type_field (the field that
              tells them) and types ({"H": "ORDER-HEAD", "L": "ORDER-LINE"}, or "VALUE=RECORD" texts)

    Text fields are str; numbers without places int64 (int, in an object column, beyond 18 digits);
    numbers with places decimal.Decimal, with every place the field has. The index is the record's
    number in the file, counted from 0.

    Invalid data (a zoned digit above 9, a JEF code of no character, ...) raises convertquor.Error with
    the record, byte offset, field, bytes and reason; lenient=True reads it as U+FFFD in text and as a
    missing value (pandas.NA, None) in numbers, which makes integer columns nullable (Int64), and warns
    with a LenientWarning; skip_bad=True leaves bad records out and warns.

    With types, the result is a dict of DataFrames, one a record layout by its name, each indexed by
    its records' numbers in the file. A V or VB record shorter than its layout has its last fields
    absent: "" in text columns, a missing value in number columns.
    """
    settings = _Settings("read", copybook, layout, options)
    source = _Source(source)
    try:
        if settings.framed:
            frames = _read_frames(settings, source)
            return frames if settings.choices else next(iter(frames.values()))
        return _read_frame(settings, source)
    finally:
        source.close()


def records(source, *, copybook=None, layout=None, **options):
    """The records of a host record file one at a time, each a dict of its values by column name, as
    read() types them (None for a missing value). Reads a block of records at a time, so a file larger
    than memory streams. Takes the arguments of read(); with types it yields (record layout name, dict)
    pairs in the file's order."""
    settings = _Settings("read", copybook, layout, options)
    return _record_dicts(settings, _Source(source))


def _record_dicts(settings, source):
    problems = _Problems(settings, _read_place(source.name))
    try:
        if settings.framed:
            names = settings.record_names
            for parts in _read_framed(settings, source, problems, True):
                if not settings.choices:
                    yield from parts[0][0]
                    continue
                # Several layouts: in the file's order, each with its layout's name.
                found = [(number, name, row) for name, (rows, numbers) in zip(names, parts)
                         for number, row in zip(numbers.tolist(), rows)]
                found.sort(key=lambda item: item[0])
                for _, name, row in found:
                    yield name, row
        else:
            for values, _, _, _ in _read_records(settings, source, problems, True):
                yield from values
    finally:
        source.close()
    problems.warn(("field", "of invalid data read as U+FFFD or missing values (lenient)"))


# Writing.

def _write_place(parts):
    return f"record {parts['record']}"


class _Target:
    """Where records go: a path (written to a new file beside it, which replaces it only when every
    record was written), a binary file object, or None (the bytes are returned)."""

    def __init__(self, target):
        self.path = None
        self.file = None
        self.parts = None
        if target is None:
            self.parts = []
        elif isinstance(target, (str, os.PathLike)):
            # Through a symbolic link, the file it leads to is replaced and the link stays.
            self.path = os.path.realpath(target)
            self._open_beside()
        elif hasattr(target, "write"):
            self.file = target
        else:
            raise TypeError("a target is a path, a binary file object, or None for the bytes")

    def _open_beside(self):
        folder, name = os.path.split(os.path.abspath(self.path))
        for attempt in itertools.count():
            self.temporary = os.path.join(folder, f".{name}.quor-{os.getpid()}-{attempt}")
            try:
                # The mode of a new file: 0666 less the umask, as any program's new file.
                fd = os.open(self.temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o666)
                break
            except FileExistsError:
                continue
        self.file = os.fdopen(fd, "wb")
        try:
            os.chmod(self.temporary, os.stat(self.path).st_mode & 0o7777)  # a file replaced keeps its mode
        except FileNotFoundError:
            pass

    def write(self, data):
        if self.parts is not None:
            self.parts.append(data)
        elif data:
            self.file.write(data)

    def commit(self):
        if self.path is not None:
            self.file.flush()
            os.fsync(self.file.fileno())
            self.file.close()
            os.replace(self.temporary, self.path)
        if self.parts is not None:
            return b"".join(self.parts)
        return None

    def abandon(self):
        if self.path is not None:
            self.file.close()
            os.unlink(self.temporary)


def _missing_markers():
    return (pd.NA, pd.NaT)


def _frame_columns(frame, names):
    """The columns of a DataFrame in the layout's order, matched by name."""
    given = list(frame.columns)
    if len(set(given)) != len(given):
        raise Error("the DataFrame names a column twice")
    for name in given:
        if name not in names:
            raise Error(f"the DataFrame's column {name!r} is no field of the layout")
    for name in names:
        if name not in given:
            raise Error(f"the DataFrame has no column {name!r}, a field of the layout")
    return [frame[name] for name in names]


def _column_values(series):
    """A column as the extension takes it: an int64 array, or a list of values."""
    values = series.array if isinstance(series, pd.Series) else series
    dtype = getattr(values, "dtype", None)
    if isinstance(dtype, np.dtype) and dtype.kind == "i":
        return np.ascontiguousarray(np.asarray(values), dtype=np.int64)
    return series.tolist()


def _write_blocks(data, writer, names, settings, problems):
    """(bytes, written, bad, listed, changed, first record) a block of `data`."""
    stop = not settings.skip_bad
    if isinstance(data, pd.DataFrame):
        columns = _frame_columns(data, names)
        for start in range(0, len(data), _WRITE_BLOCK):
            block = [_column_values(column.iloc[start:start + _WRITE_BLOCK]) for column in columns]
            count = min(_WRITE_BLOCK, len(data) - start)
            yield writer.write_columns(block, count, start, stop, problems.listing()) + (start,)
        return
    if isinstance(data, (str, bytes, dict)):
        raise TypeError("data is a DataFrame, or an iterable of records (dicts or sequences)")
    rows = iter(data)
    start = 0
    while True:
        block = list(itertools.islice(rows, _WRITE_BLOCK))
        if not block:
            return
        yield writer.write_rows(block, start, stop, problems.listing()) + (start,)
        start += len(block)


def write(data, target, *, copybook=None, layout=None, **options):
    """Writes host records built from `data`, byte for byte those `quor encode` writes for the same values.

    data      a DataFrame (its columns matched to the layout's by name), or an iterable of records, each
              a dict of values by column name or a sequence of values in the layout's order. A value is
              a str, an int, a float or a decimal.Decimal (numbers written as their plain digits); None,
              NaN and pandas.NA are the empty value
    target    a path (the records go to a new file beside it, which replaces it only when every record
              was written), a binary file object (written as the records come), or None: the bytes are
              returned
    copybook, layout, lengths, formats  the layout, as for read()
    options   gaiji, host, no_shift, unsigned, lenient, skip_bad, max_errors, odo_padded, float,
              binary_range, positive_zone, copy_path, as the quor command names them; the framing: recfm, rdw_little_endian, rdw_data_length, block_size (VB)

    A value the library would write other than it reads (cut, zeroed, blanked, written as another
    character) raises convertquor.Error naming the record, field, value and reason, as does a value a
    field cannot take; nothing is written to a path then. lenient=True writes such values as the
    component does, with a LenientWarning listing them; skip_bad=True leaves bad records out and warns.
    Returns the bytes for target None, else the number of records written.
    """
    settings = _Settings("write", copybook, layout, options)
    names = settings.layout.columns
    writer = _core.RecordWriter(settings.layout.core, settings.options(), settings.gaiji.mapping, settings.lenient,
                                _missing_markers(), decimal.Decimal, _plain_number)
    problems = _Problems(settings, _write_place)
    length = settings.layout.record_length
    framer = _core.FrameWriter(settings.framing()) if settings.framing().format != "F" else None
    out = _Target(target)
    written = 0
    try:
        for records_bytes, count, bad, listed, changed, ends, _ in _write_blocks(data, writer, names, settings,
                                                                                 problems):
            if framer is not None:
                records_bytes = (framer.frame_ends(records_bytes, ends) if settings.layout.core.varies
                                 else framer.frame(records_bytes, length))
            out.write(records_bytes)
            written += count
            for parts in bad:
                problems.refuse(parts)
            problems.allowed(listed, changed)
        if framer is not None:
            out.write(framer.finish())
        result = out.commit()
    except BaseException:
        out.abandon()
        raise
    problems.warn(("value", "written other than they read (lenient)"))
    return result if target is None else written
