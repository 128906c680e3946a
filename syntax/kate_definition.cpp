#include "syntax/kate_definition.h"

#include <map>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

namespace korva::syntax {
namespace {

constexpr std::string_view kTail = "Tail";
constexpr std::string_view kRemark = "Remark";
constexpr std::string_view kNotAssembled = "Not Assembled";

std::string attribute_text(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// A text inside an XML comment, which may not hold "--": the enhanced
// forms' --FSR0 and BRA's --> are written with a blank between the signs.
std::string comment_text(std::string_view text) {
  std::string written;
  for (const char c : attribute_text(text)) {
    if (c == '-' && !written.empty() && written.back() == '-') written += ' ';
    written += c;
  }
  if (!written.empty() && written.back() == '-') written += ' ';
  return written;
}

std::string item(Style style) {
  return std::string(names_of(style).kate_item);
}

std::string operand_letter(Operand operand) {
  switch (operand) {
    case Operand::subject:
      return "{x}";
    case Operand::destination:
      return "{d}";
    case Operand::value:
      return "{n}";
    case Operand::name:
      return "{name}";
    case Operand::raw_digits:
      return "{hex}";
    case Operand::text:
      return "{text}";
  }
  return "{}";
}

// The text of an operand taken whole, up to its next piece or the end.
std::string whole_operand_regex(const Unit& unit) {
  const std::string grouped = unit_regex(unit);
  return grouped.substr(1, grouped.size() - 2);
}

class Writer {
 public:
  std::string write(const Notation& notation) {
    std::string statement;
    statement += context_open("Statement", "#pop");
    statement += "        <DetectSpaces/>\n";
    statement += remark_rule("#pop!");
    statement += "        <RegExpr String=\"" + attribute_text(end_line_regex()) +
                 "\" attribute=\"" + item(Style::directive) + "\" context=\"#pop!" +
                 std::string(kNotAssembled) + "\"/>\n";
    for (const Form* form : {&notation.macro_header, &notation.macro_end}) {
      statement += dispatch(*form);
    }
    for (const Form& form : notation.forms) statement += dispatch(form);
    statement += "        <RegExpr String=\"" + attribute_text(call_regex()) + "\" attribute=\"" +
                 item(Style::call) + "\" context=\"#pop!" + std::string(kTail) + "\"/>\n";
    statement += "        <RegExpr String=\"" + attribute_text(error_regex()) + "\" attribute=\"" +
                 item(Style::error) + "\" context=\"#pop!" + std::string(kTail) + "\"/>\n";
    statement += "      </context>\n";

    std::string text = header();
    text += line_context();
    text += statement;
    for (const std::string& context : stages_) text += context;
    text += context_open(kTail, "#pop");
    text += "        <DetectSpaces/>\n";
    text += remark_rule("#pop!");
    text += "      </context>\n";
    text += "      <context name=\"" + std::string(kRemark) + "\" attribute=\"" +
            item(Style::remark) + "\" lineEndContext=\"#pop\"/>\n";
    text += "      <context name=\"" + std::string(kNotAssembled) + "\" attribute=\"" +
            item(Style::not_assembled) + "\" lineEndContext=\"#stay\"/>\n";
    text += "    </contexts>\n";
    text += item_datas();
    text += "  </highlighting>\n";
    text += "  <general>\n";
    text += "    <comments>\n      <comment name=\"singleLine\" start=\";\"/>\n    </comments>\n";
    text += "    <keywords casesensitive=\"1\"/>\n";
    text += "  </general>\n";
    text += "</language>\n";
    return text;
  }

 private:
  static std::string header() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE language>\n"
           "<!-- The KORVA notation for KSyntaxHighlighting (Kate, KWrite, KDevelop, Qt Creator).\n"
           "     Written by korva-syntax from the assembler's pattern table: do not edit,\n"
           "     run the build target korva_update_syntax instead. -->\n"
           "<language name=\"KORVA\" section=\"Assembler\" version=\"1\" kateversion=\"5.0\"\n"
           "          extensions=\"*.as;*.inc\" author=\"KORVA developers\" casesensitive=\"1\">\n"
           "  <highlighting>\n"
           "    <contexts>\n";
  }

  static std::string context_open(std::string_view name, std::string_view line_end) {
    return "      <context name=\"" + attribute_text(name) + "\" attribute=\"" +
           item(Style::normal) + "\" lineEndContext=\"" + std::string(line_end) + "\">\n";
  }

  static std::string remark_rule(std::string_view switch_prefix) {
    return "        <DetectChar char=\";\" attribute=\"" + item(Style::remark) + "\" context=\"" +
           std::string(switch_prefix) + std::string(kRemark) + "\"/>\n";
  }

  static std::string line_context() {
    std::string text =
        "      <context name=\"Line\" attribute=\"" + item(Style::normal) +
        "\" lineEndContext=\"#stay\" fallthrough=\"true\" fallthroughContext=\"Statement\">\n";
    text += "        <DetectSpaces/>\n";
    text += remark_rule("");
    const std::pair<std::string, Style> labels[] = {
        {std::string(global_label_regex()), Style::global_label},
        {std::string(local_label_regex()), Style::local_label},
        {std::string(no_colon_regex()) + equ_name_regex(), Style::global_label},
    };
    for (const auto& [regex, style] : labels) {
      text += "        <RegExpr String=\"" + attribute_text(regex) + "\" attribute=\"" +
              item(style) + "\" context=\"Statement\" firstNonSpace=\"true\"/>\n";
    }
    text += "      </context>\n";
    return text;
  }

  static std::string item_datas() {
    std::string text = "    <itemDatas>\n";
    for (const StyleNames& names : all_styles()) {
      text += "      <itemData name=\"" + std::string(names.kate_item) + "\" defStyleNum=\"" +
              std::string(names.kate_default) + "\"";
      if (names.bold) text += " bold=\"true\"";
      if (names.style != Style::remark) text += " spellChecking=\"false\"";
      text += "/>\n";
    }
    text += "    </itemDatas>\n";
    return text;
  }

  // The rule of the Statement context that recognises a whole statement of
  // the form and hands it to the form's first context.
  std::string dispatch(const Form& form) {
    return "        <!-- " + comment_text(form.label) + " -->\n" + "        <RegExpr String=\"" +
           attribute_text(form_regex(form)) + "\" lookAhead=\"true\" context=\"#pop!" +
           attribute_text(stage(form, 0)) + "\"/>\n";
  }

  // Identifies what is left of a form from unit `first` on: two forms whose
  // rests are alike share the contexts.
  static std::string rest_key(const Form& form, std::size_t first) {
    std::string key;
    for (std::size_t i = first; i < form.units.size(); ++i) {
      const Unit& unit = form.units[i];
      key += unit.operand ? 'o' : 't';
      key += std::to_string(unit.operand ? static_cast<int>(*unit.operand)
                                         : static_cast<int>(unit.token.style));
      key += ':';
      key += unit.operand ? unit.next_piece : unit.token.text;
      key += '\x1f';
    }
    return key;
  }

  static std::string rest_name(const Form& form, std::size_t first) {
    std::string name = "Form ";
    for (std::size_t i = first; i < form.units.size(); ++i) {
      const Unit& unit = form.units[i];
      name += unit.operand ? operand_letter(*unit.operand) : unit.token.text;
    }
    return name;
  }

  // The name of the context for the units of `form` from `first` on, written
  // (with the contexts after it) when first asked for.
  std::string stage(const Form& form, std::size_t first) {
    if (first == form.units.size()) return std::string(kTail);
    const std::string key = rest_key(form, first);
    if (const auto known = names_.find(key); known != names_.end()) return known->second;
    std::string name = rest_name(form, first);
    for (int n = 2; used_.contains(name); ++n)
      name = rest_name(form, first) + " #" + std::to_string(n);
    used_.insert(name);
    names_.emplace(key, name);
    const std::size_t slot = stages_.size();
    stages_.emplace_back();
    const std::string next = "#pop!" + attribute_text(stage(form, first + 1));
    const Unit& unit = form.units[first];
    std::string text = context_open(name, "#pop");
    if (!unit.operand) {
      text += "        <RegExpr String=\"" + attribute_text(literal_regex(unit.token.text)) +
              "\" attribute=\"" + item(unit.token.style) + "\" context=\"" + next + "\"/>\n";
    } else {
      const std::string end_piece =
          unit.next_piece.empty() ? std::string() : literal_regex(unit.next_piece);
      if (end_piece.empty()) {
        text += remark_rule("#pop!");
      } else {
        text += "        <RegExpr String=\"" + attribute_text(end_piece) +
                "\" lookAhead=\"true\" context=\"" + next + "\"/>\n";
      }
      text += "        <DetectSpaces/>\n";
      if (const std::optional<Style> whole = whole_operand_style(*unit.operand)) {
        if (*whole != Style::normal) {
          text += "        <RegExpr String=\"" + attribute_text(whole_operand_regex(unit)) +
                  "\" attribute=\"" + item(*whole) + "\"/>\n";
        }
      }
      for (const TermRule& rule : term_rules(*unit.operand, end_piece)) {
        text += "        <RegExpr String=\"" + attribute_text(rule.regex) + "\" attribute=\"" +
                item(rule.style) + "\"/>\n";
      }
    }
    text += "      </context>\n";
    stages_[slot] = std::move(text);
    return name;
  }

  std::map<std::string, std::string> names_;
  std::set<std::string> used_;
  std::vector<std::string> stages_;
};

}  // namespace

std::string kate_definition(const Notation& notation) {
  return Writer().write(notation);
}

}  // namespace korva::syntax
