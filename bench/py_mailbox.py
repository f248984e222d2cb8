#!/usr/bin/env python3
"""The peer for mailboxes: Python's email package parsing every message of
an mbox or a Maildir and decoding every part, in one process."""
import email
import email.policy
import mailbox
import sys

path = sys.argv[1]
box = mailbox.Maildir(path, factory=None, create=False) if sys.argv[2] == "maildir" else mailbox.mbox(path, create=False)
total = messages = 0
for key in box.iterkeys():
    msg = email.message_from_bytes(box.get_bytes(key), policy=email.policy.compat32)
    messages += 1
    for part in msg.walk():
        payload = part.get_payload(decode=True)
        if payload:
            total += len(payload)
print(messages, total)
