"""Runs the varneth binary and reads back what it wrote, checking the text form."""

import os
import subprocess
import tempfile
from typing import Dict, List

REPORT_NAME = "report.tsv"


class OutputError(Exception):
    """The tool's output is malformed or the run failed."""


def run_captured(binary: str, args: List[str], cwd: str, time_zone: str = "UTC0") -> subprocess.CompletedProcess:
    """The finished run, its standard output and error kept apart; a failed run is an OutputError."""
    environment = dict(os.environ, TZ=time_zone)
    done = subprocess.run([binary] + args, cwd=cwd, env=environment, capture_output=True, timeout=300)
    if done.returncode != 0:
        raise OutputError("%s %s exited with %d\n%s%s" % (binary, " ".join(args), done.returncode,
                                                          done.stdout.decode("utf-8", "replace"),
                                                          done.stderr.decode("utf-8", "replace")))
    return done


def run_tool(binary: str, args: List[str], cwd: str, time_zone: str = "UTC0") -> bytes:
    return run_captured(binary, args, cwd, time_zone).stdout


def decode_utf8(data: bytes, what: str) -> str:
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as error:
        raise OutputError("%s is not valid UTF-8: %s" % (what, error)) from None


def parse_report(data: bytes, columns: List[str]) -> List[Dict[str, str]]:
    """The rows as dicts by column name, after checking the header, the line
    ends and that every line has exactly the header's number of fields."""
    text = decode_utf8(data, "the report")
    if "\r" in text:
        raise OutputError("the report holds a CR")
    if not text.endswith("\n"):
        raise OutputError("the report's last line has no LF")
    lines = text[:-1].split("\n")
    if lines[0].split("\t") != columns:
        raise OutputError("unexpected header line: %r" % lines[0])
    rows = []
    for number, line in enumerate(lines[1:], start=2):
        fields = line.split("\t")
        if len(fields) != len(columns):
            raise OutputError("line %d has %d fields, the header %d: %r"
                              % (number, len(fields), len(columns), line))
        rows.append(dict(zip(columns, fields)))
    return rows


def report_rows(binary: str, mft_path: str, extra_args: List[str], columns: List[str],
                time_zone: str = "UTC0"):
    """The report's rows; time_zone is a POSIX TZ value (it needs no zone database)."""
    with tempfile.TemporaryDirectory(prefix="varneth-e2e-") as work:
        run_tool(binary, extra_args + ["-o", REPORT_NAME, os.path.abspath(mft_path)], work, time_zone)
        with open(os.path.join(work, REPORT_NAME), "rb") as report:
            return parse_report(report.read(), columns)


def listing_lines(binary: str, mft_path: str, switch: str) -> List[str]:
    """The names printed by `-f` or `-a`, one per line."""
    with tempfile.TemporaryDirectory(prefix="varneth-e2e-") as work:
        text = decode_utf8(run_tool(binary, [switch, os.path.abspath(mft_path)], work),
                           "the %s listing" % switch)
    if text and not text.endswith("\n"):
        raise OutputError("the %s listing's last line has no LF" % switch)
    return text.split("\n")[:-1] if text else []
