// The server as a client sees it: transcripts of messages and the replies
// they get, on the examples and on small projects written here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session.h"
#include "test_support.h"

namespace korva::lsp {
namespace {

using testing::Session;
const std::filesystem::path kExamples = std::filesystem::path(KORVA_SOURCE_DIR) / "examples";

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kLargeDocument = 1'000'000;
#else
constexpr std::size_t kLargeDocument = 10'000'000;
#endif

int error_code(const Json& reply) {
  return reply.contains("error") ? reply["error"]["code"].get<int>() : 0;
}

std::string hover_text(Session& session, const std::filesystem::path& file, int line, int column) {
  const Json reply = session.request("textDocument/hover", Session::at(file, line, column));
  if (!reply.contains("result") || reply["result"].is_null()) return {};
  return reply["result"]["contents"]["value"].get<std::string>();
}

Json range(int line, int start, int end) {
  return Json{{"start", Json{{"line", line}, {"character", start}}},
              {"end", Json{{"line", line}, {"character", end}}}};
}

// Writes CP932 sources into a scratch folder.
void write_file(const std::filesystem::path& path, std::string_view bytes) {
  korva::testing::write_bytes(path.string(), std::string(bytes));
}

TEST(ServerProtocol, AnswersMalformedMessagesWithErrors) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path missing = dir.path() / "missing.as";
  struct Case {
    const char* name;
    std::string body;
    int code;  // 0: no reply at all
  };
  const Json bad_position =
      Json{{"textDocument", Json{{"uri", uri_of_path(missing)}}}, {"position", "here"}};
  const Case cases[] = {
      {"no JSON", "{\"jsonrpc\": \"2.0\", \"id\": 1, \"meth", error_codes::kParseError},
      // Kept with U+FFFD (and said so): a method of that name is unknown.
      {"invalid UTF-8", "{\"id\":1,\"method\":\"\xFF\"}", error_codes::kMethodNotFound},
      {"not an object", "[1, 2]", error_codes::kInvalidRequest},
      {"no method", R"({"jsonrpc":"2.0","id":1})", error_codes::kInvalidRequest},
      {"an id that is an object", R"({"id":{"a":1},"method":"shutdown"})",
       error_codes::kInvalidRequest},
      {"an unknown method", R"({"id":2,"method":"korva/unknown"})", error_codes::kMethodNotFound},
      {"an unknown notification", R"({"method":"$/cancelRequest","params":{"id":2}})", 0},
      {"a response to the server", R"({"id":7,"result":null})", 0},
      {"a uri that is a number",
       R"({"id":3,"method":"textDocument/hover","params":{"textDocument":{"uri":5}}})",
       error_codes::kInvalidParams},
      {"a uri that is no file",
       R"({"id":4,"method":"textDocument/hover","params":{"textDocument":{"uri":"http://x/a.as"},"position":{"line":0,"character":0}}})",
       error_codes::kInvalidParams},
      {"a document that is neither open nor on disk",
       Json{
           {"id", 5}, {"method", "textDocument/definition"}, {"params", Session::at(missing, 0, 0)}}
           .dump(),
       error_codes::kRequestFailed},
      {"a position that is no position",
       Json{{"id", 6}, {"method", "textDocument/hover"}, {"params", bad_position}}.dump(),
       error_codes::kInvalidParams},
      {"parameters of the wrong type", R"({"method":"textDocument/didOpen","params":[1]})", 0},
      {"a change to a document never opened",
       Json{{"method", "textDocument/didChange"},
            {"params", Json{{"textDocument", Json{{"uri", uri_of_path(missing)}, {"version", 2}}},
                            {"contentChanges", Json::array({Json{{"text", "x"}}})}}}}
           .dump(),
       0},
  };
  Session session(dir.path());
  for (const Case& c : cases) {
    const std::vector<Json> replies = session.send_body(c.body);
    if (c.code == 0) {
      // A request with bad parameters is answered; a notification is not.
      for (const Json& reply : replies) EXPECT_FALSE(reply.contains("id")) << c.name;
    } else {
      // The answer first; notifications for the user may follow it.
      ASSERT_GE(replies.size(), 1u) << c.name;
      EXPECT_EQ(error_code(replies[0]), c.code) << c.name << ": " << replies[0].dump();
      for (std::size_t i = 1; i < replies.size(); ++i) {
        EXPECT_FALSE(replies[i].contains("id")) << c.name;
      }
    }
  }
}

TEST(ServerProtocol, FollowsTheLifecycle) {
  Server server(ServerOptions{});
  const auto code_of = [&](const Json& message) {
    const std::vector<std::string> replies = server.handle(message.dump());
    return replies.empty() ? 0 : error_code(Json::parse(replies.front()));
  };
  EXPECT_EQ(code_of(Json{{"id", 1}, {"method", "textDocument/hover"}}),
            error_codes::kServerNotInitialized);
  EXPECT_EQ(code_of(Json{{"id", 2}, {"method", "initialize"}, {"params", Json::object()}}), 0);
  EXPECT_EQ(code_of(Json{{"id", 3}, {"method", "initialize"}, {"params", Json::object()}}),
            error_codes::kInvalidRequest);
  EXPECT_EQ(code_of(Json{{"id", 4}, {"method", "shutdown"}}), 0);
  EXPECT_EQ(code_of(Json{{"id", 5}, {"method", "textDocument/hover"}}),
            error_codes::kInvalidRequest);
  // A document opened after shutdown is not analysed: nothing is published.
  const Json open{{"method", "textDocument/didOpen"},
                  {"params", Json{{"textDocument", Json{{"uri", "file:///tmp/late.as"},
                                                        {"languageId", "korva"},
                                                        {"version", 1},
                                                        {"text", "BAD BAD\n"}}}}}};
  EXPECT_TRUE(server.handle(open.dump()).empty());
  EXPECT_TRUE(server.idle().empty());
  EXPECT_FALSE(server.exit_requested());
  EXPECT_EQ(code_of(Json{{"method", "exit"}}), 0);
  EXPECT_TRUE(server.exit_requested());
  EXPECT_EQ(server.exit_status(), 0);

  Server abrupt(ServerOptions{});
  abrupt.handle(R"({"method":"exit"})");
  EXPECT_TRUE(abrupt.exit_requested());
  EXPECT_EQ(abrupt.exit_status(), 1);  // exit without shutdown
}

// A chip name the client gives that is no chip is said once, after the
// answer to initialize, with the nearest chips; the projects' own chips count.
TEST(ServerProtocol, AnUnknownChipIsSaidWithTheNearestOnes) {
  const struct {
    const char* chip;
    const char* said;  // empty: nothing is said
  } cases[] = {{"P16F877A", "unknown chip 'P16F877A'"},
               {"XYZ123", "unknown chip 'XYZ123'"},
               {"16F8777", "nearest: 16F877 16F877A"},
               {"16f877a", ""}};
  for (const auto& c : cases) {
    Server server(ServerOptions{});
    const Json initialize{
        {"id", 1},
        {"method", "initialize"},
        {"params", Json{{"initializationOptions",
                         Json{{"chip", c.chip}, {"chipsDirectory", KORVA_CHIP_SOURCES}}}}}};
    const std::vector<std::string> replies = server.handle(initialize.dump());
    ASSERT_FALSE(replies.empty()) << c.chip;
    EXPECT_TRUE(Json::parse(replies.front()).contains("result")) << c.chip;
    if (*c.said == '\0') {
      EXPECT_EQ(replies.size(), 1u) << c.chip;
      continue;
    }
    ASSERT_EQ(replies.size(), 2u) << c.chip;
    const Json shown = Json::parse(replies[1]);
    EXPECT_EQ(shown["method"], "window/showMessage");
    EXPECT_NE(shown["params"]["message"].get<std::string>().find(c.said), std::string::npos)
        << shown.dump();
  }
}

// Text that is no UTF-8, or an escaped half of a UTF-16 pair, is kept with
// U+FFFD in its place instead of costing the whole message.
TEST(ServerProtocol, TextThatIsNoUtf8IsKeptWithReplacements) {
  korva::testing::ScratchDir dir;
  Server server(ServerOptions{});
  server.handle(R"({"id":1,"method":"initialize","params":{}})");
  const std::string uri = uri_of_path(dir.path() / "odd.as");
  for (const std::string& text : {std::string("BAD \\ud800 BAD\\n"), std::string("BAD \xFF BAD\\n"),
                                  std::string("BAD \\udc00\\ud83d BAD\\n")}) {
    std::string open = R"({"method":"textDocument/didOpen","params":{"textDocument":{"uri":")";
    open += uri;
    open += R"(","languageId":"korva","version":1,"text":")";
    open += text;
    open += R"("}}})";
    const std::vector<std::string> replies = server.handle(open);
    ASSERT_EQ(replies.size(), 1u) << text;
    EXPECT_EQ(Json::parse(replies[0])["method"], "window/showMessage") << replies[0];
    // The document was taken: its statement is analysed.
    const std::vector<std::string> published = server.idle();
    ASSERT_EQ(published.size(), 1u) << text;
    EXPECT_EQ(Json::parse(published[0])["params"]["diagnostics"].size(), 1u) << published[0];
  }
  // A pair stays a pair.
  const std::string pair = R"({"method":"textDocument/didOpen","params":{"textDocument":{"uri":")" +
                           uri +
                           R"(","languageId":"korva","version":2,"text":"NOP ; \ud83d\ude00\n"}}})";
  EXPECT_TRUE(server.handle(pair).empty());
}

