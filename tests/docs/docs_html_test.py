"""tools/docs_html.py on small pages: the links it lets through and the ones it reports, and
the HTML pages it makes."""

import os
import shutil
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
import docs_html  # noqa: E402

CMARK = shutil.which("cmark-gfm") or "cmark-gfm"

GUIDE = """# Guide

## Install on Windows (the zip)

## Quick start

## Quick start

See [the format](data-file.md#one-line-per-record), [below](#quick-start-1),
[the zip](#install-on-windows-the-zip) and [the site](https://rx7731.example/none).
![The window](window.png)

    [not a link](missing.md) in a block of code
"""
DATA_FILE = "# The data file\n\n## One line per record\n\nBack to [the guide](guide.md).\n"


class Pages(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.write("guide.md", GUIDE)
        self.write("data-file.md", DATA_FILE)
        with open(self.path("window.png"), "wb") as picture:
            picture.write(b"\x89PNG picture")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, text):
        with open(self.path(name), "w", encoding="utf-8") as page:
            page.write(text)

    def assertFaults(self, faults, expected):
        self.assertEqual(len(faults), len(expected), faults)
        for fault, part in zip(faults, expected):
            self.assertIn(part, fault)

    def test_check_reports_each_broken_link_and_lets_the_rest_through(self):
        cases = [
            ("", []),
            ("[gone](gone.md)", ["link gone.md: "]),
            ("[no heading](data-file.md#two-lines)", ["has no heading #two-lines"]),
            ("[third](#quick-start-2)", ["has no heading #quick-start-2"]),
            ("![gone](shots/gone.png)", ["picture shots/gone.png: "]),
            ("[root](/README.md)", ["not relative to the page"]),
            ("[into a picture](window.png#top)", ["an anchor into a file that is not a page"]),
            ("[spaced](data-file.md#one%20line)", ["has no heading #one line"]),
        ]
        for extra, expected in cases:
            with self.subTest(extra=extra):
                self.write("guide.md", GUIDE + "\n" + extra + "\n")
                self.assertFaults(docs_html.check(CMARK, [self.path("guide.md")]), expected)

    def test_options_are_checked_against_the_commands_help(self):
        cli = self.path("rx7731-cli")
        with open(cli, "w", encoding="utf-8") as script:
            script.write('#!/bin/sh\n[ "$1" = export ] || exit 2\n'
                         'echo "  -o,--output FILE  --format csv|json  --delimiter CHAR"\n')
        os.chmod(cli, stat.S_IRWXU)
        cases = [
            ("rx7731-cli export a.dat --output a.csv -o b.csv", []),
            ("$ rx7731-cli export a.dat --format json --delimiter ';'", []),
            ("rx7731-cli export a.dat --out a.csv", ["no option --out"]),
            ("rx7731-cli export a.dat --channel 1 -c 2", ["no option --channel", "no option -c"]),
            ("rx7731-cli exports a.dat", ["exports: not a command"]),
            ("rx7731-cli --version", []),
        ]
        for line, expected in cases:
            with self.subTest(line=line):
                self.write("cli.md", "    " + line + "\n")
                faults = docs_html.check_options(CMARK, cli, [self.path("cli.md")])
                self.assertFaults(faults, expected)

    def test_html_pages_stand_alone_with_githubs_anchors(self):
        out = self.path("html")
        pages = [self.path("guide.md"), self.path("data-file.md")]
        self.assertEqual(docs_html.make_html(CMARK, out, pages), [])
        with open(os.path.join(out, "guide.html"), encoding="utf-8") as page:
            guide = page.read()
        for part in ['<title>Guide</title>', 'id="install-on-windows-the-zip"',
                     'id="quick-start"', 'id="quick-start-1"', 'href="#quick-start-1"',
                     'href="data-file.html#one-line-per-record"',
                     'href="https://rx7731.example/none"', 'src="data:image/png;base64,']:
            self.assertIn(part, guide)
        self.assertNotIn(".md", guide.replace("missing.md", ""))
        self.assertEqual(sorted(os.listdir(out)), ["data-file.html", "guide.html"])

    def test_html_refuses_a_link_that_would_not_be_there(self):
        out = self.path("html")
        self.write("data-file.md", DATA_FILE + "\nBuilt as [development](development.md) says.\n")
        faults = docs_html.make_html(CMARK, out, [self.path("guide.md"), self.path("data-file.md")])
        self.assertFaults(faults, ["development.md leads outside the pages made here"])
        self.assertFalse(os.path.exists(os.path.join(out, "data-file.html")))


if __name__ == "__main__":
    unittest.main()
