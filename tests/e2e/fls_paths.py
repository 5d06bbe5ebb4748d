"""The Sleuth Kit's `fls -r -p` on the volume image as an independent
reference for the report's paths: it reads the volume, records of either
size included, by itself. fls lists every name of the directory indexes
(hard links and deleted entries too) and the named streams; a record's row
must carry one of the paths fls gives it. What fls lists but the report
cannot hold is left out and counted by reason."""

import re
import subprocess
from collections import defaultdict
from typing import Callable, Dict, List

TYPE_DATA = 128
# "r/r 66-128-4:\tdir/file.txt:stream", "-/d * 67-144-2:\tdel", "V/V 73:\t$OrphanFiles"
FLS_LINE = re.compile(r"^\S+ (\* )?(\d+)(?:-(\d+)-\d+)?(?:\(realloc\))?:\t(.*)$")


def canonical(path: str) -> str:
    """fls prints a control character as "^", the tool as U+FFFD (C1 included)."""
    return re.sub("[\x00-\x1f\x7f-\x9f\ufffd^]", "^", path)


def compare_with_fls(image: str, rows: List[Dict[str, str]],
                     report_path: Callable[[str, bool, str], str], problems: List[str]) -> Dict[str, int]:
    """report_path turns a "/"-separated path, deleted or not, and a stream
    name into the FullPath the tool writes (50-name bound, "?" when deleted)."""
    found = {(row["RecNo"], row["Filename"].rpartition(":")[2] if row["ADS"] == "1" else ""):
             canonical(row["FullPath"]) for row in rows}
    wanted = defaultdict(set)
    counts = {"entries": 0, "compared": 0, "agreed": 0, "orphans": 0, "indexes": 0, "reused": 0}
    listing = subprocess.run(["fls", "-r", "-p", image], check=True, capture_output=True).stdout
    for match in filter(None, map(FLS_LINE.match, listing.decode("utf-8", "surrogateescape").split("\n"))):
        deleted, recno, attribute_type, path = match.groups()
        counts["entries"] += 1
        head, _, last = path.rpartition("/")
        name, colon, stream = last.partition(":")
        if path.startswith("$OrphanFiles"):
            counts["orphans"] += 1   # fls's own folder of unnamed records
        elif colon and int(attribute_type or 0) != TYPE_DATA:
            counts["indexes"] += 1   # a named index ($O, $SDH), not a data stream
        else:
            made = (head + "/" if head else "") + name
            wanted[(recno, stream)].add(canonical(report_path(made, deleted is not None, stream)))
    for key, paths in sorted(wanted.items()):
        counts["compared"] += 1
        row_path = found.get(key)
        if row_path in paths:
            counts["agreed"] += 1
        elif row_path is not None and not row_path.startswith("?") and all(p.startswith("?") for p in paths):
            counts["reused"] += 1    # only deleted names lead to a record that now holds another file
        else:
            problems.append("fls names record %s%s %r; the report has %r"
                            % (key[0], ":" + key[1] if key[1] else "", sorted(paths), row_path))
    return counts
