#!/usr/bin/python3
"""Disk and volume images as input: every output must be byte-identical to a
run on the $MFT that The Sleuth Kit extracts from the same image.

image_layouts.py makes the volumes and images: three raw volumes (1024- and
4096-byte records, and one whose $MFT's run list goes on in another record
through record 0's attribute list), an MBR disk (a non-NTFS partition, an
NTFS primary, a logical NTFS volume in an extended partition), a GPT disk of
4096-byte sectors, a split raw set of a GPT disk of 512-byte sectors
(numbered from .001, and the same pieces from .000), and a deflated Expert
Witness image of the MBR disk in several segments. For each volume of each
image the $MFT is extracted with `icat [-b SECTOR_SIZE -o START] IMAGE 0`
(it must equal the one icat gives of the volume alone, so the runs on that
one stand for it), and the tool is run on the image (-p N, --partition N for
the E01) in every mode: the report with a body file, -s, -l zipped, -f, -a.
The report, body file, zip entry (name and content) and listings must be the
same bytes; the image run's console must be the extracted run's (input name
masked) with one more line, before "$MFT file is", that gives the volume's
offset.

Then the refusals (exit 255, nothing written; several NTFS volumes without -p:
one line per volume with its number, offset, size and serial number, and one
naming -p; -p past the last volume; -p 0; -p on an extracted $MFT; a
report or body file named after the second segment of the split set or
the E01, which must be left as it was) and damaged images: the primary boot sector zeroed (the backup is used, with a
warning), record 0 of the $MFT with a broken update sequence (its copy in
$MFTMirr is used to find the $MFT, with a warning), the first with every
output identical to the undamaged volume's, the second to a run on the
extracted $MFT with the same damage (icat cannot open the damaged volume; the
damaged record is reported as the volume stores it);
and two volumes cut inside their $MFT, one whose runs lie in order, one whose
runs do not, so that records before the cut one are lost too (exit 255,
"Error reading $MFT file NAME at record N." for the first record not wholly
there, a line that gives the size where the image ends, and the report and
body file of a run on the extracted $MFT's records before N).
Without root, FUSE or the tools, it prints SKIPPED and exits with 77.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile
from dataclasses import dataclass
from typing import Dict, List, NamedTuple, Tuple

sys.dont_write_bytecode = True  # the helper modules sit in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from image_layouts import (TOOLS, Disk, Volume, build_disk, build_volumes, expert_witness_image,  # noqa: E402
                           mft_clusters, planned_disks, read_at, read_boot_sector, renumbered_from_zero,
                           split_set)
from real_volume_test import SKIP_EXIT_CODE, ready_to_mount  # noqa: E402

REPORT = "report.tsv"
BODY = "body.txt"
REFUSED = 255
SHOWN_LINES = 4


class Mode(NamedTuple):
    name: str
    switches: List[str]


MODES = [Mode("report and body file", ["-b", BODY, "-o", REPORT]), Mode("-s", ["-s", "-o", REPORT]),
         Mode("-l -z", ["-l", "-z", "-o", REPORT]), Mode("-f", ["-f"]), Mode("-a", ["-a"])]
CONSOLE_MODE = MODES[0]


class Run(NamedTuple):
    status: int
    console: str                 # standard output (the listing too, with -f and -a), then standard error
    outputs: Dict[str, bytes]    # what the mode writes, by name


@dataclass
class Image:
    label: str
    path: str
    volumes: List[Volume]        # in partition-table order: -p 1, -p 2, ...
    raw_volume: bool = False
    switch: str = "-p"

    def icat_options(self, volume: Volume) -> Tuple[str, ...]:
        return () if self.raw_volume else ("-b", str(volume.sector_size), "-o", str(volume.start))

    def offset(self, volume: Volume) -> int:
        return 0 if self.raw_volume else volume.offset

    def selection(self, number: int) -> List[str]:
        return [] if self.raw_volume else [self.switch, str(number)]


def zip_entry(path: str) -> Dict[str, bytes]:
    try:
        with zipfile.ZipFile(path) as archive:
            entries = archive.infolist()
            return {"zip entry names": "\n".join(entry.filename for entry in entries).encode(),
                    "zip entry": archive.read(entries[0]) if entries else b""}
    except (zipfile.BadZipFile, OSError) as error:
        return {"zip entry names": ("unreadable zip: %s" % error).encode()}


class Checker:
    def __init__(self, binary: str, work: str):
        self.binary, self.work = binary, work
        self.problems: List[str] = []
        self.runs = 0
        self.expected: Dict[str, Dict[str, Run]] = {}

    def run(self, args: List[str], mode: Mode) -> Run:
        self.runs += 1
        folder = os.path.join(self.work, "runs", str(self.runs))
        os.makedirs(folder)
        done = subprocess.run([self.binary] + mode.switches + args, cwd=folder, capture_output=True, timeout=300,
                              env=dict(os.environ, TZ="UTC0"))
        outputs = {}
        if mode.switches[0] in ("-f", "-a"):
            outputs["standard output"] = done.stdout
        for name, what in ((REPORT, "report"), (BODY, "body file")):
            if os.path.exists(os.path.join(folder, name)):
                with open(os.path.join(folder, name), "rb") as data:
                    outputs[what] = data.read()
        if os.path.exists(os.path.join(folder, REPORT + ".zip")):
            outputs.update(zip_entry(os.path.join(folder, REPORT + ".zip")))
        return Run(done.returncode, (done.stdout + done.stderr).decode("utf-8", "replace"), outputs)

    def expect(self, volume: Volume) -> None:
        """The outputs of runs on the volume's extracted $MFT, which every image of it must give."""
        self.expected[volume.label] = {mode.name: self.run([volume.mft], mode) for mode in MODES}
        for mode, run in self.expected[volume.label].items():
            if run.status != 0 or not run.outputs:
                raise RuntimeError("%s, %s on the extracted $MFT: exit %d\n%s"
                                   % (volume.label, mode, run.status, run.console))

    def fail(self, text: str) -> None:
        self.problems.append(text)
        print("  PROBLEM: " + text)


