#!/usr/bin/env python3
"""Makes the compressed fixtures of tests/blackbox/compressed.cases from the
bundled examples, with the standard tools gzip, xz, bzip2 and zstd, and checks
that each damaged file fails in its decoder the way its name says.

    tests/blackbox/compressed/make_fixtures.py     # rewrites the files here

The tests only read the files that this script wrote; they never run it. The
tools write the same bytes on every run (gzip's stored time is fixed), so a
run on the same tool versions leaves the committed files unchanged.

Files (FORMAT one of gz, xz, bz2, zst), each named for what it holds:

  queens.cnf.FORMAT, queens-cadical.sol.FORMAT
      the example compressed whole, one stream.
  queens-streams.cnf.FORMAT, queens-cadical-streams.sol.FORMAT
      the example cut in three in the middle of lines (the solution inside a
      number of a value line, "-36"), each part compressed on its own and the streams
      concatenated, with an empty stream after the first part. Each format's
      extras: gzip's first member stores a file name and a time; the xz streams
      have different check types (CRC32, none, SHA-256, CRC64) and stream padding
      between and after them; the bzip2 streams different block sizes; the zstd
      file begins with a skippable frame, has another between frames, and its
      first frame has no checksum.
  ring.cnf.xz, ring-minisat.sol.zst
      a larger formula, and MiniSat's one value line of 5711 characters.
  satisfying-crlf.sol.gz
      satisfying.sol with CR LF line ends, cut between a CR and its LF into two
      gzip members.
  empty.FORMAT
      an empty file compressed.
  queens.cnf.gz.xz
      queens.cnf.gz compressed again with xz.
  queens-truncated.cnf.FORMAT
      queens.cnf.FORMAT cut at half its length.
  queens-corrupt.cnf.FORMAT
      one byte of the compressed data changed, the first from the middle on
      where the decoder then fails on the data (not at the end, on the check
      value) before it has given anything but the example's own text.
  queens-badcheck.cnf.FORMAT
      one byte of the stream's check value changed: the decoder gives the whole
      text, then fails.
  queens-cadical-truncated.sol.zst, queens-cadical-corrupt.sol.gz,
  satisfying-badcheck.sol.bz2
      the same damage to a solution; the first two fail before the decoder has
      given the first value line.
  formula-long-tail-truncated.cnf.zst, formula-long-tail-badcheck.cnf.gz
      formula.cnf followed by 2 MB of comment lines (which the formula reader
      never reads), compressed, then cut 6 bytes before its end, or with its
      check value changed.
  satisfying-long-tail-truncated.sol.xz
      satisfying.sol, a t line and the same 2 MB, compressed and cut 40 bytes
      before its end.
  formula-trailing-text.cnf.FORMAT
      formula.cnf compressed, followed by the text "garbage\\n".
  formula-trailing-zeros.cnf.gz, formula-trailing-zeros-text.cnf.gz
      formula.cnf.gz followed by four zero bytes (which gzip -d passes over),
      and by four zero bytes and the text "garbage\\n".
  formula-padded.cnf.xz, formula-bad-padding.cnf.xz
      formula.cnf.xz followed by four zero bytes (xz's stream padding) and by
      three (not a multiple of four, which xz refuses).
  formula-trailing-skippable.cnf.zst
      formula.cnf.zst followed by a zstd skippable frame.
  formula-trailing-bytes.cnf.zst
      formula.cnf.zst followed by two bytes "ab", fewer than a frame's magic.
"""

import bz2
import lzma
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "..", "..", "examples")
FORMATS = ("gz", "xz", "bz2", "zst")
TOOLS = {"gz": ["gzip", "-9", "-n"], "xz": ["xz", "-6"], "bz2": ["bzip2", "-9"], "zst": ["zstd", "-19", "-q"]}


def example(name):
    with open(os.path.join(EXAMPLES, name), "rb") as f:
        return f.read()


def compress(fmt, data, options=()):
    """One stream of data, made by the format's tool from standard input."""
    command = TOOLS[fmt] + list(options) + ["-c"]
    return subprocess.run(command, input=data, stdout=subprocess.PIPE, check=True).stdout


