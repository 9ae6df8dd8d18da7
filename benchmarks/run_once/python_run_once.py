#!/usr/bin/env python3
"""The peer of the run-once benchmark: one mailbox run written with poplib and the email package.

    python_run_once.py HOST PORT USER PASSWORD SEARCH EXTENSIONS SAVE_DIR [tls]

Logs in with USER and PASS, reads the header of every message (TOP n 0), retrieves those whose subject contains SEARCH
in any letter case (every message when SEARCH is empty), and saves their attachments whose file extension is in
EXTENSIONS into SAVE_DIR under the names they carry. EXTENSIONS is the list as typed ("pdf, .CSV"); an empty list
allows every attachment, an empty field names without an extension. Leaves the mail on the server. Prints the number
of saved files. With "tls" it speaks POP3 over TLS (POP3S), checking the server's certificate against the default
trust (SSL_CERT_FILE).
"""

import email
import email.errors
import email.header
import email.parser
import os
import poplib
import ssl
import sys


def prepared_extensions(typed):
    """The fields of the list, lower-cased, without dots and the blanks around each field; None allows everything."""
    if not typed:
        return None
    return {field.strip(" \t") for field in typed.replace(".", "").lower().split(",")}


def extension_of(name):
    base = name.replace("\\", "/").rsplit("/", 1)[-1]
    if "." not in base:
        return ""
    return base.rsplit(".", 1)[1].split('"', 1)[0]


def decoded_subject(header):
    raw = header.get("Subject", "")
    try:
        return str(email.header.make_header(email.header.decode_header(raw)))
    except (LookupError, UnicodeError, email.errors.HeaderParseError):
        return str(raw)


def main(argv):
    if len(argv) not in (8, 9) or (len(argv) == 9 and argv[8] != "tls"):
        sys.stderr.write(__doc__)
        return 2
    host, port, user, password, search, extensions, save_dir = argv[1:8]
    allowed = prepared_extensions(extensions)
    search = search.lower()
    header_parser = email.parser.BytesHeaderParser()

    if len(argv) == 9:
        client = poplib.POP3_SSL(host, int(port), timeout=30, context=ssl.create_default_context())
    else:
        client = poplib.POP3(host, int(port), timeout=30)
    client.user(user)
    client.pass_(password)
    count, _ = client.stat()
    saved = 0
    for number in range(1, count + 1):
        _, lines, _ = client.top(number, 0)
        header = header_parser.parsebytes(b"\r\n".join(lines))
        if search and search not in decoded_subject(header).lower():
            continue
        _, lines, _ = client.retr(number)
        message = email.message_from_bytes(b"\r\n".join(lines))
        for part in message.walk():
            if part.get_content_disposition() != "attachment":
                continue
            name = part.get_filename()
            if not name or (allowed is not None and extension_of(name.lower()) not in allowed):
                continue
            with open(os.path.join(save_dir, os.path.basename(name)), "wb") as f:
                f.write(part.get_payload(decode=True) or b"")
            saved += 1
    client.quit()
    print(saved)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
