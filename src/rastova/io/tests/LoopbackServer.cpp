#include "LoopbackServer.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace rv::iotest {

namespace {

const char* const kServerScript = R"PY(
import functools, http.server, os, socket, ssl, sys, time
mode, folder, max_conn, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
deadline = time.monotonic() + seconds
www = os.path.join(folder, 'www')
log = open(os.path.join(folder, 'requests.log'), 'a', buffering=1)

if mode == 'httpserver':
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args): pass
    class Bounded(http.server.HTTPServer):
        idle = False
        def handle_timeout(self):
            self.idle = True
    srv = Bounded(('127.0.0.1', 0), functools.partial(Quiet, directory=www))
    srv.timeout = 0.2
    print(srv.server_address[1], flush=True)
    served = 0
    while served < max_conn and time.monotonic() < deadline:
        srv.idle = False
        srv.handle_request()
        if not srv.idle:
            served += 1
    sys.exit(0)

srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind(('127.0.0.1', 0))
srv.listen(16)
srv.settimeout(0.2)
ctx = None
if mode == 'tls':
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(os.path.join(folder, 'cert.pem'), os.path.join(folder, 'key.pem'))
print(srv.getsockname()[1], flush=True)

def read_request(c):
    data = b''
    c.settimeout(5)
    while b'\r\n\r\n' not in data and len(data) < 65536:
        chunk = c.recv(4096)
        if not chunk:
            break
        data += chunk
    return data.decode('latin-1')

def head(status, headers):
    return ('HTTP/1.1 %s\r\n' % status + ''.join('%s: %s\r\n' % h for h in headers) +
            'Connection: close\r\n\r\n').encode('latin-1')

def serve(c):
    req = read_request(c)
    log.write(req.replace('\r\n', '\n') + '----\n')
    words = req.split('\r\n', 1)[0].split(' ')
    path = words[1] if len(words) > 1 else '/'
    if mode in ('files', 'tls'):
        name = os.path.join(www, os.path.basename(path.split('?')[0]))
        if not os.path.isfile(name):
            c.sendall(head('404 Not Found', [('Content-Type', 'text/html'), ('Content-Length', '9')]) + b'not found')
            return
        kind = 'image/png' if name.endswith('.png') else 'application/octet-stream'
        c.sendall(head('200 OK', [('Content-Type', kind), ('Content-Length', str(os.path.getsize(name)))]))
        with open(name, 'rb') as f:
            if ctx:
                c.sendall(f.read())
            else:
                c.sendfile(f)
    elif mode.startswith('status'):
        body = b'<html><body>error page</body></html>'
        c.sendall(head(mode[6:] + ' Error', [('Content-Type', 'text/html'), ('Content-Length', str(len(body)))]) + body)
    elif mode == 'loop':
        c.sendall(head('302 Found', [('Location', '/again%d' % time.monotonic_ns()), ('Content-Length', '0')]))
    elif mode == 'tofile':
        c.sendall(head('302 Found', [('Location', 'file:///etc/hostname'), ('Content-Length', '0')]))
    elif mode == 'half':
        body = open(os.path.join(www, 'pic.png'), 'rb').read()
        c.sendall(head('200 OK', [('Content-Type', 'image/png'), ('Content-Length', str(len(body)))]) +
                  body[:len(body) // 2])
    elif mode == 'drip':
        c.sendall(head('200 OK', [('Content-Type', 'image/png'), ('Content-Length', '1000000')]))
        while time.monotonic() < deadline:
            c.sendall(b'x')
            time.sleep(0.1)

def serve_ftp(c):
    c.settimeout(5)
    out = c.makefile('rb')
    c.sendall(b'220 ready\r\n')
    data = None
    while True:
        line = out.readline().decode('latin-1').strip()
        if not line:
            return
        log.write(line + '\n')
        cmd, _, arg = line.partition(' ')
        cmd = cmd.upper()
        name = os.path.join(www, os.path.basename(arg))
        if cmd == 'USER':
            c.sendall(b'331 password\r\n')
        elif cmd == 'PASS':
            c.sendall(b'230 in\r\n')
        elif cmd == 'PWD':
            c.sendall(b'257 "/"\r\n')
        elif cmd == 'TYPE':
            c.sendall(b'200 type\r\n')
        elif cmd == 'EPSV':
            data = socket.socket()
            data.bind(('127.0.0.1', 0))
            data.listen(1)
            data.settimeout(5)
            c.sendall(('229 passive (|||%d|)\r\n' % data.getsockname()[1]).encode())
        elif cmd == 'SIZE':
            if os.path.isfile(name):
                c.sendall(('213 %d\r\n' % os.path.getsize(name)).encode())
            else:
                c.sendall(b'550 no file\r\n')
        elif cmd == 'RETR':
            if not os.path.isfile(name) or data is None:
                c.sendall(b'550 no file\r\n')
                continue
            c.sendall(b'150 sending\r\n')
            d, _ = data.accept()
            with open(name, 'rb') as f:
                d.sendall(f.read())
            d.close()
            data.close()
            data = None
            c.sendall(b'226 done\r\n')
        elif cmd == 'QUIT':
            c.sendall(b'221 bye\r\n')
            return
        else:
            c.sendall(b'502 not here\r\n')

held = []
served = 0
while served < max_conn and time.monotonic() < deadline:
    try:
        c, _ = srv.accept()
    except socket.timeout:
        continue
    served += 1
    if mode == 'silent':
        held.append(c)
        continue
    try:
        if ctx:
            try:
                c = ctx.wrap_socket(c, server_side=True)
            except (ssl.SSLError, OSError) as e:
                log.write('handshake failed: %s\n' % e)
                c.close()
                continue
        if mode == 'ftp':
            serve_ftp(c)
        else:
            serve(c)
    except Exception as e:
        log.write('error: %r\n' % e)
    finally:
        try:
            c.close()
        except Exception:
            pass
while held and time.monotonic() < deadline:
    time.sleep(0.1)
)PY";

}  // namespace

LoopbackServer::LoopbackServer(const std::string& mode, const std::string& folder, int maxConnections,
                               double seconds) {
  const std::string script = folder + "/loopback_server.py";
  {
    std::ofstream f(script);
    f << kServerScript;
  }
  int fds[2];
  if (::pipe(fds) != 0) return;
  const std::string count = std::to_string(maxConnections);
  const std::string time = std::to_string(seconds);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    ::execl("/usr/bin/python3", "python3", script.c_str(), mode.c_str(), folder.c_str(), count.c_str(),
            time.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid_ < 0) {
    ::close(fds[0]);
    return;
  }
  // The first line the server prints is its port.
  std::string line;
  pollfd p{fds[0], POLLIN, 0};
  while (line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0) {
    char buf[64];
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  port_ = std::atoi(line.c_str());
}

LoopbackServer::~LoopbackServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

std::string LoopbackServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace rv::iotest
