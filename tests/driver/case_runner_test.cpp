// Assembles every tests/cases/TOPIC/*.as file and checks each line whose
// remark in the source carries expectations:
//   = CODE   the code column ("-" for empty)
//   @ ADDR   the address column ("-" for empty)
//   ! TEXT   the error column, the rest of the remark (UTF-8; the listing's
//            CP932 is decoded for the comparison)
//   ? TEXT   a warning on that line whose text contains TEXT; one "?" for
//            each warning the line has
//   ^ N      the line's first diagnostic (its error, else its first
//            warning) stands at column N of the source line; "^ N,L"
//            spans L columns from there
//   ~ TEXT   that diagnostic's explanation, whole
//   % TEXT   its hint, whole
//   & TEXT   one of its notes, whose text contains TEXT; one "&" for each
//   # NOTE   ends the expectations of the marks that take a text
// Every error and every warning must be expected: a line with an error needs
// "!", a line with warnings as many "?". What the lines of a macro expansion
// report is expected on the call (the errors joined by "; "). The
// expectations are read from the source line, whole, not from the listing's
// remark, which keeps only 48 characters. Each line of the source is paired
// with its listing line (the call's for an expansion), and the pair must
// hold the same statement.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "project/assembler.h"
#include "remark_expectations.h"
#include "source/line_layout.h"
#include "system/text_encoding.h"
#include "test_support.h"

namespace korva {
namespace {

using korva::testing::Expectation;
using korva::testing::parse_remark;
using korva::testing::split;

std::vector<std::filesystem::path> case_files() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(
           std::filesystem::path(KORVA_TEST_DATA) / "cases")) {
    if (entry.path().extension() == ".as") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The remark of an annotated line is often longer than the record keeps; the
// warning about that cut is the annotation's, not the program's, unless the
// line expects it.
bool annotation_cut(const std::string& warning, const std::optional<Expectation>& line) {
  return line && warning.starts_with("remark cut") &&
         std::none_of(line->warnings.begin(), line->warnings.end(),
                      [](const std::string& text) { return text.starts_with("remark cut"); });
}

// Every warning of a line must be expected by one of its "?" annotations, and
// every annotation must find a warning of its own.
void check_warnings(const std::vector<std::string>& found, const std::vector<std::string>& wanted,
                    const std::string& where) {
  std::vector<bool> taken(found.size(), false);
  for (const std::string& text : wanted) {
    std::size_t i = 0;
    while (i < found.size() && (taken[i] || found[i].find(text) == std::string::npos)) ++i;
    if (i == found.size()) {
      ADD_FAILURE() << where << ": no warning containing \"" << text << "\"";
    } else {
      taken[i] = true;
    }
  }
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!taken[i]) ADD_FAILURE() << where << ": a warning no annotation expects: " << found[i];
  }
}

// For each listing line, the line whose annotations expect its diagnostics:
// the line itself, or for the lines of a macro expansion ("macro NAME (n)" to
// "end macro (n)") the call that the source holds, the outermost one.
std::vector<std::size_t> expectation_owners(const std::vector<std::vector<std::string>>& listing) {
  static const std::regex kExpansionStart("macro \\S+ \\([0-9]+\\)");
  static const std::regex kExpansionEnd("end macro \\([0-9]+\\)");
  std::vector<std::size_t> owners;
  std::size_t depth = 0;
  for (std::size_t index = 0; index < listing.size(); ++index) {
    const std::string& statement = listing[index][3];
    const bool starts = std::regex_match(statement, kExpansionStart);
    owners.push_back(depth == 0 ? index : owners.back());
    if (starts) ++depth;
    if (depth > 0 && std::regex_match(statement, kExpansionEnd)) --depth;
  }
  return owners;
}

// The line's first diagnostic against the expectations of "^", "~", "%" and
// "&".
void check_first_diagnostic(const Diagnostic* first, const Expectation& expected,
                            const std::string& where) {
  const bool expects =
      expected.column || expected.explanation || expected.hint || !expected.notes.empty();
  if (!expects) return;
  if (first == nullptr) {
    ADD_FAILURE() << where << ": no diagnostic to check";
    return;
  }
  if (expected.column) {
    EXPECT_EQ(first->span ? first->span->column : 0, *expected.column) << where;
  }
  if (expected.length) {
    EXPECT_EQ(first->span ? first->span->length : 0, *expected.length) << where;
  }
  if (expected.explanation) {
    EXPECT_EQ(cp932_to_utf8(first->explanation), *expected.explanation) << where;
  }
  if (expected.hint) {
    EXPECT_EQ(cp932_to_utf8(first->hint), *expected.hint) << where;
  }
  std::vector<std::string> notes;
  for (const DiagnosticNote& note : first->notes) notes.push_back(cp932_to_utf8(note.text));
  for (const std::string& text : expected.notes) {
    EXPECT_TRUE(
        std::any_of(notes.begin(), notes.end(),
                    [&](const std::string& note) { return note.find(text) != std::string::npos; }))
        << where << ": no note containing \"" << text << "\"";
  }
}

