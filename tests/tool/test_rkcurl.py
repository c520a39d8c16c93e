#!/usr/bin/python3
"""Tests of the rkcurl tool against real local servers.

usage: test_rkcurl.py RKCURL SCRIPTS_DIR GROUP [VSFTPD_HELPER]
GROUP is one of the TestCase classes below; Ftps needs VSFTPD_HELPER, the program that runs the
FTP tests' vsftpd. Exit status 77 means skipped.
"""
import json
import os
import pty
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

RKCURL = ""
SCRIPTS = ""
VSFTPD_HELPER = ""
USER = "tester"
PASSWORD = "Pw-7f3a9c-secret"


class Server:
    """A server script that prints its port first; stopped by stop() and at exit."""

    def __init__(self, script, *args):
        self.log = tempfile.TemporaryFile(mode="w+")
        self.process = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(SCRIPTS, script), *args],
            stdout=subprocess.PIPE, stderr=self.log, text=True)
        line = self.process.stdout.readline().strip()
        if not line.isdigit():
            self.stop()
            raise RuntimeError("%s did not start" % script)
        self.port = int(line)

    def log_text(self):
        self.log.seek(0)
        return self.log.read()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self.log.close()


def make_certificates(directory):
    """A CA and a certificate it signed for 127.0.0.1; returns the CA, certificate and key."""
    ca, ca_key = os.path.join(directory, "ca.pem"), os.path.join(directory, "ca-key.pem")
    cert, key = os.path.join(directory, "server.pem"), os.path.join(directory, "server-key.pem")
    request, extensions = os.path.join(directory, "server.csr"), os.path.join(directory, "ext")
    with open(extensions, "w") as out:
        out.write("subjectAltName=IP:127.0.0.1\n")
    for command in (
            ["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
             "/CN=rkcurl test CA", "-keyout", ca_key, "-out", ca],
            ["req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout", key,
             "-out", request],
            ["x509", "-req", "-in", request, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial",
             "-days", "1", "-extfile", extensions, "-out", cert]):
        subprocess.run(["openssl", *command], check=True, capture_output=True)
    return ca, cert, key


def run(*args, stdin=None, **kwargs):
    """Runs rkcurl; returns (status, stdout bytes, stderr text)."""
    result = subprocess.run([RKCURL, *args], input=stdin, capture_output=True, timeout=120,
                            **kwargs)
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


