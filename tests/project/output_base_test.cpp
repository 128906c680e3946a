#include "project/output_base.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/expected.h"

namespace korva {
namespace {

TEST(OutputBase, TheWindowCutsThreeCharactersAndKorvaAsmTheExtension) {
  const struct {
    const char* name;
    const char* window;
    const char* batch;
  } cases[] = {
      {"prog.as", "prog", "prog"},       {"lib.inc", "lib.", "lib"},
      {"prog.asm", "prog.", "prog"},     {"ab", "", "ab"},
      {"prog..s", "prog", "prog"},       {".hidden", ".hid", ".hidden"},
      {"d.x/prog", "d.x/p", "d.x/prog"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(output_base_for_source(c.name, SourceBaseRule::window), c.window) << c.name;
    EXPECT_EQ(output_base_for_source(c.name, SourceBaseRule::batch), c.batch) << c.name;
  }
  EXPECT_EQ(output_base_for_project_file("dir/p.amk"), "dir/p");
  EXPECT_EQ(output_base_for_project_file("amk"), "");
}

TEST(OutputBase, ARunTakesTheChosenBaseThenTheProjectFileThenItsOwnFirstSource) {
  ProjectState project;
  project.entries = {"/chips/16F877A.inc", "main.inc", "more.as"};
  project.leading_entries = 1;
  const auto base = [&project](const std::optional<std::string>& chosen, SourceBaseRule rule) {
    return output_base_for_run(project, chosen, rule).native_text();
  };
  EXPECT_EQ(base(std::nullopt, SourceBaseRule::window), "main.");
  EXPECT_EQ(base(std::nullopt, SourceBaseRule::batch), "main");
  EXPECT_EQ(base("out/x", SourceBaseRule::batch), "out/x");
  take_project_path(project, SystemPath::from_native_text("dir/p.amk"));
  EXPECT_EQ(base(std::nullopt, SourceBaseRule::window), "dir/p");
  EXPECT_EQ(base("out/x", SourceBaseRule::window), "out/x");
  // Only the leading entries: the last of them names the outputs.
  ProjectState definitions_only;
  definitions_only.entries = {"defs.inc"};
  definitions_only.leading_entries = 1;
  EXPECT_EQ(
      output_base_for_run(definitions_only, std::nullopt, SourceBaseRule::batch).native_text(),
      "defs");
}

enum class Why { missing, refused };

TEST(Expected, HoldsAValueOrAFailureAndHandsEitherOver) {
  Expected<std::string, Why> value = std::string("bytes");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->size(), 5u);
  const std::string taken = *std::move(value);
  EXPECT_EQ(taken, "bytes");

  Expected<std::string, Why> failed = fail(Why::refused, "p.as: cannot read");
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.reason(), Why::refused);
  EXPECT_EQ(failed.message(), "p.as: cannot read");
  // A failure passes on to a result of another value type unchanged.
  const Expected<int, Why> passed_on = std::move(failed).failure();
  EXPECT_EQ(passed_on.reason(), Why::refused);
  EXPECT_EQ(passed_on.message(), "p.as: cannot read");

  const Expected<void> done;
  EXPECT_TRUE(done);
  const Expected<void> not_done = fail("cannot write");
  ASSERT_FALSE(not_done);
  EXPECT_EQ(not_done.message(), "cannot write");
}

}  // namespace
}  // namespace korva
