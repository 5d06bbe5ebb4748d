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
import shutil
import signal
import subprocess
import sys
import tempfile
from collections import Counter
from typing import Dict, List, NamedTuple, Optional, Tuple

sys.dont_write_bytecode = True  # the helper modules sit in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from expected_output import sanitized  # noqa: E402
from real_volume_test import SKIP_EXIT_CODE, build_volume, missing_prerequisite  # noqa: E402
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


def difference_of_fls_only(name: str, fls_line: BodyLine, linked: Dict[str, str]) -> Optional[str]:
    """Why fls lists a name that the tool does not."""
    if name.startswith(UNPLACED_FOLDER) or name == UNPLACED_FOLDER[:-1]:
        return "orphan folder"
    if ":$" in name:
        return "index attributes"
    if "^" in name or any(0x7F <= ord(c) <= 0x9F for c in name):
        return "control characters"
    if name.count("/") >= MAX_PATH_NAMES:
        return "path limit"
    if fls_line.inode.split("-")[0] in linked and not name.endswith(FILE_NAME_MARK):
        return "hard link record lines"
    return None


def difference_of_ours_only(name: str, line: BodyLine) -> Optional[str]:
    if name in ("/", "/" + FILE_NAME_MARK):
        return "root"
    if name.startswith(UNPLACED_FOLDER):
        return "path limit"
    if "\ufffd" in name:
        return "control characters"
    if re.search(r"~\d", name) and name.endswith(FILE_NAME_MARK):
        return "DOS names"
    if line.inode.count("-") == 0:
        return "no unnamed $DATA"
    return None


def compare_with_fls(fls_text: str, body: List[BodyLine], problems: List[str]) -> Dict[str, int]:
    """Name, inode, mode and the four times of every entry both list."""
    fls = {line.name: line for line in parse_body(fls_text, raw_pipes=True)}
    ours = {unescaped(line.name): line for line in body}
    records_with_links = Counter(line.inode.split("-")[0] for line in body if line.name.endswith(FILE_NAME_MARK)
                                 and not re.search(r"~\d", line.name))
    linked = {recno: recno for recno, names in records_with_links.items() if names > 1}
    counts = Counter()
    for name in sorted(set(fls) | set(ours)):
        if name not in ours or name not in fls:
            reason = difference_of_fls_only(name, fls[name], linked) if name in fls \
                else difference_of_ours_only(name, ours[name])
            if reason is None:
                problems.append("%s lists %r, the other does not" % ("fls" if name in fls else "the tool", name))
            counts["only one lists: " + (reason or "UNEXPLAINED")] += 1
            if os.environ.get("BODY_TEST_VERBOSE"):
                print("  only %s: %r (%s)" % ("fls" if name in fls else "the tool", name, reason))
            continue
        mine, theirs = ours[name], fls[name]
        counts["entries compared"] += 1
        fields = [("inode", mine.inode, theirs.inode), ("mode", mine.mode, theirs.mode)]
        fields += [(letter + "time", a, b) for letter, a, b in zip(TIME_LETTERS, mine.times, theirs.times)]
        for field, a, b in fields:
            counts["fields compared"] += 1
            if a == b:
                counts["fields agreeing"] += 1
                continue
            reason = None
            if field == "mode" and name.endswith(DELETED_MARK) and theirs.mode[0] == "-" and a[1:] == b[1:]:
                reason = "deleted type"
            elif name.endswith(FILE_NAME_MARK) and mine.inode.split("-")[0] in linked:
                reason = "hard link $FILE_NAME"
            elif field.endswith("time") and a == 0 and b > 2 ** 31:
                reason = "time before 1970"
            elif field == "mode" and b == a[:2] + a[2:].replace("w", "-"):
                reason = "write bits"
            if reason is None:
                problems.append("%s: %s is %r, fls has %r" % (name, field, a, b))
            counts["intended difference: " + (reason or "UNEXPLAINED")] += 1
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
    missing = [tool + " is not installed" for tool in ("fls", "mactime") if shutil.which(tool) is None]
    reason = missing_prerequisite() or (missing[0] if missing else None)
    if reason:
        print("SKIPPED: " + reason)
        return SKIP_EXIT_CODE
    # The mount must be released whatever ends the run.
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, lambda caught, frame: sys.exit(128 + caught))
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
