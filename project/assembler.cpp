#include "project/assembler.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "outputs/debug_file.h"
#include "project/source_files.h"
#include "resources/system_texts.h"
#include "system/output_set.h"
#include "system/text_encoding.h"

namespace korva {

namespace {

// The file whose advisory lock makes two assemblies of one project take
// turns: the project file, or without one the first source. Both exist
// anyway, so the lock leaves no file behind.
FileLock lock_project(const AssemblyInput& input) {
  if (!input.project_file.empty()) {
    FileLock lock = FileLock::acquire(input.project_file.path());
    if (lock.held()) return lock;
  }
  // The project's own first source: definitions put in front of it are
  // shared by every project for that chip.
  const SourceFile& first =
      input.sources[std::min(input.leading_sources, input.sources.size() - 1)];
  return FileLock::acquire(first.path.path());
}

// The project's sources, read and joined in list order.
Expected<SourceSet, JoinFailure> read_sources(const AssemblyInput& input) {
  Expected<JoinedSources, JoinFailure> joined = join_sources(input.sources);
  if (!joined) return std::move(joined).failure();
  std::vector<std::string> names;
  names.reserve(input.sources.size());
  for (const SourceFile& source : input.sources) names.push_back(source.name);
  return SourceSet{std::move(names), std::move(*joined)};
}

// The names under which gpsim finds the sources from the debug file's folder.
std::vector<DebugSourceName> debug_source_names(const AssemblyInput& input,
                                                const std::filesystem::path& cod_path) {
  std::error_code ignored;
  const std::filesystem::path cod_folder =
      std::filesystem::absolute(cod_path, ignored).parent_path();
  std::vector<DebugSourceName> names;
  for (const SourceFile& source : input.sources) {
    std::string stored =
        debug_source_name(std::filesystem::absolute(source.path.path(), ignored), cod_folder);
    std::string shown = cp932_from_os_name(stored);
    names.push_back({std::move(stored), std::move(shown)});
  }
  return names;
}

Expected<void> write_whole(AtomicFile& file, std::string_view bytes) {
  if (Expected<void> opened = file.open(); !opened) return opened;
  if (Expected<void> written = file.write(bytes); !written) return written;
  return file.close();
}

// The .obj file, written a block at a time on a thread of its own while
// pass 3 lists the records: the whole process takes 17 % less at 10k and
// 50k lines, 15 % less at 200k (paired alternating runs, 80 ms instead of
// 96 at 50k; docs/performance.md).
class ObjectWriter final : public RecordsReady {
 public:
  explicit ObjectWriter(OutputFiles& files) : files_(files) {}
  ~ObjectWriter() override { ended(); }
  ObjectWriter(const ObjectWriter&) = delete;
  ObjectWriter& operator=(const ObjectWriter&) = delete;

  void filled(const RecordTable& records) override {
    written_ = files_.set().prepare();
    if (!written_) return;
    thread_ = std::thread([this, &records] {
      AtomicFile& object = *files_.file(OutputFile::object);
      written_ = object.open();
      if (written_) {
        written_ =
            records.write_object([&object](std::string_view block) { return object.write(block); });
      }
      if (written_) written_ = object.close();
    });
  }
  void ended() override {
    if (thread_.joinable()) thread_.join();
  }
  // How the writing went: success also when no table came (pass 1 stopped).
  const Expected<void>& written() const { return written_; }

