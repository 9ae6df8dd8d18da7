#!/usr/bin/env python3
"""Writes the mailbox of the run-once benchmark and the files a mailbox run must save from it.

    make_mailbox.py OUTDIR MAILS MATCHING ATTACHMENT_BYTES

OUTDIR/mail/NNNN.eml: MAILS messages in delivery order. MATCHING of them, spread evenly, carry "invoice" in the subject
(in varying letter case) and two base64 attachments of ATTACHMENT_BYTES random bytes, one .pdf (every tenth as .PDF)
and one .csv; every fifth of those also carries a small .txt note, which the extension list "pdf,csv" refuses. The
others are short notes without the word, every fourth with a small .pdf attachment that only the subject keeps on the
server.
OUTDIR/expected/<file>: the bytes of every attachment that a run with the search string "Invoice" and the extension
list "pdf,csv" must save, under the name it must save it under.

Everything is deterministic, so a failing comparison can be reproduced byte for byte.
"""

import email.message
import email.policy
import os
import random
import sys

# Maildir files carry LF line ends; the server turns them into CR LF on the wire.
POLICY = email.policy.default.clone(linesep="\n")

INVOICE_SUBJECTS = ("Invoice %04d for your order", "Your INVOICE no. %04d", "Re: invoice %04d, corrected",
                    "Payment due: InVoIcE %04d")
OTHER_SUBJECTS = ("Weekly status %04d", "Meeting notes %04d", "Re: delivery dates %04d", "Price list %04d",
                  "Your order %04d has shipped")


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def invoice_mail(number, ordinal, rng, attachment_bytes, expected):
    m = email.message.EmailMessage(policy=POLICY)
    m["From"] = "Billing <billing%d@supplier.example>" % (number % 13)
    m["To"] = "bench@example.org"
    m["Subject"] = INVOICE_SUBJECTS[number % len(INVOICE_SUBJECTS)] % number
    m["Date"] = "Mon, 09 Jun 2025 08:00:00 +0200"
    m["Message-ID"] = "<invoice.%04d@zendrel.bench>" % number
    m.set_content("Please find invoice %04d and its positions attached.\n" % number)
    pdf_name = "invoice-%04d.%s" % (number, "PDF" if ordinal % 10 == 0 else "pdf")
    pdf = rng.randbytes(attachment_bytes)
    m.add_attachment(pdf, maintype="application", subtype="pdf", filename=pdf_name)
    csv_name = "positions-%04d.csv" % number
    csv = rng.randbytes(attachment_bytes)
    m.add_attachment(csv, maintype="text", subtype="csv", filename=csv_name)
    expected[pdf_name] = pdf
    expected[csv_name] = csv
    if ordinal % 5 == 0:
        m.add_attachment(b"Paid by transfer.\n", maintype="text", subtype="plain", filename="note-%04d.txt" % number)
    m.set_boundary("invoice-%04d-boundary" % number)
    return m.as_bytes()


def other_mail(number, ordinal, rng):
    m = email.message.EmailMessage(policy=POLICY)
    m["From"] = "Colleague %d <colleague%d@example.org>" % (number % 17, number % 17)
    m["To"] = "bench@example.org"
    m["Subject"] = OTHER_SUBJECTS[number % len(OTHER_SUBJECTS)] % number
    m["Date"] = "Mon, 09 Jun 2025 09:00:00 +0200"
    m["Message-ID"] = "<note.%04d@zendrel.bench>" % number
    m.set_content("Line %d of a short note.\n" % number * 8)
    if ordinal % 4 == 0:
        m.add_attachment(rng.randbytes(2000), maintype="application", subtype="pdf",
                         filename="report-%04d.pdf" % number)
        m.set_boundary("note-%04d-boundary" % number)
    return m.as_bytes()


def main(argv):
    if len(argv) != 5:
        sys.stderr.write(__doc__)
        return 2
    outdir, mails, matching, attachment_bytes = argv[1], int(argv[2]), int(argv[3]), int(argv[4])
    if not 0 <= matching <= mails:
        sys.stderr.write("make_mailbox.py: MATCHING must lie between 0 and MAILS\n")
        return 2
    mail_dir = os.path.join(outdir, "mail")
    expected_dir = os.path.join(outdir, "expected")
    os.makedirs(mail_dir, exist_ok=True)
    os.makedirs(expected_dir, exist_ok=True)
    rng = random.Random(20250609)
    expected = {}
    made = 0
    for number in range(1, mails + 1):
        # The matching mails spread evenly: mail n matches when the count of matches up to n grows.
        is_invoice = number * matching // mails > made
        if is_invoice:
            made += 1
            message = invoice_mail(number, made, rng, attachment_bytes, expected)
        else:
            message = other_mail(number, number - made, rng)
        write(os.path.join(mail_dir, "%04d.eml" % number), message)
    for name, data in expected.items():
        write(os.path.join(expected_dir, name), data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
