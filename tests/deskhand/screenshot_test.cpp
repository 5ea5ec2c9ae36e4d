// The screenshot command on the simulated desktop: picture size and pixels, file replacement, failures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/image.h"
#include "tests/support/program.h"

namespace {

using testing_support::runSim;
using testing_support::tempDir;

std::string escaped(const std::string& path) {
  std::string out;
  for (char c : path) out += c == '/' ? std::string("\\/") : std::string(1, c);
  return out;
}

std::optional<platform::Image> readPng(const std::string& path) {
  auto bytes = platform::fileRead(path);
  if (!bytes) return std::nullopt;
  auto decoded = platform::pngDecode(*bytes);
  if (!decoded) return std::nullopt;
  return decoded->pixels;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

nlohmann::json displayWorld(double w, double h, double scale, std::vector<int> fill = {40, 80, 120}) {
  return {{"display", {{"bounds", {0, 0, w, h}}, {"scale", scale}, {"fill", fill}}}};
}

TEST(Screenshot, OnePixelPerPoint) {
  struct Case {
    double w, h, scale;
    int pw, ph;
  };
  const Case cases[] = {{1440, 900, 2, 1440, 900},
                        {1440, 900, 1, 1440, 900},
                        {1000.7, 600.2, 1, 1000, 600},
                        {1000.7, 600.2, 2, 1000, 600},
                        {801, 601, 1.5, 801, 601}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + "@" + std::to_string(c.scale));
    const std::string path = tempDir() + "/size.png";
    auto run = runSim("deskhand", {"screenshot", path}, displayWorld(c.w, c.h, c.scale));
    EXPECT_EQ(run.result.out, R"({"success":true,"path":")" + escaped(path) + "\"}\n");
    EXPECT_EQ(run.result.status, 0);
    auto image = readPng(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, c.pw);
    EXPECT_EQ(image->height, c.ph);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < image->rgba.size(); i += 4) {
      wrong +=
          image->rgba[i] != 40 || image->rgba[i + 1] != 80 || image->rgba[i + 2] != 120 || image->rgba[i + 3] != 255;
    }
    EXPECT_EQ(wrong, 0u) << "every pixel is the fill colour";
  }
}

TEST(Screenshot, DownscaleAveragesDevicePixels) {
  // A 2x picture of alternating black and white device columns: one point is their mean grey, which
  // a nearest-pixel copy would not give.
  platform::Image picture{40, 20, std::vector<std::uint8_t>(40 * 20 * 4, 255)};
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; x += 2) std::fill_n(&picture.rgba[(y * 40 + x) * 4], 3, 0);
  auto png = platform::pngEncode(picture);
  ASSERT_TRUE(png);
  const std::string pictureFile = tempDir() + "/stripes.png";
  ASSERT_TRUE(platform::fileWrite(pictureFile, *png));
  const std::string path = tempDir() + "/grey.png";
  auto run = runSim("deskhand", {"screenshot", path},
                    nlohmann::json{{"display", {{"bounds", {0, 0, 20, 10}}, {"scale", 2}, {"png", pictureFile}}}});
  ASSERT_EQ(run.result.status, 0) << run.result.out;
  auto image = readPng(path);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width, 20);
  for (int i = 0; i < 20 * 10; ++i) {
    EXPECT_NEAR(image->rgba[i * 4], 128, 1) << i;
    EXPECT_EQ(image->rgba[i * 4 + 3], 255);
  }
}

TEST(Screenshot, PathPrintedAsPassed) {
  const std::string path = tempDir() + "//./as-passed.png";
  auto run = runSim("deskhand", {"screenshot", path, "ignored"});
  EXPECT_EQ(run.result.out, R"({"success":true,"path":")" + escaped(path) + "\"}\n");
  EXPECT_TRUE(readPng(path));
}

TEST(Screenshot, ReplacesWhatIsAtThePath) {
  const std::string existing = tempDir() + "/existing.png";
  std::ofstream(existing) << "old contents that are not a picture";
  auto run = runSim("deskhand", {"screenshot", existing});
  EXPECT_EQ(run.result.status, 0);
  EXPECT_TRUE(readPng(existing));

  // A link at the path is replaced by the picture; the file it pointed to is untouched.
  const std::string target = tempDir() + "/link-target.txt";
  std::ofstream(target) << "keep me";
  const std::string link = tempDir() + "/link.png";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  run = runSim("deskhand", {"screenshot", link});
  EXPECT_EQ(run.result.status, 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(readPng(link));
  EXPECT_EQ(slurp(target), "keep me");

  // No temporary files are left beside the picture.
  int entries = 0;
  for (auto& entry : std::filesystem::directory_iterator(tempDir()))
    entries += entry.path().filename().string().rfind(".existing.png", 0) == 0;
  EXPECT_EQ(entries, 0);
}

TEST(Screenshot, Failures) {
  const std::string failure = R"({"error":"Failed to capture screenshot"})"
                              "\n";
  const std::string missingDir = tempDir() + "/no-such-dir/shot.png";
  auto run = runSim("deskhand", {"screenshot", missingDir});
  EXPECT_EQ(run.result.out, failure);
  EXPECT_EQ(run.result.status, 1);
  EXPECT_FALSE(std::filesystem::exists(missingDir));

  run = runSim("deskhand", {"screenshot", tempDir()});
  EXPECT_EQ(run.result.out, failure) << "a directory is not replaced";

  struct Case {
    const char* operation;
    bool fileMayExist;
  };
  for (const Case c : {Case{"capture", false}, {"bitmapContext", false}, {"pngWriter", false}, {"pngFinalize", true}}) {
    SCOPED_TRACE(c.operation);
    const std::string path = tempDir() + "/fail-" + c.operation + ".png";
    run = runSim("deskhand", {"screenshot", path}, nlohmann::json{{"fail", {c.operation}}});
    EXPECT_EQ(run.result.out, failure);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.status, 1);
    if (!c.fileMayExist) {
      EXPECT_FALSE(std::filesystem::exists(path));
    }
  }
}

}  // namespace
