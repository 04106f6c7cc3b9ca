#!/usr/bin/env python3
"""Runs lantra-cli on hostile tables, as it is and with a join report, and checks that each run
ends by itself with the exit status that its input calls for, within its time and memory
bounds. Prints a table of the time and the peak memory of every case.

usage: sweep.py LANTRA_CLI [--full]

--full adds the cases of a million lines and of 200 MB, which take minutes; without it those
are run a hundred times smaller.
"""
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
from dataclasses import dataclass
from typing import Callable, Optional

# The exit statuses of lantra-cli.
WRITTEN, NO_CONTENT, NOTHING = 0, 2, 3

GOOD_CONTENT = b"w\th\r\n"
GOOD_CODE = b"w\tc"
# A word that no random file holds by chance at the start of a line.
CHINESE_CONTENT = "词语\t提示\r\n".encode()

MB = 1 << 20


@dataclass
class Case:
    name: str
    content: Callable[[], bytes]
    code: Callable[[], bytes]
    statuses: tuple  # the exit statuses the input allows
    records: Optional[int] = None  # the records written, when known
    seconds: float = 20  # the time bound of one run


def const(data):
    return lambda: data


def random_bytes(seed, size):
    return lambda: random.Random(seed).randbytes(size)


def utf16le(units):
    return b"\xff\xfe" + b"".join(u.to_bytes(2, "little") for u in units)


def utf16be(units):
    return b"\xfe\xff" + b"".join(u.to_bytes(2, "big") for u in units)


def units(text):
    return [ord(c) for c in text]


def lines(count, fmt):
    """`count` lines by the bytes format `fmt` (which takes the line's number), ascending."""
    def make():
        return b"".join(fmt % i for i in range(count))
    return make


