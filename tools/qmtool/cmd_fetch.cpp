// qmtool fetch [options] URL FILE: one download as the data update makes it, conditional on an
// existing FILE; prints the result, the step code, the HTTP status and the Last-Modified time.
// Exit 0: a new copy arrived; 3: not modified; 1: failure; 2: usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qmtool_args.h"
#include "qmtool_commands.h"
#include "update/http_download.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: qmtool fetch [--proxy HOST:PORT] [--proxy-user USER:PASSWORD]\n"
               "                    [--connect-timeout MS] [--receive-timeout MS] [--ca PEMFILE] [-v]\n"
               "                    URL FILE\n");
  return 2;
}

int RunFetch(int argc, char** argv) {
  THttpDownload d;
  d.AdjustTimeStamp = true;
  std::string url, file;
  bool verbose = false;
  TQmToolArgs args(argc, argv);
  for (std::string a; args.Next(a);) {
    std::string v;
    if (a == "--proxy") {
      if (!args.Value(d.ProxyName)) return Usage();
    } else if (a == "--proxy-user") {
      if (!args.Value(v)) return Usage();
      size_t colon = v.find(':');
      d.ProxyUsername = v.substr(0, colon);
      d.ProxyPassword = colon == std::string::npos ? "" : v.substr(colon + 1);
    } else if (a == "--connect-timeout") {
      if (!args.Value(v)) return Usage();
      d.ConnectTimeout = std::atoi(v.c_str());
    } else if (a == "--receive-timeout") {
      if (!args.Value(v)) return Usage();
      d.ReceiveTimeout = std::atoi(v.c_str());
    } else if (a == "--ca") {
      if (!args.Value(d.CaBundle)) return Usage();
    } else if (a == "-v") {
      verbose = true;
    } else if (url.empty()) {
      url = a;
    } else if (file.empty()) {
      file = a;
    } else {
      return Usage();
    }
  }
  if (url.empty() || file.empty()) return Usage();
  if (verbose) d.OnDebugLog = [](const std::string& l) { std::fprintf(stderr, "> %s\n", l.c_str()); };
  d.SetUrl(url);
  d.SetFileName(file);
  bool ok = d.Execute();
  std::string name;
  InetErrorName(d.ErrorCode, name);
  std::string status = d.ResponseHeaders.Values("StatusCode");
  std::printf("result: %s\n", ok ? "true" : "false");
  std::printf("error: %d%s%s\n", d.ErrorCode, name.empty() ? "" : " ", name.c_str());
  std::printf("status: %s %s\n", status.c_str(), d.ResponseHeaders.Values("StatusText").c_str());
  std::printf("last-modified: %s\n", d.ResponseHeaders.Values("Last-Modified").c_str());
  if (ok) std::printf("bytes: %lld\n", static_cast<long long>(d.ContentLength));
  if (ok) return 0;
  if (status == "304") return 3;
  return 1;
}

QmToolRegistrar reg{{"fetch", "URL FILE: one conditional download (exit 0 new, 3 not modified, 1 failed)", RunFetch}};

}  // namespace
