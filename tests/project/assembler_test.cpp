#include "project/assembler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "driver/record_table.h"
#include "resources/system_texts.h"
#include "support/line_record.h"
#include "test_support.h"

namespace korva {
namespace {

using testing::read_bytes;
using testing::write_bytes;

const std::string kGrammar(texts::kGrammarError);

// Assembles the given files (name, bytes) from a scratch directory.
struct Assembly {
  explicit Assembly(std::initializer_list<std::pair<std::string, std::string>> files) {
    for (const auto& [name, bytes] : files) {
      write_bytes(dir.path() / name, bytes);
      project.entries.push_back(dir / name);
    }
  }
  AssemblyResult assemble() {
    AssemblyResult result = assembler.assemble_project(project, host);
    if (result.output_base_name) base = result.output_base_name->native_text();
    return result;
  }
  std::string output(const char* extension) const { return read_bytes(base + extension); }

  testing::ScratchDir dir;
  ProjectState project;
  std::string base;  // the outputs' base of the last assembly
  testing::RecordingHost host;
  Assembler assembler;
};

TEST(Assembler, EmptySourceWritesOnlyTheEndRecord) {
  Assembly run({{"empty.as", ""}});
  const AssemblyResult result = run.assemble();
  ASSERT_EQ(result.outcome, AssemblyOutcome::completed);
  EXPECT_EQ(result.output_base_name, SystemPath(run.dir.path() / "empty"));
  LineRecord end;
  end.statement = "end";
  end.error = kGrammar;
  end.address = "0000";
  RecordBytes bytes;
  encode_record(end, bytes);
  EXPECT_EQ(run.output(".obj"), std::string(bytes.data(), bytes.size()));
  EXPECT_EQ(run.output(".out"), "");
  EXPECT_EQ(run.output(".bin"), "");
  EXPECT_EQ(run.host.listings_shown, 1);
  EXPECT_TRUE(run.host.errors.empty());
}

TEST(Assembler, EndLineEndsBothPassesButCapitalEndDoesNot) {
  Assembly run({{"a.as", "===->LATE\r\nEND\r\nRET\r\nL: end ; stop\r\nLATE:: NOP\r\n"}});
  ASSERT_EQ(run.assemble().outcome, AssemblyOutcome::completed);
  const std::string listing =
      "0000\t28XX\t\t===->LATE\t\tlabel err\r\n"
      "0001\t\t\tEND\t\t" +
      kGrammar +
      "\r\n"
      "0001\t0008\t\tRET\t\t\r\n";
  EXPECT_EQ(run.output(".out"), listing);
  EXPECT_EQ(run.host.listing, listing);
  EXPECT_EQ(run.output(".obj").size(), 4 * kRecordSize);
  EXPECT_EQ(run.output(".bin"), std::string("\0\x28\x08\0", 4));
  EXPECT_EQ(run.host.errors, (std::vector<std::string>{"0000\t28XX\t\t===->LATE\t\tlabel err\r\n",
                                                       "0001\t\t\tEND\t\t" + kGrammar + "\r\n"}));
}

TEST(Assembler, IncFileGivesBaseNameWithTrailingDot) {
  Assembly run({{"lib.inc", "NOP\r\n"}});
  const AssemblyResult result = run.assemble();
  ASSERT_EQ(result.outcome, AssemblyOutcome::completed);
  EXPECT_EQ(result.output_base_name, SystemPath(run.dir.path() / "lib."));
  EXPECT_EQ(read_bytes(run.dir / "lib..bin"), std::string("\0\0", 2));
  EXPECT_EQ(result.last_directory, (run.dir.path() / "").string());
}

TEST(Assembler, MacrosExpandNestedWithTheCallLabelOnTheFirstBodyLine) {
  Assembly run({{"m.as",
                 "OUTER\r\n"
                 "MACRO TWO\r\n NOP\r\n ; two\r\n RET\r\nEND MACRO\r\n"
                 "GO: TWO\r\n"
                 "MACRO OUTER\r\n SLEEP\r\n TWO\r\n  END MACRO\r\n"
                 "two\r\n"
                 "===->GO\r\n"}});
  ASSERT_EQ(run.assemble().outcome, AssemblyOutcome::completed);
  EXPECT_EQ(run.output(".out"),
            "\t\t\tmacro OUTER (0)\t\t\r\n"
            "0000\t0063\t\tSLEEP\t\t\r\n"
            "\t\t\tmacro TWO (1)\t\t\r\n"
            "0001\t0000\t\tNOP\t\t\r\n"
            "; two\n"
            "0002\t0008\t\tRET\t\t\r\n"
            "\t\t\tend macro (1)\t\t\r\n"
            "\t\t\tend macro (0)\t\t\r\n"
            "\t\t\tMACRO TWO\t\t\r\n"
            "\t\t\tNOP\t\t\r\n"
            "; two\n"
            "\t\t\tRET\t\t\r\n"
            "\t\t\tEND MACRO\t\t\r\n"
            "\t\tGO:\tmacro TWO (0)\t\t\r\n"
            "0003\t0000\tGO:\tNOP\t\t\r\n"
            "; two\n"
            "0004\t0008\t\tRET\t\t\r\n"
            "\t\t\tend macro (0)\t\t\r\n"
            "\t\t\tMACRO OUTER\t\t\r\n"
            "\t\t\tSLEEP\t\t\r\n"
            "\t\t\tTWO\t\t\r\n"
            "\t\t\tEND MACRO\t\t\r\n"
            "0005\t\t\ttwo\t\t" +
                kGrammar +
                "\r\n"
                "0005\t2803\t\t===->GO\t\t\r\n");
  EXPECT_EQ(run.output(".bin"), std::string("\x63\0\0\0\x08\0\0\0\x08\0\x03\x28", 12));
}

TEST(Assembler, RepeatedAssemblyGivesTheSameFiles) {
  Assembly run({{"a.as", "L: W+5>W\r\nSUB S\r\nEND SUB\r\nS\r\n===->L\r\nDE 2\r\n"}});
  ASSERT_EQ(run.assemble().outcome, AssemblyOutcome::completed);
  const std::string files[] = {run.output(".obj"), run.output(".out"), run.output(".bin")};
  ASSERT_EQ(run.assemble().outcome, AssemblyOutcome::completed);
  EXPECT_EQ(run.output(".obj"), files[0]);
  EXPECT_EQ(run.output(".out"), files[1]);
  EXPECT_EQ(run.output(".bin"), files[2]);
}

TEST(Assembler, PassOneErrorStopsWithItsMessageAndKeepsTheOldOutput) {
  const struct {
    const char* name;
    std::string source;
    std::string message;
  } cases[] = {
      {"duplicate label", "X: NOP\r\nY: NOP\r\nX: RET\r\nY: RET\r\n",
       "X:RET->" + std::string(texts::kDuplicateLabel)},
      {"duplicate subroutine", "SUB A\r\nEND SUB\r\nSUB A\r\n",
       "SUB A->" + std::string(texts::kDuplicateSub)},
  };
  for (const auto& c : cases) {
    Assembly run({{"a.as", "NOP\r\n"}});
    ASSERT_EQ(run.assemble().outcome, AssemblyOutcome::completed);
    const std::string old_obj = run.output(".obj");
    write_bytes(run.project.entries[0], c.source);
    run.host.errors.push_back("stale entry");
    const AssemblyResult result = run.assemble();
    EXPECT_EQ(result.outcome, AssemblyOutcome::stopped) << c.name;
    ASSERT_EQ(run.host.messages.size(), 1u) << c.name;
    EXPECT_EQ(run.host.messages[0].text, c.message) << c.name;
    EXPECT_EQ(run.host.messages[0].caption, texts::kErrorMessageCaption) << c.name;
    EXPECT_TRUE(run.host.errors.empty()) << c.name;
    EXPECT_EQ(run.host.listings_shown, 1) << c.name;
    EXPECT_EQ(run.output(".obj"), old_obj) << c.name;
    EXPECT_EQ(run.output(".out"), "0000\t0000\t\tNOP\t\t\r\n") << c.name;
  }
}

// The run only reads the project; what it named goes back in the result,
// for every run that had a list, whether or not it got to the outputs.
TEST(Assembler, LeavesTheProjectAloneAndReturnsTheNamesItUsed) {
  const struct {
    const char* name;
    const char* source;  // of a.as
    bool project_file;   // a project file p.amk names the outputs
    AssemblyOutcome outcome;
  } cases[] = {
      {"completed", "NOP\r\n", false, AssemblyOutcome::completed},
      {"pass-1 stop", "A: NOP\r\nA: NOP\r\n", false, AssemblyOutcome::stopped},
      {"with a project file", "NOP\r\n", true, AssemblyOutcome::completed},
  };
  for (const auto& c : cases) {
    Assembly run({{"a.as", c.source}});
    if (c.project_file) take_project_path(run.project, SystemPath(run.dir.path() / "p.amk"));
    const ProjectState before = run.project;
    const AssemblyResult result = run.assembler.assemble(run.project);
    EXPECT_EQ(result.outcome, c.outcome) << c.name;
    EXPECT_EQ(run.project.output_base_name, before.output_base_name) << c.name;
    EXPECT_EQ(run.project.last_directory, before.last_directory) << c.name;
    EXPECT_EQ(result.output_base_name, SystemPath(run.dir.path() / (c.project_file ? "p" : "a")))
        << c.name;
    if (c.project_file) {
      EXPECT_FALSE(result.last_directory) << c.name;
    } else {
      EXPECT_EQ(result.last_directory, (run.dir.path() / "").string()) << c.name;
    }
    // Nothing was shown: the host sees only what present_assembly gives it.
    EXPECT_TRUE(run.host.messages.empty()) << c.name;
    EXPECT_EQ(run.host.listings_shown, 0) << c.name;
  }
  Assembly empty({{"a.as", ""}});
  empty.project.entries.clear();
  EXPECT_FALSE(empty.assembler.assemble(empty.project).output_base_name);
}

TEST(Assembler, MissingFileStopsBeforeAnyPass) {
  Assembly run({{"a.as", "NOP\r\n"}});
  run.project.entries.push_back("missing.as");
  EXPECT_EQ(run.assemble().outcome, AssemblyOutcome::stopped);
  ASSERT_EQ(run.host.messages.size(), 1u);
  EXPECT_EQ(run.host.messages[0].text, "missing.as" + std::string(texts::kFileNotFound));
  EXPECT_EQ(run.host.messages[0].caption, "File Error");
  for (const char* extension : {".obj", ".out", ".bin"}) {
    EXPECT_FALSE(std::filesystem::exists(run.dir / ("a" + std::string(extension))));
  }
}

}  // namespace
}  // namespace korva
