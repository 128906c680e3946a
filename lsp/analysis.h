// One assembly of a project in memory, as the editor's features read it:
// the service's diagnostics and facts, and from them and the sources the
// names of the program (where each is defined and used, with its kind,
// value and scope), the SUB and MACRO blocks, and the words of each line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/assembly_service.h"
#include "lsp/chip_model.h"
#include "lsp/project_model.h"
#include "lsp/source_text.h"

namespace korva::lsp {

// A stretch of a source line: the source's place in the plan, the line
// (from 0) and the CP932 byte column (from 0) and length.
struct Place {
  std::size_t file = 0;
  std::size_t line = 0;
  std::size_t column = 0;
  std::size_t length = 0;
  friend bool operator==(const Place&, const Place&) = default;
};

enum class NameKind { global_label, local_label, subroutine, constant, reservation, macro };

std::string_view kind_text(NameKind kind);

struct NameDefinition {
  std::string name;  // CP932, without colons
  NameKind kind = NameKind::global_label;
  std::string scope;  // the subroutine of a local label
  Place at;
  std::optional<std::uint32_t> value;
  std::optional<std::uint32_t> size;  // bytes of a reservation, words of a subroutine
};

struct NameUse {
  std::string name;
  Place at;
};

struct Block {
  NameKind kind = NameKind::subroutine;  // subroutine or macro
  std::string name;
  std::size_t file = 0;
  std::size_t first_line = 0;
  std::size_t last_line = 0;  // the END line; the last line of the file while open
};

struct PlacedWord {
  std::uint32_t address = 0;
  std::uint32_t word = 0;
};

class ProjectAnalysis {
 public:
  ProjectAnalysis(ProjectPlan plan, std::vector<SourceText> texts);
  // The same, with an error about the project on the plan's last file: a
  // source of the project that cannot be read, while this file is checked
  // alone.
  ProjectAnalysis(ProjectPlan plan, std::vector<SourceText> texts, std::string problem);

  const ProjectPlan& plan() const { return plan_; }
  const std::vector<SourceText>& texts() const { return texts_; }
  const ServiceResult& result() const { return result_; }
  const std::vector<NameDefinition>& definitions() const { return definitions_; }
  const std::vector<NameUse>& uses() const { return uses_; }
  const std::vector<Block>& blocks() const { return blocks_; }
  const std::optional<ChipFile>& chip() const { return chip_; }

  // The file index of a diagnostic's place in the plan.
  std::size_t file_of(const SourceLocation& where) const;

  // The name at a place of a line, if any: its text and its place.
  std::optional<NameUse> name_at(std::size_t file, std::size_t line, std::size_t column) const;
  // The definition that a use of `name` at that line means: a local label of
  // the line's subroutine before a global name.
  const NameDefinition* resolve(std::string_view name, std::size_t file, std::size_t line) const;
  // Every place (definitions and uses) that means `definition`.
  std::vector<Place> occurrences(const NameDefinition& definition) const;
  // The subroutine whose block holds the line; empty outside.
  std::string scope_at(std::size_t file, std::size_t line) const;
  // The words that the line wrote.
  std::vector<PlacedWord> words_at(std::size_t file, std::size_t line) const;
  // Whether a source is a chip's definitions.
  bool is_definition_file(std::size_t file) const { return file < plan_.definition_files; }

 private:
  void collect_definitions();
  void collect_blocks_and_calls();
  void collect_bit_uses();

  ProjectPlan plan_;
  std::vector<SourceText> texts_;
  ServiceResult result_;
  std::vector<NameDefinition> definitions_;
  std::vector<NameUse> uses_;
  std::vector<Block> blocks_;
  std::optional<ChipFile> chip_;
};

}  // namespace korva::lsp
