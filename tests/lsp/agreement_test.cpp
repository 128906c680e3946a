// The server's diagnostics and korva-asm's agree on the case files and the
// examples: the same places, severities and texts.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "lsp/project_model.h"
#include "project/chip_files.h"
#include "session.h"
#include "test_support.h"

namespace korva::lsp {
namespace {

using testing::Session;
const std::filesystem::path kSource = KORVA_SOURCE_DIR;

// One diagnostic as both tell it: "FILE:LINE:COLUMN severity: text"; a
// diagnostic of the whole run has no file.
using Summary = std::multiset<std::string>;

// korva-asm's diagnostics, from its standard error, for the project `target`
// copied into a scratch folder.
Summary korva_asm_diagnostics(const std::filesystem::path& folder, const std::string& target,
                              const std::string& chip) {
  korva::testing::ScratchDir scratch("korva-asm-" + target);
  std::filesystem::copy(folder, scratch.path(), std::filesystem::copy_options::recursive);
  const std::string command = "cd '" + scratch.path().string() + "' && KORVA_CHIPS_DIR='" +
                              KORVA_CHIP_SOURCES + "' '" + KORVA_ASM_PATH "' " +
                              (chip.empty() ? "" : "--chip " + chip + " ") + target +
                              " >/dev/null 2>stderr.txt";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status)) << command;
  const std::string errors = testing::read_file(scratch.path() / "stderr.txt");
  static const std::regex headline(R"(^([^ :]+):(\d+)(?::(\d+))?: (error|warning): (.*)$)");
  static const std::regex whole_run(R"(^korva-asm: (error|warning): (.*)$)");
  Summary summary;
  std::istringstream lines(errors);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_match(line, match, headline)) {
      const std::filesystem::path file = match[1].str();
      // The place in the editor's lines and UTF-16 units, as the server gives it.
      std::string line_number = match[2].str();
      std::string column = "-";
      if (match[3].matched) {
        const std::string source = testing::read_file(folder / file);
        const SourceText text = SourceText::from_file(source);
        const Position at = text.position(std::stoul(match[2]) - 1, std::stoul(match[3]) - 1);
        line_number = std::to_string(at.line + 1);
        if (at.character > 0) column = std::to_string(at.character + 1);
      }
      std::string told = file.filename().string();
      told += ":" + line_number;
      told += ":" + column;
      told += " " + match[4].str();
      told += ": " + match[5].str();
      summary.insert(told);
    } else if (std::regex_match(line, match, whole_run)) {
      summary.insert(match[1].str() + ": " + match[2].str());
    }
  }
  return summary;
}

// The server's, for the same project opened at `file`.
Summary server_diagnostics(const std::filesystem::path& folder, const std::filesystem::path& file) {
  Session session(folder);
  session.open_file(file);
  Summary summary;
  for (const std::filesystem::directory_entry& entry :
       std::filesystem::directory_iterator(folder)) {
    const Json diagnostics = session.diagnostics(normal_path(entry.path()));
    if (!diagnostics.is_array()) continue;
    for (const Json& diagnostic : diagnostics) {
      std::string message = diagnostic["message"];
      message = message.substr(0, message.find('\n'));
      const std::string severity = diagnostic["severity"] == 1 ? "error" : "warning";
      const Json& start = diagnostic["range"]["start"];
      const Json& end = diagnostic["range"]["end"];
      // A diagnostic of the whole run sits empty at the start of the file.
      std::string told = severity + ": ";
      told += message;
      if (start == end && start["line"] == 0 && start["character"] == 0) {
        summary.insert(told);
        continue;
      }
      // A place without columns covers its line from the start; the first
      // column is told as none on both sides.
      const bool whole_line = start["character"] == 0;
      std::string place = entry.path().filename().string();
      place += ":" + std::to_string(start["line"].get<int>() + 1);
      place += ":" + (whole_line ? "-" : std::to_string(start["character"].get<int>() + 1));
      place += ' ';
      place += told;
      summary.insert(place);
    }
  }
  return summary;
}

TEST(ServerAgreement, CaseFilesGiveKorvaAsmsDiagnostics) {
  const std::filesystem::path cases = kSource / "tests" / "cases";
  std::size_t compared = 0;
  for (const std::filesystem::directory_entry& entry :
       std::filesystem::recursive_directory_iterator(cases)) {
    if (entry.path().extension() != ".as") continue;
    const std::string name = entry.path().filename().string();
    // Each case alone, as korva-asm assembles it: a folder of its own.
    korva::testing::ScratchDir alone(name);
    std::filesystem::copy_file(entry.path(), alone.path() / name);
    const Summary expected = korva_asm_diagnostics(alone.path(), name, "");
    const Summary actual = server_diagnostics(alone.path(), normal_path(alone.path() / name));
    EXPECT_EQ(actual, expected) << name;
    compared += expected.size();
  }
  EXPECT_GT(compared, 10u);  // the cases do have diagnostics
}

TEST(ServerAgreement, ExamplesGiveKorvaAsmsDiagnostics) {
  const std::vector<std::string> chips = list_chips(KORVA_CHIP_SOURCES);
  for (const std::filesystem::directory_entry& entry :
       std::filesystem::directory_iterator(kSource / "examples")) {
    const std::string name = entry.path().filename().string();
    const std::filesystem::path project = entry.path() / (name + ".amk");
    if (!std::filesystem::exists(project)) continue;
    const std::string chip = chip_in_name(name, chips);
    const Summary expected = korva_asm_diagnostics(entry.path(), name + ".amk", chip);
    // Opened at the project's last source.
    std::filesystem::path last;
    for (const std::filesystem::directory_entry& file :
         std::filesystem::directory_iterator(entry.path())) {
      if (file.path().extension() == ".as") last = std::max(last, file.path());
    }
    const Summary actual = server_diagnostics(normal_path(entry.path()), normal_path(last));
    EXPECT_EQ(actual, expected) << name;
  }
}

}  // namespace
}  // namespace korva::lsp
