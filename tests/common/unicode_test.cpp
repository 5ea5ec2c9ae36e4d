// The Unicode text helpers on the cases the commands depend on.
#include "common/unicode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Unicode, LowerCasing) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"CMD+Shift+T", "cmd+shift+t"},
      {"\xe1\xba\x9e", "\xc3\x9f"},              // ẞ -> ß
      {"\xc4\xb0", "i\xcc\x87"},                 // İ -> i + combining dot above (full mapping)
      {"\xce\xa3\xce\x91", "\xcf\x83\xce\xb1"},  // ΣΑ -> σα
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(text::toLowerFull(c.in), c.out) << c.in;
}

TEST(Unicode, GraphemeClusters) {
  const std::string family =
      "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7";  // 👨‍👩‍👧
  const std::string eAcute = "e\xcc\x81";                                          // e + U+0301
  const std::string flag = "\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa";                     // 🇩🇪
  struct Case {
    std::string in;
    std::size_t count;
  };
  const Case cases[] = {{"", 0},   {"abc", 3}, {family, 1}, {eAcute, 1}, {family + eAcute + "x", 3},
                        {flag, 1}, {"\r\n", 1}};
  for (const Case& c : cases) EXPECT_EQ(text::graphemeCount(c.in), c.count) << c.in;
  EXPECT_TRUE(text::isSingleGrapheme(family));
  EXPECT_TRUE(text::isSingleGrapheme(eAcute));
  EXPECT_FALSE(text::isSingleGrapheme("ab"));
  EXPECT_FALSE(text::isSingleGrapheme(""));
  EXPECT_EQ(text::graphemePrefix(family + eAcute + "x", 2), family + eAcute);
}

TEST(Unicode, TruncateWithEllipsis) {
  const std::string ellipsis = "\xe2\x80\xa6";
  const std::string sixty(60, 'a');
  EXPECT_EQ(text::truncateWithEllipsis(sixty, 60), sixty);
  EXPECT_EQ(text::truncateWithEllipsis(sixty + "b", 60), sixty + ellipsis);
  // Clusters, not bytes or code units, are counted and never split.
  std::string accents;
  for (int i = 0; i < 61; ++i) accents += "e\xcc\x81";
  std::string kept;
  for (int i = 0; i < 60; ++i) kept += "e\xcc\x81";
  EXPECT_EQ(text::truncateWithEllipsis(accents, 60), kept + ellipsis);
  EXPECT_EQ(text::truncateWithEllipsis(kept, 60), kept);
}

TEST(Unicode, CanonicalEquivalenceAndTrim) {
  EXPECT_TRUE(text::canonicallyEqual("caf\xc3\xa9", "cafe\xcc\x81"));
  EXPECT_FALSE(text::canonicallyEqual("caf\xc3\xa9", "Caf\xc3\xa9"));
  EXPECT_FALSE(text::canonicallyEqual("cafe", "caf\xc3\xa9"));
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"\xe3\x80\x80 hi\xc2\xa0", "hi"},  // U+3000 and U+00A0 are white space
      {"\n\t x y \r\n", "x y"},
      {"\xe2\x80\xa8z\xe2\x80\xa9", "z"},  // line and paragraph separators
      {"\xe3\x80\x80", ""},
      {"a", "a"},
  };
  for (const Case& c : cases) EXPECT_EQ(std::string(text::trimWhitespace(c.in)), c.out) << c.in;
}

TEST(Unicode, Utf8Validity) {
  for (const char* good : {"", "abc", "\xc3\xa9", "\xf0\x9f\x91\x8d", "\xef\xbf\xbf"})
    EXPECT_TRUE(text::isValidUtf8(good));
  for (const char* bad : {"\xff", "\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "a\x80"})
    EXPECT_FALSE(text::isValidUtf8(bad)) << bad;
  EXPECT_EQ(text::toUtf8(text::toUtf16("\xf0\x9f\x91\x8d!")), "\xf0\x9f\x91\x8d!");
  EXPECT_EQ(text::toUtf16("\xf0\x9f\x91\x8d").size(), 2u);
}

}  // namespace
