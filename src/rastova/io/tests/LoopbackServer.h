#pragma once
// A small HTTP server on 127.0.0.1 for the download tests and the benchmark, run by the
// system's Python on a free port. It serves at most a given number of connections and stops
// by itself after a given time; the destructor ends it earlier.
//
// Modes (files come from <folder>/www, requests are appended to <folder>/requests.log):
//   "httpserver"  Python's own http.server over the folder
//   "files"       the named file with its length, 404 for a missing one
//   "tls"         "files" over TLS with <folder>/cert.pem and key.pem; a refused handshake
//                 is logged as "handshake failed: <reason>"
//   "status404", "status500"  that status with a small HTML page
//   "loop"        a redirect to a new path of the same server, for ever
//   "tofile"      a redirect to a "file:" address
//   "silent"      accepts and never answers
//   "half"        declares the length of www/pic.png and sends half of it
//   "drip"        declares a megabyte and sends one byte every tenth of a second
//   "ftp"         an FTP server of passive (EPSV) transfers; its commands go to the log
#include <sys/types.h>

#include <string>

namespace rv::iotest {

class LoopbackServer {
 public:
  LoopbackServer(const std::string& mode, const std::string& folder, int maxConnections = 16,
                 double seconds = 30.0);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  // 0 when the server could not start.
  int Port() const { return port_; }
  std::string Url(const std::string& path) const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace rv::iotest
