#!/usr/bin/env python3
"""Writes COUNT messages as one mbox and as a Maildir: sizes from 2 KB to
200 KB, text in ISO-2022-JP, Shift_JIS, EUC-JP and UTF-8, multiparts with
base64 attachments, 2 to 12 relays, bodies with "From " lines (escaped).
usage: gen_mailbox.py COUNT OUT.mbox OUT_MAILDIR"""
import base64
import os
import random
import sys

CHARSETS = [("iso-2022-jp", "7bit"), ("shift_jis", "base64"), ("euc-jp", "8bit"), ("utf-8", "quoted-printable")]
TEXT = "配信経路と文字コードの試験です。添付ファイルをご確認ください。"


def encode_body(text, charset, cte):
    raw = text.encode(charset)
    if cte == "base64":
        return base64.encodebytes(raw).replace(b"\n", b"\r\n")
    if cte == "quoted-printable":
        import quopri
        return quopri.encodestring(raw).replace(b"\n", b"\r\n")
    return raw.replace(b"\n", b"\r\n")


def message(rnd, i):
    size = int(2048 * (100 ** rnd.random()))  # 2 KB .. 200 KB, most of them small
    charset, cte = rnd.choice(CHARSETS)
    out = bytearray()
    for h in range(rnd.randint(2, 12)):
        out += (f"Received: from relay{h}.example{i % 50}.net (relay{h}.example.net [133.{h}.{i % 256}.{h + 1}])\r\n"
                f"\tby mx{h}.example.jp with ESMTP id {i:08X}{h};\r\n"
                f"\tMon, 7 Dec 2026 04:{h:02d}:{i % 60:02d} +0900\r\n").encode()
    subject = base64.b64encode(f"試験 {i}".encode("utf-8")).decode()
    out += (f"Date: Mon, 7 Dec 2026 04:25:{i % 60:02d} +0900\r\nFrom: sender{i % 97} <s{i % 97}@example{i % 13}.jp>\r\n"
            f"To: user@example.net\r\nSubject: =?UTF-8?B?{subject}?=\r\nMessage-ID: <{i}@example.jp>\r\n"
            "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n").encode()
    lines = "\n".join(f"{TEXT} {n}" for n in range(4)) + "\nFrom the desk of the sender\n"
    out += f"Content-Type: text/plain; charset={charset}\r\nContent-Transfer-Encoding: {cte}\r\n\r\n".encode()
    out += encode_body(lines, charset, cte) + b"\r\n"
    while len(out) < size:
        blob = rnd.randbytes(min(size - len(out), 60000))
        out += (b"--b\r\nContent-Type: application/octet-stream; name=\"data%d.bin\"\r\n"
                b"Content-Disposition: attachment; filename=\"data%d.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                % (len(out), len(out)))
        out += base64.encodebytes(blob).replace(b"\n", b"\r\n")
    out += b"--b--\r\n"
    return bytes(out)


def main():
    count, mbox, maildir = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    rnd = random.Random(29)
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(maildir, sub), exist_ok=True)
    with open(mbox, "wb") as box:
        for i in range(count):
            m = message(rnd, i)
            with open(os.path.join(maildir, "cur", f"{1765000000 + i}.{i}.bench:2,S"), "wb") as f:
                f.write(m)
            # mboxrd: every line that starts with ">*From " gets one more ">".
            lines = m.split(b"\r\n")
            escaped = [b">" + l if l.lstrip(b">").startswith(b"From ") else l for l in lines]
            box.write(b"From bench@example.jp Mon Dec  7 04:25:00 2026\n" + b"\r\n".join(escaped) + b"\n")


main()
