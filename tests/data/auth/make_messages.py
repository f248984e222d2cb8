#!/usr/bin/env python3
"""Writes the DKIM-signed test messages of tests/data/auth/.

Each message is signed with a throw-away RSA test key (made with `openssl
genpkey` in a temporary folder, never kept). The body hash bh= is computed
here independently of the program: the body is canonicalised by the few
lines below (RFC 6376 3.4.3 / 3.4.4), cut at l=, and hashed by `openssl dgst`.
The header signature b= is made by `openssl dgst -sign` over the relaxed
header canonicalisation, so the messages carry real signatures; the program
itself does not check b=.

The expected body hashes are also printed, for the tests that name them.

Usage: tests/data/auth/make_messages.py
"""
import base64
import os
import re
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def canon_body(body, relaxed):
    lines = body.split(b"\r\n")
    if lines and lines[-1] == b"":
        lines.pop()  # the body's last line end
    if relaxed:
        lines = [re.sub(rb"[ \t]+", b" ", l).rstrip(b" ") for l in lines]
    while lines and lines[-1] == b"":
        lines.pop()
    if not lines:
        return b"" if relaxed else b"\r\n"
    return b"".join(l + b"\r\n" for l in lines)


def openssl_digest(data, algo, key=None):
    cmd = ["openssl", "dgst", "-" + algo, "-binary"]
    if key:
        cmd += ["-sign", key]
    return subprocess.run(cmd, input=data, capture_output=True, check=True).stdout


def relaxed_header(name, value):
    value = re.sub(rb"\r\n(?=[ \t])", b"", value)
    value = re.sub(rb"[ \t]+", b" ", value).strip(b" ")
    return name.lower().strip() + b":" + value


def sign(headers, body, key, d, s, canon="relaxed/relaxed", algo="sha256", length=None):
    """headers: list of (name, value) bytes; returns the DKIM-Signature value."""
    body_canon = canon.split("/")[1]
    c = canon_body(body, body_canon == "relaxed")
    if length is not None:
        c = c[:length]
    bh = base64.b64encode(openssl_digest(c, algo)).decode()
    names = [n for n, _ in headers if n.lower() in (b"from", b"to", b"subject", b"date", b"message-id")]
    tags = "v=1; a=rsa-%s; c=%s; d=%s; s=%s;\r\n\th=%s;%s\r\n\tbh=%s;\r\n\tb=" % (
        algo, canon, d, s, ":".join(n.decode() for n in names),
        "" if length is None else " l=%d;" % length, bh)
    # Headers are always signed relaxed here: the program never reads b=.
    signed = b"".join(relaxed_header(n, v) + b"\r\n" for n, v in headers if n in names)
    signed += relaxed_header(b"DKIM-Signature", b" " + tags.encode())
    b = base64.b64encode(openssl_digest(signed, algo, key)).decode()
    folded = "\r\n\t ".join(b[i:i + 64] for i in range(0, len(b), 64))
    return tags + folded, bh


def write(name, top, headers, body, sig_value=None):
    out = b""
    for n, v in top:
        out += n + b":" + v + b"\r\n"
    if sig_value:
        out += b"DKIM-Signature: " + sig_value.encode() + b"\r\n"
    for n, v in headers:
        out += n + b":" + v + b"\r\n"
    out += b"\r\n" + body
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out)


def basic_headers(frm, to, subject, msgid, date="Tue, 08 Dec 2026 10:00:00 +0900"):
    return [(b"From", b" " + frm), (b"To", b" " + to), (b"Subject", b" " + subject),
            (b"Date", b" " + date.encode()), (b"Message-ID", b" " + msgid),
            (b"MIME-Version", b" 1.0")]


# Bodies with what the two canonicalisations treat differently: blanks at
# line ends, runs of blanks and tabs, empty lines at the end.
PLAIN_BODY = (b"Hello,  this is a  test.\t \r\n"
              b"\r\n"
              b"  Indented\tline with\t\ttabs   \r\n"
              b"Second paragraph.\r\n"
              b"\r\n"
              b"\r\n")


