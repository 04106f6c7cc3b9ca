"""Runs lantra-cli on generated content and code tables and compares its exit status and its
result, byte for byte, with those of hint_table_reference.py.

Usage: crosscheck.py LANTRA_CLI [--cases N] [--case K]

Case K is generated from the seed K alone, so a failing case is re-run with --case K. Each case
is sure to show one shape (SHAPES, in turn) and has random tables around it: five encodings,
every kind of line end, blank lines, duplicates, lines without a TAB or with two, empty words,
lone CR and LF, NUL, surrogates, characters above U+FFFF, malformed bytes, long lines and
records, affixes that are empty or look like options.
"""

import argparse
import os
import random
import subprocess
import sys
import tempfile

import hint_table_reference as reference

BOM_UTF8, BOM_LE, BOM_BE = b"\xEF\xBB\xBF", b"\xFF\xFE", b"\xFE\xFF"
TABLES = ("content", "code")

# Words that GBK can encode, and words that only the Unicode encodings carry.
GBK_WORDS = ["ab", "Ab", "ab ", "a", "中国", "你好", "谢谢", "ａｂ", "%s", "[x]", "a,b", "$k"]
UNICODE_WORDS = ["𠀀", "a𝄞b", "\uE000", "\uFFFF", "Ā", "é", "€"]
LONE_SURROGATES = ["\uD800", "x\uDC00", "\uDBFF"]
HINT_PIECES = ["x", "zhōng guó", "提示", "%s%d", "a\tb", "])", " ", "1", "𝄞", "\\"]
CODE_LETTERS = "abcdefghijklmnopqrstuvwxyz;'"
AFFIXES = ["", "", "-z", "--", "-", "[", "]", "前缀", "𠀀", "%s", "a b", "\t", "x" * 40]
ENCODINGS = ["utf-8", "utf-8 with mark", "utf-16le", "utf-16be", "gbk"]
LINE_ENDS = ["\r\n", "\n", "\r", "\r\n\r\n", "\n\r", "\r\r\n", "\r\n\n"]
BAD_BYTES = [b"\x80", b"\xC0", b"\xE4\xB8", b"\xFF", b"\x81", b"\xED\xA0\x80", b"\0",
             b"\xAA\xA1"]
# GBK pairs that are neither assigned nor user-defined; Windows decodes them all the same.
UNASSIGNED_GBK_PAIRS = [b"\xA2\xAB", b"\xA6\xD9", b"\xD7\xFE", b"\xFE\x50", b"\xFE\xA0"]


def encode(text, encoding):
    if encoding == "utf-8":
        return text.encode("utf-8", "surrogatepass")
    if encoding == "utf-8 with mark":
        return BOM_UTF8 + text.encode("utf-8", "surrogatepass")
    if encoding == "utf-16le":
        return BOM_LE + text.encode("utf-16-le", "surrogatepass")
    if encoding == "utf-16be":
        return BOM_BE + text.encode("utf-16-be", "surrogatepass")
    return text.encode("gbk", "replace")


