// The numbered badges on the observe screenshot, read back from the PNG, and the pipeline's failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "deskhand/capture/annotate.h"
#include "platform/image.h"
#include "tests/deskhand/observe_worlds.h"

namespace {

using namespace observe_worlds;

struct Pixel {
  int r = 0, g = 0, b = 0, a = 0;
};

struct Picture {
  platform::Image image;
  Pixel at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + x) * 4;
    return {image.rgba[i], image.rgba[i + 1], image.rgba[i + 2], image.rgba[i + 3]};
  }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < image.width && y < image.height; }
};

Picture readPicture(const std::string& path) {
  auto bytes = platform::fileRead(path);
  EXPECT_TRUE(bytes.has_value()) << path;
  if (!bytes) return {};
  auto decoded = platform::pngDecode(*bytes);
  EXPECT_TRUE(decoded.has_value()) << path;
  return decoded ? Picture{decoded->pixels} : Picture{};
}

bool isBackground(Pixel p) { return p.r == 40 && p.g == 80 && p.b == 120 && p.a == 255; }
// The badge red, (0.9, 0.1, 0.1) at 0.95 over the background.
bool isBadgeRed(Pixel p) { return p.r >= 210 && p.r <= 230 && p.g < 45 && p.b < 45 && p.a == 255; }
bool isWhitish(Pixel p) { return p.r > 150 && p.g > 150 && p.b > 150; }

// Checks the badge drawn in the square (left, top, d): red inside, a white rim, the white label near
// the centre, and untouched background just outside the circle.
void expectBadge(const Picture& picture, int left, int top, int d, const std::string& name) {
  const int cx = left + d / 2;
  const int cy = top + d / 2;
  EXPECT_TRUE(isBadgeRed(picture.at(left + 3, cy))) << name << " left interior";
  EXPECT_TRUE(isBadgeRed(picture.at(cx, top + d - 4))) << name << " lower interior";
  EXPECT_TRUE(isWhitish(picture.at(cx, top))) << name << " top rim";
  EXPECT_TRUE(isWhitish(picture.at(left + d - 1, cy))) << name << " right rim";
  EXPECT_TRUE(isBackground(picture.at(left, top))) << name << " square corner is outside the circle";
  bool label = false;
  for (int y = cy - 4; y <= cy + 4; ++y) {
    for (int x = cx - 4; x <= cx + 4; ++x) label = label || (picture.at(x, y).r > 230 && picture.at(x, y).g > 230);
  }
  EXPECT_TRUE(label) << name << " white label near the centre";
  for (auto [x, y] : {std::pair{left - 2, cy}, {left + d + 1, cy}, {cx, top - 2}, {cx, top + d + 1}}) {
    if (picture.inside(x, y)) {
      EXPECT_TRUE(isBackground(picture.at(x, y))) << name << " outside at " << x << "," << y;
    }
  }
}

TEST(ObserveBadges, GeometryTable) {
  struct Case {
    std::int64_t number;
    double x, y;
    double left, top, d, font;
  };
  const std::vector<Case> cases = {
      {7, 100, 200, 98, 198, 24, 12},
      {99, 100, 200, 98, 198, 24, 12},
      {100, 100, 200, 98, 198, 30, 10},
      {1, 0, 0, 0, 0, 24, 12},
      {1, 1, 1, 0, 0, 24, 12},
      {1, 1435, 895, 1416, 876, 24, 12},
      {100, 1435, 895, 1410, 870, 30, 10},
      {1, -50, -80, 0, 0, 24, 12},
      {1, 2000, 2000, 1416, 876, 24, 12},
      {12345, 700.5, 10.25, 698.5, 8.25, 30, 10},
  };
  for (const auto& c : cases) {
    auto g = deskhand::badgeGeometry(c.number, c.x, c.y, 1440, 900);
    EXPECT_EQ(g.square.origin.x, c.left) << c.number << " at " << c.x;
    EXPECT_EQ(g.square.origin.y, c.top) << c.number << " at " << c.y;
    EXPECT_EQ(g.square.size.width, c.d);
    EXPECT_EQ(g.square.size.height, c.d);
    EXPECT_EQ(g.fontSize, c.font);
  }
  // On a picture smaller than a badge the right and top rules come last.
  auto tiny = deskhand::badgeGeometry(1, 5, 5, 20, 20);
  EXPECT_EQ(tiny.square.origin.x, -4);
  EXPECT_EQ(tiny.square.origin.y, 0);
}

