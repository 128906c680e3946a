// Opening a program image (Intel HEX or .bin) as a project: the image is
// disassembled into BASE.as and BASE.amk beside it, both written or neither.
#pragma once

#include <filesystem>
#include <optional>

#include "support/expected.h"

namespace korva {

// The two files an image becomes: BASE.as and BASE.amk.
struct ImportedFiles {
  std::filesystem::path source;
  std::filesystem::path project;
};

// Disassembles the image (a .bin file by its name, any other as Intel HEX)
// and writes `files`; with a chip's definition file, its register, bit and
// configuration names are used and the source is proven with the file in
// front of it. A failure's message (CP932) names the file and what is
// wrong with it, for HEX with its line; nothing is written then.
Expected<void> import_program_image(const std::filesystem::path& image, const ImportedFiles& files,
                                    const std::optional<std::filesystem::path>& chip_file);

}  // namespace korva
