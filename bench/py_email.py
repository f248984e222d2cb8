#!/usr/bin/env python3
"""The peer: Python's email package parsing a message and decoding every part."""
import email
import email.policy
import sys

with open(sys.argv[1], "rb") as f:
    msg = email.message_from_bytes(f.read(), policy=email.policy.compat32)
total = 0
for part in msg.walk():
    payload = part.get_payload(decode=True)
    if payload:
        total += len(payload)
print(total)
