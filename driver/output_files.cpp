#include "driver/output_files.h"

#include <string_view>
#include <vector>

#include "support/text_encoding.h"

namespace korva {

namespace {

constexpr std::array<std::string_view, kOutputFileCount> kExtensions = {".obj", ".out", ".bin",
                                                                        ".hex", ".cod", ".map"};

bool wanted(OutputFile which, const ExtraOutputs& extra) {
  switch (which) {
    case OutputFile::intel_hex:
      return extra.intel_hex;
    case OutputFile::debug_file:
      return extra.debug_file.has_value();
    case OutputFile::map:
      return extra.map;
    case OutputFile::object:
    case OutputFile::listing:
    case OutputFile::image:
      return true;
  }
  return false;
}

std::vector<std::filesystem::path> targets(const std::string& base,
                                           const std::filesystem::path& directory,
                                           const ExtraOutputs& extra) {
  std::vector<std::filesystem::path> paths;
  for (std::size_t i = 0; i < kOutputFileCount; ++i) {
    const auto which = static_cast<OutputFile>(i);
    if (!wanted(which, extra)) continue;
    const std::filesystem::path path = os_path(output_name(base, which));
    paths.push_back(directory.empty() || path.is_absolute() ? path : directory / path);
  }
  return paths;
}

}  // namespace

std::string output_name(const std::string& base, OutputFile which) {
  return base + std::string(kExtensions[static_cast<std::size_t>(which)]);
}

OutputFiles::OutputFiles(const std::string& base, const std::filesystem::path& directory,
                         const ExtraOutputs& extra, FileWriteOptions options)
    : set_(targets(base, directory, extra), options) {
  std::size_t next = 0;
  for (std::size_t i = 0; i < kOutputFileCount; ++i) {
    if (wanted(static_cast<OutputFile>(i), extra)) index_[i] = next++;
  }
}

AtomicFile* OutputFiles::file(OutputFile which) {
  const std::optional<std::size_t> index = index_[static_cast<std::size_t>(which)];
  return index ? &set_.file(*index) : nullptr;
}

}  // namespace korva
