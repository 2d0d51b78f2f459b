// The screen of the last frame as a PNG, drawn with Cairo.
//
// Covers: a top-down map of the scene (the user's aircraft and every
// multiplayer aircraft that has a position, as marks at their local x/z,
// scaled to fit, with a scale bar), then the frame's 2-D drawing replayed
// in its order: translucent dark boxes, OpenGL quads and lines with their
// colours and alpha, and strings in DejaVu Sans Mono at about the basic
// font's size, word-wrapped where a wrap width was given.
// Not covered: graphics state (blending is always on), textures, 3-D
// drawing, the simulator's own panels and menus.
//
// Screen coordinates have their origin at the bottom left with y growing
// upwards; Cairo's at the top left with y growing downwards.
#include "simhost/screenshot.h"

#include <cairo.h>
#include <dlfcn.h>
#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "host/opengl.h"
#include "simhost/simulator.h"

namespace simhost {
namespace {

constexpr double kFontSize = 11.0;       // pixels; near the basic font's
constexpr double kWrappedLineStep = 13.0; // pixels between wrapped lines
constexpr double kMinimumMapExtent = 400.0;  // metres shown at least across
constexpr double kMapFill = 0.8;             // share of the screen the marks span

struct Rgb {
  double red, green, blue;
};
constexpr Rgb kGround = {0.22, 0.27, 0.21};
constexpr Rgb kUserMark = {1.0, 0.85, 0.2};
constexpr Rgb kOtherMark = {0.45, 0.8, 1.0};
constexpr Rgb kMapText = {0.92, 0.92, 0.92};

struct MapMark {
  double x, z;          // local metres: x east, z south
  double headingDegrees;
  std::string label;
  bool user;
};

class Canvas {
 public:
  Canvas(cairo_t* cr, int height) : cr_(cr), height_(height) {}
  // Screen y of a pixel edge to Cairo's y.
  double edgeY(double y) const { return height_ - y; }
  cairo_t* cr() const { return cr_; }

