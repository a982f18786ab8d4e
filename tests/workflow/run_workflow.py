#!/usr/bin/env python3
"""Runs the README's commands for checking many (formula, answer) pairs with
GNU parallel, taken word for word from README.md, and compares the summary.

The README marks each command's code block with a comment just before it:
"<!-- workflow: define -->" (the step for one pair, set in a shell variable),
"local", "machines" (with an ssh login file) and "transfer" (which copies each
pair's files). Each run is the define block followed by one of the others, in
a POSIX shell; the login file holds ":", parallel's name for this machine.

The pairs file is built from the bundled examples, copied under names with
spaces and a quote: a satisfying pair, an unsatisfying one, an answer checked
against another formula (several clauses unsatisfied), a formula that cannot
be opened, and an answer given in the formula's place. The summary on standard
output must be exactly the expected lines, and standard error must be empty
but for parallel's notice that a file transfer to this machine is skipped.

Run by hand:  tests/workflow/run_workflow.py --satvet build/satvet --readme README.md --examples examples
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

BLOCKS = ("define", "local", "machines", "transfer")

# (formula, answer) as listed, the example each is copied from (None: not
# created), and the summary expected after the pair.
PAIRS = [
    ("small formula.cnf", "the solver's answer.sol", "satisfying"),
    ("small formula.cnf", "answers/unsatisfying answer.sol", "1 clauses unsatisfied"),
    ("eight queens.cnf", "answers/cadical queens.sol", "satisfying"),
    ("eight queens.cnf", "answers/unsatisfying answer.sol", "7 clauses unsatisfied"),
    ("missing formula.cnf", "the solver's answer.sol", "error opening 'missing formula.cnf'"),
    ("answers/cadical queens.sol", "eight queens.cnf",
     "The header line of 'answers/cadical queens.sol' holds no counts: it has fewer than two spaces"
     " (expected 'p cnf VARIABLES CLAUSES')."),
]
FILES = {
    "small formula.cnf": "formula.cnf",
    "eight queens.cnf": "queens.cnf",
    "the solver's answer.sol": "satisfying.sol",
    "answers/unsatisfying answer.sol": "unsatisfying.sol",
    "answers/cadical queens.sol": "queens-cadical.sol",
}
# What parallel may write on standard error, per block: a copy to ":" is skipped.
ALLOWED_STDERR = {
    "transfer": {"parallel: Warning: --transferfile ignored as there are no remote --sshlogin."},
}


def code_blocks(readme):
    """The fenced code block after each "<!-- workflow: NAME -->" marker."""
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    blocks = {}
    for match in re.finditer(r"^<!-- workflow: (\w+) -->\n```sh\n(.*?)^```$", text, re.M | re.S):
        name, code = match.groups()
        if name in blocks:
            raise SystemExit(f"{readme}: the block '{name}' is marked twice")
        blocks[name] = code
    missing = [name for name in BLOCKS if name not in blocks]
    if missing:
        raise SystemExit(f"{readme}: no marked code block for {', '.join(missing)}")
    return blocks


def lay_out(folder, examples):
    for name, example in FILES.items():
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copyfile(os.path.join(examples, example), path)
    with open(os.path.join(folder, "pairs.txt"), "w", encoding="utf-8") as f:
        f.writelines(f"{formula}\t{answer}\n" for formula, answer, _ in PAIRS)


def run(shell, script, folder, env):
    """Problems with one run of the script; an empty list when it passes."""
    done = subprocess.run([shell, "-c", script], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=300)
    expected = "".join(f"{formula}\t{answer}\t{summary}\n" for formula, answer, summary in PAIRS)
    stdout = done.stdout.decode("utf-8", "replace")
    problems = []
    if done.returncode != 0:
        problems.append(f"exit status {done.returncode}, expected 0")
    if stdout != expected:
        problems.append("summary differs:\n  expected:\n    " + expected.replace("\n", "\n    ").rstrip()
                        + "\n  got:\n    " + stdout.replace("\n", "\n    ").rstrip())
    return problems, done.stderr.decode("utf-8", "replace").splitlines()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--satvet", required=True, help="the satvet program")
    parser.add_argument("--readme", required=True, help="README.md, whose commands run")
    parser.add_argument("--examples", required=True, help="the folder of bundled examples")
    options = parser.parse_args()
    blocks = code_blocks(options.readme)
    if shutil.which("parallel") is None:
        print("FAIL GNU parallel is not installed (Debian package 'parallel', see scripts/setup)")
        return 1

    failed = passed = 0
    with tempfile.TemporaryDirectory(prefix="satvet-workflow-") as top:
        # satvet as the README expects it, on the PATH; parallel's settings in a
        # home folder of its own.
        bin_dir = os.path.join(top, "bin")
        os.mkdir(bin_dir)
        os.symlink(os.path.abspath(options.satvet), os.path.join(bin_dir, "satvet"))
        home = os.path.join(top, "home")
        os.mkdir(home)
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""), HOME=home)
        env.pop("PARALLEL_SHELL", None)
        for shell in ("sh", "bash"):
            for name in BLOCKS[1:]:
                folder = os.path.join(top, f"{shell}-{name}")
                os.mkdir(folder)
                lay_out(folder, options.examples)
                for login_file in re.findall(r"--sshloginfile (\S+)", blocks[name]):
                    with open(os.path.join(folder, login_file), "w", encoding="utf-8") as f:
                        f.write(":\n")
                problems, stderr = run(shell, blocks["define"] + blocks[name], folder, env)
                unexpected = [line for line in stderr if line not in ALLOWED_STDERR.get(name, set())]
                if unexpected:
                    problems.append("standard error:\n    " + "\n    ".join(unexpected))
                gone = [file for file in FILES if not os.path.isfile(os.path.join(folder, file))]
                if gone:
                    problems.append("files removed: " + ", ".join(gone))
                print(("FAIL " if problems else "ok   ") + f"{name} ({shell})")
                for problem in problems:
                    print("  " + problem)
                failed += bool(problems)
                passed += not problems
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
