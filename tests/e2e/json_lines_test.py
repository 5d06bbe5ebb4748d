#!/usr/bin/python3
r"""Checks the JSON Lines that `varneth -j` writes, on real $MFT files and on
a real NTFS volume:

  json_lines_test.py VARNETH files                      samples/sample.mft, every tests/data/*.mft
  json_lines_test.py VARNETH volume --record-size N     a volume made with mkntfs, filled through ntfs-3g

Each input is run as `-j out.jsonl -o r.txt`, `-j - -o r.txt` and `-o r.txt`:
  * the file is UTF-8 and every line, ended by a lone LF, is one JSON object
    without a repeated key that validates against doc/varneth-record.schema.json
    (draft 2020-12); pandas' read_json(lines=True) and `jq -c .` read as many
    lines, with the same record numbers;
  * there is one line for each record whose first four bytes are "FILE", in
    record order, and its header fields (sequence, link count, in use,
    directory, base reference) are those of the record's bytes;
  * the closing summary counts the lines (FILE records, in use, extension
    records, failed decoding) and the report's rows;
  * the report is byte for byte the one of the run without -j; with `-j -`
    standard output holds the same bytes as the file, and standard error the
    console of the `-j out.jsonl` run (its seconds masked);
  * with 1024-byte records, every record libfsntfs reads agrees with its
    line: sequence, allocation, base record, the $STANDARD_INFORMATION flags,
    ids, journal number and four times to 100 ns, each $FILE_NAME's name,
    namespace, parent reference, flags and four times; both timestomp signs
    follow from them;
  * a copy of the sample whose record 20 fails its update sequence: the
    record keeps its line, with its header, decoded false and the errors.

The volume: the real-volume test's tree (volume_tree.py) after a file with
40 streams, whose name and streams move to extension records, and a file
whose four $STANDARD_INFORMATION times are then set back to whole seconds in
the image (as a tool that sets times does; its $FILE_NAME keeps the real
ones); at a second mount two entries take the records of a deleted file and
a deleted folder, so the file deleted in that folder is an orphan (fls lists
it under $OrphanFiles). The tool is run on the image and on its $MFT as
`icat IMAGE 0` extracts it: the lines must be the same. Every line is
compared with `istat IMAGE N` (sequence, allocation, directory, link count,
base record, the $STANDARD_INFORMATION flags, ids and times,
each $FILE_NAME's name, parent reference, flags, sizes and times, each $DATA
stream's name, residence and sizes) and the signs with istat's times; the
paths and path_status with `fls -r -p IMAGE`; the set-back file's signs
with what was done to it.

The comparisons with libfsntfs, istat and fls are in json_line_references.py,
and what differs by design is listed in its INTENDED_DIFFERENCES. Without pandas,
jsonschema or jq, and for the volume without root, FUSE or the tools, the
test prints SKIPPED and exits with 77.
"""

import argparse
import glob
import importlib.util
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from typing import Dict, List, NamedTuple, Optional, Tuple

sys.dont_write_bytecode = True  # the helper modules sit in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from fls_paths import fls_entries  # noqa: E402
from image_layouts import mft_clusters  # noqa: E402
from istat_view import FILETIME_TICKS_PER_SECOND, SECONDS_FROM_1601_TO_1970  # noqa: E402
from json_line_references import (INTENDED_DIFFERENCES, compare_paths_with_fls, compare_with_istat,  # noqa: E402
                                  compare_with_libfsntfs)
from libfsntfs_view import REFERENCE_RECNO_MASK  # noqa: E402
from real_volume_test import (RECORD_SIZES, SKIP_EXIT_CODE, extract_mft, fill_in_sessions,  # noqa: E402
                              format_volume, ready_to_mount)
