"""The manual page and the bash completion name every option `quor <command> --help` lists."""

import gzip
import re
import subprocess

import pytest

from conftest import COMPLETION, MAN_PAGE, run_quor


def commands():
    _, out, _ = run_quor("--help")
    listed = out.decode().split("Subcommands:\n", 1)[1].split("\n\n", 1)[0]
    return [line.split()[0] for line in listed.splitlines() if line.strip()]


def options_of(command):
    """Every option name the help lists, read here on its own from the option lines."""
    _, out, _ = run_quor(command, "--help")
    lines = out.decode().split("Options:\n", 1)[1].split("\n\n", 1)[0].splitlines()
    return {name for line in lines if re.match(r"  -", line)
            for name in re.match(r"\s*(\S+)", line).group(1).split(",")}


def man_text():
    """The page as troff source, its escaped hyphens plain."""
    return gzip.decompress(MAN_PAGE.read_bytes()).decode().replace("\\-", "-")


def test_the_manual_page_names_every_option_of_every_command():
    text = man_text()
    found = commands()
    assert set(found) >= {"encode", "decode", "dump", "layout", "field", "version"}
    for command in found:
        section = text.split(f".SS quor {command}\n", 1)[1].split(".SS ", 1)[0].split(".SH ", 1)[0]
        for option in options_of(command) - {"-h", "--help"}:
            assert re.search(rf"\\fB{re.escape(option)}\\fR", section), f"quor {command} {option}"
    assert f"ConvertQuor {run_quor('version')[1].decode().strip()}" in text


@pytest.mark.skipif(subprocess.run(["groff", "--version"], capture_output=True).returncode != 0,
                    reason="groff is not installed")
def test_the_manual_page_is_valid_troff():
    done = subprocess.run(["groff", "-k", "-man", "-Tutf8", "-ww", "-z"], input=gzip.decompress(MAN_PAGE.read_bytes()),
                          capture_output=True)
    assert done.returncode == 0 and not done.stderr, done.stderr.decode()


def completions(*words):
    """What the completion offers with `words` typed, the last one being completed."""
    script = f"""source {COMPLETION}
COMP_WORDS=({" ".join(f"'{w}'" for w in words)})
COMP_CWORD={len(words) - 1}
_quor
printf '%s\\n' "${{COMPREPLY[@]}}"
"""
    done = subprocess.run(["bash", "--norc", "-c", script], capture_output=True, text=True, check=True)
    return set(done.stdout.split())


def test_the_completion_offers_commands_options_and_values(tmp_path):
    assert completions("quor", "") == set(commands()) | {"--help", "--version"}
    for command in commands():
        assert completions("quor", command, "-") == options_of(command), command
    assert completions("quor", "decode", "--line-end", "") == {"lf", "crlf"}
    assert completions("quor", "encode", "--encoding", "cp") == {"cp932"}
    kinds = re.search(r"\n  kind TEXT:\{([^}]*)\}", run_quor("field", "--help")[1].decode()).group(1).split(",")
    assert {"zoned", "packed", "ebcdic", "jef", "zoned-list"} <= set(kinds)
    assert completions("quor", "field", "") == set(kinds)
    (tmp_path / "orders.layout").write_text("")
    assert completions("quor", "encode", "--layout", f"{tmp_path}/ord") == {f"{tmp_path}/orders.layout"}
