#!/usr/bin/env python3
"""Writes the sample messages of tests/data/messages and the files their attachments must give.

Each message is produced by a real MIME generator (Python's email package, or mpack) or written out in the shape a
known mailer sends (Thunderbird, Outlook, Apple Mail, mutt), with its attachments encoded by the standard library's
base64 and quoted-printable encoders. The attachment bytes fed in are also written to
tests/data/expected/<message>/<file>, so the expected files come from the source bytes, never from zendrel itself.
tests/data/expected/save_order.txt lists, per message, the names in the order a mailbox run saves them (attachment 1,
the last one in the message, first), as its log shows them: in Windows-1252 as far as it goes, "?" for the rest.

Run it from anywhere: python3 tests/data/messages/make_corpus.py. The output is committed; the script documents where
it came from. Dates, boundaries and Message-IDs are fixed so that a rerun reproduces the same bytes.
"""

import base64
import binascii
import email.policy
import random
import shutil
import subprocess
import tempfile
from email.header import Header
from email.message import EmailMessage
from email.mime.application import MIMEApplication
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email.generator import BytesGenerator
from io import BytesIO
from pathlib import Path

HERE = Path(__file__).resolve().parent
EXPECTED = HERE.parent / "expected"


# --- attachment contents -------------------------------------------------------------------------------------------

def binary_bytes(label, size, head=b"", tail=b""):
    """Deterministic binary content with NUL bytes in it, like a real document."""
    generator = random.Random(label)
    return head + generator.randbytes(size) + tail


def pdf_bytes(label, size=3000):
    return binary_bytes(label, size, b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<< /Type /Catalog >>\nstream\n",
                        b"\nendstream\nendobj\n%%EOF\n")


