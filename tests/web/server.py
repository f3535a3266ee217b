"""The small web server the page is tested behind: it serves a folder on the loopback address
and keeps what the page posts to /upload/NAME (its screenshots, its frame log, its messages) in
memory, for the tests to read. A file may be sent cut short (the connection closed after some of
its bytes), or with a Content-Encoding of gzip, as some hosts send a .gz file. The network can be
held to a rate and a round trip, as a user's link (the rate shared by every transfer at once),
and the site served from a sub-folder of the address."""

import http.server
import os
import sys
import threading
import time
import urllib.parse


class TestServer:
    def __init__(self, folder, port=0, cut=None, encoded=(), prefix=""):
        self.folder = folder
        self.cut = dict(cut or {})     # file name: the bytes sent before the connection closes
        self.encoded = set(encoded)    # file names sent with "Content-Encoding: gzip"
        self.prefix = prefix           # "some/folder/": the site's place in the address
        self.rate = 0                  # bytes a second through the link; 0: as fast as it goes
        self.round_trip = 0.0          # seconds before a response starts
        self.link_free = 0.0           # when the link has sent what it was given
        self.link = threading.Lock()
        self.requested = []            # the paths asked for, in order
        self.dropped = False           # the link is down: transfers on the way break off
        self.uploads = {}
        self.arrived = threading.Condition()
        server = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *args, **kwargs):
                super().__init__(*args, directory=server.folder, **kwargs)

            def do_GET(self):
                name = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path).lstrip("/")
                if not name.startswith(server.prefix):
                    self.send_error(404)
                    return
                name = name[len(server.prefix):]
                server.requested.append(name)
                self.path = "/" + name
                if server.round_trip:
                    time.sleep(server.round_trip)
                if name not in server.cut and name not in server.encoded:
                    return super().do_GET()
                with open(os.path.join(server.folder, name), "rb") as sent:
                    body = sent.read()
                self.send_response(200)
                self.send_header("Content-Type", "application/gzip")
                self.send_header("Content-Length", str(len(body)))
                if name in server.encoded:
                    self.send_header("Content-Encoding", "gzip")
                self.end_headers()
                server.send(self.wfile, body[:server.cut.get(name, len(body))])
                self.close_connection = name in server.cut

            def copyfile(self, source, out):
                server.send(out, source.read())

            def do_POST(self):
                length = int(self.headers.get("Content-Length") or 0)
                body = self.rfile.read(length)
                name = urllib.parse.unquote(self.path.rsplit("/", 1)[-1])
                with server.arrived:
                    server.uploads[name] = server.uploads.get(name, b"") + body if name.endswith(".txt") else body
                    server.arrived.notify_all()
                self.send_response(204)
                self.end_headers()

            def end_headers(self):
                self.send_header("Cache-Control", "no-store")
                super().end_headers()

            def log_message(self, *args):
                pass

        class Server(http.server.ThreadingHTTPServer):
            def handle_error(self, request, client_address):
                # A page left while a file was on its way: nothing to report.
                if not isinstance(sys.exc_info()[1], ConnectionError):
                    super().handle_error(request, client_address)

        self.httpd = Server(("127.0.0.1", port), Handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def hold(self, megabits=0.0, round_trip=0.0):
        """The link held to megabits a second and a round trip; 0 lets it go."""
        self.rate = megabits * 1e6 / 8
        self.round_trip = round_trip

    def send(self, out, body):
        """body down the link: at its rate, in turn with every other transfer."""
        for at in range(0, len(body), 16384):
            if self.dropped:
                raise ConnectionAbortedError("the test dropped the link")
            piece = body[at:at + 16384]
            if self.rate:
                with self.link:
                    start = max(time.monotonic(), self.link_free)
                    self.link_free = start + len(piece) / self.rate
                    free = self.link_free
                time.sleep(max(0.0, free - time.monotonic()))
            out.write(piece)

    def url(self, query=""):
        return "http://127.0.0.1:%d/%sindex.html%s" % (self.port, self.prefix, ("?" + query) if query else "")

    def named(self, prefix):
        """The first upload whose name starts with prefix, as (name, bytes), or None."""
        with self.arrived:
            for name, body in self.uploads.items():
                if name.startswith(prefix):
                    return name, body
        return None

    def forget(self):
        with self.arrived:
            self.uploads.clear()

    def drop(self):
        """The network goes: transfers on the way break off, and the address answers no more."""
        self.dropped = True
        self.close()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


if __name__ == "__main__":
    import sys
    folder = sys.argv[1] if len(sys.argv) > 1 else os.getcwd()
    served = TestServer(folder, int(sys.argv[2]) if len(sys.argv) > 2 else 8000)
    print("serving", folder, "on", served.url())
    served.thread.join()
