#!/usr/bin/python3
"""Builds a real NTFS volume, fills it through ntfs-3g and checks Varneth's
report and listings of its $MFT against what was created.

The volume is a sparse image file formatted by mkntfs and mounted with
ntfs-3g (streams_interface=windows, so "file:stream" opens a named stream).
It gets nested directories (a chain of them around the path walk's 50-name
limit), non-ASCII and non-BMP names, names of the greatest length, named
streams (small resident ones and a large non-resident one), a DOS name set
through the system.ntfs_dos_name attribute, names only the POSIX namespace
allows (two that differ only in case, a trailing dot, C0 and C1 control
characters), hard links, a directory with enough entries for its index to
leave the record, large, sparse and compressed files, and deleted files and
a deleted directory (volume_tree.py lists them all). After unmounting,
the $MFT is extracted as stored on the volume with `icat IMG 0` (its update
sequence still in place, as in a real extraction), and the tool is run on it.

With --record-size 4096 the volume is made with 4096-byte sectors, which
gives it 4096-byte FILE records, as on 4K-native disks.

Besides the checks against the created tree, every record's path is compared
with what The Sleuth Kit's fls lists on the image (fls_paths.py), and, for
1024-byte records, every record with libfsntfs exactly as the corpus
comparison does (compare_with_libfsntfs.py). libfsntfs 20200921 reads a bare
$MFT of 4096-byte records as 1024-byte ones, so there the default and short
formats are checked against the long one instead, and the volume's layout
through The Sleuth Kit's istat.
Without root, FUSE or the tools, the test prints SKIPPED and exits with 77.
"""

import argparse
import datetime
import importlib.util
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from typing import Callable, Dict, List, Optional, Tuple

sys.dont_write_bytecode = True  # the helper modules sit in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from compare_with_libfsntfs import compare_file  # noqa: E402
from expected_output import DEFAULT_COLUMNS, LONG_COLUMNS, SHORT_COLUMNS, sanitized, split_name  # noqa: E402
from fls_paths import compare_with_fls  # noqa: E402
from libfsntfs_view import NAME_SPACE_DOS, TYPE_INDEX_ALLOCATION, load_library_view  # noqa: E402
from varneth_run import OutputError, listing_lines, report_rows  # noqa: E402
from volume_tree import (CLUSTER_SIZE, COMPRESSION_UNIT_SIZE, MAX_PATH_NAMES, Made,  # noqa: E402
                         base_name, create_tree, tree_plan)

SKIP_EXIT_CODE = 77
IMAGE_SIZE = 32 * 1024 * 1024
RESIDENT_LIMIT = 100   # ntfs-3g keeps data this small in the record
NAME_SPACE_POSIX = 0
TOOLS = ("mkntfs", "ntfs-3g", "icat", "fls", "istat", "fsntfsinfo")
RECORD_SIZES = (1024, 4096)


def missing_prerequisite() -> Optional[str]:
    if os.geteuid() != 0:
        return "mounting with ntfs-3g needs root"
    if not os.path.exists("/dev/fuse"):
        return "/dev/fuse is missing"
    for tool in TOOLS:
        if shutil.which(tool) is None:
            return tool + " is not installed"
    if shutil.which("fusermount") is None and shutil.which("fusermount3") is None:
        return "fusermount is not installed"
    if importlib.util.find_spec("pyfsntfs") is None:
        return "python3-libfsntfs is not installed"
    return None


def ready_to_mount(extra_tools: Tuple[str, ...] = ()) -> bool:
    """Whether the test can run; if not, prints why (SKIPPED). Makes a
    termination signal unwind like an exception, so that the mount is always released."""
    reason = missing_prerequisite() or next((tool + " is not installed" for tool in extra_tools
                                             if shutil.which(tool) is None), None)
    if reason:
        print("SKIPPED: " + reason)
        return False
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, lambda number, frame: sys.exit(128 + number))
    return True


