#!/usr/bin/python3
r"""Compares Varneth's report and name listings with libfsntfs, record by record.

For every $MFT given (or every *.mft in a directory) the tool is run in the
default, long and short formats and with -f and -a; each line must equal the line
worked out from what libfsntfs reads (expected_output.py): file and DOS
names, $STANDARD_INFORMATION and first $FILE_NAME times (whole seconds, UTC),
deleted and directory flags, attribute flags, data sizes, residency, stream
names and the full path rebuilt from libfsntfs's parent references. The path
of every record in use must also equal the one libfsntfs builds itself (its
"path hint"). The formats run under different time zones, east and west of
UTC (the western one with daylight saving): the report's times must not move.

Intended differences between the tool's values and libfsntfs's, each applied
to the library's value before comparing:
  * Control characters in names (U+0001-U+001F, U+007F-U+009F) are written
    as U+FFFD, so that no name can split a row or reach the terminal raw.
  * The full path of a record that is not in use is wrapped in "?": the walk
    follows parent numbers without sequence checks, so the path of a deleted
    record is a guess that the examiner must see as one.
  * The root's path is "\" and every other path starts with "\" once the walk
    reaches the root's "." name; a walk that cannot reach the root is kept
    as far as it got (see expected_path) instead of being dropped.
  * A path holds at most 50 names (the walk's bound, which also ends parent
    chains that loop): a deeper record keeps its last 50 names and no leading
    "\". libfsntfs's own path has no such bound, so those paths, and those of
    deleted records, are checked against the rebuilt path only.
  * Filename and Ext are the last component of the name split as a Windows
    path; a name whose only dot leads it (".profile") has no extension.
  * A time field is empty where the record has no $STANDARD_INFORMATION.
  * AllocSize of a resident stream is its data size (a resident value has no
    clusters); of a non-resident one, its VCN count times the cluster size.
  * Listings (-f, -a) leave out directories; a record with a single name is
    listed under it even in the DOS namespace.
Not differences of the tool but gaps of libfsntfs 20200921 on a bare $MFT:
the unnamed stream's size comes from fsntfsinfo (pyfsntfs says 0), and the
directory flag is the presence of a $I30 index (pyfsntfs has no record flags).
"""

import argparse
import glob
import importlib.util
import os
import shutil
import sys
from typing import Dict, List, Optional

sys.dont_write_bytecode = True  # the helper modules sit in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from expected_output import (DEFAULT_COLUMNS, LONG_COLUMNS, SHORT_COLUMNS,  # noqa: E402
                             expected_listing, expected_rows, library_paths)
from libfsntfs_view import load_library_view  # noqa: E402
from varneth_run import OutputError, listing_lines, report_rows  # noqa: E402

MAX_REPORTED_MISMATCHES = 40
SKIP_EXIT_CODE = 77
# What the corpus's own description says of its files, known apart from any
# reader: (file, FullPath, column, the value's beginning). Both readers could
# agree on a misreading; these cannot.
CORPUS_FACTS = (
    ("win10-ntfs-si-vs-fn.mft", r"\test\test.txt", "siCreateTime (UTC)", "2015-11-03"),
    ("win10-ntfs-si-vs-fn.mft", r"\test\test.txt", "fnCreateTime (UTC)", "2014-12-12"),
    ("win10-ntfs-lastaccess.mft", r"\test\1.txt", "Directory", "0"),
    ("win10-ntfs-ptrn.mft", r"\1.txt", "Directory", "0"),
    ("win10-ntfs-ptrn.mft", r"\2.txt", "Directory", "0"),
    ("win10-20h1.mft", r"\test_dir", "Directory", "1"),
    ("win10-20h1.mft", r"\test_dir_2", "Directory", "1"),
    ("win10-20h1.mft", r"\System Volume Information", "Directory", "1"),
    ("win10-20h1.mft", r"\$RECYCLE.BIN", "Directory", "1"),
)
# Each format's run and the time zone it runs in (POSIX TZ values).
REPORT_RUNS = (([], DEFAULT_COLUMNS, "default", "IST-5:30"),
               (["-s"], SHORT_COLUMNS, "short", "UTC0"),
               (["-l"], LONG_COLUMNS, "long", "EST5EDT,M3.2.0,M11.1.0"))


def row_key(row: Dict[str, Optional[str]]) -> str:
    return "record %s%s" % (row["RecNo"], " stream row " + row["Filename"] if row["ADS"] == "1" else "")


def compare_rows(expected: List[Dict], actual: List[Dict], columns: List[str], label: str,
                 problems: List[str]) -> int:
    """Compares line by line; returns the number of fields compared."""
    if [row_key(r) for r in expected] != [row_key(r) for r in actual]:
        missing = set(map(row_key, expected)) - set(map(row_key, actual))
        extra = set(map(row_key, actual)) - set(map(row_key, expected))
        problems.append("%s: lines differ; missing %s; unexpected %s"
                        % (label, sorted(missing) or "none", sorted(extra) or "none"))
        return 0
    compared = 0
    for want, got in zip(expected, actual):
        for column in columns:
            if want[column] is None:
                problems.append("%s, %s: %s cannot be worked out from libfsntfs"
                                % (label, row_key(want), column))
                continue
            compared += 1
            if want[column] != got[column]:
                problems.append("%s, %s, %s: expected %r, tool wrote %r"
                                % (label, row_key(want), column, want[column], got[column]))
    return compared