 private:
  OutputFiles& files_;
  std::thread thread_;
  Expected<void> written_;
};

// Every output but the .obj file (already written) whole, each to its
// temporary file, then all put in place.
Expected<void> write_outputs(OutputFiles& files, const ServiceResult& assembled) {
  const std::pair<OutputFile, std::string_view> outputs[] = {
      {OutputFile::listing, assembled.listing},     {OutputFile::image, assembled.image.bytes()},
      {OutputFile::intel_hex, assembled.intel_hex}, {OutputFile::debug_file, assembled.debug_file},
      {OutputFile::map, assembled.map_file},
  };
  for (const auto& [which, bytes] : outputs) {
    AtomicFile* file = files.file(which);
    if (file == nullptr) continue;
    if (Expected<void> written = write_whole(*file, bytes); !written) return written;
  }
  return files.set().commit();
}

AssemblyResult stopped(AssemblyResult result, std::string message, std::string_view caption) {
  result.outcome = AssemblyOutcome::stopped;
  result.message = std::move(message);
  result.caption = caption;
  return result;
}

}  // namespace

// The old outputs that the commits replaced are closed on the releasing
// thread: freeing the contents of a large old intermediate file takes about
// as long as a pass, and nothing here needs to wait for it.
void Assembler::release_replaced_outputs(OutputSet& set) {
  auto replaced = std::make_shared<std::vector<ReplacedFile>>();
  for (std::size_t i = 0; i < set.size(); ++i) {
    ReplacedFile old = set.file(i).take_replaced();
    if (old.holds_file()) replaced->push_back(std::move(old));
  }
  if (!replaced->empty()) worker_.start([replaced] { replaced->clear(); });
}

AssemblyInput project_input(const ProjectState& project, const std::optional<std::string>& chosen,
                            SourceBaseRule rule) {
  AssemblyInput input;
  input.sources =
      entry_sources(project.entries, SystemPath(project.entry_directory), project.chip_folder);
  input.leading_sources = project.leading_entries;
  input.output_base = output_base_for_run(project, chosen, rule);
  input.project_file = project.project_file_path;
  return input;
}

AssemblyResult Assembler::assemble(const ProjectState& project, const AssemblyOptions& options) {
  if (project.entries.empty()) return {};
  const AssemblyInput input =
      project_input(project, options.output_base_name, options.source_base_rule);
  AssemblyResult result = assemble(input, options);
  // The folder the window remembers, named after the base.
  if (!options.output_base_name && project.project_file_path.empty()) {
    result.last_directory = shown_cp932(input.output_base);
    cut_to_directory(*result.last_directory);
  }
  return result;
}

AssemblyResult Assembler::assemble(const AssemblyInput& input, const AssemblyOptions& options) {
  AssemblyResult result;
  if (input.sources.empty()) return result;
  const std::string base = shown_cp932(input.output_base);
  result.output_base_name = input.output_base;

  // Reading the sources, under the project's lock until the outputs are in place.
  const FileLock project_lock = lock_project(input);
  Expected<SourceSet, JoinFailure> sources = read_sources(input);
  if (!sources) return stopped(std::move(result), sources.message(), texts::kFileErrorCaption);

  // Assembling, in memory.
  OutputFiles files(input.output_base, SystemPath(options.output_directory), options.extra_outputs,
                    options.files);
  ServiceOptions service_options;
  service_options.collect_facts = collect_facts_;
  service_options.definition_files = input.leading_sources;
  service_options.extra_outputs = options.extra_outputs;
  service_options.output_base = base;
  service_options.output_name = cp932_from_os_path(os_path(base).filename());
  if (const AtomicFile* cod = files.file(OutputFile::debug_file)) {
    service_options.debug_stamp = debug_file_stamp(narrow_os_name(cod->target().filename()));
    service_options.debug_source_names = debug_source_names(input, cod->target());
  }
  ObjectWriter object_writer(files);
  ServiceResult assembled = service_.assemble(std::move(*sources), service_options, &object_writer);
  if (assembled.outcome == ServiceOutcome::stopped) {
    result = stopped(std::move(result), assembled.message, texts::kErrorMessageCaption);
    result.diagnostics = std::move(assembled.diagnostics);
    return result;
  }
  result.record_count = assembled.records.size();

  // Writing the other outputs, and putting the set in place all or nothing.
  Expected<void> written = object_writer.written();
  if (written) written = write_outputs(files, assembled);
  if (!written) {
    files.set().discard();
    result.outcome = AssemblyOutcome::output_failed;
    result.message = written.message();
    result.caption = texts::kFileErrorCaption;
    return result;
  }
  release_replaced_outputs(files.set());

  result.outcome = AssemblyOutcome::completed;
  result.error_count = assembled.error_entries.size();
  result.error_entries = std::move(assembled.error_entries);
  result.diagnostics = std::move(assembled.diagnostics);
  result.facts = std::move(assembled.facts);
  result.chip = std::move(assembled.chip);
  if (options.keep_listing) result.listing = std::move(assembled.listing);
  return result;
}

AssemblyResult Assembler::assemble_project(const ProjectState& project, AssemblyHost& host,
                                           const AssemblyOptions& options) {
  AssemblyResult result = assemble(project, options);
  present_assembly(result, host);
  return result;
}

void present_assembly(const AssemblyResult& result, AssemblyHost& host) {
  host.clear_error_list();
  switch (result.outcome) {
    case AssemblyOutcome::nothing_to_do:
      return;
    case AssemblyOutcome::stopped:
    case AssemblyOutcome::output_failed:
      host.show_message(result.message, result.caption);
      return;
    case AssemblyOutcome::completed:
      for (const std::string& entry : result.error_entries) host.add_error_entry(entry);
      host.show_listing(result.listing);
      return;
  }
}

}  // namespace korva
