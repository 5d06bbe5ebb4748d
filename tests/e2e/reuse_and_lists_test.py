#!/usr/bin/python3
"""Reused folders and attribute lists on a real NTFS volume, compared with
The Sleuth Kit.

The volume (volume_tree's helpers, filled through ntfs-3g in three mounts):
  1. "gone" (a.txt, b.txt, sub/secret.docx), "trash" (t1.txt, inner/t2.txt),
     "keep/k.txt", "many-streams.txt" with 40 named streams, and
     "links/original.txt" with 60 more names in links/d1..d3 and 8 streams
     written after the links;
  2. "gone" and "trash" deleted with everything in them;
  3. "newdir" and "newfile.txt" made: at a fresh mount ntfs-3g hands out the
     lowest free record, so they take the records of "gone" and "gone/a.txt".
b.txt and sub now name a parent whose record holds another folder under a
sequence number one higher: fls puts them, and sub/secret.docx with them,
under $OrphanFiles. trash's record is free with a sequence number one
higher than its files name: they keep their path. The base records of
many-streams.txt and original.txt get an $ATTRIBUTE_LIST, their $FILE_NAMEs
and streams partly (many-streams.txt's $FILE_NAME wholly) in extension
records: istat shows where, and the test refuses a volume that lacks a case.

The $MFT is extracted with `icat IMAGE 0`; the report (-l), the body file
(-b), -f and -a are compared with `fls -r -p` and `fls -r -m /`, $OrphanFiles
included: every record's path and streams, each stream's size, the names
-f and -a list, and every body line. What differs by design is listed in
INTENDED_DIFFERENCES (here and in body_file_test.py); everything else is
printed grouped by kind, and the test fails.
Without root, FUSE or the tools, it prints SKIPPED and exits with 77.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time
from collections import defaultdict
from typing import Dict, List, NamedTuple, Set, Tuple

sys.dont_write_bytecode = True  # the helper modules sit in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from body_file_test import (FILE_NAME_MARK, INTENDED_DIFFERENCES as BODY_DIFFERENCES, BodyLine,  # noqa: E402
                            body_differences, file_path, parse_body, record_of, unescaped)
from expected_output import LONG_COLUMNS  # noqa: E402
from fls_paths import ORPHAN_FOLDER, TYPE_DATA, FlsEntry, compare_paths, fls_entries, split_stream  # noqa: E402
from istat_view import IstatRecord, istat  # noqa: E402
from real_volume_test import (RECORD_SIZES, SKIP_EXIT_CODE, extract_mft, fill_in_sessions,  # noqa: E402
                              format_volume, ready_to_mount, report_path)
from varneth_run import OutputError, decode_utf8, listing_lines, report_rows, run_tool  # noqa: E402
from volume_tree import Made, create_entry, delete_marked  # noqa: E402

LINKS = 60
STREAMS = 40
STREAM_DATA = 64      # bytes: 40 such resident streams overflow a 4096-byte record too
LINKED_STREAMS = 8
TYPE_FILE_NAME = 48
ROOT = "5"
SHOWN_PER_KIND = 8     # differences printed of each kind (all are counted)
SHOWN_WIDTH = 200

# Where the report and listings part from fls by design.
INTENDED_DIFFERENCES = {
    "hard links": "fls lists every name of a file, and its streams under each; the report has one row "
                  "per record (its chosen name) and -f one block: any of fls's names is accepted",
    "unnamed records": "fls lists records it found no name for as $OrphanFiles/OrphanFile-N; the report "
                       "and the listings leave unnamed records out",
    "index attributes": "fls lists named indexes ($O, $SDH); the report has rows for $DATA streams only",
    "root": "fls -r lists no entry for the root itself; the report has its row",
    "no unnamed $DATA": "a record without an unnamed $DATA ($Secure, $Extend/*) is listed by fls through "
                        "its streams or indexes only; the report has the record's row too",
}


def first_session() -> List[Made]:
    """Created in this order: the folders to delete first, so that theirs are the lowest free records."""
    made = [Made("gone", True, deleted=True), Made("gone/a.txt", data=b"a\n", deleted=True),
            Made("gone/b.txt", data=b"b\n", deleted=True), Made("gone/sub", True, deleted=True),
            Made("gone/sub/secret.docx", data=b"secret " * 100, deleted=True),
            Made("trash", True, deleted=True), Made("trash/t1.txt", data=b"t1\n", deleted=True),
            Made("trash/inner", True, deleted=True), Made("trash/inner/t2.txt", data=b"t2" * 1000, deleted=True),
            Made("keep", True), Made("keep/k.txt", data=b"kept\n"),
            Made("many-streams.txt", data=b"main\n",
                 streams={"stream-%02d" % i: bytes([65 + i]) * STREAM_DATA for i in range(STREAMS)})]
    made += [Made(folder, True) for folder in ("links", "links/d1", "links/d2", "links/d3")]
    made.append(Made("links/original.txt", data=b"linked\n",
                     links=["links/d%d/link-number-%02d.txt" % (i % 3 + 1, i) for i in range(LINKS)],
                     streams={"after-%d" % i: b"after" * i for i in range(LINKED_STREAMS)}))
    return made


def build(work: str, record_size: int) -> Tuple[str, str]:
    image = format_volume(work, record_size)
    made = first_session()
    reusers = [Made("newdir", True), Made("newfile.txt", data=b"new\n")]
    fill_in_sessions(work, image, [lambda root: [create_entry(root, item) for item in made],
                                   lambda root: delete_marked(root, made),
                                   lambda root: [create_entry(root, item) for item in reusers]])
    return image, extract_mft(work, image, record_size)


def show_attribute_list(record: IstatRecord, path: str, differences: List[Tuple[str, str]]) -> None:
    """istat's $ATTRIBUTE_LIST line and, for $FILE_NAME and $DATA, where the list places them."""
    print("istat IMAGE %s  (%s)\n    %s" % (record.recno, path, record.list_line))
    for kind in (TYPE_FILE_NAME, TYPE_DATA):
        lines = [(line, r) for (t, _, r), line in zip(record.listed, record.listed_lines) if t == kind]
        moved = [line for line, r in lines if r != record.recno]
        kept = [line for line, r in lines if r == record.recno]
        held_in = sorted({int(r) for _, r in lines if r != record.recno})
        print("    type %d: %d entries, %d in the base record, %d in extension records %s; e.g.:"
              % (kind, len(lines), len(kept), len(moved),
                 "%d-%d (%d records)" % (held_in[0], held_in[-1], len(held_in)) if held_in else "(none)"))
        print("".join("        %s\n" % line for line in moved[:2] + kept[:1]), end="")
        if not moved:
            differences.append(("volume", "%s: no type %d attribute in an extension record" % (path, kind)))
        if kind == TYPE_FILE_NAME and path == "many-streams.txt" and kept:
            differences.append(("volume", "many-streams.txt keeps a $FILE_NAME in its base record"))


