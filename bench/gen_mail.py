#!/usr/bin/env python3
"""Writes a large test message of about SIZE megabytes: a dozen relays,
ISO-2022-JP text, lines longer than 2,048 bytes, base64 attachments and
nested multipart/alternative parts.  usage: gen_mail.py SIZE_MB OUT"""
import base64
import random
import sys

def jis(s):
    return s.encode("iso2022_jp")

def main():
    size = int(float(sys.argv[1]) * 1024 * 1024)
    rnd = random.Random(1)
    out = bytearray()
    for i in range(12):
        out += (f"Received: from relay{i}.example.net (relay{i}.example.net [133.{i}.{i * 7 % 256}.{i + 1}])\r\n"
                f"\tby mx{i}.example.jp with ESMTP id {i:08X};\r\n"
                f"\tMon, 7 Dec 2026 04:{i:02d}:45 +0900 (JST)\r\n").encode()
    subject = base64.b64encode(jis("大きな試験用メッセージ")).decode()
    out += (f"Date: Mon, 7 Dec 2026 04:25:45 +0900\r\nFrom: bench <bench@example.jp>\r\n"
            f"To: user@example.net\r\nSubject: =?ISO-2022-JP?B?{subject}?=\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
            "This is a multi-part message in MIME format.\r\n").encode()
    text_line = jis("日本語の本文です。配信経路と文字コードの試験を行います。") + b" abc 123\r\n"
    long_line = b"x" * 3000 + b"\r\n"
    n = 0
    while len(out) < size:
        n += 1
        out += (b"--outer\r\nContent-Type: multipart/alternative; boundary=\"alt%d\"\r\n\r\n"
                b"--alt%d\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
                b"Content-Transfer-Encoding: 7bit\r\n\r\n" % (n, n))
        out += text_line * 200 + long_line * 5
        out += (b"--alt%d\r\nContent-Type: text/html; charset=ISO-2022-JP\r\n\r\n<html><body>" % n)
        out += text_line * 100 + b"</body></html>\r\n--alt%d--\r\n" % n
        blob = bytes(rnd.getrandbits(8) for _ in range(48 * 1024))
        b64 = base64.encodebytes(blob).replace(b"\n", b"\r\n")
        out += (b"--outer\r\nContent-Type: application/octet-stream; name=\"data%d.bin\"\r\n"
                b"Content-Transfer-Encoding: base64\r\n"
                b"Content-Disposition: attachment; filename=\"data%d.bin\"\r\n\r\n" % (n, n))
        out += b64
    out += b"--outer--\r\n"
    with open(sys.argv[2], "wb") as f:
        f.write(out)

if __name__ == "__main__":
    main()
