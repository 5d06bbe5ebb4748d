#!/usr/bin/python3
"""Damaged and incomplete evidence, one table: every row makes its input from
volumes built here (mkntfs, filled through ntfs-3g; image_layouts.py), runs
the tool on it and checks the exit status, the console lines that must
appear, the report rows that must be there, and that no input file changed
(hashes before and after). A row's rows are lines of the report of the
volume's extracted $MFT (icat), so what the tool says it read is checked
against what an independent reader gives.

Without root, FUSE or the tools, it prints SKIPPED and exits with 77.
"""

import argparse
import hashlib
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from typing import Callable, Dict, List, Optional

sys.dont_write_bytecode = True  # the helper modules sit in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from image_input_test import cut_point, lost_ranges  # noqa: E402
from image_layouts import (MIB, TOOLS, Disk, Volume, build_disk, build_volumes, expert_witness_image,  # noqa: E402
                           mft_clusters,
                           planned_disks, read_at, read_boot_sector)
from real_volume_test import SKIP_EXIT_CODE, ready_to_mount  # noqa: E402

REPORT = "report.tsv"
REFUSED = 255


@dataclass
class Evidence:
    """What the rows make their inputs from: the volumes alone, the disks, and the
    report of each volume's extracted $MFT (its rows by record, for the rows' checks)."""
    work: str
    binary: str
    volumes: Dict[str, Volume]
    disks: Dict[str, Disk]
    good_reports: Dict[str, List[bytes]] = field(default_factory=dict)

    def good_rows(self, label: str) -> List[bytes]:
        """The data lines of the report of the volume's extracted $MFT."""
        if label not in self.good_reports:
            folder = tempfile.mkdtemp(dir=self.work, prefix="good-")
            done = subprocess.run([self.binary, "-o", REPORT, self.volumes[label].mft], cwd=folder,
                                  capture_output=True, timeout=300)
            if done.returncode != 0:
                raise RuntimeError("%s: the extracted $MFT gives exit %d" % (label, done.returncode))
            with open(os.path.join(folder, REPORT), "rb") as report:
                self.good_reports[label] = report.read().split(b"\n")[1:-1]
        return self.good_reports[label]


@dataclass
class Case:
    name: str
    # Makes the input in its own folder (the argument) and returns the arguments after
    # the tool's name: switches and input. Every file of the folder is input.
    make: Callable[[Evidence, str], List[str]]
    status: int
    lines: List[str]                       # regular expressions, each matching a console line
    # Report lines that must be there; None: no report may be written.
    rows: Optional[Callable[[Evidence], List[bytes]]] = None
    absent: List[str] = field(default_factory=list)  # regular expressions no console line may match


def copy_of(evidence: Evidence, source: str, folder: str, name: str) -> str:
    path = os.path.join(folder, name)
    shutil.copyfile(source, path)
    return path


SPLIT_PIECE = 8 * 1024 * 1024  # the MBR disk in 7 pieces, fragmented-1k's $MFT in the 5th
SPLIT_NUMBERINGS = {  # split's switches for each numbering, by its first suffix
    "000": ["-d", "-a", "3"], "001": ["-d", "-a", "3", "--numeric-suffixes=1"], "00": ["-d"], "aa": []}
_image_sets: Dict[str, str] = {}  # the folder of each set made, by its kind


def image_set(evidence: Evidence, folder: str, kind: str, named: int, dropped: Optional[int] = None) -> List[str]:
    """The MBR disk as a set (split in a numbering, or "E01"), made once, linked into folder but for segment
    dropped; the arguments read its second volume, named by segment named (numbers from 0)."""
    if kind not in _image_sets:
        _image_sets[kind] = os.path.join(evidence.work, "set-" + kind)
        if kind == "E01":
            _image_sets[kind] = os.path.dirname(expert_witness_image(evidence.work, evidence.disks["mbr.raw"]))
        else:
            os.mkdir(_image_sets[kind])
            subprocess.run(["split", "-b", str(SPLIT_PIECE)] + SPLIT_NUMBERINGS[kind] +
                           [evidence.disks["mbr.raw"].path, os.path.join(_image_sets[kind], "mbr.raw.")], check=True)
    names = sorted(os.listdir(_image_sets[kind]))
    for number, name in enumerate(names):
        if number != dropped:
            os.link(os.path.join(_image_sets[kind], name), os.path.join(folder, name))
    return ["-p", "2", os.path.join(folder, names[named])]


