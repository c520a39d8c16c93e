#!/usr/bin/python3
"""The rkcurl program as a user drives it: exit statuses, files and their modes, signals, the
argument list, the terminal. Its pure logic is tested by tool_logic_tests.

usage: test_rkcurl.py RKCURL SCRIPTS_DIR GROUP    (GROUP: a TestCase class below; 77: skipped)
"""
import importlib.util
import os
import pathlib
import pty
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

RKCURL = SCRIPTS = ""
USER, PASSWORD = "tester", "Pw-7f3a9c-secret"


def run(*args, **kwargs):
    """Runs rkcurl; returns (status, stdout bytes, stderr text)."""
    result = subprocess.run([RKCURL, *args], capture_output=True, timeout=120, **kwargs)
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


class CommandLine(unittest.TestCase):  # no server needed
    def test_every_command_answers_help_and_its_options_are_documented(self):
        repo = pathlib.Path(SCRIPTS).resolve().parent
        texts = [(repo / p).read_text() for p in ("docs/rkcurl.md", "tools/rkcurl.bash-completion")]
        status, out, _ = run("--help")
        commands = re.findall(r"\n  ([a-z-]+) +\S", out.decode().split("Common options")[0])
        self.assertEqual((status, len(commands)), (0, 15))
        for command in commands:
            status, out, err = run(command, "--help")
            self.assertEqual((status, err), (0, ""), command)
            for option in set(re.findall(r"(?<![\w-])--[a-z][a-z-]+", out.decode())):
                for text in texts:
                    self.assertRegex(text, r"(?<![\w-])%s(?![\w-])" % option, (command, option))

    def test_exit_statuses(self):
        cases = [  # (status, arguments, message)
            (2, ["frobnicate"], "unknown command"),
            (2, ["ls", "--bogus", "ftp://h/"], "ls: unknown option --bogus"),
            (2, ["ls"], "missing operand"),
            (2, ["get", "-o", "a", "-o", "b", "ftp://h/a"], "more -o options than URLs"),
            (2, ["get", "-O", "ftp://h/"], "-O finds no file name"),
            (2, ["ls", "ftp://u:" + PASSWORD + "@[::1/"], "bad URL"),
            (2, ["ls", "http://u:" + PASSWORD + "@h/"], "needs an ftp:// or ftps:// URL"),
            (2, ["get", "-o", "", "ftp://h/f"], "-o needs a file name"),
            (2, ["ls", "-u", USER, "ftp://127.0.0.1:9/"], "no terminal to ask on"),
            (3, ["put", "/nonexistent/f", "ftp://127.0.0.1:9/"], "cannot read /nonexistent/f"),
            (3, ["upload", "http://127.0.0.1:9/", "/tmp"], "cannot read /tmp: Is a directory"),
            (3, ["ls", "--netrc-file", "/no/netrc", "ftp://127.0.0.1:9/"], "cannot read the netrc"),
            (3, ["ls", "--log", "/no/dir/log", "ftp://127.0.0.1:9/"], "cannot open the log file"),
            (1, ["page", "http://127.0.0.1:9/"], r"page: RKERR_PERFORM \(2509\) curl 7: Couldn't"),
        ]
        for status, args, message in cases:
            result = run(*args, start_new_session=True, stdin=subprocess.DEVNULL)
            self.assertEqual(result[:2], (status, b""), (args, result[2]))
            self.assertRegex(result[2], "^rkcurl: [^\n]*%s[^\n]*\n$" % message, args)
            self.assertNotIn(PASSWORD, result[2])


