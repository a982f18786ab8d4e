#!/usr/bin/env python3
"""Checks the benchmark inputs that satvet_generate writes, on small cases: the
formula is well formed, both solution layouts hold the same planted assignment,
that assignment satisfies every clause (by this script's own reading and by
satvet's), and a seed always gives the same bytes.

usage: test_generate.py --generator PATH --satvet PATH
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import unittest

GENERATOR = None
SATVET = None

# name, variables, clauses, literals per clause
CASES = [
    ("s", 50, 300, 5),
    ("full", 7, 20, 7),   # every clause holds every variable
    ("one", 1, 4, 1),
    ("tiny", 3, 3, 3),    # a standard case
    ("wide", 1500, 30, 100),
]


def case_arg(case):
    name, nvars, nclauses, width = case
    return name if name == "tiny" else f"{name}:{nvars}:{nclauses}:{width}"


def generate(directory, cases, seed):
    subprocess.run([GENERATOR, "--seed", str(seed), directory] + [case_arg(c) for c in cases],
                   check=True)


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("ascii")


def values(tokens, nvars):
    """The assignment that a list of value tokens gives: they must name
    variables 1..nvars in order and end with 0."""
    numbers = [int(t) for t in tokens]
    assert numbers[-1] == 0, "the values do not end with 0"
    assert [abs(n) for n in numbers[:-1]] == list(range(1, nvars + 1)), "not every variable, in order"
    return {abs(n): n > 0 for n in numbers[:-1]}


class GeneratedInputs(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.dir = cls.tmp.name
        generate(cls.dir, CASES, 5)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def test_layouts_hold_one_assignment_that_satisfies_every_clause(self):
        literal_line = re.compile(r"^(-?[1-9][0-9]* )+0$")
        for case in CASES:
            name, nvars, nclauses, width = case
            with self.subTest(case=name):
                self.assertEqual(read(self.path(name + ".params")),
                                 f"seed 5\nvars {nvars}\nclauses {nclauses}\nwidth {width}\n")

                minisat = read(self.path(name + "-minisat.sol"))
                self.assertTrue(minisat.startswith("SAT\n") and minisat.endswith(" 0\n"))
                self.assertEqual(minisat.count("\n"), 2, "values not on one line")
                assignment = values(minisat.split("\n")[1].split(" "), nvars)

                lines = read(self.path(name + "-competition.sol")).split("\n")
                self.assertEqual(lines[0], "s SATISFIABLE")
                self.assertEqual(lines[-1], "", "no newline at the end")
                value_lines = lines[1:-1]
                for line in value_lines:
                    self.assertTrue(line.startswith("v ") and "  " not in line, line)
                    self.assertLessEqual(len(line), 80, line)
                for line in value_lines[:-1]:
                    self.assertGreater(len(line), 72, f"line filled short: {line}")
                tokens = [t for line in value_lines for t in line.split(" ")[1:]]
                self.assertEqual(values(tokens, nvars), assignment)

                cnf = read(self.path(name + ".cnf")).split("\n")
                self.assertTrue(cnf[0].startswith("c "))
                self.assertEqual(cnf[1], f"p cnf {nvars} {nclauses}")
                self.assertEqual(cnf[-1], "")
                clauses = cnf[2:-1]
                self.assertEqual(len(clauses), nclauses)
                false_literals = 0
                for line in clauses:
                    self.assertRegex(line, literal_line)
                    literals = [int(t) for t in line.split(" ")[:-1]]
                    variables = [abs(l) for l in literals]
                    self.assertEqual(len(literals), width, line)
                    self.assertEqual(len(set(variables)), width, f"repeated variable: {line}")
                    self.assertTrue(all(1 <= v <= nvars for v in variables), line)
                    truth = [assignment[abs(l)] == (l > 0) for l in literals]
                    self.assertTrue(any(truth), f"clause not satisfied: {line}")
                    false_literals += truth.count(False)
                if width > 1:
                    # Signs are random, not all chosen to agree with the assignment.
                    self.assertGreater(false_literals, 0)

    def test_satvet_reports_both_layouts_satisfying(self):
        for name, *_ in CASES:
            for layout in ("competition", "minisat"):
                with self.subTest(case=name, layout=layout):
                    result = subprocess.run(
                        [SATVET, self.path(name + ".cnf"), self.path(f"{name}-{layout}.sol")],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                    self.assertEqual((result.returncode, result.stderr), (0, b""))
                    self.assertTrue(result.stdout.endswith(b"\nAssignment is satisfying!\n\n"),
                                    result.stdout[-200:])

    def test_signs_and_values_are_mixed(self):
        literals = [int(t) for line in read(self.path("s.cnf")).split("\n")[2:-1]
                    for t in line.split(" ")[:-1]]
        self.assertTrue(any(l > 0 for l in literals) and any(l < 0 for l in literals))
        planted = values(read(self.path("s-minisat.sol")).split("\n")[1].split(" "), 50)
        self.assertEqual(set(planted.values()), {True, False})

    def test_same_seed_same_bytes_whatever_other_cases_are_asked_for(self):
        with tempfile.TemporaryDirectory() as other:
            generate(other, [CASES[0]], 5)
            for suffix in (".cnf", "-competition.sol", "-minisat.sol", ".params"):
                self.assertEqual(read(os.path.join(other, "s" + suffix)), read(self.path("s" + suffix)))
            generate(other, [CASES[0]], 6)
            self.assertNotEqual(read(os.path.join(other, "s.cnf")), read(self.path("s.cnf")))
            self.assertEqual(sorted(os.listdir(other)),
                             ["s-competition.sol", "s-minisat.sol", "s.cnf", "s.params"])


class Refusals(unittest.TestCase):
    def test_bad_arguments_are_refused_and_leave_no_file(self):
        table = [
            [],
            ["{dir}", "x:0:5:1"],
            ["{dir}", "x:3:5:4"],
            ["{dir}", "x:3:5"],
            ["{dir}", "x:3:5:2:1"],
            ["{dir}", "x:3:five:2"],
            ["{dir}", "a/b:3:5:2"],
            ["{dir}", "nosuchcase"],
            ["--seed", "-1", "{dir}"],
            ["--seed", "7x", "{dir}"],
            ["--seed"],
            ["{dir}/missing", "tiny"],
        ]
        for args in table:
            with self.subTest(args=args), tempfile.TemporaryDirectory() as d:
                result = subprocess.run([GENERATOR] + [a.format(dir=d) for a in args],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                self.assertEqual(result.returncode, 1)
                self.assertTrue(result.stderr.startswith(b"satvet_generate: "), result.stderr)
                self.assertEqual(os.listdir(d), [])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--generator", required=True)
    parser.add_argument("--satvet", required=True)
    args, rest = parser.parse_known_args()
    GENERATOR = os.path.abspath(args.generator)
    SATVET = os.path.abspath(args.satvet)
    unittest.main(argv=[sys.argv[0]] + rest)