def cases(full):
    million = 1_000_000 if full else 10_000
    big = 200 * MB if full else 2 * MB
    big_records = big // len(b"w%08d\thint-text\r\n" % 0)
    tab, cr, lf = 9, 13, 10
    result = [
        Case("empty content table", const(b""), const(GOOD_CODE), (NO_CONTENT,)),
        Case("empty code table", const(GOOD_CONTENT), const(b""), (NOTHING,)),
    ]
    for mark in (b"\xef\xbb\xbf", b"\xff\xfe", b"\xfe\xff"):
        result += [
            Case(f"content table {mark.hex(' ')} alone", const(mark), const(GOOD_CODE),
                 (NO_CONTENT,)),
            Case(f"code table {mark.hex(' ')} alone", const(GOOD_CONTENT), const(mark),
                 (NOTHING,)),
        ]
    for seed, size in ((1, 1024), (2, 64 * 1024), (3, MB)):
        # Random bytes may hold a CR LF record by chance, but never the word of the other table.
        result += [
            Case(f"random content table, {size} bytes", random_bytes(seed, size),
                 const(GOOD_CODE), (NO_CONTENT, NOTHING)),
            Case(f"random code table, {size} bytes", const(CHINESE_CONTENT),
                 random_bytes(seed, size), (NOTHING,)),
        ]
    result += [
        Case("random utf-16le content table", lambda: b"\xff\xfe" + random_bytes(4, 65536)(),
             const(GOOD_CODE), (NO_CONTENT, NOTHING)),
        Case("random utf-16be code table", const(CHINESE_CONTENT),
             lambda: b"\xfe\xff" + random_bytes(5, 65536)(), (NOTHING,)),
        Case("20 MB content table without line break", const(b"x\t" * (10 * MB)),
             const(GOOD_CODE), (NO_CONTENT,)),
        # Cut into lines of 4095 units, of which every second one starts with the word w.
        Case("20 MB code table without line break", const(GOOD_CONTENT),
             const(b"w\t" * (10 * MB)), (WRITTEN,), (20 * MB // 4095 + 2) // 2),
        Case("4095-unit code line", const(b"w" * 4094 + b"\th\r\n"),
             const(b"w" * 4094 + b"\t"), (WRITTEN,), 1),
        Case("4096-unit code line", const(b"w" * 4094 + b"\th\r\n"),
             const(b"w" * 4094 + b"\tc\n"), (WRITTEN,), 1),
        Case(f"{million} identical content words", const(GOOD_CONTENT * million),
             const(GOOD_CODE), (WRITTEN,), 1, 60),
        Case(f"{million} distinct words in ascending order",
             lines(million, b"w%07d\th\r\n"), lines(million, b"w%07d\tc\n"), (WRITTEN,), million,
             60),
        Case("content table: NUL first", const(b"\0" + GOOD_CONTENT), const(GOOD_CODE),
             (NO_CONTENT,)),
        Case("content table: NUL in the middle", const(b"w\th\r\n\0v\th\r\n"),
             const(b"w\tc\nv\tc"), (WRITTEN,), 1),
        Case("content table: NUL last", const(GOOD_CONTENT + b"\0"), const(GOOD_CODE),
             (WRITTEN,), 1),
        Case("code table: NUL first", const(GOOD_CONTENT), const(b"\0" + GOOD_CODE), (NOTHING,)),
        Case("code table: NUL in the middle", const(GOOD_CONTENT), const(b"w\tc\n\0w\tc"),
             (WRITTEN,), 1),
        Case("code table: NUL last", const(GOOD_CONTENT), const(GOOD_CODE + b"\0"), (WRITTEN,),
             1),
        Case("utf-16le lone and reversed surrogates",
             const(utf16le([0xD800, tab, 0x68, cr, lf, 0xDC00, 0xD800, tab, 0x68, cr, lf])),
             const(utf16le([0xD800, tab, 0x63, lf, 0xDC00, 0xD800, tab, 0x63])), (WRITTEN,), 2),
        Case("utf-16be lone and reversed surrogates",
             const(utf16be([0xDC00, tab, 0x68, cr, lf, 0xDFFF, 0xDBFF, tab, 0x68, cr, lf])),
             const(utf16be([0xDFFF, 0xDBFF, tab, 0x63, lf, 0xDC00, tab, 0x63])), (WRITTEN,), 2),
        Case("overlong and 5- to 8-byte utf-8 forms",
             const(b"\xc0\x80\th\r\n\xf8\x88\x80\x80\x80\th\r\n"
                   b"\xfc\x84\x80\x80\x80\x80\th\r\n\xff\x80\x80\x80\x80\x80\x80\x80\th\r\n"),
             const(b"\xc0\x80\tc\n\xf8\x88\x80\x80\x80\tc\n\xfc\x84\x80\x80\x80\x80\tc\n"
                   b"\xff\x80\x80\x80\x80\x80\x80\x80\tc\n"), (WRITTEN,), 4),
        Case("gbk with a broken trail byte",
             const("词".encode("gbk") + b"\x81\x20" + "\t提示\r\n".encode("gbk")),
             const("词".encode("gbk") + b"\x81\x20\tc"), (WRITTEN,), 1),
        Case("content table: cr only", const(b"w\th\rv\th\r"), const(b"w\tc\nv\tc"),
             (NO_CONTENT,)),
        Case("content table: lf only", const(b"w\th\nv\th\n"), const(b"w\tc\nv\tc"),
             (NO_CONTENT,)),
        Case("content table: mixed line ends", const(b"a\t1\r\nb\t2\nc\t3\rd\t4\r\n"),
             const(b"a\tx\nb\ty\nc\tz\nd\tq"), (WRITTEN,), 2),
        Case("code table: cr only", const(GOOD_CONTENT), const(b"w\tc\rw\tc\r"), (WRITTEN,), 2),
        Case("code table: lf only", const(GOOD_CONTENT), const(b"w\tc\nw\tc\n"), (WRITTEN,), 2),
        Case("code table: mixed line ends", const(GOOD_CONTENT),
             const(b"\r\nw\tc\r\nw\tc\nw\tc\r\r\n\nw\tc"), (WRITTEN,), 4),
        Case(f"content table of {big // MB} MB", lines(big_records, b"w%08d\thint-text\r\n"),
             lines(1000, b"w%08d\tc\n"), (WRITTEN,), 1000, 300),
        Case(f"code table of {big // MB} MB", lines(1000, b"w%08d\thint-text\r\n"),
             lines(big_records, b"w%08d\tcode-text\r\n"), (WRITTEN,), 1000, 300),
    ]
    return result


@dataclass
class Run:
    status: Optional[int] = None  # None: it did not end in time
    records: int = 0
    seconds: float = 0
    peak_kb: int = 0


def measure(cli, options, case, folder, problems):
    """Runs lantra-cli once on the case's tables with `options`; checks its exit status, its
    records and its result file."""
    output = os.path.join(folder, "result.txt")
    timing = os.path.join(folder, "time.txt")
    if os.path.exists(output):
        os.remove(output)
    command = ["/usr/bin/time", "-f", "%e %M", "-o", timing, cli, "-o", output, *options,
               os.path.join(folder, "content.txt"), os.path.join(folder, "code.txt")]
    try:
        done = subprocess.run(command, capture_output=True, timeout=case.seconds)
    except subprocess.TimeoutExpired:
        problems.append(f"did not end within {case.seconds} s")
        return Run()
    with open(timing) as file:
        # time(1) writes a line of its own before the figures when the program was signalled.
        seconds, peak_kb = file.read().split()[-2:]
    written = re.match(rb"(\d+) records? written", done.stdout)
    run = Run(done.returncode, int(written.group(1)) if written else 0, float(seconds),
              int(peak_kb))
    if run.status not in case.statuses:
        problems.append(f"exit status {run.status}, expected {case.statuses}: "
                        f"{done.stderr.decode(errors='replace').strip()}")
    if case.records is not None and run.status == WRITTEN and run.records != case.records:
        problems.append(f"{run.records} records, expected {case.records}")
    if os.path.exists(output):
        with open(output, "rb") as file:
            head = file.read(2)
        result_size = os.path.getsize(output)
        if head != b"\xff\xfe" or result_size % 2 != 0:
            problems.append("the result file does not start with FF FE or has an odd size")
        if run.status != WRITTEN and result_size != 2:
            problems.append("a failed run left records in the result file")
    return run


def run_case(cli, case, folder):
    """Runs the case as it is and with a join report; returns the input's size, both runs and
    what went wrong."""
    sizes = 0
    for name, make in (("content.txt", case.content), ("code.txt", case.code)):
        data = make()
        sizes += len(data)
        with open(os.path.join(folder, name), "wb") as file:
            file.write(data)
    problems = []
    plain = measure(cli, [], case, folder, problems)
    report = os.path.join(folder, "report.txt")
    reported = measure(cli, ["--report", report], case, folder, problems)
    if (reported.status, reported.records) != (plain.status, plain.records):
        problems.append("the run with a report ended otherwise than the one without")
    if reported.status is not None:
        with open(report, "rb") as file:
            try:
                file.read().decode("utf-8")
            except UnicodeDecodeError as error:
                problems.append(f"the report is not UTF-8: {error}")
    bound_kb = (32 * MB + 8 * sizes) // 1024
    if max(plain.peak_kb, reported.peak_kb) > bound_kb:
        problems.append(f"peak memory above {bound_kb} kB")
    return sizes, plain, reported, problems


def figures(run):
    if run.status is None:
        return "- | -"
    return f"{run.seconds:.2f} | {run.peak_kb / 1024:.1f}"


def main():
    if len(sys.argv) < 2 or not os.access(sys.argv[1], os.X_OK):
        sys.exit(__doc__)
    cli, full = sys.argv[1], "--full" in sys.argv[2:]
    folder = tempfile.mkdtemp(prefix="lantra-sweep-")
    failures = 0
    try:
        print("| case | input bytes | exit | records | time (s) | peak memory (MB) "
              "| with --report: time (s) | peak memory (MB) |")
        print("|---|---:|---:|---:|---:|---:|---:|---:|")
        for case in cases(full):
            size, plain, reported, problems = run_case(cli, case, folder)
            print(f"| {case.name} | {size} | {plain.status} | {plain.records} | "
                  f"{figures(plain)} | {figures(reported)} |", flush=True)
            for problem in problems:
                print(f"  FAILED: {problem}", flush=True)
            failures += bool(problems)
    finally:
        shutil.rmtree(folder)
    print(f"{len(cases(full)) - failures} passed, {failures} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
