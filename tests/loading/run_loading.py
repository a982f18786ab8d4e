#!/usr/bin/env python3
"""Checks that satvet loads a decompression library only for a file in its
format, and refuses such a file with its own message when the library cannot
be loaded, or when no thread can be started to decompress it.

usage: run_loading.py --satvet SATVET --stand-in LIBRARY --no-threads SHIM
                      --formats gzip,xz,bzip2,zstd

LIBRARY is a shared object with none of the libraries' functions: copied under
each library's name into a folder that LD_LIBRARY_PATH puts first, it is what
satvet finds for every format. A plain formula must still be checked as usual,
with none of the libraries loaded (the dynamic loader's log says so); each
compressed one must be refused, with nothing on stdout, the message naming the
file, its format and the library, and exit status 255. SHIM, preloaded, makes
every pthread_create fail. Formats that the build does not read (not in
--formats) are left out.
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


def run(satvet, folder, formula, solution, library_path, **more_env):
    env = dict(os.environ, LD_LIBRARY_PATH=library_path, **more_env)
    return subprocess.run([satvet, formula, solution], cwd=folder, env=env, capture_output=True, timeout=60)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--satvet", required=True)
    parser.add_argument("--stand-in", required=True)
    parser.add_argument("--no-threads", required=True)
    parser.add_argument("--formats", required=True)
    args = parser.parse_args()
    satvet = os.path.abspath(args.satvet)
    built = args.formats.split(",")
    formats = [entry for entry in FORMATS if entry[0] in built]
    failures = []
    checks = 0
    with tempfile.TemporaryDirectory() as work:
        libraries = os.path.join(work, "libraries")
        os.mkdir(libraries)
        for _, library, fixture in formats:
            shutil.copy(args.stand_in, os.path.join(libraries, library))
            shutil.copy(os.path.join(COMPRESSED, fixture), work)
        shutil.copy(os.path.join(EXAMPLES, "queens.cnf"), work)
        shutil.copy(os.path.join(EXAMPLES, "queens-cadical.sol"), work)

        with open(os.path.join(EXAMPLES, "queens-cadical.out"), "rb") as f:
            expected = f.read()
        log = os.path.join(work, "loader-log")
        plain = run(satvet, work, "queens.cnf", "queens-cadical.sol", libraries, LD_DEBUG="libs",
                    LD_DEBUG_OUTPUT=log)
        checks += 1
        if (plain.stdout, plain.stderr, plain.returncode) != (expected, b"", 0):
            failures.append(f"plain formula: status {plain.returncode}, stderr {plain.stderr!r}")
        loaded = ""
        for name in os.listdir(work):
            if name.startswith("loader-log"):
                with open(os.path.join(work, name), errors="replace") as f:
                    loaded += f.read()
        checks += 1
        if "libc.so.6" not in loaded:
            failures.append("the dynamic loader wrote no log of the plain run")
        for _, library, _ in formats:
            checks += 1
            if library in loaded:
                failures.append(f"the plain run looked for {library}")

        for name, library, fixture in formats:
            result = run(satvet, work, fixture, "queens-cadical.sol", libraries)
            checks += 1
            message = (f"error reading '{fixture}': decompressing {name} files needs the library {library}, "
                       "which cannot be loaded; install it or decompress the file first\n").encode()
            if (result.stdout, result.stderr, result.returncode) != (b"", message, 255):
                failures.append(f"{fixture}: status {result.returncode}, stdout {result.stdout[:60]!r}, "
                                f"stderr {result.stderr!r}, expected {message!r}")
            # With the real library found, the same file reads as its text.
            real = run(satvet, work, fixture, "queens-cadical.sol", "")
            checks += 1
            if (real.stdout, real.stderr, real.returncode) != (expected, b"", 0):
                failures.append(f"{fixture} with the real {library}: status {real.returncode}, "
                                f"stderr {real.stderr!r}")
            # No thread for the decoder: refused at once, not left waiting for it.
            # (A sanitizer's runtime would insist on coming first otherwise.)
            refused = run(satvet, work, fixture, "queens-cadical.sol", "", LD_PRELOAD=os.path.abspath(args.no_threads),
                          ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=0")
            checks += 1
            message = f"error reading '{fixture}': cannot start a thread to decompress the {name} data\n".encode()
            if (refused.stdout, refused.stderr, refused.returncode) != (b"", message, 255):
                failures.append(f"{fixture} without threads: status {refused.returncode}, "
                                f"stderr {refused.stderr!r}, expected {message!r}")
    for failure in failures:
        print("FAIL", failure)
    print(f"{checks - len(failures)} of {checks} checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
