// Script parsing and the actions.
#include "simhost/script.h"

#include <charconv>
#include <sstream>

#include "simhost/screenshot.h"
#include "simhost/simulator.h"

namespace simhost {

namespace {

// Reads the line word by word. A text argument is double-quoted (with
// backslash escapes for a quote and a backslash), or, when it is the line's
// last, the rest of the line.
class LineReader {
 public:
  explicit LineReader(const std::string& text) : text_(text) {}

  bool atEnd() {
    skipSpaces();
    return position_ >= text_.size();
  }

  bool word(std::string* out, std::string* error) {
    skipSpaces();
    if (position_ < text_.size() && text_[position_] == '"') return quoted(out, error);
    size_t end = text_.find_first_of(" \t", position_);
    if (end == std::string::npos) end = text_.size();
    *out = text_.substr(position_, end - position_);
    position_ = end;
    if (out->empty()) *error = "an argument is missing";
    return !out->empty();
  }

  bool rest(std::string* out, std::string* error) {
    skipSpaces();
    if (position_ < text_.size() && text_[position_] == '"') return quoted(out, error) && nothingMore(error);
    *out = text_.substr(position_);
    while (!out->empty() && (out->back() == ' ' || out->back() == '\t')) out->pop_back();
    position_ = text_.size();
    if (out->empty()) *error = "a text is missing";
    return !out->empty();
  }

  bool nothingMore(std::string* error) {
    if (atEnd()) return true;
    *error = "unexpected text after the arguments: " + text_.substr(position_);
    return false;
  }

 private:
  void skipSpaces() {
    while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t')) ++position_;
  }

  bool quoted(std::string* out, std::string* error) {
    out->clear();
    for (size_t i = position_ + 1; i < text_.size(); ++i) {
      char c = text_[i];
      if (c == '\\' && i + 1 < text_.size() && (text_[i + 1] == '"' || text_[i + 1] == '\\')) {
        out->push_back(text_[++i]);
      } else if (c == '"') {
        position_ = i + 1;
        return true;
      } else {
        out->push_back(c);
      }
    }
    *error = "a quote is not closed";
    return false;
  }

  const std::string& text_;
  size_t position_ = 0;
};

// The line up to a '#' outside quotes.
std::string withoutComment(const std::string& line) {
  bool inQuotes = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && inQuotes && i + 1 < line.size()) {
      ++i;
    } else if (line[i] == '"') {
      inQuotes = !inQuotes;
    } else if (line[i] == '#' && !inQuotes) {
      return line.substr(0, i);
    }
  }
  return line;
}

// The character code of a key name.
bool keyCode(const std::string& name, char* code) {
  if (name == "Tab") *code = 9;
  else if (name == "Return") *code = 13;
  else if (name == "Backspace") *code = 8;
  else if (name == "Delete") *code = 127;
  else if (name.size() == 1) *code = name[0];
  else return false;
  return true;
}

