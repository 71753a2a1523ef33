#!/usr/bin/env python3
"""Prints, as JSON, how Python's email package reads each message file named on
the command line: the fields the real-mail test compares with the store."""

import email
import email.header
import email.policy
import json
import re
import sys


def text_of(part):
    try:
        return part.get_content()
    except Exception:  # an unknown charset or a broken encoding
        payload = part.get_payload(decode=True) or b""
        return payload.decode("utf-8", "replace")


def addresses(message, name):
    found = []
    for value in message.get_all(name, []):
        try:
            found += [a.addr_spec for a in value.addresses if a.addr_spec]
        except Exception:
            pass
    return found


def sender(message):
    try:
        mailboxes = message["from"].addresses if message["from"] is not None else ()
    except Exception:
        return ""
    return mailboxes[0].addr_spec if mailboxes else ""


def is_attachment(part):
    return part.get_content_disposition() == "attachment"


def body_parts(part):
    """The plain and HTML parts Outlook takes as the body: the first entity
    that qualifies, as Microsoft's rules for reading Internet mail say."""
    if is_attachment(part):
        return None, None, []
    ctype = part.get_content_type()
    if ctype == "text/plain":
        return part, None, [part]
    if ctype == "text/html":
        return None, part, [part]
    if part.get_content_maintype() == "multipart" and not part.is_multipart():
        return part, None, [part]  # its boundary never comes: readers show the text
    if not part.is_multipart() or part.get_content_maintype() != "multipart":
        return None, None, []
    children = part.get_payload()
    if not children:
        return None, None, []
    if ctype == "multipart/alternative":
        plain = html = None
        used = []
        for child in children:
            if is_attachment(child):
                continue
            if child.get_content_type() == "text/plain":
                used.append(child)
                plain = plain or child
            elif child.get_content_type() == "text/html" or child.get_content_type() == "multipart/related":
                p, h, u = body_parts(child) if child.is_multipart() else (None, child, [child])
                if h is not None:
                    used += u
                    html = html or h
        return plain, html, used
    return body_parts(children[0])


def attachments(message, used):
    """Every leaf part that is not the body, attached messages as one file."""
    found = []

    # [MS-OXCMAIL] 2.2.3.4.1.1: a part without a file name is named by its
    # Content-Description (signature and encryption parts have names of
    # their own).
    secure = {"application/pkcs7-signature", "application/x-pkcs7-signature", "application/pkcs7-mime",
              "application/x-pkcs7-mime", "application/pgp-signature", "application/pgp-encrypted"}

    def described_name(part):
        if part.get_content_type() in secure or "Content-Description" not in part:
            return ""
        text = str(email.header.make_header(email.header.decode_header(str(part["Content-Description"]))))
        text = text.replace("\r", "").replace("\n", "")
        text = re.split(r"[/\\]", text)[-1]
        text = "".join("_" if c in ':*?"<>|' else c for c in text if ord(c) >= 0x20 and ord(c) != 0x7F)
        return text.rstrip(" .").lstrip(" ")

    def walk(part):
        if any(part is u for u in used):
            return
        if part.get_content_maintype() == "multipart" and part.is_multipart():
            for child in part.get_payload():
                walk(child)
            return
        if part.get_content_type() == "message/rfc822" and part.is_multipart():
            found.append({"name": part.get_filename() or "", "size": -1, "message": True})
            return
        payload = part.get_payload(decode=True)
        found.append({"name": part.get_filename() or described_name(part), "size": len(payload or b""),
                      "message": False})

    walk(message)
    return found


def view(path):
    with open(path, "rb") as f:
        message = email.message_from_binary_file(f, policy=email.policy.default)
    plain, html, used = body_parts(message)
    subject = message.get("subject")
    return {
        "subject": " ".join(str(subject).split()) if subject is not None else "",
        "sender": sender(message),
        "recipients": addresses(message, "to") + addresses(message, "cc"),
        "hasText": plain is not None,
        "hasHtml": html is not None,
        "text": text_of(plain) if plain is not None else "",
        "attachments": attachments(message, used),
        "defects": [type(d).__name__ for d in message.defects],
    }


print(json.dumps({path: view(path) for path in sys.argv[1:]}, ensure_ascii=False, indent=1))
