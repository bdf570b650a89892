#!/usr/bin/python3
"""Local stand-in for Velora's update server, for the launcher's tests and demo.

    update_server.py --root DIR --record FILE --control FILE --ports-file FILE
                     [--certs DIR] [--proxy-user U --proxy-password P]
                     [--sign-with PKI_DIR] [--verbose]

Every listener binds to 127.0.0.1 on a port the system chooses; the chosen
ports are written as JSON to --ports-file once all of them listen. The server
runs until SIGTERM or SIGINT. See README.md beside this file for the control
file, the record file and the proxy.
"""

import argparse
import base64
import binascii
import datetime
import email.utils
import fnmatch
import http
import ipaddress
import json
import os
import select
import signal
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_certs  # noqa: E402
import manifest_signer  # noqa: E402

TLS_LISTENERS = ("https_untrusted", "https_wrong_host", "https_expired")
CERT_OF_LISTENER = {"https_untrusted": "untrusted", "https_wrong_host": "wrong_host",
                    "https_expired": "expired"}
CONTROL_PATH = "/__control"
DEFAULT_REALM = "Velora update proxy"
# How long an idle persistent connection is kept; WinINet's own time-outs are 30 s.
IDLE_TIMEOUT = 60
RECORDED_BODY_LIMIT = 65536
CONTENT_TYPES = {".lt": "text/plain", ".exe": "application/octet-stream",
                 ".msi": "application/octet-stream", ".pdf": "application/pdf",
                 ".html": "text/html", ".htm": "text/html", ".txt": "text/plain"}
HOP_BY_HOP = {"connection", "keep-alive", "proxy-connection", "proxy-authorization",
              "proxy-authenticate", "te", "trailer", "upgrade"}


def is_loopback(host):
    """True for loopback literals and "localhost"; never resolves a name."""
    host = host.strip("[]").lower()
    if host in ("localhost", "localhost."):
        return True
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        return False


def connect_address(host):
    host = host.strip("[]").lower()
    return "127.0.0.1" if host.startswith("localhost") else host


class Recorder:
    """Appends one JSON object per line; the file may be truncated by a reader at any time."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.seq = 0

    def write(self, entry):
        with self.lock:
            self.seq += 1
            line = {"seq": self.seq,
                    "time": datetime.datetime.now(datetime.timezone.utc).isoformat()}
            line.update(entry)
            # Opening in append mode for each line lets tests truncate the file
            # between cases without the server writing behind a stale offset.
            with open(self.path, "a", encoding="utf-8") as out:
                out.write(json.dumps(line) + "\n")


class Control:
    """Misbehaviour rules: the control file (read on every request) overlaid by
    what was posted to /__control."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.file_data = {}
        self.posted = {}
        self.counts = {}

    def _read_file(self):
        if not self.path:
            return {}
        # A test may be rewriting the file right now; a half-written file is
        # retried briefly and otherwise the last good content stays in force.
        for attempt in range(10):
            try:
                with open(self.path, "rb") as source:
                    text = source.read()
            except FileNotFoundError:
                return {}
            if not text.strip():
                return {}
            try:
                data = json.loads(text)
                if isinstance(data, dict):
                    return data
            except ValueError:
                pass
            time.sleep(0.02)
        sys.stderr.write("update_server: control file %s is not a JSON object; "
                         "keeping the previous rules\n" % self.path)
        return None

    def current(self):
        data = self._read_file()
        with self.lock:
            if data is not None:
                self.file_data = data
            rules = dict(self.file_data.get("rules") or {})
            rules.update(self.posted.get("rules") or {})
            proxy = dict(self.file_data.get("proxy") or {})
            proxy.update(self.posted.get("proxy") or {})
        return rules, proxy

    def post(self, data):
        with self.lock:
            if data.get("reset"):
                self.posted = {}
                self.counts = {}
            for key in ("rules", "proxy"):
                if key in data:
                    self.posted[key] = data[key] or {}
            if data.get("reset_counts"):
                self.counts = {}

    def state(self):
        with self.lock:
            return {"file": self.file_data, "posted": self.posted,
                    "counts": {key: count for key, count in self.counts.items()}}

    def select(self, rules, listener, method, path, target):
        """The rule for this request: the whole target, then the path, then glob keys."""
        candidates = []
        for key in (target, path):
            if key in rules and key not in [k for k, _ in candidates]:
                candidates.append((key, rules[key]))
        for key, rule in rules.items():
            if any(c in key for c in "*?[") and fnmatch.fnmatchcase(path, key):
                candidates.append((key, rule))
        for key, rule in candidates:
            if not isinstance(rule, dict):
                continue
            if rule.get("listeners") and listener not in rule["listeners"]:
                continue
            if rule.get("methods") and method.upper() not in [m.upper() for m in rule["methods"]]:
                continue
            if rule.get("times") is not None:
                ident = key + " " + json.dumps(rule, sort_keys=True)
                with self.lock:
                    used = self.counts.get(ident, 0)
                    if used >= int(rule["times"]):
                        continue
                    self.counts[ident] = used + 1
            return key, rule
        return None, None


