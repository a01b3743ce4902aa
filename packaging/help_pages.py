#!/usr/bin/env python3
"""The quor manual page and its bash completion, made from quor's own help texts.

Usage: packaging/help_pages.py QUOR MAN_PAGE COMPLETION

Runs `QUOR --help` and `QUOR <command> --help` for every command the first lists, and writes the manual
page (troff, man(7); gzip-compressed when MAN_PAGE ends in .gz) and a bash completion script. Every
option, its value and its words come from the help, so the page and the completion say what the tool
takes, whatever option is added; the words around them (what the tool is for, its environment, its
files) are written here.
"""

import gzip
import re
import subprocess
import sys

# Options whose value is a file: the completion offers file names for them.
FILE_OPTIONS = {"--layout", "--copybook", "--gaiji", "-o", "--output"}
# Values the completion offers that the help names only in words.
VALUE_WORDS = {
    "--encoding": ["utf-8", "cp932", "utf8", "ms932", "windows-31j", "shift_jis", "sjis"],
    "--host": ["fujitsu", "ibm-930", "ibm-939", "ibm-1390", "ibm-1399", "ibm-037", "ibm-1140", "ibm-1047", "ibm-500"],
}
NAME_COLUMN = 30  # where the help's descriptions start, when the option leaves room


def help_of(quor, *command):
    return subprocess.run([quor, *command, "--help"], check=True, capture_output=True, text=True).stdout


def parse(text):
    """A help text: its summary, usage, positionals and options (each names, value, words), commands
    (name, words) and the free text after them."""
    lines = text.splitlines()
    page = {"summary": lines[0], "usage": "", "positionals": [], "options": [], "commands": [], "footer": []}
    section = None
    entry = None
    for line in lines[1:]:
        if line.startswith("Usage: "):
            page["usage"] = line[len("Usage: "):].split(" ", 1)[1] if " " in line[7:] else ""
            continue
        if line in ("Positionals:", "Options:", "Subcommands:"):
            section = line[:-1].lower()
            entry = None
            continue
        if section in ("positionals", "options", "subcommands") and line.startswith("  ") and \
                not line.startswith(" " * NAME_COLUMN):
            usage, words = line, ""
            if len(line) > NAME_COLUMN and line[NAME_COLUMN - 2:NAME_COLUMN] == "  ":
                usage, words = line[:NAME_COLUMN], line[NAME_COLUMN:].strip()
            entry = {"usage": usage.strip(), "words": words}
            page[{"subcommands": "commands"}.get(section, section)].append(entry)
            continue
        if entry is not None and line.startswith(" " * NAME_COLUMN):
            entry["words"] = (entry["words"] + " " + line.strip()).strip()
            continue
        if section is not None and not line.strip() and entry is not None:
            section = "footer"
            entry = None
            continue
        if section == "footer" or (section is not None and entry is None and line.strip()):
            section = "footer"
            page["footer"].append(line)
    while page["footer"] and not page["footer"][0].strip():
        page["footer"].pop(0)
    for entry in page["options"]:
        entry.update(option_usage(entry["usage"]))
    for entry in page["positionals"]:
        name, _, rest = entry["usage"].partition(" ")
        entry["names"] = [name]
        entry["choices"] = choices_in(rest)
    return page


def choices_in(text):
    found = re.search(r"\{([^}]*)\}", text)
    return found.group(1).split(",") if found else []


def option_usage(usage):
    """'-o,--output TEXT', '--line-end TEXT:{lf,crlf}', '--max-errors UINT Needs: --skip-bad'."""
    usage = re.split(r" (?:Needs|Excludes):", usage)[0]
    names, _, value = usage.partition(" ")
    value = value.strip()
    default = ""
    if "=" in value:
        value, default = value.split("=", 1)
    choices = choices_in(value)
    if choices:
        shown = "|".join(choices)
    elif not value:
        shown = ""
    elif value.startswith("UINT") or value.startswith("INT"):
        shown = "N"
    elif names.split(",")[-1] in FILE_OPTIONS:
        shown = "FILE"
    else:
        shown = "TEXT"
    return {"names": names.split(","), "value": shown, "default": default, "choices": choices}


def roff(text):
    """Text for troff: backslashes, hyphens and a leading period or quote escaped."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def option_line(entry):
    names = ", ".join(f"\\fB{roff(name)}\\fR" for name in entry["names"])
    value = f" \\fI{roff(entry['value'])}\\fR" if entry["value"] else ""
    return names + value


def free_text(lines):
    """The free text of a help: paragraphs, and the examples' lines kept as they stand."""
    out = []
    paragraph = []

    def flush():
        if paragraph:
            out.append(".PP")
            out.append(roff(" ".join(line.strip() for line in paragraph)))
            paragraph.clear()

    for line in lines:
        if not line.strip():
            flush()
        elif line.startswith("  "):
            flush()
            if not out or out[-1] != ".fi":
                out += [".PP", ".nf"]
            else:
                out.pop()
            out.append(roff(line))
            out.append(".fi")
        else:
            paragraph.append(line)
    flush()
    return out