class MountedVolume:
    """An ntfs-3g mount of an image; unmounted on leaving, also after a failure."""

    def __init__(self, image: str, mount_point: str, log_path: str):
        self.image, self.mount_point = image, mount_point
        self.log = open(log_path, "wb")
        self.process: Optional[subprocess.Popen] = None

    def __enter__(self):
        # no_detach keeps ntfs-3g our child, so that unmounting can wait until it has written everything.
        self.process = subprocess.Popen(
            ["ntfs-3g", "-o", "streams_interface=windows,no_detach", self.image, self.mount_point],
            stdout=self.log, stderr=subprocess.STDOUT)
        try:
            self.wait_until_mounted()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def wait_until_mounted(self) -> None:
        deadline = time.monotonic() + 30
        while not os.path.ismount(self.mount_point):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("ntfs-3g did not mount the image (exit %s)" % self.process.poll())
            time.sleep(0.05)

    def unmount(self) -> None:
        mounted = os.path.ismount(self.mount_point)
        unmount_tool = shutil.which("fusermount") or shutil.which("fusermount3")
        if mounted:
            subprocess.run([unmount_tool, "-u", self.mount_point])
        if os.path.ismount(self.mount_point):  # busy: detach it now, release it when unused
            subprocess.run([unmount_tool, "-u", "-z", self.mount_point])
            raise RuntimeError("the volume was busy at unmount; its $MFT may be incomplete")
        if self.process is not None:
            try:
                self.process.wait(timeout=60 if mounted else 1)
            except subprocess.TimeoutExpired:
                self.process.terminate()
                self.process.wait(timeout=10)
            self.process = None

    def __exit__(self, *exc):
        try:
            self.unmount()
        finally:
            self.log.close()
        return False


def report_path(made_path: str, deleted: bool, stream: str = "") -> str:
    """The FullPath value: the walk reads at most 50 records, the root's included,
    so a path of 50 names or more keeps its last 50 under "\\$OrphanFiles"."""
    names = made_path.split("/")
    if len(names) >= MAX_PATH_NAMES:
        path = "\\$OrphanFiles\\" + "\\".join(names[-MAX_PATH_NAMES:])
    else:
        path = "\\" + "\\".join(names)
    path = sanitized(path + (":" + stream if stream else ""))
    return "?" + path + "?" if deleted else path


