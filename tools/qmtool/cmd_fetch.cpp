// qmtool fetch [options] URL FILE: one download as the data update makes it, conditional on an
// existing FILE; prints the result, the step code, the HTTP status and the Last-Modified time,
// and why a download was given up (a body over its size bound, a stalled or trickling server).
// The size bound is that of the data update for the file's kind (update_sources.h), or
// --max-size. Exit 0: a new copy arrived; 3: not modified; 1: failure; 2: usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qmtool_args.h"
#include "qmtool_commands.h"
#include "update/http_download.h"
#include "update/update_sources.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: qmtool fetch [--proxy HOST:PORT] [--proxy-user USER:PASSWORD]\n"
               "                    [--connect-timeout MS] [--receive-timeout MS] [--ca PEMFILE]\n"
               "                    [--max-size BYTES] [-v]\n"
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
    } else if (a == "--max-size") {
      if (!args.Value(v)) return Usage();
      d.MaxSize = std::atoll(v.c_str());
      if (d.MaxSize <= 0) return Usage();
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
  if (d.MaxSize == 0) d.MaxSize = DownloadSizeBound(url);
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
  if (d.TooLarge) std::printf("gave up: larger than %lld bytes\n", static_cast<long long>(d.MaxSize));
  if (d.TooSlow) std::printf("gave up: the server sent too little for the receive time-out\n");
  if (d.DiskFull) std::printf("gave up: the disk is (nearly) full\n");
  if (ok) return 0;
  if (status == "304") return 3;
  return 1;
}

QmToolRegistrar reg{{"fetch", "URL FILE: one conditional download (exit 0 new, 3 not modified, 1 failed)", RunFetch}};

}  // namespace
