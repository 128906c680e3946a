#include "lsp/message_stream.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace korva::lsp {
namespace {

constexpr std::size_t kChunk = 65536;
constexpr std::string_view kLengthField = "content-length";

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool is_length_field(std::string_view name) {
  if (name.size() != kLengthField.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != kLengthField[i]) return false;
  }
  return true;
}

// The value of a Content-Length field: decimal digits only.
std::optional<std::size_t> length_value(std::string_view text) {
  text = trimmed(text);
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

// Where a Content-Length field begins in `text` (any letter case), or npos.
std::size_t find_length_field(std::string_view text, std::size_t from = 0) {
  for (std::size_t at = from; at + kLengthField.size() < text.size(); ++at) {
    if (is_length_field(text.substr(at, kLengthField.size())) &&
        text[at + kLengthField.size()] == ':') {
      return at;
    }
  }
  return std::string_view::npos;
}

// Where a whole header ("Content-Length: N", a line end, an empty line)
// begins inside a body, or npos. JSON holds no raw line end inside a string
// and no field name outside one, so in a body it can only be the next
// message, swallowed by a length counted too long.
std::size_t find_swallowed_header(std::string_view body) {
  // A body begins as its own message; a header at its very start is its text.
  for (std::size_t at = find_length_field(body, 1); at != std::string_view::npos;
       at = find_length_field(body, at + 1)) {
    const std::size_t line_end = body.find('\n', at);
    if (line_end == std::string_view::npos) return std::string_view::npos;
    const std::string_view value =
        body.substr(at + kLengthField.size() + 1, line_end - at - kLengthField.size() - 1);
    const std::string_view rest = body.substr(line_end + 1);
    if (length_value(value.ends_with('\r') ? value.substr(0, value.size() - 1) : value) &&
        (rest.starts_with("\r\n") || rest.starts_with("\n"))) {
      return at;
    }
  }
  return std::string_view::npos;
}

// Follows a body byte by byte to where the JSON object or array it begins
// with closes. A body is one such value; bytes after it within the length
// are the start of the next message, taken in by a length counted too long.
class JsonValueEnd {
 public:
  // One past the byte of `piece` that closes the value, or npos.
  std::size_t feed(std::string_view piece) {
    for (std::size_t at = 0; at < piece.size(); ++at) {
      if (state_ == State::closed || state_ == State::no_json) return std::string_view::npos;
      if (step(piece[at])) return at + 1;
    }
    return std::string_view::npos;
  }

 private:
  enum class State { before, inside, in_string, escaped, closed, no_json };

  // Whether `c` closes the value.
  bool step(char c) {
    switch (state_) {
      case State::before:
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return false;
        if (c != '{' && c != '[') {
          state_ = State::no_json;
          return false;
        }
        state_ = State::inside;
        depth_ = 1;
        return false;
      case State::inside:
        if (c == '"') {
          state_ = State::in_string;
        } else if (c == '{' || c == '[') {
          ++depth_;
        } else if ((c == '}' || c == ']') && --depth_ == 0) {
          state_ = State::closed;
          return true;
        }
        return false;
      case State::in_string:
        if (c == '\\') state_ = State::escaped;
        if (c == '"') state_ = State::inside;
        return false;
      case State::escaped:
        state_ = State::in_string;
        return false;
      case State::closed:
      case State::no_json:
        return false;
    }
    return false;
  }

  State state_ = State::before;
  std::size_t depth_ = 0;
};

}  // namespace

std::size_t MemorySource::read(char* buffer, std::size_t size) {
  const std::size_t count = std::min(size, bytes_.size());
  std::memcpy(buffer, bytes_.data(), count);
  bytes_.remove_prefix(count);
  return count;
}

