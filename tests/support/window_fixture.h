// The module in the stand-in, seen through its two overlay windows: what
// each drew in the last frame, the message window's opacity as drawn, the
// input line, and small helpers to act with the mouse.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/opengl.h"
#include "support/sim_fixture.h"

using Rgb = std::array<float, 3>;
using Rgba = std::array<float, 4>;
using Edges = std::array<int, 4>;  // left, top, right, bottom
using Corners = std::vector<std::pair<float, float>>;

inline const Rgb kWhite = {1.0f, 1.0f, 1.0f};
inline const Rgb kLightGreen = {0.5f, 1.0f, 0.5f};
inline const Rgb kYellow = {1.0f, 1.0f, 0.3f};

inline Rgb colourOf(const simhost::DrawnString& s) { return {s.rgb[0], s.rgb[1], s.rgb[2]}; }
inline Rgba colourOf(const simhost::GlVertex& v) { return {v.red, v.green, v.blue, v.alpha}; }
inline Edges edgesOf(const simhost::WindowInfo& w) { return {w.left, w.top, w.right, w.bottom}; }
inline Corners cornersOf(const simhost::GlPrimitive& p) {
  Corners corners;
  for (const simhost::GlVertex& v : p.vertices) corners.push_back({v.x, v.y});
  return corners;
}

// Window helpers over any fixture that loads the module (SimFixture or one
// derived from it). Frames run at 100 a second, so that the 0.01 s fade
// timer runs at every frame and every fade step is seen drawn.
template <typename Base>
class WindowFixture : public Base {
 protected:
  void prepareRoot() override {
    Base::prepareRoot();
    this->sim.config().fps = 100;
  }

  XPLMWindowID planeList() { return this->sim.nthWindow(0)->id; }
  XPLMWindowID messages() { return this->sim.nthWindow(1)->id; }

  // The strings the window drew in the last frame, in drawing order.
  std::vector<simhost::DrawnString> stringsOf(XPLMWindowID window) {
    std::vector<simhost::DrawnString> strings;
    for (const simhost::DrawnString& s : this->sim.lastFrame().strings)
      if (s.window == window) strings.push_back(s);
    return strings;
  }

  const simhost::GlPrimitive* primitiveOf(XPLMWindowID window, unsigned mode) {
    for (const simhost::GlPrimitive& p : this->sim.lastFrame().primitives)
      if (p.window == window && p.mode == mode && !p.vertices.empty()) return &p;
    return nullptr;
  }

  // The message window's opacity as its fill was drawn; 0 when not drawn.
  float frameAlpha() {
    const simhost::GlPrimitive* quad = primitiveOf(messages(), GL_QUADS);
    return quad ? quad->vertices[0].alpha : 0.0f;
  }

  Rgba outlineColour() {
    const simhost::GlPrimitive* lines = primitiveOf(messages(), GL_LINES);
    return lines ? colourOf(lines->vertices[0]) : Rgba{-1, -1, -1, -1};
  }

  bool runUntilAlpha(float alpha) {
    return this->sim.runUntil([&] { return frameAlpha() == alpha; }, 60.0);
  }

  // Tab, then frames until the message window is fully up.
  void openChat() {
    this->sim.pressKey('\t', 0);
    ASSERT_TRUE(runUntilAlpha(0.69f));
  }

  // Frame by frame until done() holds (at most 5 simulated seconds): every
  // opacity drawn that differs from the one drawn before.
  std::vector<float> alphasUntil(const std::function<bool()>& done) {
    std::vector<float> seen;
    float previous = frameAlpha();
    double deadline = this->sim.now() + 5.0;
    while (this->sim.now() < deadline) {
      this->sim.runFrames(1);
      float alpha = frameAlpha();
      if (alpha > 0 && alpha != previous) seen.push_back(alpha);
      previous = alpha;
      if (done()) break;
    }
    return seen;
  }

  // The input line as drawn in the last frame: the yellow string 20 pixels
  // above the message window's bottom; "<none>" when it was not drawn.
  std::string inputLine() {
    const simhost::WindowInfo& w = *this->sim.window(messages());
    for (const simhost::DrawnString& s : stringsOf(messages()))
      if (s.x == w.left + 5 && s.y == w.bottom + 20) return s.text;
    return "<none>";
  }

  // The active input line without its cursor, "|" or a blank by turns.
  std::string typedLine() {
    std::string line = inputLine();
    if (!line.empty() && (line.back() == '|' || line.back() == ' ')) line.pop_back();
    return line;
  }

  // Runs for the given simulated seconds; the input line's first text and
  // every change, with the simulated time at which each was first drawn.
  std::vector<std::string> inputLineChanges(double seconds, std::vector<double>* times = nullptr) {
    std::vector<std::string> changes;
    double end = this->sim.now() + seconds;
    while (this->sim.now() < end) {
      this->sim.runFrames(1);
      std::string line = inputLine();
      if (changes.empty() || changes.back() != line) {
        changes.push_back(line);
        if (times) times->push_back(this->sim.now());
      }
    }
    return changes;
  }

  void clickAt(int x, int y) {
    this->sim.mouseDown(x, y);
    this->sim.mouseUp(x, y);
  }
};

using OverlayFixture = WindowFixture<SimFixture>;
