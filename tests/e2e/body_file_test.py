#!/usr/bin/python3
"""Builds the real-volume test's NTFS volume (real_volume_test.py, the tree of
volume_tree.py) and checks the body file that `varneth -b` writes of its $MFT:

1. every created entry has its lines: the record's line under one of its
   paths, a $FILE_NAME line for each of its names (hard links and the DOS name
   included), a line per stream, with the right mode, size, deleted mark and
   times taken during the run;
2. `mactime -b BODY -z UTC -d -y` reads the file back, and its timeline holds
   each of those lines' four times under the line's name and inode;
3. `fls -r -m / IMAGE` agrees on name, inode, mode and the four times for
   every entry both list, apart from the intended differences listed in
   INTENDED_DIFFERENCES, each with its reason.

Without root, FUSE or the tools, the test prints SKIPPED and exits with 77.
"""

import csv
import datetime
import io
import os
import re
import subprocess
import sys
import tempfile
from collections import Counter
from typing import Dict, List, NamedTuple, Optional, Set, Tuple

sys.dont_write_bytecode = True  # the helper modules sit in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from expected_output import sanitized  # noqa: E402
from real_volume_test import SKIP_EXIT_CODE, build_volume, ready_to_mount  # noqa: E402
from varneth_run import OutputError, decode_utf8, run_tool  # noqa: E402
from volume_tree import MAX_PATH_NAMES, Made, tree_plan  # noqa: E402

MODE_FILE = "r/rrwxrwxrwx"
MODE_DIRECTORY = "d/drwxrwxrwx"
FILE_NAME_MARK = " ($FILE_NAME)"
DELETED_MARK = " (deleted)"
UNPLACED_FOLDER = "/$OrphanFiles/"
TIME_LETTERS = "amcb"  # the body file's order: atime, mtime, ctime, crtime

# Where fls -m and the tool part by design; each check below names its reason.
INTENDED_DIFFERENCES = {
    "deleted type": "fls writes '-' as a deleted entry's type (its directory entry is gone); "
                    "the tool keeps r/ or d/ from the record",
    "hard link record lines": "fls writes the record's line under every name of a file; the tool once, "
                              "under the record's path (the report's)",
    "hard link $FILE_NAME": "fls writes, for every name of a file, the same one $FILE_NAME attribute's "
                            "id and times; the tool each name's own attribute",
    "DOS names": "fls lists no separate DOS name; the tool writes a $FILE_NAME line for it",
    "root": "fls -r lists no line for the root itself; the tool writes / and its $FILE_NAME",
    "index attributes": "fls lists the index streams of system files ($O, $Q, $R, $SDH, $SII); the "
                        "tool writes $DATA streams only",
    "orphan folder": "fls lists its virtual $OrphanFiles folder with the unnamed records in it; the tool "
                     "writes records that have a name",
    "no unnamed $DATA": "a record without an unnamed $DATA ($Secure, $Extend/*) gets no record line "
                        "from fls; the tool writes one with the record number alone",
    "control characters": "fls writes '^' for C0 controls and C1 ones as they stand; the tool writes "
                          "U+FFFD, as in the report",
    "path limit": "the path walk stops after 50 names: the tool writes the names found under "
                  "/$OrphanFiles/, fls the whole path",
    "write bits": "fls drops the write bits of the system files' mode; the format here is always "
                  "rwxrwxrwx",
    "time before 1970": "a FILETIME before 1970 (the $MFT record's zeros) is 0 in the tool's file; "
                        "fls writes it wrapped",
    "attribute list $FILE_NAME": "for a record with an $ATTRIBUTE_LIST fls writes no $FILE_NAME line, "
                                 "or one per $FILE_NAME in an extension record under every name, with "
                                 "that record's attribute id: these lines are compared with the "
                                 "record's names instead",
    "attribute list ids": "an attribute's id counts within its own record, so ids in extension records "
                          "repeat those of the base record; fls numbers such attributes anew: for a record "
                          "with an $ATTRIBUTE_LIST only the record number and type are compared",
}


class BodyLine(NamedTuple):
    name: str       # as written: escapes in place
    inode: str
    mode: str
    size: int
    times: Tuple[int, int, int, int]