def first_difference(expected: bytes, got: bytes) -> str:
    at = next((i for i, (a, b) in enumerate(zip(expected, got)) if a != b), min(len(expected), len(got)))
    return ("%d and %d bytes, first difference at byte %d (line %d): expected %r, got %r"
            % (len(expected), len(got), at, expected[:at].count(b"\n") + 1,
               expected[max(0, at - 20):at + 40], got[max(0, at - 20):at + 40]))


def shown(console: str) -> str:
    """The console's last lines, where a refusal says why."""
    lines = [line for line in console.split("\n") if line.strip()]
    return ("... | " if len(lines) > SHOWN_LINES else "") + " | ".join(lines[-SHOWN_LINES:])


def compare_outputs(checker: Checker, what: str, expected: Dict[str, Run], mode: Mode, run: Run,
                    status: int = 0) -> bool:
    if run.status != status:
        checker.fail("%s, %s: exit %d, expected %d: %s" % (what, mode.name, run.status, status, shown(run.console)))
        return False
    same = True
    for output in sorted(set(run.outputs) - set(expected[mode.name].outputs)):
        same = False
        checker.fail("%s, %s: also wrote the %s, which the run on the extracted $MFT does not" % (what, mode.name, output))
    for output, data in expected[mode.name].outputs.items():
        if run.outputs.get(output) != data:
            same = False
            checker.fail("%s, %s, %s: %s" % (what, mode.name, output,
                                             first_difference(data, run.outputs[output]) if output in run.outputs
                                             else "not written"))
    return same


def number_forms(number: int) -> List[str]:
    return [str(number), "{:,}".format(number)]


def masked_lines(console: str, path: str) -> List[str]:
    return console.replace(path, "INPUT").replace(os.path.basename(path), "INPUT").split("\n")


