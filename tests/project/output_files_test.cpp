// Which outputs a run writes, under which names, and the cap on warnings of
// one kind.
#include "project/output_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/warning_caps.h"
#include "system/text_encoding.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

TEST(OutputFiles, NamesEveryOutputAskedForAfterTheBaseInItsFolder) {
  const struct {
    const char* base;
    fs::path directory;
    bool hex;
    bool cod;
    bool map;
    std::vector<fs::path> expected;  // the set's files, in the order put in place
  } cases[] = {
      {"p", {}, false, false, false, {"p.obj", "p.out", "p.bin"}},
      {"p", {}, true, false, true, {"p.obj", "p.out", "p.bin", "p.hex", "p.map"}},
      {"p", {}, false, true, false, {"p.obj", "p.out", "p.bin", "p.cod"}},
      {"sub/lib.",
       "/proj",
       true,
       true,
       true,
       {"/proj/sub/lib..obj", "/proj/sub/lib..out", "/proj/sub/lib..bin", "/proj/sub/lib..hex",
        "/proj/sub/lib..cod", "/proj/sub/lib..map"}},
      // A base that is a whole path stays where it is.
      {"/abs/p", "/proj", false, false, false, {"/abs/p.obj", "/abs/p.out", "/abs/p.bin"}},
  };
  for (const auto& c : cases) {
    ExtraOutputs extra;
    extra.intel_hex = c.hex;
    if (c.cod) extra.debug_file = gpsim_processor("16F84A");
    extra.map = c.map;
    OutputFiles files(SystemPath::from_native_text(c.base), SystemPath(c.directory), extra, {});
    std::vector<fs::path> targets;
    for (std::size_t i = 0; i < files.set().size(); ++i) {
      targets.push_back(files.set().file(i).target());
    }
    EXPECT_EQ(targets, c.expected) << c.base;
    EXPECT_EQ(files.file(OutputFile::intel_hex) != nullptr, c.hex) << c.base;
    EXPECT_EQ(files.file(OutputFile::debug_file) != nullptr, c.cod) << c.base;
    EXPECT_EQ(files.file(OutputFile::map) != nullptr, c.map) << c.base;
    EXPECT_EQ(files.file(OutputFile::image)->target(), c.expected[2]) << c.base;
  }
}

TEST(WarningCaps, ListsAHundredOfAKindAndCountsTheRest) {
  WarningCaps caps;
  std::size_t admitted_jumps = 0;
  for (int i = 0; i < 250; ++i) {
    if (caps.admit(DiagnosticKind::jump_target_other_page)) ++admitted_jumps;
  }
  std::size_t admitted_literals = 0;
  for (int i = 0; i < 100; ++i) {
    admitted_literals += caps.admit(DiagnosticKind::literal_too_wide) ? 1 : 0;
  }
  EXPECT_TRUE(caps.admit(DiagnosticKind::call_target_other_page));
  EXPECT_EQ(admitted_jumps, WarningCaps::kShownPerKind);
  EXPECT_EQ(admitted_literals, 100u);  // at the cap, not beyond it
  EXPECT_EQ(caps.summaries(),
            std::vector<std::string>{"150 more warnings beginning \"jump\" are not shown"});
}

}  // namespace
}  // namespace korva
