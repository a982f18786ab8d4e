#!/usr/bin/env python3
"""Checks that satvet loads a decompression library only for a file in its
format, and refuses such a file with its own message when the library cannot
be loaded.

usage: run_loading.py --satvet SATVET --stand-in LIBRARY

LIBRARY is a shared object with none of the libraries' functions: copied under
each library's name into a folder that LD_LIBRARY_PATH puts first, it is what
satvet finds for every format. A plain formula must still be checked as usual
(nothing is loaded for it); each compressed one must be refused, with nothing
on stdout, the message naming the file, its format and the library, and exit
status 255.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
EXAMPLES = os.path.join(REPO, "examples")
COMPRESSED = os.path.join(REPO, "tests", "blackbox", "compressed")

# Format, the library's name, a formula in that format.
FORMATS = [
    ("gzip", "libz.so.1", "queens.cnf.gz"),
    ("xz", "liblzma.so.5", "queens.cnf.xz"),
    ("bzip2", "libbz2.so.1.0", "queens.cnf.bz2"),
    ("zstd", "libzstd.so.1", "queens.cnf.zst"),
]


def run(satvet, folder, formula, solution, library_path):
    env = dict(os.environ, LD_LIBRARY_PATH=library_path)
    return subprocess.run([satvet, formula, solution], cwd=folder, env=env, capture_output=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--satvet", required=True)
    parser.add_argument("--stand-in", required=True)
    args = parser.parse_args()
    satvet = os.path.abspath(args.satvet)
    failures = []
    with tempfile.TemporaryDirectory() as work:
        libraries = os.path.join(work, "libraries")
        os.mkdir(libraries)
        for _, library, fixture in FORMATS:
            shutil.copy(args.stand_in, os.path.join(libraries, library))
            shutil.copy(os.path.join(COMPRESSED, fixture), work)
        shutil.copy(os.path.join(EXAMPLES, "queens.cnf"), work)
        shutil.copy(os.path.join(EXAMPLES, "queens-cadical.sol"), work)

        with open(os.path.join(EXAMPLES, "queens-cadical.out"), "rb") as f:
            expected = f.read()
        plain = run(satvet, work, "queens.cnf", "queens-cadical.sol", libraries)
        if (plain.stdout, plain.stderr, plain.returncode) != (expected, b"", 0):
            failures.append(f"plain formula: status {plain.returncode}, stderr {plain.stderr!r}")

        for name, library, fixture in FORMATS:
            result = run(satvet, work, fixture, "queens-cadical.sol", libraries)
            message = (f"error reading '{fixture}': decompressing {name} files needs the library {library}, "
                       "which cannot be loaded; install it or decompress the file first\n").encode()
            if (result.stdout, result.stderr, result.returncode) != (b"", message, 255):
                failures.append(f"{fixture}: status {result.returncode}, stdout {result.stdout[:60]!r}, "
                                f"stderr {result.stderr!r}, expected {message!r}")
            # With the real library found, the same file reads as its text.
            real = run(satvet, work, fixture, "queens-cadical.sol", "")
            if (real.stdout, real.stderr, real.returncode) != (expected, b"", 0):
                failures.append(f"{fixture} with the real {library}: status {real.returncode}, "
                                f"stderr {real.stderr!r}")
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(FORMATS) * 2 + 1 - len(failures)} of {len(FORMATS) * 2 + 1} checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
