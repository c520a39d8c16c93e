#!/usr/bin/python3
"""HTTP(S) test server on 127.0.0.1 and a free port (its first output line).

Paths: /page, /status/N, /gzip, /bytes/N (N pattern bytes, honouring "Range: bytes=FIRST-"),
/whole/N (ranges ignored), /trickle/N (a byte a second), /goto?url=U, /chain/N (302 to N-1).
Each request is appended to RECORDS as a line of tab-separated hex fields: method, target, body,
the header lines ("name: value", names in lower case), each multipart part as "name=content"
or "name(file name)=content".  usage: http_server.py RECORDS [CERTFILE KEYFILE]
"""
import gzip
import re
import ssl
import sys
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

def pattern(n):
    return (b"abcdefghijklmnopqrstuvwxyz" * (n // 26 + 1))[:n]


def parts(content_type, body):
    found = re.search(r'boundary="?([^";]+)', content_type)
    result = []
    for chunk in body.split(b"--" + found.group(1).encode())[1:-1] if found else []:
        head, _, content = chunk[2:-2].partition(b"\r\n\r\n")
        name = re.search(rb'\bname="([^"]*)"', head).group(1)
        file = re.search(rb'filename="([^"]*)"', head)
        result.append(name + (b"(" + file.group(1) + b")" if file else b"") + b"=" + content)
    return result


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True  # no wait between the head and the body

    def do_GET(self):
        self.serve(self.rfile.read(int(self.headers.get("Content-Length", 0))))

    do_POST = do_GET

    def reply(self, status, body, headers=(), pace=0):
        self.send_response(status)
        for name, value in list(headers) + [("Content-Length", str(len(body)))]:
            self.send_header(name, value)
        self.end_headers()
        chunks = [body[i:i + 1] for i in range(len(body))] if pace else [body]
        for chunk in chunks:  # paced: a byte at a time
            time.sleep(pace)
            self.wfile.write(chunk)

    def record(self, body):
        headers = "\n".join("%s: %s" % (k.lower(), v) for k, v in self.headers.items())
        fields = [self.command.encode(), self.path.encode("latin-1"), body]
        fields += [headers.encode("latin-1")] + parts(self.headers.get("Content-Type", ""), body)
        with open(sys.argv[1], "a") as records:  # one short write: whole lines even in parallel
            records.write("\t".join(f.hex() for f in fields) + "\n")

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
            asked = re.fullmatch(r"bytes=(\d+)-", self.headers.get("Range", ""))
            first = int(asked.group(1)) if asked else 0
            if asked and first >= number:
                self.reply(416, b"", [("Content-Range", "bytes */%d" % number)])
            else:
                ranged = [("Content-Range", "bytes %d-%d/%d" % (first, number - 1, number))]
                self.reply(206 if asked else 200, pattern(number)[first:], ranged if asked else [])
        elif path.startswith("/whole/"):
            self.reply(200, pattern(number))
        elif path.startswith("/trickle/"):
            self.reply(200, pattern(number), pace=1)
        elif path == "/goto":
            self.reply(302, b"moved", [("Location", parse_qs(url.query)["url"][0])])
        elif path == "/chain/0":
            self.reply(200, b"end of chain")
        elif path.startswith("/chain/"):
            self.reply(302, b"moved", [("Location", "/chain/%d" % (number - 1))])
        else:
            self.reply(200, b"ok")


def main():
    ThreadingHTTPServer.request_queue_size = 64  # clients on several threads connect at once
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    if len(sys.argv) > 3:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
