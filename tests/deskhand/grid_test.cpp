// screenshot-grid on the simulated desktop: argument scanning, the crop rectangle, the grid's lines and
// labels read back from the picture, and the refused domains.
#include "deskhand/capture/grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/image.h"
#include "tests/support/program.h"

namespace {

using testing_support::runSim;
using testing_support::tempDir;

std::optional<platform::Image> readPng(const std::string& path) {
  auto bytes = platform::fileRead(path);
  if (!bytes) return std::nullopt;
  auto decoded = platform::pngDecode(*bytes);
  if (!decoded) return std::nullopt;
  return decoded->pixels;
}

const std::uint8_t* at(const platform::Image& image, int x, int y) {
  return &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
}

TEST(GridArguments, Scanner) {
  using deskhand::scanGridArguments;
  struct Case {
    std::vector<std::string> tokens;
    std::optional<platform::Rect> region;
    std::int64_t grid;
  };
  const auto r = platform::rectMake;
  const Case cases[] = {
      {{}, {}, 3},
      {{"--region", "1", "2", "3"}, {}, 3},
      {{"--region", "1", "2", "3", "4"}, r(1, 2, 3, 4), 3},
      {{"--region", "1", "2", "3", "4", "--region", "5", "6", "x", "8"}, r(1, 2, 3, 4), 3},
      {{"--region", "1", "2", "3", "4", "--region", "5", "6", "7", "8"}, r(5, 6, 7, 8), 3},
      {{"--grid", "two", "--region", "1", "2", "3", "4"}, r(1, 2, 3, 4), 3},
      {{"--grid", "2", "--region", "1e1", "-2.5", "+3", "4"}, r(10, -2.5, 3, 4), 2},
      {{"--grid", "--region", "1", "2", "3", "4"}, r(1, 2, 3, 4), 3},
      // "--region" followed by a malformed quadruple is skipped alone, so "--grid 2" inside it counts.
      {{"--region", "1", "2", "3", "--grid", "2"}, {}, 2},
      {{"--grid", "0"}, {}, 0},
      {{"--grid", "-4"}, {}, -4},
      {{"--grid", "2.0"}, {}, 3},
      {{"--grid"}, {}, 3},
      {{"extra", "--region", "0", "0", "10", "10", "tail"}, r(0, 0, 10, 10), 3},
  };
  for (const Case& c : cases) {
    const auto got = scanGridArguments(c.tokens);
    EXPECT_EQ(got.gridSize, c.grid);
    ASSERT_EQ(got.region.has_value(), c.region.has_value());
    if (c.region) {
      EXPECT_EQ(got.region->origin.x, c.region->origin.x);
      EXPECT_EQ(got.region->origin.y, c.region->origin.y);
      EXPECT_EQ(got.region->size.width, c.region->size.width);
      EXPECT_EQ(got.region->size.height, c.region->size.height);
    }
  }
}

TEST(GridCommand, UsageAndRegionErrors) {
  const std::string needsRegion = R"({"error":"screenshot-grid requires --region x y w h"})"
                                  "\n";
  const std::string path = tempDir() + "/usage.png";
  for (const std::vector<std::string>& args : {std::vector<std::string>{"screenshot-grid", path},
                                               {"screenshot-grid", path, "--region", "1", "2", "3"},
                                               {"screenshot-grid", path, "--grid", "2"}}) {
    auto run = runSim("deskhand", args);
    EXPECT_EQ(run.result.out, needsRegion);
    EXPECT_EQ(run.result.status, 1);
  }
}

TEST(GridCommand, CropRectangles) {
  // A picture whose pixel (x, y) encodes its own coordinates, so the crop's origin can be read back.
  platform::Image picture{1440, 900, std::vector<std::uint8_t>(1440 * 900 * 4, 255)};
  for (int y = 0; y < 900; ++y)
    for (int x = 0; x < 1440; ++x) {
      auto* p = &picture.rgba[(static_cast<std::size_t>(y) * 1440 + x) * 4];
      p[0] = static_cast<std::uint8_t>(x % 256);
      p[1] = static_cast<std::uint8_t>(y % 256);
      p[2] = static_cast<std::uint8_t>((x / 256) * 16 + y / 256);
    }
  auto png = platform::pngEncode(picture);
  ASSERT_TRUE(png);
  const std::string pictureFile = tempDir() + "/coords.png";
  ASSERT_TRUE(platform::fileWrite(pictureFile, *png));
  const nlohmann::json world{{"display", {{"bounds", {0, 0, 1440, 900}}, {"scale", 1}, {"png", pictureFile}}}};

  struct Case {
    std::vector<std::string> region;
    int left, top, width, height;
  };
  const Case cases[] = {
      {{"100", "50", "300", "200"}, 100, 50, 300, 200}, {{"100.9", "50.9", "300.9", "200.9"}, 100, 50, 300, 200},
      {{"-50", "-20", "200", "100"}, 0, 0, 200, 100},   {{"1400", "880", "300", "200"}, 1400, 880, 40, 20},
      {{"0", "0", "1440", "900"}, 0, 0, 1440, 900},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.region[0] + " " + c.region[1] + " " + c.region[2] + " " + c.region[3]);
    const std::string path = tempDir() + "/crop.png";
    // Grid size 1 on a picture this big leaves the corners untouched: its label sits in the middle.
    auto run =
        runSim("deskhand",
               {"screenshot-grid", path, "--region", c.region[0], c.region[1], c.region[2], c.region[3], "--grid", "1"},
               world);
    ASSERT_EQ(run.result.status, 0) << run.result.out;
    auto image = readPng(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, c.width);
    EXPECT_EQ(image->height, c.height);
    for (auto [x, y] : {std::pair{0, 0}, {c.width - 1, c.height - 1}}) {
      const auto* p = at(*image, x, y);
      const int sx = c.left + x, sy = c.top + y;
      EXPECT_EQ(p[0], sx % 256);
      EXPECT_EQ(p[1], sy % 256);
      EXPECT_EQ(p[2], (sx / 256) * 16 + sy / 256);
    }
  }
}

