// The editor definitions must take a line apart as the assembler does. Here
// the model's regular expressions (the very texts written into korva.xml and
// korva.tmLanguage.json) are run with std::regex against the statement
// splitter and the pattern matcher: on every line of the examples and test
// cases, and on statements built from every table entry with operands that
// provoke the first-occurrence rules.
#include "syntax/syntax_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "patterns/matcher.h"
#include "patterns/pattern_table.h"
#include "source/source_reader.h"
#include "source/statement_splitter.h"
#include "support/line_record.h"
#include "syntax/kate_definition.h"
#include "syntax/statement_styles.h"
#include "tests/remark_expectations.h"

namespace korva::syntax {
namespace {

namespace fs = std::filesystem;

const fs::path kRoot(KORVA_REPO_ROOT);

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines = korva::testing::split(text, '\n');
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return lines;
}

// Every line of the notation's examples, the example projects and the test
// case files.
std::vector<std::string> corpus_lines() {
  std::vector<std::string> corpus;
  bool in_example = false;
  for (const std::string& line : lines_of(read_bytes(kRoot / "docs" / "notation.md"))) {
    if (line == "```korva" || line == "```") {
      in_example = line != "```";
    } else if (in_example) {
      corpus.push_back(line);
    }
  }
  for (const fs::path& folder : {kRoot / "examples", kRoot / "tests" / "cases"}) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      if (entry.path().extension() != ".as") continue;
      for (const std::string& line : lines_of(read_bytes(entry.path()))) corpus.push_back(line);
    }
  }
  return corpus;
}

const Notation& notation(CoreFamily family = CoreFamily::classic) {
  static const Notation classic = *notation_from(table_entries(CoreFamily::classic)).notation;
  static const Notation enhanced = *notation_from(table_entries(CoreFamily::enhanced)).notation;
  return family == CoreFamily::enhanced ? enhanced : classic;
}

// What the editor definitions make of a statement: the first form whose
// expression fits, with the text of each of its operand places.
struct Pick {
  std::optional<std::size_t> form;
  std::vector<std::string> operands;
};

std::vector<std::regex> compiled_forms(CoreFamily family) {
  std::vector<std::regex> compiled;
  for (const Form& form : notation(family).forms) compiled.emplace_back(form_regex(form));
  return compiled;
}

Pick pick_by_regex(const std::string& statement, CoreFamily family = CoreFamily::classic) {
  static const std::vector<std::regex> classic = compiled_forms(CoreFamily::classic);
  static const std::vector<std::regex> enhanced = compiled_forms(CoreFamily::enhanced);
  const std::vector<std::regex>& regexes = family == CoreFamily::enhanced ? enhanced : classic;
  for (std::size_t i = 0; i < regexes.size(); ++i) {
    std::smatch match;
    if (!std::regex_search(statement, match, regexes[i], std::regex_constants::match_continuous)) {
      continue;
    }
    Pick pick{i, {}};
    const std::vector<Unit>& units = notation(family).forms[i].units;
    for (std::size_t unit = 0; unit < units.size(); ++unit) {
      if (units[unit].operand) pick.operands.push_back(match[static_cast<int>(unit) + 1].str());
    }
    return pick;
  }
  return Pick{};
}

// Compares the pick with the matcher's record of the same statement.
void expect_same_as_matcher(const std::string& statement, CoreFamily family = CoreFamily::classic) {
  LineRecord record;
  record.statement = statement;
  match_statement(record, family);
  const Pick pick = pick_by_regex(statement, family);
  if (record.error == "syntax error") {
    EXPECT_FALSE(pick.form) << "\"" << statement << "\" fits no entry, the editors take form "
                            << notation(family).forms[*pick.form].label;
    return;
  }
  ASSERT_TRUE(pick.form) << "\"" << statement << "\" fits " << pattern_of(record)->text
                         << ", the editors take no form";
  EXPECT_EQ(table_entries(family)[*pick.form].key.view(), pattern_of(record)->key.view())
      << "\"" << statement << "\": the editors take " << notation(family).forms[*pick.form].label;
  const std::array<std::string, 3> operands{record.operand1, record.operand2, record.operand3};
  for (std::size_t i = 0; i < operands.size(); ++i) {
    const std::string from_regex = i < pick.operands.size() ? pick.operands[i] : std::string();
    EXPECT_EQ(from_regex, operands[i]) << "operand " << i + 1 << " of \"" << statement << "\"";
  }
}

