#pragma once
// The loopback HTTP server of the download tests (tests/update/http_test_server.py), started
// on a free port of 127.0.0.1 for the lifetime of the object.
#include <sys/types.h>

#include <string>

class TTestHttpServer {
 public:
  // tlsCert/tlsKey: PEM files; given, the server speaks HTTPS.
  explicit TTestHttpServer(const std::string& tlsCert = "", const std::string& tlsKey = "");
  ~TTestHttpServer();
  TTestHttpServer(const TTestHttpServer&) = delete;
  TTestHttpServer& operator=(const TTestHttpServer&) = delete;

  bool Running() const { return port_ > 0; }
  int Port() const { return port_; }
  // "http://127.0.0.1:<port>" + path ("https://" for a TLS server)
  std::string Url(const std::string& path) const;
  // "127.0.0.1:<port>", for use as a proxy address.
  std::string HostPort() const;

 private:
  pid_t pid_ = -1;
  bool tls_ = false;
  int port_ = 0;
};

namespace httptest {
// Reads a whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes a whole file; false on failure.
bool WriteWholeFile(const std::string& path, const std::string& data);
}  // namespace httptest
