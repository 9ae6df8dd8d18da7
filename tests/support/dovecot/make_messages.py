#!/usr/bin/env python3
"""Writes the mail that the Dovecot integration tests and the POP3 benchmark serve.

The messages come from Python's own MIME generator (email.message.EmailMessage), so they are shaped the way a real mail
program shapes them; only the 8-bit message is written by hand, because a generator never emits raw 8-bit header bytes.

    make_messages.py tests OUTDIR
        OUTDIR/<name>.eml for plain, attachments, eightbit and large, and OUTDIR/<name>/<file> for every attachment:
        the bytes a receiver must end up with when it saves that attachment.
    make_messages.py bench OUTDIR COUNT BIG_BYTES
        OUTDIR/small-NNNN.eml (COUNT small messages) and OUTDIR/big.eml (one attachment of BIG_BYTES bytes).

Everything is deterministic, so a failing comparison can be reproduced byte for byte.
"""

import email.message
import email.policy
import hashlib
import os
import sys

# Maildir files carry LF line ends; the server turns them into CR LF on the wire.
POLICY = email.policy.default.clone(linesep="\n")


def pseudo_random_bytes(label, size):
    """Bytes that cover every value (NUL, CR and LF included), the same on every run."""
    blocks = []
    produced = 0
    counter = 0
    while produced < size:
        block = hashlib.sha256(b"%s-%d" % (label.encode(), counter)).digest()
        blocks.append(block)
        produced += len(block)
        counter += 1
    return b"".join(blocks)[:size]


def on_the_wire(text):
    """A text attachment reaches the receiver with CR LF line ends."""
    return text.replace("\n", "\r\n").encode("utf-8")


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def write_message(outdir, name, message_bytes, attachments):
    write(os.path.join(outdir, name + ".eml"), message_bytes)
    if attachments:
        folder = os.path.join(outdir, name)
        os.makedirs(folder, exist_ok=True)
        for file_name, data in attachments.items():
            write(os.path.join(folder, file_name), data)


def plain_message():
    m = email.message.EmailMessage(policy=POLICY)
    m["From"] = "Anna Berger <anna@example.org>"
    m["To"] = "reader@example.org"
    m["Subject"] = "Quarterly figures"
    m["Date"] = "Mon, 02 Jun 2025 09:15:00 +0200"
    m["Message-ID"] = "<plain.1@zendrel.test>"
    m.set_content("Hello,\n\nthe figures follow next week.\n\nAnna\n")
    return m.as_bytes(), {}


# The text attachment's lines that begin with a dot must come back exactly: the server doubles the dot on the wire.
NOTES = "Notes\n.hidden line\n.\n..\n...three\nlast line\n"


def attachments_message():
    report = pseudo_random_bytes("report.pdf", 40000)
    photo = pseudo_random_bytes("photo.jpg", 100003)
    m = email.message.EmailMessage(policy=POLICY)
    m["From"] = "J\u00fcrgen Wei\u00df <juergen@example.org>"
    m["To"] = "reader@example.org"
    m["Subject"] = "Gr\u00fc\u00dfe aus K\u00f6ln"
    m["Date"] = "Tue, 03 Jun 2025 14:00:00 +0200"
    m["Message-ID"] = "<attachments.2@zendrel.test>"
    m.set_content("Three files for you.\n")
    m.add_attachment(report, maintype="application", subtype="pdf", filename="report.pdf")
    m.add_attachment(photo, maintype="image", subtype="jpeg", filename="photo.jpg")
    # Last in the message: the last part of a multipart ends exactly at its closing delimiter.
    m.add_attachment(NOTES, subtype="plain", filename="notes.txt")
    m.set_boundary("attachments-boundary")
    return m.as_bytes(), {"report.pdf": report, "photo.jpg": photo, "notes.txt": on_the_wire(NOTES)}