def whole_set(kind: str, named: int) -> Case:
    return Case("%s set named by segment %d" % (kind, named), lambda e, f: image_set(e, f, kind, named), 0,
                [r"of (split raw|EWF) image \(\d+ segments[ )]"], rows=lambda e: e.good_rows("fragmented-1k"))


def set_without(kind: str, dropped: int, missing: str) -> Case:
    return Case("%s set without segment %d" % (kind, dropped), lambda e, f: image_set(e, f, kind, 0, dropped),
                REFUSED, [r"Error: Image segment \S+/%s is missing\.$" % re.escape(missing)])


def set_with_fifo(kind: str, replaced: int, name: str) -> Case:  # opening a FIFO waits for a writer
    return Case("%s set with a FIFO for segment %d" % (kind, replaced),
                lambda e, f: os.mkfifo(os.path.join(f, name)) or image_set(e, f, kind, 0, replaced), REFUSED,
                [r"Error: Image segment \S+/%s is a FIFO: the set is not read\.$" % re.escape(name)])


# Image sets: split raw sets in every numbering, EWF sets, segments missing.
IMAGE_SET_CASES: List[Case] = [
    whole_set("000", 3), set_without("000", 2, "mbr.raw.002"),
    whole_set("001", 3), set_without("001", 2, "mbr.raw.003"),
    whole_set("00", 3), set_without("00", 2, "mbr.raw.02"),
    whole_set("aa", 3), set_without("aa", 2, "mbr.raw.ac"),
    whole_set("E01", 0), set_without("E01", 1, "mbr.E02"),
    set_with_fifo("00", 2, "mbr.raw.02"), set_with_fifo("E01", 1, "mbr.E02"),
    # libewf names the segments it read by absolute paths; the tool runs in the outputs' folder.
    Case("E01 set without segment 1, named by a relative path",
         lambda e, f: ["-p", "2", os.path.relpath(image_set(e, f, "E01", 0, 1)[-1], f + ".out")],
         REFUSED, [r"Error: Image segment \.\./\S+/mbr\.E02 is missing\.$"]),
]

# The $MFT: cut, unreadable, encrypted; what the image says against what it holds.
def cut_copy(source: str, folder: str, size: int) -> List[str]:
    with open(source, "rb") as whole, open(os.path.join(folder, os.path.basename(source)), "wb") as out:
        out.write(whole.read(size))
    return [out.name]


def rows_inside(label: str, size: Callable[[Volume], int]) -> Callable[[Evidence], List[bytes]]:
    """The good rows of the records wholly inside the first size(volume) bytes of the volume."""
    def rows(evidence: Evidence) -> List[bytes]:
        lost = {recno for first, last in lost_ranges(evidence.volumes[label], size(evidence.volumes[label]))
                for recno in range(first, last + 1)}
        return [row for row in evidence.good_rows(label) if int(row.split(b"\t")[0]) not in lost]
    return rows


def random_mft(evidence: Evidence, folder: str) -> List[str]:
    """tree-1k with random bytes over every cluster of its $MFT (the mirror is intact)."""
    path = copy_of(evidence, evidence.volumes["tree-1k"].path, folder, "tree-1k.img")
    cluster_size = read_boot_sector(path).cluster_size
    with open(path, "r+b") as image:
        for cluster in mft_clusters(path):
            image.seek(cluster * cluster_size)
            image.write(random.Random(cluster).randbytes(cluster_size))
    return [path]


