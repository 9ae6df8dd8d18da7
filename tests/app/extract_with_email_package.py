#!/usr/bin/env python3
"""Saves the attachments of message files with Python's email package, as an independent decoder to compare with.

Usage: extract_with_email_package.py OUTPUT_FOLDER MESSAGE...

It follows the program's documented rules, not its code: the file is read as a retrieval delivers it (an mbox "From "
first line skipped, LF made CR LF); a part is an attachment when its Content-Disposition contains "attachment;";
attachments are saved from the last one in the message to the first; a name that holds other bytes gets the first
free number ("name (2).ext"), and one that holds the same bytes is not written again; names keep every character,
are made safe for every file system, cut to the 255 bytes of UTF-8 a Linux file system takes and never begin with a
dot. The decoding of names and contents is the email package's own.
"""

import email
import email.policy
import re
import sys
from pathlib import Path

PORTS = [str(n) for n in range(1, 10)] + ["¹", "²", "³"]
DEVICE_NAMES = {"con", "prn", "aux", "nul"} | {f"com{n}" for n in PORTS} | {f"lpt{n}" for n in PORTS}
LONGEST_NAME = 255  # bytes of UTF-8


def retrieved_bytes(raw):
    if raw.startswith(b"From "):
        raw = raw[raw.find(b"\n") + 1:] if b"\n" in raw else b""
    return re.sub(rb"(?<!\r)\n", b"\r\n", raw)


def utf8_prefix(text, longest):
    """The longest beginning of text that takes at most `longest` bytes of UTF-8."""
    while len(text.encode("utf-8")) > longest:
        text = text[:-1]
    return text


def cut_to_longest(name):
    if len(name.encode("utf-8")) <= LONGEST_NAME:
        return name
    dot = name.rfind(".")
    extension = name[dot:] if dot > 0 else ""
    room = LONGEST_NAME - len(extension.encode("utf-8"))
    stem = utf8_prefix(name[:dot], room) if extension and room > 0 else ""
    return stem + extension if stem else utf8_prefix(name, LONGEST_NAME)


def safe_name(name):
    name = "".join("_" if c in '/:\\<>"|?*' or ord(c) < 0x20 else c for c in name)
    name = name.rstrip(". ")
    if not name.strip("."):
        return ""
    if name.split(".")[0].rstrip(" ").lower() in DEVICE_NAMES:
        name = "_" + name
    name = cut_to_longest(name).rstrip(". ")
    return "_" + name[1:] if name.startswith(".") else name


def free_name(folder, name, data):
    dot = name.rfind(".")
    stem, extension = (name, "") if dot <= 0 else (name[:dot], name[dot:])
    number = 1
    while True:
        candidate = name if number == 1 else f"{stem} ({number}){extension}"
        path = folder / candidate
        if not path.exists() or (path.is_file() and path.read_bytes() == data):
            return candidate
        number += 1


def attachments(message):
    for part in message.walk():
        disposition = part.get("Content-Disposition")
        if disposition is not None and "attachment;" in str(disposition).lower():
            yield part


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    folder = Path(sys.argv[1])
    for path in sys.argv[2:]:
        message = email.message_from_bytes(retrieved_bytes(Path(path).read_bytes()), policy=email.policy.default)
        for part in reversed(list(attachments(message))):
            name = safe_name(part.get_filename() or "")
            if not name:
                print(f"{path}: an attachment names no file", file=sys.stderr)
                return 1
            data = part.get_payload(decode=True) or b""
            name = free_name(folder, name, data)
            (folder / name).write_bytes(data)
            print(name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
