// SPDX-License-Identifier: GPL-3.0-or-later
// The fast block expansion and alignment against the direct reference, on worked
// examples and on random texts.
#include "generate/ReferenceExpand.h"
#include "generate/TokenUnit.h"

#include <gtest/gtest.h>
#include <random>

namespace {
constexpr std::array<std::string_view, 3> Tokens = {"$A_ONE", "$A_TWO", "$B"};

std::string Value(std::size_t item, std::size_t token) {
  return std::string(1, static_cast<char>('a' + token)) + std::to_string(item + 1);
}

std::string Expand(const std::string& text, std::size_t items, const TBlockValue& value = Value) {
  const std::string fast = ExpandBlock(text, "@BEGIN", "@END", Tokens, items, value);
  EXPECT_EQ(fast, ReferenceExpandBlock(text, "@BEGIN", "@END", Tokens, items, value));
  return fast;
}
} // namespace

TEST(Blocks, BodyIsTrimmedAndRepeatedPerItem) {
  const struct {
    const char* Name;
    std::string Text;
    std::size_t Items;
    std::string Expected;
  } cases[] = {
      {"one line per item", "x\r\n@BEGIN\r\n$A_ONE-$B\r\n@END\r\ny", 3,
       "x\r\na1-c1\r\na2-c2\r\na3-c3\r\n\r\ny"},
      {"front line breaks go, front spaces stay", "@BEGIN\n\r\n  $A_TWO \t\r\n\r\n@END", 2,
       "  b1\r\n  b2\r\n"},
      {"no items: the block and its markers vanish", "a@BEGIN $B @ENDz", 0, "az"},
      {"empty body: one empty line per item", "@BEGIN\r\n@END", 2, "\r\n\r\n"},
      {"no end marker", "@BEGIN $B", 2, "@BEGIN $B"},
      {"end before start", "@END @BEGIN $B", 2, "@END @BEGIN $B"},
      {"only the first block", "@BEGIN$B@END@BEGIN$B@END", 2, "c1\r\nc2\r\n@BEGIN$B@END"},
      {"a token twice", "@BEGIN$A_ONE,$A_ONE@END", 3, "a1,a2\r\na3,$A_ONE\r\n$A_ONE,$A_ONE\r\n"},
      {"a token missing", "@BEGIN$B@END", 2, "c1\r\nc2\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Expand(c.Text, c.Items), c.Expected);
  }
}

TEST(Blocks, ValuesAreNeverReadAsTemplateText) {
  // A value holding a token, a marker or a piece that joins the text behind it into a
  // token stays as it is.
  const auto tricky = [](std::size_t item, std::size_t token) -> std::string {
    return token == 0 ? "<$A_TWO @RIGHT>" : token == 2 ? "$A_" : "#" + std::to_string(item + 1);
  };
  EXPECT_EQ(Expand("@BEGIN$A_ONE $A_TWO@END", 2, tricky),
            "<$A_TWO @RIGHT> #1\r\n<$A_TWO @RIGHT> #2\r\n");
  EXPECT_EQ(Expand("@BEGIN$BONE $A_ONE@END", 2, tricky),
            "$A_ONE <$A_TWO @RIGHT>\r\n$A_ONE <$A_TWO @RIGHT>\r\n");
  // An empty value joins the template text on both sides, as if it had never stood there.
  const auto empty = [](std::size_t, std::size_t token) -> std::string {
    return token == 2 ? "" : "1";
  };
  EXPECT_EQ(Expand("@BEGIN$A_$BONE@END", 2, empty), "1\r\n$A_ONE\r\n");
}

TEST(AlignRight, MovesTextToTheRightMostMarker) {
  const struct {
    const char* Name;
    std::string Text;
    std::string Expected;
  } cases[] = {
      {"two lines", " 1. Intro  @RIGHT( 0:59)\r\n 2. Long Song  @RIGHT(12:03)\r\n",
       " 1. Intro      ( 0:59)\r\n 2. Long Song  (12:03)\r\n"},
      {"characters, not bytes", "Café @RIGHTx\nCafe @RIGHTy\n", "Café x\nCafe y\n"},
      // As a fixed-pitch viewer shows them: a combining accent takes no column, a CJK
      // character or an emoji two, a zero-width space none, a tab one.
      {"combining marks", "Cafe\u0301 Re\u0301sume\u0301 @RIGHTx\nCafe @RIGHTy\n",
       "Cafe\u0301 Re\u0301sume\u0301 x\nCafe        y\n"},
      {"wide characters", "日本語@RIGHTx\nabc@RIGHTy\n", "日本語x\nabc   y\n"},
      {"emoji and zero width", "🎵\u200B@RIGHTx\n\t@RIGHTy\n", "🎵\u200Bx\n\t y\n"},
      {"second marker on a line", "a@RIGHTb@RIGHTc\nxxxx@RIGHTd\n", "a       bc\nxxxx    d\n"},
      {"no marker", "plain\r\n", "plain\r\n"},
      {"markers joined by a removal", "@RI@RIGHTGHTx\n", "   x\n"},
      {"lone CR starts a line", "ab@RIGHTc\rd@RIGHTe", "abc\rd e"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(AlignRight(c.Text), c.Expected);
    EXPECT_EQ(ReferenceAlignRight(c.Text), c.Expected);
  }
}

// Random bodies of token pieces, markers and line breaks, with values that themselves
// hold token text: the fast forms must give the reference's bytes.
TEST(Blocks, RandomTextsMatchTheReference) {
  const std::array<std::string_view, 14> pieces = {"$A_ONE", "$A_TWO", "$B",  "$A_", "ONE",
                                                   "TWO",    "@RIGHT", "@RI", "GHT", "\r\n",
                                                   "\n",     " ",      "é",   "日"};
  std::mt19937 random(20261208);
  auto pick = [&](std::size_t n) {
    return static_cast<std::size_t>(random() % n);
  };
  for (int round = 0; round < 2000; ++round) {
    std::string body;
    const std::size_t length = pick(12);
    for (std::size_t i = 0; i < length; ++i)
      body += pieces[pick(pieces.size())];
    const std::string text = (pick(4) == 0 ? "@END" : "") + std::string("head ") + "@BEGIN" + body +
                             "@END tail" + (pick(3) == 0 ? " @BEGIN$B@END" : "");
    std::vector<std::string> values;
    for (int i = 0; i < 40; ++i) {
      std::string value;
      for (std::size_t k = pick(3); k > 0; --k)
        value += pieces[pick(pieces.size())];
      values.push_back(value);
    }
    const auto valueOf = [&](std::size_t item, std::size_t token) {
      return values[(item * 3 + token) % values.size()];
    };
    const std::size_t items = pick(6);
    SCOPED_TRACE(text);
    ASSERT_EQ(ExpandBlock(text, "@BEGIN", "@END", Tokens, items, valueOf),
              ReferenceExpandBlock(text, "@BEGIN", "@END", Tokens, items, valueOf));
  }
}

// Hostile templates stay linear: a million markers in a block, a million tokens.
TEST(Blocks, MillionsOfMarkersAndTokensStayLinear) {
  std::string markers = "@BEGIN";
  for (int i = 0; i < 1000000; ++i)
    markers += "@RIGHT";
  markers += "x@END";
  // Every marker but the first already stands at the target column once the one before
  // it is padded: each line is the padding, then x.
  const std::string aligned = ExpandBlock(markers, "@BEGIN", "@END", Tokens, 2, Value);
  const std::size_t target = 6 * (1000000 - 1);
  EXPECT_EQ(aligned.size(), 2 * (target + 3));
  EXPECT_EQ(aligned.substr(target, 3), "x\r\n");

  std::string tokens = "@BEGIN";
  for (int i = 0; i < 200000; ++i)
    tokens += "$B";
  tokens += "@END";
  const std::string expanded = ExpandBlock(tokens, "@BEGIN", "@END", Tokens, 3, Value);
  EXPECT_EQ(expanded.substr(0, 6), "c1c2c3");
  EXPECT_EQ(expanded.size(), 3 * (200000 * 2 + 2)); // three tokens became three values of 2

  std::string text;
  for (int i = 0; i < 1000000; ++i)
    text += "$A_ONE";
  ReplaceAll(text, "$A_ONE", "$A_ONE$A_ONE"); // never re-scans what it inserted
  EXPECT_EQ(text.size(), 12000000u);
}
