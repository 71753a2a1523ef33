#!/usr/bin/env python3
"""Writes the bundled sample store: a small Windows Live Mail-like tree of
.eml files (two accounts and the storage folders) covering plain and HTML
bodies, attachments, an attached message and several character sets.

Deterministic: running it again gives the same files. Run from anywhere:
    python3 samples/generate.py
"""
import base64
import os
import shutil
import zlib
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "Windows Live Mail")

ANN = ("Ann Smith", "ann@example.com")
BOB = ("Bob Jones", "bob@example.org")
CARLA = ("Carla Díaz", "carla@example.net")
DMITRI = ("Dmitri Ivanov", "dmitri@example.ru")
YUKI = ("Yuki Tanaka", "yuki@example.jp")
LI = ("Li Wei", "li.wei@example.cn")

counter = [0]


def b64(data, width=76):
    text = base64.b64encode(data).decode("ascii")
    return "\r\n".join(text[i:i + width] for i in range(0, len(text), width))


def encoded_word(text, charset="utf-8"):
    return "=?%s?B?%s?=" % (charset.upper(), base64.b64encode(text.encode(charset)).decode("ascii"))


def address(person, charset="utf-8"):
    name, mail = person
    if all(ord(c) < 128 for c in name):
        return '"%s" <%s>' % (name, mail)
    return "%s <%s>" % (encoded_word(name, charset), mail)


def qp(text_bytes):
    out, line = [], ""
    for byte in text_bytes:
        ch = chr(byte)
        if byte == 0x0A:
            out.append(line)
            line = ""
            continue
        if byte == 0x0D:
            continue
        piece = ch if (33 <= byte <= 126 and ch != "=") or ch == " " else "=%02X" % byte
        if len(line) + len(piece) > 75:
            out.append(line + "=")
            line = ""
        line += piece
    out.append(line)
    return "\r\n".join(out)


def headers(sender, to, subject, day, hour, cc=None, extra=None, subject_charset=None):
    counter[0] += 1
    n = counter[0]
    if subject_charset is None and any(ord(c) > 127 for c in subject):
        subject_charset = "utf-8"
    subj = subject if subject_charset is None else encoded_word(subject, subject_charset)
    weekday = ["Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"][(day + 6) % 7]  # 1 March 2026 was a Sunday
    lines = [
        "Return-Path: <%s>" % sender[1],
        "Received: from mail.example.com ([192.0.2.%d]) by mx.example.com with ESMTP;\r\n\t%s, %d Mar 2026 %02d:15:00 +0100" % (n, weekday, day, hour),
        "From: " + address(sender),
        "To: " + ", ".join(address(p) for p in to),
    ]
    if cc:
        lines.append("Cc: " + ", ".join(address(p) for p in cc))
    lines += [
        "Subject: " + subj,
        "Date: %s, %d Mar 2026 %02d:%02d:%02d +0100" % (weekday, day, hour, (n * 7) % 60, (n * 13) % 60),
        "Message-ID: <sample.%04d@example.com>" % n,
        "MIME-Version: 1.0",
        "X-Mailer: Sample Store Generator",
    ]
    if extra:
        lines += extra
    return "\r\n".join(lines) + "\r\n"


def plain(sender, to, subject, body, day, hour, charset="us-ascii", encoding="7bit", **kw):
    raw = body.encode(charset)
    if encoding == "quoted-printable":
        payload = qp(raw)
    elif encoding == "base64":
        payload = b64(raw)
    else:
        payload = raw.decode(charset).replace("\n", "\r\n")
    text = headers(sender, to, subject, day, hour, **kw)
    text += 'Content-Type: text/plain; charset="%s"\r\nContent-Transfer-Encoding: %s\r\n\r\n' % (charset, encoding)
    return text.encode("ascii") + payload.encode(charset if encoding == "7bit" or encoding == "8bit" else "ascii") + b"\r\n"


def html_only(sender, to, subject, html, day, hour, **kw):
    text = headers(sender, to, subject, day, hour, **kw)
    text += 'Content-Type: text/html; charset="utf-8"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n'
    return text.encode("ascii") + qp(html.encode("utf-8")).encode("ascii") + b"\r\n"


def alternative(sender, to, subject, body, html, day, hour, boundary, **kw):
    text = headers(sender, to, subject, day, hour, **kw)
    text += 'Content-Type: multipart/alternative;\r\n\tboundary="%s"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n' % boundary
    text += "--%s\r\nContent-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n%s\r\n" % (boundary, qp(body.encode("utf-8")))
    text += "--%s\r\nContent-Type: text/html; charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n%s\r\n" % (boundary, qp(html.encode("utf-8")))
    text += "--%s--\r\n" % boundary
    return text.encode("ascii")


