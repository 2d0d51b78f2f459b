// Scripts for quillsky-sim: one timed action a line, "TIME ACTION ARGS...",
// '#' (outside double quotes) starting a comment. Parsing checks every line
// before the run; running acts on the simulator as a user would.
#pragma once

#include <charconv>
#include <ostream>
#include <string>
#include <vector>

namespace simhost {

enum class ScriptVerb { Menu, SetField, Click, Key, Type, Mouse, SetDataRef, PrintDataRef, PrintWindow, Screenshot };

struct ScriptAction {
  int line;                        // 1-based, for messages
  double time;                     // simulated seconds
  ScriptVerb verb;
  std::vector<std::string> args;   // as the verb takes them, quotes removed
};

// The whole text as a number of type T: no locale, no blanks, no "+".
template <typename T>
bool parseNumber(const std::string& text, T* value) {
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, *value);
  return result.ec == std::errc() && result.ptr == end;
}

// Parses a whole script; false with "line N: reason" in *error.
bool parseScript(const std::string& text, std::vector<ScriptAction>* actions, std::string* error);
// Performs one action: prints go to out; false with the reason in *error.
bool runScriptAction(const ScriptAction& action, std::ostream& out, std::string* error);

}  // namespace simhost
