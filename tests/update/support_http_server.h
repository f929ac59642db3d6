#pragma once
// The loopback HTTP server of the download and update-service tests and the download
// benchmark (tests/update/http_test_server.py), started on a free port of 127.0.0.1 for the
// lifetime of the object.
#include <sys/types.h>

#include <string>

class TTestHttpServer {
 public:
  // root: given, the files of this folder are served beside the fixed paths.
  // tlsCert/tlsKey: PEM files; given, the server speaks HTTPS.
  explicit TTestHttpServer(const std::string& root = "", const std::string& tlsCert = "",
                           const std::string& tlsKey = "");
  ~TTestHttpServer();
  TTestHttpServer(const TTestHttpServer&) = delete;
  TTestHttpServer& operator=(const TTestHttpServer&) = delete;

  bool Running() const { return port_ > 0; }
  int Port() const { return port_; }
  // "http://127.0.0.1:<port>" ("https://" for a TLS server)
  std::string Base() const;
  std::string Url(const std::string& path) const { return Base() + path; }
  // "127.0.0.1:<port>", for use as a proxy address.
  std::string HostPort() const;

 private:
  pid_t pid_ = -1;
  bool tls_ = false;
  int port_ = 0;
};