from reuse_and_lists_test import STREAM_DATA, STREAMS  # noqa: E402
from varneth_run import OutputError, run_captured  # noqa: E402
from volume_tree import CLUSTER_SIZE, Made, create_entry, create_tree, tree_plan  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCHEMA = os.path.join(REPO, "doc", "varneth-record.schema.json")
JSON_NAME = "out.jsonl"
REPORT_NAME = "r.txt"   # the same in every run: the console names it
SHOWN_PROBLEMS = 60
SUMMARY = re.compile(r"^Summary: ([\d,]+) records read, ([\d,]+) FILE records: ([\d,]+) in use, ([\d,]+) not in use, "
                     r"([\d,]+) extension records, ([\d,]+) failed decoding; ([\d,]+) rows written; [\d.]+ s\.$", re.M)
SUMMARY_SECONDS = re.compile(rb"; [\d.]+ s\.$", re.M)
# The set-back file: its four $STANDARD_INFORMATION times (2020-01-02 03:04:05 UTC on).
SET_BACK_NAME = "set-back.txt"
SET_BACK_TIME = (1577934245 + SECONDS_FROM_1601_TO_1970) * FILETIME_TICKS_PER_SECOND
PLAIN_NAME = "archive.tar.gz"   # a file made the ordinary way
DAMAGED_RECORD = 20   # of the sample, whose copy has the end of the record's first sector changed
ORPHAN_NAME = "deleted-inner.txt"   # deleted in a folder whose record is reused
DEEP_NAME = "bottom.txt"             # below more folders than the path walk follows

class Run(NamedTuple):
    lines: List[dict]
    data: bytes          # the JSON file as written


# --- The lines as a file ------------------------------------------------------------------------

def missing_reader() -> Optional[str]:
    for module, package in (("jsonschema", "python3-jsonschema"), ("pandas", "python3-pandas"),
                            ("pyfsntfs", "python3-libfsntfs")):
        if importlib.util.find_spec(module) is None:
            return package + " is not installed"
    return next((tool + " is not installed" for tool in ("jq", "fsntfsinfo") if shutil.which(tool) is None), None)