class ExampleProject : public ::testing::Test {
 protected:
  const std::filesystem::path folder = kExamples / "blink16f877a";
  const std::filesystem::path source = folder / "blink16f877a.as";
  Session session{folder};
};

TEST_F(ExampleProject, HoverTellsNamesStatementsAndTheConfigurationWord) {
  session.open_file(source);
  // Only the warning about TRISB in bank 1.
  const Json diagnostics = session.diagnostics(source);
  ASSERT_EQ(diagnostics.size(), 1u) << diagnostics.dump();
  EXPECT_EQ(diagnostics[0]["severity"], 2);
  struct Case {
    int line;
    int column;
    std::vector<std::string> parts;
  };
  const Case cases[] = {
      {8, 13, {"**TRISB**", "bank 1", "16F877A"}},
      {11, 11, {"**PORTB**", "register at 0x006, bank 0"}},
      {11, 22, {"**RB0**", "bit 0 of register PORTB"}},
      {12, 9, {"**DELAY**", "subroutine", "blink16f877a.as:19"}},
      {4, 2, {"**COUNT1**", "reservation, value 0x20", "1 byte"}},
      {19, 1, {"MOVLW 0FFh"}},
      {20, 1, {"MOVWF 20h"}},
      {23, 7, {"DECFSZ 21h,F"}},
      {15, 1, {"GOTO 0"}},
      {31,
       1,
       {"configuration word", "FOSC=XT (XT oscillator)", "WDTE=OFF", "PWRTE=ON", "LVP=OFF",
        "CP=OFF"}},
  };
  for (const Case& c : cases) {
    const std::string text = hover_text(session, source, c.line, c.column);
    for (const std::string& part : c.parts) {
      EXPECT_NE(text.find(part), std::string::npos)
          << "line " << c.line << ": '" << part << "' not in " << text;
    }
  }
  EXPECT_EQ(hover_text(session, source, 16, 0), "");  // an empty line
}

