"""What libfsntfs reads from a bare $MFT file, in the shape the report needs.

pyfsntfs gives names, parent references, times, flags and stream names;
fsntfsinfo adds what pyfsntfs 20200921 leaves out on a bare $MFT: the data
size of the unnamed stream (pyfsntfs says 0) and the VCN range that tells a
non-resident attribute from a resident one.
"""

import datetime
import re
import subprocess
from dataclasses import dataclass, field
from typing import Dict, List, Optional, Tuple

TYPE_STANDARD_INFORMATION = 0x10
TYPE_ATTRIBUTE_LIST = 0x20
TYPE_FILE_NAME = 0x30
TYPE_DATA = 0x80
TYPE_INDEX_ALLOCATION = 0xA0
NAME_SPACE_DOS = 2
REFERENCE_RECNO_MASK = (1 << 48) - 1

# The four times in report column order: create, access, modification, entry modification.
TIME_GETTERS = ("get_creation_time_as_integer", "get_access_time_as_integer",
                "get_modification_time_as_integer", "get_entry_modification_time_as_integer")
FILETIME_EPOCH = datetime.datetime(1601, 1, 1)
FILETIME_TICKS_PER_SECOND = 10_000_000
# The Gregorian calendar repeats every 400 years (146097 days): FILETIMEs past
# Python's year 9999 are dated within the first 400 years and moved on by eras.
ERA_SECONDS = 146097 * 86400
NO_TIMES = [""] * 4   # a record without $STANDARD_INFORMATION has empty time fields


@dataclass
class FileName:
    name: str
    name_space: int
    parent_recno: int
    times: List[str]
    path_hint: Optional[str] = None   # libfsntfs's own path for this name
    parent_sequence: int = 0
    filetimes: List[int] = field(default_factory=list)   # as stored, in TIME_GETTERS' order
    flags: int = 0


@dataclass
class DataStream:
    name: str                 # "" for the unnamed stream
    size: int                 # data size
    resident: bool
    cluster_count: int = 0    # of a non-resident attribute, from its VCN range


@dataclass
class LibraryRecord:
    recno: int
    allocated: bool
    directory: bool
    base_recno: int
    sequence: int = 0
    si_times: List[str] = field(default_factory=lambda: list(NO_TIMES))
    si_flags: int = 0
    si_filetimes: List[int] = field(default_factory=list)   # as stored, in TIME_GETTERS' order
    si_ids: Optional[Tuple[int, int, int]] = None   # owner id, security id, USN; None in a 48-byte one
    names: List[FileName] = field(default_factory=list)
    streams: List[DataStream] = field(default_factory=list)
    attribute_types: List[int] = field(default_factory=list)

    @property
    def has_attribute_list(self) -> bool:
        return TYPE_ATTRIBUTE_LIST in self.attribute_types


