// korva-syntax: writes the editor definitions of the notation, korva.xml
// (KSyntaxHighlighting) and korva.tmLanguage.json (TextMate), from the
// assembler's own pattern table, into the given folder.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "patterns/pattern_table.h"
#include "syntax/kate_definition.h"
#include "syntax/syntax_model.h"
#include "syntax/textmate_grammar.h"

namespace {

constexpr int kExitUsage = 64;

bool write_file(const std::filesystem::path& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) std::fprintf(stderr, "korva-syntax: %s: cannot be written\n", path.string().c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string_view(argv[1]).starts_with("-")) {
    std::fprintf(stderr,
                 "usage: korva-syntax FOLDER\n"
                 "Writes korva.xml and korva.tmLanguage.json into FOLDER.\n");
    return kExitUsage;
  }
  const korva::syntax::NotationResult result =
      korva::syntax::notation_from(korva::table_entries(korva::CoreFamily::enhanced));
  if (!result.notation) {
    std::fprintf(stderr, "korva-syntax: %s\n", result.error.c_str());
    return 1;
  }
  const std::filesystem::path folder(argv[1]);
  const bool written =
      write_file(folder / "korva.xml", korva::syntax::kate_definition(*result.notation)) &&
      write_file(folder / "korva.tmLanguage.json",
                 korva::syntax::textmate_grammar(*result.notation));
  return written ? 0 : 1;
}
