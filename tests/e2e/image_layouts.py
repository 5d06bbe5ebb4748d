"""The NTFS volumes, disk images, split raw set and Expert Witness image that
image_input_test.py reads, made with Debian's tools on plain files.

Volumes (mkntfs, filled through ntfs-3g, each with its own serial number):
  tree-1k        volume_tree's tree, 1024-byte records, 512-byte sectors;
  fragmented-1k  a $MFT in several runs: the volume is filled with files, every
                 other one deleted, then many small files make the $MFT grow
                 into the holes;
  listed-1k      the same with 512-byte clusters and 1 KiB files: the $MFT
                 grows in step with the files and ends in over 200 runs, out
                 of order on the volume, too many for record 0, whose
                 $ATTRIBUTE_LIST places the rest of the $DATA in another
                 record (a raw volume only);
  tree-4k        volume_tree's tree, 4096-byte sectors and records;
  small-4k       a few files, 4096-byte sectors and records.
Each is formatted with the start sector of the partition the disks give it,
as a real one would be. Disks (a plain file, the table written by sfdisk or,
for 4096-byte sectors, which this sfdisk cannot set on a file, by fdisk -b,
the volumes copied in with dd):
  mbr     a Linux partition of random bytes, tree-1k as a primary, and
          fragmented-1k as a logical volume in an extended partition;
  gpt512  tree-1k and fragmented-1k, 512-byte sectors (kept as a split set);
  gpt4k   tree-4k and small-4k, 4096-byte sectors.
mmls must see each layout as planned.
"""

import os
import re
import struct
import subprocess
from dataclasses import dataclass, field
from typing import BinaryIO, Callable, Dict, List, Optional, Tuple

from real_volume_test import extract_mft, fill_in_sessions, format_volume
from volume_tree import Made, create_tree, tree_plan

MIB = 1024 * 1024
MBR_SECTOR = 512
BASIC_DATA_GUID = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"
MIN_MFT_RUNS = 3
RANDOM_PARTITION_BYTES = 2 * MIB   # random, so that the deflated E01 needs more than one segment
EWF_SEGMENT_BYTES = MIB            # ewfacquire's smallest segment
TOOLS = ("sfdisk", "fdisk", "mmls", "dd", "split", "ewfacquire")


@dataclass
class BootSector:
    oem: bytes
    bytes_per_sector: int
    sectors_per_cluster: int
    hidden_sectors: int
    total_sectors: int
    mft_cluster: int
    mirror_cluster: int
    serial: int
    signature: bytes

    @property
    def cluster_size(self) -> int:
        return self.bytes_per_sector * self.sectors_per_cluster


def read_at(image: BinaryIO, offset: int, size: int) -> bytes:
    image.seek(offset)
    return image.read(size)


def read_boot_sector(path: str, offset: int = 0) -> BootSector:
    with open(path, "rb") as image:
        data = read_at(image, offset, 512)
    bytes_per_sector, sectors_per_cluster = struct.unpack_from("<HB", data, 0x0B)
    total, mft, mirror, serial = struct.unpack_from("<QQQ8xQ", data, 0x28)
    return BootSector(data[3:11], bytes_per_sector, sectors_per_cluster, struct.unpack_from("<I", data, 0x1C)[0],
                      total, mft, mirror, serial, data[510:512])


@dataclass
class Volume:
    label: str
    record_size: int
    sector_size: int
    start: int          # in its sectors: where the disks place it
    size: int           # bytes
    serial: int
    sessions: Callable[[], List[Callable[[str], None]]]
    cluster_size: int = 4096
    path: str = ""      # the volume alone, a raw volume image
    mft: str = ""       # its $MFT as icat extracts it

    @property
    def offset(self) -> int:
        return self.start * self.sector_size

    @property
    def sectors(self) -> int:
        return self.size // self.sector_size


def tree_sessions() -> List[Callable[[str], None]]:
    plan = tree_plan()
    return [lambda root: create_tree(root, plan)]


