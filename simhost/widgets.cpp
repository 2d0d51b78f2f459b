// The widget library: trees, properties, descriptors, visibility, and what
// its standard widgets do when a person uses them. Widgets are not drawn.
//
// Messages travel from a widget up through its containers; at each widget
// its callbacks run, most recently added first, then the library's own
// class behaviour, which handles none of the messages the module sends or
// receives, so they keep travelling until a callback returns 1.
#include <string.h>

#include <algorithm>

#include "simhost/state.h"

namespace simhost {

WidgetInfo* liveWidget(XPWidgetID id) { return recordOf(state().widgets, kWidgetHandle, id, false); }

namespace {

intptr_t property(const WidgetInfo& w, int key) {
  auto found = w.properties.find(key);
  return found == w.properties.end() ? 0 : found->second;
}

void destroyWidget(XPWidgetID id, bool destroyChildren) {
  WidgetInfo* w = liveWidget(id);
  if (!w) return;
  w->destroyed = true;
  std::vector<XPWidgetID> children = w->children;
  XPWidgetID container = w->container;
  w->children.clear();
  if (WidgetInfo* parent = liveWidget(container)) std::erase(parent->children, id);
  for (XPWidgetID child : children) {
    if (destroyChildren) {
      destroyWidget(child, true);
    } else if (WidgetInfo* orphan = liveWidget(child)) {
      orphan->container = nullptr;
    }
  }
}

}  // namespace

// ---- Test access

const std::vector<WidgetInfo>& Simulator::widgets() const { return state().widgets; }

const WidgetInfo* Simulator::widget(XPWidgetID id) const {
  return recordOf(state().widgets, kWidgetHandle, id, true);
}

bool Simulator::isWidgetShown(XPWidgetID id) const {
  for (WidgetInfo* w = liveWidget(id); w; w = liveWidget(w->container))
    if (!w->visible) return false;
  return liveWidget(id) != nullptr;
}

XPWidgetID Simulator::findWidget(const std::string& descriptor) const {
  for (const WidgetInfo& w : state().widgets)
    if (!w.destroyed && w.descriptor == descriptor) return w.id;
  return nullptr;
}

XPWidgetID Simulator::findFieldByCaption(const std::string& caption) const {
  const std::vector<WidgetInfo>& all = state().widgets;
  for (const WidgetInfo& label : all) {
    if (label.destroyed || label.widgetClass != xpWidgetClass_Caption || label.descriptor != caption) continue;
    for (const WidgetInfo& field : all)
      if (!field.destroyed && field.widgetClass == xpWidgetClass_TextField && field.top == label.top)
        return field.id;
  }
  return nullptr;
}

XPWidgetID Simulator::sendWidgetMessage(XPWidgetID id, int message, intptr_t param1, intptr_t param2) {
  for (WidgetInfo* w = liveWidget(id); w; w = liveWidget(w->container)) {
    XPWidgetID current = w->id;
    std::vector<XPWidgetFunc_t> callbacks = w->callbacks;
    for (auto callback = callbacks.rbegin(); callback != callbacks.rend(); ++callback) {
      int handled;
      {
        ModuleCall call;
        handled = (*callback)(message, current, param1, param2);
      }
      if (handled) return current;
      if (!liveWidget(current)) return nullptr;  // destroyed by its own callback
    }
    w = liveWidget(current);
    if (!w) return nullptr;
  }
  return nullptr;
}

bool Simulator::clickWidget(XPWidgetID id) {
  WidgetInfo* w = liveWidget(id);
  if (!w || w->widgetClass != xpWidgetClass_Button) return false;
  intptr_t behaviour = property(*w, xpProperty_ButtonBehavior);
  if (behaviour == xpButtonBehaviorPushButton) {
    sendWidgetMessage(id, xpMsg_PushButtonPressed, (intptr_t)id, 0);
  } else if (behaviour == xpButtonBehaviorRadioButton) {
    if (property(*w, xpProperty_ButtonState) == 1) return true;  // stays on, says nothing
    w->properties[xpProperty_ButtonState] = 1;
    sendWidgetMessage(id, xpMsg_ButtonStateChanged, (intptr_t)id, 1);
  } else {
    intptr_t newState = property(*w, xpProperty_ButtonState) ? 0 : 1;
    w->properties[xpProperty_ButtonState] = newState;
    sendWidgetMessage(id, xpMsg_ButtonStateChanged, (intptr_t)id, newState);
  }
  return true;
}

bool Simulator::clickCloseBox(XPWidgetID id) {
  WidgetInfo* w = liveWidget(id);
  if (!w || w->widgetClass != xpWidgetClass_MainWindow) return false;
  sendWidgetMessage(id, xpMessage_CloseButtonPushed, (intptr_t)id, 0);
  return true;
}

bool Simulator::setFieldText(XPWidgetID id, const std::string& text) {
  WidgetInfo* w = liveWidget(id);
  if (!w || w->widgetClass != xpWidgetClass_TextField) return false;
  w->descriptor = text;
  return true;
}

}  // namespace simhost