def check_console(checker: Checker, what: str, volume: Volume, image: Image, run: Run) -> None:
    """One more line than the extracted run's, before "$MFT file is", with the volume's offset
    (in bytes, or in sectors)."""
    expected = masked_lines(checker.expected[volume.label][CONSOLE_MODE.name].console, volume.mft)
    got = masked_lines(run.console, image.path)
    extra = [i for i in range(len(got) - 1) if got[:i] + got[i + 1:] == expected]
    if not extra or not got[extra[0] + 1].startswith("$MFT file is"):
        checker.fail("%s, console: not the extracted run's lines plus one before \"$MFT file is\":\n"
                     "      extracted: %r\n      image:     %r" % (what, expected, got))
        return
    line = got[extra[0]]
    print("    console line: %s" % line)
    offset = image.offset(volume)
    if not any(form in line for form in number_forms(offset) + number_forms(offset // volume.sector_size)):
        checker.fail("%s, console: the line %r does not give the volume's offset %d" % (what, line, offset))


def check_image(checker: Checker, image: Image) -> None:
    print("== %s: %s" % (image.label, os.path.relpath(image.path, checker.work)))
    for number, volume in enumerate(image.volumes, start=1):
        what = "%s %s(%s at byte %d)" % (image.label, " ".join(image.selection(number)) + " " if not
                                          image.raw_volume else "", volume.label, image.offset(volume))
        extracted = os.path.join(checker.work, "extracted.mft")
        with open(extracted, "wb") as out:
            subprocess.run(["icat"] + list(image.icat_options(volume)) + [image.path, "0"], check=True, stdout=out,
                           timeout=120)
        with open(extracted, "rb") as got, open(volume.mft, "rb") as want:
            if got.read() != want.read():
                checker.fail("%s: icat gives another $MFT than of the volume alone" % what)
                continue
        identical = 0
        for mode in MODES:
            run = checker.run(image.selection(number) + [image.path], mode)
            identical += compare_outputs(checker, what, checker.expected[volume.label], mode, run)
            if mode is CONSOLE_MODE and run.status == 0:
                check_console(checker, what, volume, image, run)
        print("  %s: %d of %d modes identical" % (what, identical, len(MODES)))


def serial_forms(serial: int) -> List[str]:
    low = serial & 0xFFFFFFFF
    return [form for text in ("%016X" % serial, "%04X-%04X" % (low >> 16, low & 0xFFFF), "%08X" % low)
            for form in (text, text.lower())]


def check_refusal(checker: Checker, what: str, args: List[str], listed: List[Volume]) -> None:
    """Exit 255 with an error line and no file written; where listed, a line naming -p and one
    line per volume with its number, offset, size (the partition's, or the boot sector's count
    of sectors, which leaves out the backup boot sector) and serial number."""
    run = checker.run(args, CONSOLE_MODE)
    lines = [line for line in run.console.split("\n") if line.strip()]
    print("== refused: %s: exit %d\n%s" % (what, run.status, "".join("    %s\n" % line for line in lines)), end="")
    if run.status != REFUSED or not lines or run.outputs:
        checker.fail("%s: exit %d with %d line(s) and %r written, expected %d, an error line and nothing written"
                     % (what, run.status, len(lines), sorted(run.outputs), REFUSED))
    for number, volume in enumerate(listed, start=1):
        found = [line for line in lines if any(form in line for form in serial_forms(volume.serial))]
        sizes = number_forms(volume.size) + number_forms(volume.size - volume.sector_size)
        if len(found) != 1 or not all(any(form in found[0] for form in forms) for forms in (
                number_forms(volume.offset) + number_forms(volume.start), sizes, [str(number)])):
            checker.fail("%s: expected one line with volume %d's number, offset %d, size %d and serial %016X, "
                         "found %r" % (what, number, volume.offset, volume.size, volume.serial, found))
    if listed and not any(re.search(r"-p\b|--partition", line) for line in lines):
        checker.fail("%s: no line names -p" % what)


def check_refusals(checker: Checker, disks: Dict[str, Disk], volumes: Dict[str, Volume]) -> None:
    mbr, gpt4k = disks["mbr.raw"], disks["gpt4k.raw"]
    for what, args, listed in (("MBR disk without -p", [mbr.path], mbr.volumes),
                               ("GPT 4096 disk without -p", [gpt4k.path], gpt4k.volumes),
                               ("-p 3 on a disk of two NTFS volumes", ["-p", "3", gpt4k.path], []),
                               ("-p 0", ["-p", "0", mbr.path], []),
                               ("-p 1 on an extracted $MFT", ["-p", "1", volumes["tree-1k"].mft], [])):
        check_refusal(checker, what, args, listed)


def check_segments_kept(checker: Checker, images: List[Image]) -> None:
    """An output named after another segment of a split raw set or an EWF image is refused, as one
    named after the input is, and the segment is left as it was."""
    for image in images:
        if not image.path.endswith((".001", ".E01")):
            continue
        second = image.path[:-1] + "2"
        with open(second, "rb") as data:
            kept = data.read()
        for mode in (Mode("report on a segment", ["-o", second]),
                     Mode("body file on a segment", ["-b", second, "-o", REPORT])):
            what = "%s: %s" % (image.label, mode.name)
            run = checker.run(["-p", "1", image.path], mode)
            with open(second, "rb") as data:
                same = data.read() == kept
            if run.status != REFUSED or "is a segment of the input image." not in run.console or not same:
                checker.fail("%s: exit %d, segment %s, console %r" % (what, run.status, "kept" if same else "changed",
                                                                     shown(run.console)))


def damaged_copy(checker: Checker, volume: Volume, name: str) -> str:
    path = os.path.join(checker.work, name)
    shutil.copyfile(volume.path, path)
    return path


LOG_TIME = re.compile(rb"^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}: ", re.MULTILINE)


def same_outputs(expected: Run, run: Run) -> bool:
    """The same status and outputs; standard output may hold log lines (a damaged record's
    errors), whose time stamps differ between two runs that straddle a second."""
    def masked(outputs: Dict[str, bytes]) -> Dict[str, bytes]:
        return {name: LOG_TIME.sub(b"TIME: ", data) for name, data in outputs.items()}
    return run.status == expected.status and masked(run.outputs) == masked(expected.outputs)


def check_damaged(checker: Checker, what: str, volume: Volume, path: str, warning: str,
                  as_stored: str = "") -> None:
    """Every output as from the undamaged volume, or, given as_stored (the extracted $MFT with
    the same damage: the damaged record is reported as the volume stores it, whatever was used
    to find the $MFT), as from a run on it; and a warning (with -v) that matches."""
    print("== %s" % what)
    identical = 0
    for mode in MODES:
        verbose = Mode(mode.name, ["-v"] + mode.switches)
        run = checker.run([path], verbose if mode is CONSOLE_MODE else mode)
        if not as_stored:
            identical += 1 if compare_outputs(checker, what, checker.expected[volume.label], mode, run) else 0
        elif same_outputs(checker.run([as_stored], mode), run):
            identical += 1
        else:
            checker.fail("%s, %s: unlike a run on the $MFT as the image stores it" % (what, mode.name))
        if mode is CONSOLE_MODE:
            warned = [line for line in run.console.split("\n") if re.search(warning, line, re.I)]
            print("    warning: %r" % warned)
            if not warned:
                checker.fail("%s: no warning line matches %r: %s" % (what, warning, shown(run.console)))
    print("  %d of %d modes identical" % (identical, len(MODES)))


def check_backup_boot_sector(checker: Checker, volume: Volume) -> None:
    path = damaged_copy(checker, volume, "zeroed-boot-sector.img")
    with open(path, "r+b") as image:
        image.write(bytes(volume.sector_size))
    check_damaged(checker, "%s, primary boot sector zeroed" % volume.label, volume, path, r"backup.*boot|boot.*backup")


def break_update_sequence(path: str, record: int) -> None:
    """Changes the update sequence number of the record there: no sector's last two bytes match it."""
    with open(path, "r+b") as data:
        update_sequence = record + struct.unpack("<H", read_at(data, record + 4, 2))[0]
        number = struct.unpack("<H", read_at(data, update_sequence, 2))[0]
        data.seek(update_sequence)
        data.write(struct.pack("<H", number ^ 0xFFFF))


def check_mirror_record(checker: Checker, volume: Volume) -> None:
    boot = read_boot_sector(volume.path)
    record, mirrored = (cluster * boot.cluster_size for cluster in (boot.mft_cluster, boot.mirror_cluster))
    with open(volume.path, "rb") as image:
        if read_at(image, record, volume.record_size) != read_at(image, mirrored, volume.record_size):
            raise RuntimeError("%s: record 0 and its copy in $MFTMirr differ" % volume.label)
    path = damaged_copy(checker, volume, "broken-record-0.img")
    break_update_sequence(path, record)
    as_stored = os.path.join(checker.work, "broken-record-0.mft")   # icat cannot open the damaged volume
    shutil.copyfile(volume.mft, as_stored)
    break_update_sequence(as_stored, 0)
    check_damaged(checker, "%s, record 0's update sequence broken" % volume.label, volume, path,
                  r"MFTMirr|mirror", as_stored)


def record_pieces(volume: Volume) -> List[List[Tuple[int, int]]]:
    """Where each record of the $MFT lies on the volume: (byte offset, length) of each piece,
    a piece per cluster where a record spans several."""
    cluster_size = read_boot_sector(volume.path).cluster_size
    clusters = mft_clusters(volume.path)
    piece = min(cluster_size, volume.record_size)
    return [[(clusters[at // cluster_size] * cluster_size + at % cluster_size, piece)
             for at in range(first, first + volume.record_size, piece)]
            for first in range(0, len(clusters) * cluster_size - volume.record_size + 1, volume.record_size)]


def list_end(volume: Volume) -> int:
    """Where the clusters of record 0's attribute list end on the volume (0 without one
    that has clusters of its own): a cut before them hides the pieces it names."""
    text = subprocess.run(["istat", volume.path, "0"], check=True, capture_output=True,
                          timeout=60).stdout.decode("utf-8", "replace")
    block = re.search(r"^Type: \$ATTRIBUTE_LIST \(32-\d+\).*Non-Resident.*\n((?:[\d ]+\n)+)", text, re.M)
    cluster_size = read_boot_sector(volume.path).cluster_size
    return max((int(n) + 1) * cluster_size for n in block.group(1).split()) if block else 0


def lost_ranges(volume: Volume, size: int) -> List[Tuple[int, int]]:
    """(first, last) of each run of records of the $MFT (as long as record 0 says) not wholly
    inside the first size bytes of the volume."""
    placed = record_pieces(volume)[:os.path.getsize(volume.mft) // volume.record_size]
    lost = [i for i, pieces in enumerate(placed) if any(s + n > size for s, n in pieces)]
    starts = [i for i in lost if i - 1 not in lost]
    return [(first, next(i for i in lost if i >= first and i + 1 not in lost)) for first in starts]


def cut_point(volume: Volume) -> Tuple[int, int]:
    """The cut record and the size: half-way into the record of the $MFT's second half that
    lies first on the volume after its first quarter and its attribute list's clusters (where
    the runs are out of order, records before it are lost too, and records after it kept)."""
    placed = record_pieces(volume)
    kept = max([s + n for pieces in placed[:len(placed) // 4] for s, n in pieces] + [list_end(volume)])
    cut_record = min((i for i in range(len(placed) // 2, len(placed)) if placed[i][0][0] >= kept),
                     key=lambda i: placed[i][0][0])
    start, length = placed[cut_record][0]
    return cut_record, start + length // 2


def check_cut_image(checker: Checker, volume: Volume) -> None:
    """Exit 255, a line for each range of records with a byte past the cut, a warning that
    says where the image ends, and the report of the extracted $MFT with those records wiped."""
    cut_record, size = cut_point(volume)
    path = damaged_copy(checker, volume, volume.label + "-cut.img")
    os.truncate(path, size)
    ranges = lost_ranges(volume, size)
    what = "%s cut at byte %d, inside record %d" % (volume.label, size, cut_record)
    print("== %s (records lost: %s)" % (what, ", ".join("%d-%d" % r for r in ranges)))
    run = checker.run([path], CONSOLE_MODE)
    lines = [line for line in run.console.split("\n") if line.strip()]
    print("".join("    %s\n" % line for line in lines), end="")
    for first, last in ranges:
        named = "Records {:,} to {:,} of the $MFT lie past the end of the image.".format(first, last)
        if not any(line.endswith(named) for line in lines):
            checker.fail("%s: no line \"%s\"" % (what, named))
    if not any("Warning: " in line and any(form in line for form in number_forms(size)) for line in lines):
        checker.fail("%s: no warning says where the image ends (byte %d)" % (what, size))
    records = os.path.join(checker.work, volume.label + "-lost-wiped.mft")
    with open(volume.mft, "rb") as whole, open(records, "wb") as out:
        wiped = bytearray(whole.read())
        for first, last in ranges:
            wiped[first * volume.record_size:(last + 1) * volume.record_size] = bytes((last - first + 1) * volume.record_size)
        out.write(wiped)
    compare_outputs(checker, what, {CONSOLE_MODE.name: checker.run([records], CONSOLE_MODE)}, CONSOLE_MODE, run,
                    REFUSED)


def build_images(work: str) -> Tuple[Dict[str, Volume], Dict[str, Disk], List[Image]]:
    volumes = build_volumes(work)
    disks = {disk.name: disk for disk in planned_disks(volumes)}
    for disk in disks.values():
        build_disk(work, disk)
    mbr, gpt512, gpt4k = disks["mbr.raw"], disks["gpt512.raw"], disks["gpt4k.raw"]
    # Pieces that end half-way into tree-1k's third $MFT record.
    tree = volumes["tree-1k"]
    boot = read_boot_sector(tree.path)
    inside = tree.offset + boot.mft_cluster * boot.cluster_size + 5 * tree.record_size // 2
    first_piece = split_set(work, gpt512, -(-inside // 512) * 512)
    images = [Image("raw volume", tree.path, [tree], raw_volume=True),
              Image("raw volume", volumes["tree-4k"].path, [volumes["tree-4k"]], raw_volume=True),
              Image("raw volume", volumes["listed-1k"].path, [volumes["listed-1k"]], raw_volume=True),
              Image("MBR disk", mbr.path, mbr.volumes),
              Image("GPT disk of 4096-byte sectors", gpt4k.path, gpt4k.volumes),
              Image("split raw set", first_piece, gpt512.volumes),
              Image("split raw set from .000", renumbered_from_zero(work, first_piece), gpt512.volumes),
              Image("E01 of the MBR disk", expert_witness_image(work, mbr), mbr.volumes, switch="--partition")]
    return volumes, disks, images


def run_all(binary: str, work: str) -> int:
    started = time.monotonic()
    volumes, disks, images = build_images(work)
    built = time.monotonic()
    checker = Checker(binary, work)
    for volume in volumes.values():
        checker.expect(volume)
    for image in images:
        check_image(checker, image)
    check_refusals(checker, disks, volumes)
    check_segments_kept(checker, images)
    check_backup_boot_sector(checker, volumes["tree-1k"])
    check_mirror_record(checker, volumes["fragmented-1k"])
    for label in ("fragmented-1k", "listed-1k"):
        check_cut_image(checker, volumes[label])
    print("time: images %.1f s, %d runs and checks %.1f s" % (built - started, checker.runs,
                                                              time.monotonic() - built))
    print("FAILED: %d problem(s)" % len(checker.problems) if checker.problems else "All checks passed.")
    return 1 if checker.problems else 0


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--keep", help="build in this folder and keep it (for a look at the images)")
    arguments = parser.parse_args()
    if not ready_to_mount(TOOLS):
        return SKIP_EXIT_CODE
    binary = os.path.abspath(arguments.binary)
    try:
        if arguments.keep:
            os.makedirs(arguments.keep)
            return run_all(binary, os.path.abspath(arguments.keep))
        with tempfile.TemporaryDirectory(prefix="varneth-images-") as work:
            return run_all(binary, work)
    except (RuntimeError, OSError, subprocess.SubprocessError) as error:
        print("FAILED: %s" % error)
        return 1


if __name__ == "__main__":
    sys.exit(main())
