"""The report rows and name listings that Varneth must write for what libfsntfs read.

Everything here is worked out from the library's view of the records alone,
by the tool's documented rules; nothing is taken from the tool's own output.
"""

from typing import Dict, List, Optional

from libfsntfs_view import NAME_SPACE_DOS, FileName, LibraryRecord, LibraryView

LONG_COLUMNS = [
    "RecNo", "Deleted", "Directory", "ADS", "Filename", "DOSFilename",
    "siCreateTime (UTC)", "siAccessTime (UTC)", "siModTime (UTC)", "siMFTModTime (UTC)",
    "ActualSize", "AllocSize", "Ext", "FullPath",
    "fnCreateTime (UTC)", "fnAccessTime (UTC)", "fnModTime (UTC)", "fnMFTModTime (UTC)",
    "ReadOnly", "Hidden", "System", "Resident", "Archive", "Compressed", "Device", "Encrypted",
    "Indexed", "Normal", "Offline", "ReparsePoint", "SparseFile", "Temporary", "Hostname",
]
LONG_ONLY_COLUMNS = {"DOSFilename", "Resident", "Archive", "Compressed", "Device", "Encrypted",
                     "Indexed", "Normal", "Offline", "ReparsePoint", "SparseFile", "Temporary"}
SI_TIME_COLUMNS = LONG_COLUMNS[6:10]
FN_TIME_COLUMNS = LONG_COLUMNS[14:18]
DEFAULT_COLUMNS = [name for name in LONG_COLUMNS if name not in LONG_ONLY_COLUMNS]
SHORT_COLUMNS = [name for name in DEFAULT_COLUMNS if name != "AllocSize" and name not in FN_TIME_COLUMNS]
ATTRIBUTE_BITS = {
    "ReadOnly": 0x0001, "Hidden": 0x0002, "System": 0x0004, "Archive": 0x0020,
    "Compressed": 0x0800, "Device": 0x0040, "Encrypted": 0x4000, "Indexed": 0x2000,
    "Normal": 0x0080, "Offline": 0x1000, "ReparsePoint": 0x0400, "SparseFile": 0x0200,
    "Temporary": 0x0100,
}
HOST_NAME = "localhost"
SEPARATOR = "\\"
ROOT_NAME = "."
ORPHAN_FOLDER = "$OrphanFiles"
MAX_PATH_PASSES = 50


def sanitized(text: str) -> str:
    """Control characters (C0, DEL, C1) and lone surrogates are written as U+FFFD."""
    return "".join("\ufffd" if ord(c) <= 0x1F or 0x7F <= ord(c) <= 0x9F or 0xD800 <= ord(c) <= 0xDFFF
                   else c for c in text)


def split_name(name: str):
    """(full name, extension) as the Windows path split gives them: the last path
    component, and the text after its last dot unless that dot leads the name."""
    colon = name.find(":")
    rest = name[colon + 1:] if colon > 0 else name
    base = rest[max(rest.rfind("\\"), rest.rfind("/")) + 1:]
    dot = base.rfind(".")
    return base, (base[dot + 1:] if dot > 0 else "")


def first_name(record: LibraryRecord, dos: bool):
    for name in record.names:
        if (name.name_space == NAME_SPACE_DOS) == dos:
            return name
    return None


def path_name(record: LibraryRecord):
    """The name a path is built from: the first one neither DOS nor empty."""
    return next((n for n in record.names if n.name_space != NAME_SPACE_DOS and n.name), None)


def names_folder(record: LibraryRecord, name: FileName) -> bool:
    """Whether the record at a name's parent number is still the folder it names: the
    same sequence number, or the next one when free; a base record. The root always is."""
    chosen = path_name(record)
    if chosen is not None and chosen.name == ROOT_NAME:
        return True
    return record.base_recno == 0 and (record.sequence == name.parent_sequence or
                                       (not record.allocated and record.sequence == (name.parent_sequence + 1) % 65536))


def expected_path(view: LibraryView, recno: int) -> str:
    """The path rebuilt from parent references: the first non-DOS, non-empty name
    of each record, "\\" between names and in front once the root "." is reached,
    at most 50 records read. A parent that is not the folder named, cannot be read,
    has no such name, or was passed already, and the limit, orphan the path: the
    names found go under "\\$OrphanFiles". A record without such a name of its own
    has the root's path."""
    names: List[str] = []
    current, naming, passed = recno, None, []
    for _ in range(MAX_PATH_PASSES):
        passed.append(current)
        record = view.records.get(current) if current < view.record_count else None
        if record is None or (naming is not None and not names_folder(record, naming)):
            break
        chosen = path_name(record)
        if chosen is None:
            if naming is None and record.names:
                return SEPARATOR
            break
        if chosen.name == ROOT_NAME:
            return SEPARATOR + SEPARATOR.join(names) if names else SEPARATOR
        names.insert(0, chosen.name)
        if chosen.parent_recno in passed:
            break
        current, naming = chosen.parent_recno, chosen
    return SEPARATOR + ORPHAN_FOLDER + "".join(SEPARATOR + name for name in names)