def disk_cut(volume: Volume) -> int:  # half-way into record 200 of the volume's $MFT
    boot = read_boot_sector(volume.path)
    return boot.mft_cluster * boot.cluster_size + 200 * 1024 + 512


def damaged_chunk(evidence: Evidence, folder: str) -> List[str]:
    """tree-1k as an uncompressed E01, record 20 of its $MFT changed: the chunk of records 16 to 47 fails."""
    volume, target = evidence.volumes["tree-1k"].path, os.path.join(folder, "tree")
    subprocess.run(["ewfacquire", "-u", "-q", "-t", target, "-c", "none", volume], check=True, capture_output=True,
                   timeout=300)
    boot = read_boot_sector(volume)
    with open(volume, "rb") as image:
        record = read_at(image, boot.mft_cluster * boot.cluster_size + 20 * 1024, 1024)
    with open(target + ".E01", "r+b") as ewf:
        ewf.seek(ewf.read().index(record) + 512)
        ewf.write(b"damaged!")
    return [target + ".E01"]


PIECES_PAST = r"Warning: Record 0 says the \$MFT is [\d,]+ bytes; pieces of it lie past the end of the image at byte "
NOT_COMPLETE = r"processing complete"

MFT_CASES: List[Case] = [
    Case("cut fragmented $MFT, later pieces lower than the cut",
         lambda e, d: cut_copy(e.volumes["listed-1k"].path, d, cut_point(e.volumes["listed-1k"])[1]) + ["--summary"],
         REFUSED, [r"^Summary: 9,971 records read, 66 records lost, ", r"Records [\d,]+ to [\d,]+ of the \$MFT lie past the end of the image\.$", PIECES_PAST + r"[\d,]+\.$",
          r"The \$MFT was read with [\d,]+ records lost: the outputs are incomplete\.$"],
         rows_inside("listed-1k", lambda v: cut_point(v)[1]), absent=[NOT_COMPLETE]),
    Case("random bytes over the $MFT", random_mft, REFUSED,
         [r"Volume at byte offset 0: the \$MFT holds no FILE record: encrypted, wiped, or not where the boot "
          r"sector says\.$"], lambda e: [], absent=[NOT_COMPLETE]),
    Case("E01 with a damaged chunk in the $MFT", damaged_chunk, REFUSED,
         [r"Records 16 to 47 of the \$MFT could not be read: A chunk of the EWF image fails its checksum\.$"],
         lambda e: [row for row in e.good_rows("tree-1k") if not 16 <= int(row.split(b"\t")[0]) <= 47],
         absent=[NOT_COMPLETE]),
    Case("MBR disk cut before the $MFT: why it is not read said without -v",
         lambda e, d: cut_copy(e.disks["mbr.raw"].path, d, TREE_AT + 8192) + ["-p", "1"], REFUSED,
         [r"Warning: Record 0 lies past the end of the image\.$", r"Neither record 0 of the \$MFT nor its copy"]),
    Case("MBR disk cut inside the $MFT",
         lambda e, d: cut_copy(e.disks["mbr.raw"].path, d, e.volumes["tree-1k"].offset + disk_cut(e.volumes["tree-1k"]))
         + ["-p", "1"], REFUSED,
         [r"^\$MFT file is 467,968 bytes\.$", r"^\$MFT file contains 457 file records\.$", r"^The image holds 200 of them\.$",
          r"Records 200 to 456 of the \$MFT lie past the end", PIECES_PAST,
          r"Warning: .* runs to byte [\d,]+, past the end of the image at byte "],
         rows_inside("tree-1k", disk_cut), absent=[NOT_COMPLETE]),
    Case("GPT disk cut where its second volume starts: the first read, the second said",
         lambda e, d: cut_copy(e.disks["gpt512.raw"].path, d, e.volumes["fragmented-1k"].offset), 0,
         [r"Warning: The partition at byte offset 38,797,312 lies past the end of the image at byte 38,797,312: it "
          r"is not read\.$"], rows=lambda e: e.good_rows("tree-1k")),
]

