// The editor definitions must take a line apart as the assembler does. Here
// the model's regular expressions (the very texts written into korva.xml and
// korva.tmLanguage.json) are run with std::regex against the statement
// splitter and the pattern matcher: on every line of the examples and test
// cases, and on statements built from every table entry with operands that
// provoke the first-occurrence rules.
#include "syntax/syntax_model.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "driver/line_record.h"
#include "patterns/matcher.h"
#include "patterns/pattern_table.h"
#include "source/source_reader.h"
#include "source/statement_splitter.h"
#include "syntax/kate_definition.h"
#include "syntax/textmate_grammar.h"
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

const Notation& notation() {
  static const Notation table = *notation_from(pattern_entries()).notation;
  return table;
}

// What the editor definitions make of a statement: the first form whose
// expression fits, with the text of each of its operand places.
struct Pick {
  std::optional<std::size_t> form;
  std::vector<std::string> operands;
};

Pick pick_by_regex(const std::string& statement) {
  static const std::vector<std::regex> regexes = [] {
    std::vector<std::regex> compiled;
    for (const Form& form : notation().forms) compiled.emplace_back(form_regex(form));
    return compiled;
  }();
  for (std::size_t i = 0; i < regexes.size(); ++i) {
    std::smatch match;
    if (!std::regex_search(statement, match, regexes[i], std::regex_constants::match_continuous)) {
      continue;
    }
    Pick pick{i, {}};
    const std::vector<Unit>& units = notation().forms[i].units;
    for (std::size_t unit = 0; unit < units.size(); ++unit) {
      if (units[unit].operand) pick.operands.push_back(match[static_cast<int>(unit) + 1].str());
    }
    return pick;
  }
  return Pick{};
}

// Compares the pick with the matcher's record of the same statement.
void expect_same_as_matcher(const std::string& statement) {
  LineRecord record;
  record.statement = statement;
  match_statement(record);
  const Pick pick = pick_by_regex(statement);
  if (record.error == "syntax error") {
    EXPECT_FALSE(pick.form) << "\"" << statement << "\" fits no entry, the editors take form "
                            << notation().forms[*pick.form].label;
    return;
  }
  ASSERT_TRUE(pick.form) << "\"" << statement << "\" fits " << record.pattern_key
                         << ", the editors take no form";
  EXPECT_EQ(pattern_entries()[*pick.form].key, record.pattern_key)
      << "\"" << statement << "\": the editors take " << notation().forms[*pick.form].label;
  const std::array<std::string, 3> operands{record.operand1, record.operand2, record.operand3};
  for (std::size_t i = 0; i < operands.size(); ++i) {
    const std::string from_regex = i < pick.operands.size() ? pick.operands[i] : std::string();
    EXPECT_EQ(from_regex, operands[i]) << "operand " << i + 1 << " of \"" << statement << "\"";
  }
}

TEST(SyntaxModel, FormsPickTheMatchersEntryAndOperandsOnEveryExampleLine) {
  std::size_t statements = 0;
  for (std::string line : corpus_lines()) {
    tabs_to_blanks(line);
    collapse_blanks(line);
    LineRecord record;
    split_statement(line, record);
    if (record.statement.empty()) continue;
    ++statements;
    expect_same_as_matcher(record.statement);
  }
  EXPECT_GT(statements, 300u);
}

// Operands that contain pieces of other forms, destinations, blanks and
// nothing at all, so that first occurrences and empty places are tested.
TEST(SyntaxModel, FormsPickTheMatchersEntryOnStatementsBuiltFromEveryEntry) {
  const std::vector<std::string> fillers{
      "", "W", "f", "(COUNT)", "5", "1Fh", "X Y", "+1", "-1>", ">W", "(Z)->", "_BIT3", "<<", "RET",
  };
  std::set<std::size_t> picked;
  for (const PatternEntry& entry : pattern_entries()) {
    for (const std::string& first : fillers) {
      for (const std::string& second : fillers) {
        std::string statement;
        if (entry.leading) statement += first;
        statement += entry.first_piece;
        if (entry.middle) statement += entry.leading ? second : first;
        statement += entry.second_piece;
        if (entry.trailing) statement += second;
        collapse_blanks(statement);
        if (statement.empty()) continue;
        expect_same_as_matcher(statement);
        if (const Pick pick = pick_by_regex(statement); pick.form) picked.insert(*pick.form);
      }
    }
  }
  EXPECT_EQ(picked.size(), kPatternCount) << "every form is picked for some statement";
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
TEST(SyntaxModel, RefusesEntriesItCannotShow) {
  struct Case {
    std::string_view table;
    std::string_view error_part;
  };
  const Case cases[] = {
      {"X0000    FOO@,", "unknown type letter 'X'"},
      {"N0000MOD @%@,", "the piece \"%\" holds a sign without a style"},
      {"I0000    @,", "no literal piece"},
      {"B2800JP  @===->@,", "more operand places than type 'B' has operands"},
  };
  for (const Case& c : cases) {
    std::string_view working = c.table;
    PatternEntry entry;
    ASSERT_TRUE(next_pattern(working, entry));
    const NotationResult result = notation_from(std::span<const PatternEntry>(&entry, 1));
    EXPECT_FALSE(result.notation) << c.table;
    EXPECT_NE(result.error.find(c.error_part), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("entry 0 "), std::string::npos) << result.error;
  }
}

// Without kate-syntax-highlighter at hand: every context that a rule
// switches to exists, and every attribute is a declared style.
TEST(SyntaxModel, KateDefinitionRefersOnlyToItsOwnContextsAndStyles) {
  const std::string xml = kate_definition(notation());
  const auto all = [&xml](const std::regex& regex) {
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), regex);
         it != std::sregex_iterator(); ++it) {
      found.insert((*it)[1].str());
    }
    return found;
  };
  const std::set<std::string> contexts = all(std::regex("<context name=\"([^\"]+)\""));
  const std::set<std::string> items = all(std::regex("<itemData name=\"([^\"]+)\""));
  for (const std::string& target :
       all(std::regex(" (?:c|fallthroughC|lineEndC)ontext=\"([^\"]+)\""))) {
    std::string name = target;
    if (name.starts_with("#pop"))
      name = name.substr(name.find('!') == std::string::npos ? name.size() : name.find('!') + 1);
    if (name.empty() || name == "#stay") continue;
    EXPECT_TRUE(contexts.contains(name)) << "a rule switches to the missing context " << name;
  }
  for (const std::string& attribute : all(std::regex(" attribute=\"([^\"]+)\""))) {
    EXPECT_TRUE(items.contains(attribute)) << "undeclared style " << attribute;
  }
  EXPECT_EQ(items.size(), all_styles().size());
}

}  // namespace
}  // namespace korva::syntax