class ServerCase(unittest.TestCase):
    """The demo's FTP server (USER, PASSWORD) and HTTP server over fresh directories."""

    @classmethod
    def setUpClass(cls):
        cls.work = cls.enterClassContext(tempfile.TemporaryDirectory(prefix="rkcurl-tool-"))
        for name in ("ftp", "http", "local", "tmp"):
            os.makedirs(cls.path(name))
        cls.ftp = cls.serve("ftp", USER, PASSWORD)
        cls.http = cls.serve("http", "--auth", USER, PASSWORD)
        cls.auth = ["-u", "%s:%s" % (USER, PASSWORD)]
        cls.env = dict(os.environ, TMPDIR=cls.path("tmp"))

    @classmethod
    def serve(cls, protocol, *args):
        """Starts the demo's server of protocol on its folder for the class; returns its URL."""
        script = os.path.join(SCRIPTS, "demo-%s-server.py" % protocol)
        server = subprocess.Popen(["/usr/bin/python3", script, cls.path(protocol), *args],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        cls.addClassCleanup(server.communicate, timeout=10)
        cls.addClassCleanup(server.terminate)
        return "%s://127.0.0.1:%d" % (protocol, int(server.stdout.readline()))

    @classmethod
    def path(cls, *parts):
        return os.path.join(cls.work, *parts)

    def write(self, relative, data, permissions=0o644):
        path = pathlib.Path(self.path(relative))
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        path.chmod(permissions)
        return str(path)

    def tearDown(self):
        self.assertEqual(os.listdir(self.path("tmp")), [], "a temporary file was left")


class Transfers(ServerCase):
    def test_get_replaces_the_file_whole_or_leaves_it(self):
        data = os.urandom(200000)
        for name in ("ftp/d.bin", "ftp/busy1-d.bin", "http/d.bin"):
            self.write(name, data)
        f, h, out = self.ftp, self.http, self.path("local/get/out")
        old, part, new = (b"old", 0o600), (data[:70000], 0o600), (data, 0o644)  # umask 022
        retry, resume = ["--retry", "1"], ["-C", "-"]
        # (URL, options, the file before, then after (exit 0 when whole), what stderr says)
        cases = [
            (f + "/d.bin", [], old, (data, 0o600), "^saved 200000 bytes to "),
            (h + "/d.bin", [], old, (data, 0o600), "^saved 200000 bytes to "),
            (f + "/busy1-d.bin", retry, None, new, "retry 1 of 1"),  # a 450 reply
            (h + "/flaky/1/d.bin", retry, None, new, "retry 1 of 1"),  # a 503 status
            (h + "/flaky/2/d.bin", retry, None, None, r"retry 1 of 1 .*\n.*curl 22: .*503\n$"),
            (f + "/none", retry, old, old, r"^rkcurl: get: RKERR_GET_FILE .*; server: 550 .*\n$"),
            (h + "/none", retry, old, old, r"^rkcurl: get: RKERR_PERFORM .* curl 22: .*404.*\n$"),
            (h + "/d.bin", resume, part, (data, 0o600), r"^saved 130000 bytes more .*\(200000 "),
            (h + "/slow/d.bin", resume, part, part, "curl 33"),  # /slow/ ignores the range
            (h + "/none", resume, None, None, "curl 22"),
        ]
        for url, options, before, after, message in cases:
            if os.path.exists(out):
                os.unlink(out)
            if before:
                self.write("local/get/out", *before)
            status, _, err = run("get", *self.auth, *options, url, "-o", out, env=self.env,
                                 preexec_fn=lambda: os.umask(0o022))
            self.assertEqual(status, 0 if after and after[0] == data else 1, (url, err))
            self.assertRegex(err, message, url)
            self.assertEqual(os.listdir(os.path.dirname(out)), ["out"] if after else [], url)
            got = after and (pathlib.Path(out).read_bytes(), os.stat(out).st_mode & 0o777)
            self.assertEqual(got, after, url)

    def test_https_is_verified_unless_insecure(self):
        cert, key = self.path("local", "cert.pem"), self.path("local", "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
        https = self.serve("http", "--tls", cert, key).replace("http", "https", 1) + "/form"
        self.assertRegex(run("page", https)[2], r"RKERR_PERFORM \(2509\) curl 60: ")
        for args in (["-k", https], ["--cacert", cert, https],
                     ["--insecure", "--secure", https.replace("https", "http")]):
            self.assertEqual(run("page", *args)[:2], (0, b"method=POST\nsubmit=send\n"), args)

    def test_noproxy_hosts_go_direct(self):
        self.write("http/p.txt", b"p")
        closed = "http://127.0.0.1:9"  # a proxy that refuses: a request through it fails
        for noproxy, host, direct in ((None, "127.0.0.1", False), ("calhost", "localhost", False),
                                      ("other, .localhost", "localhost", True)):
            args = ["--noproxy", noproxy] if noproxy else []
            url = self.http.replace("127.0.0.1", host) + "/p.txt"
            for how, env in ((["-x", closed], self.env), ([], dict(self.env, http_proxy=closed))):
                result = run("get", *how, *args, url, env=env)
                self.assertEqual(result[:2], (0, b"p") if direct else (1, b""),
                                 (noproxy, host, how, result[2]))

    def test_signals_remove_temporaries_and_the_password_is_blanked(self):
        self.write("http/big.bin", b"b" * 20000000)
        target = self.write("local/big.bin", b"before")
        tmp = self.path("tmp")
        spooled = lambda: [os.path.join(tmp, d, "data") for d in os.listdir(tmp)]
        beside = lambda: [self.path("local", n) for n in os.listdir(self.path("local"))
                          if n.startswith(".big.bin.")]
        term, hup, pipe, ctrl_c = signal.SIGTERM, signal.SIGHUP, signal.SIGPIPE, signal.SIGINT
        # Spool files in $TMPDIR: put - copies standard input before it connects (libcurl ignores
        # SIGPIPE while it transfers); a get to /dev/null is written from one.
        put = ["put", "-", self.ftp + "/in.txt"]
        to_null = ["get", self.http + "/slow/big.bin", "-o", "/dev/null"]
        to_target = ["download", self.http + "/slow/big.bin", "-o", target]
        # (arguments, temporary files, signals, statuses): only the first Ctrl-C stops cleanly.
        cases = [(put, spooled, [pipe], [-pipe]), (put, spooled, [ctrl_c], [130]),
                 (to_null, spooled, [term], [-term]), (to_null, spooled, [hup], [-hup]),
                 (to_null, spooled, [ctrl_c, ctrl_c], [130, -ctrl_c]),
                 (to_target, beside, [term], [-term]), (to_target, beside, [ctrl_c], [130])]
        for args, temporary, signals, statuses in cases:
            process = subprocess.Popen([RKCURL, args[0], *self.auth, *args[1:]], env=self.env,
                                       stdin=subprocess.PIPE, stderr=subprocess.DEVNULL)
            process.stdin.write(b"x" * 1000)
            process.stdin.flush()
            deadline = time.time() + 20
            while not any(os.path.exists(p) for p in temporary()):
                self.assertLess(time.time(), deadline, ("no temporary file", args))
                time.sleep(0.02)
            self.assertEqual(os.stat(temporary()[0]).st_mode & 0o777, 0o600, args)
            if temporary is spooled:  # and in a directory no one else may enter
                self.assertEqual(os.stat(os.path.dirname(temporary()[0])).st_mode & 0o777, 0o700)
            cmdline = pathlib.Path("/proc/%d/cmdline" % process.pid).read_bytes()
            self.assertIn(b"\0-u\0%s:%s\0" % (USER.encode(), b" " * len(PASSWORD)), cmdline)
            for number in signals:
                process.send_signal(number)
                time.sleep(0.1)
            process.stdin.close()
            self.assertIn(process.wait(20), statuses, (args, signals))
            self.assertEqual((os.listdir(tmp), beside(), pathlib.Path(target).read_bytes()),
                             ([], [], b"before"), (args, signals))


class Secrets(ServerCase):
    def test_password_stays_out_of_output_log_and_trace(self):
        self.write("ftp/s/a.txt", b"a")
        self.write("http/p.txt", b"p")
        entry = "machine 127.0.0.1 login %s password %s\n"  # the first that matches wins
        netrc = self.write("local/.netrc", (entry % (USER, PASSWORD) + entry % ("x", "y")).encode())
        log, login = self.path("local", "log.txt"), "//%s:%s@" % (USER, PASSWORD)
        cases = [  # (arguments, standard output; None: the login fails)
            (["ls", *self.auth, self.ftp + "/s/"], b"a.txt\n"),
            (["ls", "-n", self.ftp + "/s/"], b"a.txt\n"),  # ~/.netrc
            (["ls", "--netrc-file", netrc, self.ftp + "/s/"], b"a.txt\n"),
            (["ls", self.ftp + "/s/"], None),  # no netrc file unless asked for
            (["get", self.ftp.replace("//", login) + "/s/a.txt"], b"a"),
            (["page", self.http.replace("//", login) + "/private/p.txt"], b"p"),
            (["mkdir", *self.auth, self.ftp + "/s"], None),  # there already
        ]
        for args, out in cases:
            result = run("--log", log, "-v", *args, env=dict(self.env, HOME=self.path("local")))
            self.assertEqual(result[:2], (0, out) if out else (1, b""), (args, result[2]))
            self.assertIn("***", result[2], args)
            for text in (result[2], pathlib.Path(log).read_text()):
                self.assertNotIn(PASSWORD, text, args)

    def test_names_on_a_terminal_are_escaped(self):
        name = "evil\x1b]0;owned\x07\t.txt"
        self.write("ftp/t/" + name, b"")
        url = self.ftp + "/t/"
        self.assertEqual(run("ls", *self.auth, url)[:2], (0, name.encode() + b"\n"))  # a pipe
        master, slave = pty.openpty()
        process = subprocess.Popen([RKCURL, "ls", "--long", *self.auth, url], stdout=slave)
        os.close(slave)
        self.assertEqual(process.wait(30), 0)
        shown = os.read(master, 4096)  # a line: what the terminal got is still there
        os.close(master)
        self.assertTrue(shown.endswith(b" evil\\033]0;owned\\a\\t.txt\r\n"), shown)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    RKCURL, SCRIPTS, group = sys.argv[1:4]
    if group != "CommandLine" and importlib.util.find_spec("pyftpdlib") is None:
        print("pyftpdlib is not installed (Debian python3-pyftpdlib): skipped")
        sys.exit(77)
    unittest.main(argv=[sys.argv[0], group], verbosity=2)
