#include "project/output_files.h"

#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

#include "system/text_encoding.h"

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

DebugFileStamp debug_file_stamp(std::string file_name) {
  DebugFileStamp stamp;
  stamp.file_name = std::move(file_name);
  stamp.version = KORVA_VERSION;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  const bool known = localtime_s(&local, &now) == 0;
#else
  const bool known = localtime_r(&now, &local) != nullptr;
#endif
  if (known) {
    stamp.year = local.tm_year + 1900;
    stamp.month = local.tm_mon + 1;
    stamp.day = local.tm_mday;
    stamp.hour = local.tm_hour;
    stamp.minute = local.tm_min;
  }
  return stamp;
}

std::string debug_source_name(const std::filesystem::path& source,
                              const std::filesystem::path& cod_folder) {
  const std::filesystem::path absolute = source.lexically_normal();
  const std::filesystem::path relative = absolute.lexically_relative(cod_folder.lexically_normal());
  std::string relative_name = narrow_os_name(relative);
  if (!relative_name.empty() && relative_name.size() <= kMaxDebugFileName) return relative_name;
  return narrow_os_name(absolute);
}

}  // namespace korva