def unescaped(name: str) -> str:
    """The name as mactime reads it: %XX decoded."""
    return re.sub(r"%([0-9A-Fa-f]{2})", lambda m: chr(int(m.group(1), 16)), name)


def escaped(name: str) -> str:
    return sanitized(name).replace("%", "%25").replace("|", "%7C")


def parse_body(text: str, raw_pipes: bool) -> List[BodyLine]:
    """fls writes '|' in names as it stands (raw_pipes): its name is what lies
    between the first field and the last nine."""
    lines = []
    for line in text.split("\n")[:-1]:
        fields = line.split("|")
        if len(fields) != 11 and not raw_pipes:
            raise OutputError("body line with %d fields: %r" % (len(fields), line))
        name = "|".join(fields[1:-9])
        inode, mode, _, _, size = fields[-9:-4]
        lines.append(BodyLine(name, inode, mode, int(size), tuple(int(t) for t in fields[-4:])))
    return lines


def body_path(made_path: str, deleted: bool, stream: str = "", mark: str = "") -> str:
    """The body name of a created path: from "/", or under /$OrphanFiles/ when
    the walk cannot reach the root within its 50 names."""
    names = made_path.split("/")
    if len(names) >= MAX_PATH_NAMES:
        path = UNPLACED_FOLDER + "/".join(escaped(n) for n in names[-MAX_PATH_NAMES:])
    else:
        path = "/" + "/".join(escaped(n) for n in names)
    return path + (":" + escaped(stream) if stream else "") + mark + (DELETED_MARK if deleted else "")


def expected_lines(item: Made) -> List[Tuple[List[str], str, int]]:
    """(names any one of which the line may have, mode, size) for each line of the entry."""
    mode = MODE_DIRECTORY if item.directory else MODE_FILE
    size = 0 if item.directory else item.size
    lines = [([body_path(p, item.deleted) for p in item.paths], mode, size)]
    lines += [([body_path(p, item.deleted, mark=FILE_NAME_MARK)], mode, size) for p in item.paths]
    if item.dos_name:
        folder = item.path.rsplit("/", 1)[0] + "/" if "/" in item.path else ""
        lines.append(([body_path(folder + item.dos_name, item.deleted, mark=FILE_NAME_MARK)], mode, size))
    lines += [([body_path(p, item.deleted, stream) for p in item.paths], MODE_FILE, len(data))
              for stream, data in item.streams.items()]
    return lines


def check_created(plan: List[Made], body: List[BodyLine], started: int, finished: int,
                  problems: List[str]) -> List[BodyLine]:
    """Every created entry's lines, with mode, size, inode type and times; returns them."""
    by_name: Dict[str, BodyLine] = {}
    for line in body:
        if line.name in by_name:
            problems.append("two body lines named %r" % line.name)
        by_name[line.name] = line
    checked = []
    for item in plan:
        records = set()
        for names, mode, size in expected_lines(item):
            found = [by_name[n] for n in names if n in by_name]
            if len(found) != 1:
                problems.append("expected one line under %r, found %d" % (names, len(found)))
                continue
            line = found[0]
            checked.append(line)
            records.add(line.inode.split("-")[0])
            wanted_type = "48" if line.name.endswith(FILE_NAME_MARK + (DELETED_MARK if item.deleted else "")) \
                else ("144" if item.directory and ":" not in line.name.rsplit("/", 1)[-1] else "128")
            if (line.mode, line.size, line.inode.split("-")[1:2]) != (mode, size, [wanted_type]):
                problems.append("%s: mode, size, type %r, expected %r" % (line.name, line[2:4] + (line.inode,),
                                                                          (mode, size, wanted_type)))
            if not all(started <= t <= finished for t in line.times):
                problems.append("%s: times %r outside the run (%d to %d)" % (line.name, line.times, started,
                                                                             finished))
        if len(records) > 1:
            problems.append("the lines of %r name records %r" % (item.path, sorted(records)))
    return checked


def check_timeline(timeline_csv: str, lines: List[BodyLine], problems: List[str]) -> int:
    """mactime's timeline holds each line's four times under its name and inode."""
    events = set()
    for row in csv.DictReader(io.StringIO(timeline_csv)):
        moment = datetime.datetime.strptime(row["Date"], "%Y-%m-%dT%H:%M:%SZ").replace(
            tzinfo=datetime.timezone.utc)
        for letter in row["Type"].replace(".", ""):
            events.add((row["File Name"], row["Meta"], int(moment.timestamp()), letter))
    found = 0
    for line in lines:
        for letter, seconds in zip(TIME_LETTERS, line.times):
            if (unescaped(line.name), line.inode, seconds, letter) in events:
                found += 1
            else:
                problems.append("mactime has no %s time %d for %r" % (letter, seconds, unescaped(line.name)))
    return found


