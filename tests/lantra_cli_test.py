"""Tests of lantra-cli as a user runs it: arguments, exit statuses, messages, result files.

Usage: lantra_cli_test.py LANTRA_CLI [unittest arguments]
"""

import os
import subprocess
import sys
import tempfile
import unittest

CLI = None  # set from the command line

NO_CONTENT = "无法读取提示内容表，请确认提示内容表路径的访问权限。"
NOTHING_GENERATED = "无法创建提示码表，请检查提示编码表、提示内容表文件格式是否符合kesu码表格式。"
MARK = b"\xFF\xFE"


def utf16(text):
    return text.encode("utf-16-le")


def record(word, hint, prefix, code, suffix):
    return utf16(f"$kesucmd({word},{word}[{hint}])\t{prefix}{code}{suffix}\r\n")


class CliTestCase(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory(prefix="lantra-cli-test-")
        self.addCleanup(folder.cleanup)
        self.folder = folder.name

    def path(self, name):
        return os.path.join(self.folder, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return name

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def run_cli(self, *args, env=None):
        """Runs lantra-cli in the test's folder, with a C locale: arguments are UTF-8 anyway."""
        environment = dict(os.environ, LC_ALL="C", TMPDIR=self.folder)
        environment.update(env or {})
        result = subprocess.run([CLI, *args], cwd=self.folder, env=environment, capture_output=True)
        return result.returncode, result.stdout.decode("utf-8"), result.stderr.decode("utf-8")

    def assert_failure(self, args, status, message, cause_words):
        """The exit status, then the message on the first line of standard error and the cause
        on the second."""
        code, out, err = self.run_cli(*args)
        self.assertEqual(code, status, err)
        self.assertEqual(out, "")
        lines = err.splitlines()
        self.assertEqual(len(lines), 2, err)
        self.assertEqual(lines[0], message)
        self.assertTrue(lines[1].startswith("lantra-cli: "), lines[1])
        for word in cause_words:
            self.assertIn(word, lines[1])


class ExitStatusTest(CliTestCase):
    def test_records_written(self):
        self.write("content.txt", b"ab\tx\r\ncd\ty\r\n")
        self.write("code.txt", b"ab\tc\ncd\td\nef\te")
        args = ["--prefix", "p", "--suffix", "s", "-o", "out.txt", "content.txt", "code.txt"]
        code, out, err = self.run_cli(*args)
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(out, "2 records written to out.txt\n")
        records = record("ab", "x", "p", "c", "s") + record("cd", "y", "p", "d", "s")
        self.assertEqual(self.read("out.txt"), MARK + records)

    def test_one_record_is_singular(self):
        self.write("content.txt", b"ab\tx\r\n")
        self.write("code.txt", b"ab\tc")
        code, out, _ = self.run_cli("-o", "out.txt", "content.txt", "code.txt")
        self.assertEqual((code, out), (0, "1 record written to out.txt\n"))
        self.assertEqual(len(self.read("out.txt")), 2 + 2 * len("$kesucmd(ab,ab[x])\tc\r\n"))

    def test_empty_content_index(self):
        """Exit 2, and no result file is written."""
        os.mkdir(self.path("folder"))
        self.write("code.txt", b"ab\tc")
        cases = [
            ("missing file", None, ["cannot open", "missing.txt"]),
            ("a folder", "folder", ["cannot open", "folder"]),
            ("empty file", b"", ["is empty", "content.txt"]),
            ("mark alone", b"\xEF\xBB\xBF", ["is empty", "content.txt"]),
            ("LF line ends", b"ab\tx\nab\ty\n", ["CR LF", "content.txt"]),
            ("no line end", b"ab\tx", ["CR LF", "content.txt"]),
            ("no TAB", b"ab x\r\n", ["TAB", "content.txt"]),
        ]
        for name, content, cause in cases:
            with self.subTest(name):
                if content is None:
                    table = "missing.txt"
                elif isinstance(content, str):
                    table = content
                else:
                    table = self.write("content.txt", content)
                self.assert_failure(["-o", "out.txt", table, "code.txt"], 2, NO_CONTENT, cause)
                self.assertFalse(os.path.exists(self.path("out.txt")))

    def test_nothing_generated(self):
        """Exit 3; a result file that was created holds the mark alone."""
        self.write("content.txt", b"ab\tx\r\n")
        self.write("nomatch.txt", b"cd\tc\r\nab c\r\n")
        os.mkdir(self.path("folder"))
        cases = [
            # name, output, code table, words of the cause, result file
            ("missing code table", "out.txt", "missing.txt", ["cannot open", "missing.txt"], MARK),
            ("code table is a folder", "out.txt", "folder", ["cannot open", "folder"], MARK),
            ("no word in common", "out.txt", "nomatch.txt", ["no word", "nomatch.txt"], MARK),
            ("result in a missing folder", "no/out", "nomatch.txt", ["cannot create", "no/out"], None),
            ("result is a folder", "folder", "nomatch.txt", ["cannot create", "folder"], None),
        ]
        for name, output, table, cause, result in cases:
            with self.subTest(name):
                args = ["-o", output, "content.txt", table]
                self.assert_failure(args, 3, NOTHING_GENERATED, cause)
                if result is not None:
                    self.assertEqual(self.read(output), result)

    def test_failed_write(self):
        if not os.path.exists("/dev/full"):
            self.skipTest("no /dev/full")
        self.write("content.txt", b"ab\tx\r\n")
        self.write("code.txt", b"ab\tc")
        code, out, err = self.run_cli("-o", "/dev/full", "content.txt", "code.txt")
        self.assertEqual((code, out), (3, ""))
        self.assertTrue(err.startswith(NOTHING_GENERATED + "\n"), err)


class ArgumentTest(CliTestCase):
    def test_help_and_version(self):
        for args in (["--help"], ["-h"], ["--help", "a", "b"], ["--version"]):
            with self.subTest(args):
                code, out, err = self.run_cli(*args)
                self.assertEqual((code, err), (0, ""))
                if args[0] == "--version":
                    self.assertRegex(out, r"^lantra-cli \d+\.\d+\.\d+\n$")
                else:
                    self.assertIn("Usage: lantra-cli [OPTIONS] CONTENT_TABLE CODE_TABLE", out)
                    for option in ("--prefix", "--suffix", "-o,--output"):
                        self.assertIn(option, out)
        self.assertEqual(os.listdir(self.folder), [])

    def test_usage_errors(self):
        self.write("content.txt", b"ab\tx\r\n")
        cases = [
            ("no arguments", []),
            ("one table", ["content.txt"]),
            ("three tables", ["content.txt", "content.txt", "content.txt"]),
            ("unknown option", ["--bogus", "content.txt", "content.txt"]),
            ("option without its value", ["content.txt", "content.txt", "--prefix"]),
            ("output without its value", ["content.txt", "content.txt", "-o"]),
            ("empty output name", ["-o", "", "content.txt", "content.txt"]),
        ]
        for name, args in cases:
            with self.subTest(name):
                code, out, err = self.run_cli(*args)
                self.assertEqual((code, out), (1, ""))
                self.assertIn("Usage: lantra-cli", err)
                self.assertNotIn(NO_CONTENT, err)
                self.assertFalse(os.path.exists(self.path("Lantra_result.txt")))

    def test_result_never_replaces_a_table(self):
        """Writing the result over a table would destroy it, the code table even before it is
        read: a usage error, and both tables stay as they were."""
        content, code = b"ab\tx\r\n", b"ab\tc"
        for output, table in (
            ("content.txt", "content table"),
            ("code.txt", "code table"),
            ("./code.txt", "code table"),
            ("code link.txt", "code table"),
        ):
            with self.subTest(output):
                self.write("content.txt", content)
                self.write("code.txt", code)
                if not os.path.exists(self.path("code link.txt")):
                    os.link(self.path("code.txt"), self.path("code link.txt"))
                status, out, err = self.run_cli("-o", output, "content.txt", "code.txt")
                self.assertEqual((status, out), (1, ""))
                self.assertIn("Usage: lantra-cli", err)
                self.assertIn(table, err)
                self.assertEqual(self.read("content.txt"), content)
                self.assertEqual(self.read("code.txt"), code)

    def test_affix_values_are_taken_whole(self):
        """An option's value is the next argument, whatever it looks like, as getopt takes it."""
        self.write("content.txt", b"ab\tx\r\n")
        self.write("code.txt", b"ab\tc")
        cases = [
            ("prefix like an option", ["--prefix", "-z"], "-z", ""),
            ("suffix is the end of options", ["--suffix", "--"], "", "--"),
            ("suffix like the help option", ["--suffix", "--help"], "", "--help"),
            ("options as values", ["--prefix", "--suffix", "--suffix", "--prefix"], "--suffix",
             "--prefix"),
            ("joined with =", ["--prefix=-p", "--suffix=a=b"], "-p", "a=b"),
            ("empty", ["--prefix", "", "--suffix", ""], "", ""),
            ("empty before the end of options", ["--prefix", "", "--suffix", "--"], "", "--"),
            ("empty, joined with =", ["--prefix=", "--suffix="], "", ""),
            ("value like an empty joined option", ["--suffix", "--prefix="], "", "--prefix="),
            ("Chinese and astral", ["--prefix", "前缀", "--suffix", "𠀀"], "前缀", "𠀀"),
            ("longer than the dialog's fields", ["--prefix", "x" * 40], "x" * 40, ""),
            ("TAB and percent", ["--prefix", "\t%s"], "\t%s", ""),
        ]
        for name, options, prefix, suffix in cases:
            with self.subTest(name):
                code, _, err = self.run_cli(*options, "-o", "out.txt", "content.txt", "code.txt")
                self.assertEqual(code, 0, err)
                expected = MARK + record("ab", "x", prefix, "c", suffix)
                self.assertEqual(self.read("out.txt"), expected)

    def test_output_options(self):
        self.write("content.txt", b"ab\tx\r\n")
        self.write("code.txt", b"ab\tc")
        expected = MARK + record("ab", "x", "", "c", "")
        for options, name in (
            (["-o", "a.txt"], "a.txt"),
            (["--output", "b.txt"], "b.txt"),
            (["--output=c.txt"], "c.txt"),
            (["-od.txt"], "d.txt"),
            (["-o", "-e.txt"], "-e.txt"),
            (["-o", "结果 表.txt"], "结果 表.txt"),
        ):
            with self.subTest(options):
                code, out, _ = self.run_cli(*options, "content.txt", "code.txt")
                self.assertEqual((code, out), (0, f"1 record written to {name}\n"))
                self.assertEqual(self.read(name), expected)

    def test_tables_named_in_utf8_whatever_the_locale(self):
        self.write("内容表.txt", "中国\tzhōng guó\r\n".encode("utf-8"))
        self.write("-编码表", "中国\tzggg".encode("utf-8"))
        code, _, err = self.run_cli("-o", "out.txt", "--", "内容表.txt", "-编码表")
        self.assertEqual(code, 0, err)
        expected = MARK + record("中国", "zhōng guó", "", "zggg", "")
        self.assertEqual(self.read("out.txt"), expected)

    def test_default_result_path(self):
        """Without --output the result is Lantra_result.txt in $TMPDIR."""
        self.write("content.txt", b"ab\tx\r\n")
        self.write("code.txt", b"ab\tc")
        os.mkdir(self.path("tmp"))
        for tmpdir in ("tmp", "tmp/"):
            with self.subTest(tmpdir):
                env = {"TMPDIR": self.path(tmpdir)}
                code, out, _ = self.run_cli("content.txt", "code.txt", env=env)
                result = os.path.join(self.path("tmp"), "Lantra_result.txt")
                self.assertEqual((code, out), (0, f"1 record written to {result}\n"))
                self.assertEqual(self.read(result), MARK + record("ab", "x", "", "c", ""))
                self.assertEqual(os.stat(result).st_mode & 0o777, 0o600)

    def test_default_result_path_too_long(self):
        self.write("content.txt", b"ab\tx\r\n")
        self.write("code.txt", b"ab\tc")
        code, _, err = self.run_cli("content.txt", "code.txt", env={"TMPDIR": "/" + "t" * 241})
        self.assertEqual(code, 3)
        self.assertEqual(err.splitlines()[0], NOTHING_GENERATED)
        self.assertIn("too long", err.splitlines()[1])


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv.pop(1))
    unittest.main()