class ServerCase(unittest.TestCase):
    """Starts an FTP server (user USER, PASSWORD) and an HTTP server for the class."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="rkcurl-tool-")
        cls.ftp_root = os.path.join(cls.work, "ftp")
        cls.http_root = os.path.join(cls.work, "http")
        cls.local = os.path.join(cls.work, "local")
        for path in (cls.ftp_root, cls.http_root, cls.local):
            os.makedirs(path)
        cls.ftp_server = Server("demo-ftp-server.py", cls.ftp_root, USER, PASSWORD)
        cls.http_server = Server("demo-http-server.py", cls.http_root, "--auth", USER, PASSWORD)
        cls.ftp = "ftp://127.0.0.1:%d" % cls.ftp_server.port
        cls.http = "http://127.0.0.1:%d" % cls.http_server.port
        cls.auth = ["-u", "%s:%s" % (USER, PASSWORD)]

    @classmethod
    def tearDownClass(cls):
        cls.ftp_server.stop()
        cls.http_server.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def write(self, root, relative, data):
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
        return path

    def read(self, path):
        with open(path, "rb") as source:
            return source.read()

    def assertFails(self, result, status, pattern):
        self.assertEqual(result[0], status, result)
        lines = result[2].strip().splitlines()
        self.assertEqual(len(lines), 1, result[2])
        # Every failure names the subcommand that failed.
        self.assertRegex(lines[0], "^rkcurl: [a-z-]+: " + pattern)


class CommandLine(unittest.TestCase):
    """Help texts and usage errors: no server needed."""

    COMMANDS = ["ls", "get", "put", "mkdir", "rm", "rmdir", "pwd", "quote", "page", "soap",
                "download", "upload", "post-buffer", "buffer"]

    def test_help_of_every_command(self):
        status, out, _ = run("--help")
        self.assertEqual(status, 0)
        overview = out.decode()
        for command in self.COMMANDS:
            self.assertRegex(overview, r"\n  %s +\S" % re.escape(command))
            for form in (["--help"], ["-h"]):
                status, out, err = run(command, *form)
                self.assertEqual((status, err), (0, ""), command)
                text = out.decode()
                self.assertTrue(text.startswith("Usage: rkcurl %s " % command), text)
                self.assertIn("-k, --insecure accept ANY server certificate",
                              " ".join(text.split()))
                self.assertIn("Exit status", text)
            self.assertEqual(run("help", command)[1], run(command, "--help")[1])

    def test_guide_and_completion_know_every_option(self):
        # The guide is also the manual page; the completion offers the same options.
        repo = os.path.dirname(os.path.abspath(SCRIPTS))
        with open(os.path.join(repo, "docs", "rkcurl.md")) as source:
            guide = source.read()
        with open(os.path.join(repo, "tools", "rkcurl.bash-completion")) as source:
            completion = source.read()
        options = set()
        for command in self.COMMANDS:
            options |= set(re.findall(r"(?<![\w-])--[a-z][a-z-]+", run(command, "--help")[1]
                                      .decode()))
        self.assertIn("--retry", options)
        for option in sorted(options):
            word = r"(?<![\w-])%s(?![\w-])" % re.escape(option)
            self.assertTrue(re.search(word, guide), option)
            self.assertTrue(re.search(word, completion), option)
        self.assertEqual(subprocess.run(["bash", "-n", os.path.join(repo, "tools",
                                                                     "rkcurl.bash-completion")])
                         .returncode, 0)

    def test_usage_errors_exit_2(self):
        cases = [
            (["frobnicate"], "unknown command"),
            (["ls", "--bogus", "ftp://h/"], "ls: unknown option --bogus"),
            (["get", "-o"], "option -o needs a value"),
            (["ls"], "missing operand"),
            (["rmdir", "ftp://h/a", "ftp://h/b"], "too many operands"),
            (["get", "-o", "a", "-o", "b", "ftp://h/a"], "more -o options than URLs"),
            (["get", "-O", "ftp://h/"], "-O finds no file name"),
            (["put", "a", "b", "ftp://h/dir"], "several files needs a directory URL"),
            (["ls", "-m", "soon", "ftp://h/"], "--max-time wants seconds"),
            (["ls", "--retry", "-1", "ftp://h/"], "--retry wants a count"),
            (["ls", "ftp://u:" + PASSWORD + "@[::1/"], "bad URL"),
            (["ls", "gopher://h/"], "bad URL: unsupported scheme"),
            (["ls", "http://h/"], "needs an ftp:// or ftps:// URL"),
            (["page", "ftp://h/"], "needs an http:// or https:// URL"),
            (["rm", "ftp://h/"], "names no file or directory"),
            (["page", "http://h/", "-F", "novalue"], "-F wants name=value"),
            (["buffer", "http://h/", "--max", "-1"], "--max wants a byte count"),
            (["download", "http://h/"], "download needs -o FILE or -O"),
            (["get", "-C", "-", "-o", "f", "http://h/f"], "-C - resumes FTP downloads only"),
            (["get", "-C", "-", "ftp://h/f"], "-C - needs a local file"),
            (["get", "-o", "", "ftp://h/f"], "-o needs a file name"),
            (["download", "--output=", "http://h/f"], "-o needs a file name"),
            (["get", "-C", "-", "-o", "f", "h/f"], "-C - resumes FTP downloads only"),
            (["get", "-C", "100", "-o", "f", "ftp://h/f"], "-C takes only -"),
            (["put", "--continue-at=7", "f", "ftp://h/"], "-C takes only -"),
        ]
        for args, message in cases:
            status, out, err = run(*args)
            self.assertEqual(status, 2, (args, err))
            self.assertEqual(out, b"")
            self.assertRegex(err, "^rkcurl: .*" + message, args)
            self.assertNotIn(PASSWORD, err)

    def test_missing_local_file_exits_3(self):
        status, _, err = run("put", "/nonexistent/file", "ftp://127.0.0.1:9/")
        self.assertEqual(status, 3)
        self.assertIn("cannot read /nonexistent/file", err)
        status, _, err = run("upload", "http://127.0.0.1:9/", "/nonexistent/file")
        self.assertEqual(status, 3)
        for args in (["put", "/tmp", "ftp://127.0.0.1:9/"],
                     ["upload", "http://127.0.0.1:9/", "/tmp"]):
            status, _, err = run(*args)
            self.assertEqual(status, 3)
            self.assertIn("cannot read /tmp: Is a directory", err)

    def test_refused_connection_is_one_line_with_both_codes(self):
        status, out, err = run("page", "http://127.0.0.1:9/")
        self.assertEqual((status, out), (1, b""))
        self.assertRegex(err, r"^rkcurl: page: RKERR_PERFORM \(2509\) curl 7: Couldn't connect"
                              r"[^\n]*\n$")


class Ftp(ServerCase):
    def test_ls_names_long_and_json(self):
        self.write(self.ftp_root, "ls/a.txt", b"12345")
        self.write(self.ftp_root, "ls/sub/inner.txt", b"x")
        os.symlink("a.txt", os.path.join(self.ftp_root, "ls/link"))
        status, out, err = run("ls", *self.auth, self.ftp + "/ls")
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(sorted(out.decode().splitlines()), ["a.txt", "link", "sub/"])

        status, out, _ = run("ls", "--long", *self.auth, self.ftp + "/ls/")
        rows = {line.split()[-1]: line.split() for line in out.decode().splitlines()}
        self.assertEqual(rows["a.txt"][:2], ["file", "5"])
        self.assertEqual(rows["sub"][0], "dir")
        self.assertEqual(rows["link"][0], "link")
        self.assertRegex(rows["a.txt"][2] + " " + rows["a.txt"][3],
                         r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$")

        status, out, _ = run("ls", "--json", *self.auth, self.ftp + "/ls")
        entries = {e["name"]: e for e in json.loads(out)}
        self.assertEqual(entries["a.txt"]["kind"], "file")
        self.assertEqual(entries["a.txt"]["size"], 5)
        self.assertEqual(entries["sub"]["kind"], "dir")
        self.assertRegex(entries["a.txt"]["modified"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d$")

        odd = 'quote" back\\slash tab\t ü'
        self.write(self.ftp_root, "odd/" + odd, b"")
        status, out, _ = run("ls", "--json", *self.auth, self.ftp + "/odd")
        self.assertEqual([e["name"] for e in json.loads(out)], [odd])

        os.makedirs(os.path.join(self.ftp_root, "empty"))
        self.assertEqual(run("ls", "--json", *self.auth, self.ftp + "/empty")[:2], (0, b"[]\n"))
        self.assertFails(run("ls", *self.auth, self.ftp + "/missing"), 1,
                         r"RKERR_GET_FILE \(2517\) curl 9: ")

    def test_ls_mlsd_and_hidden_entries(self):
        path = self.write(self.ftp_root, "ml/.dot", b"123456789")
        stamp = 981173106  # 2001-02-03 04:05:06 UTC: LIST shows only the day for an old file
        os.utime(path, (stamp, stamp))
        # (options, command on the wire, modified)
        cases = [([], "LIST", "2001-02-03T00:00:00"), (["-a"], "LIST -a", None),
                 (["--mlsd"], "MLSD", "2001-02-03T04:05:06"),
                 (["--mlsd", "--all"], "MLSD", "2001-02-03T04:05:06")]
        for options, command, modified in cases:
            status, out, err = run("ls", "--json", "-v", *options, *self.auth, self.ftp + "/ml")
            self.assertEqual(status, 0, err)
            self.assertRegex(err, r"(?m)^> %s\r?$" % command, options)
            entries = json.loads(out)  # this server shows dot files whatever LIST is asked
            self.assertEqual([(e["name"], e["size"]) for e in entries], [(".dot", 9)])
            if modified:
                self.assertEqual(entries[0]["modified"], modified, options)
        # rm -r lists hidden entries, always with LIST.
        self.write(self.ftp_root, "ml/sub/.hidden", b"h")
        status, _, err = run("rm", "-r", "-v", *self.auth, self.ftp + "/ml")
        self.assertEqual(status, 0, err)
        self.assertRegex(err, r"(?m)^> LIST -a\r?$")
        self.assertIn("> DELE .hidden", err)
        self.assertNotIn("> MLSD", err)
        self.assertFalse(os.path.exists(os.path.join(self.ftp_root, "ml")))

    def test_put_and_get_round_trip(self):
        data = bytes(range(256)) * 400
        local = self.write(self.local, "blob.bin", data)
        os.makedirs(os.path.join(self.ftp_root, "up"))
        status, _, err = run("put", *self.auth, local, self.ftp + "/up/")
        self.assertEqual(status, 0, err)
        self.assertIn("uploaded", err)
        self.assertEqual(self.read(os.path.join(self.ftp_root, "up/blob.bin")), data)
        self.assertEqual(run("put", "-q", *self.auth, local, self.ftp + "/up/other.bin")[::2],
                         (0, ""))
        self.assertEqual(self.read(os.path.join(self.ftp_root, "up/other.bin")), data)

        target = os.path.join(self.local, "back.bin")
        status, out, err = run("get", *self.auth, self.ftp + "/up/blob.bin", "-o", target)
        self.assertEqual((status, out), (0, b""), err)
        self.assertEqual(self.read(target), data)
        self.assertEqual(run("get", *self.auth, self.ftp + "/up/other.bin")[:2], (0, data))
        self.assertFails(run("get", *self.auth, self.ftp + "/up/none.bin"), 1,
                         r"RKERR_GET_FILE \(2517\) curl 78: ")

        # A URL is percent-encoded text; the names it stands for reach the server as names.
        self.write(self.ftp_root, "New folder/#x%41", b"odd")
        self.write(self.ftp_root, "New folder/#xA", b"plain")
        self.assertEqual(run("get", *self.auth, self.ftp + "/New%20folder/%23x%2541")[:2],
                         (0, b"odd"))
        self.assertFails(run("put", *self.auth, local, self.ftp + "/no/such/dir/"), 1,
                         r"RKERR_PERFORM \(2509\) curl \d+: ")

    def test_get_streams_to_disk_in_little_memory(self):
        size = 200 * 1024 * 1024
        with open(os.path.join(self.ftp_root, "large.bin"), "wb") as out:
            out.truncate(size)  # sparse: no disk space on the server's side
        with open(RKCURL, "rb") as program:
            sanitized = b"__asan_init" in program.read()
        # Held in memory the file alone would take 200 MiB.
        bound = (192 if sanitized else 64) * 1024 * 1024
        target = os.path.join(self.local, "large.bin")
        for output, sink in ((["-o", target], None), ([], subprocess.DEVNULL)):
            process = subprocess.Popen([RKCURL, "get", "-q", *self.auth, self.ftp + "/large.bin",
                                        *output], stdout=sink)
            _, status, usage = os.wait4(process.pid, 0)
            process.returncode = os.waitstatus_to_exitcode(status)
            self.assertEqual(process.returncode, 0, output)
            self.assertLess(usage.ru_maxrss * 1024, bound, output)
        self.assertEqual(os.path.getsize(target), size)
        os.unlink(target)

    def test_resume_continues_a_partial_file(self):
        data = os.urandom(300000)
        self.write(self.ftp_root, "resume/data.bin", data)
        local = os.path.join(self.local, "resumed.bin")
        # Local part (None: no file yet), then what the trace must not show.
        for part, unsent in ((None, None), (100000, None), (299999, None), (300000, "RETR")):
            if os.path.exists(local):
                os.unlink(local)
            if part is not None:
                self.write(self.local, "resumed.bin", data[:part])
            status, _, err = run("get", "-v", "-C", "-", *self.auth, self.ftp + "/resume/data.bin",
                                 "-o", local)
            self.assertEqual(status, 0, err)
            self.assertEqual(self.read(local), data, part)
            if unsent:
                self.assertNotRegex(err, r"(?m)^> %s" % unsent)
                self.assertIn("is complete already (300000 bytes)", err)
        # The progress line counts the whole file, and says where it resumed.
        self.write(self.local, "resumed.bin", data[:100000])
        status, _, err = run("get", "-#", "-C", "-", *self.auth, self.ftp + "/resume/data.bin",
                             "-o", local, env=dict(os.environ, COLUMNS="120"))
        self.assertEqual((status, self.read(local)), (0, data), err)
        lines = [line for line in err.splitlines() if "%" in line]
        self.assertRegex(lines[-1], r"^data\.bin +\[#+\] 100%  293\.0 KiB / 293\.0 KiB "
                                    r"\(resumed at 97\.7 KiB\)  ")
        self.assertRegex(err, r"(?m)^data\.bin: 195\.3 KiB in .*, resumed at 97\.7 KiB$")
        remote = os.path.join(self.ftp_root, "resume/up.bin")
        source = self.write(self.local, "up.bin", data)
        for part, unsent in ((None, None), (123456, None), (300000, "(STOR|APPE)")):
            if os.path.exists(remote):
                os.unlink(remote)
            if part is not None:
                self.write(self.ftp_root, "resume/up.bin", data[:part])
            status, _, err = run("put", "-v", "--continue-at", "-", *self.auth, source,
                                 self.ftp + "/resume/")
            self.assertEqual(status, 0, err)
            self.assertEqual(self.read(remote), data, part)
            if unsent:
                self.assertNotRegex(err, r"(?m)^> %s" % unsent)
        # A local file longer than the remote one is not cut back.
        self.write(self.local, "resumed.bin", data + b"more")
        self.assertFails(run("get", "-C", "-", *self.auth, self.ftp + "/resume/data.bin", "-o",
                             local), 1, r"RKERR_GET_FILE \(2517\) curl 36: ")
        self.assertEqual(self.read(local), data + b"more")
        # A resume of a missing remote file leaves no empty local file behind.
        os.unlink(local)
        self.assertFails(run("get", "-C", "-", *self.auth, self.ftp + "/resume/none.bin", "-o",
                             local), 1, r"RKERR_GET_FILE \(2517\) curl 78: ")
        self.assertFalse(os.path.exists(local))

    def test_mkdir_with_and_without_parents(self):
        base = self.ftp + "/mk"
        self.assertEqual(run("mkdir", *self.auth, base)[0], 0)
        self.assertTrue(os.path.isdir(os.path.join(self.ftp_root, "mk")))
        # Without -p: an existing directory and a missing parent are failures.
        self.assertFails(run("mkdir", *self.auth, base), 1, r"RKERR_COMMAND \(2513\) curl 21: ")
        self.assertFails(run("mkdir", *self.auth, base + "/a/b"), 1, r"RKERR_PERFORM \(2509\) ")
        self.assertFalse(os.path.exists(os.path.join(self.ftp_root, "mk/a")))
        # With -p: the whole path, and again without complaint.
        for _ in range(2):
            self.assertEqual(run("mkdir", "-p", *self.auth, base + "/a/b/c")[0], 0)
        self.assertTrue(os.path.isdir(os.path.join(self.ftp_root, "mk/a/b/c")))

    def test_rm_and_rmdir(self):
        self.write(self.ftp_root, "del/f.txt", b"f")
        self.write(self.ftp_root, "del/full/g.txt", b"g")
        os.makedirs(os.path.join(self.ftp_root, "del/empty"))
        self.assertEqual(run("rm", *self.auth, self.ftp + "/del/f.txt")[0], 0)
        self.assertFalse(os.path.exists(os.path.join(self.ftp_root, "del/f.txt")))
        self.assertFails(run("rm", *self.auth, self.ftp + "/del/f.txt"), 1,
                         r"RKERR_DELETE_FILE \(2511\) curl 21: ")
        self.assertFails(run("rmdir", *self.auth, self.ftp + "/del/full"), 1,
                         r"RKERR_REMOVE_DIR \(2518\) ")
        self.assertEqual(run("rmdir", *self.auth, self.ftp + "/del/empty/")[0], 0)
        self.assertEqual(sorted(os.listdir(os.path.join(self.ftp_root, "del"))), ["full"])

    def test_rm_recursive_removes_the_tree_but_not_through_links(self):
        # The link points outside the tree but inside the server's root (the server refuses to
        # touch anything whose real path leaves its root, links included).
        outside = self.write(self.ftp_root, "kept/keep.txt", b"keep")
        for name in ("tree/a.txt", "tree/s1/b.txt", "tree/s1/s2/c.txt", "tree/s3/d.txt"):
            self.write(self.ftp_root, name, b"x")
        os.symlink(os.path.dirname(outside), os.path.join(self.ftp_root, "tree/s1/outlink"))
        self.write(self.ftp_root, "solo.txt", b"s")
        before = self.ftp_server.log_text().count("login ")
        status, _, err = run("rm", "-r", *self.auth, self.ftp + "/tree")
        self.assertEqual(status, 0, err)
        self.assertFalse(os.path.exists(os.path.join(self.ftp_root, "tree")))
        self.assertEqual(self.read(outside), b"keep")
        # Connection reuse is on: the whole walk runs on one login.
        self.assertEqual(self.ftp_server.log_text().count("login ") - before, 1)
        # rm -r of a file deletes the file; of nothing, says so.
        self.assertEqual(run("rm", "-r", *self.auth, self.ftp + "/solo.txt")[0], 0)
        self.assertFalse(os.path.exists(os.path.join(self.ftp_root, "solo.txt")))
        self.assertFails(run("rm", "-r", *self.auth, self.ftp + "/tree"), 1,
                         "no such file or directory")

    def test_no_reuse_logs_in_for_every_request(self):
        for name in ("nr/a.txt", "nr/s/b.txt"):
            self.write(self.ftp_root, name, b"x")
        before = self.ftp_server.log_text().count("login ")
        self.assertEqual(run("rm", "-r", "--no-reuse", *self.auth, self.ftp + "/nr")[0], 0)
        self.assertGreater(self.ftp_server.log_text().count("login ") - before, 1)
        self.assertFalse(os.path.exists(os.path.join(self.ftp_root, "nr")))

    def test_failures_name_the_command_and_quote_the_server(self):
        os.makedirs(os.path.join(self.ftp_root, "fail/there"))
        cases = [
            (["mkdir", self.ftp + "/fail/there"], r"RKERR_COMMAND \(2513\) curl 21: "),
            (["ls", self.ftp + "/fail/none"], r"RKERR_GET_FILE \(2517\) curl 9: "),
            (["rm", self.ftp + "/fail/none.txt"], r"RKERR_DELETE_FILE \(2511\) curl 21: "),
            (["rmdir", self.ftp + "/fail"], r"RKERR_REMOVE_DIR \(2518\) "),
            (["get", self.ftp + "/fail/none.txt"], r"RKERR_GET_FILE \(2517\) "),
        ]
        for args, pattern in cases:
            status, _, err = run(args[0], *self.auth, *args[1:])
            self.assertEqual(status, 1, (args, err))
            self.assertRegex(err, "^rkcurl: %s: %s.*; server: 5\\d\\d \\S.*\n$"
                             % (args[0], pattern))

    def test_pwd_and_quote(self):
        os.makedirs(os.path.join(self.ftp_root, "q/inner"))
        self.write(self.ftp_root, "q/six.txt", b"123456")
        self.assertEqual(run("pwd", *self.auth, self.ftp + "/q/inner")[:2], (0, b"/q/inner/\n"))
        status, out, err = run("quote", *self.auth, self.ftp + "/q/", "TYPE I", "SIZE six.txt")
        self.assertEqual(status, 0, err)
        self.assertIn(b"213 6", out)
        status, out, _ = run("quote", "--post", *self.auth, self.ftp + "/q/", "MKD made")
        self.assertEqual(status, 0)
        self.assertTrue(os.path.isdir(os.path.join(self.ftp_root, "q/made")))
        result = run("quote", *self.auth, self.ftp + "/q/", "NOSUCHCOMMAND")
        self.assertIn(b"500 ", result[1])
        self.assertFails(result, 1, r"RKERR_COMMAND \(2513\) curl 21: ")

    def test_secure_against_a_plain_server_fails(self):
        self.assertFails(run("ls", "--secure", *self.auth, self.ftp + "/"), 1,
                         r"RKERR_GET_FILE \(2517\) curl \d+: ")
        self.assertFails(run("ls", *self.auth, "ftps://127.0.0.1:%d/" % self.ftp_server.port),
                         1, r"RKERR_GET_FILE \(2517\) ")

    def test_progress_bar_only_when_asked_or_on_a_terminal(self):
        self.write(self.ftp_root, "p/data.bin", b"z" * 300000)
        target = os.path.join(self.local, "p.bin")
        _, _, err = run("get", *self.auth, self.ftp + "/p/data.bin", "-o", target)
        self.assertNotIn("%", err)
        for force in ("--progress", "-#", "--progress-bar"):
            _, _, err = run("get", force, *self.auth, self.ftp + "/p/data.bin", "-o", target)
            # Into a file: whole lines, no carriage returns, one summary at the end.
            self.assertNotIn("\r", err)
            self.assertRegex(err, r"\ndata\.bin: 293\.0 KiB in 0:\d\d \([\d.]+ \w+/s\)\n"
                                  r"saved 300000 bytes")
        self.assertEqual(run("get", "-q", *self.auth, self.ftp + "/p/data.bin", "-o", target)[2],
                         "")


class Http(ServerCase):
    def test_page_posts_the_fields_in_name_order(self):
        status, out, err = run("page", self.http + "/form", "-F", "zeta=1", "-F", "alpha=2",
                               "-F", "text=a b&c")
        self.assertEqual(status, 0, err)
        self.assertEqual(out.decode().splitlines(),
                         ["method=POST", "submit=send", "alpha=2", "text=a b&c", "zeta=1"])
        self.assertFails(run("page", self.http + "/nothing"), 1,
                         r"RKERR_PERFORM \(2509\) curl 22: .*404")

    def test_soap_body_header_get_and_redirect(self):
        status, out, _ = run("soap", self.http + "/soap", "--data", "<a/>", "--header",
                             "SOAPAction: urn:test")
        self.assertEqual((status, out), (0, b'<echo method="POST" action="urn:test"><a/></echo>\n'))
        body = self.write(self.local, "body.xml", b"<from-file/>")
        status, out, _ = run("soap", self.http + "/soap", "--data", "@" + body)
        self.assertEqual(out, b'<echo method="POST" action=""><from-file/></echo>\n')
        status, out, _ = run("soap", self.http + "/redirect")
        self.assertEqual((status, out), (0, b'<echo method="GET" action=""></echo>\n'))
        self.assertEqual(run("soap", self.http + "/soap", "--data", "@/no/file")[0], 3)

    def test_download_replaces_or_appends(self):
        data = os.urandom(200000)
        self.write(self.http_root, "files/d.bin", data)
        target = self.write(self.local, "d.bin", b"old contents")
        status, _, err = run("download", self.http + "/files/d.bin", "-o", target)
        self.assertEqual(status, 0, err)
        self.assertEqual(self.read(target), data)
        status, _, err = run("download", self.http + "/files/d.bin", "-o", target, "--append")
        self.assertEqual(status, 0, err)
        self.assertIn("appended 200000 bytes", err)
        self.assertEqual(self.read(target), data + data)
        self.assertFails(run("download", self.http + "/files/d.bin", "-o", "/no/dir/x"), 3,
                         r"cannot write /no/dir/x: No such file or directory")

    def test_upload_file_and_standard_input(self):
        data = os.urandom(50000)
        local = self.write(self.local, "up.bin", data)
        status, out, err = run("upload", self.http + "/upload", local)
        self.assertEqual(status, 0, err)
        self.assertIn(b"(field FileField)", out)
        self.assertEqual(self.read(os.path.join(self.http_root, "uploads/up.bin")), data)
        status, out, _ = run("upload", self.http + "/form", local, "--field", "doc", "-F", "k=v")
        self.assertEqual(out.decode().splitlines(),
                         ["method=POST", "doc: file up.bin, 50000 bytes", "submit=send", "k=v"])
        status, out, _ = run("post-buffer", self.http + "/form", "-F", "n=1", stdin=b"\x00abc\xff")
        self.assertEqual(out.decode().splitlines(),
                         ["method=POST", "file_buffer: file file_buffer, 5 bytes", "submit=send",
                          "n=1"])

    def test_buffer_holds_at_most_max_bytes(self):
        self.write(self.http_root, "files/ten.txt", b"0123456789")
        self.assertEqual(run("buffer", self.http + "/files/ten.txt", "--max", "10")[:2],
                         (0, b"0123456789"))
        self.assertFails(run("buffer", self.http + "/files/ten.txt", "--max", "9"), 1,
                         r"RKERR_PERFORM \(2509\) curl 23: ")

    def test_https_is_verified_unless_insecure(self):
        if shutil.which("openssl") is None:
            self.skipTest("openssl is not installed")
        ca, cert, key = make_certificates(self.work)
        server = Server("demo-http-server.py", self.http_root, "--tls", cert, key)
        try:
            https = "https://127.0.0.1:%d" % server.port
            http_secure = "http://127.0.0.1:%d" % server.port
            # Checked by default: a certificate from an unknown CA is refused.
            self.assertFails(run("page", https + "/form"), 1,
                             r"RKERR_PERFORM \(2509\) curl 60: ")
            for args in (["page", "-k", https + "/form"],
                         ["page", "--insecure", "--secure", http_secure + "/form"],
                         ["page", "--cacert", ca, https + "/form"]):
                status, out, err = run(*args, "-F", "t=1")
                self.assertEqual(status, 0, (args, err))
                self.assertEqual(out.decode().splitlines(), ["method=POST", "submit=send", "t=1"])
            self.write(self.http_root, "files/tls.txt", b"verified")
            target = os.path.join(self.local, "tls.txt")
            status, _, err = run("get", "--cacert", ca, https + "/files/tls.txt", "-o", target)
            self.assertEqual(status, 0, err)
            self.assertEqual(self.read(target), b"verified")
            # Without TLS the same server answers nothing useful.
            self.assertEqual(run("page", http_secure + "/form")[0], 1)
        finally:
            server.stop()

    def test_ctrl_c_stops_a_transfer_cleanly(self):
        self.write(self.http_root, "files/big.bin", b"b" * 20000000)
        target = self.write(self.local, "big.bin", b"before")
        process = subprocess.Popen([RKCURL, "download", self.http + "/slow/files/big.bin",
                                    "-o", target], stderr=subprocess.PIPE, text=True)
        deadline = time.time() + 20

        def partial():
            return [name for name in os.listdir(self.local) if name.startswith(".big.bin.")]

        while (not partial() or os.path.getsize(os.path.join(self.local, partial()[0])) == 0) \
                and time.time() < deadline:
            time.sleep(0.05)
        process.send_signal(signal.SIGINT)
        _, err = process.communicate(timeout=30)
        self.assertEqual(process.returncode, 130, err)
        self.assertEqual(err.strip().splitlines()[-1], "rkcurl: interrupted")
        # The file as it was, and no partial download left beside it.
        self.assertEqual(self.read(target), b"before")
        self.assertEqual(partial(), [])


class Secrets(ServerCase):
    """The password never appears in output, error lines, the log or the verbose trace."""

    def check_clean(self, result, log):
        for text in (result[1].decode("utf-8", "replace"), result[2], log):
            self.assertNotIn(PASSWORD, text)

    def test_password_stays_out_of_messages_and_logs(self):
        self.write(self.ftp_root, "s/a.txt", b"a")
        self.write(self.http_root, "p.txt", b"p")
        log = os.path.join(self.local, "log.txt")
        wrong = ["-u", USER + ":" + PASSWORD + "x"]
        url_auth = "ftp://%s:%s@127.0.0.1:%d" % (USER, PASSWORD, self.ftp_server.port)
        http_auth = "http://%s:%s@127.0.0.1:%d" % (USER, PASSWORD, self.http_server.port)
        cases = [
            (0, ["ls", *self.auth, self.ftp + "/s/"]),
            (0, ["ls", url_auth + "/s/"]),
            (1, ["ls", *wrong, self.ftp + "/s/"]),
            (1, ["get", url_auth + "/s/missing"]),
            (0, ["put", os.path.join(self.ftp_root, "s/a.txt"), url_auth + "/s/b.txt"]),
            (1, ["rm", "-r", url_auth + "/nothing"]),
            (0, ["page", http_auth + "/private/p.txt"]),
            (1, ["page", *wrong, self.http + "/private/p.txt"]),
            (1, ["download", http_auth + "/private/none", "-o", os.path.join(self.local, "x")]),
        ]
        for expected, args in cases:
            for extra in ([], ["-v"]):
                result = run("--log", log, *extra, *args)
                self.assertEqual(result[0], expected, (args, result[2]))
                with open(log) as source:
                    records = source.read()
                self.assertTrue(records, args)
                self.check_clean(result, records)
                if extra:
                    self.assertIn("***", result[2], args)

    def test_trace_masks_the_login_and_nothing_else(self):
        # A one-letter password is in every other word of the trace; only the login is masked.
        root = os.path.join(self.work, "short")
        os.makedirs(root)
        server = Server("demo-ftp-server.py", root, "u", "e")
        try:
            status, _, err = run("ls", "-v", "-u", "u:e", "ftp://127.0.0.1:%d/" % server.port)
        finally:
            server.stop()
        self.assertEqual(status, 0, err)
        self.assertRegex(err, r"(?m)^> PASS \*\*\*\r?$")
        self.assertIn("> USER u", err)
        self.assertIn("Entering extended passive mode", err)
        self.assertEqual(err.count("***"), 1, err)
        # HTTP: the header keeps its scheme word.
        self.write(self.http_root, "q.txt", b"q")  # /private/ asks for the login
        status, _, err = run("page", "-v", *self.auth, self.http + "/private/q.txt")
        self.assertEqual(status, 0, err)
        self.assertRegex(err, r"(?m)^(> )?Authorization: Basic \*\*\*\r?$")
        self.assertNotIn(PASSWORD, err)

    def test_log_lines_carry_severity_file_and_line(self):
        log = os.path.join(self.local, "format.txt")
        self.assertEqual(run("--log", log, "ls", *self.auth, self.ftp + "/missing")[0], 1)
        with open(log) as source:
            lines = source.read().splitlines()
        for line in lines:
            self.assertRegex(line, r"^(ENTER|LEAVE|MSG|TRACE|INFO|WARNING|ERROR|FATAL) \S+:\d+ ")
        self.assertIn("ENTER -:0 CRFTP::FindFirstFileW", lines)
        self.assertIn("ERROR Connection:253 Error Code : Error Desc", lines)
        self.assertTrue(any(" | " in line for line in lines if "Extended Error 9" in line))
        _, _, err = run("ls", "--log", "-", *self.auth, self.ftp + "/")
        self.assertIn("LEAVE -:0 CRFTP::FindFirstFileW", err)
        self.assertEqual(run("ls", "--log", "/no/dir/log", self.ftp + "/")[0], 3)

    def test_password_prompt_on_the_terminal_without_echo(self):
        self.write(self.ftp_root, "t/seen.txt", b"t")
        master, slave = os.openpty()

        def controlling_terminal():
            import fcntl
            import termios
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        process = subprocess.Popen([RKCURL, "ls", "-u", USER, self.ftp + "/t/"], stdin=slave,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   start_new_session=True, preexec_fn=controlling_terminal)
        os.close(slave)
        shown = b""
        while b"Password for tester@127.0.0.1:" not in shown:
            shown += os.read(master, 1024)
        os.write(master, PASSWORD.encode() + b"\n")
        out, err = process.communicate(timeout=30)
        try:
            while True:
                shown += os.read(master, 1024)
        except OSError:
            pass
        os.close(master)
        self.assertEqual((process.returncode, out), (0, b"seen.txt\n"), err)
        self.assertNotIn(PASSWORD.encode(), shown)

    def test_no_terminal_for_the_prompt_is_a_usage_error(self):
        status, _, err = run("ls", "-u", USER, self.ftp + "/", start_new_session=True,
                             stdin=b"")
        self.assertEqual(status, 2)
        self.assertIn("no terminal to ask on", err)


class SilentServer:
    """Accepts TCP connections and never says a word: every request on it hangs."""

    def __init__(self):
        import socket
        self.socket = socket.socket()
        self.socket.bind(("127.0.0.1", 0))
        self.socket.listen(16)
        self.port = self.socket.getsockname()[1]
        self.accepted = []
        import threading
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        try:
            while True:
                self.accepted.append(self.socket.accept()[0])
        except OSError:
            pass

    def stop(self):
        self.socket.close()
        for connection in self.accepted:
            connection.close()


class Options(ServerCase):
    """The curl-style options: their effect on the wire, on files and on messages."""

    def retries(self, err):
        return len(re.findall(r"^rkcurl: \w+: transient failure, retry \d+ of \d+", err, re.M))

    def test_time_limits_end_a_silent_or_slow_transfer(self):
        silent = SilentServer()
        try:
            for args in (["get", "-m", "1", "http://127.0.0.1:%d/x" % silent.port],
                         ["ls", "--connect-timeout", "1", "ftp://127.0.0.1:%d/" % silent.port]):
                started = time.time()
                self.assertFails(run(*args), 1, r"RKERR_\w+ \(\d+\) curl 28: ")
                self.assertLess(time.time() - started, 10, args)
        finally:
            silent.stop()
        self.write(self.http_root, "files/slow.bin", b"s" * 8000000)
        self.assertFails(run("get", "--speed-limit", "100000000", "--speed-time", "1",
                             self.http + "/slow/files/slow.bin", "-o",
                             os.path.join(self.local, "slow.bin")), 1, r".* curl 28: ")

    def test_plain_get_headers_and_redirects(self):
        status, out, err = run("get", "-H", "X-Test: one", "-H", "X-Other: two",
                               self.http + "/headers")
        self.assertEqual(status, 0, err)
        lines = out.decode().splitlines()
        self.assertEqual(lines[0], "method=GET")
        self.assertIn("X-Test: one", lines)
        self.assertIn("X-Other: two", lines)
        target = os.path.join(self.local, "form.txt")
        self.assertEqual(run("download", "-q", self.http + "/form", "-o", target)[0], 0)
        self.assertEqual(self.read(target), b"method=GET\n")
        self.assertEqual(run("download", "-q", self.http + "/form", "-o", target, "-F", "a=1")[0],
                         0)
        self.assertEqual(self.read(target), b"method=POST\nsubmit=send\na=1\n")
        # Without -L the redirect itself is the (empty) answer; with it, its target.
        self.assertEqual(run("get", self.http + "/redirect")[:2], (0, b""))
        self.assertEqual(run("get", "-L", self.http + "/redirect")[:2],
                         (0, b'<echo method="GET" action=""></echo>\n'))
        self.assertEqual(run("get", "-L", "--max-redirs", "1", self.http + "/redirect")[0], 0)

    def test_proxy_and_noproxy(self):
        self.write(self.http_root, "files/p.txt", b"through the proxy")
        proxy = "http://127.0.0.1:%d" % self.http_server.port
        status, out, err = run("get", "-x", proxy, "http://proxied.invalid/files/p.txt")
        self.assertEqual((status, out), (0, b"through the proxy"), err)
        status, out, _ = run("get", "--proxy", proxy, "http://proxied.invalid/headers")
        self.assertIn(b"X-Via-Proxy: 1", out)
        # --noproxy for this host (or *) goes direct, the environment's proxy too.
        env = dict(os.environ, http_proxy=proxy)
        self.assertEqual(run("get", "http://proxied.invalid/files/p.txt", env=env)[1],
                         b"through the proxy")
        for hosts in ("*", "other.example,proxied.invalid", ".invalid"):
            self.assertFails(run("get", "-x", proxy, "--noproxy", hosts,
                                 "http://proxied.invalid/files/p.txt", env=env), 1,
                             r".* curl 6: ")

    def test_outputs_named_or_after_the_url_and_several_urls(self):
        self.write(self.ftp_root, "many/one.txt", b"1")
        self.write(self.ftp_root, "many/two.txt", b"22")
        self.write(self.http_root, "files/three.txt", b"333")
        work = tempfile.mkdtemp(dir=self.local)
        status, out, err = run("get", *self.auth, self.ftp + "/many/one.txt", "-o", "first",
                               "-O", self.ftp + "/many/two.txt", self.http + "/files/three.txt",
                               cwd=work)
        self.assertEqual((status, out), (0, b""), err)
        self.assertEqual({name: self.read(os.path.join(work, name)) for name in os.listdir(work)},
                         {"first": b"1", "two.txt": b"22", "three.txt": b"333"})
        # Without -o the files follow one another on standard output.
        self.assertEqual(run("get", *self.auth, self.ftp + "/many/one.txt",
                             self.ftp + "/many/two.txt")[:2], (0, b"122"))
        self.assertEqual(run("download", "-O", self.http + "/files/three.txt", cwd=work)[0], 0)

    def test_get_guesses_a_missing_scheme_from_the_host(self):
        self.write(self.ftp_root, "guess/f.txt", b"over ftp")
        self.write(self.http_root, "files/g.txt", b"over http")
        # "*.localhost" is the loopback to libcurl: a host named ftp.* without a resolver.
        for url, data in (("ftp.localhost:%d/guess/f.txt" % self.ftp_server.port, b"over ftp"),
                          ("127.0.0.1:%d/files/g.txt" % self.http_server.port, b"over http")):
            status, out, err = run("get", "-m", "20", *self.auth, url)
            self.assertEqual((status, out), (0, data), err)

    def test_failed_download_keeps_the_existing_file(self):
        cases = [
            ["get", *self.auth, self.ftp + "/missing.txt"],
            ["get", self.http + "/missing.txt"],
            ["get", "http://127.0.0.1:9/x"],
            ["download", self.http + "/missing.txt"],
        ]
        for args in cases:
            keep = self.write(self.local, "keep/keep.txt", b"precious")
            status, _, err = run(*args, "-o", keep)
            self.assertEqual(status, 1, (args, err))
            self.assertEqual(self.read(keep), b"precious", args)
            self.assertEqual(os.listdir(os.path.dirname(keep)), ["keep.txt"], args)
        # The local side is checked before anything is fetched.
        os.makedirs(os.path.join(self.local, "adir"), exist_ok=True)
        self.write(self.http_root, "files/k.txt", b"k")
        before = self.http_server.log_text()
        self.assertFails(run("get", self.http + "/files/k.txt", "-o",
                             os.path.join(self.local, "adir")), 3, r"cannot write .*adir: ")
        self.assertFails(run("get", *self.auth, self.ftp + "/missing.txt", "-o",
                             "/no/dir/file"), 3, r"cannot write /no/dir/file: ")

    def test_devices_and_pipes_are_written_into_not_replaced(self):
        import stat
        import threading
        data = os.urandom(70000)
        self.write(self.ftp_root, "dev/d.bin", data)
        self.write(self.http_root, "files/dev.bin", data)
        pipe = os.path.join(self.local, "pipe")
        os.mkfifo(pipe)
        device = os.path.join(self.local, "null")
        if os.geteuid() == 0:
            os.mknod(device, 0o666 | stat.S_IFCHR, os.makedev(1, 3))  # as /dev/null
        for url in (self.ftp + "/dev/d.bin", self.http + "/files/dev.bin"):
            received = []
            reader = threading.Thread(target=lambda: received.append(self.read(pipe)),
                                      daemon=True)
            reader.start()
            status, _, err = run("get", *self.auth, url, "-o", pipe)
            reader.join(30)
            self.assertEqual((status, received), (0, [data]), err)
            self.assertTrue(stat.S_ISFIFO(os.stat(pipe).st_mode))
            if os.path.exists(device):
                self.assertEqual(run("get", *self.auth, url, "-o", device)[0], 0)
                self.assertTrue(stat.S_ISCHR(os.stat(device).st_mode), url)
        self.assertEqual(sorted(os.listdir(self.local)).count("pipe"), 1)

    def test_retries_transient_failures_only(self):
        self.write(self.http_root, "files/r.txt", b"at last")
        status, out, err = run("get", "--retry", "3", self.http + "/flaky/2/files/r.txt")
        self.assertEqual((status, out), (0, b"at last"), err)
        self.assertEqual(self.retries(err), 2, err)
        self.write(self.http_root, "files/r2.txt", b"too late")
        status, out, err = run("get", "--retry", "1", self.http + "/flaky/2/files/r2.txt")
        self.assertEqual(self.retries(err), 1, err)
        self.assertEqual(status, 1, err)
        self.assertIn("503", err)
        status, _, err = run("get", "--retry", "1", "http://127.0.0.1:9/x")
        self.assertEqual((status, self.retries(err)), (1, 1), err)
        # An FTP server's 4xx refusal is worth another try too.
        self.write(self.ftp_root, "busy2-file.txt", b"ftp at last")
        status, out, err = run("get", "--retry", "2", *self.auth, self.ftp + "/busy2-file.txt")
        self.assertEqual((status, out), (0, b"ftp at last"), err)
        self.assertEqual(self.retries(err), 2, err)
        # A 404 or a missing FTP file (550) will not get better.
        for args in (["get", self.http + "/none"], ["get", *self.auth, self.ftp + "/none"]):
            status, _, err = run("--retry", "3", *args)
            self.assertEqual((status, self.retries(err)), (1, 0), err)
        status, _, err = run("get", "-s", "--retry", "1", "http://127.0.0.1:9/x")
        self.assertEqual((status, self.retries(err)), (1, 0), err)

    def test_netrc_gives_the_credentials(self):
        self.write(self.ftp_root, "n/seen.txt", b"n")
        netrc = self.write(self.local, "netrc",
                           ("machine other.example login nobody password wrong\n"
                            "machine 127.0.0.1\n  login %s\n  password %s\n" % (USER, PASSWORD))
                           .encode())
        default_only = self.write(self.local, "netrc-default",
                                  ("default login %s password %s\n" % (USER, PASSWORD)).encode())
        home = os.path.dirname(self.write(self.local, "home/.netrc", self.read(netrc)))
        for args, env in ((["--netrc-file", netrc], None), (["--netrc-file", default_only], None),
                          (["--netrc"], dict(os.environ, HOME=home))):
            for extra in ([], ["-v"]):
                status, out, err = run("ls", *args, *extra, self.ftp + "/n/", env=env)
                self.assertEqual((status, out), (0, b"seen.txt\n"), (args, err))
                self.assertNotIn(PASSWORD, out.decode() + err)
        # -u still wins; a missing --netrc-file is a local file problem.
        self.assertEqual(run("ls", "--netrc-file", netrc, "-u", USER + ":bad",
                             self.ftp + "/n/")[0], 1)
        self.assertEqual(run("ls", "--netrc-file", "/no/netrc", self.ftp + "/n/")[0], 3)

    def test_put_standard_input_several_files_and_rm_several(self):
        os.makedirs(os.path.join(self.ftp_root, "multi"))
        a = self.write(self.local, "ma.txt", b"a")
        b = self.write(self.local, "mb.txt", b"bb")
        status, _, err = run("put", *self.auth, a, b, self.ftp + "/multi/")
        self.assertEqual(status, 0, err)
        status, _, err = run("put", *self.auth, "-", self.ftp + "/multi/in.txt", stdin=b"piped")
        self.assertEqual(status, 0, err)
        self.assertEqual(sorted(os.listdir(os.path.join(self.ftp_root, "multi"))),
                         ["in.txt", "ma.txt", "mb.txt"])
        self.assertEqual(self.read(os.path.join(self.ftp_root, "multi/in.txt")), b"piped")
        status, _, err = run("rm", *self.auth, self.ftp + "/multi/ma.txt",
                             self.ftp + "/multi/in.txt")
        self.assertEqual(status, 0, err)
        self.assertEqual(os.listdir(os.path.join(self.ftp_root, "multi")), ["mb.txt"])

    def progress_on_a_terminal(self, columns, args):
        """Runs rkcurl with standard error on a pseudo-terminal of the given width."""
        import fcntl
        import struct
        import termios
        master, slave = pty.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
        started = time.time()
        process = subprocess.Popen([RKCURL, *args], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=slave)
        os.close(slave)
        shown = b""
        while True:
            try:
                chunk = os.read(master, 4096)
            except OSError:
                break
            if not chunk:
                break
            shown += chunk
        os.close(master)
        self.assertEqual(process.wait(60), 0, shown)
        return shown.decode(), time.time() - started

    def test_progress_line_fits_the_terminal(self):
        self.write(self.http_root, "files/progress.bin", b"p" * 4000000)
        target = os.path.join(self.local, "progress.bin")
        for columns in (40, 120):
            shown, seconds = self.progress_on_a_terminal(
                columns, ["get", self.http + "/slow/files/progress.bin", "-o", target])
            segments = [part for part in re.split(r"[\r\n]+", shown) if part.strip()]
            for part in segments[:-1]:  # the last one is the note, an ordinary line
                self.assertLessEqual(len(part), columns - 1, (columns, part))
            lines = [part.rstrip() for part in segments if "%" in part]
            self.assertGreater(len(lines), 2, shown)
            self.assertLessEqual(len(lines), seconds * 10 + 2, shown)  # at most 10 a second
            for line in lines:
                self.assertRegex(line, r"\d+%.* [\d.]+ \w+/s( |$)", columns)
            self.assertIn(" left ", lines[-1])
            if columns >= 120:
                self.assertRegex(lines[-1], r"^progress\.bin +\[#+\] 100%  3\.8 MiB / 3\.8 MiB  "
                                            r"[\d.]+ \w+/s  0:\d\d left 0:\d\d$")
            # One summary line ends it, before the note.
            self.assertRegex(segments[-2].rstrip(),
                             r"^progress[.\w]*~?: 3\.8 MiB in 0:\d\d \([\d.]+ \w+/s\)$")
            self.assertTrue(segments[-1].startswith("saved "), segments[-1])
        # Uploads draw the same line.
        os.makedirs(os.path.join(self.ftp_root, "pu"), exist_ok=True)
        shown, _ = self.progress_on_a_terminal(80, ["put", *self.auth, target, self.ftp + "/pu/"])
        self.assertRegex(shown, r"progress\.bin: 3\.8 MiB in ")

    def test_silent_and_version(self):
        self.write(self.ftp_root, "sv.txt", b"x")
        target = os.path.join(self.local, "sv.txt")
        self.assertEqual(run("get", "-s", *self.auth, self.ftp + "/sv.txt", "-o", target)[::2],
                         (0, ""))
        status, out, err = run("--version")
        self.assertEqual((status, err), (0, ""))
        lines = out.decode().splitlines()
        self.assertRegex(lines[0], r"^rkcurl \d+\.\d+\.\d+$")
        self.assertRegex(lines[1], r"^RKCurl library \d+\.\d+\.\d+$")
        self.assertRegex(lines[2], r"^libcurl \d+\.\d+\.\d+ \(TLS: \w+/[\d.]+")
        self.assertIn(" ftps ", lines[3] + " ")


class Vsftpd:
    """The FTP tests' vsftpd, in one of its variants, for as long as the object lives."""

    def __init__(self, variant="standard"):
        self.process = subprocess.Popen([VSFTPD_HELPER, variant], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline().split()
        if len(line) != 2:
            self.process.wait(30)
            raise RuntimeError("vsftpd did not start")
        self.port, self.pub = int(line[0]), line[1]

    def stop(self):
        self.process.stdin.close()
        self.process.wait(30)
        self.process.stdout.close()


class Ftps(unittest.TestCase):
    """The whole FTP session over TLS, against vsftpd (anonymous, writable /pub)."""

    @classmethod
    def setUpClass(cls):
        cls.local = tempfile.mkdtemp(prefix="rkcurl-ftps-")
        cls.server = Vsftpd()
        cls.port, cls.pub = cls.server.port, cls.server.pub

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.local, ignore_errors=True)

    def test_session_over_tls(self):
        data = os.urandom(100000)
        local = os.path.join(self.local, "tls.bin")
        with open(local, "wb") as out:
            out.write(data)
        plain = "ftp://127.0.0.1:%d/pub" % self.port
        steps = [
            ["mkdir", "-p", "--secure", plain + "/tls/inner"],
            ["put", "--secure", local, plain + "/tls/inner/"],
            ["put", "--secure", local, plain + "/tls/inner/.hidden"],
            ["ls", "--long", "--secure", plain + "/tls/inner"],
            ["ls", "-a", "--secure", plain + "/tls/inner"],
            ["get", "--secure", plain + "/tls/inner/tls.bin", "-o", local + ".back"],
            ["rm", "-r", "--secure", plain + "/tls"],
        ]
        outputs = []
        for args in steps:
            status, out, err = run(*args, "-v", "-k")
            self.assertEqual(status, 0, (args, err))
            self.assertIn("SSL connection using", err, args)
            outputs.append(out.decode())
        # vsftpd shows dot files for LIST -a only; rm -r asks for them, so the tree goes.
        self.assertRegex(outputs[3], r"^file 100000 .* tls\.bin\n$")
        self.assertEqual(sorted(outputs[4].split()), [".hidden", "tls.bin"])
        with open(local + ".back", "rb") as back:
            self.assertEqual(back.read(), data)
        self.assertFalse(os.path.exists(os.path.join(self.pub, "tls")))
        # vsftpd has no MLSD: the listing falls back to LIST, and says so.
        status, out, err = run("ls", "--mlsd", "-k", "--secure", plain + "/")
        self.assertEqual(status, 0, err)
        self.assertIn("refused MLSD: listed with LIST", err)

    def test_connection_variants(self):
        """ftps:// is TLS from the first byte; -P is active mode; FTPS uploads to a server that
        wants TLS sessions reused on data connections stay at TLS 1.2 unless --tls-max says."""
        local = os.path.join(self.local, "variant.bin")
        data = os.urandom(1 << 20)
        with open(local, "wb") as out:
            out.write(data)
        # A listing shows --tls-max 1.3 at work: an upload would be cut short now and then.
        cases = [
            ("implicit", "ftps", ["put"], "PBSZ", "TLSv1.2"),
            ("active", "ftp", ["put", "-P", "-"], "EPRT |1|127.0.0.1|", None),
            ("active", "ftp", ["put", "-P", "127.0.0.1", "--disable-eprt"], "PORT 127,0,0,1,",
             None),
            ("session-reuse", "ftp", ["put", "--secure"], "AUTH", "TLSv1.2"),
            ("session-reuse", "ftp", ["ls", "--secure", "--tls-max", "1.3"], "AUTH", "TLSv1.3"),
        ]
        for variant, scheme, options, command, tls in cases:
            with self.subTest(variant=variant, options=options):
                server = Vsftpd(variant)
                try:
                    url = "%s://127.0.0.1:%d/pub/" % (scheme, server.port)
                    upload = options[0] == "put"
                    status, _, err = run(*options, "-v", "-k", *([local] if upload else []), url)
                    self.assertEqual(status, 0, err)
                    if upload:
                        with open(os.path.join(server.pub, "variant.bin"), "rb") as uploaded:
                            self.assertEqual(uploaded.read(), data)
                    self.assertIn("> " + command, err.replace("\r", ""))
                    if tls:
                        self.assertIn("SSL connection using " + tls, err)
                finally:
                    server.stop()


def main():
    global RKCURL, SCRIPTS, VSFTPD_HELPER
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    RKCURL, SCRIPTS, group = sys.argv[1:4]
    if group == "Ftps":
        VSFTPD_HELPER = sys.argv[4] if len(sys.argv) == 5 else ""
        if not VSFTPD_HELPER or os.geteuid() != 0 or not os.path.exists("/usr/sbin/vsftpd"):
            print("vsftpd (Debian vsftpd) and root are needed: skipped")
            sys.exit(77)
    elif group != "CommandLine":
        try:
            import pyftpdlib  # noqa: F401
        except ImportError:
            print("pyftpdlib is not installed (Debian python3-pyftpdlib): skipped")
            sys.exit(77)
    program = unittest.main(argv=[sys.argv[0], group], exit=False, verbosity=2)
    sys.exit(0 if program.result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