def is_reported(record: LibraryRecord) -> bool:
    """Base records with at least one name get report rows."""
    return record.base_recno == 0 and bool(record.names)


def library_paths(view: LibraryView) -> Dict[int, str]:
    """libfsntfs's own path ("path hint") of every reported record in use whose
    walk reaches the root, for the name the path is built from; the tool's
    FullPath must be the same. libfsntfs has no 50-name limit, so the paths
    that are orphaned (the limit among them) are left to expected_path alone."""
    paths = {}
    for recno, record in view.records.items():
        chosen = path_name(record) if is_reported(record) and record.allocated else None
        if chosen is not None and chosen.path_hint is not None \
                and not expected_path(view, recno).startswith(SEPARATOR + ORPHAN_FOLDER):
            paths[recno] = sanitized(chosen.path_hint)
    return paths


def size_texts(stream, cluster_size: Optional[int]):
    """(ActualSize, AllocSize); None where the allocated size cannot be known."""
    if stream is None:
        return "", ""
    if stream.resident:
        return str(stream.size), str(stream.size)
    allocated = None if cluster_size is None else str(stream.cluster_count * cluster_size)
    return str(stream.size), allocated


def record_row(view: LibraryView, record: LibraryRecord, path: str) -> Dict[str, Optional[str]]:
    win32 = first_name(record, dos=False)
    filename, ext = split_name(win32.name) if win32 else ("", "")
    dos = first_name(record, dos=True)
    first_stream = record.streams[0] if record.streams else None
    actual, allocated = size_texts(first_stream, view.cluster_size)
    row = {
        "RecNo": str(record.recno),
        "Deleted": "0" if record.allocated else "1",
        "Directory": "1" if record.directory else "0",
        "ADS": "0",
        "Filename": sanitized(filename),
        "DOSFilename": sanitized(split_name(dos.name)[0]) if dos else "",
        "ActualSize": actual,
        "AllocSize": allocated,
        "Ext": sanitized(ext),
        "FullPath": sanitized(path) if record.allocated else "?" + sanitized(path) + "?",
        "Resident": "1" if first_stream is not None and first_stream.resident else "0",
        "Hostname": HOST_NAME,
    }
    for column, time in zip(SI_TIME_COLUMNS, record.si_times):
        row[column] = time
    for column, time in zip(FN_TIME_COLUMNS, record.names[0].times):
        row[column] = time
    for column, bit in ATTRIBUTE_BITS.items():
        row[column] = "1" if record.si_flags & bit else "0"
    return row


def stream_row(view: LibraryView, record: LibraryRecord, base: Dict, stream, path: str) -> Dict:
    row = dict(base)
    suffix = ":" + sanitized(stream.name)
    row["ADS"] = "1"
    row["Filename"] = base["Filename"] + suffix
    row["FullPath"] = sanitized(path) + suffix
    if not record.allocated:
        row["FullPath"] = "?" + row["FullPath"] + "?"
    row["ActualSize"], row["AllocSize"] = size_texts(stream, view.cluster_size)
    row["Resident"] = "1" if stream.resident else "0"
    return row


def expected_rows(view: LibraryView) -> List[Dict[str, Optional[str]]]:
    """Every line of the long-format report after the header, in record order."""
    rows = []
    for recno in sorted(view.records):
        record = view.records[recno]
        if not is_reported(record):
            continue
        path = expected_path(view, recno)
        base = record_row(view, record, path)
        rows.append(base)
        rows.extend(stream_row(view, record, base, s, path) for s in record.streams if s.name)
    return rows


def listing_name(record: LibraryRecord) -> Optional[str]:
    """A single name is used whatever its namespace; of several, the first non-DOS one."""
    if len(record.names) == 1:
        return record.names[0].name
    win32 = first_name(record, dos=False)
    return win32.name if win32 else None


def expected_listing(view: LibraryView, streams_only: bool) -> List[str]:
    """The lines of `-f` (streams_only False) or `-a`: files only, no directories."""
    lines = []
    for recno in sorted(view.records):
        record = view.records[recno]
        if not is_reported(record) or record.directory:
            continue
        name = listing_name(record)
        if name is None:
            continue
        if not streams_only:
            lines.append(sanitized(name))
        if name:
            lines.extend(sanitized(name) + ":" + sanitized(s.name) for s in record.streams if s.name)
    return lines
