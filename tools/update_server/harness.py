"""Starts and steers a local update server from Python test code.

    with RunningServer(certs=".../certs", proxy_user="u", proxy_password="p") as server:
        server.set_rules({"/launcher/installer6.lt": {"status": 404}})
        ... talk to 127.0.0.1:server.ports["http"] ...
        server.requests()     # the recorded requests, oldest first
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "update_server.py")
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


class RunningServer:
    def __init__(self, root=None, certs=None, proxy_user=None, proxy_password=None,
                 work=None, start_timeout=30, sign_with=None):
        self._own_work = work is None
        self.work = work or tempfile.mkdtemp(prefix="update_server.")
        self.root = root or os.path.join(self.work, "root")
        os.makedirs(self.root, exist_ok=True)
        self.record = os.path.join(self.work, "record.jsonl")
        self.control = os.path.join(self.work, "control.json")
        self.ports_file = os.path.join(self.work, "ports.json")
        self.certs = certs
        self.sign_with = sign_with
        self.proxy_user = proxy_user
        self.proxy_password = proxy_password
        self.start_timeout = start_timeout
        self.process = None
        self.ports = None

    def start(self):
        for stale in (self.ports_file, self.record):
            if os.path.exists(stale):
                os.remove(stale)
        command = [PYTHON, SERVER, "--root", self.root, "--record", self.record,
                   "--control", self.control, "--ports-file", self.ports_file]
        if self.certs:
            command += ["--certs", self.certs]
        if self.sign_with:
            command += ["--sign-with", self.sign_with]
        if self.proxy_user is not None:
            command += ["--proxy-user", self.proxy_user,
                        "--proxy-password", self.proxy_password or ""]
        self.process = subprocess.Popen(command)
        deadline = time.monotonic() + self.start_timeout
        while not os.path.exists(self.ports_file):
            if self.process.poll() is not None:
                raise RuntimeError("update server exited with %d" % self.process.returncode)
            if time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("update server did not write %s" % self.ports_file)
            time.sleep(0.05)
        with open(self.ports_file) as source:
            self.ports = json.load(source)
        return self

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self._own_work:
            shutil.rmtree(self.work, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *_):
        self.stop()

    def url(self, path="/", listener="http"):
        scheme = "https" if listener.startswith("https") else "http"
        return "%s://127.0.0.1:%d%s" % (scheme, self.ports[listener], path)

    def set_control(self, data):
        """Replaces the control file; the next request sees it."""
        temporary = self.control + ".tmp"
        with open(temporary, "w") as out:
            json.dump(data, out)
        os.replace(temporary, self.control)

    def set_rules(self, rules):
        self.set_control({"rules": rules})

    def clear_record(self):
        open(self.record, "w").close()

    def entries(self):
        try:
            with open(self.record, encoding="utf-8") as source:
                return [json.loads(line) for line in source if line.strip()]
        except FileNotFoundError:
            return []

    def requests(self, listener=None):
        return [entry for entry in self.entries() if entry.get("event") == "request"
                and (listener is None or entry["listener"] == listener)]