def small_sessions() -> List[Callable[[str], None]]:
    plan = [Made("notes", True), Made("notes/a.txt", data=b"a\n"), Made("notes/b.txt", data=b"b" * 5000),
            Made("notes/gone.txt", data=b"gone\n", deleted=True)]
    return [lambda root: create_tree(root, plan)]


def fragmenting_sessions(file_size: int, small_files: int) -> Callable[[], List[Callable[[str], None]]]:
    """The volume filled with files of file_size bytes, every other one deleted, then
    small_files small files made: the $MFT grows wherever the volume has room."""
    def fill_until_full(root: str) -> None:
        number = 0
        while True:
            try:
                with open(os.path.join(root, "fill%05d" % number), "wb") as out:
                    out.write(b"f" * file_size)
            except OSError:
                return
            number += 1

    def delete_every_other(root: str) -> None:
        for name in os.listdir(root):
            if name.startswith("fill") and int(name[4:]) % 2 == 0:
                os.remove(os.path.join(root, name))

    def many_small_files(root: str) -> None:
        os.mkdir(os.path.join(root, "small"))
        for number in range(small_files):
            with open(os.path.join(root, "small", "s%05d.txt" % number), "wb") as out:
                out.write(b"small %05d\n" % number)

    return lambda: [fill_until_full, delete_every_other, many_small_files]


def planned_volumes() -> List[Volume]:
    return [Volume("tree-1k", 1024, 512, 8192, 32 * MIB, 0x1A2B3C4D11111111, tree_sessions),
            Volume("fragmented-1k", 1024, 512, 75776, 16 * MIB, 0x5E6F708122222222,
                   fragmenting_sessions(64 * 1024, 400)),
            Volume("tree-4k", 4096, 4096, 256, 32 * MIB, 0x9A0B1C2D33333333, tree_sessions),
            Volume("small-4k", 4096, 4096, 8448, 8 * MIB, 0x3E4F5A6B44444444, small_sessions),
            Volume("listed-1k", 1024, 512, 0, 24 * MIB, 0x7C8D9E0F55555555, fragmenting_sessions(1024, 1500),
                   cluster_size=512)]


def set_serial(volume: Volume) -> None:
    """Volumes formatted in the same second get the same serial number: each gets its own,
    in the boot sector and in its backup, the volume's last sector."""
    backup = volume.size - volume.sector_size
    with open(volume.path, "r+b") as image:
        if read_at(image, 0, volume.sector_size) != read_at(image, backup, volume.sector_size):
            raise RuntimeError("%s: the backup boot sector is not at the volume's end" % volume.label)
        for offset in (0, backup):
            image.seek(offset + 0x48)
            image.write(struct.pack("<Q", volume.serial))


def build_volume(work: str, volume: Volume) -> None:
    volume.path = format_volume(work, volume.record_size, volume.label + ".img", volume.size, volume.start,
                                volume.cluster_size)
    set_serial(volume)
    fill_in_sessions(work, volume.path, volume.sessions())
    volume.mft = extract_mft(work, volume.path, volume.record_size, volume.label + ".mft")


def mft_clusters(image: str, icat_options: Tuple[str, ...] = ()) -> List[int]:
    """The clusters of the $MFT's $DATA in VCN order, as istat lists them."""
    text = subprocess.run(["istat"] + list(icat_options) + [image, "0"], check=True, capture_output=True,
                          timeout=60).stdout.decode("utf-8", "replace")
    block = re.search(r"^Type: \$DATA \(128-\d+\).*\n((?:[\d ]+\n)+)", text, re.M)
    if not block:
        raise RuntimeError("istat shows no run list of the $MFT's $DATA in %s" % image)
    return [int(number) for number in block.group(1).split()]


def runs_of(clusters: List[int]) -> List[Tuple[int, int]]:
    """(first cluster, count) of each run."""
    runs: List[Tuple[int, int]] = []
    for cluster in clusters:
        if runs and runs[-1][0] + runs[-1][1] == cluster:
            runs[-1] = (runs[-1][0], runs[-1][1] + 1)
        else:
            runs.append((cluster, 1))
    return runs


