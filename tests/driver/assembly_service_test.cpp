// The in-memory service against the files that the Assemble command writes
// from the same sources, and the service's own failure paths.
#include "driver/assembly_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "outputs/intel_hex.h"
#include "project/assembler.h"
#include "project/project.h"
#include "test_support.h"

namespace korva {
namespace {

namespace fs = std::filesystem;
using Sources = std::vector<std::pair<std::string, std::string>>;

// Every example project and every case file, as (name, bytes) in project order.
std::vector<std::pair<std::string, Sources>> sample_projects() {
  const fs::path root = fs::path(KORVA_TEST_DATA) / "..";
  std::vector<std::pair<std::string, Sources>> projects;
  for (const auto& folder : fs::directory_iterator(root / "examples")) {
    const std::string name = folder.path().filename().string();
    const Expected<std::vector<std::string>> entries =
        load_project_file((folder.path() / (name + ".amk")).string());
    if (!entries) continue;
    Sources sources;
    for (const std::string& entry : *entries) {
      sources.emplace_back(entry, testing::read_bytes(folder.path() / entry));
    }
    projects.emplace_back("example " + name, std::move(sources));
  }
  for (const auto& file : fs::recursive_directory_iterator(root / "tests" / "cases")) {
    if (file.path().extension() != ".as") continue;
    projects.emplace_back(
        "case " + file.path().filename().string(),
        Sources{{file.path().filename().string(), testing::read_bytes(file.path())}});
  }
  // Records enough for whole .obj blocks, which go past the system's cache
  // where it allows.
  std::string large;
  for (int i = 0; i < 5000; ++i) {
    large += i % 50 == 0 ? "L" + std::to_string(i) + ": NOP\n" : " 5>W ; five\n";
  }
  projects.emplace_back("5000 lines", Sources{{"large.as", large}});
  return projects;
}

SourceSet source_set(const Sources& sources) {
  SourceSet set;
  for (const auto& [name, bytes] : sources) EXPECT_TRUE(set.add(name, bytes)) << name;
  return set;
}

std::vector<std::string> described(const std::vector<Diagnostic>& diagnostics) {
  std::vector<std::string> texts;
  texts.reserve(diagnostics.size());
  for (const Diagnostic& diagnostic : diagnostics) {
    texts.push_back(describe_place(diagnostic) + ": " + diagnostic.text + " | " +
                    diagnostic.listing_line);
  }
  return texts;
}

TEST(AssemblyService, GivesTheBytesThatTheAssembleCommandWrites) {
  const std::vector<std::pair<std::string, Sources>> projects = sample_projects();
  ASSERT_GE(projects.size(), 10u);
  for (const auto& [title, sources] : projects) {
    SCOPED_TRACE(title);
    testing::ScratchDir dir;
    ProjectState project;
    project.entry_directory = dir.path();
    for (const auto& [name, bytes] : sources) {
      testing::write_bytes(dir.path() / name, bytes);
      project.entries.push_back(name);
    }
    take_project_path(project, SystemPath(dir.path() / "p.amk"));
    AssemblyOptions options;
    options.extra_outputs.intel_hex = true;
    options.extra_outputs.map = true;
    Assembler assembler;
    const AssemblyResult written = assembler.assemble(project, options);
    ASSERT_EQ(written.outcome, AssemblyOutcome::completed);

    ServiceOptions service_options;
    service_options.output_base = dir / "p";
    service_options.extra_outputs = options.extra_outputs;
    AssemblyService service;
    const ServiceResult result = service.assemble(source_set(sources), service_options);
    ASSERT_EQ(result.outcome, ServiceOutcome::completed);
    EXPECT_TRUE(result.listing == testing::read_bytes(dir.path() / "p.out"));
    EXPECT_TRUE(result.object_bytes() == testing::read_bytes(dir.path() / "p.obj"));
    EXPECT_TRUE(result.image.bytes() == testing::read_bytes(dir.path() / "p.bin"));
    EXPECT_EQ(result.intel_hex, testing::read_bytes(dir.path() / "p.hex"));
    EXPECT_EQ(intel_hex_text(result.image.placed()), result.intel_hex);
    EXPECT_EQ(result.map_file, testing::read_bytes(dir.path() / "p.map"));
    EXPECT_TRUE(result.debug_file.empty());
    EXPECT_EQ(result.records.size(), written.record_count);
    EXPECT_EQ(result.error_entries, written.error_entries);
    EXPECT_EQ(described(result.diagnostics), described(written.diagnostics));
  }
}

TEST(AssemblyService, TouchesNoFile) {
  // Named as files in an empty folder of a folder of this test's own:
  // nothing is read from there, and nothing is written there or beside it.
  testing::ScratchDir scratch;
  const std::filesystem::path folder = scratch.path() / "project";
  std::filesystem::create_directory(folder);
  const std::string name = (folder / "blink.as").string();
  SourceSet sources;
  ASSERT_TRUE(sources.add(name, "START:: 5>W\n===->START\nend\n"));
  AssemblyService service;
  const ServiceResult result = service.assemble(sources);
  ASSERT_EQ(result.outcome, ServiceOutcome::completed);
  EXPECT_EQ(result.records.size(), 3u);
  EXPECT_EQ(result.image.bytes().size(), 4u);
  EXPECT_TRUE(testing::names_in(folder).empty());
  EXPECT_EQ(testing::names_in(scratch.path()), std::set<std::string>{"project"});
}

// The map file is titled with the base's last part: the one the file
// command names, or else what follows the last slash or backslash that is a
// character of its own (83 5C is one CP932 character).
TEST(AssemblyService, TitlesTheMapWithTheBasesLastPart) {
  const struct {
    const char* base;
    std::optional<std::string> name;
    const char* title;
  } cases[] = {
      {"p", std::nullopt, "p"},
      {"dir/sub/p", std::nullopt, "p"},
      {"C:\\dir\\p", std::nullopt, "p"},
      {"dir/\x83\x5Cp", std::nullopt, "\x83\x5Cp"},
      {"dir\\p", std::string("dir\\p"), "dir\\p"},
  };
  for (const auto& c : cases) {
    SourceSet sources;
    ASSERT_TRUE(sources.add("a.as", "NOP\n"));
    ServiceOptions options;
    options.output_base = c.base;
    options.output_name = c.name;
    options.extra_outputs.map = true;
    AssemblyService service;
    const ServiceResult result = service.assemble(sources, options);
    const std::string first_line = result.map_file.substr(0, result.map_file.find('\r'));
    EXPECT_EQ(first_line, std::string("KORVA map of ") + c.title) << c.base;
  }
}

TEST(AssemblyService, StopsOrRefusesAsTheFilePathDoes) {
  const struct {
    const char* title;
    Sources sources;
    bool added;              // every source accepted
    ServiceOutcome outcome;  // when added
    std::string message;     // the refusal or the stop
    std::size_t line;        // of the stop's diagnostic
  } cases[] = {
      {"zero byte in the second source",
       {{"a.as", "nop\n"}, {"b.as", std::string("nop\nnop\0\n", 9)}},
       false,
       ServiceOutcome::stopped,
       "b.as: line 2: a zero byte (NUL) in the text",
       0},
      {"label defined twice",
       {{"a.as", "L1:: nop\nL1:: nop\nend\n"}},
       true,
       ServiceOutcome::stopped,
       "",
       2},
      {"no sources at all", {}, true, ServiceOutcome::completed, "", 0},
      {"a source without a last line end",
       {{"a.as", "nop"}},
       true,
       ServiceOutcome::completed,
       "",
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    SourceSet sources;
    bool added = true;
    std::string refusal;
    for (const auto& [name, bytes] : c.sources) {
      const Expected<void> adding = sources.add(name, bytes);
      if (!adding) {
        added = false;
        refusal = adding.message();
      }
    }
    ASSERT_EQ(added, c.added);
    if (!added) {
      EXPECT_EQ(refusal, c.message);
      continue;
    }
    AssemblyService service;
    const ServiceResult result = service.assemble(sources);
    EXPECT_EQ(result.outcome, c.outcome);
    if (c.outcome == ServiceOutcome::stopped) {
      EXPECT_FALSE(result.message.empty());
      ASSERT_EQ(result.diagnostics.size(), 1u);
      EXPECT_EQ(result.diagnostics[0].where.line, c.line);
      EXPECT_EQ(result.records.size(), 0u);
      EXPECT_TRUE(result.listing.empty());
    } else {
      // The source's end: one record more than the listing shows.
      EXPECT_GE(result.records.size(), 1u);
    }
  }
}

// A lowered bound on the lines of macro expansion refuses the call that
// finds it reached, as the default bound does, and the explanation names it;
// one service keeps no count from one assembly to the next.
TEST(AssemblyService, BoundsMacroExpansionByTheLimitAsked) {
  // Each call of THREE hands out its three body lines and its end mark.
  const std::string text = "MACRO THREE\nNOP\nNOP\nNOP\nEND MACRO\nTHREE\nTHREE\nTHREE\nend\n";
  const struct {
    std::size_t limit;
    std::vector<std::size_t> refused_lines;
  } cases[] = {{1, {7, 8}}, {3, {7, 8}}, {4, {8}}, {6, {8}}, {7, {}}, {1'000'000, {}}};
  AssemblyService service;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.limit);
    SourceSet sources;
    ASSERT_TRUE(sources.add("m.as", text));
    ServiceOptions options;
    options.macro_line_limit = c.limit;
    const ServiceResult result = service.assemble(sources, options);
    std::vector<std::size_t> refused_lines;
    for (const Diagnostic& d : result.diagnostics) {
      ASSERT_EQ(d.kind, DiagnosticKind::macro_size_error);
      refused_lines.push_back(d.where.line);
      EXPECT_NE(d.explanation.find("beyond " + std::to_string(c.limit) + " lines"),
                std::string::npos)
          << d.explanation;
    }
    EXPECT_EQ(refused_lines, c.refused_lines);
  }
}

// The .obj bytes go to the sink in whole blocks of records, the last block
// partial; they are the records' layout, and each line is listed once, in
// order, however many blocks the program takes.
TEST(AssemblyService, WritesTheObjectBytesInBlocksOfRecords) {
  constexpr std::size_t kBlockBytes = RecordTable::kObjectBlockRecords * kRecordSize;
  AssemblyService service;
  for (const std::size_t lines :
       {std::size_t{0}, RecordTable::kObjectBlockRecords - 2, RecordTable::kObjectBlockRecords - 1,
        RecordTable::kObjectBlockRecords, 5 * RecordTable::kObjectBlockRecords + 75}) {
    SCOPED_TRACE(::testing::Message() << lines << " lines");
    std::string text;
    for (std::size_t i = 0; i < lines; ++i) {
      text += i % 31 == 0 ? "L" + std::to_string(i) + ": NOP\n" : " 5>W ; five\n";
    }
    SourceSet sources;
    ASSERT_TRUE(sources.add("b.as", text));
    const ServiceResult result = service.assemble(sources);
    ASSERT_EQ(result.outcome, ServiceOutcome::completed);
    ASSERT_EQ(result.records.size(), lines + 1);  // and "end"
    std::vector<std::size_t> sizes;
    std::string bytes;
    ASSERT_TRUE(result.write_object([&](std::string_view block) -> Expected<void> {
      sizes.push_back(block.size());
      bytes += block;
      return {};
    }));
    EXPECT_TRUE(bytes == result.object_bytes());
    EXPECT_EQ(bytes.size(), result.records.size() * kRecordSize);
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], kBlockBytes) << i;
    const auto count = [](std::string_view within, std::string_view what) {
      std::size_t found = 0;
      for (std::size_t at = within.find(what); at != std::string_view::npos;
           at = within.find(what, at + 1)) {
        ++found;
      }
      return found;
    };
    EXPECT_EQ(count(result.listing, "; five"), count(text, "; five"));
    if (lines > 0) {
      EXPECT_EQ(count(result.listing, "L" + std::to_string((lines - 1) / 31 * 31) + ":"), 1u);
    }
  }
}

