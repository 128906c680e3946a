// korva-asm on files whose names are the system's own bytes: every name of
// the table through the command line, -o, a project entry and a folder of
// the path; the outputs land under exactly the expected names and nothing
// else appears.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "project/project.h"
#include "system/system_path.h"
#include "test_support.h"

namespace korva {
namespace {

using testing::names_in;
using testing::read_bytes;
using testing::write_bytes;

struct Name {
  const char* what;
  std::string bytes;  // the file name's bytes, without an extension
  bool cp932_writes_it;
};

// ASCII; UTF-8 in and outside CP932; CP932 bytes that are not UTF-8; bytes
// that read as UTF-8 (alpha) and as CP932 (two half-width katakana).
const Name kNames[] = {
    {"ascii", "blink", true},
    {"utf8 japanese", "点滅", true},
    {"utf8 e acute", "café", false},
    {"utf8 u umlaut", "über", false},
    {"utf8 emoji", "bell\xF0\x9F\x94\x94", false},
    {"cp932 bytes", "\x93\x5F\x96\xC5", true},
    {"utf8 and cp932", "\xCE\xB1", true},
};

constexpr std::string_view kSource = "        SLEEP\r\n";

int run_korva_asm(const std::filesystem::path& dir, const std::string& arguments) {
  const std::string command = "cd '" + dir.string() + "' && '" KORVA_ASM_PATH "' " + arguments +
                              " >../stdout.txt 2>../stderr.txt";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::set<std::string> with_outputs(std::set<std::string> names, const std::string& base) {
  for (const char* extension : {".obj", ".out", ".bin"}) names.insert(base + extension);
  return names;
}

// One scratch folder holding the work folder "w" (where korva-asm runs)
// beside its standard output and error.
class NameRun {
 public:
  NameRun() { std::filesystem::create_directory(work()); }
  std::filesystem::path work() const { return dir_.path() / "w"; }
  std::string errors() const { return read_bytes(dir_.path() / "stderr.txt"); }

 private:
  testing::ScratchDir dir_;
};

TEST(FileNames, EveryNameReachesTheFileSystemAsGiven) {
  // The bytes every run must produce, from the plain name.
  std::string image;
  {
    NameRun run;
    write_bytes(run.work() / "plain.as", kSource);
    ASSERT_EQ(run_korva_asm(run.work(), "plain.as"), 0) << run.errors();
    image = read_bytes(run.work() / "plain.bin");
  }
  ASSERT_FALSE(image.empty());

  for (const Name& name : kNames) {
    SCOPED_TRACE(name.what);
    const std::string& n = name.bytes;
    {  // A source on the command line.
      NameRun run;
      write_bytes(run.work() / (n + ".as"), kSource);
      EXPECT_EQ(run_korva_asm(run.work(), "'" + n + ".as'"), 0) << run.errors();
      EXPECT_EQ(names_in(run.work()), with_outputs({n + ".as"}, n));
      EXPECT_EQ(read_bytes(run.work() / (n + ".bin")), image);
    }
    {  // The output base.
      NameRun run;
      write_bytes(run.work() / "p.as", kSource);
      EXPECT_EQ(run_korva_asm(run.work(), "-o '" + n + "' p.as"), 0) << run.errors();
      EXPECT_EQ(names_in(run.work()), with_outputs({"p.as"}, n));
      EXPECT_EQ(read_bytes(run.work() / (n + ".bin")), image);
    }
    {  // A folder of the source's path, and of a project file's.
      NameRun run;
      const std::filesystem::path folder = run.work() / n;
      std::filesystem::create_directory(folder);
      write_bytes(folder / "p.as", kSource);
      write_bytes(folder / "q.amk", "p.as\r\n");
      EXPECT_EQ(run_korva_asm(run.work(), "'" + n + "/p.as'"), 0) << run.errors();
      EXPECT_EQ(run_korva_asm(run.work(), "'" + n + "/q.amk'"), 0) << run.errors();
      EXPECT_EQ(names_in(folder), with_outputs(with_outputs({"p.as", "q.amk"}, "p"), "q"));
      EXPECT_EQ(read_bytes(folder / "q.bin"), image);
    }
    {  // A project entry: stored in CP932 when CP932 writes the name, and
       // found again from it; refused, with the reason, when it does not.
      NameRun run;
      write_bytes(run.work() / (n + ".as"), kSource);
      const Expected<std::string> entry =
          project_entry_for(SystemPath::from_native_text(n + ".as"));
      ASSERT_EQ(entry.has_value(), name.cp932_writes_it);
      if (!entry) {
        EXPECT_NE(entry.message().find("CP932"), std::string::npos) << entry.message();
        continue;
      }
      write_bytes(run.work() / "p.amk", *entry + "\r\n");
      EXPECT_EQ(run_korva_asm(run.work(), "p.amk"), 0) << run.errors();
      EXPECT_EQ(names_in(run.work()), with_outputs({n + ".as", "p.amk"}, "p"));
      EXPECT_EQ(read_bytes(run.work() / "p.bin"), image);
    }
  }
}

// The terminal names a file as the command line did (in a diagnostic and in
// the message of a stop), and gpsim finds the
// sources of a program in a folder that CP932 cannot name.
TEST(FileNames, DiagnosticsAndDebugFilesNameTheFileAsGiven) {
  NameRun run;
  const std::filesystem::path folder = run.work() / "café";
  std::filesystem::create_directory(folder);
  write_bytes(folder / "über.as", "        NO_SUCH_OP\r\n        SLEEP\r\n");
  EXPECT_EQ(run_korva_asm(run.work(), "'café/über.as'"), 1);
  EXPECT_NE(run.errors().find("café/über.as:1:"), std::string::npos) << run.errors();

  EXPECT_EQ(run_korva_asm(run.work(), "'café/gone-ü.as'"), 2);
  EXPECT_NE(run.errors().find("korva-asm: File Error: café/gone-ü.as  "), std::string::npos)
      << run.errors();

  EXPECT_EQ(run_korva_asm(run.work(), "'café/gone-ü.amk'"), 2);
  EXPECT_NE(run.errors().find("korva-asm: café/gone-ü.amk: not found"), std::string::npos)
      << run.errors();

  write_bytes(folder / "über.as", kSource);
  ASSERT_EQ(run_korva_asm(folder, "--chip 16F84A --cod 'über.as'"), 0) << run.errors();
  const std::string cod = read_bytes(folder / "über.cod");
  EXPECT_NE(cod.find("über.as"), std::string::npos);
}

}  // namespace
}  // namespace korva