def png_bytes(label, size=900):
    return binary_bytes(label, size, b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR", b"\x00\x00\x00\x00IEND\xaeB`\x82")


def xlsx_bytes(label, size=2500):
    return binary_bytes(label, size, b"PK\x03\x04\x14\x00\x06\x00\x08\x00\x00\x00!\x00", b"PK\x05\x06" + bytes(18))


def crlf(text):
    """Text with CR LF line ends, as the message carries it on the wire."""
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def wrapped_base64(data, width=76):
    encoded = base64.b64encode(data).decode("ascii")
    return "\n".join(encoded[i:i + width] for i in range(0, len(encoded), width))


def quoted_printable(data):
    """Quoted-printable of text whose lines end in CR LF; soft breaks keep lines within 76 characters."""
    return binascii.b2a_qp(data, istext=True).decode("ascii").replace("\r\n", "\n")


# --- the corpus ----------------------------------------------------------------------------------------------------

class Sample:
    def __init__(self, stem):
        self.stem = stem
        self.message = b""
        # Attachments in the order they stand in the message: (name, bytes). Saving runs from the last to the first.
        self.attachments = []

    def attach(self, name, data):
        self.attachments.append((name, data))
        return data


def with_fixed_boundaries(message, stem):
    for number, part in enumerate(message.walk()):
        if part.is_multipart():
            part.set_boundary(f"----=_Part_{number}_{abs(hash_text(stem)) % 10**8:08d}.1710150000000")
    return message


def hash_text(text):
    value = 0
    for c in text.encode("utf-8"):
        value = (value * 131 + c) % (2**61 - 1)
    return value


def python_message(subject, sender="Buchhaltung Nord <buchhaltung@nord.example>"):
    message = EmailMessage()
    message["From"] = sender
    message["To"] = "Eingang Belege <belege@zentrale.example>"
    message["Subject"] = subject
    message["Date"] = "Mon, 11 Mar 2024 09:14:02 +0100"
    message["Message-ID"] = f"<{hash_text(subject):x}@nord.example>"
    return message


def python_bytes(message, stem, policy):
    return with_fixed_boundaries(message, stem).as_bytes(policy=policy)


def python_invoice_pdf():
    sample = Sample("python_invoice_pdf")
    message = python_message("Rechnung 2024-0311")
    message.set_content("Guten Tag,\n\nanbei die Rechnung vom 11. März.\n\nMit freundlichen Grüßen\nBuchhaltung Nord\n")
    data = sample.attach("Rechnung_2024-0311.pdf", pdf_bytes("invoice"))
    message.add_attachment(data, maintype="application", subtype="pdf", filename="Rechnung_2024-0311.pdf")
    sample.message = python_bytes(message, sample.stem, email.policy.SMTP)
    return sample


def python_rfc2231_names():
    """Non-ASCII names in RFC 2231 form, one long enough to be split into numbered pieces; LF line ends."""
    sample = Sample("python_rfc2231_names")
    message = python_message("Unterlagen für Köln")
    message.set_content("Hallo,\n\nhier die Unterlagen.\n")
    data = sample.attach("Grüße aus Köln.pdf", pdf_bytes("greetings", 1200))
    message.add_attachment(data, maintype="application", subtype="pdf", filename=("utf-8", "", "Grüße aus Köln.pdf"))
    long_name = "Übersicht der Umsätze im Vertrieb Region Nord für das erste Quartal 2024.xlsx"
    data = sample.attach(long_name, xlsx_bytes("overview"))
    message.add_attachment(data, maintype="application",
                           subtype="vnd.openxmlformats-officedocument.spreadsheetml.sheet", filename=long_name)
    sample.message = python_bytes(message, sample.stem, email.policy.default)
    return sample


def python_rfc2047_names():
    """Names as RFC 2047 encoded words inside the quoted parameter, as the older mail programs write them."""
    sample = Sample("python_rfc2047_names")
    message = MIMEMultipart()
    message["From"] = "Einkauf <einkauf@sued.example>"
    message["To"] = "belege@zentrale.example"
    message["Subject"] = Header("Preisliste und Straßenverzeichnis", "iso-8859-1").encode()
    message["Date"] = "Tue, 12 Mar 2024 16:40:11 +0100"
    message["Message-ID"] = "<20240312154011.4711@sued.example>"
    message.attach(MIMEText("Anbei Preisliste und Verzeichnis.\n", "plain", "iso-8859-1"))
    for name, charset, data in (
        ("Preisliste 2024 €.xlsx", "windows-1252", xlsx_bytes("prices")),
        ("Straßenverzeichnis.csv", "iso-8859-1", crlf("Straße;Hausnummer\nMühlenweg;12\nAm Wäldchen;3a\n").encode("iso-8859-1")),
    ):
        sample.attach(name, data)
        part = MIMEApplication(data, "octet-stream")
        encoded = Header(name, charset).encode()
        part.set_param("name", encoded)
        part.add_header("Content-Disposition", "attachment", filename=encoded)
        message.attach(part)
    buffer = BytesIO()
    BytesGenerator(buffer, policy=email.policy.compat32.clone(linesep="\r\n")).flatten(
        with_fixed_boundaries(message, sample.stem))
    sample.message = buffer.getvalue()
    return sample


def python_unicode_names():
    """Names beyond Windows-1252 as the email package writes them today: RFC 2231 in UTF-8, a long one split into
    numbered pieces."""
    sample = Sample("python_unicode_names")
    message = python_message("Berichte aus Tokio und Moskau")
    message.set_content("Die Berichte im Anhang.\n")
    data = sample.attach("報告.xlsx", xlsx_bytes("tokyo"))
    message.add_attachment(data, maintype="application",
                           subtype="vnd.openxmlformats-officedocument.spreadsheetml.sheet", filename="報告.xlsx")
    long_name = "Отчёт о продажах за первый квартал 2024 года по всем регионам.pdf"
    data = sample.attach(long_name, pdf_bytes("moscow", 1500))
    message.add_attachment(data, maintype="application", subtype="pdf", filename=long_name)
    sample.message = python_bytes(message, sample.stem, email.policy.SMTP)
    return sample


def python_legacy_charset_names():
    """Names in the charsets of their languages, as the email package's older interface writes them: RFC 2231 in
    ISO-8859-2, and RFC 2047 encoded words inside the quoted parameter in KOI8-R and UTF-8 (B) and ISO-8859-2 (Q)."""
    sample = Sample("python_legacy_charset_names")
    message = MIMEMultipart()
    message["From"] = "Biuro <biuro@wschod.example>"
    message["To"] = "belege@zentrale.example"
    message["Subject"] = Header("Faktury i счета", "utf-8").encode()
    message["Date"] = "Wed, 13 Mar 2024 10:20:30 +0100"
    message["Message-ID"] = "<20240313092030.2047@wschod.example>"
    message.attach(MIMEText("Faktury w załączniku.\n", "plain", "utf-8"))
    data = sample.attach("Łódź faktura.pdf", pdf_bytes("lodz", 1800))
    part = MIMEApplication(data, "pdf")
    part.add_header("Content-Disposition", "attachment", filename=("iso-8859-2", "pl", "Łódź faktura.pdf"))
    message.attach(part)
    for name, charset, data in (
        ("Отчёт.txt", "koi8-r", crlf("Отчёт за март\nИтого: 5\n").encode("utf-8")),
        ("Zażółć gęślą jaźń.txt", "iso-8859-2", crlf("Zażółć gęślą jaźń\n").encode("iso-8859-2")),
        ("Счёт №5.pdf", "utf-8", pdf_bytes("invoice-5", 1300)),
    ):
        sample.attach(name, data)
        part = MIMEApplication(data, "octet-stream")
        encoded = Header(name, charset).encode()
        part.set_param("name", encoded)
        part.add_header("Content-Disposition", "attachment", filename=encoded)
        message.attach(part)
    buffer = BytesIO()
    BytesGenerator(buffer, policy=email.policy.compat32.clone(linesep="\r\n")).flatten(
        with_fixed_boundaries(message, sample.stem))
    sample.message = buffer.getvalue()
    return sample


def python_text_attachments():
    """Text attachments in quoted-printable (utf-8 with a character beyond Latin-1, iso-8859-1) and in 8bit."""
    sample = Sample("python_text_attachments")
    message = python_message("Preise und Maße")
    message.set_content("Die Listen im Anhang.\n")
    texts = (
        ("preise_utf8.csv", "csv", "utf-8", "quoted-printable",
         "Artikel;Größe;Preis\nSchraube M4;4 mm;0,12 €\nMutter M4;4 mm;0,08 €\n"),
        ("masse_latin1.txt", "plain", "iso-8859-1", "quoted-printable",
         "Maße für Türen und Fenster\nBreite = 80 cm; Höhe = 200 cm\n"
         "Eine lange Zeile, die der Kodierer an der Grenze von sechsundsiebzig Zeichen weich umbrechen muss: Äpfel.\n"),
        ("notiz_8bit.txt", "plain", "utf-8", "8bit", "Notiz: Übergabe am Dienstag, Schlüssel liegt im Büro.\n"),
        ("readme_7bit.txt", "plain", "us-ascii", "7bit", "Plain ASCII notes.\nSecond line.\n"),
    )
    for name, subtype, charset, encoding, text in texts:
        sample.attach(name, crlf(text).encode(charset))
        message.add_attachment(text, subtype=subtype, charset=charset, cte=encoding, filename=name)
    sample.message = python_bytes(message, sample.stem, email.policy.SMTP)
    return sample


def python_extension_mix():
    """Names that the extension filter tells apart: upper-case extension, several dots, no extension."""
    sample = Sample("python_extension_mix")
    message = python_message("Export aus dem Lager", sender="lager@werk.example")
    message.set_content("Export im Anhang.\n")
    for name, maintype, subtype, data in (
        ("c", "application", "octet-stream", binary_bytes("no-extension", 400)),
        ("b.txt", "text", "plain", b"Bestand geprueft.\r\n"),
        ("A.CSV", "text", "csv", b"Artikel;Menge\r\n4711;12\r\n"),
        ("lager.backup.2024.tar.gz", "application", "gzip", binary_bytes("archive", 700, b"\x1f\x8b\x08\x00")),
    ):
        sample.attach(name, data)
        if maintype == "text":
            message.add_attachment(data.decode("ascii"), subtype=subtype, cte="7bit", filename=name)
        else:
            message.add_attachment(data, maintype=maintype, subtype=subtype, filename=name)
    sample.message = python_bytes(message, sample.stem, email.policy.SMTP)
    return sample


def python_duplicate_names():
    """Two attachments with the same name (a forwarded export and its correction): the earlier one in the message is
    saved last and, its bytes being others, kept beside the first as "kundenliste (2).csv"."""
    sample = Sample("python_duplicate_names")
    message = python_message("WG: Export Kundenliste")
    message.set_content("Zwei Stände der Liste.\n")
    for data in (b"Kunde;Ort\r\nMeyer;Bremen\r\n", b"Kunde;Ort\r\nMeyer;Bremen\r\nSchulz;Kiel\r\n"):
        sample.attach("kundenliste.csv", data)
        message.add_attachment(data, maintype="text", subtype="csv", filename="kundenliste.csv")
    sample.message = python_bytes(message, sample.stem, email.policy.SMTP)
    return sample


def python_long_headers():
    """Long subject, recipients and an ASCII name long enough that the policy folds every one of them."""
    sample = Sample("python_long_headers")
    message = python_message("Quartalsbericht Vertrieb Nord, Süd, Ost und West mit allen Anlagen zur Besprechung am "
                             "kommenden Donnerstag im großen Sitzungssaal")
    del message["To"]
    message["To"] = ", ".join(f"Mitarbeiter {n} <mitarbeiter{n}@zentrale.example>" for n in range(1, 7))
    message.set_content("Bericht anbei.\n")
    name = "Quarterly_sales_report_region_north_south_east_and_west_2024_Q1_final_reviewed_version_3.pdf"
    data = sample.attach(name, pdf_bytes("quarterly", 5000))
    message.add_attachment(data, maintype="application", subtype="pdf", filename=name)
    sample.message = python_bytes(message, sample.stem, email.policy.SMTP)
    return sample


def run_mpack(stem, file_name, data, attachment, description=None):
    """mpack writes LF line ends, the boundary "-" and a Message-ID from the process; the ID is fixed afterwards."""
    with tempfile.TemporaryDirectory() as folder:
        source = Path(folder) / file_name
        source.write_bytes(data)
        output = Path(folder) / "out.eml"
        command = ["mpack", "-s", f"Scan {file_name}", "-o", str(output)]
        if attachment:
            command.append("-a")
        if description is not None:
            (Path(folder) / "description.txt").write_text(description)
            command += ["-d", str(Path(folder) / "description.txt")]
        command.append(file_name)
        subprocess.run(command, check=True, cwd=folder)
        lines = output.read_bytes().split(b"\n")
    lines = [b"Message-ID: <%s@scanner.example>" % stem.encode() if line.startswith(b"Message-ID:") else line
             for line in lines]
    return b"\n".join(lines)


def mpack_attachment():
    sample = Sample("mpack_attachment")
    data = sample.attach("Scan_0042.pdf", pdf_bytes("scan", 2000))
    sample.message = run_mpack(sample.stem, "Scan_0042.pdf", data, attachment=True,
                               description="Gescannt am Multifunktionsgeraet im 2. Stock.\n")
    return sample


def mpack_inline():
    """Without -a mpack marks the file inline: not an attachment, so nothing is saved."""
    sample = Sample("mpack_inline")
    sample.message = run_mpack(sample.stem, "Foto_Lager.png", png_bytes("inline-photo"), attachment=False)
    return sample


def thunderbird_nested():
    """Thunderbird: multipart/mixed around multipart/alternative, a preamble, base64 at 72 columns, an epilogue."""
    sample = Sample("thunderbird_nested")
    pdf = sample.attach("Angebot 2024-117.pdf", pdf_bytes("offer", 4000))
    csv = sample.attach("kunden.csv", crlf("Nr;Name;Ort\n1;Müller;Göttingen\n2;Özdemir;Hamburg\n").encode("utf-8"))
    text = f"""\
Message-ID: <0b6f2a1e-7c55-4a49-9a3e-3c1d5e2f7a10@mail.example>
Date: Wed, 13 Mar 2024 11:02:37 +0100
MIME-Version: 1.0
User-Agent: Mozilla Thunderbird
Content-Language: de-DE
To: belege@zentrale.example
From: Petra Sommer <p.sommer@vertrieb.example>
Subject: Angebot 2024-117 und Kundenliste
Content-Type: multipart/mixed; boundary="------------Zr9bW0p2RmDkFq3sB1Xh8YtL"

This is a multi-part message in MIME format.
--------------Zr9bW0p2RmDkFq3sB1Xh8YtL
Content-Type: multipart/alternative;
 boundary="------------c4Yt0uQm7kE2hV9nWb3sXa1P"

--------------c4Yt0uQm7kE2hV9nWb3sXa1P
Content-Type: text/plain; charset=UTF-8; format=flowed
Content-Transfer-Encoding: 8bit

Hallo zusammen,

anbei das Angebot und die Kundenliste.

Grüße
Petra

--------------c4Yt0uQm7kE2hV9nWb3sXa1P
Content-Type: text/html; charset=UTF-8
Content-Transfer-Encoding: 8bit

<!DOCTYPE html>
<html>
  <head>
    <meta http-equiv="content-type" content="text/html; charset=UTF-8">
  </head>
  <body>
    <p>Hallo zusammen,</p>
    <p>anbei das Angebot und die Kundenliste.</p>
    <p>Grüße<br>Petra</p>
  </body>
</html>

--------------c4Yt0uQm7kE2hV9nWb3sXa1P--
--------------Zr9bW0p2RmDkFq3sB1Xh8YtL
Content-Type: application/pdf; name="Angebot 2024-117.pdf"
Content-Disposition: attachment; filename="Angebot 2024-117.pdf"
Content-Transfer-Encoding: base64

{wrapped_base64(pdf, 72)}
--------------Zr9bW0p2RmDkFq3sB1Xh8YtL
Content-Type: text/csv; charset=UTF-8; name="kunden.csv"
Content-Disposition: attachment; filename="kunden.csv"
Content-Transfer-Encoding: base64

{wrapped_base64(csv, 72)}

--------------Zr9bW0p2RmDkFq3sB1Xh8YtL--

Epilogue: text after the closing delimiter, which readers ignore.
"""
    sample.message = crlf(text).encode("utf-8")
    return sample


def outlook_folded_disposition():
    """Outlook: a long Content-Disposition folded with tabs over several lines, the name as one encoded word."""
    sample = Sample("outlook_folded_disposition")
    xlsx = sample.attach("Lieferplan KW12 überarbeitet.xlsx", xlsx_bytes("delivery", 3500))
    name = Header("Lieferplan KW12 überarbeitet.xlsx", "iso-8859-1").encode()
    plain = quoted_printable(crlf("Guten Morgen,\n\nanbei der überarbeitete Lieferplan.\n\nGruß\nJens Weber\n")
                             .encode("iso-8859-1"))
    html = quoted_printable(crlf('<html><head><meta http-equiv="Content-Type" content="text/html; charset=iso-8859-1">'
                                 '</head>\n<body><p>Guten Morgen,</p><p>anbei der überarbeitete Lieferplan.</p>'
                                 '</body></html>\n').encode("iso-8859-1"))
    text = f"""\
From: "Weber, Jens" <jens.weber@logistik.example>
To: "Eingang Belege" <belege@zentrale.example>
Subject: Lieferplan KW12
Thread-Topic: Lieferplan KW12
Date: Thu, 14 Mar 2024 07:55:19 +0000
Message-ID: <AM0PR07MB41234D8E5F6A7B8C9D0E1F2A3B4C5D6E7F@AM0PR07MB4123.eurprd07.prod.outlook.example>
Accept-Language: de-DE, en-US
Content-Language: de-DE
X-MS-Has-Attach: yes
Content-Type: multipart/mixed;
	boundary="_004_AM0PR07MB41234D8E5F6A7B8C9D0E1F2A_"
MIME-Version: 1.0

--_004_AM0PR07MB41234D8E5F6A7B8C9D0E1F2A_
Content-Type: multipart/alternative;
	boundary="_000_AM0PR07MB41234D8E5F6A7B8C9D0E1F2A_"

--_000_AM0PR07MB41234D8E5F6A7B8C9D0E1F2A_
Content-Type: text/plain; charset="iso-8859-1"
Content-Transfer-Encoding: quoted-printable

{plain}
--_000_AM0PR07MB41234D8E5F6A7B8C9D0E1F2A_
Content-Type: text/html; charset="iso-8859-1"
Content-Transfer-Encoding: quoted-printable

{html}
--_000_AM0PR07MB41234D8E5F6A7B8C9D0E1F2A_--

--_004_AM0PR07MB41234D8E5F6A7B8C9D0E1F2A_
Content-Type: application/vnd.openxmlformats-officedocument.spreadsheetml.sheet;
	name="{name}"
Content-Description: {name}
Content-Disposition: attachment;
	filename="{name}"; size={len(xlsx)};
	creation-date="Thu, 14 Mar 2024 07:54:58 GMT";
	modification-date="Thu, 14 Mar 2024 07:55:19 GMT"
Content-Transfer-Encoding: base64

{wrapped_base64(xlsx)}

--_004_AM0PR07MB41234D8E5F6A7B8C9D0E1F2A_--
"""
    sample.message = crlf(text).encode("ascii")
    return sample


def apple_mail_related():
    """Apple Mail: multipart/alternative with a multipart/related whose boundary is followed by a type parameter, an
    inline picture, and an attachment with an unquoted file name."""
    sample = Sample("apple_mail_related")
    logo = png_bytes("logo", 600)
    csv = sample.attach("Messwerte_Halle3.csv", b"Messpunkt;Wert\r\nA1;0,25\r\nA2;0,31\r\n")
    text = f"""\
From: Lena Hoffmann <lena.hoffmann@labor.example>
Content-Type: multipart/alternative;
	boundary="Apple-Mail=_5E3B8C2A-1F4D-4C7B-9E2A-7D6F1B0C3A49"
Mime-Version: 1.0 (Mac OS X Mail 16.0 \\(3774.500.171.1.1\\))
Subject: Messwerte Halle 3
Date: Fri, 15 Mar 2024 13:21:48 +0100
Message-Id: <9A1C2E3F-4B5D-4E6F-8A7B-1C2D3E4F5A6B@labor.example>
To: belege@zentrale.example

--Apple-Mail=_5E3B8C2A-1F4D-4C7B-9E2A-7D6F1B0C3A49
Content-Transfer-Encoding: 7bit
Content-Type: text/plain;
	charset=us-ascii

Anbei die Messwerte.

--Apple-Mail=_5E3B8C2A-1F4D-4C7B-9E2A-7D6F1B0C3A49
Content-Type: multipart/related; boundary="Apple-Mail=_0D1E2F3A-4B5C-4D6E-9F7A-8B9C0D1E2F3A"; type="text/html"


--Apple-Mail=_0D1E2F3A-4B5C-4D6E-9F7A-8B9C0D1E2F3A
Content-Transfer-Encoding: 7bit
Content-Type: text/html;
	charset=us-ascii

<html><head></head><body><div>Anbei die Messwerte.</div><img src="cid:logo@labor.example"></body></html>
--Apple-Mail=_0D1E2F3A-4B5C-4D6E-9F7A-8B9C0D1E2F3A
Content-Transfer-Encoding: base64
Content-Disposition: inline;
	filename=logo.png
Content-Type: image/png;
	x-unix-mode=0644;
	name="logo.png"
Content-Id: <logo@labor.example>

{wrapped_base64(logo)}
--Apple-Mail=_0D1E2F3A-4B5C-4D6E-9F7A-8B9C0D1E2F3A
Content-Disposition: attachment;
	filename=Messwerte_Halle3.csv
Content-Type: text/csv;
	x-unix-mode=0644;
	name="Messwerte_Halle3.csv"
Content-Transfer-Encoding: 7bit

{csv.decode("ascii")}
--Apple-Mail=_0D1E2F3A-4B5C-4D6E-9F7A-8B9C0D1E2F3A--

--Apple-Mail=_5E3B8C2A-1F4D-4C7B-9E2A-7D6F1B0C3A49--
"""
    sample.message = crlf(text).encode("ascii")
    return sample


def mutt_mbox_latin1():
    """mutt, saved in an mbox file: a "From " separator line, LF line ends, an RFC 2231 iso-8859-1 name, an 8bit
    Latin-1 text, a quoted-printable Latin-1 text and a base64 picture."""
    sample = Sample("mutt_mbox_latin1")
    eight_bit = sample.attach("Übergabe.txt", "Übergabeprotokoll\nRäume: 3.12, 3.14\nSchlüssel: 2 Stück\n".encode("iso-8859-1"))
    qp_text = sample.attach("Maßnahmen.txt", crlf(
        "Maßnahmen = Liste für die Begehung\nTür zum Lager schließen; Feuerlöscher prüfen; Fluchtweg freihalten, "
        "damit die Zeile über sechsundsiebzig Zeichen lang wird.\n").encode("iso-8859-1"))
    photo = sample.attach("Begehung.png", png_bytes("inspection", 1500))
    text = f"""\
From hausmeister@gebaeude.example Sat Mar 16 08:03:12 2024
Date: Sat, 16 Mar 2024 08:03:12 +0100
From: Hausmeister <hausmeister@gebaeude.example>
To: belege@zentrale.example
Subject: Begehung Gebaeude 3
Message-ID: <20240316070312.GA2231@gebaeude.example>
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="4Ckj6UjgE2iN1+kY"
Content-Disposition: inline
User-Agent: Mutt/2.2.9 (2022-11-12)

--4Ckj6UjgE2iN1+kY
Content-Type: text/plain; charset=us-ascii
Content-Disposition: inline

Protokoll und Fotos der Begehung.

--4Ckj6UjgE2iN1+kY
Content-Type: text/plain; charset=iso-8859-1
Content-Disposition: attachment; filename*=iso-8859-1''%DCbergabe.txt
Content-Transfer-Encoding: 8bit

""".encode("ascii") + eight_bit + f"""
--4Ckj6UjgE2iN1+kY
Content-Type: text/plain; charset=iso-8859-1
Content-Disposition: attachment; filename*=iso-8859-1''Ma%DFnahmen.txt
Content-Transfer-Encoding: quoted-printable

{quoted_printable(qp_text)}
--4Ckj6UjgE2iN1+kY
Content-Type: image/png
Content-Disposition: attachment; filename="Begehung.png"
Content-Transfer-Encoding: base64

{wrapped_base64(photo)}

--4Ckj6UjgE2iN1+kY--
""".encode("ascii")
    sample.message = text
    # The 8bit text travels with LF line ends in this file; zendrel reads it with CR LF, as a server would send it.
    sample.attachments[0] = ("Übergabe.txt", eight_bit.replace(b"\n", b"\r\n"))
    return sample


def scanner_single_part():
    """A scanner that sends the document as the whole message: no multipart, the message itself is the attachment."""
    sample = Sample("scanner_single_part")
    data = sample.attach("scan0001.pdf", pdf_bytes("single", 2500))
    text = f"""\
From: Scanner Etage 2 <scanner2@drucker.example>
To: belege@zentrale.example
Subject: Scan from MFP-2
Date: Sun, 17 Mar 2024 10:00:00 +0100
Message-ID: <scan0001.20240317100000@drucker.example>
MIME-Version: 1.0
Content-Type: application/pdf; name="scan0001.pdf"
Content-Disposition: attachment; filename="scan0001.pdf"
Content-Transfer-Encoding: base64

{wrapped_base64(data)}
"""
    sample.message = crlf(text).encode("ascii")
    return sample


def plain_text_only():
    """A plain mail without any attachment."""
    sample = Sample("plain_text_only")
    message = python_message("Kurze Frage", sender="kollege@zentrale.example")
    message.set_content("Hast du die Belege vom März schon abgelegt?\n")
    sample.message = python_bytes(message, sample.stem, email.policy.SMTP)
    return sample


SAMPLES = (
    python_invoice_pdf, python_rfc2231_names, python_rfc2047_names, python_unicode_names, python_legacy_charset_names,
    python_text_attachments, python_extension_mix,
    python_duplicate_names, python_long_headers, mpack_attachment, mpack_inline, thunderbird_nested,
    outlook_folded_disposition, apple_mail_related, mutt_mbox_latin1, scanner_single_part, plain_text_only,
)


def shown_in_log(name):
    """A name as the activity log shows it: the program's log is Windows-1252, other characters become "?"."""
    return "".join(c if c.encode("cp1252", errors="ignore") else "?" for c in name)


def free_name(folder, name, data):
    """The name a file is saved under in `folder`: its own, "name (2).ext", "name (3).ext" ... the first that is free
    or already holds these bytes."""
    dot = name.rfind(".")
    stem, extension = (name, "") if dot <= 0 else (name[:dot], name[dot:])
    number = 1
    while True:
        candidate = name if number == 1 else f"{stem} ({number}){extension}"
        path = folder / candidate
        if not path.exists() or (path.is_file() and path.read_bytes() == data):
            return candidate
        number += 1


def main():
    for old in HERE.glob("*.eml"):
        old.unlink()
    if EXPECTED.exists():
        shutil.rmtree(EXPECTED)
    EXPECTED.mkdir(parents=True)
    (EXPECTED / ".gitattributes").write_text(
        "# Compared byte for byte with what zendrel saves: never convert their line ends.\n* -text\n")
    order_lines = []
    for make in SAMPLES:
        sample = make()
        (HERE / f"{sample.stem}.eml").write_bytes(sample.message)
        folder = EXPECTED / sample.stem
        # Attachment 1 is the last one in the message and is saved first; a later save of a name that holds other
        # bytes takes the first free number, and one of the same bytes is already there.
        for name, data in reversed(sample.attachments):
            folder.mkdir(exist_ok=True)
            saved = free_name(folder, name, data)
            (folder / saved).write_bytes(data)
            order_lines.append(f"{sample.stem}.eml\t{shown_in_log(saved)}\n")
    (EXPECTED / "save_order.txt").write_text("".join(order_lines), encoding="utf-8")


if __name__ == "__main__":
    main()
