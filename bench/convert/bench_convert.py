#!/usr/bin/env python3
"""Conversion benchmark, run by hand (not part of the test suite):

    python3 bench/convert/bench_convert.py [--messages 20000] [--work DIR] [--keep]
        [--converter build/bin/quillmere-convert]

Generates a store of .eml files (most a few KB, about 2 in 100 with
attachments of 1 to 3 MB, about 1 GB in all), then on the same run times
  - `cp -r` of the tree (the figure to compare against),
  - quillmere-convert of the tree (messages/s, MB/s, peak memory),
  - `readpst -e` turning the resulting .pst back into .eml files,
and prints the figures with the ratios. Targets: conversion at most 3 times
the copy; faster than readpst.
"""
import argparse
import base64
import os
import random
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))

WORDS = ("the of and to in is that for it as with was on be by at this had not are but from or have an they which "
         "one you were all we when there can more if no out so said what up its about into than them only some "
         "could new time very meeting budget report project invoice travel photos family weekend schedule").split()

FOLDERS = [
    "Example Mail (ann)/Inbox", "Example Mail (ann)/Inbox/Projects", "Example Mail (ann)/Inbox/Projects/2025",
    "Example Mail (ann)/Inbox/Projects/2026", "Example Mail (ann)/Inbox/Receipts", "Example Mail (ann)/Sent Items",
    "Example Mail (ann)/Junk e-mail", "Example Mail (ann)/Deleted Items", "Hotmail (ann.smith)/Inbox",
    "Hotmail (ann.smith)/Inbox/Newsletters", "Hotmail (ann.smith)/Sent Items", "Work (a.smith)/Inbox",
    "Work (a.smith)/Inbox/Team", "Work (a.smith)/Inbox/Team/Reviews", "Work (a.smith)/Sent Items",
    "Storage Folders/Drafts", "Storage Folders/Archive", "Storage Folders/Archive/2019", "Storage Folders/Archive/2020",
    "Storage Folders/Archive/Family",
]


def paragraph(rng, words):
    return " ".join(rng.choice(WORDS) for _ in range(words)).capitalize() + "."


def body_text(rng, size):
    lines, total = [], 0
    while total < size:
        line = paragraph(rng, rng.randint(8, 16))
        lines.append(line)
        total += len(line) + 2
    return "\r\n".join(lines)


# Attachments are slices of one block of random data, encoded once: as
# incompressible as real pictures or archives, without encoding 1 GB anew.
POOL_LINE = 78  # 76 base64 characters and CRLF, for 57 bytes of data
POOL = None


