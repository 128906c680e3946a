#include "system/commit_journal.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <system_error>

#include "system/file_io.h"
#include "system/file_system.h"

namespace korva {
namespace {

namespace sys = file_system;

constexpr std::string_view kJournalEnd = "end\n";

// "PID-N": the part of a marked name after its mark.
bool is_process_and_attempt(NativeName text) {
  const std::size_t dash = text.find('-');
  if (dash == 0 || dash == NativeName::npos || dash + 1 == text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != dash && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

bool starts_with_mark(NativeName text, std::string_view mark) {
  return text.size() >= mark.size() && std::equal(mark.begin(), mark.end(), text.begin());
}

// A journal holds file names without their folder, as UTF-8.
std::string journal_name(const std::filesystem::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

std::filesystem::path name_from_journal(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string journal_text(const std::vector<JournalEntry>& entries) {
  std::string text;
  for (const JournalEntry& entry : entries) {
    text += journal_name(entry.temporary) + '\t' + journal_name(entry.target) + '\t' +
            (entry.previous.empty() ? std::string() : journal_name(entry.previous)) + '\n';
  }
  text += kJournalEnd;
  return text;
}

bool write_all(const sys::SystemFile& file, std::string_view bytes) {
  while (!bytes.empty()) {
    const sys::Transfer written = sys::write_some(file, bytes.data(), bytes.size());
    if (written.error != 0 || written.count == 0) return false;
    bytes.remove_prefix(written.count);
  }
  return true;
}

// A name in a journal must be a plain file name in the journal's folder.
bool is_plain_name(std::string_view text) {
  return !text.empty() && text != "." && text != ".." &&
         text.find_first_of("/\\") == std::string_view::npos;
}

// One line of a journal: the temporary file, its target and the old
// target's second name, each checked to be what a commit would have named,
// so that a journal cannot rename anything else.
struct JournalLine {
  std::filesystem::path temporary, target, previous;
};

std::optional<JournalLine> parse_line(std::string_view line) {
  const std::size_t first_tab = line.find('\t');
  if (first_tab == std::string_view::npos) return std::nullopt;
  const std::size_t second_tab = line.find('\t', first_tab + 1);
  if (second_tab == std::string_view::npos) return std::nullopt;
  const std::string_view temporary = line.substr(0, first_tab);
  const std::string_view target = line.substr(first_tab + 1, second_tab - first_tab - 1);
  const std::string_view previous = line.substr(second_tab + 1);
  if (!is_plain_name(temporary) || !is_plain_name(target)) return std::nullopt;
  if (!previous.empty() && !is_plain_name(previous)) return std::nullopt;
  JournalLine parsed{name_from_journal(temporary), name_from_journal(target),
                     name_from_journal(previous)};
  if (!is_marked_name_of(parsed.temporary.native(), parsed.target.native(), kTemporaryMark)) {
    return std::nullopt;
  }
  if (!previous.empty() &&
      !is_marked_name_of(parsed.previous.native(), parsed.target.native(), kPreviousMark)) {
    return std::nullopt;
  }
  return parsed;
}

std::vector<JournalLine> parse_journal(std::string_view text) {
  std::vector<JournalLine> lines;
  if (text.size() < kJournalEnd.size() || !text.ends_with(kJournalEnd)) return lines;
  text.remove_suffix(kJournalEnd.size());
  if (!text.empty() && text.back() != '\n') return lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::optional<JournalLine> line = parse_line(text.substr(0, end));
    if (!line) return {};
    lines.push_back(*line);
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace

bool is_marked_name_of(NativeName name, NativeName target_name, std::string_view mark) {
  if (name.substr(0, target_name.size()) != target_name) return false;
  const NativeName rest = name.substr(target_name.size());
  return starts_with_mark(rest, mark) && is_process_and_attempt(rest.substr(mark.size()));
}

std::filesystem::path write_commit_journal(const std::vector<JournalEntry>& entries) {
  if (entries.empty()) return {};
  const std::string text = journal_text(entries);
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::filesystem::path name = temporary_name(entries.front().target, kCommitMark, attempt);
    sys::Opened created = sys::create_new(name);
    if (created.error == EEXIST) continue;
    if (created.error != 0) return {};
    const bool written = write_all(created.file, text);
    created.file.close();
    if (written) return name;
    sys::remove(name);
    return {};
  }
  return {};
}

void complete_interrupted_commit(const std::filesystem::path& journal) {
  const std::filesystem::path folder = journal.parent_path();
  const FileContents contents = read_whole_file(journal);
  if (contents) {
    for (const JournalLine& line : parse_journal(*contents)) {
      const std::filesystem::path temporary = folder / line.temporary;
      if (!sys::is_regular_entry(temporary)) {
        // Put in place already.
      } else if (!line.previous.empty() && sys::same_entry(temporary, folder / line.previous)) {
        // Put in place by exchanging names: the old file is left under the
        // temporary name.
        sys::remove(temporary);
      } else {
        sys::replace(temporary, folder / line.target);
      }
      if (!line.previous.empty()) sys::remove(folder / line.previous);
    }
  }
  sys::remove(journal);
}

// "NAME.korva-commit-PID-N": the mark may stand anywhere after a first
// character, since the target's own name may hold dots.
bool is_commit_journal(NativeName name) {
  for (std::size_t at = 1; at < name.size(); ++at) {
    const NativeName rest = name.substr(at);
    if (starts_with_mark(rest, kCommitMark) &&
        is_process_and_attempt(rest.substr(kCommitMark.size()))) {
      return true;
    }
  }
  return false;
}

}  // namespace korva
