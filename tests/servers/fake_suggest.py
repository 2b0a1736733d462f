#!/usr/bin/env python3
"""A fake keyword-suggestion service on 127.0.0.1 for the Gather Keywords tests.

  fake_suggest.py PORT_FILE LOG_FILE [--mode MODE]

The seed request "/?seed=K&adult_filter=remove_offensive&suggest=Hit+Me" sets a
session cookie and redirects to "/tool/start", which asks for the characters
of security image 0: hidden "random" and "seed" values and a relative image
address ("captcha?id=0&amp;t=1"). The answer request
"/keyword-suggestion-tool.html?password=P&random=R&seed=S" is accepted only with
the cookie of the session that was given that random value, that random
value, the seed keyword and the characters of the image; then it answers the
suggestion table (rows of SUGGESTIONS, then a row whose first cell is
"&nbsp;"). Any other answer gets the next image of the same session, at
"/tool/captcha?id=N&amp;t=1".

Image N is a 690 x 274 PNG: its left half COLOURS[N % 3], its right half
white. Its characters are answer_of(N), which hold "&", "#", "+" and a space
so that only a percent-encoded answer arrives whole.

Modes: "captcha" (the default), "table" (the seed request answers the table
at once), "plain" (a page with neither prompt nor table), "endlessseed" (the
seed request answers an endless page, slowly), and four hostile
image peers: "fileimage" (the image address is a file: URL), "endless" (the image address answers an endless page), "huge"
(a 100 MB image, announced and sent), "loop" (the image address redirects to
itself forever). LOG_FILE gets one line per request: the target, then
" cookie=" and the Cookie header. PORT_FILE receives the port once listening.
The server stops by itself after 300 seconds.
"""
import http.server
import os
import struct
import sys
import threading
import time
import urllib.parse
import zlib

COLOURS = [(200, 30, 30), (30, 160, 40), (40, 60, 200)]
SUGGESTIONS = [("1,234", "golf clubs"), ("567", "used golf &amp; tennis"), ("<b>89</b>", "cheap <b>golf</b> clubs")]
lock = threading.Lock()
state = {"sessions": 0, "challenges": {}}  # random value -> (session, seed, image number)


def answer_of(number):
    return "a&b #c+%d" % number


def png(width, height, colour):
    half = width // 2
    row = b"\x00" + bytes(colour) * half + b"\xff\xff\xff" * (width - half)
    raw = row * height

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def challenge_page(session, seed, number, image_path):
    if state.get("mode") == "fileimage":
        image_path = "file:///etc/passwd"
    random_value = "r+%d/%s=" % (number, session)
    with lock:
        state["challenges"][random_value] = (session, seed, number)
    return ("<html><body><form action=\"/keyword-suggestion-tool.html\">\n"
            "<p>Please enter the characters in the image</p>\n"
            "<input type=\"hidden\" name=\"random\" value=\"%s\">\n"
            "<input type=\"hidden\" name=\"seed\" value=\"%s\">\n"
            "<img src=\"%s?id=%d&amp;t=1\" width=\"690\" height=\"274\">\n"
            "<input name=\"password\"></form></body></html>\n") % (random_value, seed, image_path, number)


def table_page():
    rows = "".join("<tr><td>%s</td><td><a href=\"/k?n=%d\">%s</a></td></tr>\n" % (count, i, keyword)
                   for i, (count, keyword) in enumerate(SUGGESTIONS))
    return ("<html><body><table>\n<thead><tr><th>Searches</th><th>Keyword</th></tr></thead>\n"
            "<tfoot><tr><td colspan=\"2\">%d suggestions</td></tr></tfoot>\n<tbody>\n%s"
            "<tr><td>&nbsp;</td><td><a href=\"/k?n=9\">never read</a></td></tr>\n"
            "</tbody></table></body></html>\n") % (len(SUGGESTIONS), rows)