def gzip_with_name(data, name):
    """A gzip member that stores a file name and a (fixed) time: gzip given a file."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (1700000000, 1700000000))
        return subprocess.run(["gzip", "-9", "-c", path], stdout=subprocess.PIPE, check=True).stdout


def skippable_frame(payload, kind=0):
    return struct.pack("<II", 0x184D2A50 + kind, len(payload)) + payload


def decode(fmt, data):
    """What the format's decoder makes of data: (output, outcome), outcome one of
    "ok", "ends early", "corrupt". The output is all that the decoder gives before
    it stops, fed a byte at a time. One stream (member, frame) only."""
    if fmt == "zst":
        # zstd decodes a block whole or not at all (these files have one block
        # per frame), and its tool writes nothing when a frame fails. Decoding
        # without the checksum shows the text that a failed checksum follows.
        done = subprocess.run(["zstd", "-d", "-c", "-q"], input=data, capture_output=True)
        if done.returncode == 0:
            return done.stdout, "ok"
        if b"premature end" in done.stderr:
            return b"", "ends early"
        unchecked = subprocess.run(["zstd", "-d", "-c", "-q", "--no-check"], input=data, capture_output=True)
        return unchecked.stdout if unchecked.returncode == 0 else b"", "corrupt"
    decoder = {"gz": lambda: zlib.decompressobj(wbits=31), "xz": lambda: lzma.LZMADecompressor(lzma.FORMAT_XZ),
               "bz2": bz2.BZ2Decompressor}[fmt]()
    output = b""
    for i in range(len(data)):
        try:
            output += decoder.decompress(data[i:i + 1])
        except (zlib.error, lzma.LZMAError, OSError, EOFError):
            return output, "corrupt"
        if decoder.eof:
            return output, "ok" if i == len(data) - 1 else "corrupt"
    return output, "ends early"


def flipped(data, at):
    return data[:at] + bytes([data[at] ^ 0x55]) + data[at + 1:]


def corrupt_in_data(fmt, data, text, before):
    """data with one byte changed, at the first place from the middle on where the
    decoder fails on the data with only a prefix of text, shorter than `before`,
    given."""
    for at in range(len(data) // 2, len(data)):
        damaged = flipped(data, at)
        output, outcome = decode(fmt, damaged)
        if outcome == "corrupt" and text.startswith(output) and len(output) < before:
            return damaged
    raise SystemExit(f"no byte of the {fmt} data fails as wanted")


def bad_check(fmt, data, text):
    """data with one byte changed near its end, where the decoder gives the whole
    text and then fails: gzip's CRC-32, the stream CRC of bzip2, zstd's checksum,
    xz's CRC-64."""
    if fmt == "xz":
        # The footer's backward size gives the index's; the CRC-64 comes before it.
        index_size = (struct.unpack("<I", data[-8:-4])[0] + 1) * 4
        places = [len(data) - 12 - index_size - 8]
    else:
        places = {"gz": [len(data) - 8], "zst": [len(data) - 1], "bz2": [len(data) - 2, len(data) - 3]}[fmt]
    for at in places:
        damaged = flipped(data, at)
        output, outcome = decode(fmt, damaged)
        if outcome == "corrupt" and output == text:
            return damaged
    raise SystemExit(f"no byte of the {fmt} check fails as wanted")


def truncated(fmt, data, at, text, before=None):
    cut = data[:at]
    output, outcome = decode(fmt, cut)
    if outcome != "ends early" or not text.startswith(output) or (before is not None and len(output) >= before):
        raise SystemExit(f"{fmt} data cut at {at} does not end early as wanted ({outcome}, {len(output)} bytes)")
    return cut


def streams(fmt, parts):
    """The parts compressed one by one and concatenated, with each format's extras
    (see the docstring)."""
    first, second, third = parts
    if fmt == "gz":
        return gzip_with_name(first, "part1") + compress("gz", b"") + compress("gz", second) + compress("gz", third)
    if fmt == "xz":
        return (compress("xz", first, ["--check=crc32"]) + b"\0" * 4 + compress("xz", b"", ["--check=none"])
                + compress("xz", second, ["--check=sha256"]) + compress("xz", third, ["--check=crc64"]) + b"\0" * 8)
    if fmt == "bz2":
        return (compress("bz2", first, ["-1"]) + compress("bz2", b"") + compress("bz2", second, ["-5"])
                + compress("bz2", third))
    return (skippable_frame(b"satvet test") + compress("zst", first, ["--no-check"]) + compress("zst", b"")
            + skippable_frame(b"", 15) + compress("zst", second) + compress("zst", third))


def cut_three(text, first, second):
    return [text[:first], text[first:second], text[second:]]