class Case:
    """One run of lantra-cli: the tables (a text, raw bytes, or None for a missing file), the
    affixes and the file names."""

    def __init__(self, number):
        self.number = number
        self.rng = random.Random(number)
        self.notes = []
        self.encoding = {table: self.rng.choice(ENCODINGS) for table in TABLES}
        words = GBK_WORDS if "gbk" in self.encoding.values() else GBK_WORDS + UNICODE_WORDS
        self.words = self.rng.sample(words, self.rng.randint(3, len(words)))
        self.prefix = self.rng.choice(AFFIXES)
        self.suffix = self.rng.choice(AFFIXES)
        self.joined_affixes = self.rng.random() < 0.3  # --prefix=TEXT rather than --prefix TEXT
        self.names = {"content": "content.txt", "code": "code.txt", "output": "out.txt"}
        self.tables = {"content": self.content_text(), "code": self.code_text()}
        shape = SHAPES[number % len(SHAPES)]
        self.notes.append(shape.__name__)
        shape(self)
        self.data = {table: self.bytes_of(table) for table in TABLES}
        self.damage()

    def bytes_of(self, table):
        text = self.tables[table]
        if text is None or isinstance(text, bytes):
            return text
        return encode(text, self.encoding[table])

    def hint(self):
        return "".join(self.rng.choice(HINT_PIECES) for _ in range(self.rng.randint(0, 4)))

    def code(self):
        return "".join(self.rng.choice(CODE_LETTERS) for _ in range(self.rng.randint(1, 5)))

    def lines(self, words, tail, count, end):
        """Lines of word TAB tail(), some without TAB, some blank, each ended by end()."""
        lines = []
        for _ in range(count):
            roll = self.rng.random()
            word = self.rng.choice(words)
            line = word if roll < 0.08 else "" if roll < 0.12 else word + "\t" + tail()
            lines.append(line + end())
        return lines

    def content_text(self):
        def end():
            return "\r\n" if self.rng.random() < 0.75 else self.rng.choice(LINE_ENDS)

        lines = self.lines(self.words, self.hint, self.rng.randint(1, 12), end)
        if self.rng.random() < 0.3:
            lines.append(self.rng.choice(self.words) + "\t" + self.hint())  # no CR LF after it
        return "".join(lines)

    def code_text(self):
        def end():
            return self.rng.choice(LINE_ENDS)

        lines = self.lines(self.words + ["nope", "中"], self.code, self.rng.randint(0, 12), end)
        if self.rng.random() < 0.5:
            lines.append(self.rng.choice(self.words) + "\t" + self.code())  # no line break
        return "".join(lines)

    def damage(self):
        """Now and then, bytes that no encoder makes: malformed UTF-8, stray GBK bytes, NUL."""
        table = self.rng.choice(TABLES)
        data = self.data[table]
        if self.rng.random() < 0.15 and data:
            at = self.rng.randrange(len(data) + 1)
            bad = self.rng.choice(BAD_BYTES)
            self.data[table] = data[:at] + bad + data[at:]
            self.notes.append(f"{bad.hex()} put at byte {at} of the {table} table")

    def arguments(self):
        if self.joined_affixes:
            args = ["--prefix=" + self.prefix, "--suffix=" + self.suffix]
        else:
            args = ["--prefix", self.prefix, "--suffix", self.suffix]
        return args + ["-o", self.names["output"], "--", self.names["content"], self.names["code"]]

    def describe(self):
        return (
            f"case {self.number}: content {self.encoding['content']}, "
            f"code {self.encoding['code']}, prefix {self.prefix!r}, suffix {self.suffix!r}; "
            + "; ".join(self.notes)
        )


# ---- Shapes: each makes sure that a case shows one thing -----------------------------------


def plain(case):
    pass


def duplicate_words(case):
    word = case.rng.choice(case.words)
    case.tables["content"] = f"{word}\tfirst\r\n{word}\tsecond\r\n" + case.tables["content"]
    case.tables["code"] += f"\n{word}\tq\r\n{word}\tr"


def two_tabs_and_empty_words(case):
    case.tables["content"] = "\tempty word\r\nab\thint\twith tab\r\n" + case.tables["content"]
    case.tables["code"] = "\tz\nab\tc\td\n" + case.tables["code"]


def lone_cr_and_lf_in_words(case):
    case.tables["content"] = "a\rb\tcr\r\nc\nd\tlf\r\n" + case.tables["content"] + "e\tf\nab\tg\r\n"
    case.tables["code"] += "\na\tx\rb\tx\nab\tx"


def line_breaks_at_the_start(case):
    case.tables["code"] = case.rng.choice(["\r\n", "\n\n", "\r"]) + case.tables["code"]
    case.tables["content"] = case.rng.choice(["\r\n", "\n", "\r\n\r\n"]) + case.tables["content"]


def nul_inside(case):
    table = case.rng.choice(TABLES)
    text = case.tables[table]
    at = case.rng.randrange(len(text) + 1)
    case.tables[table] = text[:at] + "\0" + text[at:]
    case.notes.append(f"NUL at unit {at} of the {table} table")


def surrogates_and_astral(case):
    for table in TABLES:
        if case.encoding[table] == "gbk":
            case.encoding[table] = "utf-16le"
    lone = case.rng.choice(LONE_SURROGATES)
    case.tables["content"] = f"{lone}\tlone\r\n𠀀\tastral 𝄞\r\n" + case.tables["content"]
    case.tables["code"] = f"{lone}\tl\n𠀀\ta\n" + case.tables["code"]


def long_code_lines(case):
    # A line of 4094 to 4097 units whose cut falls in the code; what follows the cut, or the
    # line after, may match too.
    word = case.rng.choice(case.words)
    length = case.rng.choice([4094, 4095, 4096, 4097])
    filler = length - len(reference.units_of(word)) - 1
    line = word + "\t" + "c" * filler
    after = case.rng.choice(["", "\r\n", "\n"]) + word + case.rng.choice(["", "\tq"]) + "\n"
    case.tables["code"] = line + after + case.tables["code"]
    case.notes.append(f"a code line of {length} units")


