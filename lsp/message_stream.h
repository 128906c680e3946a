// The base protocol of the language server: messages framed by a header
// ("Content-Length: N", CR LF, an empty line) and a body of N bytes of
// JSON. The reader takes whatever a client sends without crashing or
// hanging: a header it cannot read or a body too large is reported and
// skipped, and the next message is read after it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "support/expected.h"

namespace korva::lsp {

// Where the bytes of the messages come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes into `buffer`; 0 at the end of the input.
  virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

// Bytes held in memory (tests, the fuzzer).
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(char* buffer, std::size_t size) override;

 private:
  std::string_view bytes_;
};

// A file descriptor (standard input), read as the bytes come.
class DescriptorSource final : public ByteSource {
 public:
  explicit DescriptorSource(int descriptor) : descriptor_(descriptor) {}
  std::size_t read(char* buffer, std::size_t size) override;

 private:
  int descriptor_;
};

enum class ReadFailure {
  end_of_input,  // the input ended between two messages: the client is gone
  truncated,     // the input ended inside a message
  bad_header,    // a header without a readable Content-Length; skipped
  too_large,     // a body longer than the reader takes; skipped
};

class MessageReader {
 public:
  // Bodies up to this size are read; a 10 MB document, escaped as JSON,
  // fits with room to spare.
  static constexpr std::size_t kDefaultBodyLimit = std::size_t{128} << 20;
  static constexpr std::size_t kHeaderLineLimit = 8192;

  explicit MessageReader(ByteSource& source, std::size_t body_limit = kDefaultBodyLimit)
      : source_(source), body_limit_(body_limit) {}

  // The next message's body, or why there is none. After bad_header or
  // too_large the reader can go on; after end_of_input or truncated it
  // has nothing more to give.
  Expected<std::string, ReadFailure> next();
  // Whether bytes of a next message are already read in: then the client
  // has more queued, and work that only the latest state needs can wait.
  bool has_buffered() const { return position_ < buffer_.size(); }

 private:
  struct HeaderLine {
    std::string text;
    bool too_long = false;
  };
  bool fill();
  bool read_line(HeaderLine& line);
  bool take(std::size_t size, std::string* into);

  ByteSource& source_;
  std::size_t body_limit_;
  std::string buffer_;
  std::size_t position_ = 0;
  bool ended_ = false;
};

// The message with its header, ready to be written.
std::string framed(std::string_view body);

}  // namespace korva::lsp