def compare_path_hints(hints: Dict[int, str], actual: List[Dict], label: str,
                       problems: List[str]) -> int:
    """libfsntfs walks the parent references itself: its paths must match the report's."""
    compared = 0
    for row in actual:
        recno = int(row["RecNo"])
        if row["ADS"] == "0" and recno in hints:
            compared += 1
            if hints[recno] != row["FullPath"]:
                problems.append("%s, record %d: libfsntfs's path is %r, tool wrote %r"
                                % (label, recno, hints[recno], row["FullPath"]))
    return compared


def check_corpus_facts(label: str, actual: List[Dict], problems: List[str]) -> int:
    by_path = {row["FullPath"]: row for row in actual if row["ADS"] == "0"}
    checked = 0
    for name, path, column, beginning in CORPUS_FACTS:
        if name != label:
            continue
        checked += 1
        if path not in by_path:
            problems.append("%s: no row for %s" % (label, path))
        elif not by_path[path][column].startswith(beginning):
            problems.append("%s, %s, %s: expected %s..., tool wrote %r"
                            % (label, path, column, beginning, by_path[path][column]))
    return checked


def compare_listing(expected: List[str], actual: List[str], label: str, problems: List[str]) -> None:
    if expected != actual:
        problems.append("%s: expected %d lines, tool printed %d; first difference: %s"
                        % (label, len(expected), len(actual), first_difference(expected, actual)))


def first_difference(expected: List[str], actual: List[str]) -> str:
    for index, (want, got) in enumerate(zip(expected, actual)):
        if want != got:
            return "line %d: expected %r, got %r" % (index + 1, want, got)
    return "line %d" % (min(len(expected), len(actual)) + 1)


def compare_file(binary: str, mft_path: str, problems: List[str]) -> Dict[str, int]:
    """Runs every comparison on one $MFT; returns the counts for the summary."""
    label = os.path.basename(mft_path)
    view = load_library_view(mft_path)
    for record in view.records.values():
        if record.has_attribute_list:
            problems.append("%s: record %d has an $ATTRIBUTE_LIST, which this comparison does not model"
                            % (label, record.recno))
    want = expected_rows(view)
    fields = 0
    for args, columns, form, time_zone in REPORT_RUNS:
        got = report_rows(binary, mft_path, args, columns, time_zone)
        fields += compare_rows([{c: r[c] for c in columns} for r in want], got, columns,
                               "%s %s format" % (label, form), problems)
    hints = compare_path_hints(library_paths(view), got, label, problems)
    facts = check_corpus_facts(label, got, problems)
    files = expected_listing(view, streams_only=False)
    streams = expected_listing(view, streams_only=True)
    compare_listing(files, listing_lines(binary, mft_path, "-f"), label + " -f", problems)
    compare_listing(streams, listing_lines(binary, mft_path, "-a"), label + " -a", problems)
    return {
        "records": sum(1 for r in want if r["ADS"] == "0"),
        "rows": len(want),
        "streams": sum(1 for r in want if r["ADS"] == "1"),
        "deleted": sum(1 for r in want if r["ADS"] == "0" and r["Deleted"] == "1"),
        "fields": fields,
        "hints": hints,
        "facts": facts,
        "f_lines": len(files),
        "a_lines": len(streams),
    }


def print_summary(counts: Dict[str, Dict[str, int]]) -> None:
    print("%-28s %7s %5s %7s %7s %7s %6s %5s %5s %5s" % ("file", "records", "rows", "streams", "deleted",
                                                           "fields", "paths", "facts", "-f", "-a"))
    for name, c in counts.items():
        print("%-28s %7d %5d %7d %7d %7d %6d %5d %5d %5d"
              % (name, c["records"], c["rows"], c["streams"], c["deleted"], c["fields"], c["hints"],
                 c["facts"], c["f_lines"], c["a_lines"]))


def mft_files(paths: List[str]) -> List[str]:
    files = []
    for path in paths:
        files.extend(sorted(glob.glob(os.path.join(path, "*.mft"))) if os.path.isdir(path) else [path])
    return files


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("binary", help="the varneth executable")
    parser.add_argument("inputs", nargs="+", help="$MFT files, or directories of *.mft files")
    args = parser.parse_args()
    if importlib.util.find_spec("pyfsntfs") is None or shutil.which("fsntfsinfo") is None:
        print("SKIPPED: libfsntfs (python3-libfsntfs, libfsntfs-utils) is not installed")
        return SKIP_EXIT_CODE
    missing = [path for path in args.inputs if not os.path.exists(path)]
    if missing:
        print("not found: %s" % ", ".join(missing))
        return 1
    files = mft_files(args.inputs)
    if not files:
        print("no $MFT files found in %s" % args.inputs)
        return 1
    problems: List[str] = []
    counts = {}
    for path in files:
        try:
            counts[os.path.basename(path)] = compare_file(args.binary, path, problems)
        except (OutputError, RuntimeError) as error:
            problems.append("%s: %s" % (os.path.basename(path), error))
    print_summary(counts)
    if problems or any(c["records"] == 0 for c in counts.values()):
        print("\n%d difference(s):" % len(problems))
        for problem in problems[:MAX_REPORTED_MISMATCHES]:
            print("  " + problem)
        if len(problems) > MAX_REPORTED_MISMATCHES:
            print("  ... and %d more" % (len(problems) - MAX_REPORTED_MISMATCHES))
        return 1
    print("\nAll compared values agree with libfsntfs.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
