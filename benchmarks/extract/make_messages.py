#!/usr/bin/env python3
"""Writes the benchmark's message files and the sha256 of every attachment they carry.

big/big.eml: one message with a single base64 attachment of random bytes (50 MiB by default).
many/msg-NNNN.eml: COUNT messages, each with a short text body and two base64 attachments of random bytes.
expected.sha256: "digest  file name" of every attachment, in the format of sha256sum.

The messages are written directly (the same layout Python's email generator produces for these parts, CR LF line
ends as a POP3 retrieval delivers them), because generating 2,000 messages through email.generator takes far longer
than the tools take to read them.
"""

import argparse
import base64
import hashlib
import os


def base64_lines(data):
    # 76 characters per line, as RFC 2045 asks and mailers write.
    return base64.encodebytes(data).replace(b"\n", b"\r\n")


def attachment_part(boundary, name, data):
    return (
        b"--" + boundary + b"\r\n"
        b"Content-Type: application/octet-stream\r\n"
        b"Content-Transfer-Encoding: base64\r\n"
        b'Content-Disposition: attachment; filename="' + name.encode() + b'"\r\n'
        b"\r\n" + base64_lines(data)
    )


def message(number, attachments):
    boundary = b"===============%019d==" % (7_000_000_000_000_000_000 + number)
    parts = [
        b"From: Sender <sender@example.org>\r\n"
        b"To: reports@example.org\r\n"
        b"Subject: Report %d\r\n" % number
        + b"Date: Mon, 04 Mar 2024 09:30:00 +0100\r\n"
        b"Message-ID: <report-%d@example.org>\r\n" % number
        + b"MIME-Version: 1.0\r\n"
        b'Content-Type: multipart/mixed; boundary="' + boundary + b'"\r\n'
        b"\r\n"
        b"--" + boundary + b"\r\n"
        b'Content-Type: text/plain; charset="utf-8"\r\n'
        b"Content-Transfer-Encoding: 7bit\r\n"
        b"\r\n"
        b"The reports are attached.\r\n"
    ]
    for name, data in attachments:
        parts.append(attachment_part(boundary, name, data))
    parts.append(b"--" + boundary + b"--\r\n")
    return b"".join(parts)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--big-bytes", type=int, default=50 * 1024 * 1024)
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--attachment-bytes", type=int, default=100 * 1024)
    args = parser.parse_args()

    os.makedirs(os.path.join(args.folder, "big"), exist_ok=True)
    os.makedirs(os.path.join(args.folder, "many"), exist_ok=True)
    expected = []

    def write(path, number, attachments):
        with open(path, "wb") as f:
            f.write(message(number, attachments))
        for name, data in attachments:
            expected.append("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name))

    write(os.path.join(args.folder, "big", "big.eml"), 0, [("big-attachment.bin", os.urandom(args.big_bytes))])
    for number in range(1, args.count + 1):
        attachments = [("msg-%04d-%d.bin" % (number, k), os.urandom(args.attachment_bytes)) for k in (1, 2)]
        write(os.path.join(args.folder, "many", "msg-%04d.eml" % number), number, attachments)

    with open(os.path.join(args.folder, "expected.sha256"), "w") as f:
        f.writelines(sorted(expected, key=lambda line: line.split("  ", 1)[1]))


if __name__ == "__main__":
    main()
