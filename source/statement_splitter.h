// Takes a line apart into remark, label and statement text, and the
// letter-case-blind text operations that the later stages use.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "support/line_record.h"
#include "support/text.h"

namespace korva {

// Which texts were longer than their record fields and so were cut.
struct SplitCuts {
  bool label = false;
  bool statement = false;
  bool remark = false;
};

// Fills the record's remark, label and statement text from the line, and
// leaves the line holding the collapsed statement text, uncut.
SplitCuts split_statement(std::string& line, LineRecord& record);

}  // namespace korva