def attachment_lines(rng, size):
    global POOL
    if POOL is None:
        data = random.Random(7).randbytes(8 << 20)
        text = base64.b64encode(data)
        POOL = b"".join(text[i:i + 76] + b"\r\n" for i in range(0, len(text) - 76, 76))
    lines = max(1, size // 57)
    start = rng.randrange(0, len(POOL) // POOL_LINE - lines)
    return POOL[start * POOL_LINE:(start + lines) * POOL_LINE]


def message(rng, n, attachment_size):
    day = 1 + n % 28
    boundary = "----=_Bench_%06d" % n
    head = ("From: \"Sender %d\" <sender%d@example.com>\r\nTo: \"Ann Smith\" <ann@example.com>\r\n"
            "Subject: %s %d\r\nDate: Mon, %d Mar 2026 %02d:%02d:00 +0100\r\nMessage-ID: <bench.%d@example.com>\r\n"
            "MIME-Version: 1.0\r\n") % (n % 97, n % 97, paragraph(rng, 4)[:-1], n, day, n % 24, n % 60, n)
    text = body_text(rng, rng.choice((800, 1500, 2500, 4000, 6000, 9000)))
    if not attachment_size:
        return (head + "Content-Type: text/plain; charset=\"us-ascii\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
                + text + "\r\n").encode("ascii")
    return (head + "Content-Type: multipart/mixed; boundary=\"%s\"\r\n\r\n--%s\r\n"
            "Content-Type: text/plain; charset=\"us-ascii\"\r\n\r\n%s\r\n--%s\r\n"
            "Content-Type: application/octet-stream; name=\"scan%d.bin\"\r\nContent-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment; filename=\"scan%d.bin\"\r\n\r\n" % (boundary, boundary, text, boundary, n, n)
            ).encode("ascii") + attachment_lines(rng, attachment_size) + ("--%s--\r\n" % boundary).encode("ascii")


def generate(root, count):
    rng = random.Random(20261206)
    total = 0
    for n in range(count):
        folder = os.path.join(root, *FOLDERS[rng.randrange(len(FOLDERS))].split("/"))
        os.makedirs(folder, exist_ok=True)
        attachment = rng.randint(1 << 20, 3 << 20) if rng.random() < 0.018 else 0
        data = message(rng, n, attachment)
        with open(os.path.join(folder, "message %06d.eml" % n), "wb") as f:
            f.write(data)
        total += len(data)
    return total


def timed(command, **kwargs):
    start = time.monotonic()
    result = subprocess.run(command, **kwargs)
    return time.monotonic() - start, result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--messages", type=int, default=20000)
    parser.add_argument("--work", default="/tmp/quillmere-bench-convert")
    parser.add_argument("--converter", default=os.path.join(TOP, "build", "bin", "quillmere-convert"))
    parser.add_argument("--keep", action="store_true", help="keep the generated tree and outputs")
    args = parser.parse_args()

    if not os.access(args.converter, os.X_OK):
        sys.exit("no converter at %s (build it first, or pass --converter)" % args.converter)
    shutil.rmtree(args.work, ignore_errors=True)
    source = os.path.join(args.work, "Windows Live Mail")
    copy = os.path.join(args.work, "copy")
    out = os.path.join(args.work, "out")
    back = os.path.join(args.work, "readpst")
    os.makedirs(out)
    os.makedirs(back)

    print("generating %d messages under %s ..." % (args.messages, source), flush=True)
    start = time.monotonic()
    total = generate(source, args.messages)
    print("  %.1f MB in %.1f s" % (total / 1e6, time.monotonic() - start))
    subprocess.run(["sync"])

    copy_seconds, _ = timed(["cp", "-r", source, copy])
    subprocess.run(["sync"])
    shutil.rmtree(copy)

    convert_seconds, result = timed(["/usr/bin/time", "-f", "%M", args.converter, "--quiet", source, out],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    peak_kb = int(re.findall(r"^(\d+)$", result.stderr, re.M)[-1]) if re.findall(r"^(\d+)$", result.stderr, re.M) else 0
    print("\n".join(result.stdout.strip().splitlines()[-2:]))
    if result.returncode != 0:
        print("converter exit status %d:\n%s" % (result.returncode, result.stderr[-2000:]))
    psts = [os.path.join(out, f) for f in os.listdir(out) if f.endswith(".pst")]
    pst_size = os.path.getsize(psts[0]) if psts else 0

    readpst_seconds = None
    if psts and shutil.which("readpst"):
        readpst_seconds, _ = timed(["readpst", "-q", "-e", "-o", back, psts[0]],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    print()
    print("messages            %d (%.1f MB of .eml files)" % (args.messages, total / 1e6))
    print("cp -r               %.2f s" % copy_seconds)
    print("quillmere-convert   %.2f s   %.0f msgs/s   %.1f MB/s   peak memory %.1f MB   .pst %.1f MB"
          % (convert_seconds, args.messages / convert_seconds, total / 1e6 / convert_seconds, peak_kb / 1024,
             pst_size / 1e6))
    print("ratio convert / cp  %.2f   (target: at most 3)" % (convert_seconds / copy_seconds))
    if readpst_seconds is not None:
        print("readpst -e          %.2f s   ratio convert / readpst %.2f   (target: below 1)"
              % (readpst_seconds, convert_seconds / readpst_seconds))
    if not args.keep:
        shutil.rmtree(args.work, ignore_errors=True)


if __name__ == "__main__":
    main()