def cut_line_that_matches(case):
    # 4095 units without TAB, then "ab\tc" with no break: the cut makes it a line of its own.
    case.tables["content"] = "ab\tcut\r\n" + case.tables["content"]
    case.tables["code"] = "j" * 4095 + "ab\tc" + "\n" + case.tables["code"]


def long_records(case):
    size = case.rng.choice([4000, 4090, 4095, 5000, 9000])
    word = case.rng.choice(case.words)
    long_word = "w" * (size // 2)  # written twice in its record
    records = f"{word}\t{'h' * size}\r\n{long_word}\tx\r\n"
    case.tables["content"] = records + case.tables["content"]
    case.tables["code"] = f"{word}\tc\n{long_word}\tc\n" + case.tables["code"]
    case.notes.append(f"a hint of {size} units")


def empty_and_mark_only_files(case):
    table = case.rng.choice(TABLES)
    data = case.rng.choice([b"", BOM_UTF8, BOM_LE, BOM_BE, b"\xEF\xBB", b"\xFF"])
    case.tables[table] = data
    case.notes.append(f"the {table} table holds {data.hex() or 'nothing'}")


def missing_files(case):
    table = case.rng.choice(TABLES)
    case.tables[table] = None
    case.notes.append(f"no {table} table")


def odd_utf16(case):
    table = case.rng.choice(TABLES)
    case.encoding[table] = case.rng.choice(["utf-16le", "utf-16be"])
    if table == "code":
        case.tables[table] += "\n" + case.words[0] + "\tc"  # the odd byte ends a record's code
    case.tables[table] = encode(case.tables[table], case.encoding[table]) + b"A"
    case.notes.append(f"an odd byte at the end of the {table} table")


def lf_only_content(case):
    case.tables["content"] = case.tables["content"].replace("\r\n", "\n")


def private_use_bytes(rng):
    """One to three pairs that Windows decodes to Private Use Area characters: from GBK's
    user-defined areas, or pairs that GBK leaves unassigned."""
    pairs = []
    for _ in range(rng.randint(1, 3)):
        if rng.random() < 0.25:
            pairs.append(rng.choice(UNASSIGNED_GBK_PAIRS))
        else:
            leads, trails = rng.choice(reference.USER_DEFINED_AREAS)
            trail = rng.choice([trail for trail in trails if trail != 0x7F])
            pairs.append(bytes((rng.choice(leads), trail)))
    return b"".join(pairs)


def gbk_tables(case):
    # Bytes that the encoder never makes: the euro sign 0x80, 0xFF, lead bytes before a TAB,
    # a line end or an ASCII letter, and a word and a hint in the Private Use Area.
    case.encoding = {table: "gbk" for table in TABLES}
    case.words = [word for word in case.words if word in GBK_WORDS] or ["中国"]
    word = private_use_bytes(case.rng)
    content = b"\xD6\xD0\xB9\xFA\t\x80\xFF\x81\r\n\x80\x81\t\x81a\x81\r\n"
    content += word + b"\t" + private_use_bytes(case.rng) + b"\r\n"
    code = b"\xD6\xD0\xB9\xFA\tz\x81\n\x80\x81\tq\x80\r" + word + b"\tu\n"
    case.tables["content"] = content + encode(case.content_text(), "gbk")
    case.tables["code"] = code + encode(case.code_text(), "gbk")
    case.notes.append(f"private use word {word.hex()}")


def malformed_utf8(case):
    # After a mark every byte goes through the UTF-8 conversion, however malformed; without a
    # mark only what the UTF-8 test lets pass does: overlong forms, surrogates, 5-byte forms.
    encoding = case.rng.choice(["utf-8", "utf-8 with mark"])
    case.encoding = {table: encoding for table in TABLES}
    bad = case.rng.choice([b"\xC0\x80", b"\xED\xA0\x80", b"\xF8\x88\x80\x80\x80", b"\xF4\x90\x80"])
    if encoding == "utf-8 with mark":
        bad += case.rng.choice([b"\x80", b"\xE4\xB8", b"\xF0\x9F\x98", b"\xC2", b"\xFF"])
    for table, tail in (("content", b"\thint" + bad + b"\r\n"), ("code", b"\tc" + bad + b"\n")):
        text = encode(case.tables[table], case.encoding[table])
        case.tables[table] = text + b"w" + bad + tail
    case.notes.append(f"{bad.hex()} in a word and its hint or code")


def affixes_like_options(case):
    case.prefix = case.rng.choice(["-z", "--", "-o", "--prefix", "-", ""])
    case.suffix = case.rng.choice(["--", "-h", "--suffix", "", "--version", "--prefix="])


def file_names(case):
    case.names = {
        "content": case.rng.choice(["内容表.txt", "-content.txt", "a b.txt"]),
        "code": case.rng.choice(["编码表.txt", "-code", "𠀀.txt"]),
        "output": case.rng.choice(["结果.txt", "-out.txt", "out put.txt"]),
    }


SHAPES = [
    plain,
    duplicate_words,
    two_tabs_and_empty_words,
    lone_cr_and_lf_in_words,
    line_breaks_at_the_start,
    nul_inside,
    surrogates_and_astral,
    long_code_lines,
    cut_line_that_matches,
    long_records,
    empty_and_mark_only_files,
    missing_files,
    odd_utf16,
    lf_only_content,
    gbk_tables,
    malformed_utf8,
    affixes_like_options,
    file_names,
]


# ---- Running and comparing -----------------------------------------------------------------


def short_diff(expected, actual):
    """Where the two result files part: the first differing byte and the first differing
    record."""

    def records(data):
        text = data[2 : len(data) - len(data) % 2].decode("utf-16-le", "surrogatepass")
        return text.split("\r\n")

    at = next((i for i, (a, b) in enumerate(zip(expected, actual)) if a != b), None)
    at = min(len(expected), len(actual)) if at is None else at
    want, got = records(expected), records(actual)
    k = next((i for i, (a, b) in enumerate(zip(want, got)) if a != b), min(len(want), len(got)))
    return (
        f"  {len(expected)} bytes expected, {len(actual)} written, first difference at byte "
        f"{at}, in record {k + 1}:\n"
        f"  reference:  {(want[k : k + 1] or ['(none)'])[0][:150]!r}\n"
        f"  lantra-cli: {(got[k : k + 1] or ['(none)'])[0][:150]!r}"
    )


def run_case(cli, case, folder):
    """Returns the reference's exit status and what lantra-cli did differently, if anything."""
    for table in TABLES:
        if case.data[table] is not None:
            with open(os.path.join(folder, case.names[table]), "wb") as f:
                f.write(case.data[table])
    result = subprocess.run([cli, *case.arguments()], cwd=folder, capture_output=True)
    actual = None
    output = os.path.join(folder, case.names["output"])
    if os.path.exists(output):
        with open(output, "rb") as f:
            actual = f.read()

    affixes = reference.units_of(case.prefix), reference.units_of(case.suffix)
    status, expected = reference.generate(case.data["content"], case.data["code"], *affixes)
    problems = []
    if result.returncode != status:
        problems.append(f"  exit status: reference {status}, lantra-cli {result.returncode}")
    if actual != expected:
        if expected is None or actual is None:
            problems.append(f"  result file: reference {expected!r:.60}, lantra-cli {actual!r:.60}")
        else:
            problems.append(short_diff(expected, actual))
    if problems and result.stderr:
        problems.append("  stderr: " + result.stderr.decode("utf-8", "replace").strip()[:300])
    return status, problems


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cli", help="the lantra-cli to check")
    parser.add_argument("--cases", type=int, default=220, help="how many cases, from 0 on")
    parser.add_argument("--case", type=int, help="run this case alone")
    args = parser.parse_args(argv)
    cli = os.path.abspath(args.cli)
    numbers = [args.case] if args.case is not None else range(args.cases)
    failures = 0
    statuses = {}
    for number in numbers:
        case = Case(number)
        with tempfile.TemporaryDirectory(prefix="lantra-crosscheck-") as folder:
            status, problems = run_case(cli, case, folder)
        statuses[status] = statuses.get(status, 0) + 1
        if problems:
            failures += 1
            print("MISMATCH " + case.describe())
            print("\n".join(problems))
            print(f"  re-run: {sys.argv[0]} {args.cli} --case {number}")
    summary = ", ".join(f"{n} with exit {status}" for status, n in sorted(statuses.items()))
    print(f"{len(numbers)} cases ({summary}), {failures} mismatches")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
