"""The sources that the syntax tests highlight (every example of
docs/notation.md and the examples/ projects), the styles each editor
definition should name, and where each construct of the notation is expected
in those sources.

A construct is found by a regular expression over a source line; every
character of its groups must show the construct's style. Matches that start
in the line's remark are not taken (except for the remark itself), nor,
where a construct says so, matches inside parentheses.
"""

import os
import re

# Kate itemData name: TextMate scope.
STYLES = {
    "Normal Text": None,
    "Remark": "comment.line.semicolon.korva",
    "Global Label": "entity.name.label.global.korva",
    "Local Label": "entity.name.label.local.korva",
    "Directive": "keyword.control.directive.korva",
    "Defined Name": "entity.name.function.korva",
    "Instruction": "keyword.other.instruction.korva",
    "Operation": "keyword.operator.korva",
    "Skip": "keyword.control.skip.korva",
    "Jump": "keyword.control.jump.korva",
    "Call": "entity.name.function.call.korva",
    "File Register": "variable.other.register.korva",
    "Working Register": "variable.language.w.korva",
    "Destination": "variable.language.destination.korva",
    "Bit": "keyword.other.bit.korva",
    "Decimal": "constant.numeric.decimal.korva",
    "Hexadecimal": "constant.numeric.hex.korva",
    "Symbol": "variable.other.symbol.korva",
    "Raw Words": "string.unquoted.raw-words.korva",
    "Error": "invalid.illegal.korva",
    "Not Assembled": "comment.block.not-assembled.korva",
}
ITEM_OF_SCOPE = {scope: item for item, scope in STYLES.items() if scope}

# Statement prefix: blanks and an optional label.
_LEAD = r"^[ \t]*(?:[^;:\s][^;:]*::?[ \t]*)?"


class Construct:
    def __init__(self, name, item, pattern, outside_parens=False, in_remark=False):
        self.name = name
        self.item = item
        self.regex = re.compile(pattern)
        self.outside_parens = outside_parens
        self.in_remark = in_remark


CONSTRUCTS = [
    Construct("global label", "Global Label", r"^[ \t]*([A-Za-z_]\w*::)"),
    Construct("local label", "Local Label", r"^[ \t]*([A-Za-z_]\w*:)(?!:)"),
    Construct("constant name before EQU", "Global Label", r"^([A-Za-z_]\w*)[ \t]+EQU\b"),
    Construct("remark", "Remark", r"(;.*)$", in_remark=True),
    Construct("EQU", "Directive", r"\b(EQU)\b"),
    Construct("= constant", "Directive", r"::[ \t]*(=)"),
    Construct("DE", "Directive", _LEAD + r"(DE) "),
    Construct("ORG", "Directive", r"\b(ORG)\b"),
    Construct("RAM=", "Directive", r"(RAM=)"),
    Construct("reservation [n]", "Directive", r"(\[)\w+(\])"),
    Construct("SUB", "Directive", r"^[ \t]*(SUB) "),
    Construct("subroutine name", "Defined Name", r"^[ \t]*SUB (\w+)"),
    Construct("END SUB", "Directive", r"^[ \t]*(END SUB)[ \t]*(?:;|$)"),
    Construct("MACRO", "Directive", r"^[ \t]*(MACRO) "),
    Construct("macro name", "Defined Name", r"^[ \t]*MACRO (\w+)"),
    Construct("END MACRO", "Directive", r"^[ \t]*(END MACRO)[ \t]*(?:;|$)"),
    Construct("end", "Directive", _LEAD + r"(end)[ \t]*(?:;|$)"),
    Construct("decimal number", "Decimal",
              r"(?:W\+(?!1>)|W\^|WV|ORG |DE |EQU |RET |\[|_BIT|^[ \t]+(?!00>))(\d+)(?![\w'])",
              outside_parens=True),
    Construct("hexadecimal $1F", "Hexadecimal", r"(\$[0-9A-Fa-f]+)(?![\w'])", outside_parens=True),
    Construct("hexadecimal 1Fh", "Hexadecimal", r"(?<![\w$'])([0-9][0-9A-Fa-f]*[hH])(?![\w'])",
              outside_parens=True),
    Construct("hexadecimal H'1F'", "Hexadecimal", r"([Hh]'[0-9A-Fa-f]+')", outside_parens=True),
    # Not after +1> or -1>: that place is a destination, and a register
    # there is an error.
    Construct("file register (X)", "File Register", r"(?<![+-]1>)(\((?!Z\))[^()]*\))"),
    Construct("W", "Working Register", r"(?:^|[\s:])(W)(?=[+^V\\>])|>(W)(?=[ \t]*(?:;|$|\(Z))"),
    Construct("destination F, M", "Destination", r">([FM])(?=[ \t]*(?:;|$|\(Z))"),
    Construct("_BIT", "Bit", r"(_BIT)"),
    Construct("skip (Z)->, =0->, =1->", "Skip", r"(\(Z\)->|=[01]->)"),
    Construct("jump ===->", "Jump", r"(===->)"),
    Construct("jump target", "Symbol", r"===->([A-Za-z_]\w*)"),
    Construct("raw words", "Raw Words", r"^[ \t]*(\\[0-9A-Fa-f]+)"),
    Construct("instruction word", "Instruction",
              _LEAD + r"(NOP|RETI|RET|SLEEP|CLRWDT|nop)[ \t]*(?:;|$)|(RET) |(SWAP)"),
    Construct("operation signs", "Operation",
              r"\)(\+1>|-1>|\+1|-1)|(<<->|<<|>>->|>>)|^[ \t]*(/)\(|(00>)|(-)W>"),
    Construct("symbol operand", "Symbol", r"W[+^]([A-Z]\w*)(?=[>*/+-])"),
    Construct("statement that fits no form", "Error", r"^[ \t]*([A-Z]+[ \t]+=[ \t]*\d+)"),
]
# Built per source: a statement that is the name of a SUB or MACRO of it.
CALL = "call of a subroutine or macro"
# Built per source: the lines after "end".
NOT_ASSEMBLED = "lines after end"
ALL_CONSTRUCTS = [c.name for c in CONSTRUCTS] + [CALL, NOT_ASSEMBLED]


