"""A JSON line of varneth -j against what independent readers show of the same
record: libfsntfs on a bare $MFT of 1024-byte records, The Sleuth Kit's istat
and fls on a volume image. Each compare_* function appends what differs to
problems; INTENDED_DIFFERENCES says what is set aside, and why."""

import calendar
import re
from typing import Dict, List, Optional, Set, Tuple

from fls_paths import canonical, compare_paths
from istat_view import FILETIME_TICKS_PER_SECOND, SECONDS_FROM_1601_TO_1970, istat
from libfsntfs_view import ERA_SECONDS, TIME_GETTERS, load_library_view
from real_volume_test import report_path

NAME_SPACES = {0: "posix", 1: "win32", 2: "dos", 3: "win32_and_dos"}
# The flag names istat prints, of the flags the volume's files have; a $FILE_NAME's also
# Directory and Index View.
FLAG_NAMES = ((0x2, "Hidden"), (0x4, "System"), (0x20, "Archive"), (0x200, "Sparse"), (0x800, "Compressed"))
FILE_NAME_FLAG_NAMES = FLAG_NAMES + ((0x10000000, "Directory"), (0x20000000, "Index View"))
# libfsntfs's time getters by the line's keys.
LIBRARY_TIMES = dict(zip(("created", "accessed", "modified", "mft_modified"), range(len(TIME_GETTERS))))
ISTAT_TIMES = ("created", "modified", "mft_modified", "accessed")   # istat's order

INTENDED_DIFFERENCES = {
    "path marks": "the report wraps the path of a record not in use in '?'; the line's path has no marks "
                  "(in_use tells): they are added before comparing with fls",
    "control characters": "a line keeps a name's control characters (escaped as JSON escapes them) where the "
                          "report writes U+FFFD; istat and fls print '^': names are compared after "
                          "fls_paths.canonical",
    "path limit": "the path walk stops after 50 names: the line keeps the last 50 under \\$OrphanFiles, "
                  "path_status 'orphan'; fls gives the whole path",
    "unnamed records": "fls lists records it found no name for as $OrphanFiles/OrphanFile-N; their path is null",
    "index attributes": "fls lists named indexes ($O, $SDH); a line's streams are its $DATA attributes only",
    "stream paths": "fls lists a named stream as PATH:NAME; a line holds its streams under the record's "
                    "path, which is joined to the stream's name so before comparing",
    "hard links": "fls lists every name of a file; the line's path is the report's, under one of them: any "
                  "of fls's is accepted",
    "never-set times": "a FILETIME of 0 is null in a line; istat prints it as 2076-11-29 08:54:34",
    "flag names": "istat names the flags it knows, and a $STANDARD_INFORMATION's Directory and Index View "
                  "not at all; a line has the number, whose bits istat names are compared",
    "short $STANDARD_INFORMATION": "one of 48 bytes holds no owner id, security id or journal number (USN): "
                                   "the line says 0, libfsntfs gives none (istat prints 0 for the ids)",
    "journal number (istat)": "istat 4.11 prints no journal number here: the line's is compared with "
                              "libfsntfs's, on the 1024-byte records",
    "directory (libfsntfs)": "pyfsntfs has no record flags: in_use and directory are compared with the "
                             "record's bytes",
    "4096-byte records (libfsntfs)": "libfsntfs 20200921 reads a bare $MFT of 4096-byte records as 1024-byte "
                                     "ones: those lines are compared with istat only",
}


def filetime(text: Optional[str]) -> int:
    """A line's time as a FILETIME; null is 0."""
    if text is None:
        return 0
    match = re.match(r"^(\d{4,5})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)\.(\d{7})Z$", text)
    fields = [int(group) for group in match.groups()]
    # Years past 9999 are moved back by whole 400-year eras, in which the calendar repeats.
    eras = max(0, fields[0] - 9600) // 400
    fields[0] -= 400 * eras
    seconds = calendar.timegm(tuple(fields[:6])) + SECONDS_FROM_1601_TO_1970 + eras * ERA_SECONDS
    return seconds * FILETIME_TICKS_PER_SECOND + fields[6]