TEST_F(ExampleProject, NavigatesAndRenamesNames) {
  session.open_file(source);
  const Json definition = session.request("textDocument/definition", Session::at(source, 14, 10));
  EXPECT_EQ(definition["result"]["uri"], uri_of_path(source));
  EXPECT_EQ(definition["result"]["range"], range(18, 4, 9));

  Json params = Session::at(source, 18, 5);
  params["context"] = Json{{"includeDeclaration", true}};
  EXPECT_EQ(session.request("textDocument/references", params)["result"].size(), 3u);
  params["context"]["includeDeclaration"] = false;
  EXPECT_EQ(session.request("textDocument/references", params)["result"].size(), 2u);
  const Json highlights =
      session.request("textDocument/documentHighlight", Session::at(source, 24, 13))["result"];
  ASSERT_EQ(highlights.size(), 2u);  // INNER: defined and jumped to

  Json rename = Session::at(source, 12, 9);
  rename["newName"] = "PAUSE";
  const Json edits = session.request("textDocument/rename", rename)["result"]["changes"];
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(edits[uri_of_path(source)].size(), 3u);

  struct Refusal {
    int line;
    int column;
    const char* name;
    const char* why;
  };
  const Refusal refusals[] = {
      {12, 9, "MAIN", "already the name of a global label"},
      {12, 9, "COUNT1", "already"},
      {12, 9, "X234567890123456789012345678901", "longer than"},
      {4, 2, "C2345678901234567", "longer than"},  // 17 letters and "::" exceed 18
      {12, 9, "9LIVES", "not a name"},
      {12, 9, "A B", "not a name"},
      {12, 9, "W", "not a name"},
      // A call of a subroutine renamed NOP would be the instruction.
      {12, 9, "NOP", "word of the notation"},
      {12, 9, "ret", "word of the notation"},
      {12, 9, "RETI", "word of the notation"},
      {12, 9, "SLEEP", "word of the notation"},
      {12, 9, "CLRWDT", "word of the notation"},
      {12, 9, "SWAP", "word of the notation"},
      {12, 9, "EQU", "word of the notation"},
      {12, 9, "MACRO", "word of the notation"},
      {8, 13, "TRISX", "chip"},
  };
  for (const Refusal& r : refusals) {
    Json request = Session::at(source, r.line, r.column);
    request["newName"] = r.name;
    const Json reply = session.request("textDocument/rename", request);
    ASSERT_EQ(error_code(reply), error_codes::kRequestFailed) << r.name << reply.dump();
    EXPECT_NE(reply["error"]["message"].get<std::string>().find(r.why), std::string::npos)
        << reply.dump();
  }
  Json sixteen = Session::at(source, 4, 2);
  sixteen["newName"] = "C234567890123456";
  EXPECT_EQ(error_code(session.request("textDocument/rename", sixteen)), 0);
}

