#!/usr/bin/env python3
"""The docs runner's own rules: what a shown output may leave out or mask, and
which marks it refuses. A rule too lax here lets a page drift unnoticed."""

import datetime
import os
import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import run_docs  # noqa: E402

FOLDER = "/tmp/qrnmvl-docs-abc123"
TODAY = datetime.date.today()
NOW = TODAY.strftime("%d/%m/%Y") + " 04:23"
NOW_ISO = TODAY.strftime("%Y-%m-%d") + "T04:23:31.833Z"
LAST_YEAR = (TODAY - datetime.timedelta(days=365)).strftime("%d/%m/%Y") + " 04:23"


class Matching(unittest.TestCase):
    CASES = [
        # why, shown, printed (before masking), matches
        ("the same text", "a\nb\n", "a\nb\n", True),
        ("a value changed", '"outvntTam_arr": 3,\n', '"outvntTam_arr": 4,\n', False),
        ("trailing blanks are not output", "a\nb\n", "a  \nb\n", True),
        ("a line missing at the end", "a\nb\n", "a\n", False),
        ("a line more at the end", "a\n", "a\nb\n", False),
        ("... stands for lines", "{\n  ...\n}\n", "{\n  x\n  y\n}\n", True),
        ("... stands for no line", "a\n...\nb\n", "a\nb\n", True),
        ("... hides no line after it", "a\n...\nc\n", "a\nb\nd\n", False),
        ("... within a line is literal", "a ... b\n", "a x b\n", False),
        ("a job queued now, shown on the day the page was written",
         "07/12/2026 00:05  1    2266\n", NOW + "  1    2266\n", True),
        ("a log line's time", '{"time":"2026-12-06T23:48:31.833Z"}\n', '{"time":"' + NOW_ISO + '"}\n',
         True),
        ("a moment of the data is compared", "17/10/2025 17:30  Entrega no porto\n",
         "17/10/2025 17:31  Entrega no porto\n", False),
        ("a moment long past is not now", "07/12/2026 00:05\n", LAST_YEAR + "\n", False),
        ("an HTTP date of today", "Date: Mon, 07 Dec 2026 04:44:48 GMT\n",
         "Date: " + TODAY.strftime("%a, %d %b %Y") + " 09:01:02 GMT\n", True),
        ("an HTTP date of the past", "Date: Mon, 07 Dec 2026 04:44:48 GMT\n",
         "Date: Sun, 06 Dec 2020 04:44:48 GMT\n", False),
        ("the version", "qrnmvl 0.1.0\n", "qrnmvl 0.2.0\n", True),
        ("the engine's version", "Server: SQLite 3.40.1\n", "Server: SQLite 3.45.0\n", True),
        ("an address is no version", "http://127.0.0.1:8080\n", "http://127.0.0.2:8080\n", False),
        ("an amount is no version", "152300,75\n", "152300,76\n", False),
        ("the run's temporary folder", "Database: /tmp/qrnmvl-demo.db\n",
         f"Database: {FOLDER}/tmp/qrnmvl-demo.db\n", True),
        ("the run's own folder", "Created app.db\n", f"Created {FOLDER}/app.db\n", True),
        ("another folder is compared", "Created app.db\n", "Created /srv/app.db\n", False),
    ]

    def test_cases(self):
        for why, shown, printed, expected in self.CASES:
            with self.subTest(why):
                masked = run_docs.mask(printed, FOLDER)
                self.assertEqual(run_docs.matches(shown, masked), expected, masked)


