#include "driver/lines_ahead.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/hash_bytes.h"

namespace korva {
namespace {

// Reading ahead changes nothing of what is read: every line, the position
// before it and the position after it are those of the plain reader, up to
// the end and past it, with or without a table to hash the lines for.
TEST(LinesAhead, ReadsWhatThePlainReaderReads) {
  const std::string_view texts[] = {
      "",
      "\n",
      "one",
      "one\ntwo",
      "one\r\ntwo\r\n",
      "\tW+1>W\t; remark\n\n\n  (X)+1  \nend\nafter the end\n",
      "a\rb\n\r\n\r",
  };
  const RepeatedLines table(100);
  for (const std::string_view text : texts) {
    for (const RepeatedLines* repeated : {static_cast<const RepeatedLines*>(nullptr), &table}) {
      SCOPED_TRACE(testing::Message() << '"' << text << "\" hashed " << (repeated != nullptr));
      SourceReader plain;
      plain.reset(text);
      LinesAhead ahead(text, repeated);
      std::string expected = "start";
      std::string line = "start";
      // Two reads past the end, as the reader hands out "end" from then on.
      for (int past_end = 0; past_end < 2;) {
        ASSERT_EQ(ahead.position(), plain.position());
        const std::size_t plain_end = plain.read_line(expected);
        ASSERT_EQ(ahead.read_line(line), plain_end);
        ASSERT_EQ(line, expected);
        EXPECT_EQ(ahead.last_hash(), repeated != nullptr ? hash_bytes(line) : 0);
        if (plain_end == text.size() && plain.position() == text.size()) ++past_end;
      }
    }
  }
}

}  // namespace
}  // namespace korva
