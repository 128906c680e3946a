// The text of one line-record field, held in place like the field it is
// stored in: at most Capacity characters (the size of the stored field),
// followed by zero bytes to the end of its buffer. Because the bytes behind
// the text are always zero, a field goes to and comes from its stored form
// as a fixed block of bytes, and giving it a new text costs a copy, not an
// allocation. It reads like the std::string it replaces; a text longer than
// the capacity is cut.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace korva {

template <std::size_t Capacity>
class FieldText {
  static_assert(Capacity > 0 && Capacity < 256, "the size is kept in one byte");

 public:
  static constexpr std::size_t npos = std::string_view::npos;

  FieldText() = default;
  FieldText(std::string_view text) { assign(text); }  // NOLINT: reads like a std::string
  FieldText(const char* text) : FieldText(std::string_view(text)) {}         // NOLINT
  FieldText(const std::string& text) : FieldText(std::string_view(text)) {}  // NOLINT

  FieldText& operator=(std::string_view text) {
    assign(text);
    return *this;
  }
  FieldText& operator=(const char* text) { return *this = std::string_view(text); }
  FieldText& operator=(const std::string& text) { return *this = std::string_view(text); }
  template <std::size_t Other>
  FieldText& operator=(const FieldText<Other>& text) {
    return *this = text.view();
  }

  // The text may lie in this field's own buffer.
  void assign(std::string_view text) {
    const std::size_t size = std::min(text.size(), Capacity);
    if constexpr (Capacity > 16) {
      if (size > 16) {
        assign_long(text.data(), size);
        return;
      }
    }
    assign_short(text.data(), size);
  }
  void clear() {
    clear_buffer();
    size_ = 0;
  }
  // Shortens the text, or lengthens it with `fill`, within the capacity.
  void resize(std::size_t size, char fill = '\0') {
    size = std::min(size, Capacity);
    if (size > size_) std::memset(text_ + size_, fill, size - size_);
    zero_from(size);
    size_ = static_cast<std::uint8_t>(size);
  }
  void push_back(char c) {
    if (size_ < Capacity) text_[size_++] = c;
  }
  void pop_back() { text_[--size_] = '\0'; }
  FieldText& append(std::string_view text) {
    const std::size_t added = std::min(text.size(), Capacity - size_);
    if (added > 0) std::memmove(text_ + size_, text.data(), added);
    size_ = static_cast<std::uint8_t>(size_ + added);
    return *this;
  }
  FieldText& operator+=(std::string_view text) { return append(text); }
  FieldText& operator+=(char c) {
    push_back(c);
    return *this;
  }

  static constexpr std::size_t capacity() { return Capacity; }
  std::size_t size() const { return size_; }
  std::size_t length() const { return size_; }
  bool empty() const { return size_ == 0; }
  const char* data() const { return text_; }
  char* data() { return text_; }
  const char* c_str() const { return text_; }
  const char* begin() const { return text_; }
  const char* end() const { return text_ + size_; }
  char* begin() { return text_; }
  char* end() { return text_ + size_; }
  char operator[](std::size_t i) const { return text_[i]; }
  char& operator[](std::size_t i) { return text_[i]; }
  char front() const { return text_[0]; }
  char back() const { return text_[size_ - 1]; }

  std::string_view view() const { return std::string_view(text_, size_); }
  // The size of the whole buffer behind data(): the text, then zero bytes,
  // in all a multiple of 8. Copying all of it is a few fixed moves where
  // copying just the text is a call.
  static constexpr std::size_t padded_size() { return kBufferSize; }
  operator std::string_view() const { return view(); }          // NOLINT: reads like a std::string
  operator std::string() const { return std::string(view()); }  // NOLINT

  std::string substr(std::size_t position, std::size_t count = npos) const {
    return std::string(view().substr(position, count));
  }
  std::size_t find(std::string_view text, std::size_t position = 0) const {
    return view().find(text, position);
  }
  std::size_t find(char c, std::size_t position = 0) const { return view().find(c, position); }

  // Mixes the text into `hash`, a word at a time, for memos keyed by texts.
  std::uint64_t hash_into(std::uint64_t hash) const {
    hash = (hash ^ size_) * 0x9E3779B97F4A7C15;
    for (std::size_t at = 0; at < size_; at += 8) {
      hash = (hash ^ word_at(at)) * 0x9E3779B97F4A7C15;
      hash ^= hash >> 29;
    }
    return hash;
  }

  // The stored form, in a field of Capacity bytes: the text cut to
  // Capacity - 1 bytes, and zero bytes behind it.
  void store(char* field) const {
    std::memcpy(field, text_, Capacity);
    field[Capacity - 1] = '\0';
  }
  // Reads the stored form: the text ends at the first zero byte of the
  // field, or at its end; whatever stands behind the zero is not kept.
  void load(const char* field) {
    std::memcpy(text_, field, Capacity);
    std::size_t size = Capacity;
    if (!find_end_clean(size)) std::memset(text_ + size, 0, Capacity - size);
    size_ = static_cast<std::uint8_t>(size);
  }

  // One comparison for other texts, and one for fields, which are texts too
  // (a template, so that no text is turned into a field to compare it).
  friend bool operator==(const FieldText& a, std::string_view b) { return a.view() == b; }
  template <std::size_t Other>
  friend bool operator==(const FieldText& a, const FieldText<Other>& b) {
    return a.view() == b.view();
  }

