"""A small TextMate grammar interpreter: enough of the format to run the
KORVA grammar the way TextMate engines do, so that tests can see which scope
each character of a source gets.

Supported: "match" rules with "name" and "captures" (a capture may name a
scope and carry "patterns", which then run over the captured text alone),
"begin"/"end" rules with "beginCaptures" and "contentName", and "include" of
"#name" repository entries and "$self". At each position the rule whose match
starts first wins, the first listed on a tie; an open rule's end comes first
on a tie. As in VS Code, each line is matched with its line feed. The grammar's expressions are read by Python's re module, which
reads the syntax they keep to (no inline flags, no look-behind) as Oniguruma
does.
"""

import re


class Grammar:
    def __init__(self, data):
        self.data = data
        self.repository = data.get("repository", {})
        self._compiled = {}

    def regex(self, source):
        if source not in self._compiled:
            self._compiled[source] = re.compile(source)
        return self._compiled[source]

    def rules(self, patterns):
        """The rules of a pattern list, includes resolved."""
        resolved = []
        for rule in patterns:
            include = rule.get("include")
            if include is None:
                resolved.append(rule)
            elif include == "$self":
                resolved.extend(self.rules(self.data["patterns"]))
            elif include.startswith("#"):
                resolved.extend(self.rules(self.repository[include[1:]].get("patterns", [])))
            else:
                raise ValueError("unsupported include " + include)
        return resolved

    def tokenize(self, lines):
        """Per line, per character: the list of scopes, outermost first."""
        stack = []  # open begin/end rules
        result = []
        for line in lines:
            # TextMate engines hand each line over with its line feed.
            text = line + "\n"
            scopes = [[frame["contentName"] for frame in stack if "contentName" in frame]
                      for _ in text]
            self._tokenize_line(text, stack, scopes)
            result.append(scopes[:len(line)])
        return result

    def _tokenize_line(self, line, stack, scopes):
        position = 0
        while position <= len(line):
            frame = stack[-1] if stack else None
            patterns = frame.get("patterns", []) if frame else self.data["patterns"]
            best = None
            if frame is not None:
                end = self.regex(frame["end"]).search(line, position)
                if end:
                    best = (end, None)
            for rule in self.rules(patterns):
                source = rule.get("match", rule.get("begin"))
                found = self.regex(source).search(line, position)
                if found and (best is None or found.start() < best[0].start()):
                    best = (found, rule)
            if best is None:
                return
            found, rule = best
            if rule is None:  # the open rule ends
                stack.pop()
                position = max(found.end(), position + 1)
                continue
            if "match" in rule:
                self._apply(line, found, rule.get("name"), rule.get("captures", {}), scopes)
                position = found.end() if found.end() > found.start() else found.end() + 1
            else:
                self._apply(line, found, rule.get("name"), rule.get("beginCaptures", {}), scopes)
                stack.append(rule)
                for index in range(found.end(), len(line)):
                    if "contentName" in rule:
                        scopes[index].append(rule["contentName"])
                position = found.end()

    def _apply(self, line, found, name, captures, scopes):
        if name:
            for index in range(found.start(), found.end()):
                scopes[index].append(name)
        for group, capture in sorted(captures.items(), key=lambda item: int(item[0])):
            group = int(group)
            if group > (found.re.groups or 0) or found.start(group) < 0:
                continue
            start, end = found.span(group)
            if "name" in capture:
                for index in range(start, end):
                    scopes[index].append(capture["name"])
            if "patterns" in capture:
                self._run_patterns(line[:end], start, capture["patterns"], scopes)

    def _run_patterns(self, text, position, patterns, scopes):
        rules = self.rules(patterns)
        while position < len(text):
            best = None
            for rule in rules:
                found = self.regex(rule["match"]).search(text, position)
                if found and (best is None or found.start() < best[0].start()):
                    best = (found, rule)
            if best is None:
                return
            found, rule = best
            self._apply(text, found, rule.get("name"), rule.get("captures", {}), scopes)
            position = found.end() if found.end() > found.start() else found.end() + 1


def scope_names(data):
    """Every scope name that the grammar gives anywhere."""
    names = set()

    def walk(node):
        if isinstance(node, dict):
            for key, value in node.items():
                if key in ("name", "contentName") and isinstance(value, str):
                    names.add(value)
                else:
                    walk(value)
        elif isinstance(node, list):
            for value in node:
                walk(value)

    walk(data.get("patterns", []))
    walk(data.get("repository", {}))
    return names