std::size_t DescriptorSource::read(char* buffer, std::size_t size) {
  // What the pipe holds now, without waiting for a whole buffer.
  for (;;) {
#ifdef _WIN32
    const int count =
        ::_read(descriptor_, buffer, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
#else
    const ssize_t count = ::read(descriptor_, buffer, size);
#endif
    if (count > 0) return static_cast<std::size_t>(count);
    if (count < 0 && errno == EINTR) continue;
    return 0;
  }
}

bool MessageReader::fill() {
  if (ended_) return false;
  if (position_ > 0) {
    buffer_.erase(0, position_);
    position_ = 0;
  }
  char chunk[kChunk];
  const std::size_t count = source_.read(chunk, sizeof chunk);
  if (count == 0) {
    ended_ = true;
    return false;
  }
  buffer_.append(chunk, count);
  return true;
}

// A header line without its line end (LF, or CR LF); false at the end of the
// input before a whole line. Of a line longer than the limit the last bytes
// are kept: a header after the rest of a broken message ends such a line.
bool MessageReader::read_line(HeaderLine& line) {
  line = HeaderLine{};
  for (;;) {
    const std::size_t feed = buffer_.find('\n', position_);
    const std::size_t end = feed == std::string::npos ? buffer_.size() : feed;
    line.text.append(buffer_, position_, end - position_);
    if (line.text.size() > kHeaderLineLimit) {
      line.text.erase(0, line.text.size() - kHeaderLineLimit);
      line.too_long = true;
    }
    if (feed != std::string::npos) {
      position_ = feed + 1;
      if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
      return true;
    }
    position_ = buffer_.size();
    if (!fill()) return false;
  }
}

// Takes `size` bytes of the body (into `into`, or skips them); false when
// the input ends first. A body that is JSON ends where its value closes,
// even before `size` bytes: what follows is left for the next message, and
// a client that counted its length too long is not waited for.
bool MessageReader::take(std::size_t size, std::string* into) {
  JsonValueEnd value_end;
  std::size_t left = size;
  for (;;) {
    std::size_t piece = std::min(left, buffer_.size() - position_);
    const std::size_t closed = value_end.feed(std::string_view(buffer_).substr(position_, piece));
    if (closed != std::string_view::npos) {
      piece = closed;
      left = piece;
    }
    if (into != nullptr) into->append(buffer_, position_, piece);
    position_ += piece;
    left -= piece;
    if (left == 0) return true;
    if (!fill()) return false;
  }
}

Expected<std::string, ReadFailure> MessageReader::next() {
  std::optional<std::size_t> length;
  bool any_header = false;
  bool unreadable = false;
  HeaderLine line;
  for (;;) {
    if (!read_line(line)) {
      if (any_header || !trimmed(line.text).empty()) {
        return fail(ReadFailure::truncated, "the input ended inside a message header");
      }
      return fail(ReadFailure::end_of_input, "end of input");
    }
    // Blank lines between messages; white space after a body that its
    // length counted in comes here too.
    if (trimmed(line.text).empty() && !line.too_long) {
      if (any_header) break;
      continue;
    }
    // Bytes that are no header before a Content-Length field: the rest of a
    // body whose length was counted short, or a body after a header without
    // a length. They are skipped, and the next call reads from the field.
    if (const std::size_t field = find_length_field(line.text);
        field != std::string::npos && field > 0 && !any_header) {
      if (trimmed(std::string_view(line.text).substr(0, field)).empty()) {
        line.text.erase(0, field);
      } else {
        buffer_.insert(position_, line.text.substr(field) + "\n");
        return fail(ReadFailure::bad_header,
                    "bytes that were no message were skipped, up to the next Content-Length");
      }
    }
    any_header = true;
    const std::size_t colon = line.text.find(':');
    if (line.too_long || colon == std::string::npos) {
      unreadable = true;
      continue;
    }
    if (is_length_field(trimmed(std::string_view(line.text).substr(0, colon)))) {
      length = length_value(std::string_view(line.text).substr(colon + 1));
      if (!length) unreadable = true;
    }
  }
  if (unreadable || !length) {
    // With a length, the body is skipped too, so that the next message is
    // read from its header.
    if (length && !take(*length, nullptr)) {
      return fail(ReadFailure::truncated, "the input ended inside a message body");
    }
    return fail(ReadFailure::bad_header, "a message with an unreadable header was skipped");
  }
  if (*length > body_limit_) {
    if (!take(*length, nullptr)) {
      return fail(ReadFailure::truncated, "the input ended inside a message body");
    }
    return fail(ReadFailure::too_large, "a message of " + std::to_string(*length) +
                                            " bytes was skipped: the limit is " +
                                            std::to_string(body_limit_) + " bytes");
  }
  std::string body;
  body.reserve(*length);
  if (!take(*length, &body)) {
    // A length counted too long at the end of the input: the body may be
    // whole all the same.
    if (const std::size_t next = find_swallowed_header(body); next != std::string::npos) {
      buffer_.insert(position_, body.substr(next));
      body.resize(next);
      return body;
    }
    return fail(ReadFailure::truncated, "the input ended inside a message body");
  }
  // A length counted too long takes in the next message's header: the body
  // ends there, and the next message is read from it.
  if (const std::size_t next = find_swallowed_header(body); next != std::string::npos) {
    buffer_.insert(position_, body.substr(next));
    body.resize(next);
  }
  return body;
}

std::string framed(std::string_view body) {
  std::string message = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  message += body;
  return message;
}

}  // namespace korva::lsp