TEST(GridCommand, RefusedDomains) {
  const std::string cropFailure = R"({"error":"Failed to crop screenshot to region"})"
                                  "\n";
  const std::string gridFailure = R"({"error":"Failed to draw grid overlay"})"
                                  "\n";
  const std::string captureFailure = R"({"error":"Failed to capture screenshot"})"
                                     "\n";
  struct Case {
    std::vector<std::string> extra;
    std::string answer;
  };
  const Case cases[] = {
      {{"--region", "1500", "100", "50", "50"}, cropFailure},
      {{"--region", "100", "1000", "50", "50"}, cropFailure},
      {{"--region", "10", "10", "0", "50"}, cropFailure},
      {{"--region", "10", "10", "0.5", "50"}, cropFailure},
      {{"--region", "10", "10", "-20", "50"}, cropFailure},
      {{"--region", "10", "10", "50", "-20"}, cropFailure},
      {{"--region", "nan", "10", "50", "50"}, cropFailure},
      {{"--region", "10", "inf", "50", "50"}, cropFailure},
      {{"--region", "10", "10", "1e300", "50"}, cropFailure},
      {{"--region", "-1e300", "10", "50", "50"}, cropFailure},
      {{"--region", "10", "10", "50", "50", "--grid", "0"}, gridFailure},
      {{"--region", "10", "10", "50", "50", "--grid", "-3"}, gridFailure},
      {{"--region", "10", "10", "50", "50", "--grid", "101"}, gridFailure},
      {{"--region", "10", "10", "50", "50", "--grid", "9223372036854775807"}, gridFailure},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"screenshot-grid", tempDir() + "/refused.png"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    SCOPED_TRACE(c.extra[1] + " " + c.extra[2] + " " + c.extra[3] + " " + c.extra[4] +
                 (c.extra.size() > 6 ? " grid " + c.extra[6] : ""));
    auto run = runSim("deskhand", args);
    EXPECT_EQ(run.result.out, c.answer);
    EXPECT_EQ(run.result.status, 1);
  }
  // Each step's injected failure gives that step's answer.
  const std::vector<std::string> good{"screenshot-grid", tempDir() + "/steps.png", "--region", "0", "0", "90", "60"};
  struct Fault {
    nlohmann::json world;
    std::string answer;
  };
  const Fault faults[] = {
      {{{"fail", {"capture"}}}, captureFailure}, {{{"failAfter", {{"fileRead", 1}}}}, gridFailure},
      {{{"fail", {"fileRead"}}}, cropFailure},   {{{"failAfter", {{"pngEncode", 1}}}}, gridFailure},
      {{{"fail", {"pngEncode"}}}, cropFailure},  {{{"failAfter", {{"fileWrite", 1}}}}, gridFailure},
      {{{"fail", {"canvas"}}}, gridFailure},     {{{"fail", {"drawingContext"}}}, gridFailure},
  };
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.world.dump());
    auto run = runSim("deskhand", good, f.world);
    EXPECT_EQ(run.result.out, f.answer);
    EXPECT_EQ(run.result.status, 1);
  }
}

bool isLabelRed(const std::uint8_t* p) { return p[0] > 200 && p[1] < 60 && p[2] < 60; }
bool isBlack(const std::uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }

struct Box {
  int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
};

// Red ink within a rectangle of the picture, lines excluded by the caller's choice of rectangle.
Box inkBox(const platform::Image& image, int x0, int y0, int x1, int y1) {
  Box box;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (isLabelRed(at(image, x, y))) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

TEST(GridCommand, LinesAndLabels) {
  struct Case {
    int width, height, n;
    double lineWidth;  // expected stroke width
    double fontSize;   // expected label size
  };
  const Case cases[] = {
      {600, 400, 3, 400.0 / 3 / 40, 400.0 / 3 / 6},
      {600, 400, 2, 4, 200.0 / 6},
      {600, 400, 1, 0, 60},
      {30, 30, 3, 1, 8},
      {1440, 900, 2, 4, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " n=" + std::to_string(c.n));
    const nlohmann::json world{{"display", {{"bounds", {0, 0, 1440, 900}}, {"scale", 1}, {"fill", {0, 0, 0}}}}};
    const std::string path = tempDir() + "/grid.png";
    auto run = runSim("deskhand",
                      {"screenshot-grid", path, "--region", "0", "0", std::to_string(c.width), std::to_string(c.height),
                       "--grid", std::to_string(c.n)},
                      world);
    ASSERT_EQ(run.result.status, 0) << run.result.out;
    auto image = readPng(path);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, c.width);
    ASSERT_EQ(image->height, c.height);
    const double cw = static_cast<double>(c.width) / c.n;
    const double ch = static_cast<double>(c.height) / c.n;

    // Lines: the middle of each stroke is the line colour, 0.85 of the red over black; just beyond
    // half its width the picture is untouched. Sample away from the labels, near the top.
    for (int i = 1; i < c.n; ++i) {
      const double x = i * cw;
      const int probeY = 1;
      if (c.lineWidth >= 2) {
        const auto* mid = at(*image, static_cast<int>(x), probeY);
        EXPECT_NEAR(mid[0], 195, 3) << "vertical line " << i;
        EXPECT_NEAR(mid[1], 22, 3);
      } else {
        EXPECT_GT(at(*image, static_cast<int>(x) - 1, probeY)[0] + at(*image, static_cast<int>(x), probeY)[0], 150);
      }
      EXPECT_TRUE(isBlack(at(*image, static_cast<int>(std::floor(x - c.lineWidth / 2)) - 1, probeY)));
      EXPECT_TRUE(isBlack(at(*image, static_cast<int>(std::ceil(x + c.lineWidth / 2)), probeY)));
      const double y = i * ch;
      EXPECT_GT(at(*image, 1, static_cast<int>(y))[0] + at(*image, 1, static_cast<int>(y) - 1)[0], 150)
          << "horizontal line " << i;
      EXPECT_TRUE(isBlack(at(*image, 1, static_cast<int>(std::ceil(y + c.lineWidth / 2)))));
    }
    if (c.n == 1) {
      std::size_t lineColoured = 0;
      for (int x = 0; x < c.width; ++x)
        lineColoured += !isBlack(at(*image, x, 0)) + !isBlack(at(*image, x, c.height - 1));
      EXPECT_EQ(lineColoured, 0u) << "no lines for a grid of one";
    }

    // Labels: one block of opaque red ink per cell, centred on the cell, sized by the font.
    const int margin = static_cast<int>(std::ceil(c.lineWidth / 2)) + 1;
    for (int i = 0; i < c.n; ++i) {
      for (int j = 0; j < c.n; ++j) {
        const int x0 = static_cast<int>(j * cw) + margin, x1 = static_cast<int>((j + 1) * cw) - margin;
        const int y0 = static_cast<int>(i * ch) + margin, y1 = static_cast<int>((i + 1) * ch) - margin;
        const Box box = inkBox(*image, x0, y0, x1, y1);
        ASSERT_GE(box.right, 0) << "label in cell " << i << "," << j;
        const double midX = (box.left + box.right + 1) / 2.0, midY = (box.top + box.bottom + 1) / 2.0;
        EXPECT_NEAR(midX, j * cw + cw / 2, std::max(2.0, c.fontSize * 0.1)) << i << "," << j;
        EXPECT_NEAR(midY, i * ch + ch / 2, std::max(2.0, c.fontSize * 0.15)) << i << "," << j;
        const int inkHeight = box.bottom - box.top + 1;
        EXPECT_GT(inkHeight, c.fontSize * 0.5) << "capital letters of the label font";
        EXPECT_LT(inkHeight, c.fontSize * 1.0);
      }
    }
  }
}

}  // namespace
