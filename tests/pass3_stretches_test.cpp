// With a worker, pass 3 cuts a large program into pieces that two threads
// list at once, and joins them. Whatever the program and wherever the
// threads meet, the result must be the one that pass 3 gives in one stretch
// (without a worker): the same listing, error list, diagnostics, image and
// .obj bytes.
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <iterator>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/assembly_service.h"
#include "driver/pass3_stretch.h"
#include "support/background_worker.h"
#include "test_support.h"

namespace korva {
namespace {

// Two macros, one calling the other, whose lines give errors and warnings
// inside expansions (notes naming the calls) without losing their words.
constexpr const char* kMacros =
    "MACRO INNER\n"
    "        5_BIT3<0\n"
    "        ===->NOWHERE\n"
    "END MACRO\n"
    "MACRO OUTER\n"
    "        NOP\n"
    "        INNER\n"
    "        W+300>W\n"
    "END MACRO\n";

// One unit of the program: what pass 3 carries from one record to the next.
// A subroutine with a local label of the same name in every unit, jumps
// to it and to a global label, a register above bank 0, a literal too wide,
// macro calls, and every `org_every`th unit an ORG forward (a gap in the
// image). With `lose_words`, every 20th unit has a line whose error leaves
// no word, so the location counter runs behind pass 2's addresses.
std::string unit(std::size_t i, bool lose_words, std::size_t org_every) {
  const std::string n = std::to_string(i);
  std::string text;
  // Units take 75 words; an ORG to 128 words a unit always moves forward.
  if (org_every != 0 && i % org_every == org_every - 1) {
    text += "        ORG " + std::to_string(128 * i) + "\n";
  }
  text += "        SUB S" + n + "\n";
  text += "LOOP:   NOP\n";
  text += "        ===->LOOP\n";
  text += "        W+($86)>F\n";
  text += "        END SUB\n";
  text += "G" + n + "::  S" + n + "\n";
  // The symbols are few (a thousand at most), the lines without them many.
  for (int k = 0; k < 8; ++k) {
    text += "        OUTER\n";
    text += "        ===->G" + n + "\n";
    text += "        W+400>W          ; a remark\n";
    text += "        W+($86)>F\n";
  }
  if (lose_words && i % 20 == 7) text += "        W+(NOWHERE)>W\n";
  return text;
}

struct Shape {
  const char* name;
  bool chip;                // the 16F84A's definitions in front
  std::size_t units;        // a thousand symbols at most, the chip's among them
  std::size_t quiet_lines;  // remark lines before the first unit
  const char* origin;       // the first unit's ORG, if any
  bool lose_words;
  std::size_t org_every;
};

std::vector<std::pair<std::string, std::string>> program(const Shape& shape) {
  std::vector<std::pair<std::string, std::string>> sources;
  if (shape.chip) {
    sources.emplace_back(
        "16F84A.inc",
        testing::read_bytes(std::filesystem::path(KORVA_CHIP_SOURCES) / "16F84A.inc"));
  }
  std::string text = kMacros;
  for (std::size_t i = 0; i < shape.quiet_lines; ++i) text += "; quiet\n";
  if (shape.origin != nullptr) text += std::string("        ORG ") + shape.origin + "\n";
  for (std::size_t i = 0; i < shape.units; ++i) text += unit(i, shape.lose_words, shape.org_every);
  // Backwards: an error, and the counter moves anyway.
  text += "        ORG 10\n        NOP\nend\n";
  sources.emplace_back("big.as", std::move(text));
  return sources;
}

// Everything a diagnostic holds, as text, so that two lists compare whole.
std::string dump(const std::vector<Diagnostic>& diagnostics) {
  std::ostringstream out;
  const auto place = [&out](const SourceLocation& where) {
    out << where.file << ':' << where.line << ':' << where.file_index;
  };
  for (const Diagnostic& d : diagnostics) {
    out << static_cast<int>(d.kind) << ' ' << static_cast<int>(d.severity) << ' ';
    place(d.where);
    if (d.call) place(*d.call);
    out << '|' << d.text << '|' << d.listing_line << '|'
        << (d.listing_index ? static_cast<long long>(*d.listing_index) : -1) << '|' << d.source_line
        << '|' << (d.span ? d.span->column : 0) << ',' << (d.span ? d.span->length : 0) << '|'
        << d.name << d.name_undefined << '|' << d.explanation << '|' << d.hint;
    for (const DiagnosticNote& note : d.notes) {
      out << "|note ";
      place(note.where);
      out << note.text;
    }
    out << '\n';
  }
  return out.str();
}

std::string placed_text(const ProgramImage& image) {
  std::string text;
  for (const PlacedBytes& run : image.placed()) {
    text += std::to_string(run.address) + ":" + std::string(run.bytes) + "\n";
  }
  return text;
}

struct Collected {
  std::string streamed_listing;
  std::size_t last_calls = 0;
};

TEST(Pass3Stretches, GiveWhatOneStretchGives) {
  const Shape shapes[] = {
      {"mixed", false, 150, 0, nullptr, false, 23},
      {"mixed, with the chip", true, 120, 0, nullptr, false, 0},
      {"lines that lose their words", false, 150, 0, nullptr, true, 0},
      // The later stretch holds the first of every kind of finding: the
      // first word beyond the chip's memory, the first register above bank
      // 0 and every warning of the kinds with a share.
      {"a quiet start", true, 80, 10000, "1F00h", false, 0},
  };
  AssemblyService service;
  BackgroundWorker worker;
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    SourceSet sources;
    for (const auto& [name, bytes] : program(shape)) ASSERT_TRUE(sources.add(name, bytes));
    const ServiceResult one = service.assemble(sources, ServiceOptions{});
    ASSERT_EQ(one.outcome, ServiceOutcome::completed) << one.message;
    // Large enough for pieces on two threads, with findings to join.
    ASSERT_GE(one.records->size(), 5 * RecordStore::kCheckpointRecords);
    ASSERT_GT(one.error_entries.size(), 100u);
    // The pieces the program's size gives, and pieces as small as can be,
    // so that the threads meet at many places over the runs.
    for (const auto& [keep, piece_records] :
         {std::pair{true, 0}, std::pair{false, 0}, std::pair{true, 1}, std::pair{false, 1}}) {
      SCOPED_TRACE(keep ? "listing kept" : "listing streamed");
      SCOPED_TRACE(piece_records);
      Collected collected;
      std::string object;
      ServiceOptions options;
      options.worker = &worker;
      options.keep_listing = keep;
      options.pass3_piece_records = static_cast<std::size_t>(piece_records);
      options.listing_sink = [&collected](std::string_view bytes, bool last) {
        collected.streamed_listing += bytes;
        collected.last_calls += last ? 1 : 0;
      };
      options.object_sink = [&object](std::string_view bytes, bool) { object += bytes; };
      const ServiceResult two = service.assemble(sources, options);
      ASSERT_EQ(two.outcome, ServiceOutcome::completed);
      EXPECT_TRUE(collected.streamed_listing == one.listing);
      EXPECT_EQ(collected.last_calls, 1u);
      EXPECT_TRUE(two.listing == (keep ? one.listing : std::string()));
      EXPECT_EQ(two.error_entries, one.error_entries);
      EXPECT_EQ(dump(two.diagnostics), dump(one.diagnostics));
      EXPECT_TRUE(two.image.bytes() == one.image.bytes());
      EXPECT_EQ(placed_text(two.image), placed_text(one.image));
      EXPECT_TRUE(object == one.object_bytes());
    }
  }
}

// The two ends take every piece but the first (the front's own) exactly
// once: the front the first ones in order, the back the others from the
// last down, however their calls interleave.
TEST(PieceClaims, TheTwoEndsShareThePiecesWithoutGapOrOverlap) {
  for (const std::size_t pieces : {1u, 2u, 3u, 17u, 64u}) {
    for (int round = 0; round < 20; ++round) {
      SCOPED_TRACE(pieces);
      PieceClaims claims(pieces);
      std::vector<std::size_t> front;
      std::vector<std::size_t> back;
      std::thread other([&] {
        while (const std::optional<std::size_t> piece = claims.take_front())
          front.push_back(*piece);
      });
      while (const std::optional<std::size_t> piece = claims.take_back()) back.push_back(*piece);
      other.join();
      std::size_t expected = 1;
      for (const std::size_t piece : front) EXPECT_EQ(piece, expected++);
      for (auto piece = back.rbegin(); piece != back.rend(); ++piece) EXPECT_EQ(*piece, expected++);
      EXPECT_EQ(expected, pieces);
      EXPECT_FALSE(claims.take_front());
      EXPECT_FALSE(claims.take_back());
    }
  }
}

// Lines drawn from `pool` at random, `draws` times, each in a run of up to
// two, so that a repeat follows at once as well as later; `insert(i)` gives
// lines of its own to put before the i-th draw.
std::string random_lines(std::span<const char* const> pool, std::uint32_t seed, std::size_t draws,
                         const std::function<std::string(std::size_t)>& insert) {
  std::mt19937 random(seed);
  std::string text;
  for (std::size_t i = 0; i < draws; ++i) {
    text += insert(i);
    const char* line = pool[random() % pool.size()];
    for (std::size_t run = random() % 3; run-- > 0;) text += std::string(line) + "\n";
  }
  return text;
}

// Assembles the program with its facts collected, which makes and encodes
// every record afresh, and without, alone and with a worker (two stretches
// of pass 3 for a program as large): everything must come out the same.
void expect_repeats_made_alike(const std::string& text) {
  SourceSet sources;
  ASSERT_TRUE(sources.add("repeats.as", text));
  AssemblyService service;
  ServiceOptions afresh_options;
  afresh_options.collect_facts = true;
  const ServiceResult afresh = service.assemble(sources, afresh_options);
  ASSERT_EQ(afresh.outcome, ServiceOutcome::completed) << afresh.message;
  ASSERT_GE(afresh.records->size(), 5 * RecordStore::kCheckpointRecords);
  BackgroundWorker worker;
  for (BackgroundWorker* on : {static_cast<BackgroundWorker*>(nullptr), &worker}) {
    SCOPED_TRACE(on != nullptr ? "with the worker" : "alone");
    ServiceOptions options;
    options.worker = on;
    std::string object;
    options.object_sink = [&object](std::string_view bytes, bool) { object += bytes; };
    const ServiceResult repeats = service.assemble(sources, options);
    ASSERT_EQ(repeats.outcome, ServiceOutcome::completed);
    EXPECT_TRUE(object == afresh.object_bytes());
    EXPECT_TRUE(repeats.listing == afresh.listing);
    EXPECT_EQ(repeats.error_entries, afresh.error_entries);
    EXPECT_EQ(dump(repeats.diagnostics), dump(afresh.diagnostics));
    EXPECT_TRUE(repeats.image.bytes() == afresh.image.bytes());
    EXPECT_EQ(placed_text(repeats.image), placed_text(afresh.image));
  }
}

// Pass 3 lists the repeats of a plain record (an operation encoded without
// a finding, a remark, a macro's mark) from the store without encoding them
// again; when the program's facts are collected, every record is encoded.
// Both must list alike, whatever lines repeat among which others.
TEST(Pass3Repeats, ListAsRecordsEncodedOneByOne) {
  const char* const pool[] = {
      "        W+($86)>F",
      "        W+($06)>F",
      "        W+($186)>F   ; above bank 0",
      "        W+300>W",
      "        W+5*3>W",
      "        W+V1>W",
      "        (V1)_BIT3<0",
      "        5_BIT9<0",
      "        W+(NOWHERE)>W",
      "        NOP",
      "; a remark",
      "",
      "        ; an indented remark",
      "; a remark long enough that its field cuts it, so that pass 2 warns about it",
      "        W+1>W ; a remark long enough that its field cuts it, so that pass 2 warns",
      "        OUTER",
      "        INNER",
      "        ===->G1",
      "        S1",
      "        swap(V1)>w",
  };
  for (const std::uint32_t seed : {1u, 2u}) {
    SCOPED_TRACE(seed);
    const std::string lines = random_lines(pool, seed, 14000, [](std::size_t i) {
      return std::string(i == 7000 ? "G1::    ORG 2000h\n" : "");
    });
    expect_repeats_made_alike(std::string(kMacros) +
                              "V1 EQU 20h\n        SUB S1\n        END SUB\n" + lines + "end\n");
  }
}

// Pass 2 keeps the lines it has made a record of and makes a repeat's record
// from what it kept; when the program's facts are collected, it makes every
// record afresh. Lines that take the operands of the line before (calls,
// remarks), lines it must not keep (labels, directives, warnings, cut
// statements, lines of a macro definition), a location counter that runs
// past FFFF, and the same line with other blanks: the .obj bytes, the
// listing and the diagnostics must be the same either way.
TEST(Pass2Repeats, GiveTheRecordsOfLinesMadeAfresh) {
  const char* const pool[] = {
      "        W+($86)>F",
      "\tW+($86)>F",
      "        W+($86)>F\r",
      "        ===->G1",
      "        S1",
      "; a remark",
      "",
      "        \\3FFF",
      "        DE 5",
      "        DE 500",
      "        OUTER",
      "        W+(NOWHERE)>W",
      "        (V1)_BIT3<0",
      "        RET",
      "        W+1>W   ; W+1>W with a remark long enough to be cut at its field's end",
      "        W+(V1+V1+V1+V1+V1+V1+V1+V1+V1+V1+V1+V1+V1+V1+V1+V1+V1+V1)>W",
      "        ORG $+1",
      "        W+K>W",
  };
  for (const std::uint32_t seed : {5u, 6u}) {
    SCOPED_TRACE(seed);
    const std::string lines = random_lines(pool, seed, 12000, [](std::size_t i) {
      std::string inserted = i == 6000 ? "G1::    ORG 0FF00h\n" : "";
      if (i % 1000 == 999) inserted += "U" + std::to_string(i) + ":  W+($86)>F\n";
      return inserted;
    });
    expect_repeats_made_alike(std::string(kMacros) +
                              "V1 EQU 20h\n        SUB S1\n        END SUB\n"
                              "MACRO BODY\n        W+($86)>F\n        S1\nEND MACRO\n" +
                              lines + "K EQU 7\nend\n");
  }
}

}  // namespace
}  // namespace korva
