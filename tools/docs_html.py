#!/usr/bin/env python3
"""The project's Markdown pages, read the way GitHub shows them (through cmark-gfm).

  docs_html.py check [--cmark PATH] FILE.md...
      Every relative link and picture in the pages leads to a file that exists, and every
      #anchor to a heading of its page. Links to web addresses are not followed.
  docs_html.py options --cli RX7731-CLI [--cmark PATH] FILE.md...
      Every option on a line of code that starts with "rx7731-cli COMMAND" is one that
      "rx7731-cli COMMAND --help" lists.
  docs_html.py html [--cmark PATH] --output FOLDER FILE.md...
      One HTML page for each page given, to read beside the program: the headings carry the
      anchors GitHub gives them, a link to another of the pages leads to its .html, and the
      pictures are inside the page. A link to a file that is not one of the pages is refused,
      as it would not be there.

Exit status: 0 when all is well, 1 with one line per fault, 2 for a wrong command line.
"""

import argparse
import base64
import html
import html.parser
import os
import re
import subprocess
import sys
import urllib.parse

CMARK_EXTENSIONS = ["table", "autolink", "strikethrough"]
PICTURE_TYPES = {".png": "image/png", ".svg": "image/svg+xml", ".jpg": "image/jpeg"}


def render(cmark, path):
    """The page's HTML body as cmark-gfm renders it, GitHub's extensions included."""
    command = [cmark]
    for extension in CMARK_EXTENSIONS:
        command += ["-e", extension]
    with open(path, "rb") as source:
        done = subprocess.run(command, stdin=source, capture_output=True, check=False)
    if done.returncode != 0:
        raise RuntimeError(f"{path}: cmark-gfm failed: {done.stderr.decode(errors='replace')}")
    return done.stdout.decode("utf-8")


def slug(text, taken):
    """GitHub's anchor for a heading's text: lower case, punctuation dropped, spaces as "-",
    and "-1", "-2" ... after a text that came before."""
    base = re.sub(r"[^\w\- ]", "", text.strip().lower()).replace(" ", "-")
    anchor = base
    n = 0
    while anchor in taken:
        n += 1
        anchor = f"{base}-{n}"
    taken.add(anchor)
    return anchor