def check_fragmented(volume: Volume) -> None:
    runs = runs_of(mft_clusters(volume.path))
    shown = runs if len(runs) <= 20 else runs[:20]
    print("%s: the $MFT's $DATA has %d runs (first cluster, clusters): %s%s"
          % (volume.label, len(runs), " ".join("%d+%d" % run for run in shown), " ..." if shown != runs else ""))
    if len(runs) < MIN_MFT_RUNS:
        raise RuntimeError("%s: the $MFT has %d run(s), fewer than %d" % (volume.label, len(runs), MIN_MFT_RUNS))


def check_listed_mft(volume: Volume) -> None:
    """Record 0's $ATTRIBUTE_LIST places a piece of the $MFT's $DATA in another record."""
    text = subprocess.run(["istat", volume.path, "0"], check=True, capture_output=True,
                          timeout=60).stdout.decode("utf-8", "replace")
    pieces = re.findall(r"^Type: 128-\d+ \tMFT Entry: (\d+) \tVCN: (\d+)$", text, re.M)
    print("%s: record 0's attribute list places the $DATA at (record, VCN) %s" % (volume.label, pieces))
    if not any(record != "0" for record, _ in pieces):
        raise RuntimeError("%s: no piece of the $MFT's $DATA is in another record" % volume.label)


@dataclass
class Partition:
    type: str                        # sfdisk's type, or "gpt" (basic data)
    volume: Optional[Volume] = None
    start: int = 0                   # where there is no volume
    length: int = 0
    container: bool = False          # the extended partition, which mmls shows as meta data

    @property
    def extent(self) -> Tuple[int, int]:
        return (self.volume.start, self.volume.sectors) if self.volume else (self.start, self.length)


@dataclass
class Disk:
    name: str
    label: str                       # "dos" or "gpt"
    sector_size: int
    sectors: int
    partitions: List[Partition]
    path: str = ""
    volumes: List[Volume] = field(default_factory=list)

    def __post_init__(self):
        self.volumes = [p.volume for p in self.partitions if p.volume]