TEST_F(ExampleProject, OutlinesFoldsCompletesAndColours) {
  session.open_file(source);
  const Json symbols = session.request("textDocument/documentSymbol", Session::at(source, 0, 0));
  std::vector<std::string> names;
  for (const Json& symbol : symbols["result"]) names.push_back(symbol["name"]);
  EXPECT_EQ(names, (std::vector<std::string>{"DELAY", "COUNT1", "COUNT2", "START", "MAIN"}));
  EXPECT_EQ(symbols["result"][0]["children"].size(), 2u);  // OUTER and INNER

  const Json folds = session.request("textDocument/foldingRange", Session::at(source, 0, 0));
  EXPECT_EQ(folds["result"], Json::array({Json{{"startLine", 18}, {"endLine", 27}}}));

  const auto labels = [&](int line) {
    std::set<std::string> found;
    const Json reply = session.request("textDocument/completion", Session::at(source, line, 8));
    for (const Json& item : reply["result"]["items"]) found.insert(item["label"]);
    return found;
  };
  const std::set<std::string> outside = labels(10);
  const std::set<std::string> inside = labels(22);
  for (const char* name : {"TRISB", "RB0", "DELAY", "MAIN", "COUNT2", "W+@>@", "@_BIT@<1"}) {
    EXPECT_EQ(outside.count(name), 1u) << name;
  }
  EXPECT_EQ(outside.count("OUTER"), 0u);  // a local label of DELAY
  EXPECT_EQ(inside.count("OUTER"), 1u);
  // The forms' details name what they write in the standard mnemonics.
  std::map<std::string, std::string> details;
  const Json completion = session.request("textDocument/completion", Session::at(source, 10, 8));
  for (const Json& item : completion["result"]["items"]) {
    if (item.contains("detail")) details[item["label"]] = item["detail"];
  }
  const std::pair<const char*, const char*> expected_details[] = {
      {"@-1>@", "DECF f,d"},
      {"@-1", "DECF f"},
      {"@+1>@(Z)->", "INCFSZ f,d"},
      {"W+@>@", "ADDWF f,d / ADDLW k"},
      {"RET @>@", "RETLW k"},
      {"00>@", "CLRF f"},
      {"W>@", "MOVWF f"},
      {"@_BIT@=1->", "BTFSS f,b"},
      {"===->@", "GOTO k"},
      {"SLEEP", "SLEEP"},
      {"00>W", "CLRW"},
      {"ORG@", "directive ORG n"},
      {"[@]", "directive [n]"},
      {"RAM=@", "directive RAM=n"},
      {"\\@", "program words in hexadecimal"}};
  for (const auto& [form, detail] : expected_details) EXPECT_EQ(details[form], detail) << form;

  const Json tokens =
      session.request("textDocument/semanticTokens/full", Session::at(source, 0, 0));
  const Json legend = session.request("initialize", Json::object());  // refused: already done
  EXPECT_EQ(error_code(legend), error_codes::kInvalidRequest);
  // Decoded: the first token of line 4 is the global label COUNT1.
  const std::vector<std::uint32_t> data = tokens["result"]["data"];
  ASSERT_EQ(data.size() % 5, 0u);
  std::size_t line = 0;
  std::size_t start = 0;
  std::map<std::pair<std::size_t, std::size_t>, std::pair<std::size_t, std::uint32_t>> decoded;
  for (std::size_t i = 0; i < data.size(); i += 5) {
    start = data[i] == 0 ? start + data[i + 1] : data[i + 1];
    line += data[i];
    decoded[{line, start}] = {data[i + 2], data[i + 3]};
  }
  const auto type_of = [&](std::size_t l, std::size_t s) {
    const auto found = decoded.find({l, s});
    return found == decoded.end() ? -1 : static_cast<int>(found->second.second);
  };
  EXPECT_EQ(type_of(4, 0), 2);   // globalLabel
  EXPECT_EQ(type_of(0, 0), 1);   // remark
  EXPECT_EQ(type_of(21, 0), 3);  // localLabel OUTER
  EXPECT_EQ((decoded[{4, 0}].first), 6u);
}

TEST(ServerDocuments, PublishesDiagnosticsOfTheBufferAsItChanges) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "main.as";
  // On disk the program is fine; the buffer is what counts.
  write_file(file, "START:: NOP\n");
  Session session(dir.path());
  // 待ち (two two-byte characters) before the mistake: UTF-16 columns.
  session.open(file, "\xE5\xBE\x85\xE3\x81\xA1:: NOP\n        ===->XYZ\n");
  Json diagnostics = session.diagnostics(file);
  ASSERT_EQ(diagnostics.size(), 1u) << diagnostics.dump();
  EXPECT_EQ(diagnostics[0]["severity"], 1);
  EXPECT_EQ(diagnostics[0]["range"], range(1, 13, 16));
  EXPECT_NE(diagnostics[0]["message"].get<std::string>().find("XYZ"), std::string::npos);

  // An incremental change: XYZ becomes 待ち, defined on line 0.
  session.notify(
      "textDocument/didChange",
      Json{{"textDocument", Json{{"uri", uri_of_path(file)}, {"version", 5}}},
           {"contentChanges", Json::array({Json{{"range", range(1, 13, 16)},
                                                {"text", "\xE5\xBE\x85\xE3\x81\xA1"}}})}});
  EXPECT_TRUE(session.diagnostics(file).empty()) << session.diagnostics(file).dump();
  const Json definition = session.request("textDocument/definition", Session::at(file, 1, 14));
  EXPECT_EQ(definition["result"]["range"], range(0, 0, 2));
  Json rename = Session::at(file, 0, 1);
  rename["newName"] = "\xEF\xBE\x99\xEF\xBD\xB0\xEF\xBE\x8C\xEF\xBE\x9F";  // ﾙｰﾌﾟ
  const Json edits = session.request("textDocument/rename", rename)["result"]["changes"];
  ASSERT_EQ(edits[uri_of_path(file)].size(), 2u) << edits.dump();
  EXPECT_EQ(edits[uri_of_path(file)][1]["range"], range(1, 13, 15));

  // Saving publishes again, from the same buffer.
  const std::size_t published = session.replies().size();
  session.notify("textDocument/didSave", Json{{"textDocument", Json{{"uri", uri_of_path(file)}}}});
  ASSERT_EQ(session.replies().size(), published + 1);
  EXPECT_TRUE(session.diagnostics(file).empty());

  // A whole-text change, then closing: the file on disk counts again.
  session.notify("textDocument/didChange",
                 Json{{"textDocument", Json{{"uri", uri_of_path(file)}, {"version", 6}}},
                      {"contentChanges", Json::array({Json{{"text", "BAD BAD BAD\n"}}})}});
  EXPECT_EQ(session.diagnostics(file).size(), 1u);
  session.notify("textDocument/didClose", Json{{"textDocument", Json{{"uri", uri_of_path(file)}}}});
  EXPECT_TRUE(session.diagnostics(file).empty());
}

