"""The tree that the real-volume test creates through ntfs-3g, and how it is made.

Each entry says what the report must show of it: its path, whether it is a
directory, its data and streams, its DOS name, whether it is deleted, sparse
or compressed, and its further names (hard links).
"""

import os
import struct
from dataclasses import dataclass, field
from typing import Dict, List

CLUSTER_SIZE = 4096
COMPRESSION_UNIT_SIZE = 16 * CLUSTER_SIZE
ATTRIBUTE_COMPRESSED = 0x0800
MANY_FILES = 300
MAX_PATH_NAMES = 50   # the path walk's limit
CHAIN_DEPTH = MAX_PATH_NAMES + 2


@dataclass
class Made:
    """One file or directory that the test created, and what the report must say of it."""
    path: str                         # relative to the volume's root, "/" between names
    directory: bool = False
    data: bytes = b""
    streams: Dict[str, bytes] = field(default_factory=dict)
    dos_name: str = ""
    deleted: bool = False
    links: List[str] = field(default_factory=list)   # further names (hard links), made after it
    hole: int = 0              # bytes skipped before the data, which makes the file sparse
    compressed: bool = False   # set on a directory, inherited by the files made in it

    @property
    def size(self) -> int:
        return self.hole + len(self.data)

    @property
    def paths(self) -> List[str]:
        return [self.path] + self.links


def base_name(path: str) -> str:
    return path.rsplit("/", 1)[-1]


def tree_plan() -> List[Made]:
    """Everything to create, in creation order; deleted entries go last so that
    nothing created afterwards reuses their records."""
    made = [Made("dir-1", True)]
    for depth in range(2, 7):
        made.append(Made(made[-1].path + "/dir-%d" % depth, True))
    made += [
        Made(made[-1].path + "/deep file.txt", data=b"deep\n"),
        Made("Größe-Ünïcödé.txt", data=b"umlauts\n"),
        Made("日本語", True),
        Made("日本語/ファイル名.txt", data=b"kanji\n"),
        Made("emoji-😀-𝄞.txt", data=b"astral\n"),
        Made("𓀀-dir", True),
        Made("𓀀-dir/inner-😀.dat", data=b"inner\n"),
        Made("archive.tar.gz", data=b"gz\n"),
        Made("streams.txt", data=b"main data\n", streams={
            "Zone.Identifier": b"[ZoneTransfer]\r\nZoneId=3\r\n", "ünï-😀": b"x",
            "big": bytes(range(256)) * 400}),
        Made("Long File Name.txt", data=b"long\n", dos_name="LONGFI~1.TXT"),
        Made("posix", True),
        Made("posix/Case.txt", data=b"upper\n"),
        Made("posix/case.txt", data=b"lower\n"),
        Made("posix/trailing.", data=b"dot\n"),
        Made("posix/.profile", data=b"profile\n"),
        Made("posix/ctl\x01\x1b[31mred\tname.txt", data=b"control\n"),
        Made("posix/lf\nname-\x7f-\u0085-\u009b31m.txt", data=b"c1\n"),
        Made("posix/" + "y" * 251 + ".txt", data=b"longest\n"),
        Made("posix/" + "😀" * 63 + ".t", data=b"astral long\n"),
        Made("hardlinks", True),
        Made("hardlinks/sub", True),
        Made("hardlinks/zz-first.txt", data=b"linked\n", links=["hardlinks/sub/aa-second.txt",
                                                                "hardlinks/mm-third.txt"]),
        Made("big.bin", data=b"B" * (1024 * 1024 + 1)),
        Made("sparse.bin", data=b"end", hole=5 * 1024 * 1024),
        Made("packed", True, compressed=True),
        Made("packed/text.txt", data=b"compressible " * 25000, compressed=True),
        Made("packed/random.bin", data=os.urandom(70000), compressed=True),
        Made("packed/tiny.txt", data=b"tiny\n", compressed=True),
        Made("many", True),
    ]
    made += [Made("many/f%03d.dat" % i, data=b"%03d" % i) for i in range(MANY_FILES)]
    # A chain of directories two deeper than the path walk's limit, and a file at its bottom.
    made += [Made("/".join("L%02d" % level for level in range(1, depth + 1)), True)
             for depth in range(1, CHAIN_DEPTH + 1)]
    made.append(Made(made[-1].path + "/bottom.txt", data=b"bottom\n"))
    # '|' splits a body file line and '%' starts an escape in it.
    made.append(Made("pipe|and%25 percent.txt", data=b"pipe\n"))
    made += [
        Made("trash", True),
        Made("trash/deleted file.txt", data=b"gone\n", streams={"s": b"stream\n"}, deleted=True),
        Made("trash/gone-dir", True, deleted=True),
        Made("trash/gone-dir/deleted-inner.txt", data=b"inner gone\n", deleted=True),
    ]
    return made


def create_entry(root: str, item: Made) -> None:
    target = os.path.join(root, item.path)
    if item.directory:
        os.mkdir(target)
        if item.compressed:
            attributes = struct.unpack("<I", os.getxattr(target, "system.ntfs_attrib"))[0]
            os.setxattr(target, "system.ntfs_attrib", struct.pack("<I", attributes | ATTRIBUTE_COMPRESSED))
        return
    with open(target, "wb") as out:
        out.seek(item.hole)
        out.write(item.data)
    # Streams after the links: with many names, ntfs-3g has to move them out to extension records.
    for link in item.links:
        os.link(target, os.path.join(root, link))
    for stream, data in item.streams.items():
        with open(target + ":" + stream, "wb") as out:
            out.write(data)
    if item.dos_name:
        os.setxattr(target, "system.ntfs_dos_name", item.dos_name.encode())


def delete_marked(root: str, plan: List[Made]) -> None:
    for item in reversed(plan):  # children before their directory
        if item.deleted:
            (os.rmdir if item.directory else os.remove)(os.path.join(root, item.path))


def create_tree(root: str, plan: List[Made]) -> None:
    for item in plan:
        create_entry(root, item)
    delete_marked(root, plan)