def filetime_text(filetime: int) -> str:
    """A FILETIME as whole-second UTC text."""
    eras, seconds = divmod(filetime // FILETIME_TICKS_PER_SECOND, ERA_SECONDS)
    moment = FILETIME_EPOCH + datetime.timedelta(seconds=seconds)
    return "%04d-%02d-%02d %02d:%02d:%02d" % (moment.year + 400 * eras, moment.month, moment.day,
                                              moment.hour, moment.minute, moment.second)


def attribute_filetimes(attribute) -> List[int]:
    return [getattr(attribute, getter)() for getter in TIME_GETTERS]


def attribute_times(attribute) -> List[str]:
    return [filetime_text(filetime) for filetime in attribute_filetimes(attribute)]


def parse_fsntfsinfo_data(mft_path: str) -> Dict[int, List[DataStream]]:
    """Every $DATA attribute of every entry, in record order, from `fsntfsinfo -E all`."""
    text = subprocess.run(["fsntfsinfo", "-E", "all", mft_path], check=True,
                          capture_output=True).stdout.decode("utf-8", "replace")
    result: Dict[int, List[DataStream]] = {}
    current: Optional[List[DataStream]] = None
    in_data = False
    for line in text.split("\n"):
        entry = re.match(r"MFT entry: (\d+) information:", line)
        if entry:
            current = result.setdefault(int(entry.group(1)), [])
            in_data = False
        elif line.startswith("Attribute: "):
            in_data = False
        elif current is not None and re.match(r"\tType\s*: \$DATA \(0x00000080\)", line):
            in_data = True
            current.append(DataStream(name="", size=0, resident=True))
        elif in_data:
            parse_data_line(line, current[-1])
    return result


def parse_data_line(line: str, stream: DataStream) -> None:
    # A range "first - last" when last > first; otherwise only "Data VCN : first",
    # which stands for one cluster, or for none in an emptied stream (last VCN -1).
    vcn = re.match(r"\tData VCN(?: range)?\s*: (\d+)(?: - (\d+))?$", line)
    size = re.match(r"\tData size\s*: (\d+) bytes", line)
    if vcn:
        stream.resident = False
        first = int(vcn.group(1))
        stream.cluster_count = int(vcn.group(2) or first) - first + 1
    elif size:
        stream.size = int(size.group(1))
        if not stream.resident and stream.size == 0 and stream.cluster_count == 1:
            stream.cluster_count = 0


def open_entry(mft, recno: int):
    """The entry, or None where libfsntfs finds no FILE record there."""
    try:
        entry = mft.get_file_entry(recno)
        if entry.is_empty():
            return None
        entry.is_allocated()  # refuses a block without a valid header
        return entry
    except OSError:
        return None


def standard_information_ids(attribute) -> Optional[Tuple[int, int, int]]:
    """Owner id, security id and USN; pyfsntfs refuses them where the attribute is too short to hold them."""
    try:
        return (attribute.owner_identifier, attribute.security_descriptor_identifier,
                attribute.update_sequence_number)
    except OSError:
        return None


def path_hint(entry, attribute_index: int) -> Optional[str]:
    try:
        return entry.get_path_hint(attribute_index)
    except OSError:
        return None


def read_attributes(entry, record: LibraryRecord, data_sizes: List[DataStream]) -> None:
    data_index = 0
    for index in range(entry.number_of_attributes):
        attribute = entry.get_attribute(index)
        kind = attribute.attribute_type
        first_of_its_type = kind not in record.attribute_types
        record.attribute_types.append(kind)
        if kind == TYPE_STANDARD_INFORMATION and first_of_its_type:
            record.si_times = attribute_times(attribute)
            record.si_filetimes = attribute_filetimes(attribute)
            record.si_ids = standard_information_ids(attribute)
            record.si_flags = attribute.file_attribute_flags
        elif kind == TYPE_FILE_NAME:
            record.names.append(FileName(attribute.name, attribute.name_space,
                                         attribute.parent_file_reference & REFERENCE_RECNO_MASK,
                                         attribute_times(attribute), path_hint(entry, index),
                                         attribute.parent_file_reference >> 48, attribute_filetimes(attribute),
                                         attribute.file_attribute_flags))
        elif kind == TYPE_DATA:
            stream = data_sizes[data_index]
            stream.name = attribute.attribute_name or ""
            record.streams.append(stream)
            data_index += 1
    if data_index != len(data_sizes):
        raise RuntimeError("record %d: pyfsntfs and fsntfsinfo disagree on its $DATA attributes"
                           % record.recno)


def check_named_stream_sizes(entry, record: LibraryRecord) -> None:
    """pyfsntfs reads named streams' sizes itself: they must match fsntfsinfo's."""
    for stream in record.streams:
        if stream.name:
            size = entry.get_alternate_data_stream_by_name(stream.name).size
            if size != stream.size:
                raise RuntimeError("record %d stream %s: pyfsntfs size %d, fsntfsinfo %d"
                                   % (record.recno, stream.name, size, stream.size))


def named_stream_cluster_sizes(entry, record: LibraryRecord) -> List[int]:
    """Bytes per cluster implied by each non-resident named stream: extents over VCNs."""
    sizes = []
    for stream in record.streams:
        if stream.name and not stream.resident and stream.cluster_count > 0:
            data = entry.get_alternate_data_stream_by_name(stream.name)
            total = sum(data.get_extent(i)[1] for i in range(data.number_of_extents))
            if total:
                sizes.append(total // stream.cluster_count)
    return sizes


@dataclass
class LibraryView:
    record_count: int
    records: Dict[int, LibraryRecord]   # every entry libfsntfs can read
    cluster_size: Optional[int]


def load_library_view(mft_path: str) -> LibraryView:
    import pyfsntfs  # here, so that a caller can test for it and skip without it
    mft = pyfsntfs.mft_metadata_file()
    mft.open(mft_path)
    data_by_entry = parse_fsntfsinfo_data(mft_path)
    records: Dict[int, LibraryRecord] = {}
    cluster_sizes = set()
    try:
        for recno in range(mft.number_of_file_entries):
            entry = open_entry(mft, recno)
            if entry is None:
                continue
            record = LibraryRecord(recno=recno, allocated=entry.is_allocated(),
                                   directory=entry.has_directory_entries_index(),
                                   base_recno=entry.base_record_file_reference & REFERENCE_RECNO_MASK,
                                   sequence=entry.file_reference >> 48)
            read_attributes(entry, record, data_by_entry.get(recno, []))
            check_named_stream_sizes(entry, record)
            cluster_sizes.update(named_stream_cluster_sizes(entry, record))
            records[recno] = record
        count = mft.number_of_file_entries
    finally:
        mft.close()
    if len(cluster_sizes) > 1:
        raise RuntimeError("%s: named streams imply different cluster sizes %s" % (mft_path, cluster_sizes))
    return LibraryView(count, records, cluster_sizes.pop() if cluster_sizes else None)
