#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "project/source_files.h"
#include "resources/system_texts.h"
#include "source/source_reader.h"
#include "source/statement_splitter.h"
#include "support/byte_scan.h"
#include "test_support.h"

namespace korva {
namespace {

std::vector<std::string> read_all(SourceReader& reader, std::size_t extra_reads = 1) {
  std::vector<std::string> lines;
  std::string line;
  do {
    line.clear();
    reader.read_line(line);
    lines.push_back(line);
  } while (line != "end");
  for (std::size_t i = 0; i < extra_reads; ++i) {
    line.clear();
    reader.read_line(line);
    lines.push_back(line);
  }
  return lines;
}

struct ReaderCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;  // up to "end", then one more read
};

TEST(SourceReader, DeliversLinesThenEndForEver) {
  const ReaderCase cases[] = {
      {"empty text", "", {"end", "end"}},
      {"ends in CR LF", "A\r\nB\r\n", {"A", "B", "end", "end"}},
      {"last line without line end", "A\r\nB", {"A", "B", "end", "end"}},
      {"blanks and tabs collapse", " \t W+5>W \t\t; x  \t y \t\r\n", {"W+5>W ; x y", "end", "end"}},
      {"blanks and tabs only", " \t \t\r\nX\r\n", {"", "X", "end", "end"}},
      {"end is an ordinary line", "end\r\nX\r\n", {"end", "X", "end"}},
      {"bare LF keeps every character", "AB\nC\n\nD", {"AB", "C", "", "D", "end", "end"}},
      {"a CR elsewhere stays", "A\rB\r\n", {"A\rB", "end", "end"}},
      {"long words and indentation of whole words",
       "        ABCDEFGHIJKLMNOP        QRSTUVWX\t\t\t\t\t\t\t\t; 12345678\r\n",
       {"ABCDEFGHIJKLMNOP QRSTUVWX ; 12345678", "end", "end"}},
      {"blanks fill the last word", "ABCDEFGH        \r\nIJ\r\n", {"ABCDEFGH", "IJ", "end"}},
      {"a tab inside a word", "ABC\tDEFGHIJK\tLMNOPQRS\r\n", {"ABC DEFGHIJK LMNOPQRS", "end"}},
  };
  for (const ReaderCase& c : cases) {
    SourceReader reader;
    reader.reset(c.text);
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      line.clear();
      reader.read_line(line);
      lines.push_back(line);
    }
    EXPECT_EQ(lines, c.lines) << c.name;
  }
}

TEST(SourceReader, ResetReadsTheSameLinesAgainAndReturnsPositions) {
  const std::string text = "AB\r\nC";
  SourceReader reader;
  reader.reset(text);
  std::string line;
  EXPECT_EQ(reader.read_line(line), 4u);
  line.clear();
  EXPECT_EQ(reader.read_line(line), 5u);
  EXPECT_EQ(line, "C");
  line.clear();
  EXPECT_EQ(reader.read_line(line), 5u);
  EXPECT_EQ(line, "end");
  reader.reset(text);
  EXPECT_EQ(read_all(reader, 0), (std::vector<std::string>{"AB", "C", "end"}));
}

TEST(SourceJoiner, JoinsWithoutSeparatorAndRefusesAZeroByte) {
  testing::ScratchDir dir;
  testing::write_bytes(dir.path() / "a.as", "NOP\r\nW+5");
  testing::write_bytes(dir.path() / "b.inc", ">W\r\nRET\r\nSLEEP\r\n");
  const Expected<JoinedSources, JoinFailure> joined = join_sources({"a.as", "b.inc"}, dir.path());
  ASSERT_TRUE(joined) << joined.message();
  EXPECT_EQ(joined->text, "NOP\r\nW+5>W\r\nRET\r\nSLEEP\r\n");
  EXPECT_EQ(joined->file_starts, (std::vector<std::size_t>{0, 8}));

  // A zero byte would silently end the text: the file is refused, naming
  // the line that holds it.
  testing::write_bytes(dir.path() / "b.inc", std::string(">W\r\nRET\r\n\0SLEEP\r\n", 17));
  const auto zero = join_sources({"a.as", "b.inc"}, dir.path());
  ASSERT_FALSE(zero);
  EXPECT_EQ(zero.reason(), JoinFailure::unreadable);
  EXPECT_NE(zero.message().find("b.inc: line 3: a zero byte"), std::string::npos) << zero.message();

  // A missing file: the message the user sees names the entry as written.
  const auto missing = join_sources({"a.as", "gone.as", "b.inc"}, dir.path());
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.reason(), JoinFailure::not_found);
  EXPECT_EQ(missing.message(), "gone.as" + std::string(texts::kFileNotFound));
}