class Page(html.parser.HTMLParser):
    """What a rendered page holds: its headings' anchors, its links and pictures, and the text
    of each line of code."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.anchors = []  # in the order of the headings
        self.links = []  # (kind, target): kind "link" or "picture"
        self.code_lines = []
        self._heading = None
        self._code = None
        self._taken = set()

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if re.fullmatch(r"h[1-6]", tag):
            self._heading = []
        elif tag == "a" and "href" in attrs:
            self.links.append(("link", attrs["href"]))
        elif tag == "img" and "src" in attrs:
            self.links.append(("picture", attrs["src"]))
        elif tag == "code":
            self._code = []

    def handle_endtag(self, tag):
        if re.fullmatch(r"h[1-6]", tag) and self._heading is not None:
            self.anchors.append(slug("".join(self._heading), self._taken))
            self._heading = None
        elif tag == "code" and self._code is not None:
            self.code_lines += "".join(self._code).splitlines()
            self._code = None

    def handle_data(self, data):
        if self._heading is not None:
            self._heading.append(data)
        if self._code is not None:
            self._code.append(data)


def read_page(cmark, path):
    page = Page()
    page.feed(render(cmark, path))
    page.close()
    return page


def is_web(target):
    return urllib.parse.urlsplit(target).scheme != ""


def split_target(page_path, target):
    """The file a relative link leads to (the page itself for "#anchor") and its anchor."""
    parts = urllib.parse.urlsplit(target)
    path = urllib.parse.unquote(parts.path)
    file = os.path.normpath(os.path.join(os.path.dirname(page_path), path)) if path else page_path
    return file, urllib.parse.unquote(parts.fragment)


def check(cmark, paths):
    faults = []
    pages = {}

    def anchors_of(path):
        key = os.path.normpath(path)
        if key not in pages:
            pages[key] = read_page(cmark, key)
        return pages[key].anchors

    for path in paths:
        for kind, target in read_page(cmark, path).links:
            if is_web(target):
                continue
            if target.startswith("/"):
                faults.append(f"{path}: {kind} {target}: not relative to the page")
                continue
            file, anchor = split_target(path, target)
            if not os.path.exists(file):
                faults.append(f"{path}: {kind} {target}: {file} does not exist")
            elif anchor and not file.endswith(".md"):
                faults.append(f"{path}: {kind} {target}: an anchor into a file that is not a page")
            elif anchor and anchor not in anchors_of(file):
                faults.append(f"{path}: {kind} {target}: {file} has no heading #{anchor}")
    return faults


def check_options(cmark, cli, paths):
    faults = []
    helps = {}
    for path in paths:
        for line in read_page(cmark, path).code_lines:
            words = line.strip().removeprefix("$ ").split()
            if len(words) < 2 or words[0] != "rx7731-cli" or words[1].startswith("-"):
                continue
            command = words[1]
            if command not in helps:
                done = subprocess.run([cli, command, "--help"], capture_output=True, text=True,
                                      check=False)
                helps[command] = done.stdout if done.returncode == 0 else None
            if helps[command] is None:
                faults.append(f"{path}: rx7731-cli {command}: not a command ({line.strip()})")
                continue
            for option in re.findall(r"(?<![\w-])--?[A-Za-z][\w-]*", line):
                if not re.search(rf"(?<![\w-]){re.escape(option)}(?![\w-])", helps[command]):
                    faults.append(f"{path}: rx7731-cli {command} has no option {option}")
    return faults


HEADING = re.compile(r"<(h[1-6])>(.*?)</\1>", re.S)
TAG = re.compile(r"<[^>]*>")


def page_html(cmark, path, names):
    """The page as a document of its own, or the faults that keep it from standing alone."""
    body = render(cmark, path)
    faults = []
    taken = set()
    first = HEADING.search(body)
    title = html.unescape(TAG.sub("", first.group(2))) if first else os.path.basename(path)

    def heading(match):
        text = html.unescape(TAG.sub("", match.group(2)))
        return f'<{match.group(1)} id="{slug(text, taken)}">{match.group(2)}</{match.group(1)}>'

    body = HEADING.sub(heading, body)

    def relink(match):
        attribute, target = match.group(1), html.unescape(match.group(2))
        if is_web(target) or target.startswith("#"):
            return match.group(0)
        file, anchor = split_target(path, target)
        if attribute == "src":
            kind = PICTURE_TYPES.get(os.path.splitext(file)[1].lower())
            if kind is None or not os.path.isfile(file):
                faults.append(f"{path}: picture {target} cannot be put in the page")
                return match.group(0)
            with open(file, "rb") as picture:
                data = base64.b64encode(picture.read()).decode("ascii")
            return f'src="data:{kind};base64,{data}"'
        page = os.path.normpath(file)
        if page not in names:
            faults.append(f"{path}: link {target} leads outside the pages made here")
            return match.group(0)
        new = names[page] + (f"#{anchor}" if anchor else "")
        return f'href="{html.escape(new)}"'

    body = re.sub(r'\b(href|src)="([^"]*)"', relink, body)
    document = f"""<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{html.escape(title)}</title>
<style>
body {{ font-family: sans-serif; max-width: 50em; margin: 1em auto; padding: 0 1em;
       line-height: 1.45; color: #1f2328; }}
code, pre {{ font-family: monospace; background: #f3f4f6; }}
pre {{ padding: 0.6em; overflow-x: auto; }}
table {{ border-collapse: collapse; }}
th, td {{ border: 1px solid #d0d7de; padding: 0.2em 0.5em; vertical-align: top; }}
img {{ max-width: 100%; }}
</style>
</head>
<body>
{body}</body>
</html>
"""
    return document, faults


def make_html(cmark, output, paths):
    names = {os.path.normpath(p): os.path.splitext(os.path.basename(p))[0] + ".html"
             for p in paths}
    faults = []
    os.makedirs(output, exist_ok=True)
    for path in paths:
        document, page_faults = page_html(cmark, path, names)
        faults += page_faults
        if page_faults:
            continue
        target = os.path.join(output, names[os.path.normpath(path)])
        # Written beside and renamed, so that a build stopped part-way leaves no page cut short.
        partial = target + ".partial"
        with open(partial, "w", encoding="utf-8", newline="\n") as out:
            out.write(document)
        os.replace(partial, target)
    return faults


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("action", choices=["check", "options", "html"])
    parser.add_argument("pages", nargs="+", metavar="FILE.md")
    parser.add_argument("--cmark", default="cmark-gfm", help="the cmark-gfm program")
    parser.add_argument("--cli", help="the rx7731-cli program (options)")
    parser.add_argument("--output", help="the folder of the HTML pages (html)")
    args = parser.parse_args(argv)
    if args.action == "options" and not args.cli:
        parser.error("options needs --cli")
    if args.action == "html" and not args.output:
        parser.error("html needs --output")
    try:
        if args.action == "check":
            faults = check(args.cmark, args.pages)
        elif args.action == "options":
            faults = check_options(args.cmark, args.cli, args.pages)
        else:
            faults = make_html(args.cmark, args.output, args.pages)
    except (OSError, RuntimeError) as error:
        faults = [str(error)]
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
