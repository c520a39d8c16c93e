#!/usr/bin/python3
"""The scriptable pyftpdlib server of the tests (README.md here).
Usage: ftp_server.py ROOT PORT COMMAND_LOG SCRIPT_DIR"""
import hashlib
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

ROOT, PORT, COMMAND_LOG, SCRIPT = sys.argv[1:]


def scripted(kind, key=""):
    path = os.path.join(SCRIPT, kind + key.encode("utf-8", "surrogateescape").hex())
    if not os.path.exists(path):  # False too for a deep path's name, too long for a file
        return None
    with open(path, "rb") as f:
        return f.read()


class SlowDTPHandler(ThrottledDTPHandler):
    write_limit = 1 << 20


class ScriptedHandler(FTPHandler):
    proto_cmds = dict(FTPHandler.proto_cmds)
    proto_cmds["HASH"] = dict(perm="r", auth=True, arg=True, help="Syntax: HASH file")
    _hash_algorithm = "SHA-256"

    @property
    def dtp_handler(self):
        return SlowDTPHandler if scripted("slow") is not None else FTPHandler.dtp_handler

    @property
    def timeout(self):  # read when a control connection is accepted or its idle timer restarts
        return float(scripted("idle-timeout") or 300)

    def pre_process_command(self, line, cmd, arg):
        with open(COMMAND_LOG, "a", encoding="utf-8", errors="surrogateescape") as log:
            log.write(line + "\n")
        reply = scripted("reply-", line)
        if reply is not None:
            self.push(reply.decode("utf-8", "replace").rstrip("\r\n") + "\r\n")
            return
        return FTPHandler.pre_process_command(self, line, cmd, arg)

    def ftp_FEAT(self, line):
        self._extra_feats = ["HASH SHA-256*;MD5"] if scripted("hash") is not None else []
        return FTPHandler.ftp_FEAT(self, line)

    def ftp_OPTS(self, line):
        if line.upper().startswith("HASH ") and scripted("hash") is not None:
            self._hash_algorithm = line[5:].strip().upper()
            return self.respond("200 " + self._hash_algorithm)
        return FTPHandler.ftp_OPTS(self, line)

    def ftp_HASH(self, path):
        if scripted("hash") is None or not os.path.isfile(path):
            return self.respond("550 No hash.")
        with open(path, "rb") as f:
            digest = hashlib.new(self._hash_algorithm.replace("-", ""), f.read()).hexdigest()
        self.respond("213 %s 0-%d %s %s" % (self._hash_algorithm, os.path.getsize(path), digest,
                                             self.fs.fs2ftp(path)))

    def _listing(self, kind, path, real):
        data = scripted(kind, self.fs.fs2ftp(path))
        if data is None:
            return real(self, path)
        self.push_dtp_data(data, isproducer=False, cmd=kind[:4].upper())
        return path

    def ftp_LIST(self, path):
        return path if self._drop(path) else self._listing("list-", path, FTPHandler.ftp_LIST)

    def ftp_MLSD(self, path):
        return self._listing("mlsd-", path, FTPHandler.ftp_MLSD)

    def ftp_RETR(self, file):
        return file if self._drop(file) else FTPHandler.ftp_RETR(self, file)

    def _drop(self, path):
        """Sends the scripted bytes, then drops both connections (no 226)."""
        data = scripted("drop-", self.fs.fs2ftp(path))
        if data is None:
            return False
        if self.data_channel is None:
            self.respond("425 Use EPSV or PASV first.")
            return True
        self.respond("125 Data connection already open. Transfer starting.")
        self.data_channel.push(data)
        self.ioloop.call_later(0.3, self._close_both)
        return True

    def _close_both(self):
        if self.data_channel is not None:
            self.data_channel._resp = ()
        self.close()


class ScriptedServer(FTPServer):
    @property
    def max_cons_per_ip(self):
        return int(scripted("max-cons") or 0)


def main():
    authorizer = DummyAuthorizer()
    authorizer.add_user("rk", "secret", ROOT, perm="elradfmwMT")
    authorizer.add_anonymous(ROOT, perm="elradfmwMT")
    ScriptedHandler.authorizer = authorizer
    # A range, so that pyftpdlib binds passive ports with SO_REUSEADDR: thousands of files a
    # minute leave their data ports in TIME_WAIT, which would exhaust the ephemeral ports.
    ScriptedHandler.passive_ports = range(30000, 32768)

    ScriptedServer(("127.0.0.1", int(PORT)), ScriptedHandler).serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
