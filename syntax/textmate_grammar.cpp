#include "syntax/textmate_grammar.h"

#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

namespace korva::syntax {
namespace {

std::string json(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string scope(Style style) {
  return std::string(names_of(style).scope);
}

std::string_view repository_name(Operand operand) {
  switch (operand) {
    case Operand::subject:
      return "subject";
    case Operand::destination:
      return "destination";
    default:
      return "value";
  }
}

// A capture: its group number and the JSON object that shows it.
using Capture = std::pair<int, std::string>;

std::string named(Style style) {
  return "{ \"name\": " + json(scope(style)) + " }";
}

// The label at a line's start: group 1 global, 2 local, 3 the name before EQU.
std::string label_part() {
  const std::string no_colon(no_colon_regex());
  const std::string equ_name = equ_name_regex();
  return "^[ \\t]*(?:(" + std::string(global_label_regex()) + ")|(" +
         std::string(local_label_regex()) + ")|" + no_colon + "(" + equ_name + ")[ \\t]+|" +
         no_colon + "(?![ \\t]*" + equ_name + "))[ \\t]*";
}

std::vector<Capture> label_captures() {
  return {{1, named(Style::global_label)},
          {2, named(Style::local_label)},
          {3, named(Style::global_label)}};
}

std::string captures_object(const std::vector<Capture>& captures, std::string_view indent) {
  std::string text = "{\n";
  for (std::size_t i = 0; i < captures.size(); ++i) {
    text += std::string(indent) + "  " + json(std::to_string(captures[i].first)) + ": " +
            captures[i].second + (i + 1 < captures.size() ? ",\n" : "\n");
  }
  return text + std::string(indent) + "}";
}

std::string unit_capture(const Unit& unit) {
  if (!unit.operand)
    return unit.token.style == Style::normal ? std::string() : named(unit.token.style);
  if (const std::optional<Style> whole = whole_operand_style(*unit.operand)) {
    return *whole == Style::normal ? std::string() : named(*whole);
  }
  return "{ \"patterns\": [{ \"include\": \"#" + std::string(repository_name(*unit.operand)) +
         "\" }] }";
}

struct LineRule {
  std::string comment;
  std::string regex;  // from the line's start
  std::vector<Capture> captures;
};

LineRule form_rule(const Form& form) {
  LineRule rule{form.label, label_part() + form_regex(form), label_captures()};
  for (std::size_t i = 0; i < form.units.size(); ++i) {
    std::string capture = unit_capture(form.units[i]);
    if (!capture.empty()) rule.captures.emplace_back(static_cast<int>(i) + 4, std::move(capture));
  }
  return rule;
}

LineRule single_rule(std::string comment, std::string_view statement_regex, Style style) {
  LineRule rule{std::move(comment), label_part() + std::string(statement_regex), label_captures()};
  rule.captures.emplace_back(4, named(style));
  return rule;
}

std::string write_rule(const LineRule& rule) {
  return "    {\n      \"comment\": " + json(rule.comment) +
         ",\n      \"match\": " + json(rule.regex) +
         ",\n      \"captures\": " + captures_object(rule.captures, "      ") + "\n    }";
}

std::string write_repository_entry(Operand operand) {
  std::string text = "    " + json(repository_name(operand)) + ": {\n      \"patterns\": [\n";
  const std::vector<TermRule> rules = term_rules(operand, {});
  for (std::size_t i = 0; i < rules.size(); ++i) {
    text += "        { \"match\": " + json(rules[i].regex) +
            ", \"name\": " + json(scope(rules[i].style)) + " }" +
            (i + 1 < rules.size() ? ",\n" : "\n");
  }
  return text + "      ]\n    }";
}

}  // namespace

std::string textmate_grammar(const Notation& notation) {
  std::vector<std::string> patterns;
  patterns.push_back(
      "    {\n      \"comment\": \"remark\",\n      \"match\": \";.*$\",\n      \"name\": " +
      json(scope(Style::remark)) + "\n    }");
  patterns.push_back(
      "    {\n      \"comment\": \"a label alone\",\n      \"match\": " +
      json("^[ \\t]*(?:(" + std::string(global_label_regex()) + ")|(" +
           std::string(local_label_regex()) + "))" + std::string(statement_end_regex())) +
      ",\n      \"captures\": " +
      captures_object({{1, named(Style::global_label)}, {2, named(Style::local_label)}}, "      ") +
      "\n    }");
  std::vector<Capture> end_captures = label_captures();
  end_captures.emplace_back(4, named(Style::directive));
  patterns.push_back(
      "    {\n      \"comment\": \"end: nothing after this line is assembled\",\n"
      "      \"begin\": " +
      json(label_part() + std::string(end_line_regex())) +
      ",\n      \"beginCaptures\": " + captures_object(end_captures, "      ") +
      ",\n      \"end\": \"(?!x)x\",\n      \"contentName\": " + json(scope(Style::not_assembled)) +
      "\n    }");
  patterns.push_back(write_rule(form_rule(notation.macro_header)));
  patterns.push_back(write_rule(form_rule(notation.macro_end)));
  for (const Form& form : notation.forms) patterns.push_back(write_rule(form_rule(form)));
  patterns.push_back(write_rule(
      single_rule("a bare name: a subroutine or macro call", call_regex(), Style::call)));
  patterns.push_back(
      write_rule(single_rule("a statement that fits no form", error_regex(), Style::error)));

  std::string text = "{\n";
  text +=
      "  \"comment\": \"The KORVA notation as a TextMate grammar. Written by korva-syntax from "
      "the assembler's pattern table: do not edit, run the build target korva_update_syntax "
      "instead.\",\n";
  text += "  \"name\": \"KORVA\",\n";
  text += "  \"scopeName\": \"source.korva\",\n";
  text += "  \"fileTypes\": [\"as\", \"inc\"],\n";
  text += "  \"patterns\": [\n";
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    text += patterns[i] + (i + 1 < patterns.size() ? ",\n" : "\n");
  }
  text += "  ],\n  \"repository\": {\n";
  text += write_repository_entry(Operand::subject) + ",\n";
  text += write_repository_entry(Operand::destination) + ",\n";
  text += write_repository_entry(Operand::value) + "\n";
  text += "  }\n}\n";
  return text;
}

}  // namespace korva::syntax
