#!/usr/bin/env python3
"""Writes the attachment test messages here: risky names and contents."""
import base64, io, zipfile

def pe():
    b = bytearray(0x80)
    b[0:2] = b'MZ'
    b[0x3C] = 0x40
    b[0x40:0x44] = b'PE\0\0'
    return bytes(b)

def part(ctype, name, data):
    return ('--b\r\nContent-Type: %s; name="%s"\r\nContent-Disposition: attachment; filename="%s"\r\n'
            'Content-Transfer-Encoding: base64\r\n\r\n%s\r\n' % (ctype, name, name, base64.encodebytes(data).decode().replace('\n', '\r\n')))

z = io.BytesIO()
with zipfile.ZipFile(z, 'w') as f:
    f.writestr('請求書/invoice.exe', pe())
    f.writestr('readme.txt', 'hello')
msg = ('From: Shop <info@shop.example>\r\nTo: user@example.jp\r\nSubject: risky attachments\r\n'
       'Date: Mon, 1 Jun 2026 10:00:00 +0900\r\nMessage-ID: <attach@shop.example>\r\nMIME-Version: 1.0\r\n'
       'Content-Type: multipart/mixed; boundary="b"\r\n\r\n--b\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nsee attached\r\n'
       + part('application/pdf', 'invoice.pdf', pe()) + part('application/zip', 'files.zip', z.getvalue())
       + part('application/x-msdownload', 'photo.jpg', b'\xff\xd8\xff\xe0') + '--b--\r\n')
open('risky-attachments.eml', 'w', newline='').write(msg)
