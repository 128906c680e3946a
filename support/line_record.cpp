#include "support/line_record.h"

#include <ostream>

namespace korva {

static_assert(kStatementFieldSize + kLabelFieldSize + kRemarkFieldSize + kErrorFieldSize +
                  kPatternKeyFieldSize + kCodeFieldSize + 3 * kOperandFieldSize + kKindFieldSize +
                  kAddressFieldSize ==
              kRecordSize);

void print_field_text(std::ostream& out, std::string_view text) {
  out << text;
}

}  // namespace korva
