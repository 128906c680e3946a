// Assembles every tests/cases/*.as file and checks the listing lines whose
// remark carries expectations:
//   = CODE   the code column ("-" for empty)
//   @ ADDR   the address column ("-" for empty)
//   ! TEXT   the error column, the rest of the remark (UTF-8; the listing's
//            CP932 is decoded for the comparison)
//   ? TEXT   a warning on that line whose text contains TEXT
//   # NOTE   ends the expectations of "!" and "?"
// A line with expectations but without "!" must have no error. Every
// annotated source line must show up exactly once in the listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/assembler.h"
#include "remark_expectations.h"
#include "support/text_encoding.h"
#include "test_support.h"

namespace korva {
namespace {

using korva::testing::Expectation;
using korva::testing::parse_remark;
using korva::testing::split;

std::vector<std::filesystem::path> case_files() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(KORVA_TEST_DATA) / "cases")) {
    if (entry.path().extension() == ".as") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class CaseFile : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(CaseFile, ListingMatchesTheAnnotations) {
  testing::ScratchDir dir;
  const std::string source = testing::read_bytes(GetParam());
  std::size_t annotated_in_source = 0;
  for (const std::string& line : split(source, '\n')) {
    const std::size_t semicolon = line.find(';');
    if (semicolon == std::string::npos) continue;
    std::string remark = line.substr(semicolon);
    if (!remark.empty() && remark.back() == '\r') remark.pop_back();
    if (parse_remark(remark)) ++annotated_in_source;
  }
  ASSERT_GT(annotated_in_source, 0u);

  const std::string entry = dir / GetParam().filename().string();
  testing::write_bytes(entry, source);
  ProjectState project;
  project.entries = {entry};
  testing::RecordingHost host;
  Assembler assembler;
  const AssemblyResult result = assembler.assemble_project(project, host);
  ASSERT_EQ(result.outcome, AssemblyOutcome::completed);

  // The warnings by listing line, decoded for the comparison.
  std::map<std::size_t, std::vector<std::string>> warnings;
  for (const Diagnostic& d : result.diagnostics) {
    if (d.severity == Severity::warning && d.listing_index) {
      warnings[*d.listing_index].push_back(cp932_to_utf8(d.text));
    }
  }

  std::size_t checked = 0;
  std::size_t error_lines = 0;
  const std::vector<std::string> lines = split(host.listing, '\n');
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const std::string& line = lines[index];
    if (line.empty() || line.back() != '\r') continue;  // remark-only lines
    const std::vector<std::string> columns = split(line.substr(0, line.size() - 1), '\t');
    ASSERT_EQ(columns.size(), 6u) << line;
    if (!columns[5].empty()) ++error_lines;
    const std::optional<Expectation> expected = parse_remark(columns[4]);
    if (!expected) continue;
    ++checked;
    const std::string where = columns[2] + columns[3] + " " + columns[4];
    if (expected->code) {
      EXPECT_EQ(columns[1], *expected->code) << where;
    }
    if (expected->address) {
      EXPECT_EQ(columns[0], *expected->address) << where;
    }
    EXPECT_EQ(cp932_to_utf8(columns[5]), expected->error.value_or("")) << where;
    if (expected->warning) {
      const std::vector<std::string>& found = warnings[index];
      EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                              [&](const std::string& text) {
                                return text.find(*expected->warning) != std::string::npos;
                              }))
          << where << ": no warning containing \"" << *expected->warning << "\"";
    }
  }
  EXPECT_EQ(checked, annotated_in_source);
  EXPECT_EQ(host.errors.size(), error_lines);
}

INSTANTIATE_TEST_SUITE_P(Cases, CaseFile, ::testing::ValuesIn(case_files()),
                         [](const auto& test) { return test.param.stem().string(); });

}  // namespace
}  // namespace korva
