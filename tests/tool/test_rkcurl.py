#!/usr/bin/python3
"""The rkcurl program as a user drives it: exit statuses, files and their modes, signals, the
argument list, the terminal. Its pure logic is tested by tool_logic_tests.

usage: test_rkcurl.py RKCURL SCRIPTS_DIR GROUP    (GROUP: a TestCase class below; 77: skipped)
"""
import os
import pty
import re
import shutil
import signal
import stat
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


def wait_for(condition, what):
    deadline = time.time() + 20
    while not condition():
        if time.time() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.02)


def mode(path):
    return stat.S_IMODE(os.stat(path).st_mode)


class CommandLine(unittest.TestCase):
    """Usage and local problems: no server needed."""

    def test_help_guide_and_completion_agree(self):
        repo = os.path.dirname(os.path.abspath(SCRIPTS))
        texts = [open(os.path.join(repo, *p)).read() for p in (("docs", "rkcurl.md"),
                                                                ("tools", "rkcurl.bash-completion"))]
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
            (2, ["ls", "http://h/"], "needs an ftp:// or ftps:// URL"),
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
        cls.work = tempfile.mkdtemp(prefix="rkcurl-tool-")
        for name in ("ftp", "http", "local", "tmp"):
            os.makedirs(os.path.join(cls.work, name))
        cls.servers = []
        cls.ftp = "ftp://127.0.0.1:%d" % cls.serve("demo-ftp-server.py", cls.path("ftp"), USER,
                                                    PASSWORD)
        cls.http = "http://127.0.0.1:%d" % cls.serve("demo-http-server.py", cls.path("http"),
                                                      "--auth", USER, PASSWORD)
        cls.auth = ["-u", "%s:%s" % (USER, PASSWORD)]
        cls.env = dict(os.environ, TMPDIR=cls.path("tmp"))

    @classmethod
    def serve(cls, script, *args):
        """Starts a demo server script; returns the port it prints first."""
        cls.servers.append(subprocess.Popen(["/usr/bin/python3", os.path.join(SCRIPTS, script),
                                             *args], stdout=subprocess.PIPE,
                                            stderr=subprocess.DEVNULL))
        return int(cls.servers[-1].stdout.readline())

    @classmethod
    def tearDownClass(cls):
        for server in cls.servers:
            server.terminate()
            server.communicate(timeout=10)
        shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def path(cls, *parts):
        return os.path.join(cls.work, *parts)

    def write(self, relative, data, permissions=0o644):
        path = self.path(relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
        os.chmod(path, permissions)
        return path

    def read(self, relative):
        with open(self.path(relative), "rb") as source:
            return source.read()

    def tearDown(self):
        self.assertEqual(os.listdir(self.path("tmp")), [], "a temporary file was left")


class Transfers(ServerCase):
    def test_replaced_files_keep_their_mode_and_new_ones_get_the_umask(self):
        for url in (self.ftp + "/m.txt", self.http + "/m.txt"):
            data = url.encode()
            self.write("ftp/m.txt", data)
            self.write("http/m.txt", data)
            kept = self.write("local/modes/kept.txt", b"old", 0o600)
            fresh = self.path("local/modes/fresh.txt")
            for output in (kept, fresh):
                status, _, err = run("get", *self.auth, url, "-o", output, env=self.env,
                                     preexec_fn=lambda: os.umask(0o022))
                self.assertEqual((status, self.read(output)), (0, data), err)
            self.assertEqual((mode(kept), mode(fresh)), (0o600, 0o644), url)
            os.unlink(fresh)
            self.assertEqual(run("get", *self.auth, url, env=self.env)[:2], (0, data))
        self.assertEqual(os.listdir(self.path("local/modes")), ["kept.txt"])

    def test_failures_keep_the_file_and_quote_the_server(self):
        os.makedirs(self.path("ftp/there"), exist_ok=True)
        keep = self.write("local/keep/keep.txt", b"precious")
        cases = [  # (arguments, message)
            (["get", self.ftp + "/none.txt", "-o", keep], r"RKERR_GET_FILE .*; server: 550 "),
            (["get", self.http + "/none.txt", "-o", keep], r"RKERR_PERFORM .* curl 22: .*404"),
            (["download", self.http + "/none.txt", "-o", keep], r"RKERR_PERFORM .* curl 22: "),
            (["mkdir", self.ftp + "/there"], r"RKERR_COMMAND \(2513\) curl 21: .*; server: 550 "),
        ]
        for args, message in cases:
            status, _, err = run(args[0], *self.auth, *args[1:], env=self.env)
            self.assertEqual(status, 1, (args, err))
            self.assertRegex(err, "^rkcurl: %s: %s[^\n]*\n$" % (args[0], message))
            self.assertEqual((self.read(keep), os.listdir(os.path.dirname(keep))),
                             (b"precious", ["keep.txt"]), args)

    def test_get_resumes_with_a_range_and_never_appends_a_whole_body(self):
        data = os.urandom(200000)
        self.write("http/r.bin", data)
        local = self.path("local/r.bin")
        # Local part (None: no file yet), the URL's path (/slow/ ignores ranges), exit status,
        # the file afterwards.
        for part, path, status, after in ((None, "r.bin", 0, data), (70000, "r.bin", 0, data),
                                          (200000, "r.bin", 0, data),
                                          (70000, "slow/r.bin", 1, data[:70000])):
            if os.path.exists(local):
                os.unlink(local)
            if part is not None:
                self.write("local/r.bin", data[:part])
            result = run("get", "-C", "-", self.http + "/" + path, "-o", local, env=self.env)
            self.assertEqual((result[0], self.read("local/r.bin")), (status, after),
                             (part, path, result[2]))
        self.assertIn("curl 33", result[2])

    def test_https_is_verified_unless_insecure(self):
        cert, key = self.path("local", "cert.pem"), self.path("local", "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
        https = "https://127.0.0.1:%d/form" % self.serve("demo-http-server.py", self.path("http"),
                                                          "--tls", cert, key)
        self.assertRegex(run("page", https)[2], r"RKERR_PERFORM \(2509\) curl 60: ")
        for args in (["-k", https], ["--cacert", cert, https],
                     ["--insecure", "--secure", https.replace("https", "http")]):
            self.assertEqual(run("page", *args)[:2], (0, b"method=POST\nsubmit=send\n"), args)

    def test_transient_failures_are_retried(self):
        self.write("ftp/busy1-r.txt", b"r")
        self.write("http/r.txt", b"r")
        cases = [  # (URL, status, retried): a 450 reply and a 503 pass, 550 and 404 do not
            (self.ftp + "/busy1-r.txt", 0, True), (self.http + "/flaky/1/r.txt", 0, True),
            (self.ftp + "/none.txt", 1, False), (self.http + "/none.txt", 1, False),
        ]
        for url, status, retried in cases:
            result = run("get", "--retry", "1", *self.auth, url, env=self.env)
            self.assertEqual(result[0], status, (url, result[2]))
            self.assertEqual("retry 1 of 1" in result[2], retried, (url, result[2]))

    def test_noproxy_hosts_go_direct(self):
        self.write("http/p.txt", b"p")
        port = self.http.rsplit(":", 1)[1]
        closed = "http://127.0.0.1:9"  # a proxy that refuses: a request through it fails
        cases = [  # (--noproxy, URL host, reached directly)
            (None, "127.0.0.1", False), ("*", "localhost", True),
            ("other, .localhost", "localhost", True), ("calhost", "localhost", False),
        ]
        for noproxy, host, direct in cases:
            args = ["--noproxy", noproxy] if noproxy is not None else []
            url = "http://%s:%s/p.txt" % (host, port)
            for how, env in ((["-x", closed], self.env), ([], dict(self.env, http_proxy=closed))):
                result = run("get", *how, *args, url, env=env)
                self.assertEqual(result[:2], (0, b"p") if direct else (1, b""),
                                 (noproxy, host, how, result[2]))

    def test_signals_remove_temporaries_and_the_password_is_blanked(self):
        # (signals, statuses): the first Ctrl-C stops cleanly, the others end the process.
        cases = [([signal.SIGTERM], [-signal.SIGTERM]), ([signal.SIGHUP], [-signal.SIGHUP]),
                 ([signal.SIGPIPE], [-signal.SIGPIPE]), ([signal.SIGINT], [130]),
                 ([signal.SIGINT, signal.SIGINT], [130, -signal.SIGINT])]
        tmp = self.path("tmp")
        spool = lambda: [d for d in os.listdir(tmp) if os.path.exists(os.path.join(tmp, d, "data"))]
        for signals, statuses in cases:
            # put - copies standard input into a private file in $TMPDIR before it connects.
            process = subprocess.Popen([RKCURL, "put", *self.auth, "-", self.ftp + "/in.txt"],
                                       stdin=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                       env=self.env)
            process.stdin.write(b"x" * 100000)
            process.stdin.flush()
            wait_for(spool, "the temporary file")
            directory = os.path.join(tmp, spool()[0])
            self.assertEqual((mode(directory), mode(directory + "/data")), (0o700, 0o600))
            with open("/proc/%d/cmdline" % process.pid, "rb") as source:
                self.assertIn(b"\0-u\0%s:%s\0" % (USER.encode(), b" " * len(PASSWORD)),
                              source.read())
            for number in signals:
                process.send_signal(number)
                time.sleep(0.1)
            process.stdin.close()
            self.assertIn(process.wait(20), statuses, signals)
            self.assertEqual(os.listdir(tmp), [], signals)
        # An HTTP download's temporary file beside the target: private, gone after a signal.
        self.write("http/big.bin", b"b" * 20000000)
        target = self.write("local/big.bin", b"before")
        partial = lambda: [n for n in os.listdir(self.path("local")) if n.startswith(".big.bin.")]
        for number, status in ((signal.SIGTERM, -signal.SIGTERM), (signal.SIGINT, 130)):
            process = subprocess.Popen([RKCURL, "download", self.http + "/slow/big.bin", "-o",
                                        target], stderr=subprocess.DEVNULL)
            wait_for(partial, "the partial download")
            permissions = mode(self.path("local", partial()[0]))
            process.send_signal(number)
            self.assertEqual(process.wait(30), status)
            self.assertEqual((permissions, self.read("local/big.bin"), partial()),
                             (0o600, b"before", []))


class Secrets(ServerCase):
    def test_password_stays_out_of_output_log_and_trace(self):
        self.write("ftp/s/a.txt", b"a")
        self.write("http/p.txt", b"p")
        log = self.path("local", "log.txt")
        ftp_auth = self.ftp.replace("//", "//%s:%s@" % (USER, PASSWORD))
        http_auth = self.http.replace("//", "//%s:%s@" % (USER, PASSWORD))
        for status, args in ((0, ["ls", *self.auth, self.ftp + "/s/"]),
                             (1, ["get", ftp_auth + "/no"]),
                             (0, ["page", http_auth + "/private/p.txt"]),
                             (1, ["page", "-u", USER + ":x" + PASSWORD, self.http + "/private/"])):
            result = run("--log", log, "-v", *args)
            self.assertEqual(result[0], status, (args, result[2]))
            self.assertIn("***", result[2], args)
            for text in (result[1].decode(), result[2], open(log).read()):
                self.assertNotIn(PASSWORD, text, args)

    def test_netrc_first_matching_machine_wins(self):
        right, wrong = "login %s password %s" % (USER, PASSWORD), "login %s password x" % USER
        cases = [  # (netrc text, logged in)
            ("machine 127.0.0.1 %s\nmachine 127.0.0.1 %s" % (right, wrong), True),
            ("machine 127.0.0.1 %s\nmachine 127.0.0.1 %s" % (wrong, right), False),
            ("machine 127.0.0.10 %s\ndefault %s" % (wrong, right), True),
            ("machine 127.0.0.1 %s\ndefault %s" % (right, wrong), True),
            ("macdef init\nmachine 127.0.0.1 %s\n\nmachine 127.0.0.1 %s" % (wrong, right), True),
            ("machine 127.0.0.2 %s" % right, False),
        ]
        netrc = self.path("local", ".netrc")
        for text, logged_in in cases:
            with open(netrc, "w") as out:
                out.write(text + "\n")
            result = run("ls", "--netrc-file", netrc, self.ftp + "/")
            self.assertEqual(result[0], 0 if logged_in else 1, (text, result[2]))
        # -n reads ~/.netrc; the trace masks the password libcurl took from it.
        with open(netrc, "w") as out:
            out.write("default %s\n" % right)
        home = dict(os.environ, HOME=self.path("local"))
        result = run("ls", "-n", "-v", self.ftp + "/", env=home)
        self.assertEqual(result[0], 0, result[2])
        self.assertIn("> PASS ***", result[2])
        self.assertNotIn(PASSWORD, result[2])

    def test_names_on_a_terminal_are_escaped(self):
        name = "evil\x1b]0;owned\x07\t.txt"
        self.write("ftp/t/" + name, b"")
        url = self.ftp + "/t/"
        self.assertEqual(run("ls", *self.auth, url)[:2], (0, name.encode() + b"\n"))  # a pipe
        master, slave = pty.openpty()
        process = subprocess.Popen([RKCURL, "ls", "--long", *self.auth, url], stdout=slave)
        os.close(slave)
        shown = b""
        try:
            while chunk := os.read(master, 4096):
                shown += chunk
        except OSError:
            pass
        os.close(master)
        self.assertEqual(process.wait(30), 0)
        self.assertTrue(shown.endswith(b" evil\\033]0;owned\\a\\t.txt\r\n"), shown)


def main():
    global RKCURL, SCRIPTS
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    RKCURL, SCRIPTS, group = sys.argv[1:4]
    if group != "CommandLine":
        try:
            import pyftpdlib  # noqa: F401
        except ImportError:
            print("pyftpdlib is not installed (Debian python3-pyftpdlib): skipped")
            sys.exit(77)
    program = unittest.main(argv=[sys.argv[0], group], exit=False, verbosity=2)
    sys.exit(0 if program.result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