def expected_signs(si_times: Optional[Dict[str, int]], name_created: List[int]) -> Tuple[Set, Set]:
    """The values each sign may take, given the $STANDARD_INFORMATION times and the creation
    time of each $FILE_NAME (the sign compares the report's, one of them). A time never set
    is compared with nothing."""
    if si_times is None:
        return {None}, {None}
    created = si_times["created"]
    before = {None if created == 0 or name == 0 else created < name for name in name_created} or {None}
    set_times = [value for value in si_times.values() if value != 0]
    whole = {all(value % FILETIME_TICKS_PER_SECOND == 0 for value in set_times) if set_times else None}
    return before, whole


def check_signs(line: dict, si_times: Optional[Dict[str, int]], name_created: List[int], source: str,
                problems: List[str]) -> None:
    before, whole = expected_signs(si_times, name_created)
    signs = line["timestomp_signs"]
    got = (None, None) if signs is None else (signs["si_created_before_fn_created"], signs["si_times_whole_seconds"])
    if got[0] not in before or got[1] not in whole:
        problems.append("record %d: timestomp signs %s; %s's times allow %s and %s"
                        % (line["record"], got, source, sorted(before, key=str), whole))


def line_times(times: dict) -> Dict[str, int]:
    return {key: filetime(times[key]) for key in ISTAT_TIMES}


def line_names(line: dict) -> List[tuple]:
    return sorted((canonical(n["name"]), n["namespace"], n["parent"]["record"], n["parent"]["sequence"], n["flags"],
                   tuple(sorted(line_times(n).items()))) for n in line["file_names"])


def compare_with_libfsntfs(mft_path: str, lines: List[dict], what: str, problems: List[str]) -> int:
    view = load_library_view(mft_path)
    if set(view.records) != {line["record"] for line in lines}:
        problems.append("%s: libfsntfs reads records %s, the lines are of %s"
                        % (what, sorted(view.records)[:20], [line["record"] for line in lines][:20]))
    compared = 0
    for line in lines:
        record = view.records.get(line["record"])
        if record is None:
            continue
        compared += 1
        base = line["base_record"]["record"] if line["base_record"] else 0
        if (line["sequence"], line["in_use"], base) != (record.sequence, record.allocated, record.base_recno):
            problems.append("%s record %d: sequence, in use, base %s; libfsntfs %s" % (
                what, record.recno, (line["sequence"], line["in_use"], base),
                (record.sequence, record.allocated, record.base_recno)))
        si_times = None
        if record.si_filetimes:
            si_times = {key: record.si_filetimes[index] for key, index in LIBRARY_TIMES.items()}
        info = line["standard_information"]
        got_si = None if info is None else (line_times(info), info["flags"],
                                            (info["owner_id"], info["security_id"], info["usn"]))
        want_si = None if si_times is None else (si_times, record.si_flags, record.si_ids or (0, 0, 0))
        if got_si != want_si:
            problems.append("%s record %d: $STANDARD_INFORMATION times, flags and ids %s; libfsntfs %s"
                            % (what, record.recno, got_si, want_si))
        wanted = sorted((canonical(n.name), NAME_SPACES.get(n.name_space, "unknown"), n.parent_recno,
                         n.parent_sequence, n.flags,
                         tuple(sorted((key, n.filetimes[index]) for key, index in LIBRARY_TIMES.items())))
                        for n in record.names)
        if line_names(line) != wanted:
            problems.append("%s record %d: names %s; libfsntfs %s" % (what, record.recno, line_names(line), wanted))
        check_signs(line, si_times, [n.filetimes[LIBRARY_TIMES["created"]] for n in record.names],
                    "libfsntfs", problems)
    return compared


def named_flags(flags: int, table) -> List[str]:
    return sorted(name for bit, name in table if flags & bit)


def istat_times(times) -> Dict[str, int]:
    return dict(zip(ISTAT_TIMES, times))


