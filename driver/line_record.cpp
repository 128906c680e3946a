#include "driver/line_record.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace korva {
namespace {

// The stored fields in file order, each with its size.
template <typename Record>
auto fields_of(Record& record) {
  using Field = std::pair<decltype(&record.statement), std::size_t>;
  return std::array<Field, 11>{{{&record.statement, kStatementFieldSize},
                                {&record.label, kLabelFieldSize},
                                {&record.remark, kRemarkFieldSize},
                                {&record.error, kErrorFieldSize},
                                {&record.pattern_key, kPatternKeyFieldSize},
                                {&record.code, kCodeFieldSize},
                                {&record.operand1, kOperandFieldSize},
                                {&record.operand2, kOperandFieldSize},
                                {&record.operand3, kOperandFieldSize},
                                {&record.kind, kKindFieldSize},
                                {&record.address, kAddressFieldSize}}};
}

}  // namespace

void encode_record(const LineRecord& record, RecordSlot bytes) {
  std::memset(bytes.data(), 0, bytes.size());
  std::size_t offset = 0;
  for (const auto& [text, size] : fields_of(record)) {
    const std::size_t length = std::min(text->size(), size - 1);
    std::memcpy(bytes.data() + offset, text->data(), length);
    offset += size;
  }
}

void decode_record(RecordView bytes, LineRecord& record) {
  std::size_t offset = 0;
  for (const auto& [text, size] : fields_of(record)) {
    const char* field = bytes.data() + offset;
    const void* zero = std::memchr(field, '\0', size);
    text->assign(field, zero != nullptr ? static_cast<const char*>(zero) : field + size);
    offset += size;
  }
}

}  // namespace korva
