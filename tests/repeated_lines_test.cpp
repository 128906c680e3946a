#include "driver/repeated_lines.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

#include "driver/record_store.h"

namespace korva {
namespace {

// What pass 2 made of line n: a record that tells which line it was.
struct Made {
  std::string shared;
  std::uint32_t words = 0;
  bool keeps_operands = false;
  bool ends_subroutine = false;
};

Made made_of(std::size_t n) {
  LineRecord record;
  record.statement = "W+" + std::to_string(n) + ">W";
  record.remark = n % 3 == 0 ? "; remark " + std::to_string(n) : "";
  record.pattern_key = "N073EADD ";
  record.code = "XXXX";
  record.operand1 = std::to_string(n);
  record.operand2 = "W";
  record.kind = "normal";
  char shared[RecordStore::kMostFieldBytes];
  const std::size_t size = RecordStore::shared_fields(record, shared);
  return Made{std::string(shared, size), static_cast<std::uint32_t>(n % 3), n % 4 == 0, n % 7 == 0};
}

std::string line_of(std::size_t n) {
  return "        W+" + std::to_string(n) + ">W" + (n % 3 == 0 ? " ; remark" : "");
}

// Checks a line found kept against what was made of line n; a number names
// the fields of one line only.
void expect_found_as_made(const RepeatedLines& lines, const RepeatedLines::Found& found,
                          std::size_t n, std::map<std::uint32_t, std::size_t>& line_of_number) {
  const Made made = made_of(n);
  EXPECT_EQ(lines.shared_fields(found.at), made.shared) << n;
  EXPECT_EQ(found.words, made.words) << n;
  EXPECT_EQ(found.keeps_operands, made.keeps_operands) << n;
  EXPECT_EQ(found.ends_subroutine, made.ends_subroutine) << n;
  EXPECT_EQ(found.same_as == 0, made.keeps_operands) << n;
  if (found.same_as != 0) {
    const auto [named, added] = line_of_number.emplace(found.same_as, n);
    EXPECT_EQ(named->second, n) << "number " << found.same_as << " names two lines";
  }
  // The record is given the fields, and the operands only when asked.
  LineRecord record;
  record.operand1 = "came in";
  lines.restore_fields(found.at, record);
  EXPECT_EQ(record.statement, "W+" + std::to_string(n) + ">W");
  EXPECT_EQ(record.operand1, "came in");
  lines.restore_operands(found.at, record);
  EXPECT_EQ(record.operand1, std::to_string(n));
}

// Lines come again and again, more than the table has room for, so that
// lines meet at one slot and all are forgotten now and then. A line is kept
// from its second coming on, as long as nothing pushed it out; whatever is
// found is the line's own, whole, and its number names its fields alone.
TEST(RepeatedLines, FindsEachLineKeptWithWhatWasMadeOfIt) {
  const struct {
    std::size_t program_lines;  // sizes the table
    std::size_t least_found;
  } tables[] = {
      {40000, 6000},  // 8 192 slots: room for most
      {8000, 50},     // 1 024 slots, 32 KiB: lines meet and are forgotten
  };
  for (const auto& table : tables) {
    SCOPED_TRACE(table.program_lines);
    RepeatedLines lines(table.program_lines);
    std::map<std::uint32_t, std::size_t> line_of_number;
    std::size_t found_count = 0;
    for (std::size_t lookup = 0; lookup < std::size_t{6} * 3000; ++lookup) {
      const std::size_t n = (lookup % 3000 * 7 + lookup / 3000) % 3000;
      const std::string line = line_of(n);
      if (const std::optional<RepeatedLines::Found> found = lines.find(line)) {
        ++found_count;
        expect_found_as_made(lines, *found, n, line_of_number);
        continue;
      }
      lines.note(line);
      const Made made = made_of(n);
      const std::uint32_t same_as =
          lines.remember(made.shared, made.words, made.keeps_operands, made.ends_subroutine);
      if (same_as != 0) {
        // Kept at once, under that number.
        const std::optional<RepeatedLines::Found> kept = lines.find(line);
        ASSERT_TRUE(kept) << line;
        EXPECT_EQ(kept->same_as, same_as) << line;
      }
    }
    EXPECT_GT(found_count, table.least_found);
  }
}

}  // namespace
}  // namespace korva
