#!/usr/bin/env python3
"""Checks the TextMate grammar of the notation: it parses as JSON, names
every construct with its scope, every expression compiles, and run over every
example of docs/notation.md and the examples/ projects it gives each
construct its scope. Also checks the VS Code extension manifest beside it.

usage: textmate_grammar_test.py FOLDER   (the folder of korva.tmLanguage.json)
"""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import notation_expectations as expect  # noqa: E402
from textmate import Grammar, scope_names  # noqa: E402


def item_styles(grammar):
    """Per line, per character, the Kate item of the innermost known scope."""
    def styles_of(_name, lines):
        styled = []
        for line_scopes in grammar.tokenize(lines):
            row = []
            for scopes in line_scopes:
                known = [s for s in scopes if s in expect.ITEM_OF_SCOPE]
                row.append(expect.ITEM_OF_SCOPE[known[-1]] if known else "Normal Text")
            styled.append(row)
        return styled
    return styles_of


def check_manifest(folder, grammar_data, failures):
    with open(os.path.join(folder, "package.json"), encoding="utf-8") as manifest_file:
        manifest = json.load(manifest_file)
    contributes = manifest.get("contributes", {})
    languages = [l for l in contributes.get("languages", []) if l.get("id") == "korva"]
    grammars = [g for g in contributes.get("grammars", []) if g.get("language") == "korva"]
    if not languages or not grammars:
        failures.append("package.json contributes no korva language or grammar")
        return
    if sorted(languages[0].get("extensions", [])) != [".as", ".inc"]:
        failures.append("package.json: the language should claim .as and .inc")
    if grammars[0].get("scopeName") != grammar_data.get("scopeName"):
        failures.append("package.json names scope %r, the grammar %r" % (
            grammars[0].get("scopeName"), grammar_data.get("scopeName")))
    if not os.path.isfile(os.path.join(folder, grammars[0].get("path", ""))):
        failures.append("package.json points at a grammar that is not there: %r" %
                        grammars[0].get("path"))
    configuration = os.path.join(folder, languages[0].get("configuration", ""))
    with open(configuration, encoding="utf-8") as configuration_file:
        if json.load(configuration_file).get("comments", {}).get("lineComment") != ";":
            failures.append("language-configuration.json: the line comment should be ';'")


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 64
    folder = sys.argv[1]
    failures = []
    with open(os.path.join(folder, "korva.tmLanguage.json"), encoding="utf-8") as grammar_file:
        try:
            data = json.load(grammar_file)
        except json.JSONDecodeError as error:
            print("FAILED: korva.tmLanguage.json is not JSON: %s" % error)
            return 1
    if data.get("scopeName") != "source.korva":
        failures.append("scopeName is %r, expected source.korva" % data.get("scopeName"))

    named = scope_names(data)
    for item, scope in expect.STYLES.items():
        if scope and scope not in named:
            failures.append("the grammar never names %s (%s)" % (scope, item))
    unknown = sorted(s for s in named if s not in expect.ITEM_OF_SCOPE)
    if unknown:
        failures.append("scopes the tests do not know: " + ", ".join(unknown))

    grammar = Grammar(data)
    rules = grammar.rules(data["patterns"])
    for entry in data.get("repository", {}).values():
        rules += grammar.rules(entry.get("patterns", []))
    for rule in rules:
        for key in ("match", "begin", "end"):
            if key in rule:
                grammar.regex(rule[key])
    forms = [r for r in data["patterns"] if r.get("comment", "")[:1].isdigit()]

    sources = expect.all_sources(expect.repo_root())
    construct_failures, counts = expect.check(sources, item_styles(grammar))
    failures += construct_failures
    check_manifest(folder, data, failures)

    lines = sum(len(lines) for _, lines in sources)
    print("TextMate grammar: %d rules (%d forms), %d scopes; %d sources, %d lines" % (
        len(data["patterns"]), len(forms), len(named), len(sources), lines))
    for construct, count in counts.items():
        print("  %4d  %s" % (count, construct))
    for failure in failures[:40]:
        print("FAILED: " + failure)
    if len(failures) > 40:
        print("... and %d more" % (len(failures) - 40))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
