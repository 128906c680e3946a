// The journal of an output set's commit. Putting several files in place
// takes one rename each; a process killed between two of them (SIGKILL,
// a power cut of the process, not of the disk) would leave some targets
// new and some old. Before the first rename the set writes a journal that
// names, for every file, its complete temporary file, its target and the
// second name of the old target; the next set prepared in that folder
// finds a journal that no commit removed and finishes its renames, so the
// folder holds the whole new set again.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// Names the journal's file: "FIRST_TARGET.korva-commit-PID-N".
inline constexpr std::string_view kCommitMark = ".korva-commit-";

struct JournalEntry {
  std::filesystem::path temporary;  // the complete new file, under its name
  std::filesystem::path target;
  std::filesystem::path previous;  // the old target's second name; empty when none
};

// Writes the journal beside the first entry's target. All entries share
// one folder. Returns the journal's path, or an empty path when it could not
// be written: the commit then goes on without one, as it would have to on
// a file system that takes no new files.
std::filesystem::path write_commit_journal(const std::vector<JournalEntry>& entries);

// File names as the system spells them: bytes on POSIX, UTF-16 on Windows.
using NativeName = std::basic_string_view<std::filesystem::path::value_type>;

// Whether `name` is that of a journal: NAME + ".korva-commit-PID-N".
bool is_commit_journal(NativeName name);

// Finishes the commit whose journal a killed run left: every temporary file
// that it names and that is still there is renamed over its target, the
// old targets' second names go, and so does the journal. A journal that was
// not written to its end names a commit that had not begun, and only goes.
// The caller holds the folder's lock, which every running commit holds too.
void complete_interrupted_commit(const std::filesystem::path& journal);

// Whether `name` is a file that a run made for the file named `target_name`
// under `mark`: TARGET_NAME + MARK + "PID-N".
bool is_marked_name_of(NativeName name, NativeName target_name, std::string_view mark);

}  // namespace korva
