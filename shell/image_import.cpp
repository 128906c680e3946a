#include "shell/image_import.h"

#include <string>
#include <string_view>
#include <vector>

#include "disasm/chip_description.h"
#include "disasm/disassembler.h"
#include "system/file_io.h"
#include "system/output_set.h"
#include "system/text_encoding.h"

namespace korva {

namespace {

// Both files whole, or neither.
Expected<void> write_both(const ImportedFiles& files, const Disassembly& made) {
  OutputSet set({files.source, files.project}, FileWriteOptions{});
  if (Expected<void> prepared = set.prepare(); !prepared) return prepared;
  const std::string_view contents[] = {made.source, made.project};
  for (std::size_t i = 0; i < set.size(); ++i) {
    AtomicFile& file = set.file(i);
    Expected<void> written = file.open();
    if (written) written = file.write(contents[i]);
    if (written) written = file.close();
    if (!written) {
      set.discard();
      return written;
    }
  }
  return set.commit();
}

// The chip's definitions and description, as korva-dis --chip takes them.
Expected<void> load_chip(const std::filesystem::path& file, DisassemblyOptions& options) {
  FileContents text = read_whole_file(file);
  if (!text) return fail(text.message());
  options.chip_file_name = cp932_from_os_path(file);
  options.chip_definitions = *text;
  Expected<ChipDescription> description =
      read_chip_description(cp932_from_os_path(file.stem()), *text);
  if (!description) return fail(options.chip_file_name + ": " + description.message());
  options.chip = std::move(*description);
  // The window puts the chip's file first in the project it opens.
  options.chip_in_command = ChipInCommand::project_entry;
  return {};
}

}  // namespace

Expected<void> import_program_image(const std::filesystem::path& image, const ImportedFiles& files,
                                    const std::optional<std::filesystem::path>& chip_file) {
  const std::string image_name = cp932_from_os_path(image);
  FileContents bytes = read_whole_file(image);
  if (!bytes) return fail(bytes.message());
  DisassemblyOptions options;
  if (chip_file) {
    if (Expected<void> loaded = load_chip(*chip_file, options); !loaded) return loaded;
  }
  options.base_name = cp932_from_os_path(files.source.stem());
  options.input_name = cp932_from_os_path(image.filename());
  const Expected<Disassembly> made = disassemble(*bytes, image_format_of(image_name), options);
  if (!made) return fail(image_name + ": " + made.message());
  return write_both(files, *made);
}

}  // namespace korva
