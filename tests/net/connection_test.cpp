// Connecting, logging in, saying goodbye and losing the connection, with
// the real module in the stand-in and the test server on 127.0.0.1:49556.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/server_fixture.h"

namespace {

using testsupport::ServerMode;
using simhost::SocketOp;

constexpr double kWait = 10.0;  // seconds of wall time for anything to arrive

// MD5 of text as md5sum(1) prints it: a digest made outside the module.
std::string md5sumOf(const std::string& text) {
  char path[] = "/tmp/quillsky-digest-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return "";
  FILE* file = fdopen(fd, "wb");
  fwrite(text.data(), 1, text.size(), file);
  fclose(file);
  std::string command = std::string("md5sum ") + path;
  FILE* output = popen(command.c_str(), "r");
  char hex[33] = {};
  if (output != nullptr) {
    if (fread(hex, 1, 32, output) != 32) hex[0] = '\0';
    pclose(output);
  }
  remove(path);
  return hex;
}

bool hasLine(const std::string& bytes) { return bytes.find('\n') != std::string::npos; }

// The token is the login's leading digits.
std::string tokenOf(const std::string& login) {
  return login.substr(0, login.find_first_not_of("0123456789"));
}

struct Credentials {
  const char* name;
  std::string userID;
  std::string password;
};

void PrintTo(const Credentials& credentials, std::ostream* out) { *out << credentials.name; }

class LoginTest : public ServerFixture, public ::testing::WithParamInterface<Credentials> {
 protected:
  LoginTest() {
    preferences = "userID=" + GetParam().userID + ";password=" + GetParam().password +
                  ";connectAtStartup=1;";
  }
};

TEST_P(LoginTest, SendsTokenUserIdAndDigestOfTokenUserIdPassword) {
  ASSERT_TRUE(server->waitForTcpBytes(hasLine, kWait));
  std::string login = splitLines(server->tcpBytes()).front();
  std::string token = tokenOf(login);
  ASSERT_FALSE(token.empty());
  ASSERT_LE(std::stoi(token), 32767);

  std::string digest = md5sumOf(token + GetParam().userID + GetParam().password);
  ASSERT_EQ(digest.size(), 32u);
  EXPECT_EQ(server->tcpBytes(),
            token + "|Opening Connection|" + GetParam().userID + "|" + digest + "|\n");
  if (!GetParam().password.empty()) {
    EXPECT_EQ(login.find(GetParam().password), std::string::npos) << "the password went out";
  }
  EXPECT_EQ(statusLine().text, "TCP Conn Open");
}

INSTANTIATE_TEST_SUITE_P(
    Credentials, LoginTest,
    ::testing::Values(Credentials{"Plain", "pilot42", "s3cret"},
                      Credentials{"Empty", "", ""},
                      Credentials{"BarsAndHighBytes", "a|b", "p\xe4ss w\xf6rd"}),
    [](const ::testing::TestParamInfo<Credentials>& info) { return info.param.name; });

class ConnectedTest : public ServerFixture {};

TEST_F(ConnectedTest, ConnectWhileConnectedMakesNoSocketAndSendsNothing) {
  ASSERT_TRUE(server->waitForTcpBytes(hasLine, kWait));
  int socketsMade = sim.socketCalls(SocketOp::Socket);
  int sends = sim.socketCalls(SocketOp::Send);
  sim.enable();  // connects at start-up, but the connection is up
  EXPECT_EQ(sim.socketCalls(SocketOp::Socket), socketsMade);
  EXPECT_EQ(sim.socketCalls(SocketOp::Send), sends);
  EXPECT_EQ(server->connectionCount(), 1);
}

TEST_F(ConnectedTest, DisconnectSaysGoodbyeAndReconnectLogsInWithTheSameToken) {
  ASSERT_TRUE(server->waitForTcpBytes(hasLine, kWait));
  std::string login = server->tcpBytes();
  std::string token = tokenOf(login);

  sim.disable();
  ASSERT_TRUE(server->waitForPeerClose(kWait));
  EXPECT_EQ(server->connections()[0].bytes, login + token + "|Closing Connection\n");
  EXPECT_EQ(statusLine().text, "Network Traffic:");

  sim.enable();
  ASSERT_TRUE(server->waitForConnections(2, kWait));
  ASSERT_TRUE(server->waitForTcpBytes(
      [&](const std::string& bytes) { return bytes.size() >= 2 * login.size(); }, kWait));
  EXPECT_EQ(server->connections()[1].bytes, login);
}

TEST_F(ConnectedTest, DisconnectClosesBothSocketsOnceAndASecondOneSendsNothing) {
  ASSERT_TRUE(server->waitForTcpBytes(hasLine, kWait));
  int closes = sim.socketCalls(SocketOp::Close);
  sim.disable();
  EXPECT_EQ(sim.socketCalls(SocketOp::Close), closes + 2);
  int sends = sim.socketCalls(SocketOp::Send);
  sim.disable();
  EXPECT_EQ(sim.socketCalls(SocketOp::Send), sends);
  EXPECT_EQ(sim.socketCalls(SocketOp::Close), closes + 2);
}

class NeverConnectedTest : public ServerFixture {
 protected:
  NeverConnectedTest() { preferences = "userID=pilot;password=secret;connectAtStartup=0;"; }
};

TEST_F(NeverConnectedTest, DisableWithoutAConnectionTouchesNoSocket) {
  sim.runSeconds(1.0);
  sim.disable();
  EXPECT_EQ(sim.socketCalls(SocketOp::Socket), 0);
  EXPECT_EQ(sim.socketCalls(SocketOp::Send), 0);
  EXPECT_EQ(sim.socketCalls(SocketOp::Close), 0);
  EXPECT_EQ(server->connectionCount(), 0);
}

struct ErrorText {
  int cause;
  const char* text;
};

TEST_F(NeverConnectedTest, FailedBindOrConnectShowsItsCauseAndTheConnectsTextWins) {
  const ErrorText table[] = {
      {ECONNRESET, "Conn Reset"}, {ENETDOWN, "Net Down"},         {EFAULT, "FromLengSmall"},
      {EINVAL, "Not Bound"},      {ENOTCONN, "Not Connected"},    {ESHUTDOWN, "Shutdown"},
      {EMSGSIZE, "msg size"},     {ECONNABORTED, "Conn Aborted"},
  };
  for (const ErrorText& row : table) {
    SCOPED_TRACE(row.text);
    sim.failNextSocketCalls(SocketOp::Bind, 1, row.cause);
    sim.failNextSocketCalls(SocketOp::Connect, 1, ECONNREFUSED);  // a cause without a text
    connectNow();
    EXPECT_EQ(statusLine().text, std::string("UDP ") + row.text);

    sim.failNextSocketCalls(SocketOp::Bind, 1, ENETDOWN);
    sim.failNextSocketCalls(SocketOp::Connect, 1, row.cause);
    connectNow();
    EXPECT_EQ(statusLine().text, std::string("TCP ") + row.text);
  }
  // A cause outside the table leaves the text alone.
  sim.failNextSocketCalls(SocketOp::Connect, 1, EHOSTUNREACH);
  connectNow();
  EXPECT_EQ(statusLine().text, "TCP Conn Aborted");
  EXPECT_EQ(server->connectionCount(), 0);
  EXPECT_EQ(sim.socketCalls(SocketOp::Close), sim.socketCalls(SocketOp::Socket));
}

TEST_F(NeverConnectedTest, SocketsThatCannotBeMadeFailTheAttemptAndTheNextOneWorks) {
  sim.failNextSocketCalls(SocketOp::Socket, 2, EMFILE);
  connectNow();
  EXPECT_EQ(sim.socketCalls(SocketOp::Close), 0) << "nothing was open";
  EXPECT_EQ(server->connectionCount(), 0);

  connectNow();
  ASSERT_TRUE(server->waitForTcpBytes(hasLine, kWait));
  EXPECT_EQ(statusLine().text, "TCP Conn Open");
}

class RefusedTest : public ServerFixture {
 protected:
  RefusedTest() { serverMode = ServerMode::Refuse; }
};

TEST_F(RefusedTest, RefusedConnectLeavesTheStatusShowsTxAndClosesItsSockets) {
  // The bind failed (the server holds the UDP port) and a refused connect
  // has no text of its own: the head is still the one of start-up.
  ServerFixture::StatusLine line = statusLine();
  EXPECT_EQ(line.text, "Network Traffic:");
  EXPECT_EQ(line.indicators.substr(0, 2), "Tx");
  EXPECT_EQ(sim.socketCalls(SocketOp::Socket), 2);
  EXPECT_EQ(sim.socketCalls(SocketOp::Close), 2) << "a failed attempt must not leak descriptors";

  // Not connected: no reports, no goodbye.
  int sends = sim.socketCalls(SocketOp::Send);
  sim.runSeconds(12.0);
  sim.disable();
  EXPECT_EQ(sim.socketCalls(SocketOp::Send), sends);
  EXPECT_EQ(sim.socketCalls(SocketOp::SendTo), 0);
}

class SilentTest : public ServerFixture {
 protected:
  SilentTest() {
    serverMode = ServerMode::Silent;
    preferences = "connectAtStartup=0;";
  }
};

TEST_F(SilentTest, ConnectToAServerThatNeverAnswersGivesUpAfterFiveSeconds) {
  auto begin = std::chrono::steady_clock::now();
  connectNow();
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_GT(seconds, 4.0);
  EXPECT_LT(seconds, 8.0);
  ServerFixture::StatusLine line = statusLine();
  EXPECT_EQ(line.text, "Network Traffic:");
  EXPECT_EQ(line.indicators.substr(0, 2), "Tx");
  EXPECT_EQ(sim.socketCalls(SocketOp::Close), 2);
  int sends = sim.socketCalls(SocketOp::Send);
  sim.runSeconds(2.0);
  EXPECT_EQ(sim.socketCalls(SocketOp::Send), sends);
  EXPECT_EQ(sim.socketCalls(SocketOp::SendTo), 0);
}

struct ServerEnd {
  const char* name;
  bool reset;
  const char* status;
};

void PrintTo(const ServerEnd& end, std::ostream* out) { *out << end.name; }

class ServerEndsTest : public ServerFixture, public ::testing::WithParamInterface<ServerEnd> {};

TEST_P(ServerEndsTest, ConnectionEndsWithTheReasonShownAndReconnectWorks) {
  ASSERT_TRUE(server->waitForTcpBytes(hasLine, kWait));
  std::string login = server->tcpBytes();
  sim.runFrames(3);

  if (GetParam().reset) server->resetClient();
  else server->closeClient();
  ASSERT_TRUE(sim.runUntil([&] { return statusLine().text == GetParam().status; }, kWait));

  // Both sockets are closed and nothing more goes out, not even a goodbye.
  ASSERT_TRUE(server->flushDatagrams(kWait));
  size_t datagrams = server->datagramCount();
  int sends = sim.socketCalls(SocketOp::Send);
  sim.runSeconds(11.0);
  sim.disable();
  ASSERT_TRUE(server->flushDatagrams(kWait));
  EXPECT_EQ(server->datagramCount(), datagrams);
  EXPECT_EQ(sim.socketCalls(SocketOp::Send), sends);

  sim.enable();
  ASSERT_TRUE(server->waitForConnections(2, kWait));
  ASSERT_TRUE(server->waitForTcpBytes(
      [&](const std::string& bytes) { return bytes.size() >= 2 * login.size(); }, kWait));
  EXPECT_EQ(server->connections()[1].bytes, login);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, ServerEndsTest,
    ::testing::Values(ServerEnd{"Close", false, "TCP Conn Closed by Server"},
                      ServerEnd{"Reset", true, "TCP Conn Reset"}),
    [](const ::testing::TestParamInfo<ServerEnd>& info) { return info.param.name; });

}  // namespace
