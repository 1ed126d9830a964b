"""The test network's web server: a real HTTP server in the gateway namespace.

    testnet-web.py ADDRESS PORT MODE

MODE "normal" answers every page with 200 and a small page; "redirect"
sends every request not already for the portal host to the portal's login
page (as a hotel's or a provider's login or payment page does), and answers
the portal itself normally. Run and stopped by tools/testnet, by process id.
"""
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PORTAL = "portal.velnor.test"


class Handler(BaseHTTPRequestHandler):
    mode = "normal"

    def answer(self, with_body):
        host = (self.headers.get("Host") or "").split(":")[0].lower()
        if self.mode == "redirect" and host != PORTAL:
            self.send_response(302)
            self.send_header("Location", "http://%s/login" % PORTAL)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        body = ("<html><head><title>Velnor test page</title></head>"
                "<body><p>%s%s</p></body></html>" % (host, self.path)).encode("ascii", "replace")
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if with_body:
            self.wfile.write(body)

    def do_GET(self):
        self.answer(True)

    def do_HEAD(self):
        self.answer(False)

    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), format % args))
        sys.stderr.flush()


def main():
    address, port, mode = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    Handler.mode = mode
    ThreadingHTTPServer.allow_reuse_address = True
    server = ThreadingHTTPServer((address, port), Handler)
    server.daemon_threads = True
    server.serve_forever()


if __name__ == "__main__":
    main()