class App:
    def __init__(self, root, recorder, control, proxy_user, proxy_password, verbose, signer=None):
        self.root = os.path.realpath(root)
        self.signer = signer
        self.recorder = recorder
        self.control = control
        self.proxy_user = proxy_user
        self.proxy_password = proxy_password
        self.verbose = verbose
        self.ports = {}


def redirect_location(rule, path, query):
    """Where the rule sends this request, or None: `redirect` always, and
    `redirect_chain` N through "?hop=1" to "?hop=N" of the same path, after
    which the path is served as it stands."""
    if "redirect" in rule:
        return rule["redirect"]
    if "redirect_chain" not in rule:
        return None
    hops = urllib.parse.parse_qs(query).get("hop", ["0"])[0]
    done = int(hops) if hops.isdigit() else 0
    if done >= int(rule["redirect_chain"]):
        return None
    return "%s?hop=%d" % (path, done + 1)


def with_redirect(rule, path, query):
    """The rule with a redirect's status (302 unless given) and Location; at
    the end of a chain, without the redirect's status."""
    location = redirect_location(rule, path, query)
    if location is None:
        if "redirect_chain" in rule:
            return {key: value for key, value in rule.items() if key != "status"}
        return rule
    return dict(rule, status=int(rule.get("status", 302)),
                headers=list(rule.get("headers", [])) + [["Location", location]])