def main():
    for tool in ("gzip", "xz", "bzip2", "zstd"):
        if shutil.which(tool) is None:
            raise SystemExit(f"{tool} is missing (apt-get install {tool})")
    files = {}
    queens, cadical = example("queens.cnf"), example("queens-cadical.sol")
    formula, satisfying = example("formula.cnf"), example("satisfying.sol")
    first_value_line = cadical.index(b"\ns SATISFIABLE") + 1
    # Cut points in the middle of lines: the solution's second one inside "-36".
    queens_cuts = (queens.index(b"\n", 2000) - 3, queens.index(b"\n", 5000) - 2)
    cadical_cuts = (1000, cadical.index(b" -36 ") + 3)
    assert b"\n" not in queens[queens_cuts[0]:queens_cuts[0] + 2]

    for fmt in FORMATS:
        files[f"queens.cnf.{fmt}"] = whole_queens = compress(fmt, queens)
        files[f"queens-cadical.sol.{fmt}"] = compress(fmt, cadical)
        files[f"queens-streams.cnf.{fmt}"] = streams(fmt, cut_three(queens, *queens_cuts))
        files[f"queens-cadical-streams.sol.{fmt}"] = streams(fmt, cut_three(cadical, *cadical_cuts))
        files[f"empty.{fmt}"] = compress(fmt, b"")

        files[f"queens-truncated.cnf.{fmt}"] = truncated(fmt, whole_queens, len(whole_queens) // 2, queens)
        files[f"queens-corrupt.cnf.{fmt}"] = corrupt_in_data(fmt, whole_queens, queens, len(queens))
        files[f"queens-badcheck.cnf.{fmt}"] = bad_check(fmt, whole_queens, queens)
        files[f"formula-trailing-text.cnf.{fmt}"] = compress(fmt, formula) + b"garbage\n"

    # The solution goes through the same decoders: one damaged file of each kind.
    whole_cadical = compress("zst", cadical)
    files["queens-cadical-truncated.sol.zst"] = truncated("zst", whole_cadical, len(whole_cadical) // 2, cadical,
                                                          first_value_line)
    files["queens-cadical-corrupt.sol.gz"] = corrupt_in_data("gz", compress("gz", cadical), cadical, first_value_line)
    files["satisfying-badcheck.sol.bz2"] = bad_check("bz2", compress("bz2", satisfying), satisfying)

    # Text past what the readers read: 2 MB of comment lines after the last
    # declared clause, and after the solution's t line.
    tail = b"c a comment line after the last line that is read\n" * 40000
    long_formula = formula + tail
    whole = compress("zst", long_formula)
    files["formula-long-tail-truncated.cnf.zst"] = truncated("zst", whole, len(whole) - 6, long_formula)
    files["formula-long-tail-badcheck.cnf.gz"] = bad_check("gz", compress("gz", long_formula), long_formula)
    long_solution = satisfying + b"t\n" + tail
    whole = compress("xz", long_solution)
    files["satisfying-long-tail-truncated.sol.xz"] = truncated("xz", whole, len(whole) - 40, long_solution)

    files["ring.cnf.xz"] = compress("xz", example("ring.cnf"))
    files["ring-minisat.sol.zst"] = compress("zst", example("ring-minisat.sol"))
    crlf = satisfying.replace(b"\n", b"\r\n")
    split = crlf.index(b"\r\n", 10) + 1
    files["satisfying-crlf.sol.gz"] = compress("gz", crlf[:split]) + compress("gz", crlf[split:])
    files["queens.cnf.gz.xz"] = compress("xz", files["queens.cnf.gz"])
    files["formula-trailing-zeros.cnf.gz"] = compress("gz", formula) + b"\0" * 4
    files["formula-trailing-zeros-text.cnf.gz"] = compress("gz", formula) + b"\0" * 4 + b"garbage\n"
    files["formula-padded.cnf.xz"] = compress("xz", formula) + b"\0" * 4
    files["formula-bad-padding.cnf.xz"] = compress("xz", formula) + b"\0" * 3
    files["formula-trailing-skippable.cnf.zst"] = compress("zst", formula) + skippable_frame(b"\0" * 5, 7)
    files["formula-trailing-bytes.cnf.zst"] = compress("zst", formula) + b"ab"

    for name, data in sorted(files.items()):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
    print(f"wrote {len(files)} files in {HERE}")


if __name__ == "__main__":
    sys.exit(main())