def schema_validator():
    import jsonschema  # here, so that a missing module gives SKIPPED
    with open(SCHEMA, encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    jsonschema.Draft202012Validator.check_schema(schema)
    return jsonschema.Draft202012Validator(schema)


def without_repeated_keys(pairs):
    keys = [key for key, _ in pairs]
    if len(set(keys)) != len(keys):
        raise ValueError("a key appears twice: %r" % keys)
    return dict(pairs)


def parse_lines(data: bytes, what: str, validator, problems: List[str]) -> List[dict]:
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as error:
        problems.append("%s is not UTF-8: %s" % (what, error))
        return []
    if data and not data.endswith(b"\n") or b"\r" in data:
        problems.append("%s: the lines do not all end with a lone LF" % what)
    lines = []
    for number, line in enumerate(text.split("\n")[:-1], start=1):
        try:
            value = json.loads(line, object_pairs_hook=without_repeated_keys)
        except ValueError as error:
            problems.append("%s line %d is not JSON: %s" % (what, number, error))
            continue
        for error in validator.iter_errors(value):
            problems.append("%s line %d: %s at %s" % (what, number, error.message[:200], list(error.absolute_path)))
        if isinstance(value, dict) and isinstance(value.get("record"), int):
            lines.append(value)
    return lines


def check_readers(path: str, lines: List[dict], what: str, problems: List[str]) -> None:
    """pandas and jq read the file as the same records."""
    import pandas
    records = [line["record"] for line in lines]
    frame = pandas.read_json(path, lines=True)
    if list(frame["record"]) != records:
        problems.append("%s: pandas reads %d rows, not the %d lines' records" % (what, len(frame), len(records)))
    with open(path, "rb") as data:
        done = subprocess.run(["jq", "-c", "."], stdin=data, capture_output=True, timeout=300)
    read = [json.loads(line)["record"] for line in done.stdout.decode("utf-8").split("\n")[:-1]]
    if done.returncode != 0 or read != records:
        problems.append("%s: jq -c . exits with %d and gives %d objects, not the %d lines' records: %s"
                        % (what, done.returncode, len(read), len(records), done.stderr[:200]))


def run_all_ways(binary: str, source: str, work: str, what: str, validator, problems: List[str]) -> Run:
    """The runs with -j FILE, -j - and without -j, each in a folder of its own."""
    folders = {}
    for name in ("plain", "file", "stdout"):
        folders[name] = os.path.join(work, name)
        os.makedirs(folders[name])
    report = ["-o", REPORT_NAME, source]
    plain = run_captured(binary, report, folders["plain"])
    to_file = run_captured(binary, ["-j", JSON_NAME] + report, folders["file"])
    to_stdout = run_captured(binary, ["-j", "-"] + report, folders["stdout"])
    reports = {}
    for name, folder in folders.items():
        with open(os.path.join(folder, REPORT_NAME), "rb") as written:
            reports[name] = written.read()
    json_path = os.path.join(folders["file"], JSON_NAME)
    with open(json_path, "rb") as written:
        data = written.read()
    if not reports["plain"] or reports["file"] != reports["plain"] or reports["stdout"] != reports["plain"]:
        problems.append("%s: the report with -j differs from the one without" % what)
    if to_stdout.stdout != data:
        problems.append("%s: -j - wrote other bytes on standard output than -j FILE in its file" % what)
    if to_file.stderr or plain.stderr:
        problems.append("%s: a run with the console on standard output wrote on standard error: %r"
                        % (what, (to_file.stderr + plain.stderr)[:200]))
    if SUMMARY_SECONDS.sub(b"", to_stdout.stderr) != SUMMARY_SECONDS.sub(b"", to_file.stdout):
        problems.append("%s: the console of -j - (standard error) differs from that of -j FILE:\n%r\n%r"
                        % (what, to_stdout.stderr[-300:], to_file.stdout[-300:]))
    lines = parse_lines(data, what, validator, problems)
    check_readers(json_path, lines, what, problems)
    check_summary(to_file.stdout.decode("utf-8", "replace"), lines, reports["plain"], what, problems)
    return Run(lines, data)


def check_summary(console: str, lines: List[dict], report: bytes, what: str, problems: List[str]) -> None:
    match = SUMMARY.search(console)
    if match is None:
        problems.append("%s: no closing summary on the console" % what)
        return
    counts = [int(count.replace(",", "")) for count in match.groups()[1:]]
    in_use = sum(line["in_use"] for line in lines)
    wanted = [len(lines), in_use, len(lines) - in_use,
              sum(line["decoded"] and line["base_record"] is not None for line in lines),
              sum(not line["decoded"] for line in lines), report.count(b"\n") - 1]
    if counts != wanted:
        problems.append("%s: the summary counts %s; the lines and the report %s" % (what, counts, wanted))


# --- The lines against the records' bytes --------------------------------------------------------

def file_records(mft_path: str) -> Tuple[int, Dict[int, bytes]]:
    """The number of records and those that begin with "FILE", by number; the record
    size is the first record's, as the tool takes it."""
    with open(mft_path, "rb") as mft:
        data = mft.read()
    record_size = int.from_bytes(data[28:32], "little")
    if data[:4] != b"FILE" or record_size not in RECORD_SIZES:
        raise RuntimeError("%s: record 0 gives no record size" % mft_path)
    blocks = (data[at:at + record_size] for at in range(0, len(data) - record_size + 1, record_size))
    return len(data) // record_size, {n: block for n, block in enumerate(blocks) if block[:4] == b"FILE"}


def header_fields(block: bytes) -> dict:
    sequence, links, flags = struct.unpack_from("<HH2xH", block, 16)
    base = int.from_bytes(block[32:40], "little")
    return {"sequence": sequence, "link_count": links, "in_use": bool(flags & 1), "directory": bool(flags & 2),
            "base_record": {"record": base & REFERENCE_RECNO_MASK, "sequence": base >> 48} if base else None}


def check_against_bytes(lines: List[dict], mft_path: str, what: str, problems: List[str]) -> int:
    """One line per FILE record, in order, with the record's header fields."""
    _, blocks = file_records(mft_path)
    numbers = [line["record"] for line in lines]
    if numbers != sorted(blocks):
        problems.append("%s: lines for records %s..., the FILE records are %s..."
                        % (what, numbers[:12], sorted(blocks)[:12]))
    for line in lines:
        if line["record"] in blocks:
            want = header_fields(blocks[line["record"]])
            got = {key: line[key] for key in want}
            if got != want:
                problems.append("%s record %d: header %s, the bytes say %s" % (what, line["record"], got, want))
        if not line["decoded"] and not line["errors"]:
            problems.append("%s record %d: decoding failed, and errors does not say why" % (what, line["record"]))
    return len(blocks)


def check_known_signs(lines: List[dict], problems: List[str]) -> None:
    """What was done to the volume's files, apart from any reader; and that it has what the test covers."""
    by_name = {n["name"]: line for line in lines if line["base_record"] is None for n in line["file_names"]}
    for name, signs, status in ((SET_BACK_NAME, (True, True), "ok"), (PLAIN_NAME, (False, False), "ok"),
                                (ORPHAN_NAME, None, "orphan"), (DEEP_NAME, None, "orphan")):
        line = by_name.get(name)
        if line is None:
            problems.append("no line names %s" % name)
            continue
        got = line["timestomp_signs"]
        if signs and (got["si_created_before_fn_created"], got["si_times_whole_seconds"]) != signs:
            problems.append("%s: timestomp signs %s, not %s" % (name, got, signs))
        if line["path_status"] != status:
            problems.append("%s: path_status %r, not %r" % (name, line["path_status"], status))
    if not any(line["base_record"] is not None and line["file_names"] for line in lines):
        problems.append("no extension record holds a $FILE_NAME")


# --- The volume ---------------------------------------------------------------------------------

def set_back_times(image: str, mft_path: str, record_size: int, recno: int) -> None:
    """Writes whole-second times over the record's four $STANDARD_INFORMATION times, in
    the image: its $FILE_NAME keeps the times of its creation."""
    _, blocks = file_records(mft_path)
    block = blocks[recno]
    at = int.from_bytes(block[20:22], "little")   # the first attribute: $STANDARD_INFORMATION
    if int.from_bytes(block[at:at + 4], "little") != 0x10:
        raise RuntimeError("record %d does not begin with $STANDARD_INFORMATION" % recno)
    value = at + int.from_bytes(block[at + 20:at + 22], "little")
    offset = recno * record_size + value
    if offset % 512 + 32 > 510:
        raise RuntimeError("record %d: its times reach a sector's update sequence" % recno)
    clusters = mft_clusters(image)
    with open(image, "r+b") as volume:
        volume.seek(clusters[offset // CLUSTER_SIZE] * CLUSTER_SIZE + offset % CLUSTER_SIZE)
        volume.write(struct.pack("<4Q", *(SET_BACK_TIME + i * FILETIME_TICKS_PER_SECOND for i in range(4))))


def build(work: str, record_size: int) -> Tuple[str, str]:
    image = format_volume(work, record_size)
    first = [Made(SET_BACK_NAME, data=b"set back\n"),
             Made("many-streams.txt", data=b"main\n",
                  streams={"stream-%02d" % i: bytes([65 + i]) * STREAM_DATA for i in range(STREAMS)})]
    reusers = [Made("reused-dir", True), Made("reused-file.txt", data=b"new\n")]
    plan = tree_plan()

    def fill(root: str) -> None:
        for item in first:
            create_entry(root, item)
        create_tree(root, plan)

    fill_in_sessions(work, image, [fill, lambda root: [create_entry(root, item) for item in reusers]])
    mft = extract_mft(work, image, record_size)
    recno = next(int(entry.recno) for entry in fls_entries(image) if entry.path == SET_BACK_NAME)
    set_back_times(image, mft, record_size, recno)
    return image, extract_mft(work, image, record_size)


# --- The runs ------------------------------------------------------------------------------------

def check_input(binary: str, source: str, mft_path: str, work: str, validator, problems: List[str]) -> Run:
    what = os.path.basename(source)
    run = run_all_ways(binary, source, work, what, validator, problems)
    file_count = check_against_bytes(run.lines, mft_path, what, problems)
    print("%s: %d lines, %d FILE records, %d bytes" % (what, len(run.lines), file_count, len(run.data)))
    return run


def check_files(binary: str, validator, problems: List[str]) -> None:
    sources = [os.path.join(REPO, "samples", "sample.mft")] + sorted(glob.glob(os.path.join(REPO, "tests", "data",
                                                                                             "*.mft")))
    with tempfile.TemporaryDirectory(prefix="varneth-json-") as work:
        for number, source in enumerate(sources):
            run = check_input(binary, source, source, os.path.join(work, str(number)), validator, problems)
            print("  compared with libfsntfs: %d records"
                  % compare_with_libfsntfs(source, run.lines, os.path.basename(source), problems))
        check_damaged(binary, sources[0], work, validator, problems)


def check_damaged(binary: str, sample: str, work: str, validator, problems: List[str]) -> None:
    """A record whose update sequence does not match fails decoding, but keeps its line and
    its header (the update sequence does not cover it). libfsntfs's tools refuse such a file."""
    damaged = os.path.join(work, "sample-damaged.mft")
    with open(sample, "rb") as original:
        data = bytearray(original.read())
    data[DAMAGED_RECORD * 1024 + 510] ^= 0xFF
    with open(damaged, "wb") as out:
        out.write(data)
    run = check_input(binary, damaged, damaged, os.path.join(work, "damaged"), validator, problems)
    line = next((line for line in run.lines if line["record"] == DAMAGED_RECORD), None)
    if line is None or line["decoded"] or not line["errors"]:
        problems.append("sample-damaged.mft: record %d decoded, or without errors: %s" % (DAMAGED_RECORD, line))


def check_volume(binary: str, record_size: int, validator, problems: List[str]) -> None:
    with tempfile.TemporaryDirectory(prefix="varneth-json-volume-") as work:
        started = time.monotonic()
        image, mft = build(work, record_size)
        print("%d-byte records: volume made in %.1f s" % (record_size, time.monotonic() - started))
        runs = [check_input(binary, source, mft, os.path.join(work, name), validator, problems)
                for name, source in (("image", image), ("mft", mft))]
        if runs[0].data != runs[1].data:
            problems.append("the lines of the image differ from those of its extracted $MFT")
        lines = runs[1].lines
        check_known_signs(lines, problems)
        print("  compared with istat: %d records" % compare_with_istat(image, lines, problems))
        counts = compare_paths_with_fls(image, lines, problems)
        print("  paths compared with fls: %(entries)d entries, %(compared)d records and streams, %(agreed)d agree; "
              "left out: %(orphans)d unnamed records, %(indexes)d named indexes, %(reused)d deleted names of "
              "reused records" % counts)
        if record_size == 1024:
            print("  compared with libfsntfs: %d records" % compare_with_libfsntfs(mft, lines, "mft", problems))


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("inputs", choices=("files", "volume"))
    parser.add_argument("--record-size", type=int, choices=RECORD_SIZES, default=1024)
    arguments = parser.parse_args()
    reason = missing_reader()
    if reason:
        print("SKIPPED: " + reason)
        return SKIP_EXIT_CODE
    if arguments.inputs == "volume" and not ready_to_mount():
        return SKIP_EXIT_CODE
    print("intended differences:")
    print("".join("  %s: %s\n" % item for item in INTENDED_DIFFERENCES.items()), end="")
    problems: List[str] = []
    started = time.monotonic()
    try:
        validator = schema_validator()
        if arguments.inputs == "files":
            check_files(os.path.abspath(arguments.binary), validator, problems)
        else:
            check_volume(os.path.abspath(arguments.binary), arguments.record_size, validator, problems)
    except (OutputError, RuntimeError, OSError, subprocess.SubprocessError) as error:
        print("FAILED: %s" % error)
        return 1
    print("".join("  %s\n" % problem[:600] for problem in problems[:SHOWN_PROBLEMS]), end="")
    if len(problems) > SHOWN_PROBLEMS:
        print("  ... and %d more" % (len(problems) - SHOWN_PROBLEMS))
    print("time: %.1f s" % (time.monotonic() - started))
    print("FAILED: %d problem(s)" % len(problems) if problems else "All checks passed.")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
