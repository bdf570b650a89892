#!/usr/bin/env python3
"""How the scripts run PE32 programs and read what they print
(tests/wine/i386-route, scripts/lib/windows.sh).

On a kernel that runs no i386 code, the route's binfmt entry must exist for
the command and nothing else, every user must keep its own id inside (files
keep their owners, and a fixture may hand a file to another user), and a
nested call must not start a second namespace. Where the kernel runs i386
code, the route is no namespace at all.
"""
import os
import pathlib
import subprocess
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[1]
ROUTE = ROOT / "tests" / "wine" / "i386-route"
BINFMT_ENTRY = "/proc/sys/fs/binfmt_misc/qemu-i386"


def route(*arguments):
    return subprocess.run([str(ROUTE), *arguments], capture_output=True, text=True, timeout=60)


def in_route(script):
    """Runs a shell script through the route; its standard output."""
    result = route("exec", "bash", "-c", script)
    if result.returncode != 0:
        raise AssertionError(f"route exec failed ({result.returncode}): {result.stderr}")
    return result.stdout


OWN_NAMESPACE = os.readlink("/proc/self/ns/user")
# CTest itself runs inside the route where the kernel runs no i386 code.
INSIDE = os.environ.get("VELORA_I386_ROUTE") == OWN_NAMESPACE
KERNEL = route("status").stdout.strip()
EMULATED = KERNEL == "emulated"


class Route(unittest.TestCase):
    def test_status_is_known(self):
        self.assertIn(KERNEL, ("native", "emulated"))

    def test_an_i386_program_runs_through_it(self):
        self.assertEqual(in_route(f"'{ROUTE}' probe-inside").strip(), "ran")

    @unittest.skipUnless(EMULATED, "this kernel runs i386 code itself")
    def test_the_entry_is_the_commands_own(self):
        had_entry = os.path.exists(BINFMT_ENTRY)
        present, namespace = in_route(
            f"test -e {BINFMT_ENTRY} && echo present; readlink /proc/self/ns/user").split()
        self.assertEqual(present, "present")
        if not INSIDE:
            self.assertNotEqual(namespace, OWN_NAMESPACE)
            self.assertEqual(os.path.exists(BINFMT_ENTRY), had_entry)

    @unittest.skipUnless(EMULATED, "this kernel runs i386 code itself")
    def test_nested_calls_share_one_namespace(self):
        outer, nested, status = in_route(
            f"readlink /proc/self/ns/user; '{ROUTE}' exec readlink /proc/self/ns/user; '{ROUTE}' status").split()
        self.assertEqual(outer, nested)
        self.assertEqual(status, "emulated")

    @unittest.skipUnless(EMULATED and os.getuid() == 0, "needs root on a kernel without i386 code")
    def test_users_keep_their_ids(self):
        with tempfile.TemporaryDirectory() as folder:
            made, handed = pathlib.Path(folder, "made"), pathlib.Path(folder, "handed")
            handed.touch()
            # squid's fixture hands its folder to the proxy user (13) this way;
            # with the caller alone mapped (to root) chown fails with EINVAL.
            uid, answer = in_route(f"id -u; touch '{made}'; chown 13:13 '{handed}' && echo handed").split()
            self.assertEqual(uid, "0")
            self.assertEqual(answer, "handed")
            self.assertEqual((made.stat().st_uid, made.stat().st_gid), (0, 0))
            self.assertEqual((handed.stat().st_uid, handed.stat().st_gid), (13, 13))

    @unittest.skipUnless(KERNEL == "native" and not INSIDE, "this kernel runs no i386 code")
    def test_no_namespace_where_the_kernel_runs_i386_code(self):
        namespace, marker = in_route("readlink /proc/self/ns/user; echo $VELORA_I386_ROUTE").split()
        self.assertEqual(namespace, OWN_NAMESPACE)
        self.assertEqual(marker, "native")


def windows_text(data):
    script = f". '{ROOT}/scripts/lib/windows.sh'; windows_text"
    return subprocess.run(["bash", "-c", script], input=data, capture_output=True, check=True).stdout


class WindowsText(unittest.TestCase):
    def test_lines_come_out_as_utf8(self):
        japanese = "アプリケーションを開始できません"
        cases = [
            ("UTF-8 from the release tool", "署名者: O=Velora\r\n".encode(), "署名者: O=Velora\r\n"),
            ("code page 932 from Wine", (japanese + "\r\n").encode("cp932"), japanese + "\r\n"),
            ("both, line by line",
             b"tool: ok\n" + japanese.encode("cp932") + b"\n" + "済み\n".encode(),
             "tool: ok\n" + japanese + "\n済み\n"),
            ("ASCII without an end of line", b"exit code 1", "exit code 1"),
        ]
        for name, data, expected in cases:
            with self.subTest(name):
                self.assertEqual(windows_text(data).decode("utf-8"), expected)


if __name__ == "__main__":
    unittest.main()