// A lone CR ends the editor's line, not the assembler's: the remark line
// below is one line to the assembler and two to the client, and places and
// edits after it count the client's lines.
TEST(ServerDocuments, ALoneCarriageReturnEndsTheClientsLine) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "main.as";
  write_file(file, "");
  Session session(dir.path());
  session.open(file, "START:: NOP\n; note\rmore\n        ===->XYZ\n");
  Json diagnostics = session.diagnostics(file);
  ASSERT_EQ(diagnostics.size(), 1u) << diagnostics.dump();
  EXPECT_EQ(diagnostics[0]["range"], range(3, 13, 16));

  session.notify("textDocument/didChange",
                 Json{{"textDocument", Json{{"uri", uri_of_path(file)}, {"version", 2}}},
                      {"contentChanges",
                       Json::array({Json{{"range", range(3, 13, 16)}, {"text", "START"}}})}});
  EXPECT_TRUE(session.diagnostics(file).empty()) << session.diagnostics(file).dump();
  const Json definition = session.request("textDocument/definition", Session::at(file, 3, 15));
  EXPECT_EQ(definition["result"]["range"], range(0, 0, 5)) << definition.dump();
  const Json references = session.request("textDocument/references",
                                          Json{{"textDocument", Json{{"uri", uri_of_path(file)}}},
                                               {"position", Json{{"line", 0}, {"character", 1}}},
                                               {"context", Json{{"includeDeclaration", true}}}});
  ASSERT_EQ(references["result"].size(), 2u) << references.dump();
  EXPECT_EQ(references["result"][1]["range"], range(3, 13, 18));
}

// Names whose two-byte characters end in bytes that read as ASCII
// punctuation: ー (81 5B), ソ (83 5C), 表 (95 5C), マ (83 7D).
TEST(ServerDocuments, JapaneseNamesStayWhole) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "main.as";
  const std::string loop = "\xE3\x83\xAB\xE3\x83\xBC\xE3\x83\x97";  // ループ
  const std::string show = "\xE8\xA1\xA8\xE7\xA4\xBA";              // 表示
  const std::string data = "\xE3\x83\x9E\xE3\x82\xBD";              // マソ
  const std::string counter =
      "\xE3\x82\xAB\xE3\x82\xA6\xE3\x83\xB3\xE3\x82\xBF\xE3\x83\xBC";  // カウンター
  write_file(file, "");
  Session session(dir.path());
  session.open(file, data + " EQU 5\n" + loop + ":: W+" + data + ">W\n        " + show +
                         "\n        ===->" + loop + "\nSUB " + show + "\n        RET\nEND SUB\n");
  ASSERT_TRUE(session.diagnostics(file).empty()) << session.diagnostics(file).dump();
  // The jump's target and the call lead to their definitions.
  EXPECT_EQ(session.request("textDocument/definition", Session::at(file, 3, 14))["result"]["range"],
            range(1, 0, 3));
  EXPECT_EQ(session.request("textDocument/definition", Session::at(file, 2, 9))["result"]["range"],
            range(4, 4, 6));
  EXPECT_EQ(session.request("textDocument/definition", Session::at(file, 1, 8))["result"]["range"],
            range(0, 0, 2));
  EXPECT_NE(hover_text(session, file, 1, 8).find("value 0x05 (5)"), std::string::npos)
      << hover_text(session, file, 1, 8);
  // A rename to a name with 81 5B in it is a name like any other.
  Json rename = Session::at(file, 1, 1);
  rename["newName"] = counter;
  const Json edits = session.request("textDocument/rename", rename);
  ASSERT_EQ(edits["result"]["changes"][uri_of_path(file)].size(), 2u) << edits.dump();
  EXPECT_EQ(edits["result"]["changes"][uri_of_path(file)][1]["range"], range(3, 13, 16));
}

// An unsaved document that is not on disk takes its diagnostics with it.
TEST(ServerDocuments, ClosingAnUnsavedNewDocumentClearsItsDiagnostics) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "never_saved.as";
  Session session(dir.path());
  session.open(file, "BAD BAD BAD\n");
  ASSERT_EQ(session.diagnostics(file).size(), 1u);
  session.notify("textDocument/didClose", Json{{"textDocument", Json{{"uri", uri_of_path(file)}}}});
  EXPECT_TRUE(session.diagnostics(file).empty()) << session.diagnostics(file).dump();
}

