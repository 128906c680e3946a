#include "lsp/project_model.h"

#include <algorithm>
#include <system_error>

#include "project/chip_files.h"
#include "project/project.h"
#include "system/text_encoding.h"

namespace korva::lsp {
namespace {

constexpr int kSearchDepth = 4;
constexpr std::size_t kFolderLimit = 2000;

std::string lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

bool has_extension(const std::filesystem::path& path, std::string_view extension) {
  return lower(path.extension().string()) == extension;
}

void find_project_files(const std::filesystem::path& folder, int depth, std::size_t& folders,
                        std::vector<std::filesystem::path>& found) {
  std::error_code error;
  if (++folders > kFolderLimit) return;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::filesystem::directory_entry& entry = *it;
    const std::string name = entry.path().filename().string();
    if (entry.is_directory(error) && depth > 0 && !name.starts_with('.') && name != "build") {
      find_project_files(entry.path(), depth - 1, folders, found);
    } else if (entry.is_regular_file(error) && is_project_file(entry.path())) {
      found.push_back(normal_path(entry.path()));
    }
  }
}

// The chip a plan names, put in front: the chip in the project's (or the
// file's) name, else the client's chip as a default. A chip the project
// names is never overridden.
void add_chip(ProjectPlan& plan, const ChipSetting& setting, std::string_view name) {
  if (setting.chips_directory.empty()) return;
  std::string chip = chip_in_name(name, setting.chips);
  if (chip.empty()) chip = setting.chip;
  if (chip.empty()) return;
  const std::optional<std::filesystem::path> file =
      find_chip(setting.chips_directory, setting.chips, chip);
  if (!file) return;
  plan.chip_file = normal_path(*file);
  plan.paths.insert(plan.paths.begin(), plan.chip_file);
  plan.entries.insert(plan.entries.begin(), cp932_from_os_path(*file));
  plan.definition_files = 1;
}

// Whether the project's first entry is a chip's definition file itself.
bool names_a_chip(const ProjectPlan& plan, const ChipSetting& setting) {
  if (plan.paths.empty() || setting.chips_directory.empty()) return false;
  return std::any_of(setting.chips.begin(), setting.chips.end(), [&](const std::string& chip) {
    return is_chip_file_of(plan.paths.front(), chip);
  });
}

std::optional<ProjectPlan> plan_of_project(const std::filesystem::path& project_file,
                                           const std::filesystem::path& source,
                                           const ChipSetting& chip) {
  Expected<std::vector<std::string>> entries = load_project_file(cp932_from_os_path(project_file));
  if (!entries) return std::nullopt;
  ProjectPlan plan;
  plan.project_file = project_file;
  for (const std::string& entry : *entries) {
    std::filesystem::path path = project_file.parent_path() / os_path(entry);
    std::error_code error;
    // An entry naming a chip file alone is the chip folder's, as korva-asm reads it.
    if (!std::filesystem::exists(path, error) && !chip.chips_directory.empty()) {
      path = chip_file_of_entry(entry, chip.chips_directory).value_or(path);
    }
    plan.paths.push_back(normal_path(path));
    plan.entries.push_back(entry);
  }
  if (!plan.index_of(source)) return std::nullopt;
  plan.output_base = cp932_from_os_path(project_file.stem());
  if (names_a_chip(plan, chip)) {
    // The project's own chip file is its definitions, as --chip's would be.
    plan.chip_file = plan.paths.front();
    plan.definition_files = 1;
  } else {
    add_chip(plan, chip, project_file.stem().string());
  }
  return plan;
}

}  // namespace

std::optional<std::size_t> ProjectPlan::index_of(const std::filesystem::path& path) const {
  const auto found = std::find(paths.begin(), paths.end(), path);
  if (found == paths.end()) return std::nullopt;
  return static_cast<std::size_t>(found - paths.begin());
}

bool is_project_file(const std::filesystem::path& path) {
  return has_extension(path, ".amk");
}

std::filesystem::path normal_path(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path normal = std::filesystem::weakly_canonical(path, error);
  if (error) normal = std::filesystem::absolute(path, error).lexically_normal();
  return normal;
}

std::vector<std::filesystem::path> project_files(const std::vector<std::filesystem::path>& roots,
                                                 const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> found;
  std::size_t folders = 0;
  for (const std::filesystem::path& root : roots)
    find_project_files(root, kSearchDepth, folders, found);
  std::size_t none = 0;
  find_project_files(folder, 0, none, found);
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

ProjectPlan plan_for(const std::filesystem::path& source,
                     const std::vector<std::filesystem::path>& candidates,
                     const ChipSetting& chip) {
  // A project in the source's own folder first, then the others.
  std::vector<std::filesystem::path> ordered = candidates;
  std::sort(ordered.begin(), ordered.end());
  ordered.erase(std::unique(ordered.begin(), ordered.end()), ordered.end());
  std::stable_partition(ordered.begin(), ordered.end(), [&](const std::filesystem::path& file) {
    return file.parent_path() == source.parent_path();
  });
  for (const std::filesystem::path& project_file : ordered) {
    if (std::optional<ProjectPlan> plan = plan_of_project(project_file, source, chip)) {
      return std::move(*plan);
    }
  }
  ProjectPlan plan;
  plan.paths.push_back(source);
  plan.entries.push_back(cp932_from_os_path(source.filename()));
  plan.output_base = cp932_from_os_path(source.stem());
  if (!has_extension(source, ".inc")) add_chip(plan, chip, source.stem().string());
  return plan;
}

std::string chip_in_name(std::string_view name, const std::vector<std::string>& chips) {
  const std::string lowered = lower(name);
  std::string best;
  for (const std::string& chip : chips) {
    if (chip.size() > best.size() && lowered.find(lower(chip)) != std::string::npos) best = chip;
  }
  return best;
}

}  // namespace korva::lsp