def planned_disks(volumes: Dict[str, Volume]) -> List[Disk]:
    tree_1k, fragmented_1k, tree_4k, small_4k = (volumes[label] for label in
                                                 ("tree-1k", "fragmented-1k", "tree-4k", "small-4k"))
    return [
        Disk("mbr.raw", "dos", MBR_SECTOR, 110592, [
            Partition("83", start=2048, length=RANDOM_PARTITION_BYTES // MBR_SECTOR), Partition("7", tree_1k),
            Partition("5", start=73728, length=34816, container=True), Partition("7", fragmented_1k)]),
        Disk("gpt512.raw", "gpt", MBR_SECTOR, 110592, [Partition("gpt", tree_1k), Partition("gpt", fragmented_1k)]),
        Disk("gpt4k.raw", "gpt", 4096, 10752, [Partition("gpt", tree_4k), Partition("gpt", small_4k)]),
    ]


def write_table(disk: Disk) -> None:
    if disk.sector_size == MBR_SECTOR:
        lines = ["label: %s" % disk.label, "unit: sectors"]
        lines += ["start=%d, size=%d, type=%s" % (p.extent + (BASIC_DATA_GUID if p.type == "gpt" else p.type,))
                  for p in disk.partitions]
        subprocess.run(["sfdisk", "-q", disk.path], input="\n".join(lines) + "\n", text=True, check=True,
                       capture_output=True)
        return
    commands = ["g"]
    for number, partition in enumerate(disk.partitions, start=1):
        start, length = partition.extent
        commands += ["n", str(number), str(start), str(start + length - 1), "t"]
        commands += ([str(number)] if number > 1 else []) + [BASIC_DATA_GUID]
    subprocess.run(["fdisk", "-b", str(disk.sector_size), disk.path], input="\n".join(commands + ["w"]) + "\n",
                   text=True, check=True, capture_output=True)


def copy_into(disk: Disk, source: str, offset: int) -> None:
    subprocess.run(["dd", "if=" + source, "of=" + disk.path, "bs=1M", "seek=%d" % offset, "oflag=seek_bytes",
                    "conv=notrunc", "status=none"], check=True)


def check_layout(disk: Disk) -> None:
    """mmls lists the partitions where they were planned, in that order, in the disk's sectors."""
    text = subprocess.run(["mmls", disk.path], check=True, capture_output=True, timeout=60).stdout.decode()
    unit = re.search(r"Units are in (\d+)-byte sectors", text)
    seen = [(int(start), int(length)) for start, length in
            re.findall(r"^\d+:\s+\d+(?::\d+)?\s+(\d+)\s+\d+\s+(\d+)", text, re.M)]
    planned = [p.extent for p in disk.partitions if not p.container]
    if not unit or int(unit.group(1)) != disk.sector_size or seen != planned:
        raise RuntimeError("mmls %s does not show the planned layout %r:\n%s" % (disk.path, planned, text))


def build_disk(work: str, disk: Disk) -> None:
    disk.path = os.path.join(work, disk.name)
    with open(disk.path, "wb") as out:
        out.truncate(disk.sectors * disk.sector_size)
    write_table(disk)
    for partition in disk.partitions:
        if partition.volume:
            copy_into(disk, partition.volume.path, partition.volume.offset)
        elif not partition.container:
            random_bytes = os.path.join(work, "random.bin")
            with open(random_bytes, "wb") as out:
                out.write(os.urandom(partition.length * disk.sector_size))
            copy_into(disk, random_bytes, partition.start * disk.sector_size)
    check_layout(disk)


def split_set(work: str, disk: Disk, piece: int) -> str:
    """disk.raw.001, .002, ... in a folder of their own; returns the first piece's path."""
    folder = os.path.join(work, "split")
    os.mkdir(folder)
    prefix = os.path.join(folder, disk.name + ".")
    subprocess.run(["split", "-b", str(piece), "-d", "-a", "3", "--numeric-suffixes=1", disk.path, prefix],
                   check=True)
    pieces = sorted(name for name in os.listdir(folder))
    print("split set: %d pieces of %d bytes: %s ... %s" % (len(pieces), piece, pieces[0], pieces[-1]))
    return prefix + "001"


def renumbered_from_zero(work: str, first_piece: str) -> str:
    """The same pieces named .000, .001, ...; returns the first one's path."""
    folder = os.path.join(work, "split0")
    os.mkdir(folder)
    source = os.path.dirname(first_piece)
    for name in sorted(os.listdir(source)):
        stem, _, number = name.rpartition(".")
        os.link(os.path.join(source, name), os.path.join(folder, "%s.%03d" % (stem, int(number) - 1)))
    return os.path.join(folder, os.path.basename(first_piece)[:-3] + "000")


def expert_witness_image(work: str, disk: Disk) -> str:
    """The disk acquired by ewfacquire, deflated, in segments of 1 MiB; returns the .E01 path."""
    folder = os.path.join(work, "ewf")
    os.mkdir(folder)
    target = os.path.join(folder, os.path.splitext(disk.name)[0])
    subprocess.run(["ewfacquire", "-u", "-q", "-t", target, "-c", "deflate:fast", "-S", str(EWF_SEGMENT_BYTES),
                    disk.path], check=True, capture_output=True, timeout=300)
    segments = sorted(os.listdir(folder))
    print("Expert Witness image: %s" % " ".join(segments))
    if len(segments) < 2 or segments[:2] != [os.path.basename(target) + ".E01", os.path.basename(target) + ".E02"]:
        raise RuntimeError("ewfacquire made %r, not segments .E01 and .E02 at least" % segments)
    return target + ".E01"


def build_volumes(work: str) -> Dict[str, Volume]:
    volumes = {volume.label: volume for volume in planned_volumes()}
    for volume in volumes.values():
        build_volume(work, volume)
        boot = read_boot_sector(volume.path)
        if (boot.hidden_sectors, boot.serial) != (volume.start, volume.serial):
            raise RuntimeError("%s: the boot sector says start %d, serial %016X"
                               % (volume.label, boot.hidden_sectors, boot.serial))
    for label in ("fragmented-1k", "listed-1k"):
        check_fragmented(volumes[label])
    check_listed_mft(volumes["listed-1k"])
    return volumes
