#include "options.h"

#include <arpa/inet.h>

#include <charconv>
#include <fstream>
#include <string_view>

namespace {

// The whole text as one number of the value's type.
template <typename Number>
bool parseNumber(std::string_view text, Number* value) {
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, *value);
  return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

}  // namespace

const char* usageText() {
  return "usage: quillsky-server [options]\n"
         "\n"
         "Serves Quillsky clients: logins, slots, positions, call signs, aircraft, chat.\n"
         "\n"
         "  --address IPV4        address for TCP and UDP (default 127.0.0.1)\n"
         "  --port N              port for TCP and UDP (default 49556)\n"
         "  --users FILE          accept only the logins of FILE's \"userID password\" lines\n"
         "                        (default: every login is accepted)\n"
         "  --crew CREW=PILOT     a view-only client of user CREW rides in PILOT's aircraft\n"
         "                        (repeatable)\n"
         "  --idle-timeout S      seconds without a position before a player leaves the\n"
         "                        others' views (default 30)\n"
         "  --max-clients N       TCP connections held at once (default 256)\n"
         "  --help                this text\n"
         "\n"
         "Logs connects, logins, refusals and disconnects on standard error; stops on\n"
         "SIGINT or SIGTERM.\n";
}

OptionsOutcome parseOptions(int argc, char** argv, ServerOptions* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view name = argv[i];
    if (name == "--help" || name == "-h") return OptionsOutcome::Help;
    if (i + 1 >= argc) {
      *error = std::string(name) + (name.substr(0, 2) == "--" ? " needs a value" : ": unknown option");
      return OptionsOutcome::Error;
    }
    std::string_view value = argv[++i];
    bool valid = true;
    if (name == "--address") {
      in_addr parsed;
      valid = inet_pton(AF_INET, std::string(value).c_str(), &parsed) == 1;
      options->address = value;
    } else if (name == "--port") {
      valid = parseNumber(value, &options->port) && options->port > 0 && options->port < 65536;
    } else if (name == "--users") {
      options->usersFile = value;
    } else if (name == "--crew") {
      size_t equals = value.find('=');
      valid = equals != std::string_view::npos && equals > 0 && equals + 1 < value.size();
      if (valid) {
        std::string crewUser(value.substr(0, equals));
        valid = options->crew.count(crewUser) == 0;
        options->crew[crewUser] = value.substr(equals + 1);
      }
    } else if (name == "--idle-timeout") {
      valid = parseNumber(value, &options->idleTimeoutSeconds) && options->idleTimeoutSeconds > 0;
    } else if (name == "--max-clients") {
      valid = parseNumber(value, &options->maxClients) && options->maxClients > 0;
    } else {
      *error = std::string(name) + ": unknown option";
      return OptionsOutcome::Error;
    }
    if (!valid) {
      *error = std::string(name) + ": invalid value \"" + std::string(value) + "\"";
      return OptionsOutcome::Error;
    }
  }
  return OptionsOutcome::Run;
}

bool loadUsers(const std::string& path, std::map<std::string, std::string>* users,
               std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read users file " + path;
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    size_t space = line.find_first_of(" \t", start);
    std::string userID = line.substr(start, space - start);
    std::string password;
    if (space != std::string::npos) {
      size_t passwordStart = line.find_first_not_of(" \t", space);
      if (passwordStart != std::string::npos) password = line.substr(passwordStart);
    }
    (*users)[userID] = password;
  }
  return true;
}