// Statements built from every table entry, with operands that contain pieces
// of other forms, destinations, blanks and nothing at all, so that first
// occurrences and empty places are tested.
std::vector<std::string> built_statements(CoreFamily family = CoreFamily::classic) {
  const std::vector<std::string> fillers{
      "", "W", "f", "(COUNT)", "5", "1Fh", "X Y", "+1", "-1>", ">W", "(Z)->", "_BIT3", "<<", "RET",
  };
  std::vector<std::string> statements;
  for (const PatternEntry& entry : table_entries(family)) {
    for (const std::string& first : fillers) {
      for (const std::string& second : fillers) {
        std::string statement;
        if (entry.leading) statement += first;
        statement += entry.first_piece;
        if (entry.middle) statement += entry.leading ? second : first;
        statement += entry.second_piece;
        if (entry.trailing) statement += second;
        collapse_blanks(statement);
        if (!statement.empty()) statements.push_back(statement);
      }
    }
  }
  return statements;
}

// The statements of every example and test case line, as the splitter
// leaves them.
std::vector<std::string> example_statements() {
  std::vector<std::string> statements;
  for (std::string line : corpus_lines()) {
    tabs_to_blanks(line);
    collapse_blanks(line);
    LineRecord record;
    split_statement(line, record);
    if (!record.statement.empty()) statements.push_back(record.statement);
  }
  return statements;
}

TEST(SyntaxModel, BothTablesMakeANotation) {
  for (const CoreFamily family : {CoreFamily::classic, CoreFamily::enhanced}) {
    EXPECT_EQ(notation_from(table_entries(family)).error, "");
    EXPECT_TRUE(table_notation(family).has_value());
  }
}

// The enhanced table's notation, which the language server colours an
// enhanced chip's sources by, picks what its matcher picks.
TEST(SyntaxModel, TheEnhancedFormsPickTheEnhancedMatchersEntry) {
  std::set<std::size_t> picked;
  std::vector<std::string> statements = built_statements(CoreFamily::enhanced);
  const std::vector<std::string> examples = example_statements();
  statements.insert(statements.end(), examples.begin(), examples.end());
  for (const std::string& statement : statements) {
    expect_same_as_matcher(statement, CoreFamily::enhanced);
    if (const Pick pick = pick_by_regex(statement, CoreFamily::enhanced); pick.form) {
      picked.insert(*pick.form);
    }
  }
  EXPECT_EQ(picked.size(), kEnhancedPatternCount) << "every form is picked for some statement";
}

TEST(SyntaxModel, FormsPickTheMatchersEntryAndOperandsOnEveryExampleLine) {
  const std::vector<std::string> statements = example_statements();
  for (const std::string& statement : statements) expect_same_as_matcher(statement);
  EXPECT_GT(statements.size(), 300u);
}

TEST(SyntaxModel, FormsPickTheMatchersEntryOnStatementsBuiltFromEveryEntry) {
  std::set<std::size_t> picked;
  for (const std::string& statement : built_statements()) {
    expect_same_as_matcher(statement);
    if (const Pick pick = pick_by_regex(statement); pick.form) picked.insert(*pick.form);
  }
  EXPECT_EQ(picked.size(), kClassicPatternCount) << "every form is picked for some statement";
}

// The editors, like the matcher, take the pieces of every form in small
// letters and in mixed case.
TEST(SyntaxModel, FormsPickTheMatchersEntryInAnyLetterCase) {
  for (const PatternEntry& entry : table_entries()) {
    std::string statement;
    if (entry.leading) statement += "(X)";
    statement += entry.first_piece;
    if (entry.middle) statement += "(Yk)";
    statement += entry.second_piece;
    if (entry.trailing) statement += "(J)";
    for (const bool small_first : {true, false}) {
      std::string mixed = statement;
      bool small = small_first;
      for (char& c : mixed) {
        if (c < 'A' || c > 'Z') continue;
        if (small) c = static_cast<char>(c - 'A' + 'a');
        small = !small;
      }
      expect_same_as_matcher(mixed);
    }
    std::string small = statement;
    for (char& c : small) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    expect_same_as_matcher(small);
  }
}

