#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Checks the pages of the user manual: each starts with the licence line, its elements
are properly nested and closed, its ids are unique, its links between pages and to
anchors lead somewhere, and it loads nothing from outside its folder.

Usage: check_manual.py MANUAL_FOLDER
Prints one line per problem and exits 1 when there is any.
"""

import os
import sys
from html.parser import HTMLParser
from urllib.parse import urlsplit

SPDX = "<!-- SPDX-License-Identifier: GPL-2.0-or-later -->"

# Elements without an end tag.
VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
        "source", "track", "wbr"}


class Page(HTMLParser):
    def __init__(self, name):
        super().__init__(convert_charrefs=True)
        self.name = name
        self.problems = []
        self.stack = []
        self.ids = set()
        self.links = []  # (line, href)
        self.resources = []  # (line, url)

    def problem(self, text):
        line, _ = self.getpos()
        self.problems.append(f"{self.name}:{line}: {text}")

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag not in VOID:
            self.stack.append((tag, self.getpos()[0]))
        ident = attrs.get("id")
        if ident is not None:
            if ident in self.ids:
                self.problem(f'duplicate id "{ident}"')
            self.ids.add(ident)
        if tag == "a" and "href" in attrs:
            self.links.append((self.getpos()[0], attrs["href"]))
        for key in ("src", "data"):
            if key in attrs:
                self.resources.append((self.getpos()[0], attrs[key]))
        if tag == "link" and attrs.get("href"):
            self.resources.append((self.getpos()[0], attrs["href"]))

    def handle_startendtag(self, tag, attrs):
        # "<br/>" style: fine for void elements, a mistake for the others.
        if tag not in VOID:
            self.problem(f"<{tag}/> is not a void element")
            return
        self.handle_starttag(tag, attrs)

    def handle_endtag(self, tag):
        if tag in VOID:
            self.problem(f"end tag for void element <{tag}>")
            return
        if not self.stack:
            self.problem(f"</{tag}> without an open element")
            return
        open_tag, line = self.stack[-1]
        if open_tag != tag:
            self.problem(f"</{tag}> closes <{open_tag}> opened on line {line}")
            # Recover when the end tag matches something further down.
            for i in range(len(self.stack) - 1, -1, -1):
                if self.stack[i][0] == tag:
                    del self.stack[i:]
                    break
            return
        self.stack.pop()

    def finish(self):
        self.close()
        for tag, line in self.stack:
            self.problems.append(f"{self.name}:{line}: <{tag}> is never closed")


def check(folder):
    problems = []
    pages = {}
    names = sorted(n for n in os.listdir(folder) if n.endswith(".html"))
    if "index.html" not in names:
        problems.append(f"{folder}: no index.html")
    for name in names:
        path = os.path.join(folder, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        if text.splitlines()[0:1] != [SPDX]:
            problems.append(f"{name}:1: the first line is not the licence line")
        page = Page(name)
        page.feed(text)
        page.finish()
        if "<!DOCTYPE html>" not in text:
            problems.append(f"{name}: no <!DOCTYPE html>")
        if '<meta charset="utf-8">' not in text:
            problems.append(f"{name}: no utf-8 charset declaration")
        problems.extend(page.problems)
        pages[name] = page

    for name, page in pages.items():
        for line, url in page.resources:
            parts = urlsplit(url)
            if parts.scheme or parts.netloc or url.startswith("/"):
                problems.append(f"{name}:{line}: loads {url} from outside the manual")
            elif not os.path.isfile(os.path.join(folder, parts.path)):
                problems.append(f"{name}:{line}: {url} does not exist")
        for line, href in page.links:
            parts = urlsplit(href)
            if parts.scheme or parts.netloc:
                continue  # web addresses are not checked
            target = parts.path or name
            if target not in pages:
                if not os.path.isfile(os.path.join(folder, target)):
                    problems.append(f"{name}:{line}: link to missing {target}")
                continue
            if parts.fragment and parts.fragment not in pages[target].ids:
                problems.append(f"{name}:{line}: link to missing anchor {href}")
    return problems


def main():
    if len(sys.argv) != 2:
        print("usage: check_manual.py MANUAL_FOLDER", file=sys.stderr)
        return 2
    problems = check(sys.argv[1])
    for p in problems:
        print(p)
    if problems:
        return 1
    print(f"manual in {sys.argv[1]}: no problems")
    return 0


if __name__ == "__main__":
    sys.exit(main())
