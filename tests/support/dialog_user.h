// A person at the module's widgets: finds them by the text they show,
// clicks, types into fields, and reads what they show.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "host/xp_widgets.h"
#include "simhost/simulator.h"

namespace testsupport {

class DialogUser {
 public:
  explicit DialogUser(simhost::Simulator& sim) : sim_(sim) {}

  // The first live widget showing this text; fails the test when none does.
  XPWidgetID widget(const std::string& descriptor) {
    XPWidgetID id = sim_.findWidget(descriptor);
    EXPECT_NE(id, nullptr) << "no widget " << descriptor;
    return id;
  }
  // The text field on the caption's row.
  XPWidgetID field(const std::string& caption) {
    XPWidgetID id = sim_.findFieldByCaption(caption);
    EXPECT_NE(id, nullptr) << "no field beside " << caption;
    return id;
  }
  std::string fieldText(const std::string& caption) {
    const simhost::WidgetInfo* info = sim_.widget(field(caption));
    return info == nullptr ? "<none>" : info->descriptor;
  }
  void type(const std::string& caption, const std::string& text) {
    EXPECT_TRUE(sim_.setFieldText(field(caption), text)) << caption;
  }
  void click(const std::string& descriptor) {
    EXPECT_TRUE(sim_.clickWidget(widget(descriptor))) << descriptor;
  }
  // A button's state (0 when never set); -1 when there is no such widget.
  int state(const std::string& descriptor) {
    const simhost::WidgetInfo* info = sim_.widget(widget(descriptor));
    if (info == nullptr) return -1;
    auto found = info->properties.find(xpProperty_ButtonState);
    return found == info->properties.end() ? 0 : (int)found->second;
  }
  // Visible with all its containers.
  bool shown(const std::string& descriptor) { return sim_.isWidgetShown(widget(descriptor)); }
  void chooseSettings() { EXPECT_TRUE(sim_.chooseMenuItem("Control & Settings")); }

 private:
  simhost::Simulator& sim_;
};

}  // namespace testsupport
