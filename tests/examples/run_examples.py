#!/usr/bin/env python3
"""Runs satvet on every example in a folder and compares its standard output,
standard error and exit status with the expected ones, byte for byte.

Each solution file NAME.sol in the folder has its expected output beside it,
in NAME.out. The solution STEM-SOLVER.sol is a solver's answer for the formula
STEM.cnf; a solution whose name holds no "-" goes with formula.cnf. A completed
check exits with status 0 and writes nothing on standard error, whatever its
verdict.

With --crlf each LF of the expected output is expected as CRLF, as a Windows
program writes it in text mode.
"""

import argparse
import difflib
import os
import shlex
import subprocess
import sys


def formula_of(solution):
    stem = solution[: -len(".sol")]
    return (stem.split("-")[0] if "-" in stem else "formula") + ".cnf"


def check(satvet, folder, solution, crlf=False):
    formula = formula_of(solution)
    expected_path = os.path.join(folder, solution[: -len(".sol")] + ".out")
    for path in (os.path.join(folder, formula), expected_path):
        if not os.path.isfile(path):
            return [f"{os.path.basename(path)} is missing"]
    with open(expected_path, "rb") as f:
        expected = f.read()
    if crlf:
        expected = expected.replace(b"\n", b"\r\n")
    done = subprocess.run(satvet + [formula, solution], cwd=folder, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=300)
    problems = []
    if done.returncode != 0:
        problems.append(f"exit status {done.returncode}, expected 0")
    if done.stderr:
        problems.append(f"standard error: {done.stderr!r}, expected nothing")
    if done.stdout != expected:
        diff = difflib.unified_diff(expected.decode("latin-1").splitlines(keepends=True),
                                    done.stdout.decode("latin-1").splitlines(keepends=True),
                                    os.path.basename(expected_path), "standard output", n=2)
        problems.append("standard output differs:\n" + "".join(list(diff)[:60]))
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--satvet", required=True, help="the command that runs satvet (split like a shell)")
    parser.add_argument("--crlf", action="store_true", help="expect each LF of the output as CRLF (Windows text mode)")
    parser.add_argument("folder", help="the folder of examples")
    options = parser.parse_args()
    satvet = shlex.split(options.satvet)
    if os.sep in satvet[-1]:
        satvet[-1] = os.path.abspath(satvet[-1])  # satvet runs in the examples folder
    solutions = sorted(name for name in os.listdir(options.folder) if name.endswith(".sol"))
    if not solutions:
        print(f"no solution files (*.sol) in {options.folder}")
        return 1
    failed = 0
    for solution in solutions:
        problems = check(satvet, options.folder, solution, options.crlf)
        print(("FAIL " if problems else "ok   ") + f"{formula_of(solution)} {solution}")
        for problem in problems:
            print("  " + problem.replace("\n", "\n  ").rstrip())
        failed += bool(problems)
    print(f"{len(solutions) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