def make_handler(mode, log_file):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def send_page(self, status, body, content_type="text/html", headers=()):
            data = body if isinstance(body, bytes) else body.encode("latin-1")
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(data)))
            for name, value in headers:
                self.send_header(name, value)
            self.end_headers()
            self.wfile.write(data)

        def session(self):
            for part in (self.headers.get("Cookie") or "").split(";"):
                name, _, value = part.strip().partition("=")
                if name == "session":
                    return value
            return None

        def do_GET(self):
            with lock, open(log_file, "a", encoding="latin-1") as log:
                log.write("%s cookie=%s\n" % (self.path, self.headers.get("Cookie") or ""))
            url = urllib.parse.urlsplit(self.path)
            query = urllib.parse.parse_qs(url.query, keep_blank_values=True, encoding="latin-1")
            value = lambda key: query.get(key, [""])[0]
            if url.path == "/" and "seed" in query:
                if mode == "table":
                    return self.send_page(200, table_page())
                if mode == "plain":
                    return self.send_page(200, "<html><body>nothing to see</body></html>")
                if mode == "endlessseed":
                    return self.endless(b"<p>more and more</p>\n" * 100, 0.01)  # 200 kB/s: no size bound ends it
                with lock:
                    state["sessions"] += 1
                    session = "S%d" % state["sessions"]
                seed = urllib.parse.quote(value("seed"))
                return self.send_page(302, "", headers=[("Location", "/tool/start?seed=" + seed),
                                                        ("Set-Cookie", "session=%s; Path=/" % session)])
            if url.path == "/tool/start":
                session = self.session()
                if not session:
                    return self.send_page(403, "no session")
                return self.send_page(200, challenge_page(session, value("seed"), 0, "captcha"))
            if url.path == "/keyword-suggestion-tool.html":
                with lock:
                    known = state["challenges"].get(value("random"))
                session = self.session()
                if known and known[0] == session and known[1] == value("seed") and \
                        value("password") == answer_of(known[2]):
                    return self.send_page(200, table_page())
                if not session:
                    return self.send_page(403, "no session")
                number = (known[2] + 1) if known else 0
                return self.send_page(200, challenge_page(session, value("seed"), number, "/tool/captcha"))
            if url.path == "/tool/captcha":
                return self.image(int(value("id") or 0), int(value("hop") or 0))
            self.send_page(404, "not found")

        def image(self, number, hop):
            if mode == "loop":
                return self.send_page(302, "", headers=[("Location", "/tool/captcha?id=%d&hop=%d" % (number, hop + 1))])
            if mode == "huge":
                self.send_response(200)
                self.send_header("Content-Type", "image/png")
                self.send_header("Content-Length", str(100 << 20))
                self.end_headers()
                return self.stream(png(690, 274, COLOURS[0]) + b"\0" * 65536, 100 << 20)
            if mode == "endless":
                return self.endless()
            self.send_page(200, png(690, 274, COLOURS[number % 3]), "image/png")

        def endless(self, piece=b"<p>more and more</p>\n" * 3000, pause=0.0):
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            self.stream(piece, 1 << 30, pause)

        def stream(self, piece, limit, pause=0.0):
            # Until the peer hangs up, the limit is reached or a minute has passed.
            sent, end = 0, time.time() + 60
            try:
                while sent < limit and time.time() < end:
                    self.wfile.write(piece)
                    self.wfile.flush()
                    sent += len(piece)
                    if pause:
                        time.sleep(pause)
            except OSError:
                pass
            with lock, open(log_file, "a", encoding="latin-1") as log:
                log.write("streamed %d\n" % sent)

    return Handler


def main():
    port_file, log_file = sys.argv[1], sys.argv[2]
    args = sys.argv[3:]
    options = dict(zip(args[::2], args[1::2]))
    state["mode"] = options.get("--mode", "captcha")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), make_handler(options.get("--mode", "captcha"), log_file))
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(port_file + ".tmp", port_file)
    time.sleep(300)


if __name__ == "__main__":
    main()