def record_of(line: BodyLine) -> str:
    return line.inode.split("-")[0]


def file_path(name: str) -> str:
    """The path of the file a line is about: its stream and marks taken off."""
    for mark in (DELETED_MARK, FILE_NAME_MARK):
        if name.endswith(mark):
            name = name[:-len(mark)]
    head, _, last = name.rpartition("/")
    return head + "/" + last.partition(":")[0]


def difference_of_fls_only(name: str, fls_line: BodyLine, linked: Dict[str, str]) -> Optional[str]:
    """Why fls lists a name that the tool does not."""
    if name == UNPLACED_FOLDER[:-1] or (name.startswith(UNPLACED_FOLDER) and "-" not in fls_line.inode):
        return "orphan folder"
    if ":$" in name:
        return "index attributes"
    if "^" in name or any(0x7F <= ord(c) <= 0x9F for c in name):
        return "control characters"
    if name.count("/") >= MAX_PATH_NAMES:
        return "path limit"
    recno = record_of(fls_line)
    if recno in linked and not name.endswith(FILE_NAME_MARK) and file_path(name) != linked[recno]:
        return "hard link record lines"
    return None


def difference_of_ours_only(name: str, line: BodyLine) -> Optional[str]:
    if name in ("/", "/" + FILE_NAME_MARK):
        return "root"
    if name.startswith(UNPLACED_FOLDER) and name[len(UNPLACED_FOLDER):].count("/") >= MAX_PATH_NAMES - 1:
        return "path limit"
    if "\ufffd" in name:
        return "control characters"
    if re.search(r"~\d", name) and name.endswith(FILE_NAME_MARK):
        return "DOS names"
    if line.inode.count("-") == 0:
        return "no unnamed $DATA"
    return None


def differing_field(name: str, field: str, mine: BodyLine, a, b, linked: Dict[str, str],
                    listed_records: Set[str]) -> Optional[str]:
    """Why the tool's value a and fls's b of a field differ by design, or None."""
    if field == "inode" and record_of(mine) in listed_records and a.split("-")[:2] == b.split("-")[:2]:
        return "attribute list ids"
    if field == "mode" and name.endswith(DELETED_MARK) and b[0] == "-" and a[1:] == b[1:]:
        return "deleted type"
    if name.endswith(FILE_NAME_MARK) and record_of(mine) in linked:
        return "hard link $FILE_NAME"
    if field.endswith("time") and a == 0 and b > 2 ** 31:
        return "time before 1970"
    if field == "mode" and b == a[:2] + a[2:].replace("w", "-"):
        return "write bits"
    return None


