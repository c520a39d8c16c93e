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


class Server:
    """A demo server script that prints its port first."""

    def __init__(self, script, *args):
        self.process = subprocess.Popen(["/usr/bin/python3", os.path.join(SCRIPTS, script), *args],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        text=True)
        self.port = int(self.process.stdout.readline())

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        self.process.stdout.close()


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


class CommandLine(unittest.TestCase):
    """Usage and local problems: no server needed."""

    def test_help_guide_and_completion_agree(self):
        repo = os.path.dirname(os.path.abspath(SCRIPTS))
        texts = [open(os.path.join(repo, *p)).read() for p in (("docs", "rkcurl.md"),
                                                                ("tools", "rkcurl.bash-completion"))]
        status, out, _ = run("--help")
        commands = re.findall(r"\n  ([a-z-]+) +\S", out.decode().split("Common options")[0])
        self.assertEqual((status, len(commands)), (0, 14))
        for command in commands:
            status, out, err = run(command, "--help")
            self.assertEqual((status, err), (0, ""), command)
            for option in set(re.findall(r"(?<![\w-])--[a-z][a-z-]+", out.decode())):
                for text in texts:
                    self.assertRegex(text, r"(?<![\w-])%s(?![\w-])" % option, (command, option))

    def test_exit_statuses(self):
        secret = "ftp://u:" + PASSWORD + "@[::1/"
        cases = [  # (status, arguments, message)
            (2, ["frobnicate"], "unknown command"),
            (2, ["ls", "--bogus", "ftp://h/"], "ls: unknown option --bogus"),
            (2, ["ls"], "missing operand"),
            (2, ["get", "-o", "a", "-o", "b", "ftp://h/a"], "more -o options than URLs"),
            (2, ["get", "-O", "ftp://h/"], "-O finds no file name"),
            (2, ["ls", "-m", "soon", "ftp://h/"], "--max-time wants seconds"),
            (2, ["ls", secret], "bad URL"),
            (2, ["ls", "http://h/"], "needs an ftp:// or ftps:// URL"),
            (2, ["rm", "ftp://h/"], "names no file or directory"),
            (2, ["get", "-C", "-", "-o", "f", "h/f"], "-C - resumes FTP downloads only"),
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
    """An FTP server (USER, PASSWORD) and an HTTP server over fresh directories."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="rkcurl-tool-")
        for name in ("ftp", "http", "local", "tmp"):
            os.makedirs(os.path.join(cls.work, name))
        cls.ftp_server = Server("demo-ftp-server.py", cls.path("ftp"), USER, PASSWORD)
        cls.http_server = Server("demo-http-server.py", cls.path("http"), "--auth", USER, PASSWORD)
        cls.ftp = "ftp://127.0.0.1:%d" % cls.ftp_server.port
        cls.http = "http://127.0.0.1:%d" % cls.http_server.port
        cls.auth = ["-u", "%s:%s" % (USER, PASSWORD)]
        cls.env = dict(os.environ, TMPDIR=cls.path("tmp"))

    @classmethod
    def tearDownClass(cls):
        cls.ftp_server.stop()
        cls.http_server.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def path(cls, *parts):
        return os.path.join(cls.work, *parts)

    def write(self, relative, data, mode=0o644):
        path = self.path(relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
        os.chmod(path, mode)
        return path

    def read(self, relative):
        with open(self.path(relative), "rb") as source:
            return source.read()

    def tearDown(self):
        self.assertEqual(os.listdir(self.path("tmp")), [], "a temporary file was left")


class Transfers(ServerCase):
    def test_replaced_files_keep_their_mode_and_new_ones_get_the_umask(self):
        self.write("ftp/m.txt", b"over ftp")
        self.write("http/m.txt", b"over http")
        for url, data in ((self.ftp + "/m.txt", b"over ftp"), (self.http + "/m.txt", b"over http")):
            target = self.write("local/modes/kept.txt", b"old", 0o600)
            fresh = self.path("local/modes/fresh.txt")
            for output in (target, fresh):
                status, _, err = run("get", *self.auth, url, "-o", output, env=self.env,
                                     preexec_fn=lambda: os.umask(0o022))
                self.assertEqual((status, self.read(output)), (0, data), err)
            self.assertEqual(stat.S_IMODE(os.stat(target).st_mode), 0o600, url)
            self.assertEqual(stat.S_IMODE(os.stat(fresh).st_mode), 0o644, url)
            os.unlink(fresh)
            self.assertEqual(run("get", *self.auth, url, env=self.env)[:2], (0, data))
        self.assertEqual(os.listdir(self.path("local/modes")), ["kept.txt"])

    def test_failures_keep_the_file_and_quote_the_server(self):
        os.makedirs(self.path("ftp/there"), exist_ok=True)
        keep = self.write("local/keep/keep.txt", b"precious")
        cases = [  # (arguments, message)
            (["get", self.ftp + "/none.txt", "-o", keep], r"RKERR_GET_FILE \(2517\) .*; server: 550 "),
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

    def test_https_is_verified_unless_insecure(self):
        ca, cert, key = (self.path("local", name) for name in ("ca.pem", "cert.pem", "key.pem"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
        shutil.copy(cert, ca)
        server = Server("demo-http-server.py", self.path("http"), "--tls", cert, key)
        try:
            https = "https://127.0.0.1:%d/form" % server.port
            self.assertRegex(run("page", https)[2], r"RKERR_PERFORM \(2509\) curl 60: ")
            for args in (["-k", https], ["--cacert", ca, https],
                         ["--insecure", "--secure", https.replace("https", "http")]):
                self.assertEqual(run("page", *args)[:2], (0, b"method=POST\nsubmit=send\n"), args)
        finally:
            server.stop()

    def test_signals_remove_temporaries_and_blank_the_password(self):
        # (signals sent, status): the first Ctrl-C stops cleanly, the others end the process.
        cases = [([signal.SIGTERM], -signal.SIGTERM), ([signal.SIGHUP], -signal.SIGHUP),
                 ([signal.SIGPIPE], -signal.SIGPIPE), ([signal.SIGINT], 130),
                 ([signal.SIGINT, signal.SIGINT], None)]
        tmp = self.path("tmp")
        for signals, expected in cases:
            # put - copies standard input into a private file in $TMPDIR before it connects.
            process = subprocess.Popen([RKCURL, "put", *self.auth, "-", self.ftp + "/in.txt"],
                                       stdin=subprocess.PIPE, stderr=subprocess.PIPE,
                                       env=self.env)
            process.stdin.write(b"x" * 100000)
            process.stdin.flush()
            wait_for(lambda: os.listdir(tmp) and "data" in os.listdir(os.path.join(
                tmp, os.listdir(tmp)[0])), "the temporary file")
            directory = os.path.join(tmp, os.listdir(tmp)[0])
            self.assertEqual(stat.S_IMODE(os.stat(directory).st_mode), 0o700)
            self.assertEqual(stat.S_IMODE(os.stat(directory + "/data").st_mode), 0o600)
            with open("/proc/%d/cmdline" % process.pid, "rb") as source:
                cmdline = source.read()
            self.assertNotIn(PASSWORD.encode(), cmdline)
            self.assertIn(b"\0" + USER.encode() + b":", cmdline)
            for number in signals:
                process.send_signal(number)
                time.sleep(0.1)
            process.stdin.close()
            status = process.wait(20)
            process.stderr.close()
            self.assertIn(status, (expected,) if expected else (130, -signal.SIGINT), signals)
            self.assertEqual(os.listdir(tmp), [], signals)
        # A download beside its target: private while it runs, gone after a signal.
        self.write("http/big.bin", b"b" * 20000000)
        target = self.write("local/big.bin", b"before")
        partial = lambda: [n for n in os.listdir(self.path("local")) if n.startswith(".big.bin.")]
        for number, expected in ((signal.SIGTERM, -signal.SIGTERM), (signal.SIGINT, 130)):
            process = subprocess.Popen([RKCURL, "download", self.http + "/slow/big.bin", "-o",
                                        target], stderr=subprocess.DEVNULL)
            wait_for(partial, "the partial download")
            mode = os.stat(self.path("local", partial()[0])).st_mode
            process.send_signal(number)
            self.assertEqual(process.wait(30), expected)
            self.assertEqual((stat.S_IMODE(mode), self.read("local/big.bin"), partial()),
                             (0o600, b"before", []))


class Secrets(ServerCase):
    def test_password_stays_out_of_output_log_and_trace(self):
        self.write("ftp/s/a.txt", b"a")
        self.write("http/p.txt", b"p")
        log = self.path("local", "log.txt")
        ftp_auth = "ftp://%s:%s@127.0.0.1:%d" % (USER, PASSWORD, self.ftp_server.port)
        http_auth = "http://%s:%s@127.0.0.1:%d" % (USER, PASSWORD, self.http_server.port)
        for status, args in ((0, ["ls", *self.auth, self.ftp + "/s/"]), (1, ["get", ftp_auth + "/no"]),
                             (0, ["page", http_auth + "/private/p.txt"]),
                             (1, ["page", "-u", USER + ":x" + PASSWORD, self.http + "/private/p.txt"])):
            result = run("--log", log, "-v", *args)
            with open(log) as source:
                records = source.read()
            self.assertEqual(result[0], status, (args, result[2]))
            self.assertIn("***", result[2], args)
            for text in (result[1].decode(), result[2], records):
                self.assertNotIn(PASSWORD, text, args)

    def test_netrc_gives_the_first_entry_for_the_host(self):
        self.write("ftp/n/seen.txt", b"n")
        netrc = self.write("local/netrc", ("machine 127.0.0.1 login %s password %s\n"
                                           "machine 127.0.0.1 login %s password wrong\n"
                                           % (USER, PASSWORD, USER)).encode())
        self.assertEqual(run("ls", "--netrc-file", netrc, self.ftp + "/n/")[:2], (0, b"seen.txt\n"))
        self.assertEqual(run("ls", "--netrc-file", netrc, "-u", USER + ":bad",
                             self.ftp + "/n/")[0], 1)

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
