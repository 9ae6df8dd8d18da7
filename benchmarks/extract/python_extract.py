#!/usr/bin/env python3
"""Saves the attachments of message files with Python's email package: the peer the benchmark compares against.

Usage: python_extract.py FOLDER FILE...
"""

import email
import email.policy
import os
import sys


def main():
    folder, files = sys.argv[1], sys.argv[2:]
    for path in files:
        with open(path, "rb") as f:
            message = email.message_from_binary_file(f, policy=email.policy.default)
        for part in message.iter_attachments():
            name = part.get_filename()
            if not name:
                continue
            with open(os.path.join(folder, os.path.basename(name)), "wb") as out:
                out.write(part.get_payload(decode=True))


if __name__ == "__main__":
    main()
