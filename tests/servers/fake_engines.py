#!/usr/bin/env python3
"""Three fake search engines on 127.0.0.1 for the Gather Data tests.

Each engine answers its result path with a page holding the markers the
program scrapes; the count is derived from the keyword so tests can check it:
len(keyword) * 1000 + engine offset (Google 1, Yahoo 2, MSN 3), with commas.

  fake_engines.py PORTS_FILE LOG_FILE [--fail ENGINE] [--slow ENGINE] [--missing ENGINE] [--huge ENGINE]

PORTS_FILE receives "google yahoo msn" ports once listening; LOG_FILE gets one
line per request: engine, then the raw request target. --fail makes an engine
answer 500; --slow makes it drip its page over about 6 seconds; --missing leaves the markers out;
--huge puts 50 MB of digits where the count goes.
The server stops by itself after 120 seconds.
"""
import http.server
import sys
import threading
import time
import urllib.parse

ENGINES = {"google": 1, "yahoo": 2, "msn": 3}
KEYS = {"google": ("/search", "q"), "yahoo": ("/search", "p"), "msn": ("/results.aspx", "q")}
log_lock = threading.Lock()


def count_text(keyword, offset):
    return "{:,}".format(len(keyword.encode("latin-1", "replace")) * 1000 + offset)


def page(engine, keyword, missing, huge=False):
    count = "1" * (50 << 20) if huge else count_text(keyword, ENGINES[engine])
    if missing:
        return "<html><body>no results block here</body></html>"
    if engine == "google":
        body = "<font size=-1>Results <b>1</b> - <b>10</b> of about <b>%s</b> for golf" % count
    elif engine == "yahoo":
        body = '<span id="infotext">1 - 10 of about %s for golf</span>' % count
    else:
        body = '<span id="count">1-10 of %s</span>' % count
    return "<html>\n<body>\r\n%s\n</body></html>" % body


def make_handler(engine, options, log_file):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def do_GET(self):
            with log_lock, open(log_file, "a", encoding="latin-1") as log:
                log.write("%s %s\n" % (engine, self.path))
            path, key = KEYS[engine]
            url = urllib.parse.urlsplit(self.path)
            values = urllib.parse.parse_qs(url.query, keep_blank_values=True, encoding="latin-1")
            if url.path != path or key not in values:
                self.send_error(404)
                return
            if engine in options.get("fail", ()):
                self.send_error(500)
                return
            keyword = values[key][0].strip('"')
            body = page(engine, keyword, engine in options.get("missing", ()),
                        engine in options.get("huge", ())).encode("latin-1", "replace")
            if engine in options.get("slow", ()):
                # The real page, padded, ten bytes every 20 ms: about 6 seconds.
                body = body.replace(b"</body>", b" " * (3000 - len(body)) + b"</body>")
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                try:
                    for at in range(0, len(body), 10):
                        self.wfile.write(body[at:at + 10])
                        self.wfile.flush()
                        time.sleep(0.02)
                except OSError:
                    pass
                return
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

    return Handler


def main():
    ports_file, log_file = sys.argv[1], sys.argv[2]
    options = {}
    args = sys.argv[3:]
    for flag, value in zip(args[::2], args[1::2]):
        options.setdefault(flag.lstrip("-"), []).append(value)
    servers = []
    for engine in ("google", "yahoo", "msn"):
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), make_handler(engine, options, log_file))
        server.daemon_threads = True
        threading.Thread(target=server.serve_forever, daemon=True).start()
        servers.append(server)
    with open(ports_file + ".tmp", "w") as f:
        f.write(" ".join(str(s.server_address[1]) for s in servers))
    import os
    os.rename(ports_file + ".tmp", ports_file)
    time.sleep(120)


if __name__ == "__main__":
    main()