def eightbit_message():
    lines = [bytes(range(0x80 + 32 * k, 0x80 + 32 * (k + 1))) for k in range(4)]
    attachment = b"".join(line + b"\n" for line in lines)
    body = b"A NUL byte follows:\x00: and 8-bit letters \xe4\xf6\xfc.\n"
    message = (
        b"From: Ren\xe9 Fran\xe7ois <rene@example.org>\n"
        b"To: reader@example.org\n"
        b"Subject: Gr\xfc\xdfe =?iso-8859-1?q?aus_K=F6ln?=\n"
        b"Date: Wed, 04 Jun 2025 08:30:00 +0200\n"
        b"Message-ID: <eightbit.3@zendrel.test>\n"
        b"MIME-Version: 1.0\n"
        b'Content-Type: multipart/mixed; boundary="eightbit-boundary"\n'
        b"\n"
        b"--eightbit-boundary\n"
        b"Content-Type: text/plain; charset=iso-8859-1\n"
        b"Content-Transfer-Encoding: 8bit\n"
        b"\n" + body + b"\n"
        b"--eightbit-boundary\n"
        b"Content-Type: application/octet-stream\n"
        b"Content-Transfer-Encoding: 8bit\n"
        b'Content-Disposition: attachment; filename="latin1.bin"\n'
        b"\n" + attachment + b"\n"
        b"--eightbit-boundary--\n"
    )
    return message, {"latin1.bin": attachment.replace(b"\n", b"\r\n")}


def large_message():
    archive = pseudo_random_bytes("archive.zip", 3 * 1024 * 1024 + 17)
    m = email.message.EmailMessage(policy=POLICY)
    m["From"] = "Backup <backup@example.org>"
    m["To"] = "reader@example.org"
    m["Subject"] = "Nightly archive"
    m["Date"] = "Thu, 05 Jun 2025 02:00:00 +0200"
    m["Message-ID"] = "<large.4@zendrel.test>"
    m.set_content("The archive is attached.\n")
    m.add_attachment(archive, maintype="application", subtype="zip", filename="archive.zip")
    m.set_boundary("large-boundary")
    return m.as_bytes(), {"archive.zip": archive}


def write_test_messages(outdir):
    for name, build in (("plain", plain_message), ("attachments", attachments_message),
                        ("eightbit", eightbit_message), ("large", large_message)):
        message_bytes, attachments = build()
        write_message(outdir, name, message_bytes, attachments)


def small_message(number):
    m = email.message.EmailMessage(policy=POLICY)
    m["From"] = "Sender %d <sender%d@example.org>" % (number % 37, number % 37)
    m["To"] = "bench@example.org"
    m["Subject"] = "Small message %04d" % number
    m["Date"] = "Fri, 06 Jun 2025 10:00:00 +0200"
    m["Message-ID"] = "<small.%04d@zendrel.test>" % number
    m.set_content("Line %d of a short note.\n" % number * 20)
    return m.as_bytes()


def big_message(size):
    m = email.message.EmailMessage(policy=POLICY)
    m["From"] = "Archive <archive@example.org>"
    m["To"] = "bench@example.org"
    m["Subject"] = "Big message"
    m["Date"] = "Fri, 06 Jun 2025 11:00:00 +0200"
    m["Message-ID"] = "<big@zendrel.test>"
    m.set_content("A large attachment follows.\n")
    m.add_attachment(pseudo_random_bytes("big.bin", size), maintype="application", subtype="octet-stream",
                     filename="big.bin")
    m.set_boundary("big-boundary")
    return m.as_bytes()


def write_bench_messages(outdir, count, big_bytes):
    for number in range(1, count + 1):
        write(os.path.join(outdir, "small-%04d.eml" % number), small_message(number))
    write(os.path.join(outdir, "big.eml"), big_message(big_bytes))


def main(argv):
    if len(argv) == 3 and argv[1] == "tests":
        os.makedirs(argv[2], exist_ok=True)
        write_test_messages(argv[2])
        return 0
    if len(argv) == 5 and argv[1] == "bench":
        os.makedirs(argv[2], exist_ok=True)
        write_bench_messages(argv[2], int(argv[3]), int(argv[4]))
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