// An editor's buffers over some files, by file name.
class Buffers : public SourceProvider {
 public:
  explicit Buffers(std::map<std::string, std::string> texts) : texts_(std::move(texts)) {}
  std::optional<std::string> open_buffer(const SystemPath& file) const override {
    const auto found = texts_.find(file.path().filename().string());
    if (found == texts_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::map<std::string, std::string> texts_;
};

TEST(SourceJoiner, OpenBuffersStandInForTheirFiles) {
  testing::ScratchDir dir;
  testing::write_bytes(dir.path() / "a.as", "NOP\r\n");
  testing::write_bytes(dir.path() / "b.inc", "RET\r\n");
  const std::vector<SourceFile> files = entry_sources({"a.as", "b.inc"}, SystemPath(dir.path()));
  struct Case {
    const char* name;
    std::map<std::string, std::string> buffers;
    const char* joined;  // nullptr: refused
    const char* message;
  };
  const Case cases[] = {
      {"no buffer: the files", {}, "NOP\r\nRET\r\n", ""},
      {"a buffer over one file", {{"b.inc", "SLEEP\r\n"}}, "NOP\r\nSLEEP\r\n", ""},
      {"a buffer of a file not on disk", {{"gone.as", "X"}}, "NOP\r\nRET\r\n", ""},
      {"a buffer holding a zero byte",
       {{"a.as", std::string("NOP\r\n\0", 6)}},
       nullptr,
       "a.as: line 2: a zero byte"},
  };
  for (const Case& c : cases) {
    const auto joined = join_sources(files, Buffers(c.buffers));
    if (c.joined == nullptr) {
      ASSERT_FALSE(joined) << c.name;
      EXPECT_NE(joined.message().find(c.message), std::string::npos) << joined.message();
      continue;
    }
    ASSERT_TRUE(joined) << c.name << ": " << joined.message();
    EXPECT_EQ(joined->text, c.joined) << c.name;
  }
  // A file with a buffer need not exist on disk.
  const SourceFile unsaved{SystemPath(dir.path() / "new.as"), "new.as"};
  const auto read =
      read_source(unsaved, Buffers(std::map<std::string, std::string>{{"new.as", "NOP"}}));
  ASSERT_TRUE(read) << read.message();
  EXPECT_EQ(*read, "NOP");
  const auto missing = read_source(unsaved, SourceProvider{});
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.message(), "new.as" + std::string(texts::kFileNotFound));
}

struct SplitCase {
  const char* line;  // as written in the source, before the reader
  const char* statement;
  const char* label;
  const char* remark;
};

TEST(SplitStatement, TakesRemarkLabelAndStatementApart) {
  const SplitCase cases[] = {
      {"; only a remark", "", "", "; only a remark"},
      {"W+5>W ; a:b", "W+5>W", "", "; a:b"},
      {"LOOP:", "", "LOOP:", ""},
      {"LOOP::  W>(5)", "W>(5)", "LOOP::", ""},
      {"LOOP :NOP", "NOP", "LOOP :", ""},
      {"A:B:C", "B:C", "A:", ""},
      {"X: EQU 5", "EQU 5", "X:", ""},
      {"COUNT EQU 20", "EQU 20", "COUNT::", ""},
      {"count\t equ 20 ; c", "equ 20", "count::", "; c"},
      {"FREQUENCY>W", "FREQUENCY>W", "", ""},
      {"EQU 5", "EQU 5", "", ""},
      {"COUNT EQUALS 5", "EQUALS 5", "COUNT::", ""},
      {"ABCDEFGHIJKLMNOPQ EQU 1", "EQU 1", "ABCDEFGHIJKLMNOPQ:", ""},
      {"ABCDEFGHIJKLMNOPQRS:NOP", "NOP", "ABCDEFGHIJKLMNOPQR", ""},
      {"A: ;x", "", "A:", ";x"},
  };
  for (const SplitCase& c : cases) {
    SourceReader reader;
    reader.reset(c.line);
    std::string line;
    reader.read_line(line);
    LineRecord record;
    record.label = "stale:";
    record.remark = ";stale";
    split_statement(line, record);
    EXPECT_EQ(record.statement, c.statement) << c.line;
    EXPECT_EQ(record.label, c.label) << c.line;
    EXPECT_EQ(record.remark, c.remark) << c.line;
    EXPECT_EQ(line, c.statement) << c.line;
  }
}

TEST(SplitStatement, CutsLongTextsButKeepsTheWholeStatementInTheLine) {
  const std::string statement = "W+(" + std::string(50, 'A') + ")>W";
  const std::string remark = ";" + std::string(60, 'r');
  std::string line = statement + " " + remark;
  LineRecord record;
  split_statement(line, record);
  EXPECT_EQ(record.statement, statement.substr(0, 48));
  EXPECT_EQ(record.remark, remark.substr(0, 48));
  EXPECT_EQ(line, statement);
}

// Collapsing blanks the plain way: for comparison with the word-wise code.
std::string collapsed_by_hand(std::string_view text, bool tabs_are_blanks) {
  std::string words;
  bool blank = false;
  for (const char c : text) {
    if (c == ' ' || (tabs_are_blanks && c == '\t')) {
      blank = !words.empty();
      continue;
    }
    if (blank) words += ' ';
    blank = false;
    words += c;
  }
  return words;
}

TEST(SourceReader, CollapsesLikeTheCharacterByCharacterRule) {
  // Lines of every length up to 40 made of words, blanks and tabs in a
  // fixed pseudo-random mix, so that every alignment of the eight-byte
  // steps occurs.
  std::uint32_t state = 12345;
  const auto next = [&state](std::uint32_t bound) {
    state = state * 1103515245 + 12345;
    return (state >> 16) % bound;
  };
  // '!' and '\v' are one above a blank and a tab: a byte search that lets a
  // borrow run on would take them for blanks and lose them. The second mix
  // has blanks seldom enough that most eight bytes hold single ones.
  const std::string_view alphabets[] = {" \t Ab7;\r\x83!!\v", "\tAb7;\r\x83!\vW+xyz(q) "};
  for (int round = 0; round < 2000; ++round) {
    const std::string_view alphabet = alphabets[round % 2];
    std::string line;
    const std::uint32_t length = next(41);
    for (std::uint32_t i = 0; i < length; ++i) {
      line += alphabet[next(static_cast<std::uint32_t>(alphabet.size()))];
    }
    SourceReader reader;
    const std::string text = line + "\r\nX";
    reader.reset(text);
    std::string read;
    reader.read_line(read);
    EXPECT_EQ(read, collapsed_by_hand(line, true)) << '"' << line << '"';

    std::string blanks_only = line;
    collapse_blanks(blanks_only);
    EXPECT_EQ(blanks_only, collapsed_by_hand(line, false)) << '"' << line << '"';
    FieldText<kOperandFieldSize> field = line;
    collapse_blanks(field);
    EXPECT_EQ(field, collapsed_by_hand(line, false)) << '"' << line << '"';
  }
}

TEST(SplitStatement, RemarkStartsAtTheFirstSemicolonAndLabelsEndBeforeIt) {
  const struct {
    const char* line;
    const char* statement;
    const char* label;
    const char* remark;
  } cases[] = {
      {";a:b", "", "", ";a:b"},
      {"A:B;C:D", "B", "A:", ";C:D"},
      {"LONGLABELNAME:: W>(5) ;x", "W>(5)", "LONGLABELNAME::", ";x"},
      {"ABCDEFGHIJKLMNOPQRSTUVW:", "", "ABCDEFGHIJKLMNOPQR", ""},
  };
  for (const auto& c : cases) {
    std::string line = c.line;
    LineRecord record;
    split_statement(line, record);
    EXPECT_EQ(record.statement, c.statement) << c.line;
    EXPECT_EQ(record.label, c.label) << c.line;
    EXPECT_EQ(record.remark, c.remark) << c.line;
  }
}

TEST(TextOperations, CaseFoldingTouchesOnlyAToZ) {
  std::string text = "nop\x83\x61{z}";
  upper_case(text);
  EXPECT_EQ(text, "NOP\x83\x41{Z}");
  EXPECT_EQ(find_nocase("macro delay", "MACRO "), 0u);
  EXPECT_EQ(find_nocase("xsub y", "SUB "), 1u);
  EXPECT_EQ(find_nocase("SUBX", "SUB "), std::string::npos);
  EXPECT_EQ(find_nocase("ab", "ABC"), std::string::npos);
  // Candidates past the first eight bytes, false ones before the match, and
  // one too near the end to hold the pattern.
  EXPECT_EQ(find_nocase("0123456789abcdefEqU", "EQU"), 16u);
  EXPECT_EQ(find_nocase("eeeeeeeeeeeequ", "EQU"), 11u);
  EXPECT_EQ(find_nocase("xxxxxxxxxxxxxxxxEQ", "EQU"), std::string::npos);
  EXPECT_EQ(find_nocase("LOOP1 equ 5", "EQU"), 6u);
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

// The eight-byte search marks exactly the bytes that match, wherever they
// stand and whatever stands beside them.
TEST(ByteScan, MarksExactlyTheMatchingBytes) {
  for (const char wanted : {' ', '\t', ';', ':'}) {
    for (int neighbour = 0; neighbour < 256; ++neighbour) {
      for (std::size_t at = 0; at < 8; ++at) {
        char bytes[8];
        for (char& b : bytes) b = static_cast<char>(neighbour);
        bytes[at] = wanted;
        const std::uint64_t marks =
            byte_scan::matches(byte_scan::load(bytes), byte_scan::repeated(wanted));
        for (std::size_t i = 0; i < 8; ++i) {
          const bool marked = ((marks >> (8 * i + 7)) & 1) != 0;
          ASSERT_EQ(marked, bytes[i] == wanted) << "byte " << i << " of " << neighbour;
        }
      }
    }
  }
}

}  // namespace
}  // namespace korva