TEST(ObserveBadges, DrawnWherePlacedAndClamped) {
  struct Case {
    const char* name;
    std::vector<json> children;
    int scale;
    int left, top, d;
  };
  std::vector<json> hundred;
  for (int i = 0; i < 99; ++i)
    hundred.push_back(button("f" + std::to_string(i), 20 + (i % 10) * 60, 20 + (i / 10) * 40));
  auto withTarget = [&hundred](json target) {
    auto list = hundred;
    list.push_back(std::move(target));
    return list;
  };
  const std::vector<Case> cases = {
      {"element 1 at (100, 200)", {button("a", 100, 200, 80, 20)}, 1, 98, 198, 24},
      {"a large element's size does not move its badge", {button("a", 100, 200, 500, 300)}, 1, 98, 198, 24},
      {"at (0, 0) the badge stays at (0, 0)", {button("a", 0, 0)}, 1, 0, 0, 24},
      {"at the bottom-right corner it is pushed inside", {button("a", 1435, 895, 5, 5)}, 1, 1416, 876, 24},
      {"a capture at two pixels per point is still drawn at one pixel per point",
       {button("a", 100, 200)},
       2,
       98,
       198,
       24},
      {"element 100 gets the large badge", withTarget(button("t", 600, 600)), 1, 598, 598, 30},
      {"a large badge at the bottom-right corner", withTarget(button("t", 1435, 895, 5, 5)), 1, 1410, 870, 30},
  };
  for (const auto& c : cases) {
    json w = singleWindowWorld(c.children);
    w["display"]["scale"] = c.scale;
    auto o = observe(w);
    ASSERT_EQ(o.run.result.status, 0) << c.name << o.run.result.out << o.run.result.err;
    ASSERT_EQ(o.answer["elements"].size(), c.children.size()) << c.name;
    Picture picture = readPicture(screenshotPath());
    ASSERT_EQ(picture.image.width, 1440) << c.name;
    ASSERT_EQ(picture.image.height, 900) << c.name;
    expectBadge(picture, c.left, c.top, c.d, c.name);
    EXPECT_TRUE(isBackground(picture.at(1000, 700))) << c.name << " far away";
  }
}

TEST(ObserveBadges, EmptyListLeavesThePlainCapture) {
  json w = singleWindowWorld({});
  w["fail"] = {"fileRead", "canvas"};  // never reached without elements
  auto o = observe(w);
  ASSERT_EQ(o.run.result.status, 0) << o.run.result.out;
  EXPECT_TRUE(o.answer["elements"].empty());
  Picture picture = readPicture(screenshotPath());
  ASSERT_EQ(picture.image.width, 1440);
  for (auto [x, y] : {std::pair{0, 0}, {720, 450}, {1439, 899}}) EXPECT_TRUE(isBackground(picture.at(x, y)));
}

TEST(ObserveBadges, PipelineFailures) {
  const std::string expected = "{\"error\":\"Annotation\\/Screenshot pipeline failed\"}\n";
  for (const char* failing : {"capture", "fileRead", "canvas", "drawingContext", "pngEncode", "fileWrite"}) {
    std::filesystem::remove(screenshotPath());
    json w = singleWindowWorld({button("a", 100, 200)});
    w["fail"] = {failing};
    auto o = observe(w);
    EXPECT_EQ(o.run.result.status, 1) << failing;
    EXPECT_EQ(o.run.result.out, expected) << failing;
    if (std::string(failing) != "capture") {
      // Up to a failed write the file holds the plain capture.
      Picture picture = readPicture(screenshotPath());
      ASSERT_EQ(picture.image.width, 1440) << failing;
      EXPECT_TRUE(isBackground(picture.at(110, 210))) << failing;
    }
  }
  // Capture fails even with nothing to draw.
  json w = singleWindowWorld({});
  w["fail"] = {"capture"};
  auto o = observe(w);
  EXPECT_EQ(o.run.result.status, 1);
  EXPECT_EQ(o.run.result.out, expected);
  // A directory that does not exist cannot take the capture.
  auto missing = observe(singleWindowWorld({}), {"--screenshot", testing_support::tempDir() + "/no/such/dir/x.png"});
  EXPECT_EQ(missing.run.result.status, 1);
  EXPECT_EQ(missing.run.result.out, expected);
}

}  // namespace