def png(width, height, rgb):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    rows = b"".join(b"\x00" + bytes(rgb) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def with_attachments(sender, to, subject, body, attachments, day, hour, boundary, html=None, related=None, **kw):
    """attachments: list of (filename, mime type, bytes) or (None, 'message/rfc822', bytes)."""
    text = headers(sender, to, subject, day, hour, **kw)
    out = text + 'Content-Type: multipart/mixed;\r\n\tboundary="%s"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n' % boundary
    out = out.encode("ascii")
    if html is None:
        out += ("--%s\r\nContent-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n%s\r\n" % (boundary, qp(body.encode("utf-8")))).encode("ascii")
    else:
        inner = boundary + "_alt"
        part = "--%s\r\nContent-Type: multipart/alternative; boundary=\"%s\"\r\n\r\n" % (boundary, inner)
        part += "--%s\r\nContent-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n%s\r\n" % (inner, qp(body.encode("utf-8")))
        part += "--%s\r\nContent-Type: text/html; charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n%s\r\n" % (inner, qp(html.encode("utf-8")))
        part += "--%s--\r\n" % inner
        out += part.encode("ascii")
    for name, mime, data in attachments:
        if mime == "message/rfc822":
            out += ("--%s\r\nContent-Type: message/rfc822\r\nContent-Disposition: attachment\r\n\r\n" % boundary).encode("ascii") + data + b"\r\n"
        else:
            disposition = "attachment"
            extra = ""
            if name.startswith("cid:"):
                name = name[4:]
                disposition = "inline"
                extra = "Content-ID: <%s>\r\n" % name
            filename = name if all(ord(c) < 128 for c in name) else encoded_word(name)
            out += ('--%s\r\nContent-Type: %s; name="%s"\r\nContent-Transfer-Encoding: base64\r\n%sContent-Disposition: %s; filename="%s"\r\n\r\n%s\r\n'
                    % (boundary, mime, filename, extra, disposition, filename, b64(data))).encode("ascii")
    out += ("--%s--\r\n" % boundary).encode("ascii")
    return out


def write(folder, name, data):
    path = os.path.join(ROOT, *folder.split("/"), name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    if os.path.isdir(ROOT):
        shutil.rmtree(ROOT)
    acct = "Example Mail (ann)"
    hot = "Hotmail (ann.smith)"
    store = "Storage Folders"

    write(acct + "/Inbox", "Welcome to your new account.eml",
          plain(BOB, [ANN], "Welcome to your new account", "Hi Ann,\n\nYour new mailbox is ready.\n\nBob\n", 1, 9))
    write(acct + "/Inbox", "Lunch on Friday.eml",
          plain(CARLA, [ANN], "Lunch on Friday?", "¿Comemos el viernes? Te invito a un café.\n\nCarla\n", 2, 12,
                charset="iso-8859-1", encoding="quoted-printable"))
    write(acct + "/Inbox", "Quarterly figures.eml",
          with_attachments(BOB, [ANN], "Quarterly figures", "The figures are attached.\n",
                           [("figures.csv", "text/csv", b"quarter,revenue\r\nQ1,1200\r\nQ2,1350\r\nQ3,990\r\nQ4,1610\r\n")],
                           3, 10, "----=_Part_0001", cc=[CARLA]))
    write(acct + "/Inbox", "Newsletter March.eml",
          html_only(BOB, [ANN], "Newsletter – March",
                    "<html><body><h1>March news</h1><p>Spring is <b>here</b> — see the <a href=\"https://example.org/\">site</a>.</p></body></html>", 4, 8))
    write(acct + "/Inbox", "Photos from the trip.eml",
          with_attachments(CARLA, [ANN], "Photos from the trip", "Two pictures from the coast.\n",
                           [("beach.png", "image/png", png(32, 24, (30, 144, 255))),
                            ("sunset.png", "image/png", png(48, 32, (255, 140, 0)))], 5, 19, "----=_Part_0002"))
    write(acct + "/Inbox", "Privet.eml",
          plain(DMITRI, [ANN], "Привет из Москвы", "Привет, Анна!\n\nКак дела? Пиши.\n\nДмитрий\n", 6, 7,
                charset="koi8-r", encoding="8bit", subject_charset="koi8-r"))
    write(acct + "/Inbox", "Meeting agenda.eml",
          alternative(BOB, [ANN, CARLA], "Meeting agenda", "1. Budget\n2. Travel\n3. Anything else\n",
                      "<html><body><ol><li>Budget</li><li>Travel</li><li>Anything else</li></ol></body></html>", 7, 11,
                      "----=_Alt_0003", cc=[DMITRI]))
    write(acct + "/Inbox", "FW Invoice.eml",
          with_attachments(BOB, [ANN], "FW: Invoice 2026-031", "Forwarding the invoice mail below.\n",
                           [(None, "message/rfc822",
                             plain(CARLA, [BOB], "Invoice 2026-031", "Please find the invoice total: 420.00 EUR.\n", 7, 9))],
                           8, 14, "----=_Part_0004"))
    write(acct + "/Inbox", "Konnichiwa.eml",
          plain(YUKI, [ANN], "こんにちは", "アンさん、\n\n来週の会議の件でご連絡します。\n\nゆき\n", 9, 16,
                charset="iso-2022-jp", encoding="7bit", subject_charset="iso-2022-jp"))
    write(acct + "/Inbox", "Ni hao.eml",
          plain(LI, [ANN], "你好", "安，你好！\n\n下周见。\n\n李伟\n", 10, 15, charset="gb2312", encoding="base64",
                subject_charset="gb2312"))
    write(acct + "/Inbox", "Price list.EML",
          plain(BOB, [ANN], "Price list (upper-case extension)", "Prices: 10 € per unit, 5 £ shipping.\n", 11, 10,
                charset="windows-1252", encoding="quoted-printable"))
    write(acct + "/Inbox", "desktop.ini", b"[.ShellClassInfo]\r\nIconResource=mail.dll,0\r\n")
    write(acct + "/Inbox/Projects", "Project kickoff.eml",
          alternative(CARLA, [ANN, BOB], "Project kickoff", "Kickoff is on Monday at 10.\n",
                      "<p>Kickoff is on <b>Monday</b> at 10.</p>", 12, 10, "----=_Alt_0005"))
    write(acct + "/Inbox/Projects", "Proposal draft.eml",
          with_attachments(BOB, [ANN], "Proposal draft", "Draft attached; comments welcome.\n",
                           [("draft.txt", "text/plain", "Draft v0.1\r\nScope, goals, timeline.\r\n".encode()),
                            ("Übersicht.txt", "text/plain", "Übersicht der Aufgaben\r\n".encode("utf-8"))],
                           13, 9, "----=_Part_0006"))
    write(acct + "/Inbox/Projects/2026", "Budget approved.eml",
          plain(DMITRI, [ANN], "Budget approved", "The 2026 budget was approved this morning.\n", 14, 11))
    write(acct + "/Inbox/Projects/2026", "Timeline.eml",
          html_only(CARLA, [ANN], "Timeline",
                    "<table border=1><tr><th>Phase</th><th>Date</th></tr><tr><td>Start</td><td>1 April</td></tr><tr><td>End</td><td>30 June</td></tr></table>", 15, 13))
    write(acct + "/Inbox/Projects/2026", "Logo with inline image.eml",
          with_attachments(BOB, [ANN], "New logo", "The new logo is below.\n",
                           [("cid:logo@example.com", "image/png", png(16, 16, (0, 128, 0)))], 16, 9, "----=_Part_0007",
                           html='<p>The new logo:</p><img src="cid:logo@example.com" alt="logo">'))
    write(acct + "/Sent Items", "Re Lunch on Friday.eml",
          plain(ANN, [CARLA], "Re: Lunch on Friday?", "¡Claro! Nos vemos a la una.\n\nAnn\n", 2, 13, charset="utf-8",
                encoding="8bit", extra=["In-Reply-To: <sample.0002@example.com>"]))
    write(acct + "/Sent Items", "Re Quarterly figures.eml",
          plain(ANN, [BOB], "Re: Quarterly figures", "Thanks, Q4 looks good.\n", 3, 15,
                extra=["In-Reply-To: <sample.0003@example.com>", "References: <sample.0003@example.com>"]))
    write(acct + "/Sent Items", "Travel plans.eml",
          with_attachments(ANN, [BOB, CARLA], "Travel plans", "Itinerary attached.\n",
                           [("itinerary.ics", "text/calendar",
                             b"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nSUMMARY:Flight\r\nDTSTART:20260410T080000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")],
                           17, 18, "----=_Part_0008"))
    write(acct + "/Junk e-mail", "You have won.eml",
          html_only(("Prize Desk", "prize@example.invalid"), [ANN], "You have WON!!!",
                    "<p style='color:red'>Claim your prize now!</p>", 18, 3))
    write(hot + "/Inbox", "Hotmail welcome.eml",
          alternative(("Mail Team", "team@example.com"), [("Ann", "ann.smith@example.com")], "Welcome to Hotmail",
                      "Welcome! Your inbox is ready.\n", "<h2>Welcome!</h2><p>Your inbox is ready.</p>", 19, 8,
                      "----=_Alt_0009"))
    write(hot + "/Inbox", "Book club.eml",
          plain(CARLA, [("Ann", "ann.smith@example.com")], "Book club: next title",
                "Next month: «Cien años de soledad».\n", 20, 20, charset="utf-8", encoding="quoted-printable",
                subject_charset="utf-8"))
    write(hot + "/Inbox", "Long thread.eml",
          plain(BOB, [("Ann", "ann.smith@example.com")], "Re: Re: Re: Long thread",
                "\n".join("> " * (i % 4) + "Line %d of a long quoted thread." % i for i in range(120)) + "\n", 21, 9))
    write(hot + "/Inbox", "Scanned letter.eml",
          with_attachments(DMITRI, [("Ann", "ann.smith@example.com")], "Scanned letter", "The scan is attached.\n",
                           [("letter.pdf", "application/pdf",
                             b"%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Count 0/Kids[]>>endobj\ntrailer<</Root 1 0 R>>\n%%EOF\n")],
                           22, 10, "----=_Part_0010"))
    write(hot + "/Sent Items", "Hotmail reply.eml",
          plain(("Ann", "ann.smith@example.com"), [CARLA], "Re: Book club: next title", "Great choice!\n", 20, 22))
    write(store + "/Drafts", "Unfinished note.eml",
          plain(ANN, [BOB], "Unfinished note", "Remember to bring the\n", 23, 17))
    write(store + "/Drafts", "No subject.eml",
          headers(ANN, [BOB], "", 23, 18).replace("Subject: \r\n", "").encode("ascii")
          + b"Content-Type: text/plain\r\n\r\nA message without a subject line.\r\n")
    write(store + "/Sent Items", "Birthday card.eml",
          with_attachments(ANN, [CARLA], "Happy birthday!", "Happy birthday, Carla!\n",
                           [("card.png", "image/png", png(64, 40, (220, 20, 60)))], 24, 8, "----=_Part_0011",
                           html="<h1 style='color:crimson'>Happy birthday, Carla!</h1>"))
    write(store + "/Archive", "Old receipt.eml",
          plain(("Shop", "orders@example.com"), [ANN], "Your receipt #1001", "Total: 19.99\nThank you!\n", 25, 12))
    write(store + "/Archive/Family", "Family reunion.eml",
          alternative(DMITRI, [ANN, BOB, CARLA], "Family reunion", "Reunion on 1 May at grandma's.\n",
                      "<p>Reunion on <i>1 May</i> at grandma's.</p>", 26, 19, "----=_Alt_0012", cc=[YUKI, LI]))
    write(store + "/Archive/Family", "Recipe.eml",
          plain(CARLA, [ANN], "Receta de la abuela", "Ingredientes: harina, azúcar, huevos, limón.\n", 27, 11,
                charset="iso-8859-15", encoding="quoted-printable", subject_charset="iso-8859-15"))
    write(store + "/Archive/Family", "Nested forward.eml",
          with_attachments(ANN, [BOB], "FW: FW: Family photos", "See the forwarded mails.\n",
                           [(None, "message/rfc822",
                             with_attachments(CARLA, [ANN], "FW: Family photos", "Forwarding.\n",
                                              [(None, "message/rfc822",
                                                with_attachments(DMITRI, [CARLA], "Family photos", "Photo attached.\n",
                                                                 [("family.png", "image/png", png(20, 20, (128, 0, 128)))],
                                                                 20, 10, "----=_Part_0013c"))],
                                              21, 11, "----=_Part_0013b"))],
                           28, 12, "----=_Part_0013a"))
    write(store + "/Archive/Family", "Café menu.eml",
          plain(CARLA, [ANN], "Menú del café", "Café con leche 2,50 €\nTostada 1,80 €\n", 29, 9, charset="utf-8",
                encoding="base64", subject_charset="utf-8"))
    write(store + "/Deleted Items", "Old meeting.eml",
          plain(BOB, [ANN], "Cancelled: old meeting", "This meeting was cancelled.\n", 30, 9))
    write(store + "/Outbox", "Waiting to send.eml",
          plain(ANN, [DMITRI], "Waiting to send", "This one is still in the outbox.\n", 31, 23))
    count = sum(1 for _, _, files in os.walk(ROOT) for f in files if f.lower().endswith(".eml"))
    print("%d messages under %s" % (count, ROOT))


if __name__ == "__main__":
    main()
