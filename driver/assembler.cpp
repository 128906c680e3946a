#include "driver/assembler.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "driver/debug_file.h"
#include "resources/system_texts.h"
#include "source/source_joiner.h"
#include "support/output_set.h"
#include "support/text_encoding.h"

namespace korva {

namespace {

// The file whose advisory lock makes two assemblies of one project take
// turns: the project file, or without one the first source. Both exist
// anyway, so the lock leaves no file behind.
FileLock lock_project(const ProjectState& project) {
  if (!project.project_file_path.empty()) {
    FileLock lock = FileLock::acquire(os_path(project.project_file_path));
    if (lock.held()) return lock;
  }
  // The project's own first source: definitions put in front of it are
  // shared by every project for that chip.
  const std::filesystem::path first =
      os_path(project.entries[std::min(project.leading_entries, project.entries.size() - 1)]);
  return FileLock::acquire(project.entry_directory.empty() ? first
                                                           : project.entry_directory / first);
}

// The project's sources, read and joined in list order.
Expected<SourceSet, JoinFailure> read_sources(const ProjectState& project) {
  Expected<JoinedSources, JoinFailure> joined =
      join_sources(project.entries, project.entry_directory);
  if (!joined) return std::move(joined).failure();
  return SourceSet{project.entries, std::move(*joined)};
}

// The names under which gpsim finds the sources from the debug file's folder.
std::vector<std::string> debug_source_names(const ProjectState& project,
                                            const std::filesystem::path& cod_path) {
  std::error_code ignored;
  const std::filesystem::path cod_folder =
      std::filesystem::absolute(cod_path, ignored).parent_path();
  std::vector<std::string> names;
  for (const std::string& entry : project.entries) {
    const std::filesystem::path source = std::filesystem::absolute(
        project.entry_directory.empty() ? os_path(entry) : project.entry_directory / os_path(entry),
        ignored);
    names.push_back(debug_source_name(source, cod_folder));
  }
  return names;
}

Expected<void> write_whole(AtomicFile& file, std::string_view bytes) {
  if (Expected<void> opened = file.open(); !opened) return opened;
  if (Expected<void> written = file.write(bytes); !written) return written;
  return file.close();
}

// The set checked and cleared of leftovers, then the intermediate file made
// from the records a block at a time.
Expected<void> prepare_and_write_object(OutputFiles& files, const RecordStore& records) {
  if (Expected<void> prepared = files.set().prepare(); !prepared) return prepared;
  AtomicFile& file = *files.file(OutputFile::object);
  if (Expected<void> opened = file.open(); !opened) return opened;
  try {
    // Each block is put on its way to the disk at once, so that putting the
    // file in place over an old one does not start all of it then.
    if (Expected<void> written = records.write_object([&file](std::string_view block) {
          Expected<void> taken = file.write(block);
          file.start_write_back();
          return taken;
        });
        !written) {
      return written;
    }
  } catch (const std::bad_alloc&) {
    return file.fail("out of memory", ENOMEM);
  }
  return file.close();
}

// Waits for the job on `worker` when it goes, however the scope is left.
class WaitOnExit {
 public:
  explicit WaitOnExit(BackgroundWorker& worker) : worker_(worker) {}
  ~WaitOnExit() { worker_.wait(); }
  WaitOnExit(const WaitOnExit&) = delete;
  WaitOnExit& operator=(const WaitOnExit&) = delete;

 private:
  BackgroundWorker& worker_;
};

// Every output after the .obj file, each whole to its temporary file, then
// all put in place.
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

AssemblyResult Assembler::assemble(const ProjectState& project, const AssemblyOptions& options) {
  AssemblyResult result;
  if (project.entries.empty()) return result;

  // Naming: the outputs' base, and the folder the window remembers.
  const std::string base =
      output_base_for_run(project, options.output_base_name, options.source_base_rule);
  result.output_base_name = base;
  if (!options.output_base_name && project.project_file_path.empty()) {
    result.last_directory = base;
    cut_to_directory(*result.last_directory);
  }

  // Reading the sources, under the project's lock until the outputs are in place.
  const FileLock project_lock = lock_project(project);
  Expected<SourceSet, JoinFailure> sources = read_sources(project);
  if (!sources) return stopped(std::move(result), sources.message(), texts::kFileErrorCaption);

  // Assembling, in memory; once pass 2 has kept the records, the .obj file
  // is written from them on the worker while pass 3 runs.
  OutputFiles files(base, options.output_directory, options.extra_outputs, options.files);
  Expected<void> object;
  ServiceOptions service_options;
  service_options.collect_facts = collect_facts_;
  service_options.definition_files = project.leading_entries;
  service_options.extra_outputs = options.extra_outputs;
  service_options.output_base = base;
  if (const AtomicFile* cod = files.file(OutputFile::debug_file)) {
    service_options.debug_stamp = debug_file_stamp(narrow_os_name(cod->target().filename()));
    service_options.debug_source_names = debug_source_names(project, cod->target());
  }
  service_options.records_ready = [this, &files, &object](const RecordStore& records) {
    worker_.start(
        [&files, &object, &records] { object = prepare_and_write_object(files, records); });
  };
  const WaitOnExit object_written(worker_);
  ServiceResult assembled = service_.assemble(std::move(*sources), service_options);
  if (assembled.outcome == ServiceOutcome::stopped) {
    result = stopped(std::move(result), assembled.message, texts::kErrorMessageCaption);
    result.diagnostics = std::move(assembled.diagnostics);
    return result;
  }
  result.record_count = assembled.records->size();
  worker_.wait();

  // Writing the other outputs, and putting the set in place all or nothing.
  const Expected<void> written = object ? write_outputs(files, assembled) : object;
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
  result.listing = std::move(assembled.listing);
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