def show_reuse(image: str, records: Dict[str, IstatRecord], recno: Dict[str, str],
               differences: List[Tuple[str, str]]) -> None:
    """The parent each case names, and what that parent's record holds now."""
    for child, held_by, in_use in ((ORPHAN_FOLDER + "/b.txt", "newdir", True),
                                   (ORPHAN_FOLDER + "/sub/secret.docx", "sub", False),
                                   ("trash/t1.txt", "trash", False)):
        _, parent, sequence = records[recno[child]].names[0]
        holder = records.get(parent) or istat(image, parent)
        holder_names = [name for name, _, _ in holder.names]
        print("record %s (%s) names parent %s sequence %d; record %s: %s, sequence %d, %s"
              % (recno[child], child, parent, sequence, parent, "in use" if holder.allocated else "free",
                 holder.sequence, holder_names))
        if (holder.allocated, holder.sequence, holder_names[:1]) != (in_use, sequence + 1, [held_by]):
            differences.append(("volume", "%s: its parent record does not hold %r, %s, at sequence %d"
                                % (child, held_by, "in use" if in_use else "free", sequence + 1)))
    reused_file = records[recno["newfile.txt"]]
    print("record %s (newfile.txt): sequence %d" % (reused_file.recno, reused_file.sequence))
    if reused_file.sequence < 2:
        differences.append(("volume", "newfile.txt took a record never used before"))


def check_volume(image: str, entries: List[FlsEntry], differences: List[Tuple[str, str]]) -> Set[str]:
    """Prints istat's evidence of each case and returns the records that have an attribute list;
    a case the volume lacks is a difference of kind "volume"."""
    recno = {e.path: e.recno for e in entries}
    missing = [p for p in ("many-streams.txt", "links/original.txt", "newdir", "newfile.txt", "trash/t1.txt",
                           ORPHAN_FOLDER + "/b.txt", ORPHAN_FOLDER + "/sub/secret.docx") if p not in recno]
    if missing:
        differences.append(("volume", "fls lists none of %r" % missing))
        return set()
    records = {r: istat(image, r) for r in sorted({e.recno for e in entries if e.attribute_type}, key=int)}
    for path in ("many-streams.txt", "links/original.txt"):
        show_attribute_list(records[recno[path]], path, differences)
    show_reuse(image, records, recno, differences)
    return {r for r, record in records.items() if record.listed}