// The styles that the window gives a statement, found without regular
// expressions, against the definitions' expressions run the way the
// editors run them: the first form that fits, its tokens, and the term rules
// over each operand's text.
struct CompiledRule {
  std::regex regex;
  Style style;
};

// The term rules of an operand, compiled once.
const std::vector<CompiledRule>& compiled_term_rules(Operand operand) {
  static std::map<Operand, std::vector<CompiledRule>> compiled;
  auto [it, added] = compiled.try_emplace(operand);
  if (added) {
    for (const TermRule& rule : term_rules(operand, {})) {
      it->second.push_back(CompiledRule{std::regex(rule.regex), rule.style});
    }
  }
  return it->second;
}

// The special statements and the forms, in the order the editors try them,
// compiled once; each with its form (none for the end line).
const std::vector<std::pair<std::regex, const Form*>>& compiled_statements() {
  static const std::vector<std::pair<std::regex, const Form*>> compiled = [] {
    std::vector<std::pair<std::regex, const Form*>> all;
    all.emplace_back(std::regex(std::string(end_line_regex())), nullptr);
    all.emplace_back(std::regex(form_regex(notation().macro_header)), &notation().macro_header);
    all.emplace_back(std::regex(form_regex(notation().macro_end)), &notation().macro_end);
    for (const Form& form : notation().forms) all.emplace_back(std::regex(form_regex(form)), &form);
    return all;
  }();
  return compiled;
}

std::vector<Style> styles_by_regex(const std::string& statement) {
  std::vector<Style> styles(statement.size(), Style::normal);
  const auto paint = [&styles](std::size_t start, std::size_t length, Style style) {
    for (std::size_t i = start; i < start + length; ++i) styles[i] = style;
  };
  const auto paint_terms = [&](Operand operand, std::size_t start, const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
      std::size_t next = at + 1;
      for (const CompiledRule& rule : compiled_term_rules(operand)) {
        std::smatch match;
        const std::string rest = text.substr(at);
        if (std::regex_search(rest, match, rule.regex, std::regex_constants::match_continuous)) {
          paint(start + at, static_cast<std::size_t>(match.length()), rule.style);
          next = at + std::max<std::size_t>(1, static_cast<std::size_t>(match.length()));
          break;
        }
      }
      at = next;
    }
  };
  std::smatch match;
  constexpr auto kAtStart = std::regex_constants::match_continuous;
  for (const auto& [regex, form] : compiled_statements()) {
    if (!std::regex_search(statement, match, regex, kAtStart)) continue;
    if (form == nullptr) {
      paint(0, statement.size(), Style::directive);
      return styles;
    }
    for (std::size_t u = 0; u < form->units.size(); ++u) {
      const Unit& unit = form->units[u];
      const auto start = static_cast<std::size_t>(match.position(static_cast<int>(u) + 1));
      const std::string text = match[static_cast<int>(u) + 1].str();
      if (!unit.operand) {
        paint(start, text.size(), unit.token.style);
      } else if (const std::optional<Style> whole = whole_operand_style(*unit.operand)) {
        paint(start, text.size(), *whole);
      } else {
        paint_terms(*unit.operand, start, text);
      }
    }
    return styles;
  }
  static const std::regex call_name(call_regex());
  const bool call = std::regex_search(statement, match, call_name, kAtStart);
  paint(0, statement.size(), call ? Style::call : Style::error);
  return styles;
}

TEST(SyntaxModel, StatementStylesAreTheDefinitionsStyles) {
  std::vector<std::string> statements = example_statements();
  const std::vector<std::string> built = built_statements();
  statements.insert(statements.end(), built.begin(), built.end());
  statements.insert(statements.end(),
                    {"end", "MACRO BANK1", "macro BANK1 (0)", "END MACRO", "end macro (0)", "DELAY",
                     "RET 5", "W+$>W", "BEACH>W", "W+H'1F'>W", "===->12h", "(X)>Q"});
  for (const std::string& statement : statements) {
    std::vector<Style> styles(statement.size(), Style::normal);
    std::size_t end = 0;
    for (const StyledSpan& span : statement_styles(notation(), table_entries(), statement)) {
      EXPECT_GE(span.start, end) << "spans overlap in \"" << statement << "\"";
      end = span.start + span.length;
      ASSERT_LE(end, statement.size()) << statement;
      for (std::size_t i = span.start; i < end; ++i) styles[i] = span.style;
    }
    const std::vector<Style> expected = styles_by_regex(statement);
    for (std::size_t i = 0; i < statement.size(); ++i) {
      if (statement[i] == ' ') continue;  // a blank may go with a whole operand or not
      EXPECT_EQ(names_of(expected[i]).kate_item, names_of(styles[i]).kate_item)
          << "\"" << statement << "\", character " << i + 1;
    }
  }
}

