#include "platform/portable/console_pieces.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/portable/utf16.h"
#include "text/utf8.h"

namespace vtm::platform {
namespace {

constexpr std::size_t MAX_PIECE = ConsolePieces::MAX_PIECE_BYTES;

// Feeds the writes one after another and collects every piece, as the console writer would.
std::vector<std::string> pieces_of(ConsolePieces& pieces, const std::vector<std::string>& writes) {
  std::vector<std::string> out;
  for (const std::string& write : writes) {
    pieces.start(write);
    for (std::string_view piece = pieces.next(); !piece.empty(); piece = pieces.next()) {
      out.emplace_back(piece);
    }
  }
  return out;
}

std::vector<std::string> pieces_of(const std::vector<std::string>& writes) {
  ConsolePieces pieces;
  return pieces_of(pieces, writes);
}

const std::string EURO = "\xE2\x82\xAC";
const std::string GRIN = "\xF0\x9F\x98\x80";
const std::string E_ACUTE = "\xC3\xA9";

struct PiecesCase {
  const char* name;
  std::vector<std::string> writes;
  std::vector<std::string> pieces;
  std::string held;
};

class ConsolePiecesSplit : public testing::TestWithParam<PiecesCase> {};

TEST_P(ConsolePiecesSplit, GivesWholeCharactersAndHoldsAnUnfinishedOne) {
  ConsolePieces pieces;
  EXPECT_EQ(pieces_of(pieces, GetParam().writes), GetParam().pieces);
  EXPECT_EQ(pieces.held(), GetParam().held);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConsolePiecesSplit,
    testing::Values(
        PiecesCase{"Empty", {""}, {}, ""},
        PiecesCase{"Ascii", {"{\"success\":true}\n"}, {"{\"success\":true}\n"}, ""},
        PiecesCase{"WholeCharacters", {"a" + EURO + GRIN}, {"a" + EURO + GRIN}, ""},
        PiecesCase{"EndsInsideThreeByte", {"ab\xE2\x82"}, {"ab"}, "\xE2\x82"},
        PiecesCase{"OnlyAnUnfinishedLead", {"\xF0"}, {}, "\xF0"},
        PiecesCase{"CompletedByNextWrite", {"ab\xE2\x82", "\xAC x"}, {"ab", EURO, " x"}, ""},
        PiecesCase{"FourByteOneByteAtATime",
                   {"\xF0", "\x9F", "\x98", "\x80"}, {GRIN}, ""},
        PiecesCase{"FourByteSplitTwoTwo", {"a\xF0\x9F", "\x98\x80" "b"}, {"a", GRIN, "b"}, ""},
        PiecesCase{"CompletedCharacterAloneInWrite", {"\xC3", "\xA9"}, {E_ACUTE}, ""},
        PiecesCase{"EmptyWriteKeepsHeldBytes", {"\xC3", "", "\xA9"}, {E_ACUTE}, ""},
        PiecesCase{"HeldThenStillUnfinished", {"\xF0\x9F", "\x98"}, {}, "\xF0\x9F\x98"},
        PiecesCase{"HeldThenNextWriteEndsUnfinished", {"\xC3", "\xA9" "a\xE2"},
                   {E_ACUTE, "a"}, "\xE2"},
        // Bytes that cannot be UTF-8 go out (as U+FFFD on the console), never dropped or held.
        PiecesCase{"HeldCutShortByAscii", {"\xE2\x82", "A"}, {"\xE2\x82", "A"}, ""},
        PiecesCase{"HeldCutShortByNewLead", {"\xE2", "\xC3\xA9"}, {"\xE2", E_ACUTE}, ""},
        PiecesCase{"StrayContinuation", {"a\x80" "b"}, {"a\x80" "b"}, ""},
        PiecesCase{"InvalidLeadAtEnd", {"a\xC0"}, {"a\xC0"}, ""},
        PiecesCase{"ByteFFAtEnd", {"\xFF"}, {"\xFF"}, ""},
        PiecesCase{"SurrogateBeginningAtEnd", {"a\xED\xA0"}, {"a\xED\xA0"}, ""},
        PiecesCase{"AboveMaximumBeginningAtEnd", {"a\xF4\x90"}, {"a\xF4\x90"}, ""},
        PiecesCase{"OverlongBeginningAtEnd", {"a\xE0\x80"}, {"a\xE0\x80"}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct BoundaryCase {
  const char* name;
  std::string character;
};

class ConsolePiecesBoundary : public testing::TestWithParam<BoundaryCase> {};

// The character placed at every position around the piece limit must never be cut.
TEST_P(ConsolePiecesBoundary, NeverCutsACharacterAtThePieceLimit) {
  const std::string& character = GetParam().character;
  for (std::size_t before = MAX_PIECE - character.size() - 1; before <= MAX_PIECE; ++before) {
    const std::string text = std::string(before, 'a') + character + "b";
    const std::vector<std::string> pieces = pieces_of({text});
    std::string joined;
    for (const std::string& piece : pieces) {
      EXPECT_LE(piece.size(), MAX_PIECE) << before;
      EXPECT_TRUE(utf8_to_utf16(piece).has_value()) << "piece cut inside a character, " << before;
      joined += piece;
    }
    EXPECT_EQ(joined, text) << before;
    // The first piece takes as many whole characters as fit.
    std::size_t first = before;
    if (before + character.size() <= MAX_PIECE) first = before + character.size();
    if (text.size() <= MAX_PIECE) first = text.size();
    ASSERT_FALSE(pieces.empty());
    EXPECT_EQ(pieces[0].size(), first) << before;
    EXPECT_EQ(pieces.size(), first == text.size() ? 1u : 2u) << before;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConsolePiecesBoundary,
                         testing::Values(BoundaryCase{"TwoBytes", E_ACUTE},
                                         BoundaryCase{"ThreeBytes", EURO},
                                         BoundaryCase{"FourBytes", GRIN}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConsolePieces, LongTextFillsPiecesUpToTheLastWholeCharacter) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += EURO;  // 15000 bytes
  const std::vector<std::string> pieces = pieces_of({text});
  // 4096 is not a multiple of 3: each full piece stops at 4095.
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[0].size(), 4095u);
  EXPECT_EQ(pieces[1].size(), 4095u);
  EXPECT_EQ(pieces[2].size(), 4095u);
  EXPECT_EQ(pieces[3].size(), 15000u - 3 * 4095u);
}

TEST(ConsolePieces, AnySplitIntoWritesLosesAndReordersNothing) {
  // Whole characters of every width, with ill-formed bytes between them.
  const std::string text = "a" + E_ACUTE + EURO + "\xFF" + GRIN + "\x80" + "z\xE2\x82" "q" + GRIN;
  std::set<std::size_t> boundaries;
  for (std::size_t at = 0; at < text.size();) {
    at += decode_utf8_sequence(std::string_view(text).substr(at)).length;
    boundaries.insert(at);
  }
  for (std::size_t first = 0; first <= text.size(); ++first) {
    for (std::size_t second = first; second <= text.size(); ++second) {
      ConsolePieces pieces;
      const std::vector<std::string> out =
          pieces_of(pieces, {text.substr(0, first), text.substr(first, second - first),
                             text.substr(second)});
      std::string joined;
      for (const std::string& piece : out) joined += piece;
      EXPECT_EQ(joined, text) << first << "," << second;
      std::size_t offset = 0;
      for (const std::string& piece : out) {
        offset += piece.size();
        EXPECT_TRUE(boundaries.count(offset)) << "cut at " << offset << " for " << first << ","
                                              << second;
      }
      EXPECT_TRUE(pieces.held().empty()) << first << "," << second;
    }
  }
}

}  // namespace
}  // namespace vtm::platform