def check_report(image: str, entries: List[FlsEntry], rows: List[Dict[str, str]], fls_text: str,
                 differences: List[Tuple[str, str]]) -> Dict[str, int]:
    """Each record's and stream's path against fls -p, $OrphanFiles included; each row
    that fls does not name; each file's and stream's size against fls -m."""
    comparison = compare_paths(image, rows, report_path, named_orphans=True)
    differences.extend(comparison.differences)
    listed_records = {entry.recno for entry in entries}
    seen = set()
    for row in rows:
        key = (row["RecNo"], row["Filename"].rpartition(":")[2] if row["ADS"] == "1" else "")
        if key in seen:
            differences.append(("two rows for one record or stream", "%s %r" % key))
        seen.add(key)
        if key not in comparison.named and key[0] != ROOT and not (key[1] == "" and key[0] in listed_records):
            differences.append(("a row fls does not name", "record %s: %r" % (key[0], row["FullPath"])))
    sizes = {(line.inode.split("-")[0], split_stream(line.name)[1].partition(" (")[0]): line.size
             for line in parse_body(fls_text, raw_pipes=True) if line.inode.split("-")[1:2] == [str(TYPE_DATA)]}
    for row in rows:
        key = (row["RecNo"], row["Filename"].rpartition(":")[2] if row["ADS"] == "1" else "")
        if row["Directory"] == "0" and key in sizes and row["ActualSize"] != str(sizes[key]):
            differences.append(("size differs from fls", "record %s%s: the report has %r, fls %d"
                                % (key[0], ":" + key[1] if key[1] else "", row["ActualSize"], sizes[key])))
    comparison.counts["sizes"] = sum(1 for key in sizes if key in seen)
    return comparison.counts


def check_file_name_lines(body: List[BodyLine], entries: List[FlsEntry], listed_records: Set[str],
                          differences: List[Tuple[str, str]]) -> None:
    """A record with an attribute list gets a $FILE_NAME line for each name fls gives it."""
    for recno in sorted(listed_records, key=int):
        names = {"/" + split_stream(e.path)[0] for e in entries if e.recno == recno and e.attribute_type}
        lines = {file_path(unescaped(line.name)) for line in body
                 if record_of(line) == recno and FILE_NAME_MARK in line.name}
        if names != lines:
            differences.append(("body file: $FILE_NAME lines of a record with an attribute list",
                                "record %s: %d of its %d names have a line%s"
                                % (recno, len(names & lines), len(names),
                                   ", and %r that fls does not give" % sorted(lines - names) if lines - names else "")))


class Block(NamedTuple):
    name: str
    streams: Tuple[str, ...]


def listed_files(entries: List[FlsEntry]) -> List[Tuple[str, Set[str], Set[str]]]:
    """(record, its names, its stream names) of each file fls lists, in record order."""
    names, streams, directories = defaultdict(set), defaultdict(set), set()
    for entry in entries:
        if entry.attribute_type == 0 and entry.path.startswith(ORPHAN_FOLDER):
            continue
        made, stream = split_stream(entry.path)
        names[entry.recno].add(made.rpartition("/")[2])
        if stream and entry.attribute_type == TYPE_DATA:
            streams[entry.recno].add(stream)
        if entry.directory:
            directories.add(entry.recno)
    return [(r, names[r], streams[r]) for r in sorted(names, key=int) if r not in directories]


def blocks_of(lines: List[str], headed: bool) -> List[Block]:
    """-f: a name and its "name:stream" lines; -a: runs of "name:stream" lines under one name."""
    blocks: List[Block] = []
    for line in lines:
        name, colon, stream = line.partition(":")
        if colon and blocks and blocks[-1].name == name:
            blocks[-1] = Block(name, blocks[-1].streams + (stream,))
        else:
            blocks.append(Block(name, (stream,) if colon and not headed else ()))
    return blocks


