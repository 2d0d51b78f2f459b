// quillsky-server: the reference server for Quillsky clients.
#include <signal.h>
#include <stdio.h>

#include "options.h"
#include "server.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

}  // namespace

int main(int argc, char** argv) {
  Server server;
  std::string error;
  switch (parseOptions(argc, argv, &server.options, &error)) {
    case OptionsOutcome::Help:
      fputs(usageText(), stdout);
      return 0;
    case OptionsOutcome::Error:
      fprintf(stderr, "quillsky-server: %s\n\n%s", error.c_str(), usageText());
      return 2;
    case OptionsOutcome::Run:
      break;
  }
  if (!server.options.usersFile.empty()) {
    if (!loadUsers(server.options.usersFile, &server.users, &error)) {
      fprintf(stderr, "quillsky-server: %s\n", error.c_str());
      return 1;
    }
    server.checkLogins = true;
  }

  // No SA_RESTART: the signal interrupts poll() and the loop sees the flag.
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!openServer(server, &error)) {
    fprintf(stderr, "quillsky-server: %s\n", error.c_str());
    closeServer(server);
    return 1;
  }
  runServer(server, &stopRequested);
  closeServer(server);
  return 0;
}