class CaseFile : public ::testing::TestWithParam<std::filesystem::path> {};

// The source's lines without their line ends (no empty line after the last
// end), each with the expectations of its remark.
struct SourceLine {
  std::string text;
  std::optional<Expectation> expected;
};

std::vector<SourceLine> source_lines(const std::string& source) {
  std::vector<std::string> texts = split(source, '\n');
  if (!texts.empty() && texts.back().empty()) texts.pop_back();
  std::vector<SourceLine> lines;
  for (std::string& text : texts) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const LineLayout layout = layout_line(text);
    std::optional<Expectation> expected;
    if (layout.has_remark())
      expected = parse_remark(std::string_view(text).substr(layout.remark_begin));
    lines.push_back(SourceLine{std::move(text), std::move(expected)});
  }
  return lines;
}

TEST_P(CaseFile, ListingMatchesTheAnnotations) {
  testing::ScratchDir dir;
  const std::string source = testing::read_bytes(GetParam());
  const std::vector<SourceLine> lines = source_lines(source);
  const auto annotated_in_source = static_cast<std::size_t>(
      std::count_if(lines.begin(), lines.end(),
                    [](const SourceLine& line) { return line.expected.has_value(); }));
  ASSERT_GT(annotated_in_source, 0u);

  const std::string entry = dir / GetParam().filename().string();
  testing::write_bytes(entry, source);
  ProjectState project;
  project.entries = {entry};
  testing::RecordingHost host;
  Assembler assembler;
  const AssemblyResult result = assembler.assemble_project(project, host);
  ASSERT_EQ(result.outcome, AssemblyOutcome::completed);

  // The listing's lines cut into their columns; remark-only lines show the
  // remark alone.
  std::vector<std::vector<std::string>> listing;
  std::vector<std::string> listing_lines = split(host.listing, '\n');
  if (!listing_lines.empty() && listing_lines.back().empty()) listing_lines.pop_back();
  for (const std::string& line : listing_lines) {
    const bool remark_only = line.empty() || line.back() != '\r';
    listing.push_back(remark_only ? std::vector<std::string>{"", "", "", "", line, ""}
                                  : split(line.substr(0, line.size() - 1), '\t'));
    ASSERT_EQ(listing.back().size(), 6u) << line;
  }
  const std::vector<std::size_t> owners = expectation_owners(listing);

  // The diagnostics by the line that expects them.
  std::map<std::size_t, std::vector<const Diagnostic*>> warnings;
  std::map<std::size_t, std::size_t> errors;
  std::map<std::size_t, const Diagnostic*> first_errors;
  for (const Diagnostic& d : result.diagnostics) {
    if (!d.listing_index || *d.listing_index >= owners.size()) {
      ADD_FAILURE() << "a diagnostic of no listing line, which no annotation expects: "
                    << cp932_to_utf8(d.text);
    } else if (d.severity == Severity::warning) {
      warnings[owners[*d.listing_index]].push_back(&d);
    } else {
      ++errors[owners[*d.listing_index]];
      first_errors.emplace(owners[*d.listing_index], &d);
    }
  }
  // The error texts of each line and of the lines its expansion made.
  std::map<std::size_t, std::string> error_texts;
  std::map<std::size_t, std::size_t> error_lines_owned;
  std::size_t error_lines = 0;
  for (std::size_t index = 0; index < listing.size(); ++index) {
    const std::string& text = listing[index][5];
    if (text.empty()) continue;
    ++error_lines;
    ++error_lines_owned[owners[index]];
    std::string& texts = error_texts[owners[index]];
    texts += (texts.empty() ? "" : "; ") + cp932_to_utf8(text);
  }

  std::size_t checked = 0;
  std::size_t source_line = 0;
  for (std::size_t index = 0; index < listing.size(); ++index) {
    if (owners[index] != index) continue;  // expected on the macro call
    const std::vector<std::string>& columns = listing[index];
    ASSERT_LT(source_line, lines.size()) << "a listing line beyond the source: " << columns[3];
    const SourceLine& line = lines[source_line++];
    const std::string where = GetParam().filename().string() + ":" + std::to_string(source_line) +
                              ": " + cp932_to_utf8(line.text);
    // The pair holds the same statement (a macro call shows as the
    // expansion's first line).
    const std::string statement = collapse_statement(line.text, layout_line(line.text)).text;
    if (!columns[3].starts_with("macro ")) {
      EXPECT_EQ(columns[3], statement) << where;
    }
    const std::optional<Expectation>& expected = line.expected;
    std::vector<std::string> found_warnings;
    const Diagnostic* first_warning = nullptr;
    for (const Diagnostic* warning : warnings[index]) {
      std::string text = cp932_to_utf8(warning->text);
      if (annotation_cut(text, expected)) continue;
      if (first_warning == nullptr) first_warning = warning;
      found_warnings.push_back(std::move(text));
    }
    check_warnings(found_warnings, expected ? expected->warnings : std::vector<std::string>{},
                   where);
    const std::string error = expected ? expected->error.value_or("") : "";
    EXPECT_EQ(error_texts[index], error) << where;
    EXPECT_EQ(errors[index], error_lines_owned[index]) << where;
    if (!expected) continue;
    ++checked;
    if (expected->code) {
      EXPECT_EQ(columns[1], *expected->code) << where;
    }
    if (expected->address) {
      EXPECT_EQ(columns[0], *expected->address) << where;
    }
    const auto found_error = first_errors.find(index);
    const Diagnostic* first =
        found_error != first_errors.end() ? found_error->second : first_warning;
    check_first_diagnostic(first, *expected, where);
  }
  EXPECT_EQ(source_line, lines.size()) << "source lines without a listing line";
  EXPECT_EQ(checked, annotated_in_source);
  EXPECT_EQ(host.errors.size(), error_lines);
}

