#include "driver/explanations.h"

#include <array>
#include <cstddef>

namespace korva {
namespace {

template <typename Key>
struct Entry {
  Key key;
  std::string_view text;
};

constexpr std::string_view kNoValueYet =
    "is defined but has no value: no assembled line gave it one (it stands in a macro body "
    "that is never expanded, or on the call of a macro that expands to nothing)";

// In the order of the enumeration; the test of the table checks it.
constexpr Entry<Explanation> kExplanations[] = {
    {Explanation::unknown_statement,
     "{1} fits no form of the notation, and no subroutine has that name"},
    {Explanation::macro_unended,
     "the macro's definition runs to the end of the source without END MACRO"},
    {Explanation::number_missing, "{1} needs a number"},
    {Explanation::symbol_not_number,
     "{1} takes a number: {2} is a symbol, and symbols are not evaluated here"},
    {Explanation::not_a_number,
     "{1} is not a number in any notation (decimal 31, $1F, 1Fh or H'1F')"},
    {Explanation::foreign_hex,
     "{1} is no number here: the 0x form is not a notation of this assembler"},
    {Explanation::foreign_binary,
     "{1} is no number here: binary numbers are not a notation of this assembler"},
    {Explanation::foreign_character,
     "{1} is no number here: character literals are not a notation of this assembler"},
    {Explanation::raw_data_size,
     "a data line holds 2, 4, 6 or 8 hexadecimal digits, and {1} has {2}"},
    {Explanation::origin_behind,
     "ORG {1} ({2}) lies below the address the program has already reached: the location "
     "counter cannot go back"},
    {Explanation::jump_target_without_value, "the jump target {1} {no value}"},
    {Explanation::jump_target_local,
     "the jump target {1} is a local label of {2}, out of reach here"},
    {Explanation::jump_target_subroutine, "the jump target {1} is a subroutine, not a label"},
    {Explanation::jump_target_undefined, "the jump target {1} is not defined"},
    {Explanation::subroutine_without_address,
     "the subroutine {1} has no address: no assembled line gave it one (it stands in a macro "
     "body that is never expanded)"},
    {Explanation::register_only, "{1} takes a register, and {2} is a literal"},
    {Explanation::literal_only, "{1} takes a literal, and {2} is a register"},
    {Explanation::result_in_w_only, "{1} puts its result in W only, and the destination is {2}"},
    {Explanation::destination_m_is_symbol,
     "M is defined as a symbol, so it no longer reads as the destination letter"},
    {Explanation::destination_not_letter, "the destination {1} is not W, F or M"},
    {Explanation::neither_number_nor_register, "{1} is neither a number nor a register"},
    {Explanation::bit_number_out_of_range, "the bit number {1} is not 0 to 7"},
    {Explanation::bit_number_value_out_of_range, "the bit number {1} is {2}, not 0 to 7"},
    {Explanation::bit_number_register,
     "the bit number {1} is written as a register, and a bit number is 0 to 7"},
    {Explanation::not_a_register, "{1} is not a register"},
    {Explanation::fsr_not_named, "{1} takes FSR0 or FSR1, and {2} is neither"},
    {Explanation::number_out_of_range, "{1} takes {2} from {3} to {4}: {5} is outside"},
    {Explanation::value_out_of_range, "{1} takes {2} from {3} to {4}: {5} is {6}, outside"},
    {Explanation::branch_out_of_reach,
     "the jump target {1} is {2} words from the word after the BRA, which reaches -256 to 255"},
    {Explanation::enhanced_form_on_classic_chip,
     "{1} is {2}, an instruction of the enhanced mid-range core, and the {3} has the classic "
     "core"},
    {Explanation::enhanced_form_without_chip,
     "{1} is {2}, an instruction of the enhanced mid-range core, and the project names no chip, "
     "so the classic forms apply"},
    {Explanation::term_missing, "an operator in {1} has no term after it"},
    {Explanation::term_with_blank,
     "the blank beside {1} makes the term {2} unknown: an operand is evaluated without blanks"},
    {Explanation::term_destination_letter,
     "{1} is a destination letter, not a register or a value"},
    {Explanation::term_without_value, "{1} {no value}"},
    {Explanation::term_local_label,
     "{1} is a local label of {2}; an operand takes only global labels and constants"},
    {Explanation::term_subroutine, "{1} is a subroutine, which has no value in an operand"},
    {Explanation::term_undefined, "{1} is not defined"},
    {Explanation::macro_nests_too_deep,
     "the call of macro {1} nests deeper than {2} macro calls (does it call itself?)"},
    {Explanation::macro_expands_too_far,
     "the call of macro {1} would expand the program beyond {2} lines"},
    {Explanation::subroutine_twice, "the subroutine {1} is defined twice"},
    {Explanation::label_twice, "the label {1} is defined twice in {2}"},
    {Explanation::too_many_symbols,
     "the program defines more than {1} labels, constants and subroutines"},
    {Explanation::macro_name_too_long,
     "the macro name {1} has {2} characters; at most {3} are allowed"},
    {Explanation::too_many_macros, "the program defines more than {1} macros; {2} is one too many"},
    {Explanation::defined_here, "{1} is defined here"},
    {Explanation::first_defined_here, "first defined here"},
    {Explanation::expanded_from_call, "in the expansion of the macro {1} called here"},
};

constexpr Entry<Hint> kHints[] = {
    {Hint::none, ""},
    {Hint::subroutine_letter_case, "the subroutine is named {1} (letter case counts)"},
    {Hint::close_macro, "close the definition with END MACRO"},
    {Hint::write_hex_digits, "write ${1} or {1}h"},
    {Hint::write_binary_in_hex, "write the value in hexadecimal, $NN or NNh"},
    {Hint::write_character_code, "write the character's code, ${1}"},
    {Hint::make_label_global, "write the label with two colons ({1}::) to make it global"},
    {Hint::call_by_name, "call the subroutine by writing its name as the statement"},
    {Hint::register_in_parentheses, "write the register in parentheses: ({1})"},
    {Hint::value_without_parentheses, "write the value without parentheses"},
    {Hint::destination_w, "write W as the destination"},
    {Hint::destination_f, "write F as the destination"},
    {Hint::bit_number_without_parentheses, "write the bit number without parentheses"},
    {Hint::operand_without_blanks, "write the operand without blanks around its operators"},
    {Hint::name_enhanced_chip,
     "name an enhanced chip (PIC12F1 or PIC16F1): put its file first in the project, or "
     "assemble with --chip"},
};

template <typename Key, std::size_t Size>
std::string_view pattern_of(const Entry<Key> (&table)[Size], Key key) {
  const auto index = static_cast<std::size_t>(key);
  return index < Size && table[index].key == key ? table[index].text : std::string_view();
}

// The pattern with {1}, {2} … replaced by the values and {no value} by the
// words about a symbol that never received one.
std::string filled(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string text;
  text.reserve(pattern.size() + 32);
  for (std::size_t at = 0; at < pattern.size();) {
    const std::size_t open = pattern.find('{', at);
    if (open == std::string_view::npos) {
      text += pattern.substr(at);
      break;
    }
    text += pattern.substr(at, open - at);
    const std::size_t close = pattern.find('}', open);
    if (close == std::string_view::npos) {
      text += pattern.substr(open);
      break;
    }
    const std::string_view place = pattern.substr(open + 1, close - open - 1);
    if (place == "no value") {
      text += kNoValueYet;
    } else if (place.size() == 1 && place[0] >= '1' &&
               static_cast<std::size_t>(place[0] - '1') < values.size()) {
      text += values.begin()[place[0] - '1'];
    }
    at = close + 1;
  }
  return text;
}

}  // namespace

std::string_view explanation_pattern(Explanation explanation) {
  return pattern_of(kExplanations, explanation);
}

std::string_view hint_pattern(Hint hint) {
  return pattern_of(kHints, hint);
}

std::string explanation_text(Explanation explanation,
                             std::initializer_list<std::string_view> values) {
  return filled(explanation_pattern(explanation), values);
}

std::string hint_text(Hint hint, std::initializer_list<std::string_view> values) {
  return filled(hint_pattern(hint), values);
}

}  // namespace korva
