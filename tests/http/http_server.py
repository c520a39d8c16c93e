#!/usr/bin/python3
"""HTTP or HTTPS server for the client tests, on 127.0.0.1 and a free port (its first output line).

Each path answers GET and POST alike:
  /page          200, "page body"                /status/N    status N, "status N"
  /gzip          200, "decoded by the client", gzip-encoded (Content-Encoding: gzip)
  /bytes/N       200, N bytes of 'a'..'z' repeated; "Range: bytes=FIRST-" gets 206 and the
                 rest, or 416 from the end on
  /whole/N       the same bytes, always 200 and chunked: a server that knows nothing of ranges
  /trickle/N     200, N bytes sent one a second (chunked)
  /goto?url=U    302 to U                        /chain/N     302 to /chain/N-1, then 200
  /getonly       200, "get only" to GET; 501 to any other method
  anything else  200, "ok"
A request for a proxy (the whole URL as its target) is served as this server's own.

Every request is appended to RECORDS before the answer, one line of tab-separated,
percent-encoded fields: method, target, body, the header lines ("name: value", names in lower
case, joined by LF), then each multipart part as "name=content" or "name(file name)=content".

usage: http_server.py RECORDS [CERTFILE KEYFILE]   (with a certificate it speaks HTTPS only)
"""
import gzip
import re
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, quote_from_bytes, urlsplit

LOCK = threading.Lock()


def pattern(n):
    return (b"abcdefghijklmnopqrstuvwxyz" * (n // 26 + 1))[:n]


def parts(content_type, body):
    found = re.search(r'boundary="?([^";]+)', content_type)
    if not found:
        return []
    result = []
    for chunk in body.split(b"--" + found.group(1).encode())[1:-1]:
        head, _, content = chunk[2:-2].partition(b"\r\n\r\n")
        name = re.search(rb'\bname="([^"]*)"', head).group(1)
        file = re.search(rb'filename="([^"]*)"', head)
        result.append(name + (b"(" + file.group(1) + b")" if file else b"") + b"=" + content)
    return result


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True  # no wait between the head and the body

    def log_message(self, *args):
        pass

    def do_GET(self):
        self.serve(b"")

    def do_POST(self):
        self.serve(self.rfile.read(int(self.headers.get("Content-Length", 0))))

    def reply(self, status, body, headers=()):
        self.send_response(status)
        for name, value in list(headers) + [("Content-Length", str(len(body)))]:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def chunked(self, body, size, delay=0):
        self.send_response(200)
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        for chunk in (body[i:i + size] for i in range(0, len(body), size)):
            time.sleep(delay)
            self.wfile.write(b"%x\r\n%s\r\n" % (len(chunk), chunk))
        self.wfile.write(b"0\r\n\r\n")

    def record(self, body):
        headers = "\n".join("%s: %s" % (k.lower(), v) for k, v in self.headers.items())
        fields = [s.encode("latin-1") for s in (self.command, self.path)] + [body]
        fields += [headers.encode("latin-1")]
        fields += parts(self.headers.get("Content-Type", ""), body)
        line = b"\t".join(quote_from_bytes(f, safe="").encode() for f in fields) + b"\n"
        with LOCK, open(sys.argv[1], "ab") as records:
            records.write(line)

    def serve(self, body):
        self.record(body)
        url = urlsplit(self.path)
        path, number = url.path, int(re.sub(r"\D", "", url.path) or 0)
        if path == "/page":
            self.reply(200, b"page body")
        elif path.startswith("/status/"):
            self.reply(number, b"status %d" % number)
        elif path == "/gzip":
            self.reply(200, gzip.compress(b"decoded by the client"), [("Content-Encoding", "gzip")])
        elif path.startswith("/bytes/"):
            first = re.fullmatch(r"bytes=(\d+)-", self.headers.get("Range", ""))
            first = int(first.group(1)) if first else None
            if first is None:
                self.reply(200, pattern(number))
            elif first >= number:
                self.reply(416, b"", [("Content-Range", "bytes */%d" % number)])
            else:
                ranged = [("Content-Range", "bytes %d-%d/%d" % (first, number - 1, number))]
                self.reply(206, pattern(number)[first:], ranged)
        elif path.startswith("/whole/"):
            self.chunked(pattern(number), 65536)
        elif path.startswith("/trickle/"):
            self.chunked(pattern(number), 1, delay=1)
        elif path == "/goto":
            self.reply(302, b"moved", [("Location", parse_qs(url.query)["url"][0])])
        elif path == "/chain/0":
            self.reply(200, b"end of chain")
        elif path.startswith("/chain/"):
            self.reply(302, b"moved", [("Location", "/chain/%d" % (number - 1))])
        elif path == "/getonly":
            get = self.command == "GET"
            self.reply(200 if get else 501, b"get only" if get else b"not implemented")
        else:
            self.reply(200, b"ok")


class Server(ThreadingHTTPServer):
    request_queue_size = 64  # clients on several threads connect at once

    def handle_error(self, request, client_address):
        pass  # a client that left early, or a refused handshake


def main():
    server = Server(("127.0.0.1", 0), Handler)
    if len(sys.argv) > 3:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
