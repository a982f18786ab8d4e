#!/usr/bin/env python3
"""Runs satvet on the fixtures of a .cases file and compares stdout, stderr and
the exit status with the expected ones, byte for byte.

A .cases file is a table of cases. Each case starts with a line "=== name";
any lines before its first section describe it. Sections start with
"--- NAME [MODIFIERS]" and hold the lines up to the next section or case:

  formula, solution   files written for the case (absent: not written)
  args                the command-line arguments (default: {formula} {solution}),
                      split like a shell; {formula}, {solution}, {missing} (a path
                      that does not exist) and {dir} (a directory) are replaced by
                      the short names that satvet sees: it runs in the case's folder
  stdout, stderr      the expected output (absent: empty)
  status              the expected exit status (absent: 0)
  define              Python statements whose names the py sections of the case use
  stdout-to           where satvet's standard output goes instead of a pipe that
                      is read (the stdout section must then be absent): "full"
                      (the device /dev/full, where every write fails), "closed"
                      (no descriptor 1), "broken-pipe" (a pipe whose reading end
                      is closed, with SIGPIPE ignored)

A section's text is its lines, each ended by a newline; one blank line before
a "===" line separates the cases and belongs to no section. Modifiers:
  name=FILE  (formula, solution) the file's name in place of the short one
  from=PATH  (formula, solution, stdout, stderr) the content is the bytes of the
             file PATH, relative to the .cases file's folder (the section holds
             no lines): binary fixtures, the examples' expected outputs
  nonl  no newline after the last line
  esc   backslash escapes are decoded: \\r \\t \\0 \\n \\xHH \\\\
  py    the text is a Python expression that gives the content (str or bytes)
  prefix  (stdout) the actual output may be any beginning of the expected one,
          up to the end of one of its lines, from none of it to all of it: the
          part of a listing written before an error

With --crlf the expected stdout and stderr are compared with each LF written as
CRLF, as a Windows program writes them to a stream in text mode.

With --lacks FORMAT (gzip, xz, bzip2 or zstd; repeatable), for a build that
cannot decompress FORMAT: a case whose formula or solution begins with that
format's magic bytes expects, for the first such file, nothing on stdout, the
message "error reading 'NAME': this satvet cannot decompress FORMAT files;
decompress the file first" and status 255, in place of its own expectations.
"""

import argparse
import contextlib
import os
import shlex
import subprocess
import sys
import tempfile

SECTIONS = {"define", "formula", "solution", "args", "stdout", "stderr", "status", "stdout-to"}
FILES = ("formula", "solution")
CONTENT = {"formula", "solution", "stdout", "stderr"}
# What a file begins with when it is compressed: gzip's magic and its deflate
# method, zstd's frames and its skippable frames (magic numbers 0x184D2A50 to
# 0x184D2A5F).
MAGIC = {
    "gzip": [b"\x1f\x8b\x08"],
    "xz": [b"\xfd7zXZ\x00"],
    "bzip2": [b"BZh" + bytes([digit]) for digit in b"123456789"],
    "zstd": [b"\x28\xb5\x2f\xfd"] + [bytes([0x50 + kind]) + b"\x2a\x4d\x18" for kind in range(16)],
}


class Case:
    def __init__(self, name, line, folder):
        self.name = name
        self.line = line
        self.folder = folder  # of the .cases file: from=PATH is relative to it
        self.sections = {}


def parse(path):
    cases = []
    current = None
    section = None
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    for number, text in enumerate(lines, 1):
        if text.startswith("=== "):
            if section is not None and section[1] and section[1][-1] == "":
                section[1].pop()  # the blank line that separates two cases
            current = Case(text[4:].strip(), number, os.path.dirname(os.path.abspath(path)))
            cases.append(current)
            section = None
        elif text.startswith("--- "):
            if current is None:
                raise SystemExit(f"{path}:{number}: section outside a case")
            words = text[4:].split()
            name, modifiers = words[0], set(words[1:])
            known = {"nonl", "esc", "py"} | ({m for m in modifiers if m.startswith("name=")} if name in FILES else set())
            known |= {m for m in modifiers if m.startswith("from=")} if name in CONTENT else set()
            known |= {"prefix"} if name == "stdout" else set()
            if name not in SECTIONS or not modifiers <= known:
                raise SystemExit(f"{path}:{number}: unknown section '{text}'")
            if name in current.sections:
                raise SystemExit(f"{path}:{number}: section {name} given twice")
            section = (modifiers, [])
            current.sections[name] = section
            source = next((m[5:] for m in modifiers if m.startswith("from=")), None)
            if source is not None and not os.path.isfile(os.path.join(current.folder, source)):
                raise SystemExit(f"{path}:{number}: no file {source}")
        elif section is not None:
            section[1].append(text)
    return cases


def content(section, names=None, folder=""):
    modifiers, lines = section
    source = next((m[5:] for m in modifiers if m.startswith("from=")), None)
    if source is not None:
        if lines:
            raise SystemExit(f"the section from {source} holds lines")
        with open(os.path.join(folder, source), "rb") as f:
            return f.read()
    if "py" in modifiers:
        value = eval("\n".join(lines), dict(names or {}))  # fixtures are our own files
        return value.encode("latin-1") if isinstance(value, str) else value
    text = "\n".join(lines)
    if "nonl" not in modifiers and lines:
        text += "\n"
    data = text.encode("utf-8")
    if "esc" in modifiers:
        data = data.decode("unicode_escape").encode("latin-1")
    return data


