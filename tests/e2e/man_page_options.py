#!/usr/bin/python3
"""The manual page names exactly the options of the usage text, and groff
renders it without a warning.

Usage: man_page_options.py VARNETH MAN_PAGE
"""
import re
import subprocess
import sys

USAGE_EXIT_STATUS = 255
# An option where it stands as a word: not the "-byte" of "1024-byte".
OPTION_WORD = re.compile(r"(?<![\w-])--?[A-Za-z]+")
# "-m, --hostname" at the start of an option's line or of its tag.
OPTION_PAIR = re.compile(r"^\s*(-\w), (--\w+)\b", re.MULTILINE)
# "--summary" alone there: a long option without a short one.
LONG_ONLY = re.compile(r"^\s*(--\w+)\b", re.MULTILINE)


def options_in(text):
    """The options named at the start of lines: (short, long) pairs and lone long ones."""
    return set(OPTION_PAIR.findall(text)) | {("", name) for name in LONG_ONLY.findall(text)}


def shown(pair):
    return ", ".join(name for name in pair if name)


def run(command):
    return subprocess.run(command, capture_output=True, text=True, timeout=60)


def usage_pairs(varneth):
    result = run([varneth, "-h"])
    if result.returncode != USAGE_EXIT_STATUS:
        sys.exit(f"FAIL: varneth -h exited with {result.returncode}, not {USAGE_EXIT_STATUS}")
    return options_in(result.stderr)


def options_section(man_page):
    # Plain ASCII, one very long line per paragraph and no hyphenation, so
    # that no option is split or dressed in another dash.
    result = run(["groff", "-man", "-Tascii", "-P-cbou", "-rHY=0", "-rLL=500n", man_page])
    if result.returncode != 0:
        sys.exit(f"FAIL: groff could not render {man_page}: {result.stderr}")
    section = re.search(r"^OPTIONS\n(.*?)^\S", result.stdout, re.MULTILINE | re.DOTALL)
    if section is None:
        sys.exit(f"FAIL: {man_page} has no OPTIONS section")
    return section.group(1)


def main():
    varneth, man_page = sys.argv[1], sys.argv[2]
    failures = []

    warnings = run(["groff", "-man", "-ww", "-z", man_page])
    if warnings.returncode != 0 or warnings.stdout or warnings.stderr:
        failures.append("groff warns about the page:\n" + warnings.stdout + warnings.stderr)

    in_usage = usage_pairs(varneth)
    if not in_usage:
        failures.append("no options found in the usage text of varneth -h")
    section = options_section(man_page)
    in_page = options_in(section)
    for pair in sorted(in_usage - in_page):
        failures.append(f"usage has {shown(pair)}; the OPTIONS section does not")
    for pair in sorted(in_page - in_usage):
        failures.append(f"the OPTIONS section has {shown(pair)}; the usage does not")
    known = {name for pair in in_usage for name in pair if name}
    for word in sorted(set(OPTION_WORD.findall(section)) - known):
        failures.append(f"the OPTIONS section names {word}, which the usage does not")

    for failure in failures:
        print("FAIL:", failure)
    if failures:
        return 1
    print(f"man page names the same {len(in_page)} options as the usage text")
    return 0


if __name__ == "__main__":
    sys.exit(main())
