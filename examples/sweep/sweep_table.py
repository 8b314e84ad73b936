"""Reads the parameter table of the sweep: the one CSV rule of job.sh and collect.

    python3 sweep_table.py TABLE                       checks every job; prints how many there are
    python3 sweep_table.py TABLE JOB [KEY=VALUE ...]   prints the job's parameter lines: the
                                                       table's options, then each KEY=VALUE
                                                       whose key the table leaves empty

The table is CSV as Python's csv module reads it, so a field in double quotes may hold a comma
("0,3" is one value, a number where the locale's decimal separator is a comma). The header names
options; every line below it that is not blank is a job, the first being job 1. An empty field
leaves the option out. A column that is not an option below, and a value that is not a number of
the option's kind, are refused (exit status 2, a line each on stderr): tarvex would keep the
option's default without a word, and the ranking would show the job under the wrong value.
"""
import csv
import locale
import math
import re
import sys

# The options that a sweep varies, by kind. The files of a job are job.sh's to name, so that
# collect finds every job's summary.
NUMBERS = ("lr", "m", "wd", "iw", "vf")
WHOLE_NUMBERS = ("ep", "n", "af", "es", "sd", "cv")


class TableError(Exception):
    """The table cannot be read, or a job in it would not run as written; the text says where."""


def decimal_separator():
    """The decimal point of the user's locale, which tarvex takes (its number test uses it)."""
    try:
        locale.setlocale(locale.LC_ALL, "")
    except locale.Error:
        return "."  # tarvex then stays in the C locale too
    return locale.localeconv()["decimal_point"]


def number(text, separator):
    """The value of text as tarvex's number test reads it (blanks around, a sign, digits with at
    most one decimal separator, an exponent), or None."""
    found = re.fullmatch(r"[ \t\r\n]*([+-]?(?:\d+(?:%s\d*)?|%s\d+)(?:[eE][+-]?\d+)?)[ \t\r\n]*"
                         % (re.escape(separator), re.escape(separator)), text, re.ASCII)
    return float(found.group(1).replace(separator, ".")) if found else None


def option_name(field):
    """The option that a header field names: tarvex drops the blanks and ignores letter case."""
    return field.strip(" \t").lower()


def read(path):
    """The table at path: its option names and its jobs, each a list of (option, value) with the
    empty fields left out. Raises TableError naming every fault."""
    try:
        with open(path, newline="", encoding="utf-8-sig") as f:
            reader = csv.reader(f)
            records = []
            for row in reader:
                records.append((reader.line_num, row))  # a quoted field may span lines
    except (OSError, UnicodeDecodeError, csv.Error) as e:
        raise TableError(f"{path}: cannot be read as a CSV table: {e}") from None
    if not records:
        raise TableError(f"{path}: empty, not even a header")
    names = [option_name(field) for field in records[0][1]]
    faults = []
    for column, name in enumerate(names, 1):
        if name not in NUMBERS + WHOLE_NUMBERS:
            faults.append(f"{path}: column {column}, '{name}', is not an option a sweep varies "
                          f"({', '.join(NUMBERS + WHOLE_NUMBERS)})")
        elif names.index(name) + 1 != column:
            faults.append(f"{path}: column {column}, '{name}', is there twice")
    separator = decimal_separator()
    jobs = []
    for line, row in records[1:]:
        if not row:
            continue  # a blank line
        where = f"{path}: line {line} (job {len(jobs) + 1})"
        if len(row) > len(names):
            faults.append(f"{where}: {len(row)} fields, but the header names {len(names)}")
        options = []
        for name, field in zip(names, row):
            value = field.strip(" \t\r\n")
            if not value:
                continue
            read_value = number(value, separator)
            if read_value is None:
                faults.append(f"{where}: '{name}' is {value!r}, not a number "
                              f"('{separator}' is the decimal separator here)")
            elif not math.isfinite(read_value):
                faults.append(f"{where}: '{name}' is {value!r}, beyond the range of numbers")
            elif name in WHOLE_NUMBERS and not read_value.is_integer():
                faults.append(f"{where}: '{name}' is {value!r}, not a whole number")
            options.append((name, value))
        jobs.append(options)
    if not jobs:
        faults.append(f"{path}: no line below the header, so no job")
    if faults:
        raise TableError("\n".join(faults))
    return names, jobs


def columns(path):
    """The option names of the table's header as read() takes them, without checking any job;
    none when the header cannot be read."""
    try:
        with open(path, newline="", encoding="utf-8-sig") as f:
            return [option_name(field) for field in next(csv.reader(f), [])]
    except (OSError, UnicodeDecodeError, csv.Error):
        return []


def main(arguments):
    if not arguments:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        names, jobs = read(arguments[0])
    except TableError as e:
        print(e, file=sys.stderr)
        return 2
    if len(arguments) == 1:
        print(len(jobs))
        return 0
    job = int(arguments[1]) if arguments[1].isdigit() else 0
    if not 1 <= job <= len(jobs):
        print(f"{arguments[0]}: no job {arguments[1]} (jobs 1 to {len(jobs)})", file=sys.stderr)
        return 2
    options = dict(jobs[job - 1])
    for default in arguments[2:]:
        key, _, value = default.partition("=")
        options.setdefault(key, value)
    for key, value in options.items():
        print(f"/{key}={value}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
