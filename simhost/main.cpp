// quillsky-sim: loads a plug-in module into the stand-in simulator and runs
// it for a while, optionally acting on a script. Standard output carries
// only what the script prints; everything else goes to standard error.
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "simhost/script.h"
#include "simhost/simulator.h"

namespace {

const char kUsage[] =
    "usage: quillsky-sim [--plugin FILE] [--root DIR] [--seconds S] [--fps N] [--fast]\n"
    "                    [--screen WxH] [--aircraft PATH] [--at LAT,LON,ELEV] [--heading DEG]\n"
    "                    [--speed MPS] [--script FILE|-] [--modern-renderer] [--separator SEP]\n";

struct Options {
  std::string plugin = QUILLSKY_MODULE_PATH;
  std::string root = ".";
  double seconds = 10;
  std::string script;
};

// Numbers separated by one character, e.g. "1024x768" or "47.5,-122.3,100".
bool numberList(const std::string& text, char separator, size_t count, double* values) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (parts.size() != count) return false;
  for (size_t i = 0; i < count; ++i)
    if (!simhost::parseNumber(parts[i], &values[i])) return false;
  return true;
}

bool parseOptions(int argc, char** argv, Options* options, std::string* error) {
  simhost::Config& config = simhost::simulator().config();
  config.pacedToWallClock = true;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--fast") {
      config.pacedToWallClock = false;
      continue;
    }
    if (option == "--modern-renderer") {
      config.modernRenderer = true;
      continue;
    }
    static const char* const kWithValue[] = {"--plugin", "--root",  "--script",  "--aircraft", "--separator", "--seconds",
                                             "--fps",    "--heading", "--speed", "--screen",   "--at"};
    if (std::find(std::begin(kWithValue), std::end(kWithValue), option) == std::end(kWithValue)) {
      *error = "unknown option " + option;
      return false;
    }
    if (i + 1 >= argc) {
      *error = option + " needs a value";
      return false;
    }
    std::string value = argv[++i];
    double numbers[3];
    bool ok = true;
    if (option == "--plugin") options->plugin = value;
    else if (option == "--root") options->root = value;
    else if (option == "--script") options->script = value;
    else if (option == "--aircraft") config.aircraftPath = value;
    else if (option == "--separator") ok = !value.empty() && value.size() < 8 && (config.directorySeparator = value, true);
    else if (option == "--seconds") ok = simhost::parseNumber(value, &options->seconds) && options->seconds >= 0;
    else if (option == "--fps") ok = simhost::parseNumber(value, numbers) && numbers[0] >= 1 && numbers[0] <= 10000 && (config.fps = (int)numbers[0], true);
    else if (option == "--heading") ok = simhost::parseNumber(value, &config.headingDegrees);
    else if (option == "--speed") ok = simhost::parseNumber(value, &config.speedMetresPerSecond);
    else if (option == "--screen") {
      ok = numberList(value, 'x', 2, numbers) && numbers[0] >= 1 && numbers[1] >= 1;
      if (ok) config.screenWidth = (int)numbers[0], config.screenHeight = (int)numbers[1];
    } else if (option == "--at") {
      ok = numberList(value, ',', 3, numbers) && numbers[0] >= -90 && numbers[0] <= 90 && numbers[1] >= -180 &&
           numbers[1] <= 180;
      if (ok) config.startLatitude = numbers[0], config.startLongitude = numbers[1], config.startElevation = numbers[2];
    }
    if (!ok) {
      *error = "bad value for " + option + ": " + value;
      return false;
    }
  }
  return true;
}

bool readScript(const std::string& path, std::string* text, std::string* error) {
  std::ostringstream content;
  if (path == "-") {
    content << std::cin.rdbuf();
  } else {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      *error = "cannot read the script " + path;
      return false;
    }
    content << in.rdbuf();
  }
  *text = content.str();
  return true;
}

// The frames, with each action run after the first frame at or after its
// time; false when an action failed (the run stops there).
bool runFrames(double seconds, std::vector<simhost::ScriptAction>& actions) {
  simhost::Simulator& sim = simhost::simulator();
  std::stable_sort(actions.begin(), actions.end(),
                   [](const simhost::ScriptAction& a, const simhost::ScriptAction& b) { return a.time < b.time; });
  size_t next = 0;
  double end = seconds - 1e-9;
  while (sim.now() < end) {
    sim.runFrames(1);
    for (; next < actions.size() && actions[next].time <= sim.now() + 1e-9; ++next) {
      std::string error;
      if (!simhost::runScriptAction(actions[next], std::cout, &error)) {
        std::cerr << "quillsky-sim: " << error << '\n';
        return false;
      }
      std::cout.flush();
    }
  }
  for (; next < actions.size(); ++next)
    std::cerr << "quillsky-sim: line " << actions[next].line << ": after the end of the run, not done\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  simhost::Simulator& sim = simhost::simulator();
  sim.reset();
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, &options, &error)) {
    std::cerr << "quillsky-sim: " << error << '\n' << kUsage;
    return 2;
  }
  std::vector<simhost::ScriptAction> actions;
  if (!options.script.empty()) {
    std::string text;
    if (!readScript(options.script, &text, &error) || !simhost::parseScript(text, &actions, &error)) {
      std::cerr << "quillsky-sim: " << options.script << ": " << error << '\n';
      return 1;
    }
  }
  // Paths given relative to where the program started keep meaning that
  // after entering the root folder.
  options.plugin = std::filesystem::absolute(options.plugin).string();
  sim.config().rootFolder = std::filesystem::absolute(options.root).lexically_normal().string();
  if (chdir(options.root.c_str()) != 0) {
    std::cerr << "quillsky-sim: cannot enter the root folder " << options.root << '\n';
    return 1;
  }
  sim.config().echoLogToStderr = true;

  if (!sim.load(options.plugin, &error)) {
    std::cerr << "quillsky-sim: cannot load " << options.plugin << ": " << error << '\n';
    return 1;
  }
  bool ok = true;
  if (sim.start() != 1) {
    std::cerr << "quillsky-sim: XPluginStart failed\n";
    ok = false;
  } else {
    std::cerr << "quillsky-sim: started " << sim.pluginName() << " (" << sim.pluginSignature() << ")\n";
    if (sim.enable() != 1) {
      std::cerr << "quillsky-sim: XPluginEnable failed\n";
      ok = false;
    } else {
      ok = runFrames(options.seconds, actions);
      sim.disable();
    }
    sim.stop();
  }
  if (!sim.unload(&error)) {
    std::cerr << "quillsky-sim: " << error << '\n';
    ok = false;
  }
  return ok ? 0 : 1;
}
