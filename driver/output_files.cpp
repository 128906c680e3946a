#include "driver/output_files.h"

#include <string_view>
#include <vector>

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

std::vector<std::filesystem::path> targets(const SystemPath& base, const SystemPath& directory,
                                           const ExtraOutputs& extra) {
  std::vector<std::filesystem::path> paths;
  for (std::size_t i = 0; i < kOutputFileCount; ++i) {
    const auto which = static_cast<OutputFile>(i);
    if (!wanted(which, extra)) continue;
    paths.push_back((directory / output_name(base, which)).path());
  }
  return paths;
}

}  // namespace

SystemPath output_name(const SystemPath& base, OutputFile which) {
  return base.with_suffix(kExtensions[static_cast<std::size_t>(which)]);
}

OutputFiles::OutputFiles(const SystemPath& base, const SystemPath& directory,
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