def man_page(top, commands, version):
    out = [
        f'.TH QUOR 1 "" "ConvertQuor {version}" "User Commands"',
        ".SH NAME",
        "quor \\- convert data files to Fujitsu host records and back",
        ".SH SYNOPSIS",
    ]
    for name, page in commands:
        out += [".PP", f"\\fBquor {name}\\fR {roff(page['usage'].partition(' ')[2])}"]
    out += [
        ".SH DESCRIPTION",
        "\\fBquor\\fR turns CSV files prepared on a PC into the binary records of a Fujitsu mainframe, as a",
        "layout file or a COBOL copybook describes them: numbers as zoned or packed decimal or binary,",
        "single\\-byte text as EBCDIC with katakana, kanji as JEF with the site's user\\-defined characters",
        "(gaiji). It reads such records back into CSV, shows them field by field, and encodes single values.",
        "A value that would be written other than it reads, and data that cannot be read, make their record",
        "bad: by default nothing is written; \\fB\\-\\-lenient\\fR is the user's say\\-so to write it anyway.",
        ".SH COMMANDS",
    ]
    for name, page in commands:
        out += [f".SS quor {name}", roff(page["summary"]) + "."]
        for entry in page["positionals"]:
            out += [".TP", f"\\fI{roff(entry['names'][0])}\\fR", roff(entry["words"])]
        for entry in page["options"]:
            if entry["names"] == ["-h", "--help"]:
                continue
            words = entry["words"]
            if entry["default"] and entry["default"] not in words:
                words += f" (default {entry['default']})"
            out += [".TP", option_line(entry), roff(words)]
        if page["footer"] != top["footer"]:  # a command without words of its own repeats the tool's
            out += free_text([line for line in page["footer"] if not line.startswith("Exit status:")])
    out += [
        ".SH ENVIRONMENT",
        ".TP",
        "\\fBQUOR_GAIJI\\fR",
        "The gaiji mapping file a command reads when no \\fB\\-\\-gaiji\\fR is given.",
        ".SH EXIT STATUS",
        ".TP", "0", "Success.",
        ".TP", "1", "Bad data: a record was refused or could not be read.",
        ".TP", "2", "Usage: an option, a layout or a gaiji mapping file the command cannot take.",
        ".TP", "3", "Input or output failed.",
        ".TP", "4", "Out of memory.",
        ".SH FILES",
        "The layout file, the gaiji mapping file and the Python package are described in",
        "\\fI/usr/share/doc/convertquor/\\fR (layouts.md, gaiji.md, cli.md, python.md).",
        ".SH SEE ALSO",
        "\\fBiconv\\fR(1), \\fBpython3\\fR(1)",
    ]
    return "\n".join(out) + "\n"


def completion(commands):
    """A bash completion function that needs nothing beyond bash."""
    cases_options = []
    cases_values = []
    positional_choices = []
    for name, page in commands:
        options = " ".join(n for entry in page["options"] for n in entry["names"])
        cases_options.append(f"    {name}) words='{options}' ;;")
        for entry in page["options"]:
            if not entry["value"]:
                continue
            choices = entry["choices"] or VALUE_WORDS.get(entry["names"][-1], [])
            if choices:
                action = f"COMPREPLY=($(compgen -W '{' '.join(choices)}' -- \"$cur\"))"
            elif entry["value"] == "FILE":
                action = "compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\"))"
            else:
                action = "COMPREPLY=()"
            pattern = "|".join(f"{name}:{n}" for n in entry["names"])
            cases_values.append(f"    {pattern}) {action}; return ;;")
        # The first positional's choices, right after the command or a flag; files for commands that read
        # them; nothing for a command without positionals.
        positionals = page["positionals"]
        if positionals and positionals[0]["choices"]:
            choices = " ".join(positionals[0]["choices"])
            positional_choices.append(f"    {name}) [[ $prev == {name} || $prev == -* ]] && "
                                      f"COMPREPLY=($(compgen -W '{choices}' -- \"$cur\")) ;;")
        elif positionals:
            positional_choices.append(
                f"    {name}) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\")) ;;")
    names = " ".join(name for name, _ in commands)
    return f"""# bash completion for quor, made from its help by packaging/help_pages.py
_quor() {{
  local cur=${{COMP_WORDS[COMP_CWORD]}} prev=${{COMP_WORDS[COMP_CWORD-1]}} command= i words
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${{COMP_WORDS[i]}} in
      {"|".join(name for name, _ in commands)}) command=${{COMP_WORDS[i]}}; break ;;
    esac
  done
  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W '{names} --help --version' -- "$cur"))
    return
  fi
  case $command:$prev in
{chr(10).join(cases_values)}
  esac
  if [[ $cur == -* ]]; then
    case $command in
{chr(10).join(cases_options)}
    esac
    COMPREPLY=($(compgen -W "$words" -- "$cur"))
    return
  fi
  case $command in
{chr(10).join(positional_choices)}
  esac
}}
complete -F _quor quor
"""


def main():
    quor, man_path, completion_path = sys.argv[1:4]
    top = parse(help_of(quor))
    commands = [(entry["usage"].split()[0], parse(help_of(quor, entry["usage"].split()[0]))) for entry in top["commands"]]
    version = subprocess.run([quor, "version"], check=True, capture_output=True, text=True).stdout.strip()
    page = man_page(top, commands, version).encode("utf-8")
    if man_path.endswith(".gz"):
        with open(man_path, "wb") as f, gzip.GzipFile(filename="", mode="wb", fileobj=f, mtime=0, compresslevel=9) as z:
            z.write(page)
    else:
        with open(man_path, "wb") as f:
            f.write(page)
    with open(completion_path, "w", encoding="utf-8") as f:
        f.write(completion(commands))


if __name__ == "__main__":
    main()
