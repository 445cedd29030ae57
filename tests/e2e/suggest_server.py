#!/usr/bin/env python3
"""A search suggestion service for the end-to-end tests, on 127.0.0.1 only.

    suggest_server.py DIR

The test that starts it talks to it through files in DIR:
  port          written (whole, by a rename) once the server listens
  plan.json     read at each request: a list of rules, the first whose
                "match" is part of the request's path answers, with
                "status" (200), "content_type", "body_hex" (the body's bytes
                in hex) after "delay" seconds (0); no rule: 404
  requests.log  one line per request, its path as it arrived, written before
                the answer (and its delay)
  stop          the server ends once this file is there
  stopped       written when the server has ended

It stops by itself after MAX_SECONDS or MAX_REQUESTS, whichever comes first;
an answer still waiting out its delay ends with it.
"""
import json
import os
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MAX_SECONDS = 150
MAX_REQUESTS = 200


def main():
    folder = sys.argv[1]
    log_lock = threading.Lock()
    count = [0]

    class Handler(BaseHTTPRequestHandler):
        def do_GET(self):
            with log_lock:
                count[0] += 1
                with open(os.path.join(folder, "requests.log"), "a", encoding="ascii", errors="replace") as log:
                    log.write(self.path + "\n")
            rule = None
            try:
                with open(os.path.join(folder, "plan.json"), encoding="utf-8") as plan:
                    rule = next((r for r in json.load(plan) if r.get("match", "") in self.path), None)
            except (OSError, ValueError):
                pass
            if rule is None:
                self.send_error(404)
                return
            time.sleep(float(rule.get("delay", 0)))
            body = bytes.fromhex(rule.get("body_hex", ""))
            self.send_response(int(rule.get("status", 200)))
            if rule.get("content_type"):
                self.send_header("Content-Type", rule["content_type"])
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.timeout = 0.1
    with open(os.path.join(folder, "port.tmp"), "w", encoding="ascii") as port:
        port.write(str(server.server_address[1]))
    os.replace(os.path.join(folder, "port.tmp"), os.path.join(folder, "port"))

    deadline = time.monotonic() + MAX_SECONDS
    while (time.monotonic() < deadline and count[0] < MAX_REQUESTS
           and not os.path.exists(os.path.join(folder, "stop"))):
        server.handle_request()
    server.server_close()
    with open(os.path.join(folder, "stopped"), "w", encoding="ascii"):
        pass


if __name__ == "__main__":
    main()
