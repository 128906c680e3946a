// What the diagnostics say beyond the listing's short error text: each
// explanation, hint and note once, by what it explains. A text names the
// values of its diagnostic as {1}, {2} and {3}.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace korva {

enum class Explanation : unsigned char {
  // A statement or directive.
  unknown_statement,
  macro_unended,
  number_missing,
  symbol_not_number,
  not_a_number,
  foreign_hex,
  foreign_binary,
  foreign_character,
  raw_data_size,
  origin_behind,
  // A jump or call.
  jump_target_without_value,
  jump_target_local,
  jump_target_subroutine,
  jump_target_undefined,
  subroutine_without_address,
  // A register, literal or bit operation.
  register_only,
  literal_only,
  result_in_w_only,
  destination_m_is_symbol,
  destination_not_letter,
  neither_number_nor_register,
  bit_number_out_of_range,
  bit_number_value_out_of_range,
  bit_number_register,
  not_a_register,
  // The enhanced core's forms.
  fsr_not_named,
  number_out_of_range,
  value_out_of_range,
  branch_out_of_reach,
  enhanced_form_on_classic_chip,
  enhanced_form_without_chip,
  // A term of an operand without a value.
  term_missing,
  term_with_blank,
  term_destination_letter,
  term_without_value,
  term_local_label,
  term_subroutine,
  term_undefined,
  // Macros and the symbol table.
  macro_nests_too_deep,
  macro_expands_too_far,
  subroutine_twice,
  label_twice,
  too_many_symbols,
  macro_name_too_long,
  too_many_macros,
  // Notes.
  defined_here,
  first_defined_here,
  expanded_from_call,
};

enum class Hint : unsigned char {
  none,
  subroutine_letter_case,
  close_macro,
  write_hex_digits,
  write_binary_in_hex,
  write_character_code,
  make_label_global,
  call_by_name,
  register_in_parentheses,
  value_without_parentheses,
  destination_w,
  destination_f,
  bit_number_without_parentheses,
  operand_without_blanks,
  name_enhanced_chip,
};

// The text of an explanation or hint with its values filled in.
std::string explanation_text(Explanation explanation,
                             std::initializer_list<std::string_view> values = {});
std::string hint_text(Hint hint, std::initializer_list<std::string_view> values = {});

// The text of an entry as the table holds it, with its places for values.
std::string_view explanation_pattern(Explanation explanation);
std::string_view hint_pattern(Hint hint);

}  // namespace korva
