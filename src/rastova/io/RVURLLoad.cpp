#include "rastova/io/RVURLLoad.h"

#include "rastova/io/RVIOThread.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVIOThread.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"

namespace rv {

int32_t URLConnectTimeout = 30;
int32_t URLStallTimeout = 30;

namespace {

// The user agent the program has always sent.
constexpr const char* kUserAgent = "Mozilla/4.*";
// Redirects are followed as far as a browser would go, to HTTP and HTTPS only.
constexpr long kMaxRedirects = 10;
constexpr size_t kMaxHostName = 253;

bool HostCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

// A decimal port from 1 to 65535.
bool ParsePort(std::string_view text, int32_t& port) {
  if (text.empty() || text.size() > 5) return false;
  int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  port = value;
  return true;
}

// What one transfer's callbacks share.
struct TransferState {
  TStream* stream = nullptr;
  std::atomic<bool>* abort = nullptr;
  const TRVURLProgress* progress = nullptr;
  CURL* handle = nullptr;
  bool http = false;
  int64_t received = 0;
  int64_t expected = -1;  // -1 until asked, 0 when the server did not say
};

size_t WriteChunk(char* data, size_t size, size_t count, void* user) {
  auto& s = *static_cast<TransferState*>(user);
  const size_t n = size * count;
  if (*s.abort) return 0;
  if (s.http) {
    // An error page is not the picture: end the transfer at its first byte.
    long status = 0;
    curl_easy_getinfo(s.handle, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) return 0;
  }
  if (n == 0) return 0;
  if (s.stream->Write(data, static_cast<int64_t>(n)) != static_cast<int64_t>(n)) return 0;
  s.received += static_cast<int64_t>(n);
  if (s.http && s.expected < 0) {
    curl_off_t length = -1;
    curl_easy_getinfo(s.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    s.expected = length > 0 ? static_cast<int64_t>(length) : 0;
  }
  if (s.expected > 0 && *s.progress) {
    const double per = static_cast<double>(s.received) * (100.0 / static_cast<double>(s.expected));
    (*s.progress)(static_cast<int32_t>(std::min(per, 100.0)));
  }
  return n;
}

// libcurl calls this at least once a second, also while nothing arrives.
int PollAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return *static_cast<TransferState*>(user)->abort ? 1 : 0;
}

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};

}  // namespace

bool SplitURL(std::string_view url, TRVURLParts& parts) {
  parts = TRVURLParts{};
  const int32_t kind = GetURLKind(url);
  if (kind == 0) return false;
  std::string_view rest = url.substr(kind == 1 ? 7 : kind == 2 ? 8 : 6);
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return false;
  std::string_view server = rest.substr(0, slash);
  parts.Path = std::string(rest.substr(slash));
  const size_t at = server.find('@');
  if (at != std::string_view::npos) {
    const size_t colon = server.find(':');
    if (colon == std::string_view::npos || colon > at) return false;
    parts.UserName = std::string(server.substr(0, colon));
    parts.Password = std::string(server.substr(colon + 1, at - colon - 1));
    server = server.substr(at + 1);
  }
  const size_t colon = server.find(':');
  if (colon != std::string_view::npos) {
    if (!ParsePort(server.substr(colon + 1), parts.Port)) return false;
    server = server.substr(0, colon);
  } else {
    parts.Port = kind == 1 ? 80 : kind == 2 ? 443 : 21;
  }
  if (server.empty() || server.size() > kMaxHostName ||
      !std::all_of(server.begin(), server.end(), HostCharacter))
    return false;
  parts.Server = std::string(server);
  parts.Service = kind;
  return true;
}

bool DownloadURL(const std::string& URL, TStream& Stream, const std::string& ProxyServer,
                 std::string& ContentKind, std::atomic<bool>& Abort, const TRVURLProgress& progress,
                 const std::string& ProxyUserName, const std::string& ProxyUserPassword) {
  TRVURLParts parts;
  if (!URLLibraryLoaded() || !SplitURL(URL, parts) || Abort) return false;
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) return false;
  CURL* h = easy.get();
  const char* scheme = parts.Service == 1 ? "http" : parts.Service == 2 ? "https" : "ftp";
  const std::string address =
      std::string(scheme) + "://" + parts.Server + ":" + std::to_string(parts.Port) + parts.Path;

  TransferState state;
  state.stream = &Stream;
  state.abort = &Abort;
  state.progress = &progress;
  state.handle = h;
  // Through a proxy an FTP address is fetched over HTTP too, and its reply has an HTTP status.
  state.http = parts.Service != 3 || !ProxyServer.empty();
  state.expected = parts.Service != 3 ? -1 : 0;

  bool ok = curl_easy_setopt(h, CURLOPT_URL, address.c_str()) == CURLE_OK;
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);  // FTP in binary mode
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);      // downloads may run on workers
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(URLConnectTimeout));
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(URLStallTimeout));
  // Certificate and host-name checks stay as libcurl has them: on.
  if (ProxyServer.empty()) {
    // An empty proxy also keeps the proxy variables of the environment out: a direct transfer.
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    if (!parts.UserName.empty() || !parts.Password.empty()) {
      curl_easy_setopt(h, CURLOPT_USERNAME, parts.UserName.c_str());
      curl_easy_setopt(h, CURLOPT_PASSWORD, parts.Password.c_str());
    }
  } else {
    curl_easy_setopt(h, CURLOPT_PROXY, ProxyServer.c_str());
    if (!ProxyUserName.empty() || !ProxyUserPassword.empty()) {
      curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, ProxyUserName.c_str());
      curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, ProxyUserPassword.c_str());
    }
  }
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteChunk);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, PollAbort);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &state);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  if (!ok) return false;

  if (curl_easy_perform(h) != CURLE_OK || Abort) return false;
  if (state.http) {
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) return false;
  }
  if (parts.Service != 3) {
    const char* type = nullptr;
    curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &type);
    const std::string_view text = type ? type : "";
    const size_t slash = text.find('/');
    ContentKind = slash == std::string_view::npos ? std::string() : std::string(text.substr(slash + 1));
  } else {
    ContentKind = ExtractFileExtLower(parts.Path, false).substr(0, 10);
  }
  return true;
}

void TRastovaIO::LoadFromURL(const std::string& URL) {
  if (AsyncGateOpen()) {
    TRVIOThread::StartURL(*this, URL, [this](const std::string& u) { LoadFromURL(u); });
    return;
  }
  // A flag left set by an earlier failure would cancel this download at once.
  Aborting = false;
  TMemoryStream stream;
  std::string kind;
  const TRVURLProgress progress = [this](int32_t per) { DoProgress(*this, per); };
  if (!DownloadURL(URL, stream, ProxyServer, kind, Aborting, progress, ProxyUserName, ProxyUserPassword)) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  stream.SetPosition(0);
  // Data that no format recognises are a failed load, not a silent success.
  if (FindStreamFormat(stream) == 0) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  stream.SetPosition(0);
  LoadFromStream(stream);
}

}  // namespace rv
