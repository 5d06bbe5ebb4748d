"""What The Sleuth Kit's `istat IMAGE N` shows of one record of a volume
image, parsed: the header, the $STANDARD_INFORMATION values, every
$FILE_NAME, the $DATA attributes and the attribute list. istat reads the
volume by itself, records of either size included, and follows a base
record's attribute list into its extension records.

Times are kept as FILETIMEs (100 ns since 1601 UTC): istat prints them in
UTC (TZ is set for it) to the nanosecond, of which NTFS stores the first 7
digits.
"""

import calendar
import os
import re
import subprocess
from typing import List, NamedTuple, Optional, Tuple

FILETIME_TICKS_PER_SECOND = 10_000_000
SECONDS_FROM_1601_TO_1970 = 11644473600
# istat 4.11 prints a FILETIME of 0 (never set) as this moment.
NEVER_SET = "2076-11-29 08:54:34.000000000"
TIME_LABELS = ("Created", "File Modified", "MFT Modified", "Accessed")
TIME_LINE = re.compile(r"^(Created|File Modified|MFT Modified|Accessed):\t(.*) \(UTC\)$", re.M)
ISTAT_TIME = re.compile(r"^(\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)\.(\d{9})$")
# istat prints a name's characters as they are: a line feed in it starts another line.
NAME_LINES = re.compile(r"^Name: (.*?)\nParent MFT Entry: (\d+) \tSequence: (\d+)$", re.M | re.S)
DATA_LINE = re.compile(r"^Type: \$DATA \(128-\d+\)   Name: (.*?)   (Resident|Non-Resident)(?:, \w+)*   size: (\d+)"
                       r"(?:  init_size: (\d+))?$", re.M)


class IstatTimes(NamedTuple):
    """FILETIMEs in istat's order: created, file modified, MFT modified, accessed."""
    created: int
    modified: int
    mft_modified: int
    accessed: int


class IstatInfo(NamedTuple):
    """The $STANDARD_INFORMATION values."""
    flags: List[str]        # the flag names istat prints
    owner_id: int
    security_id: int
    usn: Optional[int]      # None where istat prints no journal number
    times: IstatTimes


class IstatName(NamedTuple):
    name: str
    parent: int
    parent_sequence: int
    flags: List[str]
    allocated_size: int
    real_size: int
    times: IstatTimes


class IstatStream(NamedTuple):
    name: str               # "" for the unnamed stream
    resident: bool
    size: int
    initialized_size: Optional[int]   # of a non-resident stream


class IstatRecord(NamedTuple):
    recno: str
    sequence: int
    allocated: bool
    directory: bool
    base: str                                  # the base record of an extension record, else ""
    names: List[Tuple[str, str, int]]          # (name, parent record, parent sequence)
    listed: List[Tuple[int, str, str]]         # the attribute list: (type, "type-id", record), as istat prints
    listed_lines: List[str]
    list_line: str                             # istat's line for the $ATTRIBUTE_LIST attribute itself
    links: int = 0
    info: Optional[IstatInfo] = None
    file_names: List[IstatName] = []
    streams: List[IstatStream] = []


def istat_filetime(text: str) -> int:
    """"2026-12-08 07:18:48.335763000" as a FILETIME; a fraction finer than 100 ns is an error."""
    if text == NEVER_SET:
        return 0
    match = ISTAT_TIME.match(text)
    if match is None:
        raise RuntimeError("istat printed the time %r" % text)
    fields = [int(group) for group in match.groups()]
    if fields[6] % 100:
        raise RuntimeError("istat printed %r, finer than NTFS's 100 ns" % text)
    seconds = calendar.timegm(tuple(fields[:6])) + SECONDS_FROM_1601_TO_1970
    return seconds * FILETIME_TICKS_PER_SECOND + fields[6] // 100


def block_after(text: str, title: str) -> List[str]:
    """Every block of lines that starts after a line `title`, up to the next empty line."""
    return [part.partition("\n\n")[0] for part in text.split(title + "\n")[1:]]


def times_in(block: str) -> IstatTimes:
    found = dict(TIME_LINE.findall(block))
    return IstatTimes(*(istat_filetime(found[label]) for label in TIME_LABELS))


def flag_names(block: str) -> List[str]:
    line = re.search(r"^Flags: (.*)$", block, re.M)
    return [name for name in line.group(1).split(", ") if name] if line else []


def number_in(block: str, label: str) -> Optional[int]:
    match = re.search(r"^%s: (\d+)" % re.escape(label), block, re.M)
    return int(match.group(1)) if match else None


def parse_info(text: str) -> Optional[IstatInfo]:
    blocks = block_after(text, "$STANDARD_INFORMATION Attribute Values:")
    if not blocks:
        return None
    block = blocks[0]
    return IstatInfo(flag_names(block), number_in(block, "Owner ID") or 0, number_in(block, "Security ID") or 0,
                     number_in(block, "Last User Journal Update Sequence Number"), times_in(block))


def parse_file_name(block: str) -> IstatName:
    name = NAME_LINES.search(block)
    sizes = re.search(r"^Allocated Size: (\d+)\s+Actual Size: (\d+)$", block, re.M)
    if name is None or sizes is None:
        raise RuntimeError("istat shows a $FILE_NAME without its name or sizes:\n" + block)
    return IstatName(name.group(1), int(name.group(2)), int(name.group(3)), flag_names(block),
                     int(sizes.group(1)), int(sizes.group(2)), times_in(block))


def parse_istat(recno: str, text: str) -> IstatRecord:
    header = re.search(r"^Entry: \d+\s+Sequence: (\d+)$", text, re.M)
    state = re.search(r"^(Allocated|Not Allocated) (File|Directory)$", text, re.M)
    base = re.search(r"^Base File Record: (\d+)$", text, re.M)
    file_names = [parse_file_name(b) for b in block_after(text, "$FILE_NAME Attribute Values:")]
    block = text.partition("$ATTRIBUTE_LIST Attribute Values:\n")[2].partition("\n\n")[0]
    lines = [line for line in block.split("\n") if line.startswith("Type:")]
    listed = [(int(t), "%s-%s" % (t, i), r) for t, i, r in
              (re.match(r"Type: (\d+)-(\d+) \tMFT Entry: (\d+)", line).groups() for line in lines)]
    streams = [IstatStream("" if name == "N/A" else name, kind == "Resident", int(size),
                           int(initialized) if initialized else None)
               for name, kind, size, initialized in DATA_LINE.findall(text)]
    return IstatRecord(recno, int(header.group(1)) if header else 0, bool(state) and state.group(1) == "Allocated",
                       bool(state) and state.group(2) == "Directory", base.group(1) if base else "",
                       [(n.name, str(n.parent), n.parent_sequence) for n in file_names], listed, lines,
                       (re.search(r"^Type: \$ATTRIBUTE_LIST .*$", text, re.M) or [""])[0],
                       number_in(text, "Links") or 0, parse_info(text), file_names, streams)


def istat(image: str, recno: str) -> IstatRecord:
    text = subprocess.run(["istat", image, recno], check=True, capture_output=True, timeout=60,
                          env=dict(os.environ, TZ="UTC0")).stdout.decode("utf-8", "replace")
    return parse_istat(recno, text)