def repeated(body, size):
    """SIZE bytes of BODY over and over (of zero bytes when BODY is empty)."""
    if not body:
        return bytes(size)
    return (body * (size // len(body) + 1))[:size]


def error_page(status, reason):
    return ("<html><head><title>%d %s</title></head><body><h1>%d %s</h1></body></html>\r\n"
            % (status, reason, status, reason)).encode("ascii")


def reason_of(status):
    try:
        return http.HTTPStatus(status).phrase
    except ValueError:
        return "Status %d" % status


class Handler(BaseHTTPRequestHandler):
    # HTTP/1.1 with persistent connections: WinINet asks for them
    # (INTERNET_FLAG_KEEP_CONNECTION) and every full body carries its length.
    protocol_version = "HTTP/1.1"
    server_version = "VeloraUpdate/6.0-test"
    sys_version = ""
    timeout = IDLE_TIMEOUT

    # Set when the connection must end without a clean TLS close (cut bodies).
    abrupt = False
    # Requests read on this connection; a TLS client that refuses the server's
    # certificate after the handshake (an expired one, say) just hangs up.
    handled = 0

    @property
    def app(self):
        return self.server.app

    def log_message(self, fmt, *args):
        if self.app.verbose:
            sys.stderr.write("update_server[%s] %s - %s\n"
                             % (self.server.name, self.client_address[0], fmt % args))

    # ----- request facts ---------------------------------------------------

    def request_facts(self):
        return {
            "event": "request",
            "listener": self.server.name,
            "tls": self.server.ssl_context is not None,
            "client": "%s:%d" % self.client_address[:2],
            "request_line": self.requestline,
            "method": self.command,
            "target": self.path,
            "version": self.request_version,
            "headers": [[name, value] for name, value in self.headers.items()],
        }

    def read_request_body(self):
        length = self.headers.get("Content-Length")
        if length is None:
            if self.headers.get("Transfer-Encoding"):
                # Not needed by the launcher; refuse to guess where the body ends.
                self.close_connection = True
            return b""
        try:
            length = int(length)
        except ValueError:
            self.close_connection = True
            return b""
        return self.rfile.read(length) if length > 0 else b""

    @staticmethod
    def body_facts(body):
        facts = {"body_length": len(body)}
        if body and len(body) <= RECORDED_BODY_LIMIT:
            facts["body_base64"] = base64.b64encode(body).decode("ascii")
        return facts

    def send_error(self, code, message=None, explain=None):
        self.handled += 1
        # Requests the parser refused are recorded as well, so a test sees them.
        self.app.recorder.write({
            "event": "bad_request", "listener": self.server.name,
            "tls": self.server.ssl_context is not None,
            "client": "%s:%d" % self.client_address[:2],
            "request_line": getattr(self, "requestline", ""), "status": code})
        super().send_error(code, message, explain)

    # ----- dispatch --------------------------------------------------------

    def do_GET(self):
        self.dispatch()

    def do_HEAD(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def do_PUT(self):
        self.dispatch()

    def do_CONNECT(self):
        self.dispatch()

    def dispatch(self):
        self.handled += 1
        try:
            if self.server.name == "proxy":
                self.serve_proxy()
            else:
                self.serve_origin()
        except (ConnectionError, ssl.SSLError, socket.timeout, OSError) as failure:
            self.close_connection = True
            self.abrupt = True
            self.log_message("connection ended: %s", failure)

    # ----- writing answers -------------------------------------------------

    def write_head(self, status, headers, reason=None):
        lines = ["%s %d %s" % (self.protocol_version, status, reason or reason_of(status))]
        lines += ["%s: %s" % (name, value) for name, value in headers]
        self.wfile.write(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
        self.wfile.flush()
        self.log_request(status)

    def connection_header(self, headers, close):
        if close:
            headers.append(("Connection", "close"))
        elif self.request_version == "HTTP/1.0":
            headers.append(("Connection", "keep-alive"))

    def simple_answer(self, status, body, content_type="text/plain", extra=(), close=False):
        close = close or self.close_connection
        headers = [("Date", email.utils.formatdate(usegmt=True)),
                   ("Server", self.server_version), ("Content-Type", content_type),
                   ("Content-Length", str(len(body)))]
        headers += list(extra)
        self.connection_header(headers, close)
        self.write_head(status, headers)
        if self.command != "HEAD":
            self.wfile.write(body)
        self.close_connection = close

    # ----- origin ----------------------------------------------------------

    def serve_origin(self):
        body_in = self.read_request_body()
        path, _, query = self.path.partition("?")
        if path == CONTROL_PATH:
            self.serve_control(body_in)
            return
        rules, _ = self.app.control.current()
        key, rule = self.app.control.select(rules, self.server.name, self.command, path, self.path)
        rule = with_redirect(rule or {}, path, query)
        status, content, content_type = self.resolve(path, rule)
        facts = self.request_facts()
        facts.update(path=path, query=query, rule=key, status=status)
        facts.update(self.body_facts(body_in))
        self.app.recorder.write(facts)
        self.answer(status, content, content_type, rule)

    def file_for(self, path):
        relative = path.lstrip("/")
        full = os.path.realpath(os.path.join(self.app.root, relative))
        if full != self.app.root and not full.startswith(self.app.root + os.sep):
            return None
        return full if os.path.isfile(full) else None

    def resolve(self, path, rule):
        """Status, body bytes and content type before the rule's misbehaviour."""
        content = None
        if "body" in rule:
            content = rule["body"].encode(rule.get("body_encoding", "utf-8"))
        elif "body_base64" in rule:
            content = base64.b64decode(rule["body_base64"])
        elif "body_hex" in rule:
            content = binascii.unhexlify(rule["body_hex"])
        elif "body_file" in rule:
            source = self.file_for(rule["body_file"])
            if source:
                with open(source, "rb") as body_source:
                    content = body_source.read()
        elif rule.get("empty_body"):
            content = b""
        overridden = content is not None
        file_path = None
        if content is None:
            file_path = self.file_for(path)
            if file_path:
                with open(file_path, "rb") as source:
                    content = source.read()
                if self.app.signer:
                    content = self.app.signer.served_manifest(path, content, os.stat(file_path).st_mtime)
            elif self.app.signer:
                content = self.app.signer.signature_for(path, self.file_for)
        extension = os.path.splitext(path)[1].lower()
        content_type = rule.get("content_type") or CONTENT_TYPES.get(extension,
                                                                     "application/octet-stream")
        status = int(rule.get("status", 200 if content is not None else 404))
        if status in (200, 206) and content is None:
            status = 404
        if status >= 300 and status != 304 and not overridden:
            content = error_page(status, reason_of(status))
            content_type = "text/html"
        return status, content if content is not None else b"", content_type

    def answer(self, status, content, content_type, rule):
        if rule.get("silent"):
            self.hold_silently()
            return
        headers = [("Date", email.utils.formatdate(usegmt=True)),
                   ("Server", self.server_version)]
        close = bool(rule.get("close")) or self.close_connection
        body = content
        if status == 206:
            total = len(content)
            start, end = rule.get("range") or [0, max(int(rule.get("partial", total // 2)), 1) - 1]
            end = min(end, total - 1)
            body = content[start:end + 1]
            headers.append(("Content-Range", "bytes %d-%d/%d" % (start, end, total)))
        no_body = status < 200 or status in (204, 304)
        chunk_size = int(rule.get("chunked", 0))
        if no_body:
            body = b""
        else:
            repeat_to = rule.get("repeat_to")
            if repeat_to is not None:
                body = repeated(body, int(repeat_to))
            headers.append(("Content-Type", content_type))
            announced = rule.get("content_length")
            if chunk_size > 0:
                # The length is nowhere announced: the last, empty chunk ends the body.
                headers.append(("Transfer-Encoding", "chunked"))
            elif announced == "omit":
                close = True          # the end of the body is the end of the connection
            elif announced is not None:
                headers.append(("Content-Length", str(int(announced))))
                if int(announced) != len(body):
                    close = True
            else:
                headers.append(("Content-Length", str(len(body))))
        cut = rule.get("cut_after")
        if cut is not None:
            body = body[:int(cut)]
            close = True
            self.abrupt = True
        stall = rule.get("stall_after")
        if stall is not None:
            body = body[:int(stall)]
        for name, value in rule.get("headers", []):
            headers.append((name, value))
        self.connection_header(headers, close)
        padding = int(rule.get("header_padding", 0))
        if padding:
            self.pad_headers(status, headers, padding)

        if rule.get("delay_headers"):
            time.sleep(float(rule["delay_headers"]))
        self.write_head(status, headers, rule.get("reason"))
        self.close_connection = close
        if self.command == "HEAD" or (not body and chunk_size <= 0 and stall is None):
            return
        if rule.get("delay_body"):
            time.sleep(float(rule["delay_body"]))
        step = int(rule.get("trickle_bytes", 0))
        if chunk_size > 0:
            for offset in range(0, len(body), chunk_size):
                piece = body[offset:offset + chunk_size]
                self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
            if stall is None and cut is None:
                self.wfile.write(b"0\r\n\r\n")
        elif step > 0:
            interval = float(rule.get("trickle_interval", 0.1))
            for offset in range(0, len(body), step):
                self.wfile.write(body[offset:offset + step])
                self.wfile.flush()
                if offset + step < len(body):
                    time.sleep(interval)
        else:
            self.wfile.write(body)
        self.wfile.flush()
        if stall is not None:
            self.hold_silently()

    def hold_silently(self):
        """Sends nothing more and keeps the connection open until the client
        hangs up or the idle limit passes, then drops it without a word: a
        server that accepted and stopped answering."""
        self.close_connection = True
        self.abrupt = True
        deadline = time.monotonic() + IDLE_TIMEOUT
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return
            readable, _, _ = select.select([self.connection], [], [], left)
            if readable and not self.connection.recv(65536):
                return

    def pad_headers(self, status, headers, minimum):
        """Adds X-Padding headers until the head (status line to blank line) has
        at least MINIMUM bytes."""
        def size():
            return len("%s %d %s\r\n" % (self.protocol_version, status, reason_of(status))) + \
                sum(len(n) + len(v) + 4 for n, v in headers) + 2
        number = 1
        while size() < minimum:
            name = "X-Padding-%02d" % number
            room = minimum - size() - len(name) - 4
            headers.append((name, "x" * max(1, min(200, room))))
            number += 1

    def serve_control(self, body_in):
        if not is_loopback(self.client_address[0]):
            self.simple_answer(403, b"control is for loopback clients only\r\n")
            return
        if self.command == "POST":
            try:
                data = json.loads(body_in or b"{}")
                if not isinstance(data, dict):
                    raise ValueError("not an object")
            except ValueError as failure:
                self.simple_answer(400, ("bad control JSON: %s\r\n" % failure).encode())
                return
            self.app.control.post(data)
        self.app.control.current()
        state = dict(self.app.control.state(), ports=self.app.ports)
        self.simple_answer(200, json.dumps(state, indent=1).encode(), "application/json")

    # ----- proxy -----------------------------------------------------------

    def proxy_authorised(self, settings):
        user = settings.get("user", self.app.proxy_user)
        password = settings.get("password", self.app.proxy_password)
        if user is None or settings.get("require_auth") is False:
            return True
        given = self.headers.get("Proxy-Authorization", "")
        scheme, _, token = given.strip().partition(" ")
        if scheme.lower() != "basic":
            return False
        try:
            decoded = base64.b64decode(token.strip(), validate=True).decode("latin-1")
        except (binascii.Error, ValueError):
            return False
        return decoded == "%s:%s" % (user, password or "")

    def serve_proxy(self):
        body_in = self.read_request_body()
        _, settings = self.app.control.current()
        facts = self.request_facts()
        facts.update(self.body_facts(body_in))
        if self.command == "CONNECT":
            facts["url"] = self.path
            host, _, port = self.path.rpartition(":")
        elif "://" in self.path:
            facts["url"] = self.path
            scheme, _, rest = self.path.partition("://")
            cut = min([i for i in (rest.find("/"), rest.find("?")) if i >= 0] or [len(rest)])
            authority, origin_target = rest[:cut], rest[cut:] or "/"
            if origin_target.startswith("?"):
                origin_target = "/" + origin_target
            authority = authority.rpartition("@")[2]
            if authority.startswith("["):
                host, _, port = authority[1:].partition("]")
                port = port.lstrip(":")
            else:
                host, _, port = authority.partition(":")
            if scheme.lower() != "http":
                facts["status"] = 400
                self.app.recorder.write(facts)
                self.simple_answer(400, b"this proxy forwards http:// URLs and CONNECT only\r\n")
                return
            port = port or "80"
        else:
            facts["status"] = 400
            self.app.recorder.write(facts)
            self.simple_answer(400, b"a proxy request needs an absolute URL\r\n")
            return

        if not self.proxy_authorised(settings):
            facts["status"] = 407
            self.app.recorder.write(facts)
            realm = settings.get("realm", DEFAULT_REALM)
            self.simple_answer(407, error_page(407, reason_of(407)), "text/html",
                               [("Proxy-Authenticate", 'Basic realm="%s"' % realm)])
            return
        if not is_loopback(host) or not port.isdigit():
            facts["status"] = 403
            self.app.recorder.write(facts)
            self.simple_answer(403, b"this proxy reaches loopback addresses only\r\n")
            return
        try:
            upstream = socket.create_connection((connect_address(host), int(port)),
                                                timeout=IDLE_TIMEOUT)
        except OSError as failure:
            facts["status"] = 502
            self.app.recorder.write(facts)
            self.simple_answer(502, ("cannot reach %s:%s: %s\r\n" % (host, port, failure)).encode(),
                               close=True)
            return
        if self.command == "CONNECT":
            facts["status"] = 200
        else:
            facts["forwarded_to"] = "%s:%s" % (host, port)
        self.app.recorder.write(facts)
        with upstream:
            if self.command == "CONNECT":
                self.tunnel(upstream)
            else:
                self.forward(upstream, origin_target, body_in)
        self.close_connection = True

    def forward(self, upstream, origin_target, body_in):
        head = ["%s %s HTTP/1.1" % (self.command, origin_target)]
        head += ["%s: %s" % (n, v) for n, v in self.headers.items() if n.lower() not in HOP_BY_HOP]
        # One request per upstream connection: the origin's end of answer is
        # then the end of the connection, whatever the answer's framing.
        head.append("Connection: close")
        upstream.sendall(("\r\n".join(head) + "\r\n\r\n").encode("latin-1") + body_in)
        received = b""
        while b"\r\n\r\n" not in received:
            chunk = upstream.recv(65536)
            if not chunk:
                break
            received += chunk
        answer_head, separator, rest = received.partition(b"\r\n\r\n")
        if not separator:
            self.wfile.write(received)
            self.abrupt = True
            return
        lines = answer_head.split(b"\r\n")
        kept = [lines[0]] + [line for line in lines[1:]
                             if line.split(b":", 1)[0].strip().lower().decode("latin-1")
                             not in HOP_BY_HOP]
        kept += [b"Connection: close", b"Proxy-Connection: close"]
        self.wfile.write(b"\r\n".join(kept) + b"\r\n\r\n")
        if self.command == "HEAD":
            return
        complete = False
        try:
            if rest:
                self.wfile.write(rest)
            while True:
                chunk = upstream.recv(65536)
                if not chunk:
                    complete = True
                    break
                self.wfile.write(chunk)
                self.wfile.flush()
        finally:
            # A body the origin cut short is cut short here as well.
            self.abrupt = not complete

    def tunnel(self, upstream):
        self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
        self.wfile.flush()
        client = self.connection
        client.settimeout(None)
        upstream.settimeout(None)
        sockets = [client, upstream]
        while True:
            readable, _, _ = select.select(sockets, [], [], IDLE_TIMEOUT)
            if not readable:
                return
            for source in readable:
                target = upstream if source is client else client
                data = source.recv(65536)
                if not data:
                    return
                target.sendall(data)


# How long a fixed origin port that is in use is waited for.
PORT_WAIT_SECONDS = 180


class Listener(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, name, app, ssl_context=None, port=0):
        self.name = name
        self.app = app
        self.ssl_context = ssl_context
        super().__init__(("127.0.0.1", port), Handler)

    def handle_error(self, request, client_address):
        # Clients that hang up mid-request are part of the tests, not faults.
        if self.app.verbose:
            super().handle_error(request, client_address)

    def finish_request(self, request, client_address):
        # The TLS handshake runs on the connection's own thread, so a client
        # that refuses the certificate never holds up the accept loop.
        if self.ssl_context is None:
            super().finish_request(request, client_address)
            return
        request.settimeout(30)
        try:
            secure = self.ssl_context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as failure:
            self.app.recorder.write({"event": "tls_error", "listener": self.name, "tls": True,
                                     "client": "%s:%d" % client_address[:2],
                                     "error": str(failure)})
            return
        handler = None
        try:
            handler = self.RequestHandlerClass(secure, client_address, self)
            if handler.handled == 0:
                self.app.recorder.write({"event": "tls_no_request", "listener": self.name,
                                         "tls": True, "client": "%s:%d" % client_address[:2]})
        finally:
            try:
                if handler is not None and not handler.abrupt:
                    secure.settimeout(2)
                    secure.unwrap()  # close_notify: a close-delimited body ends cleanly
            except (ssl.SSLError, OSError):
                pass
            secure.close()


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert, key)
    return context


def write_ports(path, ports):
    temporary = path + ".tmp"
    with open(temporary, "w") as out:
        json.dump(ports, out)
        out.write("\n")
    os.replace(temporary, path)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Local update server for the launcher's tests.")
    parser.add_argument("--root", required=True, help="folder served as the server's tree")
    parser.add_argument("--record", required=True, help="JSON-lines file of received requests")
    parser.add_argument("--control", required=True, help="JSON control file, read per request")
    parser.add_argument("--ports-file", required=True, help="where the chosen ports are written")
    parser.add_argument("--certs", help="certificate folder (made by make_certs.py if needed)")
    parser.add_argument("--proxy-user", help="user the proxy demands (no demand without it)")
    parser.add_argument("--proxy-password", default="", help="password the proxy demands")
    parser.add_argument("--http-port", type=int, default=0,
                        help="port of the origin (http) listener: the one a launcher built with "
                             "this address asks for its manifest; the system's choice without it")
    parser.add_argument("--sign-with",
                        help="test PKI folder (vendor.pem, vendor.key, vendor-ca.pem): serve every .lt "
                             "with a freshness line and its detached signature at .lt.p7s")
    parser.add_argument("--verbose", action="store_true", help="log each request to stderr")
    args = parser.parse_args(argv)

    if not os.path.isdir(args.root):
        parser.error("--root %s is not a folder" % args.root)
    signer = manifest_signer.ManifestSigner(args.sign_with) if args.sign_with else None
    app = App(args.root, Recorder(args.record), Control(args.control),
              args.proxy_user, args.proxy_password, args.verbose, signer)

    # A fixed port may still be held by another run's server (the demo and a
    # test run share one): wait a while for it rather than fail at once.
    origin = None
    for attempt in range(PORT_WAIT_SECONDS * 2):
        try:
            origin = Listener("http", app, port=args.http_port)
            break
        except OSError as failure:
            if args.http_port == 0 or attempt == PORT_WAIT_SECONDS * 2 - 1:
                parser.error("cannot listen on 127.0.0.1:%d for http: %s" % (args.http_port, failure))
            if attempt == 0:
                sys.stderr.write("update_server: port %d is in use; waiting for it\n" % args.http_port)
            time.sleep(0.5)
    listeners = [origin, Listener("proxy", app)]
    if args.certs:
        certs = make_certs.make_certs(args.certs)
        for name in TLS_LISTENERS:
            listeners.append(Listener(name, app, tls_context(*certs[CERT_OF_LISTENER[name]])))
    app.ports = {listener.name: listener.server_address[1] for listener in listeners}

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    threads = [threading.Thread(target=listener.serve_forever, kwargs={"poll_interval": 0.2},
                                name=listener.name, daemon=True) for listener in listeners]
    for thread in threads:
        thread.start()
    write_ports(args.ports_file, app.ports)
    if args.verbose:
        sys.stderr.write("update_server: listening on %s\n" % json.dumps(app.ports))
    while not stop.wait(0.5):
        pass
    for listener in listeners:
        listener.shutdown()
        listener.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