 private:
  cairo_t* cr_;
  int height_;
};

void setColour(cairo_t* cr, const Rgb& colour, double alpha) {
  cairo_set_source_rgba(cr, colour.red, colour.green, colour.blue, alpha);
}

void selectFont(cairo_t* cr) {
  cairo_select_font_face(cr, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL,
                         CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, kFontSize);
}

double textWidth(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

// ---- The scene behind the windows.

std::vector<MapMark> collectMarks(const Simulator& sim) {
  std::vector<MapMark> marks;
  marks.push_back({sim.getDouble("sim/flightmodel/position/local_x"),
                   sim.getDouble("sim/flightmodel/position/local_z"),
                   sim.getFloat("sim/flightmodel/position/psi"), "you", true});

  // An aircraft has a position once the module wrote one, or when it is
  // anywhere but the origin (a test may have cleared the write record).
  std::set<std::string> written;
  for (const DataWrite& write : sim.dataWrites()) written.insert(write.name);
  for (int n = 1; n <= kMultiplayerAircraft; ++n) {
    std::string prefix = "sim/multiplayer/position/plane" + std::to_string(n);
    double x = sim.getDouble(prefix + "_x");
    double z = sim.getDouble(prefix + "_z");
    bool placed = written.count(prefix + "_x") || written.count(prefix + "_z") || x != 0 ||
                  z != 0;
    if (placed) marks.push_back({x, z, sim.getFloat(prefix + "_psi"), std::to_string(n), false});
  }
  return marks;
}

// A round length in metres near the given one: 1, 2 or 5 times a power of ten.
double roundLength(double metres) {
  double power = pow(10.0, floor(log10(metres)));
  for (double step : {5.0, 2.0, 1.0})
    if (step * power <= metres) return step * power;
  return power;
}

void drawScene(cairo_t* cr, const Simulator& sim, int width, int height) {
  setColour(cr, kGround, 1.0);
  cairo_paint(cr);

  std::vector<MapMark> marks = collectMarks(sim);
  double minX = marks[0].x, maxX = marks[0].x, minZ = marks[0].z, maxZ = marks[0].z;
  for (const MapMark& mark : marks) {
    minX = std::min(minX, mark.x);
    maxX = std::max(maxX, mark.x);
    minZ = std::min(minZ, mark.z);
    maxZ = std::max(maxZ, mark.z);
  }
  double extent = std::max({maxX - minX, maxZ - minZ, kMinimumMapExtent});
  double scale = kMapFill * std::min(width, height) / extent;  // pixels per metre
  double centreX = (minX + maxX) / 2, centreZ = (minZ + maxZ) / 2;

  selectFont(cr);
  cairo_set_line_width(cr, 1.0);
  for (const MapMark& mark : marks) {
    // North up: east is to the right and south (z) down, as in Cairo.
    double px = width / 2.0 + (mark.x - centreX) * scale;
    double py = height / 2.0 + (mark.z - centreZ) * scale;
    double heading = mark.headingDegrees * M_PI / 180.0;
    double size = mark.user ? 9.0 : 7.0;
    cairo_save(cr);
    cairo_translate(cr, px, py);
    cairo_rotate(cr, heading);  // clockwise from north, as the heading
    cairo_move_to(cr, 0, -size);
    cairo_line_to(cr, size * 0.7, size);
    cairo_line_to(cr, 0, size * 0.5);
    cairo_line_to(cr, -size * 0.7, size);
    cairo_close_path(cr);
    setColour(cr, mark.user ? kUserMark : kOtherMark, 1.0);
    cairo_fill(cr);
    cairo_restore(cr);
    setColour(cr, kMapText, 1.0);
    cairo_move_to(cr, px + size + 3, py + 4);
    cairo_show_text(cr, mark.label.c_str());
  }

  // Scale bar in the lower left corner, about 100 pixels long.
  double metres = roundLength(100.0 / scale);
  double length = metres * scale;
  double barY = height - 20.5;
  setColour(cr, kMapText, 1.0);
  cairo_move_to(cr, 20, barY);
  cairo_line_to(cr, 20 + length, barY);
  cairo_move_to(cr, 20.5, barY - 4);
  cairo_line_to(cr, 20.5, barY + 4);
  cairo_move_to(cr, 20 + length - 0.5, barY - 4);
  cairo_line_to(cr, 20 + length - 0.5, barY + 4);
  cairo_stroke(cr);
  std::string caption = std::to_string((long)metres) + " m";
  cairo_move_to(cr, 20, barY - 7);
  cairo_show_text(cr, caption.c_str());
}

// ---- The frame's 2-D drawing.

void drawDarkBox(const Canvas& canvas, const DarkBox& box) {
  cairo_t* cr = canvas.cr();
  double top = canvas.edgeY(box.top);
  cairo_rectangle(cr, box.left, top, box.right - box.left, canvas.edgeY(box.bottom) - top);
  cairo_set_source_rgba(cr, 0.0, 0.02, 0.06, 0.6);
  cairo_fill(cr);
}

// Quads are filled and lines stroked one pixel wide in the colour of their
// first vertex. A line's vertices name pixels, so they are drawn through the
// pixels' centres.
void drawPrimitive(const Canvas& canvas, const GlPrimitive& primitive) {
  cairo_t* cr = canvas.cr();
  const std::vector<GlVertex>& v = primitive.vertices;
  if (primitive.mode == GL_QUADS) {
    for (size_t i = 0; i + 3 < v.size(); i += 4) {
      cairo_move_to(cr, v[i].x, canvas.edgeY(v[i].y));
      for (size_t k = 1; k < 4; ++k) cairo_line_to(cr, v[i + k].x, canvas.edgeY(v[i + k].y));
      cairo_close_path(cr);
      cairo_set_source_rgba(cr, v[i].red, v[i].green, v[i].blue, v[i].alpha);
      cairo_fill(cr);
    }
  } else if (primitive.mode == GL_LINES) {
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    for (size_t i = 0; i + 1 < v.size(); i += 2) {
      cairo_move_to(cr, v[i].x + 0.5, canvas.edgeY(v[i].y) - 0.5);
      cairo_line_to(cr, v[i + 1].x + 0.5, canvas.edgeY(v[i + 1].y) - 0.5);
      cairo_set_source_rgba(cr, v[i].red, v[i].green, v[i].blue, v[i].alpha);
      cairo_stroke(cr);
    }
  }
}

// Greedy word wrap at width pixels; a word wider than a line is cut.
std::vector<std::string> wrapText(cairo_t* cr, const std::string& text, double width) {
  std::vector<std::string> lines;
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(at, end - at);
    at = end + 1;
    std::string joined = line.empty() ? word : line + " " + word;
    if (textWidth(cr, joined) <= width) {
      line = joined;
      continue;
    }
    if (!line.empty()) lines.push_back(line);
    line.clear();
    for (char c : word) {
      if (!line.empty() && textWidth(cr, line + c) > width) {
        lines.push_back(line);
        line.clear();
      }
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

void drawString(const Canvas& canvas, const DrawnString& string) {
  cairo_t* cr = canvas.cr();
  cairo_set_source_rgba(cr, string.rgb[0], string.rgb[1], string.rgb[2], 1.0);
  std::vector<std::string> lines;
  if (string.wrapWidth)
    lines = wrapText(cr, string.text, *string.wrapWidth);
  else
    lines.push_back(string.text);
  double baseline = canvas.edgeY(string.y);
  for (const std::string& line : lines) {
    cairo_move_to(cr, string.x, baseline);
    cairo_show_text(cr, line.c_str());
    baseline += kWrappedLineStep;
  }
}

void replayFrame(const Canvas& canvas, const FrameDrawing& frame) {
  enum Kind { Box, Primitive, String };
  struct Step {
    int order;
    Kind kind;
    size_t index;
  };
  std::vector<Step> steps;
  for (size_t i = 0; i < frame.darkBoxes.size(); ++i)
    steps.push_back({frame.darkBoxes[i].order, Box, i});
  for (size_t i = 0; i < frame.primitives.size(); ++i)
    steps.push_back({frame.primitives[i].order, Primitive, i});
  for (size_t i = 0; i < frame.strings.size(); ++i)
    steps.push_back({frame.strings[i].order, String, i});
  std::stable_sort(steps.begin(), steps.end(),
                   [](const Step& a, const Step& b) { return a.order < b.order; });

  selectFont(canvas.cr());
  for (const Step& step : steps) {
    if (step.kind == Box) drawDarkBox(canvas, frame.darkBoxes[step.index]);
    if (step.kind == Primitive) drawPrimitive(canvas, frame.primitives[step.index]);
    if (step.kind == String) drawString(canvas, frame.strings[step.index]);
  }
}

// Cairo's font caches and fontconfig's configuration live for the whole
// run; let them go at exit so that leak checkers see a clean end. Fontconfig
// comes in with Cairo, so its finaliser is looked up rather than linked.
void releaseFontCaches() {
  cairo_debug_reset_static_data();
  if (void* finish = dlsym(RTLD_DEFAULT, "FcFini")) ((void (*)())finish)();
}

}  // namespace

bool writeScreenshot(const std::string& path, std::string* error) {
  static bool releaseAtExit = atexit(releaseFontCaches) == 0;
  (void)releaseAtExit;
  const Simulator& sim = simulator();
  int width = sim.screenWidth(), height = sim.screenHeight();
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  drawScene(cr, sim, width, height);
  replayFrame(Canvas(cr, height), sim.lastFrame());
  cairo_destroy(cr);

  cairo_status_t status = cairo_surface_status(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    if (error) *error = "screenshot " + path + ": " + cairo_status_to_string(status);
    return false;
  }
  return true;
}

}  // namespace simhost