def compare_record_with_istat(line: dict, shown, problems: List[str]) -> None:
    where = "record %d" % line["record"]
    base = str(line["base_record"]["record"]) if line["base_record"] else ""
    got = (line["sequence"], line["in_use"], line["directory"], line["link_count"], base)
    want = (shown.sequence, shown.allocated, shown.directory, shown.links, shown.base)
    if got != want:
        problems.append("%s: sequence, in use, directory, links, base %s; istat %s" % (where, got, want))
    info = line["standard_information"]
    got_si = None if info is None else (named_flags(info["flags"], FLAG_NAMES), info["owner_id"],
                                        info["security_id"], info["usn"], line_times(info))
    want_si = None if shown.info is None else (sorted(shown.info.flags), shown.info.owner_id, shown.info.security_id,
                                                info["usn"] if shown.info.usn is None else shown.info.usn,
                                                istat_times(shown.info.times))
    if got_si != want_si:
        problems.append("%s: $STANDARD_INFORMATION %s; istat %s" % (where, got_si, want_si))
    got_names = sorted((canonical(n["name"]), n["parent"]["record"], n["parent"]["sequence"],
                        named_flags(n["flags"], FILE_NAME_FLAG_NAMES), n["allocated_size"], n["real_size"],
                        sorted(line_times(n).items())) for n in line["file_names"])
    want_names = sorted((canonical(n.name), n.parent, n.parent_sequence, sorted(n.flags), n.allocated_size,
                         n.real_size, sorted(istat_times(n.times).items())) for n in shown.file_names)
    if got_names != want_names:
        problems.append("%s: $FILE_NAMEs %s; istat %s" % (where, got_names, want_names))
    got_streams = sorted((canonical(s["name"]), s["resident"], s["real_size"], s["initialized_size"])
                         for s in line["streams"])
    want_streams = sorted((canonical(s.name), s.resident, s.size, s.initialized_size) for s in shown.streams)
    if got_streams != want_streams:
        problems.append("%s: streams %s; istat %s" % (where, got_streams, want_streams))
    check_signs(line, None if shown.info is None else istat_times(shown.info.times),
                [n.times.created for n in shown.file_names], "istat", problems)


def compare_with_istat(image: str, lines: List[dict], problems: List[str]) -> int:
    for line in lines:
        compare_record_with_istat(line, istat(image, str(line["record"])), problems)
    return len(lines)


def marked(path: str, in_use: bool) -> str:
    return path if in_use else "?" + path + "?"


def compare_paths_with_fls(image: str, lines: List[dict], problems: List[str]) -> Dict[str, int]:
    """Each line's path (and its streams' under it) against fls -r -p, $OrphanFiles
    included, and its path_status against where fls places it."""
    rows = []
    for line in lines:
        path, status = line["path"], line["path_status"]
        walked = line["base_record"] is None and line["decoded"] and bool(line["file_names"])
        orphan_path = path is not None and path.startswith("\\$OrphanFiles\\")
        if (path is not None, status is not None) != (walked, walked) or \
                status == "orphan" and not orphan_path or \
                status == "ok" and (orphan_path or not path.startswith("\\")):
            problems.append("record %d: path %r, path_status %r" % (line["record"], path, status))
        if path is None:
            continue
        rows.append({"RecNo": str(line["record"]), "ADS": "0", "Filename": "", "FullPath": marked(path, line["in_use"])})
        rows += [{"RecNo": str(line["record"]), "ADS": "1", "Filename": ":" + s["name"],
                  "FullPath": marked(path + ":" + s["name"], line["in_use"])} for s in line["streams"] if s["name"]]
    comparison = compare_paths(image, rows, report_path, named_orphans=True)
    problems.extend(what for _, what in comparison.differences)
    by_record = {line["record"]: line for line in lines}
    for (recno, stream), paths in comparison.named.items():
        orphan = all(p.strip("?").startswith("\\$OrphanFiles\\") for p in paths)
        line = by_record.get(int(recno))
        if not stream and line is not None and line["path_status"] != ("orphan" if orphan else "ok"):
            problems.append("record %s: path_status %r, fls gives %s" % (recno, line["path_status"], sorted(paths)))
    return comparison.counts