def body_differences(fls_text: str, body: List[BodyLine],
                     listed_records: Set[str] = frozenset()) -> Tuple[Counter, List[Tuple[str, str]]]:
    """Name, inode, mode, the four times and a file's or stream's size of
    every entry both list: counts, and (kind, what) for each difference that
    no intended one explains. listed_records: the records with an attribute list."""
    fls = {line.name: line for line in parse_body(fls_text, raw_pipes=True)}
    ours = {unescaped(line.name): line for line in body}
    records_with_links = Counter(record_of(line) for line in body if line.name.endswith(FILE_NAME_MARK)
                                 and not re.search(r"~\d", line.name))
    # A record with several names: the path of the one line the tool writes for the record itself.
    linked = {record_of(line): file_path(name) for name, line in ours.items()
              if records_with_links[record_of(line)] > 1 and line.inode.split("-")[1:2] in (["128"], ["144"])
              and ":" not in name.rpartition("/")[2]}
    counts, differences = Counter(), []
    for name in sorted(set(fls) | set(ours)):
        either = ours[name] if name in ours else fls[name]
        if FILE_NAME_MARK in name and record_of(either) in listed_records:
            counts["intended difference: attribute list $FILE_NAME"] += 1
            continue
        if name not in ours or name not in fls:
            reason = difference_of_fls_only(name, fls[name], linked) if name in fls \
                else difference_of_ours_only(name, ours[name])
            if reason is None:
                side = "fls" if name in fls else "the tool"
                differences.append(("only %s lists" % side, "%s lists %r, the other does not" % (side, name)))
            counts["only one lists: " + (reason or "UNEXPLAINED")] += 1
            if os.environ.get("BODY_TEST_VERBOSE"):
                print("  only %s: %r (%s)" % ("fls" if name in fls else "the tool", name, reason))
            continue
        mine, theirs = ours[name], fls[name]
        counts["entries compared"] += 1
        fields = [("inode", mine.inode, theirs.inode), ("mode", mine.mode, theirs.mode)]
        fields += [(letter + "time", a, b) for letter, a, b in zip(TIME_LETTERS, mine.times, theirs.times)]
        if not mine.mode.startswith("d") and FILE_NAME_MARK not in name:
            fields.append(("size", mine.size, theirs.size))   # fls gives a $FILE_NAME's or an index's length
        for field, a, b in fields:
            counts["fields compared"] += 1
            if a == b:
                counts["fields agreeing"] += 1
                continue
            reason = differing_field(name, field, mine, a, b, linked, listed_records)
            if reason is None:
                differences.append(("%s differs" % field, "%s: %s is %r, fls has %r" % (name, field, a, b)))
            counts["intended difference: " + (reason or "UNEXPLAINED")] += 1
    return counts, differences


def compare_with_fls(fls_text: str, body: List[BodyLine], problems: List[str]) -> Dict[str, int]:
    counts, differences = body_differences(fls_text, body)
    problems.extend(what for _, what in differences)
    return counts


def run_checks(binary: str, work: str, image: str, mft: str, plan: List[Made], started: int,
               finished: int) -> int:
    problems: List[str] = []
    body_file = os.path.join(work, "timeline.body")
    run_tool(binary, ["-b", body_file, "-o", os.path.join(work, "report.tsv"), mft], work)
    with open(body_file, "rb") as data:
        body_text = decode_utf8(data.read(), "the body file")
    if "\r" in body_text or not body_text.endswith("\n"):
        problems.append("the body file's lines do not all end with a lone LF")
    body = parse_body(body_text, raw_pipes=False)
    checked = check_created(plan, body, started, finished, problems)
    timeline = subprocess.run(["mactime", "-b", body_file, "-z", "UTC", "-d", "-y"], check=True,
                              capture_output=True, timeout=300).stdout.decode("utf-8")
    found = check_timeline(timeline, checked, problems)
    fls_text = subprocess.run(["fls", "-r", "-m", "/", image], check=True,
                              capture_output=True, timeout=300).stdout.decode("utf-8", "replace")
    counts = compare_with_fls(fls_text, body, problems)
    summary = ["body file: %d lines; created entries: %d, their lines checked: %d" % (len(body), len(plan),
                                                                                     len(checked)),
               "mactime timeline: %d of %d times found" % (found, 4 * len(checked)),
               "compared with fls -m: " + ", ".join("%s %d" % item for item in sorted(counts.items()))]
    summary += ["  intended difference, %s: %s" % item for item in INTENDED_DIFFERENCES.items()]
    print("\n".join(summary + ["  " + problem for problem in problems]))
    print("FAILED: %d problem(s)" % len(problems) if problems else "All checks passed.")
    return 1 if problems else 0


def now_seconds(offset: int) -> int:
    return int(datetime.datetime.now(datetime.timezone.utc).timestamp()) + offset


def main() -> int:
    if len(sys.argv) != 2:
        sys.exit("usage: body_file_test.py VARNETH_BINARY")
    if not ready_to_mount(("fls", "mactime")):
        return SKIP_EXIT_CODE
    plan = tree_plan()
    with tempfile.TemporaryDirectory(prefix="varneth-body-") as work:
        started = now_seconds(-2)
        try:
            image, mft = build_volume(work, plan, 1024)
            return run_checks(os.path.abspath(sys.argv[1]), work, image, mft, plan, started, now_seconds(2))
        except (OutputError, RuntimeError, OSError, subprocess.SubprocessError) as error:
            print("FAILED: %s" % error)
            return 1


if __name__ == "__main__":
    sys.exit(main())