@contextlib.contextmanager
def output_target(kind):
    """The standard output for a run, and further arguments of subprocess.run."""
    if kind == "":
        yield subprocess.PIPE, {}
    elif kind == "full":
        with open("/dev/full", "wb") as full:
            yield full, {}
    elif kind == "closed":
        yield None, {"preexec_fn": lambda: os.close(1)}
    elif kind == "broken-pipe":
        reading, writing = os.pipe()
        os.close(reading)
        try:
            # Python ignores SIGPIPE; without restoring it the child does too,
            # so its writes fail with EPIPE instead of ending it.
            yield writing, {"restore_signals": False}
        finally:
            os.close(writing)
    else:
        raise SystemExit(f"unknown stdout-to '{kind}'")


def lacking_file(files, lacks):
    """The message of the first file, formula then solution, whose format the
    build lacks, or None."""
    for name, data in files:
        for fmt in lacks:
            if any(data.startswith(magic) for magic in MAGIC[fmt]):
                return f"error reading '{name}': this satvet cannot decompress {fmt} files; decompress the file first\n"
    return None


def matches_prefix(want, got):
    """got is a beginning of want that ends where one of its lines ends."""
    return want.startswith(got) and (got == b"" or got.endswith(b"\n"))


def run_case(case, satvet, workdir, crlf=False, lacks=()):
    # satvet runs in the case's folder, so messages show these short names.
    paths = {"formula": "formula.cnf", "solution": "solution.txt", "missing": "no-such-file", "dir": "folder"}
    os.mkdir(os.path.join(workdir, paths["dir"]))
    names = {}
    if "define" in case.sections:
        exec("\n".join(case.sections["define"][1]), names)
    def section(kind, default=b""):
        return content(case.sections[kind], names, case.folder) if kind in case.sections else default
    written = []
    for kind in FILES:
        if kind in case.sections:
            paths[kind] = next((m[5:] for m in case.sections[kind][0] if m.startswith("name=")), paths[kind])
            written.append((paths[kind], section(kind)))
            with open(os.path.join(workdir, paths[kind]), "wb") as f:
                f.write(written[-1][1])
    args_text = section("args", b"{formula} {solution}").decode("utf-8")
    args = [word.format(**paths) for word in shlex.split(args_text)]
    expected = {
        "stdout": section("stdout"),
        "stderr": section("stderr"),
        "status": int(section("status", b"0").strip()),
    }
    prefix = "stdout" in case.sections and "prefix" in case.sections["stdout"][0]
    lacking = lacking_file(written, lacks)
    if lacking is not None:
        expected = {"stdout": b"", "stderr": lacking.encode("utf-8"), "status": 255}
        prefix = False
    if crlf:
        for key in ("stdout", "stderr"):
            expected[key] = expected[key].replace(b"\n", b"\r\n")
    stdout_to = section("stdout-to").decode("utf-8").strip()
    if stdout_to and "stdout" in case.sections:
        raise SystemExit(f"case at line {case.line}: stdout-to and stdout together")
    try:
        with output_target(stdout_to) as (stdout, extra):
            done = subprocess.run(satvet + args, cwd=workdir, stdin=subprocess.DEVNULL, stdout=stdout,
                                  stderr=subprocess.PIPE, timeout=300, **extra)
    except subprocess.TimeoutExpired:
        return ["timed out"]
    actual = {"stdout": done.stdout or b"", "stderr": done.stderr, "status": done.returncode}
    problems = []
    for key in ("status", "stderr", "stdout"):
        if key == "stdout" and prefix and matches_prefix(expected[key], actual[key]):
            continue
        if actual[key] != expected[key]:
            want, got = expected[key], actual[key]
            if isinstance(want, bytes) and len(want) + len(got) > 2000:
                at = next((i for i, (a, b) in enumerate(zip(want, got)) if a != b), min(len(want), len(got)))
                want, got = want[max(0, at - 40):at + 80], got[max(0, at - 40):at + 80]
                problems.append(f"{key} differs at byte {at}:\n    expected {want!r}\n    actual   {got!r}")
            else:
                problems.append(f"{key}{' (a beginning of)' if key == 'stdout' and prefix else ''}:\n"
                                f"    expected {want!r}\n    actual   {got!r}")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--satvet", required=True, help="the command that runs satvet (split like a shell)")
    parser.add_argument("--only", help="run only the cases whose name contains this text")
    parser.add_argument("--crlf", action="store_true", help="expect each LF of stdout and stderr as CRLF (Windows text mode)")
    parser.add_argument("--lacks", action="append", default=[], choices=sorted(MAGIC),
                        help="the build cannot decompress this format (see above)")
    parser.add_argument("case_files", nargs="+")
    options = parser.parse_args()
    satvet = shlex.split(options.satvet)
    satvet[-1] = os.path.abspath(satvet[-1])
    passed = failed = 0
    for path in options.case_files:
        for case in parse(path):
            if options.only and options.only not in case.name:
                continue
            with tempfile.TemporaryDirectory(prefix="satvet-case-") as workdir:
                problems = run_case(case, satvet, workdir, options.crlf, options.lacks)
            if problems:
                failed += 1
                print(f"FAIL {os.path.basename(path)}:{case.line}: {case.name}")
                for problem in problems:
                    print("  " + problem)
            else:
                passed += 1
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
