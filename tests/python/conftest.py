"""What the package's tests share: the quor command beside the package, the shipped examples, and the
records of a run of quor, which the package's own reading and writing are held to."""

import csv
import io
import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"


# An installed prefix (QUOR_PREFIX, as scripts/test-python sets it) or the release build folder: where
# the quor tool, its manual page and its bash completion are.
PREFIX = os.environ.get("QUOR_PREFIX")
if PREFIX:
    QUOR = pathlib.Path(PREFIX) / "bin" / "quor"
    MAN_PAGE = pathlib.Path(PREFIX) / "share" / "man" / "man1" / "quor.1.gz"
    COMPLETION = pathlib.Path(PREFIX) / "share" / "bash-completion" / "completions" / "quor"
else:
    QUOR = ROOT / "build" / "release" / "cli" / "quor"
    MAN_PAGE = ROOT / "build" / "release" / "packaging" / "quor.1.gz"
    COMPLETION = ROOT / "build" / "release" / "packaging" / "quor.bash-completion"


def quor_binary():
    return str(QUOR)


def run_quor(*args, stdin=None, check=True):
    """quor with `args`: (exit status, stdout bytes, stderr text)."""
    done = subprocess.run([quor_binary(), *map(str, args)], input=stdin, capture_output=True)
    if check and done.returncode != 0:
        raise AssertionError(f"quor {' '.join(map(str, args))}: {done.stderr.decode()}")
    return done.returncode, done.stdout, done.stderr.decode()


def csv_rows(data, encoding="utf-8"):
    return list(csv.reader(io.StringIO(data.decode(encoding), newline="")))


# The shipped examples: how quor encodes each, and the layout arguments both ways.
ORDERS = {"csv": EXAMPLES / "orders.csv", "encode": [], "encoding": "utf-8",
          "layout": {"layout": EXAMPLES / "orders.layout", "gaiji": EXAMPLES / "site-gaiji.txt"},
          "args": ["--layout", EXAMPLES / "orders.layout", "--gaiji", EXAMPLES / "site-gaiji.txt"]}
EXCEL = {"csv": EXAMPLES / "orders-excel.csv", "encode": ["--encoding", "cp932", "--header"], "encoding": "cp932",
         "layout": {"copybook": EXAMPLES / "order.cpy"}, "args": ["--copybook", EXAMPLES / "order.cpy"]}


@pytest.fixture(params=[ORDERS, EXCEL], ids=["orders.layout", "order.cpy"])
def example(request, tmp_path):
    """A shipped example, encoded by quor into `records`."""
    case = dict(request.param)
    case["records"] = tmp_path / "records.dat"
    run_quor("encode", "-q", *case["args"], *case["encode"], "-o", case["records"], case["csv"])
    return case