bool parseArguments(ScriptVerb verb, LineReader& reader, std::vector<std::string>* args, std::string* error) {
  std::string a, b, c;
  switch (verb) {
    case ScriptVerb::Menu:
    case ScriptVerb::Click:
    case ScriptVerb::Type:
    case ScriptVerb::Screenshot:
      if (!reader.rest(&a, error)) return false;
      *args = {a};
      return true;
    case ScriptVerb::SetField:
      if (!reader.word(&a, error) || !reader.rest(&b, error)) return false;
      *args = {a, b};
      return true;
    case ScriptVerb::Key: {
      char code;
      if (!reader.word(&a, error) || !reader.nothingMore(error)) return false;
      if (!keyCode(a, &code)) {
        *error = "unknown key " + a + " (Tab, Return, Backspace, Delete or one character)";
        return false;
      }
      *args = {std::string(1, code)};
      return true;
    }
    case ScriptVerb::Mouse: {
      int x, y;
      if (!reader.word(&a, error) || !reader.word(&b, error) || !reader.word(&c, error) || !reader.nothingMore(error))
        return false;
      if (a != "down" && a != "drag" && a != "up") {
        *error = "mouse takes down, drag or up, not " + a;
        return false;
      }
      if (!parseNumber(b, &x) || !parseNumber(c, &y)) {
        *error = "mouse needs whole pixel coordinates";
        return false;
      }
      *args = {a, b, c};
      return true;
    }
    case ScriptVerb::SetDataRef: {
      if (!reader.word(&a, error)) return false;
      if (!simulator().hasDataRef(a)) {
        *error = "unknown data reference " + a;
        return false;
      }
      args->push_back(a);
      while (!reader.atEnd()) {
        double value;
        if (!reader.word(&b, error)) return false;
        if (!parseNumber(b, &value)) {
          *error = "not a number: " + b;
          return false;
        }
        args->push_back(b);
      }
      if (args->size() < 2) {
        *error = "set dataref needs a value";
        return false;
      }
      return true;
    }
    case ScriptVerb::PrintDataRef:
      if (!reader.word(&a, error) || !reader.nothingMore(error)) return false;
      if (!simulator().hasDataRef(a)) {
        *error = "unknown data reference " + a;
        return false;
      }
      *args = {a};
      return true;
    case ScriptVerb::PrintWindow:
      if (!reader.word(&a, error) || !reader.nothingMore(error)) return false;
      if (a != "plane-list" && a != "messages") {
        *error = "print window takes plane-list or messages, not " + a;
        return false;
      }
      *args = {a};
      return true;
  }
  return false;
}

// The verb, which for set and print includes the word after it.
bool parseVerb(LineReader& reader, ScriptVerb* verb, std::string* error) {
  std::string word, object;
  if (!reader.word(&word, error)) {
    *error = "an action is missing";
    return false;
  }
  if (word == "set" || word == "print") {
    if (!reader.word(&object, error)) return false;
    if (word == "set" && object == "dataref") *verb = ScriptVerb::SetDataRef;
    else if (word == "print" && object == "dataref") *verb = ScriptVerb::PrintDataRef;
    else if (word == "print" && object == "window") *verb = ScriptVerb::PrintWindow;
    else {
      *error = "unknown action " + word + " " + object;
      return false;
    }
    return true;
  }
  static const std::pair<const char*, ScriptVerb> kVerbs[] = {
      {"menu", ScriptVerb::Menu},   {"set-field", ScriptVerb::SetField},     {"click", ScriptVerb::Click},
      {"key", ScriptVerb::Key},     {"type", ScriptVerb::Type},              {"mouse", ScriptVerb::Mouse},
      {"screenshot", ScriptVerb::Screenshot}};
  for (const auto& [name, value] : kVerbs)
    if (word == name) {
      *verb = value;
      return true;
    }
  *error = "unknown action " + word;
  return false;
}

std::string formatValue(DataType type, double value) {
  char buffer[64];
  std::to_chars_result result = type == DataType::Double ? std::to_chars(buffer, buffer + sizeof buffer, value)
                                : type == DataType::Int || type == DataType::IntArray
                                    ? std::to_chars(buffer, buffer + sizeof buffer, (int)value)
                                    : std::to_chars(buffer, buffer + sizeof buffer, (float)value);
  return std::string(buffer, result.ptr);
}

// A shown button with this descriptor, else any live widget with it.
XPWidgetID clickTarget(const std::string& descriptor) {
  Simulator& sim = simulator();
  for (const WidgetInfo& w : sim.widgets())
    if (!w.destroyed && w.descriptor == descriptor && w.widgetClass == xpWidgetClass_Button && sim.isWidgetShown(w.id))
      return w.id;
  return sim.findWidget(descriptor);
}

