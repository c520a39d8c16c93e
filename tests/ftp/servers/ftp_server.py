#!/usr/bin/python3
"""A scriptable FTP server for the tests, built on pyftpdlib.

Serves --root to the user rk (password "secret") and to anonymous, both with every
permission, on 127.0.0.1 and an ephemeral port that it writes to --port-file once it listens.

Test hooks, all read again at every command so a running server can be re-scripted:
  --command-log FILE  every command line received is appended, exactly as sent (PASS too).
  --script DIR        DIR/list-<hex of the FTP path>: bytes served as that directory's LIST
                      reply instead of the real one (the path as the server resolves it,
                      "/" or "/a/b", no final "/").
                      DIR/mlsd-<hex of the FTP path>: the same for that directory's MLSD reply.
                      DIR/drop-<hex of the FTP path>: bytes sent on the data connection of that
                      directory's LIST, or of that file's RETR, after which both connections
                      are dropped.
                      DIR/reply-<hex of a command line>: the reply text (CRLF-separated lines)
                      sent for that exact command instead of running it.
                      DIR/hash: while it exists, FEAT offers "HASH SHA-256*;MD5" and XMD5,
                      and both answer with the file's hash.
                      DIR/max-cons: a number; control connections beyond it from one address
                      are refused with 421.
                      DIR/idle-timeout: a number of seconds; a control connection opened while
                      it exists that stays idle that long is sent "421 Control connection timed
                      out." and closed (pyftpdlib's own idle timeout, normally 300 s).
                      DIR/slow: while it exists, data connections send 1 MiB a second at most.
"""
import argparse
import binascii
import hashlib
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def hex_name(prefix, text):
    return prefix + binascii.hexlify(text.encode("utf-8", "surrogateescape")).decode("ascii")


class SlowDTPHandler(ThrottledDTPHandler):
    write_limit = 1 << 20


