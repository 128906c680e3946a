// The message reader on what clients send, well or badly framed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lsp/message_stream.h"

namespace korva::lsp {
namespace {

// What the reader gives, message by message, until the input is done:
// a body as itself, a failure as "!" and its reason.
std::vector<std::string> read_all(std::string_view input, std::size_t limit = 1000) {
  MemorySource source(input);
  MessageReader reader(source, limit);
  std::vector<std::string> out;
  for (int guard = 0; guard < 100; ++guard) {
    Expected<std::string, ReadFailure> body = reader.next();
    if (body) {
      out.push_back(*body);
      continue;
    }
    switch (body.reason()) {
      case ReadFailure::end_of_input:
        return out;
      case ReadFailure::truncated:
        out.push_back("!truncated");
        return out;
      case ReadFailure::bad_header:
        out.push_back("!bad_header");
        break;
      case ReadFailure::too_large:
        out.push_back("!too_large");
        break;
    }
  }
  ADD_FAILURE() << "the reader never ended";
  return out;
}

struct ReaderCase {
  const char* name;
  std::string input;
  std::vector<std::string> expected;
};

TEST(MessageReader, FramesAsClientsSendThem) {
  const std::string big(1001, 'x');
  const ReaderCase cases[] = {
      {"two messages", "Content-Length: 2\r\n\r\n{}Content-Length: 3\r\n\r\n[1]", {"{}", "[1]"}},
      {"field name in any case, other fields",
       "content-length: 2\r\nContent-Type: application/vscode-jsonrpc; charset=utf-8\r\n\r\n{}",
       {"{}"}},
      {"line feeds without carriage returns", "Content-Length: 2\n\n{}", {"{}"}},
      {"blanks around the value", "Content-Length:   2  \r\n\r\n{}", {"{}"}},
      {"blank lines between messages", "\r\n\r\nContent-Length: 2\r\n\r\n{}\r\n", {"{}"}},
      {"an empty body", "Content-Length: 0\r\n\r\n", {""}},
      {"no length, then a good message",
       "Content-Type: x\r\n\r\nContent-Length: 2\r\n\r\n{}",
       {"!bad_header", "{}"}},
      {"a length that is no number",
       "Content-Length: 2x\r\n\r\nContent-Length: 1\r\n\r\n1",
       {"!bad_header", "1"}},
      {"a negative length",
       "Content-Length: -5\r\n\r\nContent-Length: 1\r\n\r\n1",
       {"!bad_header", "1"}},
      {"a header line without a colon", "garbage\r\nContent-Length: 1\r\n\r\n1", {"!bad_header"}},
      {"a header line longer than the limit",
       std::string(10000, 'a') + "\r\n\r\nContent-Length: 1\r\n\r\n1",
       {"!bad_header", "1"}},
      {"a body above the limit is skipped",
       "Content-Length: 1001\r\n\r\n" + big + "Content-Length: 2\r\n\r\n{}",
       {"!too_large", "{}"}},
      {"a length far beyond the input", "Content-Length: 99999999999\r\n\r\n{}", {"!too_large"}},
      {"a length far beyond the input, no JSON",
       "Content-Length: 99999999999\r\n\r\nab",
       {"!truncated"}},
      {"a length that overflows",
       "Content-Length: 999999999999999999999999\r\n\r\n{}",
       {"!bad_header", "!truncated"}},
      // The client waits for an answer: the body ends where its JSON closes.
      {"input ending in a body", "Content-Length: 10\r\n\r\n{}", {"{}"}},
      {"input ending in a body that is no JSON", "Content-Length: 10\r\n\r\nab", {"!truncated"}},
      {"input ending in an unclosed body", "Content-Length: 10\r\n\r\n{\"a\":", {"!truncated"}},
      {"input ending in a header", "Content-Length: 10\r\n", {"!truncated"}},
      {"no input", "", {}},
      {"a body holding header-like bytes",
       "Content-Length: 23\r\n\r\nContent-Length: 5\r\n\r\n{}",
       {"Content-Length: 5\r\n\r\n{}"}},
      // A length counted in characters for a body with 日本: the rest of the
      // body is skipped up to the next message.
      {"a length counted short",
       "Content-Length: 10\r\n\r\n{\"a\":\"\xE6\x97\xA5\xE6\x9C\xAC\"}Content-Length: 2\r\n\r\n{}",
       {"{\"a\":\"\xE6\x97\xA5\xE6", "!bad_header", "{}"}},
      {"a length counted long",
       "Content-Length: 30\r\n\r\n{}Content-Length: 2\r\n\r\n{}Content-Length: 3\r\n\r\n[1]",
       {"{}", "{}", "[1]"}},
      {"a length counted long by a few bytes, into the next header",
       "Content-Length: 5\r\n\r\n{}Content-Length: 2\r\n\r\n{}",
       {"{}", "{}"}},
      {"white space after a body, counted in its length",
       "Content-Length: 8\r\n\r\n{}\r\n \t Content-Length: 2\r\n\r\n{}",
       {"{}", "{}"}},
      {"a body above the limit, its length counted long",
       "Content-Length: 99999\r\n\r\n[\"" + big + "\"]Content-Length: 2\r\n\r\n{}",
       {"!too_large", "{}"}},
      {"an unreadable header before a JSON body counted long",
       "Content-Length: 50\r\nbroken\r\n\r\n{}Content-Length: 2\r\n\r\n{}",
       {"!bad_header", "{}"}},
      {"a length counted long at the end of the input",
       "Content-Length: 90\r\n\r\n{}Content-Length: 2\r\n\r\n{}",
       {"{}", "{}"}},
      {"no length, its body, then a good message",
       "Content-Type: x\r\n\r\n{\"id\":1}Content-Length: 2\r\n\r\n{}",
       {"!bad_header", "!bad_header", "{}"}},
      {"a long run of bytes that are no message",
       std::string(20000, 'x') + "Content-Length: 2\r\n\r\n{}",
       {"!bad_header", "{}"}},
  };
  for (const ReaderCase& c : cases) {
    EXPECT_EQ(read_all(c.input), c.expected) << c.name;
  }
}

TEST(MessageReader, ReadsBodiesThatArriveInPieces) {
  // A source that gives one byte at a time, as a slow pipe may.
  class Trickle final : public ByteSource {
   public:
    explicit Trickle(std::string_view bytes) : bytes_(bytes) {}
    std::size_t read(char* buffer, std::size_t size) override {
      if (bytes_.empty() || size == 0) return 0;
      buffer[0] = bytes_.front();
      bytes_.remove_prefix(1);
      return 1;
    }

   private:
    std::string_view bytes_;
  };
  const std::string body(70000, 'b');  // more than one read of the reader
  const std::string input = framed(body) + framed("{}");
  Trickle source(input);
  MessageReader reader(source);
  Expected<std::string, ReadFailure> first = reader.next();
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, body);
  Expected<std::string, ReadFailure> second = reader.next();
  ASSERT_TRUE(second);
  EXPECT_EQ(*second, "{}");
  EXPECT_EQ(reader.next().reason(), ReadFailure::end_of_input);
}

TEST(MessageReader, FramedMessagesReadBack) {
  // Brackets inside strings and escaped quotes do not close a body.
  const std::vector<std::string> bodies = {"{}",
                                           "",
                                           "{\"a\":\"\xE3\x81\x82\"}",
                                           "\r\n\r\n",
                                           R"({"a":"}]\"{\\"})",
                                           R"([{"b":[1,{}]},"]"])"};
  std::string input;
  for (const std::string& body : bodies) input += framed(body);
  EXPECT_EQ(read_all(input), bodies);
}

}  // namespace
}  // namespace korva::lsp
