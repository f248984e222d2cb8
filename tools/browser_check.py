#!/usr/bin/env python3
"""Opens the HTML page `tarvo --save-html` writes for each hostile message in a
real browser (Chromium, headless) with every host under .example (the only
hosts test messages name) sent to a local server that counts requests, and
the browser's own services unreachable: a safe page makes no request. As a control, the message's HTML
part as it stands is opened the same way and must make some, so the check
itself can fail. Needs Debian's chromium; not part of the test suite.
usage: tools/browser_check.py TARVO MESSAGE.eml..."""
import email
import email.policy
import http.server
import os
import subprocess
import sys
import tempfile
import threading

requests = []


class Counter(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        requests.append(self.headers.get("Host", "") + self.path)
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.end_headers()
        self.wfile.write(b"x")

    do_POST = do_HEAD = do_GET

    def log_message(self, *args):
        pass


def open_in_browser(page, port):
    """Requests the page made, after scripts and timers had 5 s of virtual time."""
    del requests[:]
    profile = tempfile.mkdtemp(prefix="tarvo-browser-")
    dom = subprocess.run(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-background-networking", "--disable-component-update",
         f"--user-data-dir={profile}", f"--host-resolver-rules=MAP *.example 127.0.0.1:{port}, MAP * ~NOTFOUND",
         "--virtual-time-budget=5000", "--dump-dom", "file://" + page],
        capture_output=True, text=True, timeout=120).stdout
    subprocess.run(["rm", "-rf", profile])
    return list(requests), dom


def raw_html(message):
    with open(message, "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    part = msg.get_body(preferencelist=("html",))
    return part.get_content() if part else None


def main():
    tarvo, messages = sys.argv[1], sys.argv[2:]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Counter)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    port = server.server_address[1]
    work = tempfile.mkdtemp(prefix="tarvo-check-")
    failed = controls = 0
    for message in messages:
        html = raw_html(message)
        if html is None:
            continue
        name = os.path.basename(message)
        control = os.path.join(work, name + ".raw.html")
        with open(control, "w", encoding="utf-8") as f:
            f.write(html)
        safe = os.path.join(work, name + ".safe.html")
        subprocess.run([tarvo, "--save-html", message, safe], check=True)
        made, dom = open_in_browser(safe, port)
        raw_made, _ = open_in_browser(control, port)
        ok = not made and "<body" in dom and "<script" not in dom.lower()
        failed += not ok
        controls += bool(raw_made)
        print(f"{'ok  ' if ok else 'FAIL'} {name}: made page {len(made)} requests, "
              f"the raw HTML {len(raw_made)} (control)")
        for r in made:
            print("     request:", r)
    server.shutdown()
    subprocess.run(["rm", "-rf", work])
    if not controls:
        print("FAIL no raw HTML made a request: the check saw nothing")
    sys.exit(1 if failed or not controls else 0)


if __name__ == "__main__":
    main()