class Marks(unittest.TestCase):
    def plan(self, page):
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder) / "page.md"
            path.write_text(page, encoding="utf-8")
            return run_docs.plan(path, run_docs.read_blocks(path))

    REFUSED = [
        # why, page
        ("an output with no run before it", "<!-- output -->\n```\nx\n```\n"),
        ("two outputs for one run",
         "<!-- run -->\n```sh\ntrue\n```\n<!-- output -->\n```\n```\n<!-- output -->\n```\n```\n"),
        ("an output after a transcript",
         "<!-- run -->\n```console\n$ true\n```\n<!-- output -->\n```\n```\n"),
        ("a run that is not shell", "<!-- run -->\n```json\n{}\n```\n"),
        ("an exit that is not a number", "<!-- run: exit two -->\n```sh\nfalse\n```\n"),
        ("a file outside the folder", "<!-- file: ../x -->\n```\nx\n```\n"),
        ("a skip without a reason", "<!-- skip -->\n```sh\ntrue\n```\n"),
        ("a mark the runner does not know", "<!-- runs -->\n```sh\ntrue\n```\n"),
        ("a block never closed", "<!-- run -->\n```sh\ntrue\n"),
    ]

    def test_refused(self):
        for why, page in self.REFUSED:
            with self.subTest(why):
                with self.assertRaises(run_docs.DocError):
                    self.plan(page)

    def test_a_page_in_order(self):
        steps = self.plan("<!-- file: a.json -->\n```json\n{}\n```\n\ntext\n\n"
                          "<!-- run: exit 2 -->\n```sh\nfalse\n```\n<!-- output -->\n```text\nx\n```\n"
                          "```sh\nnot marked\n```\n<!-- skip: needs a server -->\n```sh\ncurl\n```\n")
        self.assertEqual(steps[0], ("file", "a.json", "{}\n"))
        self.assertEqual((steps[1].exit_code, steps[1].block.text, steps[1].output.text),
                         (2, "false\n", "x\n"))
        self.assertEqual((steps[2][0], steps[2][1].argument), ("skip", "needs a server"))
        self.assertEqual(len(steps), 3)

    def test_transcript_commands_and_their_outputs(self):
        text = "$ a \\\n    --b\none\ntwo\n$ c\n[exit 3]\n$ d\nthree\n"
        pairs = run_docs.transcript(run_docs.Block(1, "console", text))
        self.assertEqual(pairs, [("a \\\n    --b", "one\ntwo\n", None), ("c", "", 3),
                                 ("d", "three\n", None)])
        self.assertEqual(run_docs.transcript_text(pairs), text)

    def test_update_rewrites_only_the_blocks_given(self):
        page = "text\n<!-- run -->\n```console\n$ a\nold\n```\n<!-- run -->\n```sh\nb\n```\n" \
               "<!-- output -->\n```\n```\nend\n"
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder) / "page.md"
            path.write_text(page, encoding="utf-8")
            runs = [s for s in run_docs.plan(path, run_docs.read_blocks(path))]
            run_docs.rewrite(path, [(runs[0].block, "$ a\nnew\n[exit 2]\n"),
                                    (runs[1].output, "two\nlines\n")])
            self.assertEqual(path.read_text(encoding="utf-8"),
                             page.replace("old", "new\n[exit 2]").replace("```\n```\nend",
                                                                            "```\ntwo\nlines\n```\nend"))


class Running(unittest.TestCase):
    def test_exports_carry_and_a_background_block_runs_on_until_the_page_ends(self):
        page = ("<!-- run: background -->\n```sh\necho started > bg.txt; echo $$ > ../{pid}\n"
                "exec sleep 600\n```\n"
                "<!-- run -->\n```console\n$ export NAME=value; LOCAL=gone\n"
                "$ until [ -f bg.txt ]; do sleep 0.05; done; echo \"$NAME${LOCAL:-} $(cat bg.txt)\"\n"
                "value started\n$ false\n[exit 1]\n```\n")
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder) / "page.md"
            pid = pathlib.Path(tempfile.gettempdir()) / f"qrnmvl-docs-test-{os.getpid()}.pid"
            path.write_text(page.replace("{pid}", pid.name), encoding="utf-8")
            failures = []
            self.assertEqual(run_docs.run_page(path, "/bin/true", False, failures), 2)
            self.assertEqual(failures, [])
            # The service the page started is gone with the page, not left running.
            self.assertFalse(pathlib.Path(f"/proc/{pid.read_text().strip()}").exists())
            pid.unlink()

    def test_an_output_after_a_background_block_is_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder) / "page.md"
            path.write_text("<!-- run: background -->\n```sh\nsleep 1\n```\n"
                            "<!-- output -->\n```\nx\n```\n", encoding="utf-8")
            with self.assertRaises(run_docs.DocError):
                run_docs.plan(path, run_docs.read_blocks(path))


if __name__ == "__main__":
    unittest.main()
