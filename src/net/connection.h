// The connection to the server: sockets, login, goodbye.
#pragma once

#include <string>

// The default server's IPv4 address, a build setting.
#ifndef QUILLSKY_SERVER_ADDRESS
#define QUILLSKY_SERVER_ADDRESS "127.0.0.1"
#endif

// Longest wait for the TCP connection before it counts as refused.
constexpr int kConnectTimeoutMilliseconds = 5000;

// Opens both sockets and logs in; returns connected (0 when the socket
// library did not start). Does nothing while connected.
int connectToServer();
// Sends the closing notice and closes both sockets; always returns 1.
int disconnectFromServer();
// The server closed or reset the stream: closes both sockets without the
// closing notice, clears connected and shows statusText.
void dropConnection(const char* statusText);
// Sends one whole message on the stream in one call and shows "Tx";
// the result lands in lastSocketResult and is returned.
int sendStreamMessage(const std::string& message);
