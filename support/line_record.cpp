#include "support/line_record.h"

#include <ostream>

namespace korva {

static_assert(kStatementFieldSize + kLabelFieldSize + kRemarkFieldSize + kErrorFieldSize +
                  kPatternKeyFieldSize + kCodeFieldSize + 3 * kOperandFieldSize + kKindFieldSize +
                  kAddressFieldSize ==
              kRecordSize);

void encode_record(const LineRecord& record, RecordSlot bytes) {
  char* field = bytes.data();
  record.statement.store(field);
  record.label.store(field += kStatementFieldSize);
  record.remark.store(field += kLabelFieldSize);
  record.error.store(field += kRemarkFieldSize);
  record.pattern_key.store(field += kErrorFieldSize);
  record.code.store(field += kPatternKeyFieldSize);
  record.operand1.store(field += kCodeFieldSize);
  record.operand2.store(field += kOperandFieldSize);
  record.operand3.store(field += kOperandFieldSize);
  record.kind.store(field += kOperandFieldSize);
  record.address.store(field += kKindFieldSize);
}

void decode_record(RecordView bytes, LineRecord& record) {
  const char* field = bytes.data();
  record.statement.load(field);
  record.label.load(field += kStatementFieldSize);
  record.remark.load(field += kLabelFieldSize);
  record.error.load(field += kRemarkFieldSize);
  record.pattern_key.load(field += kErrorFieldSize);
  record.code.load(field += kPatternKeyFieldSize);
  record.operand1.load(field += kCodeFieldSize);
  record.operand2.load(field += kOperandFieldSize);
  record.operand3.load(field += kOperandFieldSize);
  record.kind.load(field += kOperandFieldSize);
  record.address.load(field += kKindFieldSize);
}

void print_field_text(std::ostream& out, std::string_view text) {
  out << text;
}

}  // namespace korva