def main():
    tmp = tempfile.mkdtemp()
    key = os.path.join(tmp, "test-key.pem")
    subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048",
                    "-out", key], check=True, capture_output=True)

    # The body-hash set: one message per canonicalisation, with and without l=.
    cases = [("dkim-simple.eml", "simple/simple", "sha256", None),
             ("dkim-relaxed.eml", "relaxed/relaxed", "sha256", None),
             ("dkim-simple-l.eml", "simple/simple", "sha256", 40),
             ("dkim-relaxed-l.eml", "relaxed/relaxed", "sha256", 40),
             ("dkim-sha1.eml", "relaxed/simple", "sha1", None)]
    for name, canon, algo, length in cases:
        h = basic_headers(b"Tarvo Test <sender@mail.tarvo-test.example>", b"<rcpt@tarvo-test.example>",
                          name.encode(), b"<%s@mail.tarvo-test.example>" % name.encode())
        h.append((b"Content-Type", b" text/plain; charset=us-ascii"))
        sig, bh = sign(h, PLAIN_BODY, key, "tarvo-test.example", "sel1", canon, algo, length)
        write(name, [], h, PLAIN_BODY, sig)
        print("%s bh=%s" % (name, bh))

    # A clean message from one Gmail user to another, as Gmail delivers it.
    html = ("<div dir=\"ltr\">来週の打ち合わせは火曜日の 10 時からでお願いします。<br>"
            "資料は <a href=\"https://www.google.com/drive/\">www.google.com/drive</a> に置きました。</div>\r\n")
    text = "来週の打ち合わせは火曜日の 10 時からでお願いします。\r\n資料は Google ドライブに置きました。\r\n"
    body = (b"--000000000000a1b2c3d4e5f6\r\n"
            b"Content-Type: text/plain; charset=\"UTF-8\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
            + base64.encodebytes(text.encode()).replace(b"\n", b"\r\n") +
            b"\r\n--000000000000a1b2c3d4e5f6\r\n"
            b"Content-Type: text/html; charset=\"UTF-8\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
            + base64.encodebytes(html.encode()).replace(b"\n", b"\r\n") +
            b"\r\n--000000000000a1b2c3d4e5f6--\r\n")
    subject = b"=?UTF-8?B?" + base64.b64encode("打ち合わせの件".encode()) + b"?="
    h = basic_headers(b"=?UTF-8?B?" + base64.b64encode("山田 太郎".encode()) + b"?= <taro.tarvo.test@gmail.com>",
                      b"hanako.tarvo.test@gmail.com", subject,
                      b"<CAKx7dQ2v9Ljm1tarvotest000001@mail.gmail.com>")
    h.append((b"Content-Type", b" multipart/alternative; boundary=\"000000000000a1b2c3d4e5f6\""))
    sig, bh = sign(h, body, key, "gmail.com", "20230601")
    b8 = re.sub(r"\s", "", sig.split("b=")[-1])[:8]
    ar = ("mx.google.com;\r\n       dkim=pass header.i=@gmail.com header.s=20230601 header.b=%s;\r\n"
          "       spf=pass (google.com: domain of taro.tarvo.test@gmail.com designates 209.85.220.41 as permitted sender)"
          " smtp.mailfrom=taro.tarvo.test@gmail.com;\r\n"
          "       dmarc=pass (p=NONE sp=QUARANTINE dis=NONE) header.from=gmail.com" % b8)
    top = [(b"Delivered-To", b" hanako.tarvo.test@gmail.com"),
           (b"Received", b" by 2002:a05:6a10:1234:b0:5a1:2b3c:4d5e with SMTP id abc123;\r\n"
                         b"        Tue, 8 Dec 2026 01:00:02 -0800 (PST)"),
           (b"ARC-Seal", b" i=1; a=rsa-sha256; t=1796720402; cv=none;\r\n        d=google.com; s=arc-20160816;"
                         b" b=dGVzdCBvbmx5"),
           (b"ARC-Message-Signature", b" i=1; a=rsa-sha256; c=relaxed/relaxed; d=google.com; s=arc-20160816;"
                                      b"\r\n        h=to:subject:message-id:date:from:mime-version; bh=" +
                                      bh.encode() + b"; b=dGVzdCBvbmx5"),
           (b"ARC-Authentication-Results", b" i=1; " + ar.encode()),
           (b"Return-Path", b" <taro.tarvo.test@gmail.com>"),
           (b"Received", b" from mail-sor-f41.google.com (mail-sor-f41.google.com. [209.85.220.41])\r\n"
                         b"        by mx.google.com with SMTPS id x1sor123.2026.12.08.01.00.02\r\n"
                         b"        for <hanako.tarvo.test@gmail.com>;\r\n        Tue, 08 Dec 2026 01:00:02 -0800 (PST)"),
           (b"Received-SPF", b" pass (google.com: domain of taro.tarvo.test@gmail.com designates 209.85.220.41"
                             b" as permitted sender) client-ip=209.85.220.41;"),
           (b"Authentication-Results", b" " + ar.encode())]
    write("gmail-clean.eml", top, h, body, sig)
    print("gmail-clean.eml bh=%s" % bh)

    # A phishing-like message: signed, then its link changed, sent from
    # elsewhere with a bank's address in the display name.
    lookalike = "xn--" + "tarvо-bank".encode("punycode").decode()  # a Cyrillic "о"
    link_host = lookalike + ".example.net"
    signed_html = ("<p>お客様の口座が一時的に制限されました。</p>\r\n"
                   "<p><a href=\"https://www.tarvo-bank.co.jp/login\">https://www.tarvo-bank.co.jp/login</a>"
                   " から本人確認をしてください。</p>\r\n")
    sent_html = signed_html.replace("https://www.tarvo-bank.co.jp/login\">",
                                    "http://%s/verify\">" % link_host)
    phish_headers = basic_headers(b"\"support@tarvo-bank.co.jp\" <notice@tarvo-bank-secure.example.com>",
                                  b"<customer@tarvo-test.example>",
                                  b"=?UTF-8?B?" + base64.b64encode("【重要】口座の確認".encode()) + b"?=",
                                  b"<20261208093011.4711@mx01.mailer.example.ru>")
    phish_headers += [(b"Reply-To", b" <help@%s.com>" % lookalike.encode()),
                      (b"Sender", b" <mailer@bulk-sender.example.org>"),
                      (b"Content-Type", b" text/html; charset=UTF-8"),
                      (b"Content-Transfer-Encoding", b" 8bit")]
    sig, bh = sign(phish_headers, signed_html.encode(), key, "tarvo-bank-secure.example.com", "mail")
    ar = ("mx.tarvo-test.example;\r\n"
          "\tspf=fail (mx.tarvo-test.example: domain of bounce@bulk-sender.example.org does not designate"
          " 203.0.113.50 as permitted sender) smtp.mailfrom=bounce@bulk-sender.example.org;\r\n"
          "\tdkim=fail reason=\"body hash did not verify\" header.d=tarvo-bank-secure.example.com header.s=mail;\r\n"
          "\tdmarc=fail (p=QUARANTINE dis=QUARANTINE) header.from=tarvo-bank-secure.example.com")
    top = [(b"Return-Path", b" <bounce@bulk-sender.example.org>"),
           (b"Authentication-Results", b" " + ar.encode()),
           (b"Received", b" from mx01.mailer.example.ru (unknown [203.0.113.50])\r\n"
                         b"\tby mx.tarvo-test.example (Postfix) with ESMTP id 4ABCD12345\r\n"
                         b"\tfor <customer@tarvo-test.example>; Tue,  8 Dec 2026 09:30:12 +0900 (JST)")]
    write("phishing.eml", top, phish_headers, sent_html.encode(), sig)
    print("phishing.eml signed bh=%s" % bh)


if __name__ == "__main__":
    main()