def patched_disk(evidence: Evidence, folder: str, patches: Dict[int, bytes], disk: str = "mbr.raw") -> str:
    """A copy of a disk (the MBR disk unless told) with bytes written at offsets."""
    path = copy_of(evidence, evidence.disks[disk].path, folder, "disk.raw")
    with open(path, "r+b") as image:
        for offset, data in patches.items():
            image.seek(offset)
            image.write(data)
    return path


def volume_after_zeros(evidence: Evidence, folder: str) -> str:
    """tree-1k's volume behind a zeroed first MiB: no table, its backup boot sector ends the file."""
    path = os.path.join(folder, "volume.raw")
    with open(path, "wb") as out, open(evidence.volumes["tree-1k"].path, "rb") as volume:
        out.write(bytes(MIB) + volume.read())
    return path


TREE_AT, FRAGMENTED_AT = 8192 * 512, 75776 * 512  # planned_volumes(): where the disks place them
# A FAT12 boot sector over the 2 MiB partition of entry 1 of the MBR disk (4096 sectors, a cluster each).
FAT12 = {2048 * 512: b"\xeb\x3c\x90MSDOS5.0" + struct.pack("<HBHBHHBH", 512, 1, 1, 2, 512, 4096, 0xF8, 12),
         2048 * 512 + 510: b"\x55\xaa"}

# Volumes found without a partition table, --offset, volume kinds.
VOLUME_CASES: List[Case] = [
    Case("zeroed MBR: both volumes found and listed",
         lambda e, f: [patched_disk(e, f, {0: bytes(512)})], REFUSED,
         [r"holds 2 NTFS volumes", r"-p 1: at byte offset 4,194,304 \(sector 8,192\), .*found by its boot sector$",
          r"-p 2: at byte offset 38,797,312 \(sector 75,776\), .*found by its boot sector$"]),
    Case("zeroed MBR: -p 1 reads tree-1k",
         lambda e, f: ["-p", "1", patched_disk(e, f, {0: bytes(512)})], 0,
         [r"Warning: No partition table: the NTFS volume at byte offset 4,194,304 was found by its boot sector\.$"],
         rows=lambda e: e.good_rows("tree-1k")),
    Case("zeroed protective MBR: the GPT behind it read, -p 2",
         lambda e, f: ["-v", "-p", "2", patched_disk(e, f, {0: bytes(512)}, "gpt512.raw")], 0,
         [r"Warning: Sector 0 holds no protective MBR; the GPT header behind it is read\.$",
          r"Reading the \$MFT of the NTFS volume in GPT entry 2 at byte offset 38,797,312"],
         rows=lambda e: e.good_rows("fragmented-1k")),
    Case("a volume behind a zeroed MiB, found by its backup boot sector",
         lambda e, f: [volume_after_zeros(e, f)], 0,
         [r"Warning: No partition table: the NTFS volume at byte offset 1,048,576 was found by its backup boot "
          r"sector\.$", r"Reading the \$MFT of the NTFS volume at byte offset 1,048,576 \(sector 2,048\)"],
         rows=lambda e: e.good_rows("tree-1k")),
    Case("--offset at the logical volume",
         lambda e, f: ["--offset", str(FRAGMENTED_AT), copy_of(e, e.disks["mbr.raw"].path, f, "disk.raw")], 0,
         [r"Reading the \$MFT of the NTFS volume in MBR logical 1 at byte offset 38,797,312"],
         rows=lambda e: e.good_rows("fragmented-1k"), absent=[r"No partition table"]),
    Case("MBR disk cut before its logical volume: the lost chain said without -v",
         lambda e, f: cut_copy(e.disks["mbr.raw"].path, f, FRAGMENTED_AT - MIB) + ["-p", "2"], REFUSED,
         [r"Warning: The chain of logical volumes runs past the end of the image\.$", r"holds 1 NTFS volume"]),
    Case("--offset where no volume starts",
         lambda e, f: ["--offset", str(TREE_AT + 512), copy_of(e, e.disks["mbr.raw"].path, f, "disk.raw")], REFUSED,
         [r"holds no NTFS volume at byte offset 4,194,816: no NTFS boot sector lies there"]),
    Case("--offset on an extracted $MFT",
         lambda e, f: ["--offset", "0", copy_of(e, e.volumes["tree-1k"].mft, f, "tree.mft")], REFUSED,
         [r"Option --offset chooses an NTFS volume of an image by where it starts; .*tree\.mft is an \$MFT file\.$"]),
    Case("BitLocker over tree-1k: -p 1 refused",
         lambda e, f: ["-p", "1", patched_disk(e, f, {TREE_AT + 3: b"-FVE-FS-"})], REFUSED,
         [r"Error: Volume at byte offset 4,194,304 is BitLocker-encrypted: decrypt it first\.$"]),
    Case("BitLocker over tree-1k and FAT12 over entry 1: the listing by kind",
         lambda e, f: ["-p", "3", patched_disk(e, f, {**FAT12, TREE_AT + 3: b"-FVE-FS-"})], REFUSED,
         [r"-p 1: in MBR entry 2 at byte offset 4,194,304 .*, BitLocker-encrypted$",
          r"  MBR entry 1 at byte offset 1,048,576 \(sector 2,048\), 2,097,152 bytes: FAT12, not read$"]),
    Case("BitLocker over tree-1k and its backup: the other volume read, the encrypted one said",
         lambda e, f: [patched_disk(e, f, {TREE_AT + 3: b"-FVE-FS-", TREE_AT + 32 * MIB - 512 + 3: b"-FVE-FS-"})], 0,
         [r"Warning: The partition at byte offset 4,194,304 is BitLocker-encrypted and is not read: decrypt it "
          r"first\.$"], rows=lambda e: e.good_rows("fragmented-1k")),
]


