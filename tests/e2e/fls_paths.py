"""The Sleuth Kit's `fls -r -p` on the volume image as an independent
reference for the report's paths (it reads the volume, and records of either
size, by itself).

fls lists every name of the directory indexes, hard links and deleted entries
included, and the named streams of each. A record's row must carry one of the
paths fls gives for it; fls's own entries with nothing to compare are left
out and counted by reason.
"""

import re
import subprocess
from collections import defaultdict
from typing import Callable, Dict, List, Set, Tuple

TYPE_DATA = 128
# "r/r 66-128-4:\tdir/file.txt:stream", "-/d * 67-144-2:\tdel", "V/V 73:\t$OrphanFiles"
FLS_LINE = re.compile(r"^(\S+) (\* )?(\d+)(?:-(\d+)-(\d+))?(?:\(realloc\))?:\t(.*)$")


def fls_entries(image: str) -> List[Tuple[bool, int, int, str]]:
    """(deleted, record number, attribute type or 0, "/"-separated path) per line."""
    text = subprocess.run(["fls", "-r", "-p", image], check=True, capture_output=True).stdout
    entries = []
    for line in text.decode("utf-8", "surrogateescape").split("\n"):
        match = FLS_LINE.match(line)
        if match:
            entries.append((match.group(2) is not None, int(match.group(3)),
                            int(match.group(4) or 0), match.group(6)))
    return entries


def split_stream(path: str) -> Tuple[str, str]:
    """("dir/file", "stream"); a colon before the last "/" is part of a name."""
    head, _, last = path.rpartition("/")
    name, colon, stream = last.partition(":")
    return (head + "/" if head else "") + name, stream if colon else ""


def canonical(path: str) -> str:
    """fls prints a control character as "^", the tool as U+FFFD (C1 included)."""
    return re.sub("[\x00-\x1f\x7f-\x9f\ufffd^]", "^", path)


def compare_with_fls(image: str, rows: List[Dict[str, str]],
                     report_path: Callable[[str, bool, str], str], problems: List[str]) -> Dict[str, int]:
    """Every record and stream that fls names must have a row whose FullPath is
    one of fls's paths for it; report_path turns an fls path into the FullPath
    the tool writes (50-name bound, "?" around deleted ones)."""
    row_paths = {(int(row["RecNo"]), row["ADS"] == "1" and row["Filename"].rpartition(":")[2] or ""):
                 canonical(row["FullPath"]) for row in rows}
    wanted: Dict[Tuple[int, str], Set[str]] = defaultdict(set)
    counts = {"entries": 0, "compared": 0, "agreed": 0, "orphans": 0, "indexes": 0, "reused": 0}
    for deleted, recno, attribute_type, path in fls_entries(image):
        counts["entries"] += 1
        if path.startswith("$OrphanFiles"):
            counts["orphans"] += 1   # fls's own folder of unnamed records
            continue
        name, stream = split_stream(path)
        if stream and attribute_type != TYPE_DATA:
            counts["indexes"] += 1   # a named index ($O, $SDH): not a data stream
            continue
        wanted[(recno, stream)].add(canonical(report_path(name, deleted, stream)))
    for key, paths in sorted(wanted.items()):
        counts["compared"] += 1
        found = row_paths.get(key)
        if found in paths:
            counts["agreed"] += 1
        elif found is not None and any(p.startswith("?") for p in paths) and not found.startswith("?"):
            counts["reused"] += 1    # a deleted name whose record now holds another file
        else:
            problems.append("fls names record %d%s %r; the report has %r"
                            % (key[0], ":" + key[1] if key[1] else "", sorted(paths), found))
    return counts
