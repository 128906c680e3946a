// Assembles every example of docs/notation.md and checks it against what the
// document promises, so that the reference cannot drift from the assembler.
//
// A fenced block tagged "korva" is a program; tagged "korva CHIP" it is
// assembled behind the definitions of that chip (chips/CHIP.inc), as
// korva-asm --chip CHIP does. Its remarks may carry
//   = CODE   the code column of the listing ("-" for empty)
//   @ ADDR   the address column ("-" for empty)
//   ! TEXT   the error column: the rest of the remark
// A remark with "=" or "@" but without "!" promises no error, and every error
// in the listing must be announced by its line's remark. Lines of a macro
// definition are checked where the macro is expanded, not where it is
// defined. When the assembly stops in its first pass, the block must announce
// exactly that one error on the line where it stops.
// A block tagged "listing" right after a program is its whole listing (tabs
// shown as "|"); a block tagged "image" is its .bin as hexadecimal bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "patterns/matcher.h"
#include "patterns/pattern_table.h"
#include "project/assembler.h"
#include "project/assembly_host.h"
#include "resources/system_texts.h"
#include "support/line_record.h"
#include "system/glossed_text.h"
#include "system/text_encoding.h"
#include "tests/remark_expectations.h"

namespace korva {
namespace {

const std::filesystem::path kRepoRoot(KORVA_REPO_ROOT);
const std::filesystem::path kNotation = kRepoRoot / "docs" / "notation.md";

struct Block {
  std::size_t line = 0;  // line of the opening fence in the document
  std::string chip;      // empty for a program without chip definitions
  std::vector<std::string> lines;
  std::optional<std::vector<std::string>> listing;
  std::optional<std::string> image;
};

void PrintTo(const Block& block, std::ostream* out) {
  *out << "the example at docs/notation.md:" << block.line;
}

using korva::testing::split;

std::string read_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The korva blocks of the document, each with the listing and image blocks
// that follow it.
std::vector<Block> document_blocks() {
  std::vector<Block> blocks;
  const std::vector<std::string> lines = split(read_bytes(kNotation), '\n');
  std::string previous_tag;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("```", 0) != 0) continue;
    const std::string tag = lines[i].substr(3);
    std::vector<std::string> body;
    std::size_t j = i + 1;
    for (; j < lines.size() && lines[j] != "```"; ++j) body.push_back(lines[j]);
    const bool program = tag == "korva" || tag.rfind("korva ", 0) == 0;
    if (program) {
      const std::string chip = tag == "korva" ? std::string() : tag.substr(6);
      blocks.push_back(Block{i + 1, chip, body, std::nullopt, std::nullopt});
    } else if ((tag == "listing" || tag == "image") && !blocks.empty() &&
               (previous_tag == "program" || previous_tag == "listing" ||
                previous_tag == "image")) {
      if (tag == "listing") {
        blocks.back().listing = body;
      } else {
        std::string joined;
        for (const std::string& part : body) joined += part + " ";
        blocks.back().image = joined;
      }
    }
    previous_tag = program ? "program" : tag;
    i = j;
  }
  return blocks;
}

using korva::testing::Expectation;
using korva::testing::parse_remark;

// Blanks collapsed, as the source reader hands a line to the assembler.
std::string collapse(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\t') c = ' ';
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

struct AnnotatedLine {
  std::size_t number = 0;  // in the block, from 1
  std::string remark;      // collapsed, UTF-8
  Expectation expected;
};

std::vector<AnnotatedLine> annotated_lines(const Block& block) {
  std::vector<AnnotatedLine> result;
  for (std::size_t i = 0; i < block.lines.size(); ++i) {
    const std::size_t semicolon = block.lines[i].find(';');
    if (semicolon == std::string::npos) continue;
    const std::string remark = collapse(block.lines[i].substr(semicolon));
    if (const std::optional<Expectation> expected = parse_remark(remark)) {
      result.push_back(AnnotatedLine{i + 1, remark, *expected});
    }
  }
  return result;
}

class QuietHost : public AssemblyHost {
 public:
  void show_message(std::string_view text, std::string_view) override { message = text; }
  void clear_error_list() override { errors = 0; }
  void add_error_entry(std::string_view) override { ++errors; }
  void show_listing(std::string_view) override {}

  std::string message;
  std::size_t errors = 0;
};

struct Assembled {
  AssemblyResult result;
  std::string listing;  // the .out file, CP932
  std::string image;    // the .bin file
  std::string object;   // the .obj file
};

// Writes the block as a CP932 source with CR LF line ends and assembles it.
Assembled assemble_block(const Block& block) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("korva-docs-" + std::to_string(::getpid()) + "-" + std::to_string(block.line));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string source;
  for (const std::string& line : block.lines) source += line + "\r\n";
  const std::string entry = (dir / "example.as").string();
  {
    std::ofstream out(entry, std::ios::binary | std::ios::trunc);
    out << utf8_to_cp932(source);
  }
  ProjectState project;
  project.entries = {entry};
  if (!block.chip.empty()) {
    const std::filesystem::path chip = kRepoRoot / "chips" / (block.chip + ".inc");
    project.entries.insert(project.entries.begin(), chip.string());
    project.leading_entries = 1;
  }
  QuietHost host;
  Assembler assembler;
  Assembled assembled;
  assembled.result = assembler.assemble_project(project, host);
  const std::string base = (dir / "example").string();
  assembled.listing = read_bytes(base + ".out");
  assembled.image = read_bytes(base + ".bin");
  assembled.object = read_bytes(base + ".obj");
  std::filesystem::remove_all(dir);
  return assembled;
}

