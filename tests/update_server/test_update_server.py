"""The local update server and its raw manifest writer, checked from plain sockets and
Python's own HTTP and TLS clients."""

import base64
import contextlib
import http.client
import io
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                     os.pardir, os.pardir, "tools", "update_server")
sys.path.insert(0, os.path.abspath(TOOLS))

import harness  # noqa: E402
import raw_manifest  # noqa: E402

PROXY_USER = "bench-user"
PROXY_PASSWORD = "s3cret:with-colon"
INSTALLER = bytes(range(256)) * 40 + b"tail"          # 10244 bytes, not a round number
MANIFEST = b"header\r\n64bit 6.0.0.1 0123456789abcdef0123456789abcdef http://x/y\r\n"

server = None
work = None


def setUpModule():
    global server, work
    work = tempfile.mkdtemp(prefix="update_server_test.")
    server = harness.RunningServer(certs=os.path.join(work, "certs"), proxy_user=PROXY_USER,
                                   proxy_password=PROXY_PASSWORD, work=os.path.join(work, "srv"))
    server.start()


def write_tree():
    # Some cases change the tree; every case starts from the same one.
    shutil.rmtree(server.root)
    for relative, data in (("download/setup64.exe", INSTALLER),
                           ("launcher/installer6.lt", MANIFEST)):
        target = os.path.join(server.root, relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as out:
            out.write(data)


def tearDownModule():
    server.stop()
    shutil.rmtree(work, ignore_errors=True)


def exchange(port, request, timeout=10):
    """Sends raw request bytes; returns (head text, body bytes, closed by server)."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as connection:
        connection.sendall(request)
        return read_answer(connection)


def read_answer(connection, head_only=False):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = connection.recv(65536)
        if not chunk:
            raise AssertionError("connection closed before the end of the head: %r" % data)
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    head = head.decode("latin-1")
    length = header_value(head, "Content-Length")
    if head_only or status_of(head) in (204, 304):
        return head, body, False
    closed = False
    while length is None or len(body) < int(length):
        try:
            chunk = connection.recv(65536)
        except socket.timeout:
            break
        if not chunk:
            closed = True
            break
        body += chunk
    if not closed and length is not None:
        # A complete, length-framed answer: the connection must still be usable
        # unless the server said otherwise.
        closed = (header_value(head, "Connection") or "").lower() == "close"
    return head, body, closed


def header_value(head, name):
    for line in head.split("\r\n")[1:]:
        key, _, value = line.partition(":")
        if key.strip().lower() == name.lower():
            return value.strip()
    return None


def status_of(head):
    return int(head.split(" ", 2)[1])


def get(path, extra=b""):
    return b"GET " + path.encode() + b" HTTP/1.1\r\nHost: updates.example\r\n" + extra + b"\r\n"


class ServerCase(unittest.TestCase):
    def setUp(self):
        write_tree()
        server.set_control({})
        post_control({"reset": True})
        server.clear_record()


def post_control(data):
    connection = http.client.HTTPConnection("127.0.0.1", server.ports["http"], timeout=10)
    connection.request("POST", "/__control", json.dumps(data),
                       {"Content-Type": "application/json"})
    answer = connection.getresponse()
    state = json.loads(answer.read())
    connection.close()
    return answer.status, state


class ServingTest(ServerCase):
    def test_get_and_head_announce_the_file_length(self):
        connection = http.client.HTTPConnection("127.0.0.1", server.ports["http"], timeout=10)
        connection.request("GET", "/download/setup64.exe")
        answer = connection.getresponse()
        self.assertEqual(answer.status, 200)
        self.assertEqual(answer.getheader("Content-Length"), str(len(INSTALLER)))
        self.assertEqual(answer.read(), INSTALLER)
        # Same connection: keep-alive must leave the stream in step.
        connection.request("HEAD", "/download/setup64.exe")
        answer = connection.getresponse()
        self.assertEqual(answer.getheader("Content-Length"), str(len(INSTALLER)))
        self.assertEqual(answer.read(), b"")
        connection.request("GET", "/launcher/installer6.lt?scode=r7qd")
        answer = connection.getresponse()
        self.assertEqual((answer.status, answer.read()), (200, MANIFEST))
        connection.close()
        requests = server.requests()
        self.assertEqual([r["method"] for r in requests], ["GET", "HEAD", "GET"])
        self.assertEqual(len({r["client"] for r in requests}), 1, "one persistent connection")
        self.assertEqual((requests[2]["path"], requests[2]["query"]),
                         ("/launcher/installer6.lt", "scode=r7qd"))

    def test_missing_files_and_escapes_from_the_root_are_not_found(self):
        # record.jsonl and control.json lie beside the served root.
        for target in ("/download/setup32.exe", "/../record.jsonl",
                       "/download/../../control.json", "/download/", "/DOWNLOAD/SETUP64.EXE"):
            with self.subTest(target=target):
                head, body, _ = exchange(server.ports["http"], get(target))
                self.assertEqual(status_of(head), 404)
                self.assertEqual(int(header_value(head, "Content-Length")), len(body))


class RuleTest(ServerCase):
    # name -> (rule, status, body or None for any, announced length or None for
    #          the body's own length, whether the server ends the connection)
    CASES = {
        "404": ({"status": 404}, 404, None, None, False),
        "500": ({"status": 500}, 500, None, None, False),
        "partial 206": ({"status": 206, "partial": 100}, 206, INSTALLER[:100], 100, False),
        "304 without body": ({"status": 304}, 304, b"", None, False),
        "empty 200": ({"empty_body": True}, 200, b"", 0, False),
        "replaced body": ({"body_hex": "00ff41"}, 200, b"\x00\xffA", 3, False),
        "cut after 1000": ({"cut_after": 1000}, 200, INSTALLER[:1000], len(INSTALLER), True),
        "close-delimited": ({"content_length": "omit"}, 200, INSTALLER, None, True),
        "larger than announced": ({"content_length": 10}, 200, INSTALLER, 10, True),
        "forced close": ({"close": True}, 200, INSTALLER, len(INSTALLER), True),
        "repeated to a size": ({"repeat_to": 25000}, 200, (INSTALLER * 3)[:25000], 25000, False),
        "repeated, close-delimited": ({"repeat_to": 25000, "content_length": "omit"}, 200,
                                      (INSTALLER * 3)[:25000], None, True),
        "repeated, announced short": ({"repeat_to": 25000, "content_length": 100}, 200,
                                      (INSTALLER * 3)[:25000], 100, True),
    }

    def test_each_rule_shapes_the_answer(self):
        for name, (rule, status, body, announced, closes) in self.CASES.items():
            with self.subTest(name):
                server.set_rules({"/download/setup64.exe": rule})
                with socket.create_connection(("127.0.0.1", server.ports["http"]),
                                              timeout=3) as connection:
                    connection.sendall(get("/download/setup64.exe?x=1"))
                    if announced is not None and announced < len(body):
                        # Read to the end of the connection, not to the announced length.
                        data = b""
                        while True:
                            chunk = connection.recv(65536)
                            if not chunk:
                                break
                            data += chunk
                        head, _, got = data.partition(b"\r\n\r\n")
                        head, closed = head.decode("latin-1"), True
                    else:
                        head, got, closed = read_answer(connection)
                self.assertEqual(status_of(head), status)
                if body is not None:
                    self.assertEqual(got, body)
                length = header_value(head, "Content-Length")
                self.assertEqual(None if length is None else int(length),
                                 announced if announced is not None
                                 else (None if status == 304 or rule.get("content_length")
                                       else len(got)))
                self.assertEqual(closed, closes)
                self.assertEqual(server.requests()[-1]["rule"], "/download/setup64.exe")

    def test_chunked_answers_announce_no_length(self):
        # name -> (rule, body, whether the last chunk comes)
        cases = {
            "the file in chunks": ({"chunked": 4096}, INSTALLER, True),
            "repeated in chunks": ({"chunked": 1000, "repeat_to": 30000},
                                   (INSTALLER * 3)[:30000], True),
            "cut before the last chunk": ({"chunked": 4096, "cut_after": 5000}, INSTALLER[:5000], False),
        }
        for name, (rule, expected, ended) in cases.items():
            with self.subTest(name):
                server.set_rules({"/download/setup64.exe": rule})
                with socket.create_connection(("127.0.0.1", server.ports["http"]),
                                              timeout=3) as connection:
                    connection.sendall(get("/download/setup64.exe"))
                    data = b""
                    while not data.endswith(b"\r\n0\r\n\r\n"):
                        chunk = connection.recv(65536)
                        if not chunk:
                            break
                        data += chunk
                head, _, rest = data.partition(b"\r\n\r\n")
                head = head.decode("latin-1")
                self.assertEqual(header_value(head, "Transfer-Encoding"), "chunked")
                self.assertIsNone(header_value(head, "Content-Length"))
                body, last_chunk = b"", False
                while rest:
                    size_line, _, rest = rest.partition(b"\r\n")
                    size = int(size_line, 16)
                    if size == 0:
                        last_chunk = True
                        break
                    body += rest[:size]
                    rest = rest[size + 2:]
                self.assertEqual(body, expected)
                self.assertEqual(last_chunk, ended)

    def test_partial_answer_names_its_range(self):
        server.set_rules({"/download/setup64.exe": {"status": 206, "range": [10, 19]}})
        head, body, _ = exchange(server.ports["http"], get("/download/setup64.exe"))
        self.assertEqual(header_value(head, "Content-Range"), "bytes 10-19/%d" % len(INSTALLER))
        self.assertEqual(body, INSTALLER[10:20])

    def test_header_padding_makes_an_oversize_head(self):
        server.set_rules({"/launcher/installer6.lt": {"header_padding": 1100,
                                                      "headers": [["X-Extra", "1"]]}})
        head, body, _ = exchange(server.ports["http"], get("/launcher/installer6.lt"))
        self.assertGreaterEqual(len(head) + 4, 1100)
        self.assertLess(len(head) + 4, 1100 + 210, "padding stops near the size asked for")
        self.assertEqual(header_value(head, "X-Extra"), "1")
        self.assertEqual(body, MANIFEST)

    def test_text_body_in_the_ansi_code_page(self):
        text = "header\r\nboth 6.0.0.1 md5 http://h/\u30c6\u30b9\u30c8\r\n"
        server.set_rules({"/launcher/installer6.lt": {"body": text, "body_encoding": "cp932"}})
        _, body, _ = exchange(server.ports["http"], get("/launcher/installer6.lt"))
        self.assertEqual(body, text.encode("cp932"))

    def test_delay_and_trickle_slow_the_answer(self):
        server.set_rules({"/launcher/installer6.lt": {"delay_headers": 0.4,
                                                      "trickle_bytes": 10,
                                                      "trickle_interval": 0.05}})
        started = time.monotonic()
        head, body, _ = exchange(server.ports["http"], get("/launcher/installer6.lt"))
        elapsed = time.monotonic() - started
        self.assertEqual(body, MANIFEST)
        chunks = (len(MANIFEST) + 9) // 10
        self.assertGreaterEqual(elapsed, 0.4 + 0.05 * (chunks - 1) - 0.02)

    def test_silent_and_stalled_answers_hold_the_connection_until_the_client_leaves(self):
        # name -> (rule, what arrives before the server falls silent, whether the head does)
        cases = {
            "silent": ({"silent": True}, b"", False),
            "stall after 100": ({"stall_after": 100}, INSTALLER[:100], True),
            "stall after the head": ({"stall_after": 0}, b"", True),
        }
        for name, (rule, expected, head_sent) in cases.items():
            with self.subTest(name):
                server.set_rules({"/download/setup64.exe": rule})
                server.clear_record()
                with socket.create_connection(("127.0.0.1", server.ports["http"]),
                                              timeout=0.5) as connection:
                    connection.sendall(get("/download/setup64.exe"))
                    received = b""
                    with self.assertRaises(socket.timeout, msg="nothing after the stall"):
                        while True:
                            chunk = connection.recv(65536)
                            self.assertTrue(chunk, "the server must not close the connection")
                            received += chunk
                head, _, body = received.partition(b"\r\n\r\n")
                if head_sent:
                    self.assertEqual(header_value(head.decode("latin-1"), "Content-Length"),
                                     str(len(INSTALLER)), "the full length is announced")
                else:
                    self.assertEqual(received, b"")
                self.assertEqual(body, expected)
                self.assertEqual(server.requests()[-1]["rule"], "/download/setup64.exe")
        # The held connections take nothing from the others.
        server.set_rules({})
        head, body, _ = exchange(server.ports["http"], get("/download/setup64.exe"))
        self.assertEqual((status_of(head), body), (200, INSTALLER))

    def test_times_limits_a_rule_and_globs_match_paths(self):
        server.set_rules({"/download/*": {"status": 500, "times": 2}})
        statuses = [status_of(exchange(server.ports["http"], get("/download/setup64.exe"))[0])
                    for _ in range(3)]
        self.assertEqual(statuses, [500, 500, 200])

    def test_posted_rules_override_the_file_and_reset_clears_them(self):
        server.set_rules({"/launcher/installer6.lt": {"status": 500}})
        status, state = post_control({"rules": {"/launcher/installer6.lt": {"status": 404}}})
        self.assertEqual(status, 200)
        self.assertEqual(state["ports"]["http"], server.ports["http"])
        head, _, _ = exchange(server.ports["http"], get("/launcher/installer6.lt"))
        self.assertEqual(status_of(head), 404)
        post_control({"reset": True})
        head, _, _ = exchange(server.ports["http"], get("/launcher/installer6.lt"))
        self.assertEqual(status_of(head), 500)
        self.assertEqual([r["path"] for r in server.requests()], ["/launcher/installer6.lt"] * 2,
                         "control requests are not recorded")

    def test_redirect_to_itself_and_a_chain_of_redirects(self):
        server.set_rules({"/launcher/installer6.lt": {"redirect": "/launcher/installer6.lt"},
                          "/download/setup64.exe": {"redirect_chain": 3, "status": 307}})
        for _ in range(2):
            head, _, _ = exchange(server.ports["http"], get("/launcher/installer6.lt?ed=1"))
            self.assertEqual((status_of(head), header_value(head, "Location")),
                             (302, "/launcher/installer6.lt"))

        target, seen = "/download/setup64.exe", []
        while True:
            head, body, _ = exchange(server.ports["http"], get(target))
            if status_of(head) != 307:
                break
            target = header_value(head, "Location")
            seen.append(target)
        self.assertEqual(seen, ["/download/setup64.exe?hop=%d" % hop for hop in (1, 2, 3)])
        self.assertEqual((status_of(head), body), (200, INSTALLER))
        self.assertEqual([r["status"] for r in server.requests()], [302, 302, 307, 307, 307, 200])

    def test_listener_restriction(self):
        server.set_rules({"/launcher/installer6.lt": {"status": 500,
                                                      "listeners": ["https_untrusted"]}})
        head, _, _ = exchange(server.ports["http"], get("/launcher/installer6.lt"))
        self.assertEqual(status_of(head), 200)


class RecordTest(ServerCase):
    def test_headers_are_recorded_in_order_with_their_spelling(self):
        extra = (b"Cache-Control: no-cache\r\nPragma: no-cache\r\nuser-agent: Velora/6.0\r\n"
                 b"X-Twice: 1\r\nX-Twice: 2\r\nReferer: http://updates.example/\r\n")
        exchange(server.ports["http"], get("/launcher/installer6.lt?scode=r7qd", extra))
        [entry] = server.requests()
        self.assertEqual(entry["headers"], [
            ["Host", "updates.example"], ["Cache-Control", "no-cache"], ["Pragma", "no-cache"],
            ["user-agent", "Velora/6.0"], ["X-Twice", "1"], ["X-Twice", "2"],
            ["Referer", "http://updates.example/"]])
        self.assertEqual(entry["request_line"],
                         "GET /launcher/installer6.lt?scode=r7qd HTTP/1.1")
        self.assertEqual((entry["listener"], entry["tls"], entry["status"]), ("http", False, 200))
        self.assertTrue(entry["client"].startswith("127.0.0.1:"))

    def test_request_bodies_are_kept(self):
        exchange(server.ports["http"],
                 b"POST /launcher/installer6.lt HTTP/1.1\r\nHost: h\r\n"
                 b"Content-Length: 3\r\n\r\nabc")
        [entry] = server.requests()
        self.assertEqual((entry["body_length"], base64.b64decode(entry["body_base64"])),
                         (3, b"abc"))


class ProxyTest(ServerCase):
    def proxy_get(self, url, credentials=None):
        extra = b""
        if credentials is not None:
            token = base64.b64encode(credentials.encode()).decode()
            extra = ("Proxy-Authorization: Basic %s\r\n" % token).encode()
        return exchange(server.ports["proxy"],
                        b"GET " + url.encode() + b" HTTP/1.1\r\nHost: x\r\n" + extra + b"\r\n")

    def test_credentials_are_demanded_then_the_answer_is_relayed(self):
        url = server.url("/download/setup64.exe?scode=r7qd")
        for credentials in (None, PROXY_USER + ":wrong", "nobody:" + PROXY_PASSWORD):
            with self.subTest(credentials=credentials):
                head, body, closed = self.proxy_get(url, credentials)
                self.assertEqual(status_of(head), 407)
                self.assertEqual(header_value(head, "Proxy-Authenticate"),
                                 'Basic realm="Velora update proxy"')
                self.assertEqual(int(header_value(head, "Content-Length")), len(body))
                self.assertFalse(closed, "a 407 keeps the connection for the retry")
        head, body, _ = self.proxy_get(url, PROXY_USER + ":" + PROXY_PASSWORD)
        self.assertEqual(status_of(head), 200)
        self.assertEqual(body, INSTALLER)
        proxied = server.requests("proxy")
        self.assertEqual([r["url"] for r in proxied], [url] * 4)
        self.assertIn("Proxy-Authorization", dict(proxied[-1]["headers"]))
        [origin] = server.requests("http")
        self.assertEqual(origin["target"], "/download/setup64.exe?scode=r7qd")
        self.assertNotIn("Proxy-Authorization", dict(origin["headers"]))

    def test_control_file_changes_the_proxy_demand(self):
        url = server.url("/launcher/installer6.lt")
        server.set_control({"proxy": {"realm": "Elsewhere", "user": "other", "password": "pw"}})
        head, _, _ = self.proxy_get(url, PROXY_USER + ":" + PROXY_PASSWORD)
        self.assertEqual(header_value(head, "Proxy-Authenticate"), 'Basic realm="Elsewhere"')
        head, body, _ = self.proxy_get(url, "other:pw")
        self.assertEqual((status_of(head), body), (200, MANIFEST))
        server.set_control({"proxy": {"require_auth": False}})
        head, body, _ = self.proxy_get(url)
        self.assertEqual((status_of(head), body), (200, MANIFEST))

    def test_origin_misbehaviour_passes_through(self):
        server.set_rules({"/download/setup64.exe": {"cut_after": 500}})
        head, body, closed = self.proxy_get(server.url("/download/setup64.exe"),
                                            PROXY_USER + ":" + PROXY_PASSWORD)
        self.assertEqual(int(header_value(head, "Content-Length")), len(INSTALLER))
        self.assertEqual((body, closed), (INSTALLER[:500], True))

    def test_only_loopback_targets_are_forwarded(self):
        for url in ("http://192.0.2.1/launcher/installer6.lt",
                    "http://updates.example/launcher/installer6.lt"):
            with self.subTest(url=url):
                head, _, _ = self.proxy_get(url, PROXY_USER + ":" + PROXY_PASSWORD)
                self.assertEqual(status_of(head), 403)
        self.assertEqual(server.requests("http"), [])

    def test_connect_tunnels_to_a_tls_listener(self):
        port = server.ports["https_untrusted"]
        token = base64.b64encode((PROXY_USER + ":" + PROXY_PASSWORD).encode()).decode()
        connection = http.client.HTTPSConnection("127.0.0.1", server.ports["proxy"], timeout=10,
                                                 context=ssl._create_unverified_context())
        connection.set_tunnel("127.0.0.1", port, {"Proxy-Authorization": "Basic " + token})
        connection.request("GET", "/launcher/installer6.lt")
        self.assertEqual(connection.getresponse().read(), MANIFEST)
        connection.close()
        self.assertEqual(server.requests("proxy")[0]["url"], "127.0.0.1:%d" % port)
        self.assertTrue(server.requests("https_untrusted")[0]["tls"])


class TlsTest(ServerCase):
    def handshake(self, listener, context, host="127.0.0.1"):
        with socket.create_connection(("127.0.0.1", server.ports[listener]), timeout=10) as raw:
            with context.wrap_socket(raw, server_hostname=host) as secure:
                secure.sendall(get("/launcher/installer6.lt"))
                return read_answer(secure)

    def trusting_the_ca(self):
        return ssl.create_default_context(cafile=os.path.join(server.certs, "ca.pem"))

    def test_each_listener_presents_its_certificate(self):
        # (listener, context, failure text); None: the handshake must succeed.
        cases = [
            ("https_untrusted", ssl.create_default_context(), "unable to get local issuer"),
            ("https_untrusted", self.trusting_the_ca(), None),
            ("https_wrong_host", self.trusting_the_ca(), "mismatch"),
            ("https_expired", self.trusting_the_ca(), "certificate has expired"),
        ]
        for listener, context, failure in cases:
            with self.subTest(listener=listener, failure=failure):
                if failure is None:
                    head, body, _ = self.handshake(listener, context)
                    self.assertEqual((status_of(head), body), (200, MANIFEST))
                else:
                    with self.assertRaises(ssl.SSLCertVerificationError) as caught:
                        self.handshake(listener, context)
                    self.assertIn(failure, str(caught.exception))

    def test_unchecked_clients_are_served_by_every_listener(self):
        # The launcher ignores an unknown issuer and a wrong name, like this client.
        for listener in harness_tls_listeners():
            with self.subTest(listener=listener):
                head, body, _ = self.handshake(listener, ssl._create_unverified_context())
                self.assertEqual(body, MANIFEST)
        self.assertEqual([r["listener"] for r in server.requests()], harness_tls_listeners())

    def test_wrong_host_certificate_names_only_the_wrong_host(self):
        head, body, _ = self.handshake("https_wrong_host", self.trusting_the_ca(),
                                       host="wrong.example")
        self.assertEqual(body, MANIFEST)

    def test_refused_certificates_are_recorded(self):
        # A client that rejects the certificate inside the handshake leaves a
        # tls_error; one that hangs up after it (WinINet with an expired
        # certificate) leaves a tls_no_request.
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.handshake("https_expired", self.trusting_the_ca())
        with socket.create_connection(("127.0.0.1", server.ports["https_wrong_host"])) as raw:
            ssl._create_unverified_context().wrap_socket(raw).close()
        events = []
        deadline = time.monotonic() + 5
        while len(events) < 2 and time.monotonic() < deadline:
            time.sleep(0.05)
            events = sorted((e["event"], e["listener"]) for e in server.entries())
        self.assertEqual(events, [("tls_error", "https_expired"),
                                  ("tls_no_request", "https_wrong_host")])


def harness_tls_listeners():
    return ["https_untrusted", "https_wrong_host", "https_expired"]


class FixtureScriptTest(unittest.TestCase):
    def test_start_returns_with_the_ports_and_stop_ends_the_server(self):
        script = os.path.join(TOOLS, "server_fixture")
        state = os.path.join(work, "fixture")
        # Captured output is a pipe, as under CTest: start must not leave the
        # server holding it, or this call would not return.
        started = subprocess.run([script, "start", state, "--certs", server.certs],
                                 capture_output=True, text=True, timeout=60)
        self.assertEqual(started.returncode, 0, started.stderr)
        ports = json.loads(started.stdout)
        with open(os.path.join(state, "pid")) as source:
            pid = int(source.read())
        try:
            self.assertEqual(sorted(ports), sorted(["http", "proxy"] + harness_tls_listeners()))
            head, _, _ = exchange(ports["http"], get("/launcher/installer6.lt"))
            self.assertEqual(status_of(head), 404, "its own, empty root")
        finally:
            subprocess.run([script, "stop", state], timeout=60, check=True)
        self.assertFalse(running(pid))


def running(pid):
    # The server is orphaned on purpose; until something reaps it, an ended
    # one stays a zombie.
    try:
        with open("/proc/%d/stat" % pid) as source:
            return source.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


class RawManifestTest(ServerCase):
    """The writer of deliberately broken manifests: the bytes it is given go
    out unchanged (a valid release is published by vl6publish, tested in
    tests/vl6publish)."""

    def test_lines_are_served_as_written(self):
        lines = ["header", "64bit\t6.0.0.1 0123 http://x/Y", "  both  manual  ", "\u30de\u30cb\u30e5\u30a2\u30eb"]
        for line_end, separator in (("crlf", b"\r\n"), ("lf", b"\n"), ("cr", b"\r")):
            with self.subTest(line_end):
                raw_manifest.write_manifest(os.path.join(server.root, "launcher", "installer6.lt"),
                                            lines, line_end)
                _, served, _ = exchange(server.ports["http"], get("/launcher/installer6.lt?scode=r7qd"))
                self.assertEqual(served, separator.join(line.encode("cp932") for line in lines) + separator)
        self.assertFalse(os.path.exists(os.path.join(server.root, "launcher", "installer6.lt.tmp")))

    def test_command_line(self):
        target = os.path.join(server.root, "launcher", "other.lt")
        subprocess.run([harness.PYTHON, os.path.join(TOOLS, "raw_manifest.py"), target, "--line-end", "lf",
                        "h", "both 6.0.0.1"], check=True, timeout=60)
        with open(target, "rb") as written:
            self.assertEqual(written.read(), b"h\nboth 6.0.0.1\n")


class SigningTest(unittest.TestCase):
    """--sign-with: every .lt served with a freshness line made from its file
    time, and PATH.p7s a detached CMS signature over exactly those bytes, by
    the identity in the folder (here a throwaway one made with openssl)."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="update_server_signing.")
        pki = os.path.join(cls.work, "pki")
        os.makedirs(pki)

        def openssl(*arguments):
            subprocess.run(["openssl"] + list(arguments), check=True, capture_output=True, timeout=60)
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30", "-subj", "/CN=Test CA",
                "-keyout", os.path.join(pki, "vendor-ca.key"), "-out", os.path.join(pki, "vendor-ca.pem"),
                "-addext", "basicConstraints=critical,CA:TRUE")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-subj", "/CN=Test Vendor",
                "-keyout", os.path.join(pki, "vendor.key"), "-out", os.path.join(pki, "vendor.csr"))
        openssl("x509", "-req", "-in", os.path.join(pki, "vendor.csr"), "-CA", os.path.join(pki, "vendor-ca.pem"),
                "-CAkey", os.path.join(pki, "vendor-ca.key"), "-set_serial", "7", "-days", "30", "-sha256",
                "-out", os.path.join(pki, "vendor.pem"))
        cls.pki = pki
        cls.server = harness.RunningServer(work=os.path.join(cls.work, "srv"), sign_with=pki).start()
        cls.manifest = os.path.join(cls.server.root, "launcher", "installer6.lt")
        os.makedirs(os.path.dirname(cls.manifest))

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def fetch(self, target):
        head, body, _ = exchange(self.server.ports["http"], get(target))
        return int(head.split(" ")[1]), body

    def verifies(self, content, signature):
        paths = [os.path.join(self.work, name) for name in ("content", "signature")]
        for path, data in zip(paths, (content, signature)):
            with open(path, "wb") as out:
                out.write(data)
        return subprocess.run(["openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in", paths[1],
                               "-content", paths[0], "-CAfile", os.path.join(self.pki, "vendor-ca.pem"),
                               "-purpose", "any", "-out", os.devnull],
                              capture_output=True, timeout=60).returncode == 0

    def test_a_manifest_gets_its_freshness_line_and_a_signature_over_what_is_served(self):
        with open(self.manifest, "wb") as out:
            out.write(MANIFEST)
        os.utime(self.manifest, (1767225600, 1767225600))  # 2026-01-01T00:00:00Z
        status, served = self.fetch("/launcher/installer6.lt?scode=r7qd")
        self.assertEqual(status, 200)
        self.assertEqual(served, MANIFEST + b"freshness 1767225600 2026-01-01T00:00:00Z 2027-01-01T00:00:00Z\r\n")
        self.assertEqual(self.fetch("/launcher/installer6.lt?scode=r7qd")[1], served, "the same bytes again")
        status, signature = self.fetch("/launcher/installer6.lt.p7s?scode=r7qd")
        self.assertEqual(status, 200)
        self.assertTrue(self.verifies(served, signature))
        self.assertFalse(self.verifies(served.replace(b"6.0.0.1", b"6.0.0.2"), signature))

    def test_a_manifest_with_its_own_line_and_a_signature_file_are_served_as_they_are(self):
        own = b"h\nboth 6.0.2.1 x y\nfreshness 3 2026-01-01T00:00:00Z 2099-01-01T00:00:00Z\n"
        with open(self.manifest, "wb") as out:
            out.write(own)
        self.assertEqual(self.fetch("/launcher/installer6.lt")[1], own)
        self.assertTrue(self.verifies(own, self.fetch("/launcher/installer6.lt.p7s")[1]))
        with open(self.manifest + ".p7s", "wb") as out:
            out.write(b"not a signature")
        try:
            self.assertEqual(self.fetch("/launcher/installer6.lt.p7s")[1], b"not a signature")
        finally:
            os.remove(self.manifest + ".p7s")

    def test_no_manifest_no_signature(self):
        self.assertEqual(self.fetch("/launcher/missing.lt.p7s")[0], 404)
        self.assertEqual(self.fetch("/download/setup64.exe.p7s")[0], 404)


if __name__ == "__main__":
    unittest.main()
