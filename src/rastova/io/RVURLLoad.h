#pragma once
// Pictures from HTTP, HTTPS and FTP addresses: the address is split into its parts, the data
// are downloaded over libcurl into a stream, and TRastovaIO::LoadFromURL (defined in
// RVURLLoad.cpp) hands that stream to the content detection of LoadFromStream.
//
// A download never raises for a network failure: it answers false. It also answers false for
// an HTTP reply whose status is outside 200-299 (an error page is no picture), for data shorter
// than the length the server declared, for a redirect to anything but HTTP or HTTPS or past the
// tenth, for a certificate that the system's authorities do not vouch for or that names another
// host, and for a transfer that stalls. The abort flag is polled at least once a second.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace rv {

class TStream;

// The parts of an address. Service 1 is HTTP, 2 HTTPS, 3 FTP (the numbers of GetURLKind).
struct TRVURLParts {
  int32_t Service = 0;
  std::string UserName;
  std::string Password;
  std::string Server;
  int32_t Port = 0;
  // From the first "/" after the server on, that "/" included.
  std::string Path;
};

// Splits an address: the scheme ("http://", "https://", "ftp://", any case) is removed; the
// rest is split at its first "/" into the server part and the path (no "/": false); a server
// part with "@" holds "user:password" before it (no ":" there: false); a ":" in the server
// separates the port, else the port is 80, 443 or 21 by the scheme. False as well for an empty
// server, a server longer than 253 characters (no host name is), a character that no host name
// holds, and a port that is not a number from 1 to 65535.
bool SplitURL(std::string_view url, TRVURLParts& parts);

// Receives the percentage done while the length of the data is known.
using TRVURLProgress = std::function<void(int32_t per)>;

// Downloads the data of an address into Stream (appended at its position). ContentKind gets
// what follows the "/" of the reply's content type (HTTP) or the file's extension without its
// dot, at most 10 characters (FTP). With ProxyServer set the transfer goes through that proxy
// with ProxyUserName and ProxyUserPassword, and the user and password written in the address
// are not used. Abort true cancels (the call then answers false).
bool DownloadURL(const std::string& URL, TStream& Stream, const std::string& ProxyServer,
                 std::string& ContentKind, std::atomic<bool>& Abort, const TRVURLProgress& progress,
                 const std::string& ProxyUserName, const std::string& ProxyUserPassword);

// Seconds before a connection that is not made, and a transfer that moves no byte, end the
// download. Process-wide; tests shorten them.
extern int32_t URLConnectTimeout;
extern int32_t URLStallTimeout;

}  // namespace rv