std::string hex_bytes(std::string_view bytes) {
  std::string text;
  char pair[4];
  for (unsigned char byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02x ", byte);
    text += pair;
  }
  return text;
}

std::string normalise_hex_list(const std::string& text) {
  std::istringstream in(text);
  std::string word, out;
  while (in >> word) out += word + " ";
  return out;
}

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

class NotationExample : public ::testing::TestWithParam<Block> {};

TEST_P(NotationExample, AssemblesAsDocumented) {
  const Block& block = GetParam();
  const std::vector<AnnotatedLine> annotations = annotated_lines(block);
  ASSERT_FALSE(annotations.empty()) << "an example without expectations checks nothing";
  for (const AnnotatedLine& line : annotations) {
    ASSERT_LE(utf8_to_cp932(line.remark).size(), kRemarkCapacity)
        << "line " << line.number << ": the listing keeps only " << kRemarkCapacity
        << " characters of a remark";
  }

  const Assembled assembled = assemble_block(block);
  if (assembled.result.outcome == AssemblyOutcome::stopped) {
    // A first-pass error: the one announced error, on its own line.
    ASSERT_EQ(annotations.size(), 1u) << "a stopped assembly checks only its stop";
    const AnnotatedLine& stop = annotations.front();
    ASSERT_TRUE(stop.expected.error.has_value());
    const std::string message = cp932_to_utf8(assembled.result.message);
    const std::string ending = "->" + *stop.expected.error;
    EXPECT_TRUE(message.size() >= ending.size() &&
                message.compare(message.size() - ending.size(), ending.size(), ending) == 0)
        << message;
    ASSERT_FALSE(assembled.result.diagnostics.empty());
    EXPECT_EQ(assembled.result.diagnostics.front().where.line, stop.number);
    return;
  }
  ASSERT_EQ(assembled.result.outcome, AssemblyOutcome::completed) << assembled.result.message;

  std::set<std::string> seen;
  bool in_definition = false;
  std::size_t error_lines = 0;
  for (const std::string& raw : split(assembled.listing, '\n')) {
    if (raw.empty() || raw.back() != '\r') continue;  // blank and remark-only lines
    const std::vector<std::string> columns =
        split(cp932_to_utf8(raw.substr(0, raw.size() - 1)), '\t');
    ASSERT_EQ(columns.size(), 6u) << raw;
    const std::string& statement = columns[3];
    const std::string where = "listing line: " + columns[2] + " " + statement + " " + columns[4];
    if (!columns[5].empty()) ++error_lines;
    // A definition header; "macro NAME (n)" is how the listing shows a call.
    static const std::regex call_line(R"(macro \S+ \(\d+\))");
    if (starts_with_nocase(statement, "MACRO ") && !std::regex_match(statement, call_line)) {
      in_definition = true;
    }
    if (in_definition) {
      if (starts_with_nocase(statement, "END MACRO") && statement.size() == 9) {
        in_definition = false;
      }
      EXPECT_EQ(columns[1], "") << where;
      continue;
    }
    const std::optional<Expectation> expected = parse_remark(columns[4]);
    if (!expected) {
      EXPECT_EQ(columns[5], "") << "error not announced in the remark; " << where;
      continue;
    }
    seen.insert(columns[4]);
    if (expected->code) {
      EXPECT_EQ(columns[1], *expected->code) << where;
    }
    if (expected->address) {
      EXPECT_EQ(columns[0], *expected->address) << where;
    }
    EXPECT_EQ(columns[5], expected->error.value_or("")) << where;
  }
  EXPECT_EQ(assembled.result.error_count, error_lines);
  for (const AnnotatedLine& line : annotations) {
    EXPECT_EQ(seen.count(line.remark), 1u)
        << "line " << line.number << " (" << line.remark << ") is not in the listing";
  }

  if (block.listing) {
    std::vector<std::string> shown;
    for (std::string line : split(cp932_to_utf8(assembled.listing), '\n')) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      for (char& c : line) {
        if (c == '\t') c = '|';
      }
      shown.push_back(line);
    }
    if (!shown.empty() && shown.back().empty()) shown.pop_back();
    EXPECT_EQ(shown, *block.listing);
  }
  if (block.image) {
    EXPECT_EQ(hex_bytes(assembled.image), normalise_hex_list(*block.image));
  }
}