def repo_root():
    return os.path.normpath(os.path.join(os.path.dirname(__file__), "..", ".."))


def notation_examples(root):
    """(name, lines) of every fenced block tagged korva in docs/notation.md."""
    path = os.path.join(root, "docs", "notation.md")
    with open(path, encoding="utf-8") as document:
        lines = document.read().split("\n")
    examples = []
    i = 0
    while i < len(lines):
        if lines[i] == "```korva":
            j = i + 1
            while j < len(lines) and lines[j] != "```":
                j += 1
            examples.append(("docs/notation.md:%d" % (i + 1), lines[i + 1:j]))
            i = j
        i += 1
    return examples


def project_sources(root):
    """(name, lines) of every source file of the example projects (CP932)."""
    sources = []
    examples = os.path.join(root, "examples")
    for project in sorted(os.listdir(examples)):
        folder = os.path.join(examples, project)
        for name in sorted(os.listdir(folder)):
            if name.endswith((".as", ".inc")):
                with open(os.path.join(folder, name), "rb") as source:
                    text = source.read().decode("cp932")
                lines = text.replace("\r\n", "\n").split("\n")
                if lines and lines[-1] == "":
                    lines.pop()
                sources.append(("examples/%s/%s" % (project, name), lines))
    return sources


def all_sources(root):
    return notation_examples(root) + project_sources(root)


def _inside_parens(line, position):
    depth = 0
    for c in line[:position]:
        if c == "(":
            depth += 1
        elif c == ")":
            depth = max(0, depth - 1)
    return depth > 0


def occurrences(lines):
    """(construct name, line index, start, end, expected item) of every
    construct found in a source."""
    found = []
    end_line = next((i for i, line in enumerate(lines)
                     if re.match(_LEAD + r"end[ \t]*(?:;|$)", line)), None)
    assembled = lines if end_line is None else lines[:end_line + 1]
    defined = set()
    for line in assembled:
        header = re.match(r"^[ \t]*(?:SUB|MACRO)[ \t]+(\S+)", line)
        if header:
            defined.add(header.group(1))
    for index, line in enumerate(assembled):
        remark = line.find(";")
        for construct in CONSTRUCTS:
            for match in construct.regex.finditer(line):
                for group in range(1, (match.re.groups or 0) + 1):
                    start, end = match.span(group)
                    if start < 0:
                        continue
                    if remark >= 0 and start >= remark and not construct.in_remark:
                        continue
                    if construct.outside_parens and _inside_parens(line, start):
                        continue
                    found.append((construct.name, index, start, end, construct.item))
        call = re.match(_LEAD + r"(\S+)[ \t]*(?:;|$)", line)
        if call and call.group(1) in defined and not re.match(r"^[ \t]*(?:SUB|MACRO) ", line):
            found.append((CALL, index, call.start(1), call.end(1), "Call"))
    if end_line is not None:
        for index in range(end_line + 1, len(lines)):
            text = lines[index]
            start = len(text) - len(text.lstrip())
            if text.strip():
                found.append((NOT_ASSEMBLED, index, start, len(text.rstrip()), "Not Assembled"))
    return found


def check(sources, styles_of):
    """Checks every construct of every source against `styles_of(name,
    lines)`, which gives per line, per character, a Kate item name. Returns
    (failures, counts by construct)."""
    failures = []
    counts = {name: 0 for name in ALL_CONSTRUCTS}
    for name, lines in sources:
        styles = styles_of(name, lines)
        for construct, index, start, end, item in occurrences(lines):
            counts[construct] += 1
            got = styles[index][start:end]
            if any(style != item for style in got):
                failures.append("%s, line %d: %s %r is shown as %s, expected %s" % (
                    name, index + 1, construct, lines[index][start:end],
                    "/".join(sorted(set(got))), item))
    for construct, count in counts.items():
        if count == 0:
            failures.append("no example shows the construct: " + construct)
    return failures, counts