using simhost::checkedWidget;
using simhost::WidgetInfo;

extern "C" {

XPWidgetID XPCreateWidget(int left, int top, int right, int bottom, int visible, const char* descriptor,
                          int isRoot, XPWidgetID container, int widgetClass) {
  simhost::State& s = simhost::state();
  size_t index = s.widgets.size();
  XPWidgetID id = simhost::makeHandle(simhost::kWidgetHandle, index);
  WidgetInfo* parent = simhost::liveWidget(container);
  if (container && !parent) simhost::diagnose("XPCreateWidget: the container is not a live widget");
  s.widgets.push_back({id, left, top, right, bottom, visible != 0, descriptor ? descriptor : "", isRoot != 0,
                       parent ? container : nullptr, widgetClass, {}, {}, {}, false, (int)index});
  if (parent) simhost::liveWidget(container)->children.push_back(id);  // push_back moved the vector
  return id;
}

void XPDestroyWidget(XPWidgetID widget, int destroyChildren) {
  if (checkedWidget(widget, "XPDestroyWidget")) simhost::destroyWidget(widget, destroyChildren != 0);
}

void XPAddWidgetCallback(XPWidgetID widget, XPWidgetFunc_t callback) {
  if (WidgetInfo* w = checkedWidget(widget, "XPAddWidgetCallback"))
    if (callback) w->callbacks.push_back(callback);
}

void XPSetWidgetProperty(XPWidgetID widget, int property, intptr_t value) {
  if (WidgetInfo* w = checkedWidget(widget, "XPSetWidgetProperty")) w->properties[property] = value;
}

intptr_t XPGetWidgetProperty(XPWidgetID widget, int property, int* exists) {
  WidgetInfo* w = checkedWidget(widget, "XPGetWidgetProperty");
  bool found = w && w->properties.count(property);
  if (exists) *exists = found ? 1 : 0;
  return found ? w->properties[property] : 0;
}

void XPSetWidgetDescriptor(XPWidgetID widget, const char* descriptor) {
  if (WidgetInfo* w = checkedWidget(widget, "XPSetWidgetDescriptor")) w->descriptor = descriptor ? descriptor : "";
}

// The terminator is copied only when it fits.
int XPGetWidgetDescriptor(XPWidgetID widget, char* out, int maxLength) {
  WidgetInfo* w = checkedWidget(widget, "XPGetWidgetDescriptor");
  if (!w) return 0;
  int length = (int)w->descriptor.size();
  if (out && maxLength > 0) memcpy(out, w->descriptor.c_str(), (size_t)std::min(length + 1, maxLength));
  return length;
}

void XPShowWidget(XPWidgetID widget) {
  if (WidgetInfo* w = checkedWidget(widget, "XPShowWidget")) w->visible = true;
}

void XPHideWidget(XPWidgetID widget) {
  if (WidgetInfo* w = checkedWidget(widget, "XPHideWidget")) w->visible = false;
}

// Visible only when its containers are too, as the user would see it.
int XPIsWidgetVisible(XPWidgetID widget) { return simhost::simulator().isWidgetShown(widget) ? 1 : 0; }

}  // extern "C"