def made(kind: Callable[[str], None], name: str) -> Callable[[Evidence, str], List[str]]:
    return lambda evidence, folder: [kind(os.path.join(folder, name)) or os.path.join(folder, name)]


def archive_as_input(evidence: Evidence, folder: str) -> List[str]:
    """-o is the runner's: the archive's name leads to a copy of an extracted $MFT, the input."""
    os.symlink(copy_of(evidence, evidence.volumes["tree-1k"].mft, folder, "e.tsv.zip"),
               os.path.join(folder + ".out", REPORT + ".zip"))
    return ["-z", "{out}/" + REPORT + ".zip"]


BEFORE_WORK = [r"Usage:", r"processing complete", r"Records processed", r"\$MFT file is"]  # the refusal is all

# Inputs refused before any work: directories, FIFOs, archives that would be the input.
INPUT_CASES: List[Case] = [
    Case("input is a directory", made(os.mkdir, "mft.d"), REFUSED, [r"Error: /\S+/mft\.d is a directory\.$"],
         absent=BEFORE_WORK),
    Case("input is a FIFO", made(os.mkfifo, "mft.fifo"), REFUSED,
         [r"Error: /\S+/mft\.fifo is a FIFO: the \$MFT must be a file or a device\.$"], absent=BEFORE_WORK),
    Case("archive would be the input", archive_as_input, REFUSED,
         [r"Error: Output file /\S+/report\.tsv\.zip is the \$MFT input file\.$"], absent=BEFORE_WORK),
    Case("output is a directory", lambda evidence, folder: ["-b", "{out}", evidence.volumes["tree-1k"].mft], REFUSED,
         [r"Error: Output file /\S+\.out is a directory\.$"], absent=BEFORE_WORK),
]

CASES = IMAGE_SET_CASES + MFT_CASES + VOLUME_CASES + INPUT_CASES


