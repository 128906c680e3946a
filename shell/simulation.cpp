#include "shell/simulation.h"

#include <filesystem>

#include "support/text.h"
#include "system/text_encoding.h"

namespace korva {

std::optional<GpsimProcessor> project_chip(const std::vector<std::string>& entries) {
  if (entries.empty()) return std::nullopt;
  const std::filesystem::path first = os_path(entries.front());
  if (upper_cased(first.extension().string()) != ".INC") return std::nullopt;
  return gpsim_processor(first.stem().string());
}

QStringList gpsim_arguments(const QString& debug_file) {
  return {QStringLiteral("-s"), debug_file};
}

}  // namespace korva