  friend std::string operator+(const FieldText& a, std::string_view b) {
    std::string sum(a.view());
    sum += b;
    return sum;
  }
  friend std::string operator+(std::string_view a, const FieldText& b) {
    std::string sum(a);
    sum += b.view();
    return sum;
  }
  template <std::size_t Other>
  friend std::string operator+(const FieldText& a, const FieldText<Other>& b) {
    return a + b.view();
  }

 private:
  // The buffer is whole 8-byte words, so that it can be read a word at a
  // time; the bytes from Capacity on are always zero.
  static constexpr std::size_t kBufferSize = (Capacity + 1 + 7) / 8 * 8;
  static constexpr bool kLittleEndian = std::endian::native == std::endian::little;

  std::uint64_t word_at(std::size_t at) const {
    std::uint64_t word;
    std::memcpy(&word, text_ + at, sizeof word);
    return word;
  }

  // Sets `size` to where the first zero byte of the buffer is, and tells
  // whether every byte behind it is zero too, as in every field this
  // program stores. Looks at whole words, the first zero usually in the
  // first or second.
  bool find_end_clean(std::size_t& size) const {
    if constexpr (kLittleEndian) {
      constexpr std::uint64_t kOnes = 0x0101010101010101;
      constexpr std::uint64_t kHighs = 0x8080808080808080;
      std::size_t at = 0;
      std::uint64_t word = word_at(0);
      std::uint64_t zeros = (word - kOnes) & ~word & kHighs;
      while (zeros == 0) {
        // The buffer's last byte is zero, so this ends inside it.
        at += 8;
        word = word_at(at);
        zeros = (word - kOnes) & ~word & kHighs;
      }
      const std::size_t in_word = static_cast<std::size_t>(std::countr_zero(zeros)) / 8;
      size = std::min(at + in_word, Capacity);
      std::uint64_t behind = in_word == 0 ? word : word & (~std::uint64_t{0} << (8 * in_word));
      for (at += 8; at < kBufferSize; at += 8) behind |= word_at(at);
      return behind == 0;
    } else {
      size = static_cast<std::size_t>(std::find(text_, text_ + Capacity, '\0') - text_);
      return std::all_of(text_ + size, text_ + Capacity, [](char c) { return c == '\0'; });
    }
  }

  // Zeroes the whole buffer in a fixed number of word stores, which the
  // compiler unrolls (a memset of this size may become a string
  // instruction, slow to start).
  // A text of at most 16 bytes, as most of a record's are, without a call:
  // read whole before the buffer is cleared (it may lie in the buffer),
  // then written back, in words that overlap where the size is not a
  // multiple of theirs.
  void assign_short(const char* source, std::size_t size) {
    if (size >= 8) {
      assign_ends<std::uint64_t>(source, size);
    } else if (size >= 4) {
      assign_ends<std::uint32_t>(source, size);
    } else if (size > 0) {
      const char first = source[0];
      const char middle = source[size / 2];
      const char last = source[size - 1];
      clear_buffer();
      text_[0] = first;
      text_[size / 2] = middle;
      text_[size - 1] = last;
    } else {
      clear_buffer();
    }
    size_ = static_cast<std::uint8_t>(size);
  }
  // The first and the last word of a text of one to two words.
  template <typename Word>
  void assign_ends(const char* source, std::size_t size) {
    Word head;
    Word tail;
    std::memcpy(&head, source, sizeof head);
    std::memcpy(&tail, source + size - sizeof tail, sizeof tail);
    clear_buffer();
    std::memcpy(text_, &head, sizeof head);
    std::memcpy(text_ + size - sizeof tail, &tail, sizeof tail);
  }
  void assign_long(const char* source, std::size_t size) {
    char copy[kBufferSize];
    if (std::less_equal<const char*>()(text_, source) &&
        std::less<const char*>()(source, text_ + kBufferSize)) {
      std::memcpy(copy, source, size);
      source = copy;
    }
    clear_buffer();
    std::memcpy(text_, source, size);
    size_ = static_cast<std::uint8_t>(size);
  }

  void clear_buffer() {
    const std::uint64_t zero = 0;
    for (std::size_t at = 0; at < kBufferSize; at += 8) std::memcpy(text_ + at, &zero, 8);
  }

  // Zeroes the characters from `from` to the end of the current text, a
  // word at a time.
  void zero_from(std::size_t from) {
    if (from >= size_) return;
    if constexpr (kLittleEndian) {
      std::size_t at = from / 8 * 8;
      const std::size_t kept = from - at;
      std::uint64_t word = kept == 0 ? 0 : word_at(at) & (~std::uint64_t{0} >> (64 - 8 * kept));
      std::memcpy(text_ + at, &word, sizeof word);
      word = 0;
      for (at += 8; at < size_; at += 8) std::memcpy(text_ + at, &word, sizeof word);
    } else {
      std::memset(text_ + from, 0, size_ - from);
    }
  }

  char text_[kBufferSize] = {};
  std::uint8_t size_ = 0;
};

// For test failure messages and other streams.
void print_field_text(std::ostream& out, std::string_view text);
template <std::size_t Capacity>
std::ostream& operator<<(std::ostream& out, const FieldText<Capacity>& text) {
  print_field_text(out, text.view());
  return out;
}

}  // namespace korva
