// The server's command line and its users file.
#pragma once

#include <map>
#include <string>

struct ServerOptions {
  std::string address = "127.0.0.1";  // IPv4 address for TCP and UDP
  int port = 49556;                    // the same port for both
  std::string usersFile;               // empty: every login is accepted
  std::map<std::string, std::string> crew;  // crew user ID -> pilot user ID
  double idleTimeoutSeconds = 30;      // without a datagram a player leaves the others' views
  int maxClients = 256;                // TCP connections held at once
};

enum class OptionsOutcome { Run, Help, Error };

// Reads argv into options; on Error, error says what was wrong.
OptionsOutcome parseOptions(int argc, char** argv, ServerOptions* options, std::string* error);
// The --help text.
const char* usageText();
// Reads "userID password" lines (password may be empty; "#" starts a
// comment line) into users; false with error when the file cannot be read.
bool loadUsers(const std::string& path, std::map<std::string, std::string>* users,
               std::string* error);
