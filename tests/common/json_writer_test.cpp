// The JSON writer's exact bytes: both layouts, string escapes, numbers, and refused documents.
#include "common/json_writer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/program.h"

namespace {

using namespace text;

// Switches the process to a German locale (decimal comma), building one in a private directory with
// localedef when the system has none installed. False when neither works.
bool useCommaLocale() {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8")) return true;
  static const bool built = [] {
    const std::string dir = testing_support::tempDir() + "/locales";
    const std::string command =
        "mkdir -p '" + dir + "' && localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return false;
    setenv("LOCPATH", dir.c_str(), 1);
    return true;
  }();
  return built && std::setlocale(LC_ALL, "de_DE.UTF-8");
}

TEST(JsonWriter, StringEscapes) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain", R"("plain")"},
      {"/tmp/a.png", R"("\/tmp\/a.png")"},
      {"say \"hi\"", R"("say \"hi\"")"},
      {"back\\slash", R"("back\\slash")"},
      {"it's", R"("it's")"},
      {"a\nb\rc\td\be\ff", R"("a\nb\rc\td\be\ff")"},
      {std::string("nul\0x", 5), R"("nul\u0000x")"},
      {"\x01\x1f\x0b", R"("\u0001\u001f\u000b")"},
      {"\x7f", "\"\x7f\""},
      {"caf\xc3\xa9 \xe2\x80\xa6 \xf0\x9f\x91\x8d", "\"caf\xc3\xa9 \xe2\x80\xa6 \xf0\x9f\x91\x8d\""},
      // Broken UTF-8 is repaired rather than passed on: the document stays valid UTF-8.
      {"a\xff"
       "b",
       "\"a\xef\xbf\xbd"
       "b\""},
      {"\xc3", "\"\xef\xbf\xbd\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(jsonQuote(c.in), c.out) << c.in;
    // Whatever we write, a standard reader gets the (repaired) text back.
    EXPECT_TRUE(nlohmann::json::accept(c.out)) << c.out;
  }
  EXPECT_EQ(nlohmann::json::parse(jsonQuote("/a\"\\\n\x01")).get<std::string>(), "/a\"\\\n\x01");
}

TEST(JsonWriter, Numbers) {
  struct Case {
    double in;
    const char* out;
  };
  const Case cases[] = {
      {100, "100"},
      {200.5, "200.5"},
      {-3, "-3"},
      {0.1, "0.1"},
      {1e-7, "1e-07"},
      {1e300, "1e+300"},
      {0, "0"},
      {-0.0, "0"},
      {12.5, "12.5"},
      {-1440.25, "-1440.25"},
      {9007199254740991.0, "9007199254740991"},
      {1e16, "1e+16"},
      {0.30000000000000004, "0.30000000000000004"},
  };
  for (const Case& c : cases) {
    auto written = jsonNumber(c.in);
    ASSERT_TRUE(written) << c.out;
    EXPECT_EQ(*written, c.out);
    EXPECT_EQ(std::stod(*written), c.in) << "reads back as the same double";
  }
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(jsonNumber(bad));
  }
}

TEST(JsonWriter, NumbersIgnoreProcessLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  std::string saved = previous ? previous : "C";
  if (!useCommaLocale()) {
    GTEST_SKIP() << "no German locale and localedef could not build one";
  }
  EXPECT_EQ(jsonNumber(200.5).value_or(""), "200.5");
  EXPECT_EQ(jsonNumber(1e-7).value_or(""), "1e-07");
  std::setlocale(LC_ALL, saved.c_str());
}

JsonWriter sample(JsonLayout layout, bool withElements) {
  JsonWriter w;
  w.layout = layout;
  jsonBeginObject(w);
  jsonKey(w, "elements");
  jsonBeginArray(w);
  if (withElements) {
    jsonBeginObject(w);
    jsonKey(w, "number");
    jsonInt(w, 7);
    jsonKey(w, "x");
    jsonDouble(w, 100);
    jsonEndObject(w);
    jsonBeginObject(w);
    jsonKey(w, "number");
    jsonInt(w, -9223372036854775807 - 1);
    jsonKey(w, "ok");
    jsonBool(w, false);
    jsonEndObject(w);
  }
  jsonEndArray(w);
  jsonKey(w, "screenshotPath");
  jsonString(w, "/tmp/s.png");
  jsonEndObject(w);
  return w;
}

TEST(JsonWriter, Layouts) {
  EXPECT_EQ(jsonFinish(sample(JsonLayout::compact, true)).value_or(""),
            R"({"elements":[{"number":7,"x":100},{"number":-9223372036854775808,"ok":false}],)"
            R"("screenshotPath":"\/tmp\/s.png"})");
  EXPECT_EQ(jsonFinish(sample(JsonLayout::compact, false)).value_or(""),
            R"({"elements":[],"screenshotPath":"\/tmp\/s.png"})");
  EXPECT_EQ(jsonFinish(sample(JsonLayout::pretty, true)).value_or(""),
            "{\n"
            "  \"elements\" : [\n"
            "    {\n"
            "      \"number\" : 7,\n"
            "      \"x\" : 100\n"
            "    },\n"
            "    {\n"
            "      \"number\" : -9223372036854775808,\n"
            "      \"ok\" : false\n"
            "    }\n"
            "  ],\n"
            "  \"screenshotPath\" : \"\\/tmp\\/s.png\"\n"
            "}");
  EXPECT_EQ(jsonFinish(sample(JsonLayout::pretty, false)).value_or(""),
            "{\n"
            "  \"elements\" : [],\n"
            "  \"screenshotPath\" : \"\\/tmp\\/s.png\"\n"
            "}");
}

TEST(JsonWriter, RefusedDocuments) {
  // A non-finite number anywhere fails the whole document, and nothing written after it revives it.
  JsonWriter w;
  jsonBeginObject(w);
  jsonKey(w, "x");
  jsonDouble(w, std::nan(""));
  jsonKey(w, "y");
  jsonDouble(w, 1);
  jsonEndObject(w);
  EXPECT_TRUE(w.failed);
  EXPECT_FALSE(jsonFinish(w));

  JsonWriter open;
  jsonBeginObject(open);
  EXPECT_FALSE(jsonFinish(open)) << "container left open";

  JsonWriter extraClose;
  jsonBeginArray(extraClose);
  jsonEndArray(extraClose);
  jsonEndArray(extraClose);
  EXPECT_FALSE(jsonFinish(extraClose));

  EXPECT_FALSE(jsonFinish(JsonWriter{})) << "empty document";
}

}  // namespace
