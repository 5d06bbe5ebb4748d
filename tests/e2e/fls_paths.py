"""The Sleuth Kit's `fls -r -p` on the volume image as an independent
reference for the report's paths: it reads the volume, records of either
size included, by itself. fls lists every name of the directory indexes
(hard links and deleted entries too) and the named streams; a record's row
must carry one of the paths fls gives it. What fls lists but the report
cannot hold is left out and counted by reason.

fls places a record whose parent is gone, or now holds another file, under
its own folder $OrphanFiles, with the names below the break; with
named_orphans those entries are compared too (the report then must write
them under "\\$OrphanFiles\\"), else left out with the unnamed records."""

import re
import subprocess
from collections import Counter, defaultdict
from typing import Callable, Dict, List, NamedTuple, Set, Tuple

TYPE_DATA = 128
ORPHAN_FOLDER = "$OrphanFiles"
# "r/r 66-128-4:\tdir/file.txt:stream", "-/d * 67-144-2:\tdel", "V/V 73:\t$OrphanFiles"
FLS_LINE = re.compile(r"^\S+ (\* )?(\d+)(?:-(\d+)-\d+)?(?:\(realloc\))?:\t(.*)$")

Key = Tuple[str, str]   # (record number, stream name or "")


class FlsEntry(NamedTuple):
    deleted: bool
    recno: str
    attribute_type: int   # 0: fls names no attribute (a record it found no name for)
    directory: bool
    path: str


class PathComparison(NamedTuple):
    counts: Dict[str, int]
    differences: List[Tuple[str, str]]   # (kind, what differs)
    named: Dict[Key, Set[str]]           # the report paths fls gives each record and stream


def canonical(path: str) -> str:
    """fls prints a control character as "^", the tool as U+FFFD (C1 included)."""
    return re.sub("[\x00-\x1f\x7f-\x9f\ufffd^]", "^", path)


def fls_entries(image: str) -> List[FlsEntry]:
    listing = subprocess.run(["fls", "-r", "-p", image], check=True, capture_output=True, timeout=300).stdout
    entries = []
    for line in listing.decode("utf-8", "surrogateescape").split("\n"):
        match = FLS_LINE.match(line)
        if match:
            deleted, recno, attribute_type, path = match.groups()
            entries.append(FlsEntry(deleted is not None, recno, int(attribute_type or 0),
                                    line[2:3] == "d", path))
    return entries


def split_stream(path: str) -> Tuple[str, str]:
    """("dir/file", "stream") of "dir/file:stream"; the stream is "" for the file itself."""
    head, _, last = path.rpartition("/")
    name, _, stream = last.partition(":")
    return (head + "/" if head else "") + name, stream


def named_paths(entries: List[FlsEntry], report_path: Callable[[str, bool, str], str], counts: Counter,
                named_orphans: bool = False) -> Dict[Key, Set[str]]:
    """The FullPath values that fls's entries give each record and stream."""
    wanted = defaultdict(set)
    for entry in entries:
        counts["entries"] += 1
        made, stream = split_stream(entry.path)
        if entry.path.startswith(ORPHAN_FOLDER) and (not named_orphans or entry.attribute_type == 0):
            counts["orphans"] += 1   # fls's own folder, and the records it found no name for
        elif ":" in entry.path.rpartition("/")[2] and entry.attribute_type != TYPE_DATA:
            counts["indexes"] += 1   # a named index ($O, $SDH), not a data stream
        else:
            wanted[(entry.recno, stream)].add(canonical(report_path(made, entry.deleted, stream)))
    return wanted


def compare_paths(image: str, rows: List[Dict[str, str]], report_path: Callable[[str, bool, str], str],
                  named_orphans: bool = False) -> PathComparison:
    """report_path turns a "/"-separated path, deleted or not, and a stream
    name into the FullPath the tool writes (50-name bound, "?" when deleted)."""
    found = {(row["RecNo"], row["Filename"].rpartition(":")[2] if row["ADS"] == "1" else ""):
             canonical(row["FullPath"]) for row in rows}
    counts = Counter({"entries": 0, "compared": 0, "agreed": 0, "orphans": 0, "indexes": 0, "reused": 0})
    wanted = named_paths(fls_entries(image), report_path, counts, named_orphans)
    differences = []
    for key, paths in sorted(wanted.items(), key=lambda item: (int(item[0][0]), item[0][1])):
        counts["compared"] += 1
        row_path = found.get(key)
        if row_path in paths:
            counts["agreed"] += 1
        elif row_path is not None and not row_path.startswith("?") and all(p.startswith("?") for p in paths):
            counts["reused"] += 1    # only deleted names lead to a record that now holds another file
        else:
            if row_path is None:
                kind = "no row for what fls lists"
            elif all(ORPHAN_FOLDER in p for p in paths):
                kind = "not under $OrphanFiles where fls places it"
            else:
                kind = "a path fls does not give"
            differences.append((kind, "fls names record %s%s %r; the report has %r"
                                % (key[0], ":" + key[1] if key[1] else "", sorted(paths), row_path)))
    return PathComparison(counts, differences, wanted)


def compare_with_fls(image: str, rows: List[Dict[str, str]],
                     report_path: Callable[[str, bool, str], str], problems: List[str]) -> Dict[str, int]:
    comparison = compare_paths(image, rows, report_path)
    problems.extend(what for _, what in comparison.differences)
    return comparison.counts
