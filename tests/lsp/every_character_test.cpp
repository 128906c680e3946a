// Every CP932 character in names: each two-byte character (and each
// half-width katakana) as part of a constant, a label and a subroutine, and
// the server resolving them as korva-asm does. korva-asm assembles each
// batch and its listing gives the values and addresses; the server must
// find every definition and use, show those values, rename every use and
// mark no name as an error.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "session.h"
#include "syntax/syntax_model.h"
#include "system/text_encoding.h"
#include "test_support.h"

namespace korva::lsp {
namespace {

using testing::Session;

// The characters a name can hold beyond ASCII: every lead and trail byte
// pair that decodes to a character, and the half-width katakana.
std::vector<std::string> cp932_characters() {
  std::vector<std::string> characters;
  for (unsigned c = 0xA1; c <= 0xDF; ++c)
    characters.push_back(std::string(1, static_cast<char>(c)));
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead <= 0xDF) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      if (cp932_to_utf8(bytes).find("\xEF\xBF\xBD") == std::string::npos) {
        characters.push_back(bytes);
      }
    }
  }
  return characters;
}

// Seven lines a character: a constant, a label using it, a jump to the
// label, a subroutine of two lines and its end, and a call.
constexpr int kLines = 7;

std::string block(const std::string& c, std::size_t value) {
  return "K" + c + " EQU " + std::to_string(value) + "\n" + "L" + c + "X:: W+K" + c + ">W\n" +
         "        ===->L" + c + "X\n" + "SUB " + c + "S\n" + "        RET\n" + "END SUB\n" +
         "        " + c + "S\n";
}

// One row of korva-asm's listing: address and code, as numbers.
struct Row {
  unsigned address = 0;
  unsigned code = 0;
  std::string error;
};

std::vector<Row> listing_rows(const std::string& listing) {
  std::vector<Row> rows;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    Row row;
    if (!fields.empty() && !fields[0].empty())
      row.address = static_cast<unsigned>(std::stoul(fields[0], nullptr, 16));
    if (fields.size() > 1 && !fields[1].empty())
      row.code = static_cast<unsigned>(std::stoul(fields[1], nullptr, 16));
    if (fields.size() > 5) row.error = fields[5];
    if (!row.error.empty() && row.error.back() == '\r') row.error.pop_back();
    rows.push_back(row);
  }
  return rows;
}

