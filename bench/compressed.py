"""The compressed cases of bench/run: satvet on a compressed formula, beside the
same check with the decompression done by the format's own tool in a pipe
(satvet <(xz -dc F) S), and beside the plain file.

The compressed formulas are made once with the standard tools and kept beside
the plain ones in the data folder (F.cnf.gz, F.cnf.xz, F.cnf.bz2, F.cnf.zst).
"""

import json
import os
import shlex
import subprocess

# Format, file suffix, the command that compresses (stdin to stdout), the one
# that decompresses a file to stdout, and the Debian package of the tool.
FORMATS = [
    ("gzip", ".gz", ["gzip", "-c"], ["gzip", "-dc"], "gzip"),
    ("xz", ".xz", ["xz", "-c", "-T0"], ["xz", "-dc"], "xz-utils"),
    ("bzip2", ".bz2", ["bzip2", "-c"], ["bzip2", "-dc"], "bzip2"),
    ("zstd", ".zst", ["zstd", "-q", "-c"], ["zstd", "-q", "-dc"], "zstd"),
]
# The largest formula and one of short clauses.
FORMULAS = ["a", "b"]
LAYOUT = "competition"


def compressed_path(data_dir, name, suffix):
    return os.path.join(data_dir, name + ".cnf" + suffix)


def ensure_compressed(data_dir, say):
    """Compresses each formula in each format where that file is missing or
    older than the plain one."""
    for name in FORMULAS:
        plain = os.path.join(data_dir, name + ".cnf")
        for fmt, suffix, compress, _, _ in FORMATS:
            target = compressed_path(data_dir, name, suffix)
            if os.path.isfile(target) and os.path.getmtime(target) >= os.path.getmtime(plain):
                continue
            say(f"compressing {name}.cnf with {fmt}")
            partial = target + ".part"
            with open(plain, "rb") as source, open(partial, "wb") as sink:
                subprocess.run(compress, stdin=source, stdout=sink, check=True)
            os.replace(partial, target)


def peak_rss_kib(satvet, formula, solution, time_output, failure):
    """Peak resident set size in KiB of one run of satvet, by /usr/bin/time -v
    (bench/run takes it from here too)."""
    result = subprocess.run(["/usr/bin/time", "-v", "-o", time_output, satvet, formula, solution],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if result.returncode != 0:
        raise failure(f"satvet failed on {formula}: {result.stderr.decode(errors='replace')}")
    with open(time_output) as f:
        for line in f:
            if "Maximum resident set size (kbytes):" in line:
                return int(line.rsplit(":", 1)[1])
    raise failure("/usr/bin/time -v gave no maximum resident set size")


def same_report(satvet, formula, plain, solution, failure):
    """satvet must write the same bytes for the compressed formula as for the plain one."""
    runs = [subprocess.run([satvet, f, solution], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            for f in (formula, plain)]
    if (runs[0].returncode, runs[0].stdout, runs[0].stderr) != (runs[1].returncode, runs[1].stdout, runs[1].stderr):
        raise failure(f"satvet writes another report for {formula} than for {plain}")


def run(hyperfine, satvet, data_dir, scratch, runs, warmup, say, failure):
    """Times every compressed case; returns the rows of the table to print."""
    ensure_compressed(data_dir, say)
    rows = []
    for name in FORMULAS:
        plain = os.path.join(data_dir, name + ".cnf")
        solution = os.path.join(data_dir, f"{name}-{LAYOUT}.sol")
        plain_rss = peak_rss_kib(satvet, plain, solution, os.path.join(scratch, "time.txt"), failure)
        for fmt, suffix, _, decompress, _ in FORMATS:
            formula = compressed_path(data_dir, name, suffix)
            say(f"timing {name} {fmt}")
            same_report(satvet, formula, plain, solution, failure)
            rss = peak_rss_kib(satvet, formula, solution, os.path.join(scratch, "time.txt"), failure)
            commands = [
                ("satvet", f"{shlex.quote(satvet)} {shlex.quote(formula)} {shlex.quote(solution)}"),
                ("pipe", f"{shlex.quote(satvet)} <({shlex.join(decompress + [formula])}) {shlex.quote(solution)}"),
                ("plain", f"{shlex.quote(satvet)} {shlex.quote(plain)} {shlex.quote(solution)}"),
            ]
            json_path = os.path.join(scratch, f"{name}-{fmt}.json")
            # bash for the process substitution; every command pays the same shell.
            args = [hyperfine, "--shell", "bash", "--style", "none", "--runs", str(runs), "--warmup", str(warmup),
                    "--export-json", json_path]
            for label, command in commands:
                args += ["-n", label, command]
            result = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            if result.returncode != 0:
                raise failure(f"hyperfine failed on {name} {fmt}:\n{result.stderr.decode(errors='replace')}")
            with open(json_path) as f:
                median = {r["command"]: r["median"] for r in json.load(f)["results"]}
            rows.append([f"{name} {fmt}", f"{os.path.getsize(formula) / 1e6:.1f}", f"{median['satvet'] * 1000:.1f}",
                         f"{median['pipe'] * 1000:.1f}", f"{median['satvet'] / median['pipe']:.2f}",
                         f"{median['plain'] * 1000:.1f}", f"{(rss - plain_rss) / 1024:+.1f}"])
    return rows


HEADER = ["case", "MB", "satvet", "pipe", "satvet/pipe", "plain", "RSS +MiB"]
LEGEND = [
    "compressed cases (formula compressed, competition solution plain):",
    "satvet:  satvet F.cnf.EXT SOLUTION > /dev/null",
    "pipe:    satvet <(TOOL -dc F.cnf.EXT) SOLUTION > /dev/null, the format's own tool in a pipe",
    "plain:   satvet F.cnf SOLUTION > /dev/null",
    "MB:      size of the compressed formula; RSS +MiB: satvet's peak resident set on it, less on the plain file",
]