INSTANTIATE_TEST_SUITE_P(Notation, NotationExample, ::testing::ValuesIn(document_blocks()),
                         [](const auto& test) {
                           return "line_" + std::to_string(test.param.line);
                         });

// One name per pattern entry: its key, its number of operand places, and for
// the two entries that share a key without operands, their first piece.
std::string entry_signature(std::string_view key, std::size_t places, std::string_view piece) {
  std::string signature = std::string(key) + "/" + std::to_string(places);
  if (places == 0) signature += "/" + std::string(piece);
  return signature;
}

TEST(NotationDocument, ExamplesUseEveryStatementForm) {
  std::set<std::string> wanted;
  // Both tables' forms: the enhanced ones in the examples for an enhanced chip.
  for (const PatternEntry& entry : kPatternStore) {
    const std::size_t places = entry.leading + entry.middle + entry.trailing;
    wanted.insert(entry_signature(entry.key.view(), places, entry.first_piece));
  }
  ASSERT_EQ(wanted.size(), kStoredPatternCount);

  std::set<std::string> used;
  bool calls = false;
  const std::vector<Block> blocks = document_blocks();
  ASSERT_GE(blocks.size(), 15u);
  for (const Block& block : blocks) {
    const Assembled assembled = assemble_block(block);
    for (std::size_t at = 0; at + kRecordSize <= assembled.object.size(); at += kRecordSize) {
      RecordBytes bytes;
      std::copy_n(assembled.object.begin() + static_cast<std::ptrdiff_t>(at), kRecordSize,
                  bytes.begin());
      LineRecord stored;
      decode_record(bytes, stored);
      calls = calls || stored.kind == "call sub";
      // Lines that the macro expander takes keep the key of an earlier line.
      if (!stored.pattern || stored.kind == "macro") continue;
      // The example's chip chose the table: the one that gives the stored entry.
      LineRecord matched;
      matched.statement = stored.statement;
      match_statement(matched, CoreFamily::classic);
      if (pattern_of(matched) != pattern_of(stored)) match_statement(matched, CoreFamily::enhanced);
      const PatternEntry* entry = pattern_of(matched);
      if (entry == nullptr || entry->key.view() != pattern_of(stored)->key.view()) continue;
      const std::size_t places =
          !matched.operand1.empty() + !matched.operand2.empty() + !matched.operand3.empty();
      std::string piece = matched.statement;
      for (char& c : piece) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      used.insert(entry_signature(entry->key.view(), places, piece));
    }
  }
  for (const std::string& signature : wanted) {
    EXPECT_EQ(used.count(signature), 1u) << "no example uses the form " << signature;
  }
  EXPECT_TRUE(calls) << "no example calls a subroutine";
}

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The rows of the message tables: every Japanese text in them is one that
// korva-asm glosses on the terminal, its meaning starts with that gloss, and
// every gloss korva-asm knows has its row.
TEST(NotationDocument, JapaneseMessagesMeanWhatTheTerminalGlossSays) {
  const std::vector<std::string> lines = split(read_bytes(kNotation), '\n');
  const auto messages = std::find(lines.begin(), lines.end(), "## Messages");
  ASSERT_NE(messages, lines.end());
  std::set<std::string> documented;
  for (auto line = messages; line != lines.end(); ++line) {
    if (line->rfind("| ", 0) != 0) continue;
    const std::vector<std::string> cells = split(*line, '|');
    ASSERT_GE(cells.size(), 4u) << *line;
    const std::string text = trimmed(cells[1]);
    const bool japanese = std::any_of(text.begin(), text.end(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (!japanese) continue;
    const std::string cp932 = utf8_to_cp932(text);
    const std::string_view gloss = texts::gloss_of(cp932);
    EXPECT_FALSE(gloss.empty()) << text << " has no gloss on the terminal";
    EXPECT_EQ(trimmed(cells[2]).rfind(gloss, 0), 0u)
        << text << ": the meaning should start with \"" << gloss << "\"";
    documented.insert(cp932);
  }
  for (const texts::Gloss& gloss : texts::kGlosses) {
    EXPECT_EQ(documented.count(std::string(gloss.text)), 1u)
        << "no row for the message glossed \"" << gloss.english << "\"";
  }
}

}  // namespace
}  // namespace korva
