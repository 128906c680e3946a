#!/usr/bin/env python3
"""Highlights every example of docs/notation.md and the examples/ projects
with kate-syntax-highlighter and korva.xml, and checks that each construct of
the notation gets its style, and that the TextMate grammar beside it shows
every character the same way.

The highlighter writes HTML with colours only, so the test gives it a theme
in which every style of korva.xml has a colour of its own and reads the
styles back from the colours.

usage: kate_highlight_test.py FOLDER   (the folder of korva.xml and korva.tmLanguage.json)
Exits with 77 (skipped) when kate-syntax-highlighter is not installed.
"""

import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import notation_expectations as expect  # noqa: E402
from textmate import Grammar  # noqa: E402

SKIPPED = 77
THEME = "KORVA Test Colours"


def item_names(definition):
    return re.findall(r'<itemData name="([^"]+)"', definition)


def write_theme(folder, items):
    """A theme that shows item i in colour #0000xx, i + 1 = xx."""
    colours = {item: "#%06x" % (index + 1) for index, item in enumerate(items)}
    theme = {
        "metadata": {"name": THEME, "revision": 1},
        "text-styles": {"Normal": {"text-color": "#fefefe"}},
        "editor-colors": {"BackgroundColor": "#ffffff"},
        "custom-styles": {"KORVA": {item: {"text-color": colour}
                                    for item, colour in colours.items()}},
    }
    themes = os.path.join(folder, "org.kde.syntax-highlighting", "themes")
    os.makedirs(themes)
    with open(os.path.join(themes, "korva-test.theme"), "w", encoding="utf-8") as out:
        json.dump(theme, out)
    return {colour: item for item, colour in colours.items()}


SPAN = re.compile(r'<span style="([^"]*)">(.*?)</span>|([^<]+)', re.S)


def parse_html(text, items_by_colour):
    """Per line, per character, the item of the colour that shows it."""
    body = text[text.index("<pre>") + len("<pre>"):text.rindex("</pre>")]
    body = body.lstrip("\n")
    rows = []
    for line in body.split("\n"):
        row = []
        for span in SPAN.finditer(line):
            style, inner, plain = span.groups()
            chars = html.unescape(inner if inner is not None else plain)
            item = "Normal Text"
            if style is not None:
                colour = re.search(r"color:(#[0-9a-f]{6})", style)
                item = items_by_colour.get(colour.group(1), "?") if colour else "?"
            row.extend([item] * len(chars))
        rows.append(row)
    return rows


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 64
    highlighter = shutil.which("kate-syntax-highlighter")
    if highlighter is None:
        print("SKIPPED: kate-syntax-highlighter is not installed "
              "(Debian package libkf5syntaxhighlighting-tools)")
        return SKIPPED
    folder = sys.argv[1]
    with open(os.path.join(folder, "korva.xml"), encoding="utf-8") as definition_file:
        definition = definition_file.read()
    with open(os.path.join(folder, "korva.tmLanguage.json"), encoding="utf-8") as grammar_file:
        grammar = Grammar(json.load(grammar_file))

    failures = []
    with tempfile.TemporaryDirectory(prefix="korva-kate-") as data_home:
        syntax = os.path.join(data_home, "org.kde.syntax-highlighting", "syntax")
        os.makedirs(syntax)
        shutil.copy(os.path.join(folder, "korva.xml"), syntax)
        items_by_colour = write_theme(data_home, item_names(definition))
        environment = dict(os.environ, XDG_DATA_HOME=data_home, QT_QPA_PLATFORM="offscreen")

        listed = subprocess.run([highlighter, "--list"], env=environment, capture_output=True,
                                text=True, check=True).stdout.split("\n")
        if "KORVA" not in listed:
            print("FAILED: kate-syntax-highlighter did not load korva.xml")
            return 1

        def kate_styles(name, lines):
            source = os.path.join(data_home, "source.as")
            with open(source, "w", encoding="utf-8") as out:
                out.write("\n".join(lines) + "\n")
            run = subprocess.run([highlighter, "-s", "KORVA", "-t", THEME, "-f", "html", source],
                                 env=environment, capture_output=True, text=True)
            # The library's complaints about a definition start with its
            # logging category; other lines (Qt's own notes) are no fault of it.
            complaints = [l for l in run.stderr.splitlines() if "syntaxhighlighting" in l]
            if run.returncode != 0 or complaints:
                failures.append("%s: kate-syntax-highlighter: %s" % (
                    name, "; ".join(complaints[:3]) or run.stderr.strip()))
            rows = parse_html(run.stdout, items_by_colour)
            for index, line in enumerate(lines):
                if index >= len(rows) or len(rows[index]) != len(line):
                    failures.append("%s, line %d: the highlighted text is not the line" % (
                        name, index + 1))
                    rows[index:] = [["?"] * len(text) for text in lines[index:]]
                    break
            return rows

        sources = expect.all_sources(expect.repo_root())
        kate_rows = {}

        def styles_of(name, lines):
            kate_rows[name] = kate_styles(name, lines)
            return kate_rows[name]

        construct_failures, counts = expect.check(sources, styles_of)
        failures += construct_failures

    # Both definitions come from one model; they must agree on every character.
    characters = differing = 0
    for name, lines in sources:
        textmate = grammar.tokenize(lines)
        for index, line in enumerate(lines):
            for column in range(len(line)):
                known = [s for s in textmate[index][column] if s in expect.ITEM_OF_SCOPE]
                tm_item = expect.ITEM_OF_SCOPE[known[-1]] if known else "Normal Text"
                kate_item = kate_rows[name][index][column]
                characters += 1
                if tm_item != kate_item:
                    differing += 1
                    if differing <= 20:
                        failures.append("%s, line %d, column %d (%r in %r): Kate %s, TextMate %s" % (
                            name, index + 1, column + 1, line[column], line, kate_item, tm_item))
    if differing > 20:
        failures.append("... and %d more characters where Kate and TextMate differ" % (differing - 20))

    lines = sum(len(lines) for _, lines in sources)
    print("kate-syntax-highlighter: %d sources, %d lines, %d characters; "
          "%d characters shown differently by the TextMate grammar" % (
              len(sources), lines, characters, differing))
    for construct, count in counts.items():
        print("  %4d  %s" % (count, construct))
    for failure in failures[:40]:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