def check_listing(switch: str, blocks: List[Block], files: List[Tuple[str, Set[str], Set[str]]],
                  differences: List[Tuple[str, str]]) -> int:
    """The blocks in record order against fls's files: one block per file, under one of its names,
    with all its streams. Returns the files that agree."""
    agreed, at = 0, 0
    for block in blocks:
        match = next((i for i in range(at, len(files)) if block.name in files[i][1]), None)
        if match is None:
            differences.append((switch + " lists what fls does not", "%r with %d stream(s)"
                                % (block.name, len(block.streams))))
            continue
        for recno, names, streams in files[at:match]:
            differences.append((switch + " lacks a file fls lists", "record %s %r, %d stream(s)"
                                % (recno, sorted(names)[:3], len(streams))))
        recno, _, streams = files[match]
        if set(block.streams) != streams or len(block.streams) != len(streams):
            differences.append((switch + " streams differ from fls", "record %s %r: %d listed, fls %d; missing %r"
                                % (recno, block.name, len(block.streams), len(streams),
                                   sorted(streams - set(block.streams))[:5])))
        else:
            agreed += 1
        at = match + 1
    for recno, names, streams in files[at:]:
        differences.append((switch + " lacks a file fls lists", "record %s %r, %d stream(s)"
                            % (recno, sorted(names)[:3], len(streams))))
    return agreed


def run_size(binary: str, record_size: int) -> int:
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="varneth-reuse-") as work:
        image, mft = build(work, record_size)
        built = time.monotonic()
        differences: List[Tuple[str, str]] = []
        entries = fls_entries(image)
        print("== %d-byte records" % record_size)
        listed_records = check_volume(image, entries, differences)
        fls_text = subprocess.run(["fls", "-r", "-m", "/", image], check=True, capture_output=True,
                                  timeout=300).stdout.decode("utf-8", "replace")
        counts = check_report(image, entries, report_rows(binary, mft, ["-l"], LONG_COLUMNS), fls_text,
                              differences)
        files = listed_files(entries)
        with_streams = [f for f in files if f[2]]
        f_agreed = check_listing("-f", blocks_of(listing_lines(binary, mft, "-f"), True), files, differences)
        a_agreed = check_listing("-a", blocks_of(listing_lines(binary, mft, "-a"), False), with_streams,
                                 differences)
        body_file = os.path.join(work, "timeline.body")
        run_tool(binary, ["-b", body_file, "-o", os.path.join(work, "report.tsv"), mft], work)
        with open(body_file, "rb") as data:
            body = parse_body(decode_utf8(data.read(), "the body file"), raw_pipes=False)
        body_counts, body_found = body_differences(fls_text, body, listed_records)
        differences += [("body file: " + kind, what) for kind, what in body_found]
        check_file_name_lines(body, entries, listed_records, differences)
    print("report vs fls -p: %(entries)d entries, %(compared)d records and streams, %(agreed)d agree, "
          "%(sizes)d sizes compared; left out: %(orphans)d unnamed records, %(indexes)d named indexes, "
          "%(reused)d deleted names of reused records" % counts)
    print("-f: %d of %d files agree; -a: %d of %d files with streams agree"
          % (f_agreed, len(files), a_agreed, len(with_streams)))
    print("body vs fls -m: " + ", ".join("%s %d" % item for item in sorted(body_counts.items())))
    print("time: volume %.1f s, checks %.1f s" % (built - started, time.monotonic() - built))
    grouped = defaultdict(list)
    for kind, what in differences:
        grouped[kind].append(what)
    for kind, items in sorted(grouped.items()):
        print("  [%s] %d" % (kind, len(items)))
        print("".join("      %s\n" % what[:SHOWN_WIDTH] for what in items[:SHOWN_PER_KIND]), end="")
        if len(items) > SHOWN_PER_KIND:
            print("      ... and %d more" % (len(items) - SHOWN_PER_KIND))
    print("%d-byte records: %s" % (record_size, "%d difference(s)" % len(differences) if differences
                                   else "no difference"))
    return len(differences)


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--record-size", type=int, choices=RECORD_SIZES, action="append")
    arguments = parser.parse_args()
    if not ready_to_mount():
        return SKIP_EXIT_CODE
    for part, intended in (("report and listings", INTENDED_DIFFERENCES), ("body file", BODY_DIFFERENCES)):
        print("intended differences, %s:" % part)
        print("".join("  %s: %s\n" % item for item in intended.items()), end="")
    try:
        found = sum(run_size(os.path.abspath(arguments.binary), size)
                    for size in arguments.record_size or RECORD_SIZES)
    except (OutputError, RuntimeError, OSError, subprocess.SubprocessError) as error:
        print("FAILED: %s" % error)
        return 1
    print("FAILED: %d difference(s)" % found if found else "All checks passed.")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