// A project with an entry that is missing still speaks: the open document
// says why the project cannot be assembled and is checked alone; once the
// entry is there, the project counts again and the message goes.
TEST(ServerDocuments, AProjectWithAMissingEntryStillSpeaks) {
  korva::testing::ScratchDir dir;
  write_file(dir.path() / "p.amk", "defs.inc\r\nmain.as\r\n");
  const std::filesystem::path main = dir.path() / "main.as";
  write_file(main, "START:: NOP\n        ===->START\n");
  Session session(dir.path());
  session.open_file(main);
  Json diagnostics = session.diagnostics(main);
  ASSERT_EQ(diagnostics.size(), 1u) << diagnostics.dump();
  EXPECT_EQ(diagnostics[0]["severity"], 1);
  const std::string message = diagnostics[0]["message"];
  EXPECT_NE(message.find("defs.inc"), std::string::npos) << message;
  EXPECT_NE(message.find("checked alone"), std::string::npos) << message;
  // Requests keep answering.
  EXPECT_EQ(session.request("textDocument/definition", Session::at(main, 1, 14))["result"]["range"],
            range(0, 0, 5));
  write_file(dir.path() / "defs.inc", "X EQU 1\n");
  session.notify("workspace/didChangeWatchedFiles", Json{{"changes", Json::array()}});
  session.notify("textDocument/didSave", Json{{"textDocument", Json{{"uri", uri_of_path(main)}}}});
  EXPECT_TRUE(session.diagnostics(main).empty()) << session.diagnostics(main).dump();
}

// A rename is applied only when the renamed project gives the same program:
// FFh is a name to the eye but a number to the assembler.
TEST(ServerDocuments, ARenameThatWouldChangeTheProgramIsRefused) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "main.as";
  write_file(file, "");
  Session session(dir.path());
  session.open(file, "K EQU 5\n        W+K>W\n");
  const struct {
    const char* name;
    const char* refusal;  // empty: renamed
  } cases[] = {{"FFh", "would change the program: the word at 0000 would change (main.as:2)"},
               {"0FFh", "not a name"},
               {"KK", ""}};
  for (const auto& c : cases) {
    Json rename = Session::at(file, 0, 0);
    rename["newName"] = c.name;
    const Json reply = session.request("textDocument/rename", rename);
    if (*c.refusal == '\0') {
      EXPECT_EQ(reply["result"]["changes"][uri_of_path(file)].size(), 2u) << reply.dump();
      continue;
    }
    ASSERT_EQ(error_code(reply), error_codes::kRequestFailed) << c.name << reply.dump();
    EXPECT_NE(reply["error"]["message"].get<std::string>().find(c.refusal), std::string::npos)
        << reply.dump();
  }
}

TEST(ServerDocuments, ExplainsWithRelatedPlaces) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "main.as";
  Session session(dir.path());
  struct Case {
    const char* name;
    const char* text;
    int line;          // of the diagnostic
    int related_line;  // of its first related place
  };
  const Case cases[] = {
      {"a duplicate label", "A:: NOP\nB:: NOP\nA:: NOP\n", 2, 0},
      {"an error in a macro body",
       "MACRO BAD\n        XYZZY Q\nEND MACRO\n        NOP\n        BAD\n", 1, 4},
  };
  for (const Case& c : cases) {
    session.open(file, c.text);
    const Json diagnostics = session.diagnostics(file);
    ASSERT_FALSE(diagnostics.empty()) << c.name;
    EXPECT_EQ(diagnostics[0]["range"]["start"]["line"], c.line) << c.name << diagnostics.dump();
    ASSERT_TRUE(diagnostics[0].contains("relatedInformation")) << c.name << diagnostics.dump();
    EXPECT_EQ(diagnostics[0]["relatedInformation"][0]["location"]["range"]["start"]["line"],
              c.related_line)
        << c.name << diagnostics.dump();
  }
}

TEST(ServerDocuments, LocalLabelsKeepToTheirSubroutine) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "main.as";
  Session session(dir.path());
  session.open(file,
               "        ONE\n        TWO\nSUB ONE\nLOOP:   ===->LOOP\nEND SUB\n"
               "SUB TWO\n        NOP\nLOOP:   ===->LOOP\nEND SUB\n");
  for (const int line : {3, 7}) {
    const Json definition = session.request("textDocument/definition", Session::at(file, line, 14));
    EXPECT_EQ(definition["result"]["range"], range(line, 0, 4)) << line;
    Json rename = Session::at(file, line, 14);
    rename["newName"] = "AGAIN";
    const Json edits = session.request("textDocument/rename", rename)["result"]["changes"];
    const Json expected = Json::array({Json{{"range", range(line, 0, 4)}, {"newText", "AGAIN"}},
                                       Json{{"range", range(line, 13, 17)}, {"newText", "AGAIN"}}});
    EXPECT_EQ(edits[uri_of_path(file)], expected) << line;
  }
  Json rename = Session::at(file, 3, 0);
  rename["newName"] = "TWO";
  EXPECT_EQ(error_code(session.request("textDocument/rename", rename)),
            error_codes::kRequestFailed);
}

// A raw word's hover names its instruction as the disassembler's remark
// does: 0062 is OPTION, 0020 a NOP, 3B00 none.
TEST(ServerDocuments, HoverNamesARawWordsInstruction) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "main.as";
  Session session(dir.path());
  session.open(file, "        \\0062\n        \\0020\n        \\3B00\n        \\0B85\n");
  const struct {
    int line;
    const char* text;
  } cases[] = {{0, "OPTION"}, {1, "NOP"}, {2, "no instruction"}, {3, "DECFSZ 05h,F"}};
  for (const auto& c : cases) {
    const std::string text = hover_text(session, file, c.line, 9);
    EXPECT_NE(text.find(c.text), std::string::npos) << c.line << ": " << text;
  }
}

