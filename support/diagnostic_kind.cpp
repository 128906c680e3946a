#include "support/diagnostic_kind.h"

#include "resources/error_texts.h"
#include "resources/system_texts.h"

namespace korva {
namespace {

struct ErrorText {
  std::string_view text;
  DiagnosticKind kind;
};

// Every error text that a stage writes into a record.
constexpr ErrorText kErrorTexts[] = {
    {texts::kGrammarError, DiagnosticKind::grammar_error},
    {texts::kSyntaxError, DiagnosticKind::unmatched},
    {texts::kDataByteError, DiagnosticKind::data_byte_error},
    {texts::kRawDataError, DiagnosticKind::raw_data_error},
    {texts::kOriginError, DiagnosticKind::origin_error},
    {texts::kConstantError, DiagnosticKind::constant_error},
    {texts::kRamError, DiagnosticKind::ram_error},
    {texts::kReservationError, DiagnosticKind::reservation_error},
    {texts::kJumpError, DiagnosticKind::jump_error},
    {texts::kCallError, DiagnosticKind::call_error},
    {texts::kOperationError, DiagnosticKind::operation_error},
    {texts::kBitError, DiagnosticKind::bit_error},
    {texts::kMacroNestError, DiagnosticKind::macro_nest_error},
    {texts::kMacroSizeError, DiagnosticKind::macro_size_error},
    {texts::kGrammarError, DiagnosticKind::macro_unended},
    {texts::kDuplicateLabel, DiagnosticKind::duplicate_label},
    {texts::kDuplicateSub, DiagnosticKind::duplicate_subroutine},
    {texts::kTooManySymbols, DiagnosticKind::too_many_symbols},
    {texts::kMacroNameTooLong, DiagnosticKind::macro_name_too_long},
    {texts::kTooManyMacros, DiagnosticKind::too_many_macros},
};
}  // namespace

Severity severity_of(DiagnosticKind kind) {
  return kind < DiagnosticKind::data_byte_cut ? Severity::error : Severity::warning;
}

std::string_view error_text(DiagnosticKind kind) {
  for (const ErrorText& known : kErrorTexts) {
    if (known.kind == kind) return known.text;
  }
  return {};
}

std::optional<DiagnosticKind> error_kind(std::string_view error_text) {
  for (const ErrorText& known : kErrorTexts) {
    if (known.text == error_text) return known.kind;
  }
  return std::nullopt;
}

}  // namespace korva