std::string hex2(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

Json position(const std::filesystem::path& file, std::size_t line, std::size_t character) {
  return Session::at(file, static_cast<int>(line), static_cast<int>(character));
}

Json range(std::size_t line, std::size_t from, std::size_t to) {
  return Json{{"start", Json{{"line", line}, {"character", from}}},
              {"end", Json{{"line", line}, {"character", to}}}};
}

std::size_t error_style() {
  const auto styles = syntax::all_styles();
  for (std::size_t i = 0; i < styles.size(); ++i) {
    if (styles[i].style == syntax::Style::error) return i;
  }
  return styles.size();
}

// The checks of one batch; failures name the character.
void check_batch(const std::vector<std::string>& batch) {
  korva::testing::ScratchDir dir(std::to_string(static_cast<unsigned char>(batch.front()[0])));
  const std::filesystem::path file = dir.path() / "main.as";
  std::string source;
  for (std::size_t i = 0; i < batch.size(); ++i) source += block(batch[i], i);
  {
    std::ofstream out(file, std::ios::binary);
    out << source;
  }
  const std::string command =
      "cd '" + dir.path().string() + "' && '" KORVA_ASM_PATH "' main.as >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << "korva-asm refused the batch at " << batch.front();
  const std::vector<Row> rows = listing_rows(testing::read_file(dir.path() / "main.out"));
  ASSERT_EQ(rows.size(), batch.size() * kLines);

  Session session(dir.path());
  session.open(file, cp932_to_utf8(source));
  ASSERT_TRUE(session.diagnostics(file).empty()) << session.diagnostics(file).dump();
  const Json tokens = session.request("textDocument/semanticTokens/full",
                                      Json{{"textDocument", Json{{"uri", uri_of_path(file)}}}});
  const Json& data = tokens["result"]["data"];
  std::size_t token_line = 0;
  for (std::size_t at = 0; at + 4 < data.size(); at += 5) {
    token_line += data[at].get<std::size_t>();
    ASSERT_NE(data[at + 3], error_style())
        << "a name marked as an error on line " << token_line + 1 << ": "
        << cp932_to_utf8(source.substr(0, 0)) << cp932_to_utf8(batch[token_line / kLines]);
  }

  for (std::size_t i = 0; i < batch.size(); ++i) {
    const std::string& c = batch[i];
    const std::string shown = cp932_to_utf8(c);
    const std::size_t base = i * kLines;
    SCOPED_TRACE(shown);
    const Row& label_row = rows[base + 1];
    ASSERT_TRUE(label_row.error.empty() && rows[base + 2].error.empty()) << label_row.error;
    // korva-asm's values: the constant is ADDLW's literal, the label the
    // jump's target, the subroutine the call's.
    ASSERT_EQ(label_row.code & 0xFF, i);
    ASSERT_EQ(rows[base + 2].code, 0x2800u | label_row.address);
    ASSERT_EQ(rows[base + 6].code, 0x2000u | rows[base + 4].address);

    // Hover on the constant's use (after "LcX:: W+") and on the label's.
    const Json constant = session.request("textDocument/hover", position(file, base + 1, 9));
    const std::string constant_text = constant["result"]["contents"]["value"];
    EXPECT_NE(constant_text.find("**K" + shown + "**: constant, value 0x" +
                                 hex2(static_cast<unsigned>(i))),
              std::string::npos)
        << constant_text;
    EXPECT_EQ(constant["result"]["range"], range(base + 1, 8, 10));
    const Json label = session.request("textDocument/hover", position(file, base + 2, 14));
    const std::string label_text = label["result"]["contents"]["value"];
    EXPECT_NE(label_text.find("value 0x" + hex2(label_row.address)), std::string::npos)
        << label_text;

    // Definitions from the jump and the call.
    const Json to_label = session.request("textDocument/definition", position(file, base + 2, 14));
    EXPECT_EQ(to_label["result"]["range"], range(base + 1, 0, 3));
    const Json to_subroutine =
        session.request("textDocument/definition", position(file, base + 6, 8));
    EXPECT_EQ(to_subroutine["result"]["range"], range(base + 3, 4, 6));

    // References of the constant, from its definition.
    Json where = position(file, base, 1);
    where["context"] = Json{{"includeDeclaration", true}};
    const Json references = session.request("textDocument/references", where);
    EXPECT_EQ(references["result"].size(), 2u) << references.dump();
  }
}

// Renames go through an assembly of the renamed project each, so they run
// on one small document, its text changed for each character.
void check_rename(Session& session, const std::filesystem::path& file, const std::string& c,
                  int version) {
  session.notify(
      "textDocument/didChange",
      Json{{"textDocument", Json{{"uri", uri_of_path(file)}, {"version", version}}},
           {"contentChanges", Json::array({Json{{"text", cp932_to_utf8(block(c, 1))}}})}});
  Json rename = position(file, 3, 4);
  rename["newName"] = "N" + cp932_to_utf8(c) + cp932_to_utf8(c);
  const Json reply = session.request("textDocument/rename", rename);
  const Json& edits = reply["result"]["changes"][uri_of_path(file)];
  ASSERT_EQ(edits.size(), 2u) << cp932_to_utf8(c) << " " << reply.dump();
  const std::set<Json> ranges{edits[0]["range"], edits[1]["range"]};
  EXPECT_EQ(ranges, (std::set<Json>{range(6, 8, 10), range(3, 4, 6)})) << cp932_to_utf8(c);
}

TEST(ServerNames, EveryCp932CharacterResolvesAsKorvaAsmResolvesIt) {
  const std::vector<std::string> characters = cp932_characters();
  ASSERT_GT(characters.size(), 7000u);
  constexpr std::size_t kBatch = 256;  // the constants' values fit ADDLW's byte
  for (std::size_t from = 0; from < characters.size(); from += kBatch) {
    const std::vector<std::string> batch(
        characters.begin() + static_cast<std::ptrdiff_t>(from),
        characters.begin() +
            static_cast<std::ptrdiff_t>(std::min(from + kBatch, characters.size())));
    check_batch(batch);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(ServerNames, EveryCp932CharacterRenames) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "main.as";
  { std::ofstream out(file, std::ios::binary); }
  Session session(dir.path());
  session.open(file, "");
  int version = 1;
  for (const std::string& c : cp932_characters()) {
    check_rename(session, file, c, ++version);
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
}  // namespace korva::lsp