class ScriptedHandler(FTPHandler):
    command_log = None
    script_dir = None
    proto_cmds = dict(FTPHandler.proto_cmds)
    for _name in ("HASH", "XMD5"):
        proto_cmds[_name] = dict(perm="r", auth=True, arg=True,
                                 help="Syntax: %s <SP> file-name" % _name)
    _hash_algorithm = "SHA-256"

    def _script_file(self, prefix, text):
        if not self.script_dir:
            return None
        path = os.path.join(self.script_dir, hex_name(prefix, text))
        return path if os.path.exists(path) else None

    @property
    def dtp_handler(self):
        return SlowDTPHandler if self._script_file("slow", "") else FTPHandler.dtp_handler

    @property
    def timeout(self):
        # Read when a control connection is accepted (and when its idle timer restarts).
        idle = os.path.join(self.script_dir or "", "idle-timeout")
        if self.script_dir and os.path.exists(idle):
            with open(idle) as f:
                return float(f.read())
        return 300

    def pre_process_command(self, line, cmd, arg):
        if self.command_log:
            with open(self.command_log, "a", encoding="utf-8", errors="surrogateescape") as log:
                log.write(line + "\n")
        reply = self._script_file("reply-", line)
        if reply:
            with open(reply, "rb") as f:
                text = f.read().decode("utf-8", "replace").rstrip("\r\n")
            self.push(text + "\r\n")
            return
        return FTPHandler.pre_process_command(self, line, cmd, arg)

    def _hashing(self):
        return bool(self.script_dir) and os.path.exists(os.path.join(self.script_dir, "hash"))

    def ftp_FEAT(self, line):
        self._extra_feats = ["HASH SHA-256*;MD5", "XMD5"] if self._hashing() else []
        return FTPHandler.ftp_FEAT(self, line)

    def ftp_OPTS(self, line):
        if line.upper().startswith("HASH ") and self._hashing():
            self._hash_algorithm = line[5:].strip().upper()
            self.respond("200 " + self._hash_algorithm)
            return
        return FTPHandler.ftp_OPTS(self, line)

    def _file_hash(self, path, algorithm):
        if not self._hashing():
            self.respond("500 Command not understood.")
            return None
        if not os.path.isfile(path):
            self.respond("550 No such file.")
            return None
        with open(path, "rb") as f:
            return hashlib.new(algorithm, f.read()).hexdigest()

    def ftp_HASH(self, path):
        algorithm = "sha256" if self._hash_algorithm == "SHA-256" else "md5"
        digest = self._file_hash(path, algorithm)
        if digest:
            size = os.path.getsize(path)
            self.respond("213 %s 0-%d %s %s" % (self._hash_algorithm, size, digest,
                                                 self.fs.fs2ftp(path)))

    def ftp_XMD5(self, path):
        digest = self._file_hash(path, "md5")
        if digest:
            self.respond("250 " + digest)

    def ftp_LIST(self, path):
        ftp_path = self.fs.fs2ftp(path)
        prepared = self._script_file("list-", ftp_path)
        if prepared:
            with open(prepared, "rb") as f:
                data = f.read()
            self.push_dtp_data(data, isproducer=False, cmd="LIST")
            return path
        if self._drop_transfer(ftp_path):
            return path
        return FTPHandler.ftp_LIST(self, path)

    def ftp_MLSD(self, path):
        prepared = self._script_file("mlsd-", self.fs.fs2ftp(path))
        if prepared:
            with open(prepared, "rb") as f:
                data = f.read()
            self.push_dtp_data(data, isproducer=False, cmd="MLSD")
            return path
        return FTPHandler.ftp_MLSD(self, path)

    def ftp_RETR(self, file):
        if self._drop_transfer(self.fs.fs2ftp(file)):
            return file
        return FTPHandler.ftp_RETR(self, file)

    def _drop_transfer(self, ftp_path):
        """Sends the scripted bytes of a drop-* file, then drops both connections."""
        drop = self._script_file("drop-", ftp_path)
        if not drop:
            return False
        with open(drop, "rb") as f:
            data = f.read()
        if self.data_channel is None:
            self.respond("425 Use EPSV or PASV first.")
            return True
        self.respond("125 Data connection already open. Transfer starting.")
        self.data_channel.push(data)  # and no 226: both connections go down instead
        self.ioloop.call_later(0.3, self._drop)
        return True

    def _drop(self):
        if self.data_channel is not None:
            self.data_channel._resp = ()
        self.close()


class ScriptedServer(FTPServer):
    script_dir = None

    @property
    def max_cons_per_ip(self):
        limit = os.path.join(self.script_dir or "", "max-cons")
        if not self.script_dir or not os.path.exists(limit):
            return 0
        with open(limit) as f:
            return int(f.read())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--command-log")
    parser.add_argument("--script")
    args = parser.parse_args()

    authorizer = DummyAuthorizer()
    authorizer.add_user("rk", "secret", args.root, perm="elradfmwMT")
    authorizer.add_anonymous(args.root, perm="elradfmwMT")
    ScriptedHandler.authorizer = authorizer
    ScriptedHandler.command_log = args.command_log
    ScriptedHandler.script_dir = args.script
    ScriptedHandler.banner = "RKCurl test server ready."
    ScriptedHandler.permit_foreign_addresses = False
    # Passive ports bound with SO_REUSEADDR (pyftpdlib sets it for a configured range only):
    # each file's data connection leaves its port in TIME_WAIT, and thousands of files a
    # minute would exhaust the ephemeral ports that a bind to port 0 may pick.
    ScriptedHandler.passive_ports = range(30000, 32768)

    ScriptedServer.script_dir = args.script
    server = ScriptedServer(("127.0.0.1", 0), ScriptedHandler)
    server.max_cons = 256
    port = server.socket.getsockname()[1]
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.rename(tmp, args.port_file)
    sys.stdout.flush()
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