TEST(AssemblyService, NamesEachSymbolWhereItIsDefinedAndUsed) {
  SourceSet sources;
  ASSERT_TRUE(sources.add("defs.inc", "PORTB   EQU 6\n"));
  ASSERT_TRUE(sources.add("main.as",
                          "MAIN::  (PORTB)_BIT0<1 ; PORTB in a remark\n"
                          "        DELAY\n"
                          "        ===->MAIN\n"
                          "SUB DELAY\n"
                          "LOOP:   ===->LOOP\n"
                          "END SUB\n"));
  ServiceOptions options;
  options.collect_symbol_facts = true;
  AssemblyService service;
  const ServiceResult result = service.assemble(sources, options);
  ASSERT_TRUE(result.symbol_facts);
  const auto spans = [](const std::vector<SymbolOccurrence>& occurrences) {
    std::vector<std::string> texts;
    texts.reserve(occurrences.size());
    for (const SymbolOccurrence& o : occurrences) {
      texts.push_back(o.name + "@" + o.span.where.file + ":" + std::to_string(o.span.where.line) +
                      ":" + std::to_string(o.span.column) + "+" + std::to_string(o.span.length));
    }
    std::sort(texts.begin(), texts.end());
    return texts;
  };
  EXPECT_EQ(spans(result.symbol_facts->definitions),
            (std::vector<std::string>{"DELAY@main.as:4:5+5", "LOOP@main.as:5:1+4",
                                      "MAIN@main.as:1:1+4", "PORTB@defs.inc:1:1+5"}));
  EXPECT_EQ(spans(result.symbol_facts->references),
            (std::vector<std::string>{"DELAY@main.as:2:9+5", "LOOP@main.as:5:14+4",
                                      "MAIN@main.as:3:14+4", "PORTB@main.as:1:10+5"}));
}

}  // namespace
}  // namespace korva