// A project of an enhanced chip: its forms are completed with the enhanced
// mnemonics, its words hovered as that core reads them (3500 is LSLF, never
// RETLW), and its errors published with the chip's ranges.
TEST(ServerDocuments, AnEnhancedChipsFormsWordsAndRanges) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "main.as";
  write_file(dir.path() / "p.amk", "16F1827.inc\r\nmain.as\r\n");
  Session session(dir.path());
  session.open(file,
               "        <<(70h)<<0->W\n        FSR1+=-1\n        32>BSR\n        -2[FSR1]>W\n");
  const struct {
    int line;
    int column;  // on the statement, off its names
    const char* text;
  } hovers[] = {{0, 9, "LSLF 70h,W"}, {1, 15, "ADDFSR FSR1,-1"}, {3, 9, "MOVIW -2[FSR1]"}};
  for (const auto& c : hovers) {
    const std::string text = hover_text(session, file, c.line, c.column);
    EXPECT_NE(text.find(c.text), std::string::npos) << c.line << ": " << text;
  }
  EXPECT_NE(hover_text(session, file, 2, 9).find("MOVLB takes a bank from 0 to 31"),
            std::string::npos)
      << hover_text(session, file, 2, 9);
  std::map<std::string, std::string> details;
  const Json completion = session.request("textDocument/completion", Session::at(file, 0, 8));
  for (const Json& item : completion["result"]["items"]) {
    if (item.contains("detail")) details[item["label"]] = item["detail"];
  }
  const std::pair<const char*, const char*> expected[] = {
      {"<<@<<0->@", "LSLF f,d"}, {"@+=@", "ADDFSR n,k"}, {"@[@]>W", "MOVIW k[n]"},
      {"++@>W", "MOVIW ++n"},    {"W>@--", "MOVWI n--"}, {"@>BSR", "MOVLB k"},
      {"-->@", "BRA k"},         {"CALL W", "CALLW"},    {"W+@>@", "ADDWF f,d / ADDLW k"},
  };
  for (const auto& [label, detail] : expected) EXPECT_EQ(details[label], detail) << label;
}

TEST(ServerDocuments, MacrosAndConstantsAreNamesToo) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "main.as";
  Session session(dir.path());
  session.open(file,
               "LED EQU 3\nMACRO ON\n        (6)_BITLED<1\nEND MACRO\nSTART:: ON\n        ON\n");
  EXPECT_EQ(session.request("textDocument/definition", Session::at(file, 5, 9))["result"]["range"],
            range(1, 6, 8));
  EXPECT_NE(hover_text(session, file, 0, 1).find("constant, value 0x03 (3)"), std::string::npos);
  EXPECT_NE(hover_text(session, file, 2, 14).find("**LED**"), std::string::npos);
  struct Case {
    int line;
    int column;
    const char* name;
    std::vector<Json> ranges;
  };
  const Case cases[] = {
      {4, 9, "LIGHT", {range(1, 6, 8), range(4, 8, 10), range(5, 8, 10)}},
      {0, 1, "LAMP", {range(0, 0, 3), range(2, 15, 18)}},
  };
  for (const Case& c : cases) {
    Json rename = Session::at(file, c.line, c.column);
    rename["newName"] = c.name;
    const Json edits = session.request("textDocument/rename", rename)["result"]["changes"];
    std::vector<Json> ranges;
    for (const Json& edit : edits[uri_of_path(file)]) ranges.push_back(edit["range"]);
    std::sort(ranges.begin(), ranges.end());
    std::vector<Json> expected = c.ranges;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ranges, expected) << c.name << edits.dump();
  }
  const Json folds = session.request("textDocument/foldingRange", Session::at(file, 0, 0));
  EXPECT_EQ(folds["result"], Json::array({Json{{"startLine", 1}, {"endLine", 3}}}));
}

TEST(ServerDocuments, ProjectsSpanTheirFiles) {
  const std::filesystem::path folder = kExamples / "ticker";
  Session session(folder, Json{{"chip", "16F877A"}});
  session.open_file(folder / "main.as");
  for (const char* file : {"defs.inc", "macros.inc", "main.as", "delay.as"}) {
    const Json diagnostics = session.diagnostics(folder / file);
    ASSERT_TRUE(diagnostics.is_array()) << file;
    for (const Json& diagnostic : diagnostics) {
      EXPECT_EQ(diagnostic["severity"], 2) << file << diagnostic.dump();  // warnings only
    }
  }
  // DELAY is called in main.as and defined in delay.as; SHOW is a macro.
  const Json definition =
      session.request("textDocument/definition", Session::at(folder / "main.as", 8, 9));
  EXPECT_EQ(definition["result"]["uri"], uri_of_path(folder / "delay.as"));
  const Json macro =
      session.request("textDocument/definition", Session::at(folder / "main.as", 7, 9));
  EXPECT_EQ(macro["result"]["uri"], uri_of_path(folder / "macros.inc"));
  const Json symbols = session.request("workspace/symbol", Json{{"query", "tic"}});
  ASSERT_EQ(symbols["result"].size(), 1u);
  EXPECT_EQ(symbols["result"][0]["name"], "TICKS");
}