def round_up(size: int, unit: int) -> int:
    return -(-size // unit) * unit


def size_fields(size: int, compressed: bool, sparse: bool):
    """(ActualSize, AllocSize, Resident) where the layout is certain: tiny data
    is resident; a compressed stream takes whole compression units, a sparse
    one only what the volume chose; other data of 64 KiB or more whole clusters."""
    if size <= RESIDENT_LIMIT:
        return str(size), str(size), "1"
    if compressed:
        return str(size), str(round_up(size, COMPRESSION_UNIT_SIZE)), "0"
    if sparse:
        return str(size), None, "0"
    if size >= 65536:
        return str(size), str(round_up(size, CLUSTER_SIZE)), "0"
    return str(size), None, None


def expected_fields(item: Made, made_path: str, stream: str = "") -> Dict[str, Optional[str]]:
    filename, ext = split_name(base_name(made_path))
    fields = {"Deleted": "1" if item.deleted else "0", "Directory": "1" if item.directory else "0",
              "ADS": "1" if stream else "0", "Ext": sanitized(ext), "DOSFilename": item.dos_name,
              "Filename": sanitized(filename) + (":" + sanitized(stream) if stream else "")}
    if item.directory:
        fields.update({"ActualSize": "", "AllocSize": "", "Resident": "0"})
    else:
        size = len(item.streams[stream]) if stream else item.size
        fields["ActualSize"], fields["AllocSize"], fields["Resident"] = \
            size_fields(size, item.compressed and not stream, item.hole > 0 and not stream)
    fields["Compressed"] = "1" if item.compressed else "0"
    fields["SparseFile"] = "1" if item.hole else "0"
    return fields


def check_report(plan: List[Made], rows: List[Dict[str, str]], started: str, finished: str,
                 problems: List[str]) -> int:
    """Every created entry has its rows, by full path, with the values it was made with.
    A file with hard links has them under one of its names (the record's first)."""
    by_path = {}
    for row in rows:
        if row["FullPath"] in by_path:
            problems.append("two rows with the path %r" % row["FullPath"])
        by_path[row["FullPath"]] = row
    checked = 0
    for item in plan:
        for stream in [""] + list(item.streams):
            found = [(p, report_path(p, item.deleted, stream)) for p in item.paths]
            found = [(made, path) for made, path in found if path in by_path]
            if len(found) != 1:
                problems.append("expected one row under %r, found %d"
                                % ([report_path(p, item.deleted, stream) for p in item.paths], len(found)))
                continue
            made_path, path = found[0]
            row = by_path[path]
            checked += 1
            for column, want in expected_fields(item, made_path, stream).items():
                if want is not None and row[column] != want:
                    problems.append("%s, %s: expected %r, tool wrote %r" % (path, column, want, row[column]))
            if not started <= row["siCreateTime (UTC)"] <= finished:
                problems.append("%s: creation time %s is outside the run (%s to %s)"
                                % (path, row["siCreateTime (UTC)"], started, finished))
    return checked


# The volume orders a record's streams by name, not by creation: the checks
# here take them in any order, and the comparison with libfsntfs checks the order.

def lists_with_streams(lines: List[str], name: str, stream_lines: List[str]) -> bool:
    """The name is listed, and its streams right after it."""
    if name not in lines:
        return False
    after = lines.index(name) + 1
    return sorted(lines[after:after + len(stream_lines)]) == sorted(stream_lines)


def contains_block(lines: List[str], block: List[str]) -> bool:
    size = len(block)
    return any(sorted(lines[i:i + size]) == sorted(block) for i in range(len(lines) - size + 1))


def check_listings(plan: List[Made], files: List[str], streams: List[str], problems: List[str]) -> None:
    """-f lists each created file (under one of its names) and then its streams;
    -a the streams only; no directory, no DOS name."""
    for item in plan:
        names = [sanitized(base_name(p)) for p in item.paths]
        listed = [n for n in names if n in files]
        name = listed[0] if len(listed) == 1 else names[0]
        stream_lines = [name + ":" + sanitized(s) for s in item.streams]
        if item.directory:
            if listed:
                problems.append("-f lists the directory %r" % name)
        elif len(listed) != 1 or not lists_with_streams(files, name, stream_lines):
            problems.append("-f does not list %r once with its streams %r" % (names, stream_lines))
        if stream_lines and not contains_block(streams, stream_lines):
            problems.append("-a does not list %r" % stream_lines)
        if item.dos_name and item.dos_name in files:
            problems.append("-f lists the DOS name %r" % item.dos_name)
    problems.extend("-a lists %r, which is not a stream" % line for line in streams if ":" not in line)


def check_volume_layout(view, problems: List[str]) -> None:
    """The volume must hold what the test claims to cover."""
    name_spaces = {n.name: n.name_space for r in view.records.values() for n in r.names}
    if name_spaces.get("Case.txt") != NAME_SPACE_POSIX or name_spaces.get("case.txt") != NAME_SPACE_POSIX:
        problems.append("Case.txt and case.txt are not POSIX names")
    if name_spaces.get("LONGFI~1.TXT") != NAME_SPACE_DOS:
        problems.append("setting system.ntfs_dos_name made no DOS name")
    many = [r for r in view.records.values() if any(n.name == "many" for n in r.names)]
    if not many or TYPE_INDEX_ALLOCATION not in many[0].attribute_types:
        problems.append("the index of directory 'many' stayed in its record")
    if not any(r.names for r in view.records.values() if not r.allocated):
        problems.append("no deleted record kept its names: the deleted rows are not covered")


def check_layout_with_tsk(image: str, rows: List[Dict[str, str]], problems: List[str]) -> None:
    """What check_volume_layout asks of libfsntfs that the report does not show."""
    many = [row["RecNo"] for row in rows if row["FullPath"] == "\\many"]
    shown = subprocess.run(["istat", image, many[0]], capture_output=True).stdout if many else b""
    if b"$INDEX_ALLOCATION" not in shown:
        problems.append("the index of directory 'many' stayed in its record")


def check_formats(binary: str, mft: str, long_rows: List[Dict[str, str]], problems: List[str]) -> int:
    """The default and short formats hold the long format's values of their columns."""
    checked = 0
    for switches, columns in (([], DEFAULT_COLUMNS), (["-s"], SHORT_COLUMNS)):
        rows = report_rows(binary, mft, switches, columns)
        if len(rows) != len(long_rows):
            problems.append("%s: %d rows, the long format %d" % (switches, len(rows), len(long_rows)))
        for row, long_row in zip(rows, long_rows):
            checked += 1
            if row != {column: long_row[column] for column in columns}:
                problems.append("%s: row %s differs from the long format's" % (switches, row["RecNo"]))
    return checked


def utc_now_text(offset_seconds: int) -> str:
    moment = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(seconds=offset_seconds)
    return moment.strftime("%Y-%m-%d %H:%M:%S")


def format_volume(work: str, record_size: int, name: str = "ntfs.img", size: int = IMAGE_SIZE,
                  partition_start: int = 0, cluster_size: int = CLUSTER_SIZE) -> str:
    """A fresh sparse image formatted with records of record_size bytes; returns its path.
    partition_start (in the volume's sectors) is written into the boot sector, as for a
    volume that a partition table places there."""
    image = os.path.join(work, name)
    with open(image, "wb") as out:
        out.truncate(size)
    # The record size follows the sector size: 1024 up to 1024-byte sectors.
    sectors = ["-s", str(record_size)] if record_size > 1024 else []
    start = ["-p", str(partition_start)] if partition_start else []
    subprocess.run(["mkntfs", "-F", "-Q", "-q", "-c", str(cluster_size)] + sectors + start +
                   ["-L", "varneth-e2e", image], check=True, capture_output=True)
    return image


def extract_mft(work: str, image: str, record_size: int, name: str = "mft.bin",
                icat_options: Tuple[str, ...] = ()) -> str:
    """The $MFT as stored on the unmounted volume; returns its path. icat_options
    place the volume in a disk image (-o START, -b SECTOR_SIZE)."""
    mft = os.path.join(work, name)
    with open(mft, "wb") as out:
        subprocess.run(["icat"] + list(icat_options) + [image, "0"], check=True, stdout=out)
    with open(mft, "rb") as extracted:
        header = extracted.read(32)
    if int.from_bytes(header[28:32], "little") != record_size:
        raise RuntimeError("mkntfs made records of %d bytes, not %d"
                           % (int.from_bytes(header[28:32], "little"), record_size))
    return mft


def fill_in_sessions(work: str, image: str, sessions: List[Callable[[str], None]]) -> None:
    """Each step in a mount of its own: ntfs-3g starts its search for a free
    record from the lowest one at every mount, so a record freed in one
    session goes to the first entry made in the next."""
    mount_point = os.path.join(work, "mnt")
    os.makedirs(mount_point, exist_ok=True)
    for number, fill in enumerate(sessions, start=1):
        log = os.path.join(work, "ntfs-3g.log" if number == 1 else "ntfs-3g-%d.log" % number)
        with MountedVolume(image, mount_point, log) as volume:
            fill(mount_point)
            volume.unmount()


def build_volume(work: str, plan: List[Made], record_size: int):
    """Formats, fills and unmounts the volume; returns the image's and the extracted $MFT's paths."""
    image = format_volume(work, record_size)
    fill_in_sessions(work, image, [lambda root: create_tree(root, plan)])
    return image, extract_mft(work, image, record_size)


def run_checks(binary: str, image: str, mft: str, plan: List[Made], started: str, finished: str,
               record_size: int) -> int:
    problems: List[str] = []
    long_rows = report_rows(binary, mft, ["-l"], LONG_COLUMNS)
    if record_size == 1024:
        check_volume_layout(load_library_view(mft), problems)
    else:
        check_layout_with_tsk(image, long_rows, problems)
    checked = check_report(plan, long_rows, started, finished, problems)
    check_listings(plan, listing_lines(binary, mft, "-f"), listing_lines(binary, mft, "-a"), problems)
    fls_counts = compare_with_fls(image, long_rows, report_path, problems)
    print("%d-byte records; created entries: %d; rows checked against them: %d"
          % (record_size, len(plan), checked))
    print("compared with fls: %(entries)d entries, %(compared)d records and streams, %(agreed)d agree; "
          "left out: %(orphans)d unnamed records, %(indexes)d named indexes, "
          "%(reused)d deleted names of reused records" % fls_counts)
    if record_size == 1024:
        counts = compare_file(binary, mft, problems)
        print("compared with libfsntfs: %(records)d records, %(rows)d rows, %(streams)d stream rows, "
              "%(deleted)d deleted, %(fields)d fields, %(hints)d paths, -f %(f_lines)d lines, "
              "-a %(a_lines)d lines" % counts)
    else:
        print("default and short rows checked against the long ones: %d"
              % check_formats(binary, mft, long_rows, problems))
    for problem in problems:
        print("  " + problem)
    print("FAILED: %d problem(s)" % len(problems) if problems else "All checks passed.")
    return 1 if problems else 0


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--record-size", type=int, choices=RECORD_SIZES, default=1024)
    arguments = parser.parse_args()
    if not ready_to_mount():
        return SKIP_EXIT_CODE
    plan = tree_plan()
    with tempfile.TemporaryDirectory(prefix="varneth-volume-") as work:
        started = utc_now_text(-2)
        try:
            image, mft = build_volume(work, plan, arguments.record_size)
            finished = utc_now_text(2)
            return run_checks(os.path.abspath(arguments.binary), image, mft, plan, started, finished,
                              arguments.record_size)
        except (OutputError, RuntimeError, OSError, subprocess.SubprocessError) as error:
            print("FAILED: %s" % error)
            return 1


if __name__ == "__main__":
    sys.exit(main())