void setDataRef(const std::vector<std::string>& args) {
  Simulator& sim = simulator();
  const std::string& name = args[0];
  std::vector<double> values;
  for (size_t i = 1; i < args.size(); ++i) {
    double value = 0;
    parseNumber(args[i], &value);
    values.push_back(value);
  }
  switch (sim.dataRefType(name)) {
    case DataType::Int: sim.setInt(name, (int)values[0]); break;
    case DataType::Float: sim.setFloat(name, (float)values[0]); break;
    case DataType::Double: sim.setDouble(name, values[0]); break;
    case DataType::FloatArray: sim.setFloats(name, 0, std::vector<float>(values.begin(), values.end())); break;
    case DataType::IntArray: {
      std::vector<int> ints;
      for (double value : values) ints.push_back((int)value);
      sim.setInts(name, 0, ints);
      break;
    }
  }
}

void printDataRef(const std::string& name, std::ostream& out) {
  Simulator& sim = simulator();
  DataType type = sim.dataRefType(name);
  std::string line;
  if (type == DataType::FloatArray || type == DataType::IntArray) {
    std::vector<float> values = sim.getFloats(name);  // exact for ints too
    for (size_t i = 0; i < values.size(); ++i) line += (i ? " " : "") + formatValue(type, values[i]);
  } else {
    line = formatValue(type, sim.getDouble(name));
  }
  out << line << '\n';
}

}  // namespace

bool parseScript(const std::string& text, std::vector<ScriptAction>* actions, std::string* error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  actions->clear();
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string content = withoutComment(line);
    LineReader reader(content);
    if (reader.atEnd()) continue;
    ScriptAction action = {number, 0, ScriptVerb::Menu, {}};
    std::string time, reason;
    bool ok = reader.word(&time, &reason);
    if (ok && (!parseNumber(time, &action.time) || action.time < 0)) {
      ok = false;
      reason = "the line must start with a time in seconds, not " + time;
    }
    ok = ok && parseVerb(reader, &action.verb, &reason) && parseArguments(action.verb, reader, &action.args, &reason);
    if (!ok) {
      *error = "line " + std::to_string(number) + ": " + reason;
      return false;
    }
    actions->push_back(action);
  }
  return true;
}

bool runScriptAction(const ScriptAction& action, std::ostream& out, std::string* error) {
  Simulator& sim = simulator();
  const std::vector<std::string>& args = action.args;
  std::string where = "line " + std::to_string(action.line) + ": ";
  switch (action.verb) {
    case ScriptVerb::Menu:
      if (sim.chooseMenuItem(args[0])) return true;
      *error = where + "no menu item " + args[0];
      return false;
    case ScriptVerb::SetField: {
      XPWidgetID field = sim.findFieldByCaption(args[0]);
      if (field && sim.setFieldText(field, args[1])) return true;
      *error = where + "no text field on the row of " + args[0];
      return false;
    }
    case ScriptVerb::Click:
      if (sim.clickWidget(clickTarget(args[0]))) return true;
      *error = where + "no button " + args[0];
      return false;
    case ScriptVerb::Key:
      sim.pressKey(args[0][0], 0);
      return true;
    case ScriptVerb::Type:
      sim.typeText(args[0]);
      return true;
    case ScriptVerb::Mouse: {
      int x = std::stoi(args[1]), y = std::stoi(args[2]);
      if (args[0] == "down") sim.mouseDown(x, y);
      else if (args[0] == "drag") sim.mouseDrag(x, y);
      else sim.mouseUp(x, y);
      return true;
    }
    case ScriptVerb::SetDataRef:
      setDataRef(args);
      return true;
    case ScriptVerb::PrintDataRef:
      printDataRef(args[0], out);
      return true;
    case ScriptVerb::PrintWindow: {
      const WindowInfo* w = sim.nthWindow(args[0] == "plane-list" ? 0 : 1);
      if (!w) {
        *error = where + "the module has no " + args[0] + " window";
        return false;
      }
      for (const std::string& text : sim.stringsDrawnIn(w->id)) out << text << '\n';
      return true;
    }
    case ScriptVerb::Screenshot:
      if (writeScreenshot(args[0], error)) return true;
      *error = where + *error;
      return false;
  }
  return false;
}

}  // namespace simhost