TEST(ServerDocuments, AProjectWithAMissingSourceIsNotAssembled) {
  korva::testing::ScratchDir dir;
  write_file(dir.path() / "app.amk", "main.as\r\nlost.as\r\n");
  write_file(dir.path() / "main.as", "START:: NOP\n");
  Session session(dir.path());
  session.open_file(dir.path() / "main.as");
  const Json diagnostics = session.diagnostics(dir.path() / "main.as");
  ASSERT_EQ(diagnostics.size(), 1u) << diagnostics.dump();
  EXPECT_NE(diagnostics[0]["message"].get<std::string>().find("lost.as"), std::string::npos)
      << diagnostics.dump();
  // The source that was read still answers.
  const Json symbols =
      session.request("textDocument/documentSymbol", Session::at(dir.path() / "main.as", 0, 0));
  EXPECT_EQ(error_code(symbols), 0);
}

// An open project file shows each entry that cannot be read on its line;
// mending the entry clears it there and in the open source.
TEST(ServerDocuments, AnOpenProjectFileNamesItsMissingEntry) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path project = dir.path() / "app.amk";
  const std::filesystem::path source = dir.path() / "main.as";
  write_file(project, "main.as\r\nlost.as\r\n");
  write_file(source, "START:: NOP\n");
  Session session(dir.path());
  session.open_file(source);
  session.open_file(project);
  Json diagnostics = session.diagnostics(project);
  ASSERT_EQ(diagnostics.size(), 1u) << diagnostics.dump();
  EXPECT_EQ(diagnostics[0]["range"], range(1, 0, 7));
  EXPECT_NE(diagnostics[0]["message"].get<std::string>().find("lost.as"), std::string::npos);
  EXPECT_EQ(session.diagnostics(source).size(), 1u);

  write_file(dir.path() / "lost.as", "        NOP\n");
  session.notify("textDocument/didChange",
                 Json{{"textDocument", Json{{"uri", uri_of_path(project)}, {"version", 2}}},
                      {"contentChanges", Json::array({Json{{"text", "main.as\r\nlost.as\r\n"}}})}});
  EXPECT_TRUE(session.diagnostics(project).empty()) << session.diagnostics(project).dump();
  EXPECT_TRUE(session.diagnostics(source).empty()) << session.diagnostics(source).dump();
  session.notify("textDocument/didClose",
                 Json{{"textDocument", Json{{"uri", uri_of_path(project)}}}});
  EXPECT_TRUE(session.diagnostics(project).empty());
}

TEST(ServerDocuments, WithstandsLargeDocumentsAndFloodsOfChanges) {
  korva::testing::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "big.as";
  Session session(dir.path());
  // 10 MB in lines of 10 KB, most of them remarks (1 MB under the
  // sanitizers, which make reading JSON ten times slower); the message is
  // written by hand, as JSON's own writer would take longer than the server.
  const std::string line = "; " + std::string(10238, 'x') + "\\n";
  std::string message = R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":)"
                        R"({"textDocument":{"languageId":"korva","version":1,"uri":")" +
                        uri_of_path(file) + R"(","text":")";
  while (message.size() < kLargeDocument) message += line;
  message += R"(        ===->NOWHERE\n"}}})";
  session.send_body(message);
  const Json diagnostics = session.diagnostics(file);
  ASSERT_FALSE(diagnostics.empty());
  EXPECT_EQ(std::count_if(diagnostics.begin(), diagnostics.end(),
                          [](const Json& d) { return d["severity"] == 1; }),
            1);

  // A thousand diagnostics of a file are published, the rest counted.
  std::string errors;
  for (int i = 0; i < 1200; ++i) errors += "XYZ\n";
  session.open(file, errors);
  const Json many = session.diagnostics(file);
  ASSERT_EQ(many.size(), 1001u);
  EXPECT_EQ(many[1000]["message"], "200 more diagnostics of this file are not shown");

  // A statement far longer than the record holds gets no styles (styling
  // grows faster than its length), its label does.
  std::string sum = "LONG:: W+";
  for (int i = 0; i < 20000; ++i) sum += "1+";
  session.open(file, sum + "1>W\n");
  const Json tokens = session.request("textDocument/semanticTokens/full", Session::at(file, 0, 0));
  EXPECT_EQ(tokens["result"]["data"], Json::array({0, 0, 4, 2, 0}));

  // A flood of changes, queued before the server is idle: one analysis.
  session.open(file, "START:: NOP\n");
  const std::size_t before = session.replies().size();
  for (int i = 0; i < 300; ++i) {
    const Json change{
        {"textDocument", Json{{"uri", uri_of_path(file)}, {"version", 10 + i}}},
        {"contentChanges",
         Json::array({Json{{"range", range(0, 8, 11)}, {"text", i % 2 ? "NOP" : "BAD"}}})}};
    EXPECT_TRUE(
        session.server()
            .handle(
                Json{{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"}, {"params", change}}
                    .dump())
            .empty());
  }
  EXPECT_EQ(session.replies().size(), before);
  const std::vector<std::string> published = session.server().idle();
  ASSERT_EQ(published.size(), 1u);
  EXPECT_TRUE(Json::parse(published[0])["params"]["diagnostics"].empty());  // ends with NOP
  // Positions far beyond the end are taken as the end.
  const Json hover = session.request("textDocument/hover", Session::at(file, 9999, 9999));
  EXPECT_EQ(error_code(hover), 0);
}

}  // namespace
}  // namespace korva::lsp
