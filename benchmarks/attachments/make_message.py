#!/usr/bin/env python3
"""Writes one message with COUNT one-line text attachments, each under its own name: a mail of a few MB whose cost
must grow with the number of its attachments, not with its square."""

import sys


def main():
    count, path = int(sys.argv[1]), sys.argv[2]
    pieces = [
        b"From: Sender <sender@example.org>\r\n"
        b"Subject: many attachments\r\n"
        b"Date: Mon, 04 Mar 2024 09:30:00 +0100\r\n"
        b"MIME-Version: 1.0\r\n"
        b'Content-Type: multipart/mixed; boundary="many-parts"\r\n'
        b"\r\n"
        b"--many-parts\r\n"
        b"Content-Type: text/plain\r\n"
        b"\r\n"
        b"The lines are attached.\r\n"
    ]
    for k in range(count):
        pieces.append(
            b"--many-parts\r\n"
            b"Content-Type: text/plain\r\n"
            b'Content-Disposition: attachment; filename="line-%05d.txt"\r\n'
            b"\r\n"
            b"line %d\r\n" % (k, k)
        )
    pieces.append(b"--many-parts--\r\n")
    with open(path, "wb") as f:
        f.write(b"".join(pieces))


if __name__ == "__main__":
    main()
