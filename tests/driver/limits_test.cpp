// Every fixed size of the assembler, at its limit and one past it: the cut
// that the record layout defines, the message the assembler gives, or the
// larger capacity that keeps the user's text whole.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "project/assembler.h"
#include "project/project.h"
#include "project_assembly.h"
#include "resources/system_texts.h"
#include "test_support.h"

namespace korva {
namespace {

using testing::assemble;
using testing::Assembly;
using testing::RecordingHost;
using testing::ScratchDir;

Assembly assemble(const ScratchDir& dir, const std::string& source) {
  return assemble(dir, {{"a.as", source}});
}

std::string repeat(std::string_view text, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

bool has_warning(const AssemblyResult& result, std::string_view start) {
  for (const Diagnostic& d : result.diagnostics) {
    if (d.severity == Severity::warning && d.text.rfind(start, 0) == 0) return true;
  }
  return false;
}

TEST(Limits, LongLinesAreReadWholeAndCutOnlyInTheirFields) {
  ScratchDir dir;
  // 300 characters before collapsing, far more than the 255 of a line buffer.
  const std::string remark = ";" + repeat("r", 250);
  const Assembly a = assemble(dir, "NOP" + repeat(" ", 40) + remark + "\r\n");
  ASSERT_EQ(a.result.outcome, AssemblyOutcome::completed);
  EXPECT_EQ(a.listing_file, "0000\t0000\t\tNOP\t" + remark.substr(0, 48) + "\t\r\n");
}

TEST(Limits, StatementOf48IsWholeAnd49IsCutWithAWarning) {
  ScratchDir dir;
  const std::string at_limit = "W+(" + repeat("0+", 20) + "00)>W";  // 48 characters
  const std::string past = at_limit + ";";                          // a remark: still 48
  const std::string longer = "W+(" + repeat("0+", 20) + "000)>W";   // 49 characters
  const Assembly a = assemble(dir, at_limit + "\r\n" + past + "\r\n" + longer + "\r\n");
  EXPECT_NE(a.listing_file.find("\t" + at_limit + "\t"), std::string::npos);
  EXPECT_NE(a.listing_file.find("\t" + longer.substr(0, 48) + "\t"), std::string::npos);
  std::size_t warnings = 0;
  for (const Diagnostic& d : a.result.diagnostics) warnings += d.severity == Severity::warning;
  EXPECT_TRUE(has_warning(a.result, "statement longer than 48"));
  EXPECT_EQ(warnings, 1u) << "only the 49-character statement warns";
}

TEST(Limits, LabelOf18IsWholeAnd19IsCutWithAWarning) {
  ScratchDir dir;
  const std::string at_limit = repeat("A", 17) + ":";
  const std::string past = repeat("B", 18) + ":";
  const Assembly a = assemble(dir, at_limit + " NOP\r\n" + past + " NOP\r\n");
  EXPECT_NE(a.listing_file.find("\t" + at_limit + "\tNOP"), std::string::npos);
  EXPECT_NE(a.listing_file.find("\t" + repeat("B", 18) + "\tNOP"), std::string::npos);
  EXPECT_TRUE(has_warning(a.result, "label cut to 18"));
}

TEST(Limits, SubroutineNamesAreKeptTo30Characters) {
  ScratchDir dir;
  const std::string name = repeat("S", 31);
  const Assembly a = assemble(
      dir, "SUB " + name + "\r\nEND SUB\r\n" + name.substr(0, 30) + "\r\n" + name + "\r\n");
  // The 30-character name calls it; the full 31-character one names nothing.
  EXPECT_NE(a.listing_file.find("0001\t2000\t\t" + name.substr(0, 30) + "\t\t\r\n"),
            std::string::npos);
  ASSERT_EQ(a.host.errors.size(), 1u);
  EXPECT_NE(a.host.errors[0].find(std::string(texts::kGrammarError)), std::string::npos);
}

TEST(Limits, MacroNameOf29IsCutTo28And30IsRefused) {
  ScratchDir dir;
  const std::string name29 = repeat("M", 29);
  const Assembly ok =
      assemble(dir, "MACRO " + name29 + "\r\nNOP\r\nEND MACRO\r\n" + name29.substr(0, 28) + "\r\n");
  ASSERT_EQ(ok.result.outcome, AssemblyOutcome::completed);
  EXPECT_NE(ok.listing_file.find("macro " + name29.substr(0, 28) + " (0)"), std::string::npos);

  ScratchDir dir2;
  const Assembly refused = assemble(dir2, "MACRO " + repeat("M", 30) + "\r\nEND MACRO\r\n");
  EXPECT_EQ(refused.result.outcome, AssemblyOutcome::stopped);
  ASSERT_EQ(refused.host.messages.size(), 1u);
  EXPECT_EQ(refused.host.messages[0].text,
            "MACRO " + repeat("M", 30) + "->" + std::string(texts::kMacroNameTooLong));
}

TEST(Limits, MacroBodiesLongerThan1000BytesExpandWhole) {
  ScratchDir dir;
  const Assembly a =
      assemble(dir, "MACRO BIG\r\n" + repeat("NOP ; padding to make the body long\r\n", 100) +
                        "END MACRO\r\nBIG\r\n");
  ASSERT_EQ(a.result.outcome, AssemblyOutcome::completed);
  EXPECT_EQ(a.image_file.size(), 200u);
  EXPECT_TRUE(a.host.errors.empty());
}

TEST(Limits, TenNestedExpansionsWorkAndTheEleventhIsRefused) {
  // M0 calls M1 ... each level a macro of its own; depth n has n + 1 levels.
  const auto nested = [](int levels) {
    std::string source;
    for (int i = 0; i < levels; ++i) {
      source += "MACRO M" + std::to_string(i) + "\r\n";
      source += i + 1 < levels ? "M" + std::to_string(i + 1) + "\r\n" : "NOP\r\n";
      source += "END MACRO\r\n";
    }
    return source + "M0\r\nNOP\r\n";
  };
  ScratchDir dir;
  const Assembly ten = assemble(dir, nested(10));
  EXPECT_TRUE(ten.host.errors.empty());
  EXPECT_NE(ten.listing_file.find("macro M9 (9)"), std::string::npos);
  EXPECT_EQ(ten.image_file.size(), 4u);

  ScratchDir dir2;
  const Assembly eleven = assemble(dir2, nested(11));
  ASSERT_EQ(eleven.host.errors.size(), 1u);
  EXPECT_NE(eleven.host.errors[0].find("macro M10 (10)\t\tMacro Nest Error"), std::string::npos);
  EXPECT_EQ(eleven.image_file.size(), 2u) << "the expansions are abandoned; the NOP after stays";
}

TEST(Limits, ASelfCallingMacroStopsAtTheNestingLimit) {
  ScratchDir dir;
  const Assembly a = assemble(dir, "MACRO SELF\r\nSELF\r\nSELF\r\nEND MACRO\r\nSELF\r\nNOP\r\n");
  ASSERT_EQ(a.result.outcome, AssemblyOutcome::completed);
  ASSERT_EQ(a.host.errors.size(), 1u);
  EXPECT_NE(a.host.errors[0].find("Macro Nest Error"), std::string::npos);
}

TEST(Limits, SymbolAndMacroTablesHold1000) {
  const auto labels = [](int count) {
    std::string source;
    for (int i = 0; i < count; ++i) source += "L" + std::to_string(i) + ": NOP\r\n";
    return source;
  };
  ScratchDir dir;
  EXPECT_EQ(assemble(dir, labels(1000)).result.outcome, AssemblyOutcome::completed);
  ScratchDir dir2;
  const Assembly past = assemble(dir2, labels(1001));
  EXPECT_EQ(past.result.outcome, AssemblyOutcome::stopped);
  ASSERT_EQ(past.host.messages.size(), 1u);
  EXPECT_EQ(past.host.messages[0].text, "L1000:NOP->" + std::string(texts::kTooManySymbols));

  const auto macros = [](int count) {
    std::string source;
    for (int i = 0; i < count; ++i) source += "MACRO M" + std::to_string(i) + "\r\nEND MACRO\r\n";
    return source;
  };
  ScratchDir dir3;
  EXPECT_EQ(assemble(dir3, macros(1000)).result.outcome, AssemblyOutcome::completed);
  ScratchDir dir4;
  const Assembly too_many = assemble(dir4, macros(1001));
  ASSERT_EQ(too_many.host.messages.size(), 1u);
  EXPECT_EQ(too_many.host.messages[0].text, "END MACRO->" + std::string(texts::kTooManyMacros));
}

TEST(Limits, WarningsOfOneKindStopAtAHundredWithACount) {
  ScratchDir dir;
  const Assembly a = assemble(dir, repeat("DE 300\r\n", 150));
  std::size_t listed = 0;
  for (const Diagnostic& d : a.result.diagnostics) listed += d.text.rfind("DE value", 0) == 0;
  EXPECT_EQ(listed, 100u);
  ASSERT_FALSE(a.result.diagnostics.empty());
  EXPECT_EQ(a.result.diagnostics.back().text, "50 more warnings beginning \"DE\" are not shown");
  EXPECT_EQ(a.image_file, repeat("\x2C", 150)) << "warnings never change the output";
}

TEST(Limits, MoreThanTenFilesAreAllJoined) {
  ScratchDir dir;
  std::vector<std::pair<std::string, std::string>> files;
  files.reserve(12);
  for (int i = 0; i < 12; ++i) files.emplace_back("f" + std::to_string(i) + ".as", "NOP\r\n");
  EXPECT_EQ(assemble(dir, files).image_file.size(), 24u);
}

TEST(Limits, ProjectFilesAndEntriesOfAnyLength) {
  ScratchDir dir;
  const std::string long_entry = repeat("d", 150) + ".as";
  std::string text;
  for (int i = 0; i < 40; ++i) text += long_entry + "\r\n";  // far beyond 99 bytes
  testing::write_bytes(dir.path() / "p.amk", text);
  const Expected<std::vector<std::string>> entries = load_project_file(dir / "p.amk");
  ASSERT_TRUE(entries) << entries.message();
  ASSERT_EQ(entries->size(), 40u);
  EXPECT_EQ(entries->back(), long_entry);
}

TEST(Limits, ListingsBeyondOneMegabyteAreWrittenWhole) {
  ScratchDir dir;
  const std::string line = "NOP ;" + repeat("x", 40) + "\r\n";
  const Assembly a = assemble(dir, repeat(line, 30000));
  EXPECT_GT(a.listing_file.size(), 1u << 20);
  EXPECT_EQ(a.host.listing, a.listing_file);
}

TEST(Limits, DegenerateInputsFinish) {
  std::mt19937 random(7);
  std::string noise(200000, '\0');
  for (char& c : noise) c = static_cast<char>(random() & 0xFF);
  const std::string inputs[] = {
      std::string(1 << 20, 'A'),  // one line of 1 MB
      repeat("\r\n", 100000),     // only line ends
      repeat("\n", 100000),       // bare line feeds
      noise,                      // random bytes
  };
  for (const std::string& input : inputs) {
    ScratchDir dir;
    const Assembly a = assemble(dir, input);
    EXPECT_TRUE(a.result.outcome == AssemblyOutcome::completed ||
                a.result.outcome == AssemblyOutcome::stopped);
  }
}

TEST(Limits, OnlyLineEndsGiveOneRecordPerLine) {
  ScratchDir dir;
  const Assembly a = assemble(dir, repeat("\r\n", 1000));
  EXPECT_EQ(a.object_size, 1001u * 342u);
  EXPECT_EQ(a.listing_file, repeat("\n", 1000));
}

TEST(Limits, UnwritableOutputKeepsNothingHalfWritten) {
  ScratchDir dir;
  testing::write_bytes(dir.path() / "a.as", "NOP\r\n");
  ProjectState project;
  project.entry_directory = dir.path();
  project.entries = {"a.as"};
  take_project_path(project, SystemPath(dir.path() / "missing-folder/p.amk"));
  RecordingHost host;
  Assembler assembler;
  const AssemblyResult result = assembler.assemble_project(project, host);
  EXPECT_EQ(result.outcome, AssemblyOutcome::output_failed);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].caption, "File Error");
  EXPECT_EQ(host.listings_shown, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing-folder"));
}

TEST(Limits, AFailedAssemblyKeepsThePreviousOutputs) {
  ScratchDir dir;
  const Assembly good = assemble(dir, "NOP\r\n");
  ASSERT_EQ(good.image_file.size(), 2u);
  // A pass-1 error stops the next assembly before any output is touched.
  const Assembly stopped = assemble(dir, "X: NOP\r\nX: NOP\r\n");
  EXPECT_EQ(stopped.result.outcome, AssemblyOutcome::stopped);
  EXPECT_EQ(stopped.image_file, good.image_file);
  EXPECT_EQ(stopped.listing_file, good.listing_file);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

}  // namespace
}  // namespace korva