def hashes(folder: str) -> Dict[str, str]:
    """Every regular file below folder, by its path, with its SHA-256; others by kind."""
    found = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            if os.path.islink(path) or not os.path.isfile(path):
                found[path] = "not a regular file"
                continue
            digest = hashlib.sha256()
            with open(path, "rb") as data:
                for block in iter(lambda: data.read(1 << 20), b""):
                    digest.update(block)
            found[path] = digest.hexdigest()
    return found


def run_case(evidence: Evidence, case: Case) -> List[str]:
    """The problems a row finds."""
    inputs = os.path.join(evidence.work, "cases", re.sub(r"[^\w.-]+", "_", case.name))
    outputs = inputs + ".out"
    os.makedirs(inputs)
    os.makedirs(outputs)
    args = [a.replace("{out}", outputs) for a in case.make(evidence, inputs)]
    before = hashes(inputs)
    done = subprocess.run([evidence.binary, "-o", os.path.join(outputs, REPORT)] + args, cwd=outputs,
                          capture_output=True, timeout=300, stdin=subprocess.DEVNULL, env=dict(os.environ, TZ="UTC0"))
    console = (done.stdout + done.stderr).decode("utf-8", "replace")
    lines = [line for line in console.replace("\r", "\n").split("\n") if line.strip()]
    print("== %s: exit %d" % (case.name, done.returncode))
    print("".join("    %s\n" % line for line in lines[-12:]), end="")
    problems = []
    if done.returncode != case.status:
        problems.append("exit %d, not %d" % (done.returncode, case.status))
    for pattern in case.lines:
        if not any(re.search(pattern, line) for line in lines):
            problems.append("no console line matches %r" % pattern)
    for pattern in case.absent:
        if any(re.search(pattern, line) for line in lines):
            problems.append("a console line matches %r" % pattern)
    report = os.path.join(outputs, REPORT)
    if case.rows is None:
        if os.path.exists(report):
            problems.append("a report was written")
    elif not os.path.exists(report):
        problems.append("no report was written")
    else:
        with open(report, "rb") as data:
            written = set(data.read().split(b"\n"))
        missing = [row for row in case.rows(evidence) if row not in written]
        if missing:
            problems.append("%d report row(s) missing, the first: %r" % (len(missing), missing[0][:160]))
    if hashes(inputs) != before:
        problems.append("an input file changed")
    return ["%s: %s" % (case.name, problem) for problem in problems]


def run_all(binary: str, work: str) -> int:
    started = time.monotonic()
    volumes = build_volumes(work)
    disks = {disk.name: disk for disk in planned_disks(volumes)}
    for disk in disks.values():
        build_disk(work, disk)
    built = time.monotonic()
    evidence = Evidence(work, binary, volumes, disks)
    problems: List[str] = []
    for case in CASES:
        found = run_case(evidence, case)
        for problem in found:
            print("  PROBLEM: " + problem)
        problems += found
    print("time: images %.1f s, %d rows %.1f s" % (built - started, len(CASES), time.monotonic() - built))
    print("FAILED: %d problem(s)" % len(problems) if problems else "All %d rows passed." % len(CASES))
    return 1 if problems or not CASES else 0


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--keep", help="build in this folder and keep it (for a look at the inputs)")
    parser.add_argument("--only", help="run the rows whose name holds this text")
    arguments = parser.parse_args()
    if arguments.only:
        CASES[:] = [case for case in CASES if arguments.only in case.name]
    if not ready_to_mount(TOOLS):
        return SKIP_EXIT_CODE
    binary = os.path.abspath(arguments.binary)
    if arguments.keep:
        os.makedirs(arguments.keep)
        return run_all(binary, os.path.abspath(arguments.keep))
    with tempfile.TemporaryDirectory(prefix="varneth-damaged-") as work:
        return run_all(binary, work)


if __name__ == "__main__":
    sys.exit(main())
