// The stand-in's picture of the screen, and the quillsky-sim script actions
// that print a window's strings and take a screenshot.
#include <cairo.h>
#include <stdlib.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "simhost/screenshot.h"
#include "support/files.h"
#include "support/process_runner.h"
#include "support/window_fixture.h"

namespace {

using Pixel = std::array<int, 3>;  // 0..255 red, green, blue

// A PNG read back with Cairo; pixels addressed from the top left.
class Png {
 public:
  explicit Png(const std::string& path)
      : surface_(cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy) {}
  bool ok() const { return cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(surface_.get()); }
  int height() const { return cairo_image_surface_get_height(surface_.get()); }
  Pixel at(int x, int y) const {
    const unsigned char* row = cairo_image_surface_get_data(surface_.get()) +
                               y * cairo_image_surface_get_stride(surface_.get());
    uint32_t argb = ((const uint32_t*)row)[x];
    return {(int)(argb >> 16 & 0xff), (int)(argb >> 8 & 0xff), (int)(argb & 0xff)};
  }
  // Whether any pixel of the rectangle (top-left origin) satisfies test.
  template <typename Test>
  bool any(int left, int top, int right, int bottom, Test test) const {
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x)
        if (test(at(x, y))) return true;
    return false;
  }

 private:
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface_;
};

// colour drawn with alpha over what was below, channel by channel.
Pixel over(const Pixel& below, std::array<double, 3> colour, double alpha) {
  Pixel result;
  for (int c = 0; c < 3; ++c) result[c] = (int)(colour[c] * 255 * alpha + below[c] * (1 - alpha) + 0.5);
  return result;
}

void expectNear(const Pixel& actual, const Pixel& expected, const char* what) {
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(actual[c], expected[c], 3) << what << " channel " << c;
}

bool isWhite(const Pixel& p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; }
bool isYellow(const Pixel& p) { return p[0] > 200 && p[1] > 200 && p[2] < 150; }

class ScreenshotTest : public OverlayFixture {};

TEST_F(ScreenshotTest, PictureShowsBothWindowsWithTheirColours) {
  ASSERT_TRUE(sim.chooseMenuItem("Toggle Plane List"));
  sim.pressKey('\t', 0);
  sim.typeText("hello");
  ASSERT_TRUE(runUntilAlpha(0.69f));
  std::string path = root + "/screen.png";
  std::string error;
  ASSERT_TRUE(simhost::writeScreenshot(path, &error)) << error;

  Png png(path);
  ASSERT_TRUE(png.ok());
  EXPECT_EQ(png.width(), 1024);
  EXPECT_EQ(png.height(), 768);

  // Image rows count from the top: screen y is 768 - row. The message window
  // fills columns 504..1003 and rows 20..339; its outline is white (active),
  // its top and right edges lie just outside the fill.
  Pixel scene = png.at(5, 5);
  Pixel fill = png.at(754, 180);
  expectNear(fill, over(scene, {0.1, 0.1, 0.1}, 0.69), "fill");
  const double outlineAlpha = 0.69 * 0.5 + 0.5;
  expectNear(png.at(504, 180), over(fill, {1, 1, 1}, outlineAlpha), "left edge");
  expectNear(png.at(754, 19), over(scene, {1, 1, 1}, outlineAlpha), "top edge");
  expectNear(png.at(1004, 180), over(scene, {1, 1, 1}, outlineAlpha), "right edge");
  EXPECT_TRUE(png.any(509, 305, 560, 325, isYellow)) << "input line";

  // The plane list's dark box (rows 360..680) with white lines in it.
  Pixel box = png.at(990, 668);
  for (int c = 0; c < 3; ++c) EXPECT_LT(box[c], scene[c] * 0.7) << "dark box channel " << c;
  EXPECT_TRUE(png.any(739, 370, 860, 384, isWhite)) << "status line";
  EXPECT_TRUE(png.any(739, 650, 800, 662, isWhite)) << "slot 19";
}

TEST_F(ScreenshotTest, UnwritablePathIsReported) {
  std::string error;
  EXPECT_FALSE(simhost::writeScreenshot(root + "/no/such/folder/screen.png", &error));
  EXPECT_NE(error.find("screen.png"), std::string::npos) << error;
}

// The command line as a user runs it: print actions write the strings each
// window drew, top to bottom; the screenshot action writes a PNG.
TEST(SimulatorScriptTest, PrintsWindowStringsAndTakesAScreenshot) {
  std::string folder = testsupport::makeTemporaryFolder("quillsky-script");
  ASSERT_FALSE(folder.empty());
  std::filesystem::create_directories(folder + "/Resources/plugins");
  std::string shot = folder + "/cli.png";
  testsupport::writeWholeFile(folder + "/actions.txt",
                              "0.5 menu Toggle Plane List\n"
                              "0.5 key Tab\n"
                              "0.6 type hi\n"
                              "1.2 print window plane-list\n"
                              "1.2 print window messages\n"
                              "1.3 screenshot " + shot + "\n");
  testsupport::ProgramRun run = testsupport::runSimProgram(
      "--fast --seconds 2 --root " + folder + " --script " + folder + "/actions.txt");
  EXPECT_EQ(run.exitCode, 0);
  const std::string& output = run.output;

  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(output.substr(start, end - start));
  ASSERT_EQ(lines.size(), 20u + 15u) << output;
  EXPECT_EQ(lines[0], "Network Traffic:" + std::string(9, ' '));
  EXPECT_EQ(lines[1], "1:  Plane 1");
  EXPECT_EQ(lines[19], "19:  Plane 19");
  for (size_t n = 20; n < 34; ++n) EXPECT_EQ(lines[n], "") << n;
  EXPECT_TRUE(lines[34] == "hi|" || lines[34] == "hi ") << lines[34];

  Png png(shot);
  ASSERT_TRUE(png.ok());
  EXPECT_EQ(png.width(), 1024);
  EXPECT_EQ(png.height(), 768);
  testsupport::removeFolder(folder);
}

}  // namespace
