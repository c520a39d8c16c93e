#!/usr/bin/python3
"""A small HTTP server for the rkcurl demo and tests (Python's http.server).

Listens on 127.0.0.1 on a free port, printed on standard output as its first line. Requests
may be GET or POST (the library posts a multipart form with every request):

  /form            answers with the request's method and its multipart parts, one a line:
                   "name=value", or "name: file FILENAME, N bytes" for a file part
  /upload          stores every file part as ROOT/uploads/FILENAME and answers "stored ..."
  /soap            answers with the SOAPAction header and the request body, as XML
  /redirect        302 to /soap
  /private/...     like the file below, but only with Basic authentication USER:PASSWORD
  /slow/NAME       the file ROOT/NAME, sent slowly (for a visible progress bar) and whole:
                   it ignores Range, which the plain files honour ("bytes=FIRST-" only)
  /flaky/N/NAME    503 for the first N requests of this path, then the file ROOT/NAME
  /headers         answers with the method and the request's header lines
  anything else    the file under ROOT, or 404

usage: demo-http-server.py ROOT [--auth USER PASSWORD] [--tls CERTFILE KEYFILE]
With --tls it speaks HTTPS only, with the given certificate (self-signed will do).
"""
import argparse
import base64
import email.parser
import email.policy
import os
import ssl
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROOT = "."
CREDENTIALS = None
FLAKY = {}  # request counts of the /flaky/ paths
FLAKY_LOCK = threading.Lock()


def parse_multipart(content_type, body):
    """The parts of a multipart/form-data body: (name, filename or None, bytes)."""
    if not content_type.startswith("multipart/form-data"):
        return []
    head = ("Content-Type: %s\r\nMIME-Version: 1.0\r\n\r\n" % content_type).encode()
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(head + body)
    parts = []
    for part in message.iter_parts():
        name = part.get_param("name", header="content-disposition")
        filename = part.get_param("filename", header="content-disposition")
        parts.append((name, filename, part.get_payload(decode=True) or b""))
    return parts


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "rkcurl-demo/1"

    def log_message(self, format, *args):  # quiet: the demo shows rkcurl's output
        pass

    def do_GET(self):
        self.handle_any(b"")

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.handle_any(self.rfile.read(length) if length else b"")

    def reply(self, status, body, content_type="text/plain; charset=utf-8", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def local_file(self, path):
        full = os.path.realpath(os.path.join(ROOT, path.lstrip("/")))
        if not full.startswith(os.path.realpath(ROOT) + os.sep) or not os.path.isfile(full):
            return None
        return full

    def send_file(self, path, slow=False):
        full = self.local_file(path)
        if full is None:
            self.reply(404, b"not found\n")
            return
        size = os.path.getsize(full)
        first = 0
        wanted = self.headers.get("Range", "")
        if not slow and wanted.startswith("bytes=") and wanted.endswith("-"):
            first = int(wanted[6:-1])
            if first >= size:
                self.reply(416, b"", headers=[("Content-Range", "bytes */%d" % size)])
                return
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, size - 1, size))
        else:
            self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size - first))
        self.end_headers()
        with open(full, "rb") as source:
            source.seek(first)
            while True:
                chunk = source.read(65536)
                if not chunk:
                    break
                self.wfile.write(chunk)
                if slow:
                    time.sleep(0.02)

    def handle_any(self, body):
        path = self.path.split("?", 1)[0]
        if path.startswith("http://"):
            # A request for a proxy names the whole URL: it is served as this server's own.
            path = "/" + path[len("http://"):].split("/", 1)[-1]
            self.headers["X-Via-Proxy"] = "1"
        content_type = self.headers.get("Content-Type", "")
        if path == "/form":
            lines = ["method=" + self.command]
            for name, filename, data in parse_multipart(content_type, body):
                if filename is None:
                    lines.append("%s=%s" % (name, data.decode("utf-8", "replace")))
                else:
                    lines.append("%s: file %s, %d bytes" % (name, filename, len(data)))
            self.reply(200, ("\n".join(lines) + "\n").encode())
        elif path == "/upload":
            stored = []
            os.makedirs(os.path.join(ROOT, "uploads"), exist_ok=True)
            for name, filename, data in parse_multipart(content_type, body):
                if filename is None:
                    continue
                safe = os.path.basename(filename) or "unnamed"
                with open(os.path.join(ROOT, "uploads", safe), "wb") as target:
                    target.write(data)
                stored.append("stored %s as uploads/%s, %d bytes (field %s)"
                              % (filename, safe, len(data), name))
            self.reply(200, ("\n".join(stored or ["no file part"]) + "\n").encode())
        elif path == "/soap":
            action = self.headers.get("SOAPAction", "")
            text = ("<echo method=\"%s\" action=\"%s\">%s</echo>\n"
                    % (self.command, action, body.decode("utf-8", "replace")))
            self.reply(200, text.encode(), "text/xml; charset=utf-8")
        elif path == "/redirect":
            self.reply(302, b"", headers=[("Location", "/soap")])
        elif path.startswith("/private/"):
            expected = "Basic " + base64.b64encode(CREDENTIALS.encode()).decode() \
                if CREDENTIALS else None
            if expected is None or self.headers.get("Authorization") != expected:
                self.reply(401, b"authentication required\n",
                           headers=[("WWW-Authenticate", "Basic realm=\"demo\"")])
            else:
                self.send_file(path[len("/private"):])
        elif path.startswith("/flaky/"):
            # /flaky/N/FILE: the first N requests for it fail with 503, the next ones get FILE.
            _, _, count, rest = path.split("/", 3)
            with FLAKY_LOCK:
                FLAKY[path] = FLAKY.get(path, 0) + 1
                seen = FLAKY[path]
            if seen <= int(count):
                self.reply(503, b"try again later\n")
            else:
                self.send_file("/" + rest)
        elif path.startswith("/headers"):
            lines = ["%s: %s" % (name, value) for name, value in self.headers.items()]
            self.reply(200, ("method=%s\n" % self.command + "\n".join(lines) + "\n").encode())
        elif path.startswith("/slow/"):
            self.send_file(path[len("/slow"):], slow=True)
        else:
            self.send_file(path)


def main():
    global ROOT, CREDENTIALS
    parser = argparse.ArgumentParser(description="HTTP server for the rkcurl demo and tests")
    parser.add_argument("root")
    parser.add_argument("--auth", nargs=2, metavar=("USER", "PASSWORD"))
    parser.add_argument("--tls", nargs=2, metavar=("CERTFILE", "KEYFILE"))
    args = parser.parse_args()
    ROOT = args.root
    if args.auth:
        CREDENTIALS = args.auth[0] + ":" + args.auth[1]
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