// The label regexes against the splitter: the label (the name before EQU
// taking "::"), and the statement after it.
TEST(SyntaxModel, LabelsEndWhereTheSplitterEndsThem) {
  const std::regex global{std::string(global_label_regex())};
  const std::regex local{std::string(local_label_regex())};
  const std::regex equ_name(std::string(no_colon_regex()) + equ_name_regex());
  std::vector<std::string> lines = corpus_lines();
  lines.insert(lines.end(), {"A B: NOP", "X EQU 5", "XEQU EQU 5", "EQU 5", "A::B", "NAME EQUX 1",
                             "A : NOP ; B: C", "::", "COUNT EQU 20h ; x: y", "LOOP:: =2"});
  std::size_t labels = 0;
  for (std::string line : lines) {
    tabs_to_blanks(line);
    collapse_blanks(line);
    const std::string original = line;
    LineRecord record;
    split_statement(line, record);

    std::smatch match;
    std::string label;
    std::size_t rest = 0;
    constexpr auto kAtStart = std::regex_constants::match_continuous;
    if (std::regex_search(original, match, global, kAtStart) ||
        std::regex_search(original, match, local, kAtStart)) {
      label = match.str();
      rest = label.size();
    } else if (std::regex_search(original, match, equ_name, kAtStart)) {
      label = match.str() + "::";
      rest = match.length();
    }
    EXPECT_EQ(label.substr(0, kLabelFieldSize - 1), record.label) << "\"" << original << "\"";
    std::string statement = original.substr(rest, original.find(';', rest) - rest);
    collapse_blanks(statement);
    if (statement.size() < kStatementFieldSize) {
      EXPECT_EQ(statement, record.statement) << "\"" << original << "\"";
    }
    labels += label.empty() ? 0 : 1;
  }
  EXPECT_GT(labels, 50u);
}

// A table entry that the model cannot show is refused with its name, so that
// a new entry cannot slip into the editors without a style.
// XML forbids "--" inside a comment, and the enhanced forms' signs hold it
// (--FSR0>W, -->TARGET): each form's comment in korva.xml must still be one.
TEST(KateDefinition, FormCommentsStayCommentsWithTheEnhancedSigns) {
  const std::string xml = kate_definition(*table_notation(CoreFamily::enhanced));
  std::size_t comments = 0;
  for (std::size_t at = xml.find("<!--"); at != std::string::npos; at = xml.find("<!--", at)) {
    const std::size_t end = xml.find("-->", at + 4);
    ASSERT_NE(end, std::string::npos);
    const std::string text = xml.substr(at + 4, end - at - 4);
    EXPECT_EQ(text.find("--"), std::string::npos) << text;
    EXPECT_NE(text.back(), '-') << text;
    ++comments;
    at = end + 3;
  }
  EXPECT_GT(comments, table_notation(CoreFamily::enhanced)->forms.size());
}

TEST(SyntaxModel, RefusesEntriesItCannotShow) {
  struct Case {
    PatternEntry entry;
    std::string_view error_part;
  };
  const Case cases[] = {
      {pattern_forms::directive(PatternType::none, {}, "FOO@"), "no type"},
      {pattern_forms::register_operation(0x0000, {}, "MOD ", "@%@"),
       "the piece \"%\" holds a sign without a style"},
      {pattern_forms::instruction(PatternType::inherent, 0x0000, {}, "@"), "no literal piece"},
      {pattern_forms::instruction(PatternType::branch, 0x2800, {}, "@===->@"),
       "more operand places than its type has operands"},
  };
  for (const Case& c : cases) {
    const NotationResult result = notation_from(std::span<const PatternEntry>(&c.entry, 1));
    EXPECT_FALSE(result.notation) << c.entry.text;
    EXPECT_NE(result.error.find(c.error_part), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("entry 0 "), std::string::npos) << result.error;
  }
}

}  // namespace
}  // namespace korva::syntax
