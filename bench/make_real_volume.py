#!/usr/bin/python3
"""Builds a large real NTFS volume and extracts its $MFT for the benchmark.

The volume is made as the real-volume test makes its small one: a sparse
image formatted by mkntfs, mounted with ntfs-3g (root and FUSE needed), filled,
unmounted, and its $MFT taken with `icat IMAGE 0`, update sequences in place.

    make_real_volume.py [--files N] [--keep-image IMAGE] WORK_DIR OUTPUT

The tree is made in one process, tiny files in directories of 250, so that
300,000 files take one to one and a half minutes through FUSE: directories
6 deep, about 3% of the names beyond ASCII, a Zone.Identifier stream on every 20th file,
every 50th file's data outside its record, and every 12th file deleted at
the end (after all creations, so the deleted records keep their names).
The image is made in WORK_DIR and removed (or, with --keep-image, moved to
IMAGE, for the runs on the image itself); prints the time and the records.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

FILES_PER_DIRECTORY = 250
CLUSTER_SIZE = 4096
EXTENSIONS = ("txt", "dll", "jpg", "log", "json", "html", "exe", "dat")
NON_ASCII_NAMES = ("Größe-%06d.txt", "文書-%06d.docx", "résumé-%06d.pdf")
ZONE_IDENTIFIER = b"[ZoneTransfer]\r\nZoneId=3\r\n"


def directory_of(leaf: int) -> str:
    """Leaf directories spread under a fixed tree, six names deep."""
    return "Users/bench/top%02d/group%d/sub%d/leaf%05d" % (leaf // 100, leaf // 10 % 10, leaf % 10, leaf)


def file_name(number: int) -> str:
    if number % 33 == 0:
        return NON_ASCII_NAMES[number // 33 % len(NON_ASCII_NAMES)] % number
    return "file-%06d.%s" % (number, EXTENSIONS[number % len(EXTENSIONS)])


def fill(root: str, files: int) -> None:
    deleted = []
    for number in range(files):
        if number % FILES_PER_DIRECTORY == 0:
            directory = os.path.join(root, directory_of(number // FILES_PER_DIRECTORY))
            os.makedirs(directory)
        path = os.path.join(directory, file_name(number))
        descriptor = os.open(path, os.O_WRONLY | os.O_CREAT, 0o644)
        os.write(descriptor, b"x" * 6000 if number % 50 == 0 else b"%d\n" % number)
        os.close(descriptor)
        if number % 20 == 0:
            descriptor = os.open(path + ":Zone.Identifier", os.O_WRONLY | os.O_CREAT, 0o644)
            os.write(descriptor, ZONE_IDENTIFIER)
            os.close(descriptor)
        if number % 12 == 5:
            deleted.append(path)
    for path in deleted:
        os.remove(path)


def build(work: str, files: int, output: str, keep_image: str) -> None:
    image, mount_point = os.path.join(work, "real-volume.img"), os.path.join(work, "real-volume-mnt")
    with open(image, "wb") as out:
        out.truncate(files * 4096 + 256 * 1024 * 1024)  # sparse: only what is written takes room
    subprocess.run(["mkntfs", "-F", "-Q", "-q", "-c", str(CLUSTER_SIZE), "-L", "varneth-bench", image],
                   check=True, capture_output=True)
    os.mkdir(mount_point)
    unmount_tool = shutil.which("fusermount") or shutil.which("fusermount3")
    # no_detach keeps ntfs-3g our child, so that the unmount can wait until it has written everything.
    volume = subprocess.Popen(["ntfs-3g", "-o", "streams_interface=windows,no_detach,noatime", image, mount_point],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 30
        while not os.path.ismount(mount_point):
            if volume.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("ntfs-3g did not mount the image")
            time.sleep(0.05)
        fill(mount_point, files)
    finally:
        if os.path.ismount(mount_point):
            subprocess.run([unmount_tool, "-u", mount_point], check=False)
        try:
            volume.wait(timeout=120)
        except subprocess.TimeoutExpired:
            volume.terminate()
            volume.wait(timeout=10)
        os.rmdir(mount_point)
    try:
        with open(output + ".part", "wb") as out:
            subprocess.run(["icat", image, "0"], check=True, stdout=out)
        os.replace(output + ".part", output)
        if keep_image:
            shutil.move(image, keep_image)
    finally:
        if os.path.exists(image):
            os.remove(image)
        if os.path.exists(output + ".part"):
            os.remove(output + ".part")


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--files", type=int, default=300000)
    parser.add_argument("--keep-image", default="")
    parser.add_argument("work_dir")
    parser.add_argument("output")
    arguments = parser.parse_args()
    started = time.monotonic()
    build(arguments.work_dir, arguments.files, arguments.output, arguments.keep_image)
    print("real volume: %d files created, $MFT of %d records extracted in %.1f s"
          % (arguments.files, os.path.getsize(arguments.output) // 1024, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