// The marks are read as the runner needs them: a mark's text runs to the next
// mark, and a broken reading would leave checks out without a word.
TEST(CaseRemarks, MarksAreReadWithTheirTexts) {
  const std::optional<Expectation> e = parse_remark(
      "; @ 0003 = - ^ 8,3 ! bit err ~ the bit number 8 is not 0 to 7 % write it "
      "& defined here & first ? a warning # for the reader ~ not this");
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(e->address, "0003");
  EXPECT_EQ(e->code, "");
  EXPECT_EQ(e->column, 8u);
  EXPECT_EQ(e->length, 3u);
  EXPECT_EQ(e->error, "bit err");
  EXPECT_EQ(e->explanation, "the bit number 8 is not 0 to 7");
  EXPECT_EQ(e->hint, "write it");
  EXPECT_EQ(e->notes, (std::vector<std::string>{"defined here", "first"}));
  EXPECT_EQ(e->warnings, std::vector<std::string>{"a warning"});
  // A remark that is only words carries no expectations.
  EXPECT_FALSE(parse_remark("; set up the ports").has_value());
  EXPECT_FALSE(parse_remark("").has_value());
}

// The listing's lines of an assembly of `files`, each cut into its columns.
std::vector<std::vector<std::string>> listing_of(
    const std::vector<std::pair<std::string, std::string>>& files) {
  testing::ScratchDir dir(std::to_string(files.size()));
  ProjectState project;
  for (const auto& [name, bytes] : files) {
    testing::write_bytes(dir.path() / name, bytes);
    project.entries.push_back(dir / name);
  }
  testing::RecordingHost host;
  Assembler assembler;
  assembler.assemble_project(project, host);
  std::vector<std::vector<std::string>> listing;
  for (const std::string& line : split(host.listing, '\n')) {
    if (line.empty() || line.back() != '\r') continue;  // a remark-only line
    listing.push_back(split(line.substr(0, line.size() - 1), '\t'));
  }
  return listing;
}

// The enhanced table puts its forms where no statement of the classic ones
// fits them: every line of every classic case keeps its words and its
// address on an enhanced chip.
TEST_P(CaseFile, ClassicLinesKeepTheirWordsOnAnEnhancedChip) {
  const std::string source = testing::read_bytes(GetParam());
  if (source.find(";@chip") != std::string::npos) GTEST_SKIP() << "defines its own chip";
  const auto classic = listing_of({{"case.as", source}});
  const auto enhanced =
      listing_of({{"chip.inc", ";@chip E1\r\n;@core enhanced\r\n"}, {"case.as", source}});
  ASSERT_EQ(classic.size(), enhanced.size());
  std::size_t compared = 0;
  for (std::size_t i = 0; i < classic.size(); ++i) {
    ASSERT_EQ(classic[i].size(), 6u);
    ASSERT_EQ(enhanced[i].size(), 6u);
    if (!classic[i][5].empty()) continue;  // an error, which an enhanced form may mend
    EXPECT_EQ(enhanced[i][0], classic[i][0]) << classic[i][3];
    EXPECT_EQ(enhanced[i][1], classic[i][1]) << classic[i][3];
    EXPECT_EQ(enhanced[i][5], "") << classic[i][3];
    ++compared;
  }
  if (compared == 0) GTEST_SKIP() << "every line has an error";
}

// Named TOPIC_FILE.
INSTANTIATE_TEST_SUITE_P(Cases, CaseFile, ::testing::ValuesIn(case_files()), [](const auto& test) {
  return test.param.parent_path().filename().string() + "_" + test.param.stem().string();
});

}  // namespace
}  // namespace korva
