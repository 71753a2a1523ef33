#!/usr/bin/env python3
"""Conversion benchmark, run by hand (not part of the test suite):

    python3 bench/convert/bench_convert.py [--case mixed|attachments|small]
        [--messages N] [--attachments N] [--attachment-mb MB]
        [--work DIR] [--keep (a later run of the same case uses the kept tree)] [--converter build/bin/quillmere-convert]
        [--no-readpst | --readpst-limit SECONDS] [--rounds N]

Cases (sizes can be made smaller with the options):
  mixed        20,000 messages in 20 folders (most a few KB, about 2 in 100
               with attachments of 1 to 3 MB, about 1 GB in all);
  attachments  4 messages, each with one 48 MB attachment
               (--attachments 1 --attachment-mb 1024: one 1 GiB attachment);
  small        100,000 small messages in one folder.

On the same run it times
  - the floor: every source file read and written into one file, then
    synced, as the converter syncs its store;
  - quillmere-convert of the tree (messages/s, MB/s, peak memory);
  - `readpst -e` turning the resulting .pst back into .eml files (not in
    the small case, which has no readpst target, unless --readpst-limit is
    given; --readpst-limit stops it after that many seconds, which still
    bounds the ratio);
and prints the figures with their ratios, with the converter's CPU seconds
(user + system), the cores it kept busy on average and its context switches. The source files are read from the
page cache by both the floor and the converter (they were just written).
Targets: conversion at most 2 times the floor (3 for the small case) and
faster than readpst. With --rounds N the floor, the conversion and readpst
run N times in turn; each round's ratios are printed, then the medians.
"""
import argparse
import base64
import os
import random
import re
import shutil
import statistics
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


def write_attachment(f, rng, size):
    """Writes size bytes of data as base64 lines, in pieces of the pool."""
    left = max(1, size // 57)
    while left > 0:
        lines = min(left, 100000)
        f.write(attachment_lines(rng, lines * 57))
        left -= lines


def attachment_message(f, rng, n, size):
    boundary = "----=_Bench_%06d" % n
    head = ("From: \"Sender %d\" <sender%d@example.com>\r\nTo: \"Ann Smith\" <ann@example.com>\r\n"
            "Subject: Scans %d\r\nDate: Mon, 2 Mar 2026 10:%02d:00 +0100\r\nMessage-ID: <bench.%d@example.com>\r\n"
            "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"%s\"\r\n\r\n--%s\r\n"
            "Content-Type: text/plain; charset=\"us-ascii\"\r\n\r\n%s\r\n--%s\r\n"
            "Content-Type: application/octet-stream; name=\"scan%d.bin\"\r\nContent-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment; filename=\"scan%d.bin\"\r\n\r\n"
            % (n, n, n, n % 60, n, boundary, boundary, body_text(rng, 1500), boundary, n, n))
    f.write(head.encode("ascii"))
    write_attachment(f, rng, size)
    f.write(("--%s--\r\n" % boundary).encode("ascii"))


def generate(root, args):
    rng = random.Random(20261206)
    count = args.messages
    for n in range(count):
        if args.case == "mixed":
            folder = os.path.join(root, *FOLDERS[rng.randrange(len(FOLDERS))].split("/"))
        else:
            folder = os.path.join(root, "Example Mail (ann)", "Inbox")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "message %06d.eml" % n)
        with open(path, "wb") as f:
            if args.case == "attachments":
                attachment_message(f, rng, n, args.attachment_mb << 20)
            else:
                attachment = rng.randint(1 << 20, 3 << 20) if args.case == "mixed" and rng.random() < 0.018 else 0
                f.write(message(rng, n, attachment))
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(root) for f in files)


def floor(source, target):
    """Reads every file below source and writes it into one file, then syncs."""
    start = time.monotonic()
    with open(target, "wb") as out:
        for folder, _, files in os.walk(source):
            for name in sorted(files):
                with open(os.path.join(folder, name), "rb") as f:
                    while True:
                        chunk = f.read(1 << 20)
                        if not chunk:
                            break
                        out.write(chunk)
        out.flush()
        os.fsync(out.fileno())
    return time.monotonic() - start


def timed(command, limit=None, **kwargs):
    """Runs command; gives its wall seconds, exit status (None when stopped
    at `limit` seconds) and resource usage."""
    start = time.monotonic()
    child = subprocess.Popen(command, **kwargs)
    deadline = None if limit is None else start + limit
    while True:
        pid, status, usage = os.wait4(child.pid, 0 if deadline is None else os.WNOHANG)
        if pid:
            child.returncode = os.waitstatus_to_exitcode(status)
            return time.monotonic() - start, child.returncode, usage
        if time.monotonic() >= deadline:
            child.kill()
            _, _, usage = os.wait4(child.pid, 0)
            child.returncode = -9
            return time.monotonic() - start, None, usage
        time.sleep(0.2)


def one_round(args, source, out, back):
    """The floor, then the conversion, then readpst on its store, on the same tree."""
    for folder in (out, back):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    subprocess.run(["sync"])
    floor_file = os.path.join(args.work, "floor.bin")
    floor_seconds = floor(source, floor_file)
    os.remove(floor_file)
    subprocess.run(["sync"])

    log_path = os.path.join(args.work, "convert.log")
    # The converter runs under /usr/bin/time, whose figure is the converter's
    # own peak: a child started straight from this script would report at
    # least this script's peak, as Linux keeps the high-water mark across exec.
    peak_path = os.path.join(args.work, "convert.peak")
    with open(log_path, "w+") as log:
        convert_seconds, status, usage = timed(["/usr/bin/time", "-f", "%M", "-o", peak_path,
                                                args.converter, "--quiet", source, out],
                                               stdout=log, stderr=subprocess.STDOUT)
        log.seek(0)
        output = log.read()
    print("\n".join(output.strip().splitlines()[-2:]))
    if status != 0:
        print("converter exit status %s:\n%s" % (status, output[-2000:]))
    psts = [os.path.join(out, f) for f in os.listdir(out) if f.endswith(".pst")]
    with open(peak_path) as f:
        peak_kb = int(f.read().split()[-1])

    readpst_seconds, readpst_stopped = None, False
    run_readpst = not args.no_readpst and (args.case != "small" or args.readpst_limit is not None)
    if psts and run_readpst and shutil.which("readpst"):
        readpst_seconds, readpst_status, _ = timed(["readpst", "-q", "-e", "-o", back, psts[0]],
                                                   limit=args.readpst_limit,
                                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        readpst_stopped = readpst_status is None
    return {"floor": floor_seconds, "convert": convert_seconds, "usage": usage, "peak_kb": peak_kb,
            "pst_size": os.path.getsize(psts[0]) if psts else 0,
            "readpst": readpst_seconds, "readpst_stopped": readpst_stopped}


def print_round(args, r, total, target):
    convert_seconds, usage = r["convert"], r["usage"]
    cpu_seconds = usage.ru_utime + usage.ru_stime
    print("floor               %.2f s   (read every file, write one file, sync)" % r["floor"])
    print("quillmere-convert   %.2f s   %.0f msgs/s   %.1f MB/s   peak memory %.1f MB   .pst %.1f MB"
          % (convert_seconds, args.messages / convert_seconds, total / 1e6 / convert_seconds, r["peak_kb"] / 1024,
             r["pst_size"] / 1e6))
    print("  CPU               %.2f s user + %.2f s system = %.2f s, %.2f cores busy, %d + %d context switches"
          " (voluntary + involuntary)"
          % (usage.ru_utime, usage.ru_stime, cpu_seconds, cpu_seconds / max(convert_seconds, 1e-6),
             usage.ru_nvcsw, usage.ru_nivcsw))
    print("ratio convert / floor   %.2f   (target: at most %d)" % (convert_seconds / max(r["floor"], 1e-6), target))
    if r["readpst_stopped"]:
        print("readpst -e          stopped after %.2f s   ratio convert / readpst below %.2f   (target: below 1)"
              % (r["readpst"], convert_seconds / r["readpst"]))
    elif r["readpst"] is not None:
        print("readpst -e          %.2f s   ratio convert / readpst %.2f   (target: below 1)"
              % (r["readpst"], convert_seconds / r["readpst"]))
    else:
        print("readpst -e          not run")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--case", choices=("mixed", "attachments", "small"), default="mixed")
    parser.add_argument("--messages", type=int, help="messages to generate (default: 20000, 4 or 100000 by case)")
    parser.add_argument("--attachments", type=int, help="the attachments case: how many messages (same as --messages)")
    parser.add_argument("--attachment-mb", type=int, default=48, help="the attachments case: MB per attachment")
    parser.add_argument("--work", default="/tmp/quillmere-bench-convert")
    parser.add_argument("--converter", default=os.path.join(TOP, "build", "bin", "quillmere-convert"))
    parser.add_argument("--keep", action="store_true", help="keep the generated tree and outputs")
    parser.add_argument("--no-readpst", action="store_true", help="do not time readpst")
    parser.add_argument("--readpst-limit", type=float, metavar="SECONDS",
                        help="stop readpst after this many seconds (the small case runs it only when given)")
    parser.add_argument("--rounds", type=int, default=1,
                        help="run the floor, the conversion and readpst this many times in turn; print the medians")
    args = parser.parse_args()
    if args.messages is None:
        args.messages = args.attachments or {"mixed": 20000, "attachments": 4, "small": 100000}[args.case]

    if not os.access(args.converter, os.X_OK):
        sys.exit("no converter at %s (build it first, or pass --converter)" % args.converter)
    source = os.path.join(args.work, "Windows Live Mail")
    out = os.path.join(args.work, "out")
    back = os.path.join(args.work, "readpst")
    # A tree kept by --keep is used again by a run that asks for the same one.
    stamp_path = os.path.join(args.work, "source.stamp")
    stamp = "%s %d %d\n" % (args.case, args.messages, args.attachment_mb)
    reuse = os.path.isfile(stamp_path) and open(stamp_path).read() == stamp
    if reuse:
        for folder in (out, back):
            shutil.rmtree(folder, ignore_errors=True)
        total = sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(source) for f in files)
        print("using the %d messages (%s) kept under %s: %.1f MB" % (args.messages, args.case, source, total / 1e6))
    else:
        shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(out)
    os.makedirs(back)

    if not reuse:
        print("generating %d messages (%s) under %s ..." % (args.messages, args.case, source), flush=True)
        start = time.monotonic()
        total = generate(source, args)
        print("  %.1f MB in %.1f s" % (total / 1e6, time.monotonic() - start))
        with open(stamp_path, "w") as f:
            f.write(stamp)
    subprocess.run(["sync"])

    load_before = os.getloadavg()
    rounds = [one_round(args, source, out, back) for _ in range(max(1, args.rounds))]
    load_after = os.getloadavg()
    target = 3 if args.case == "small" else 2

    print()
    print("machine             %d cores, load average %.1f before the first floor, %.1f after the last run (1-minute)"
          % (os.cpu_count() or 0, load_before[0], load_after[0]))
    print("case                %s: %d messages (%.1f MB of .eml files)" % (args.case, args.messages, total / 1e6))
    for n, r in enumerate(rounds, 1):
        if len(rounds) > 1:
            print("round %d" % n)
        print_round(args, r, total, target)
    if len(rounds) > 1:
        median = lambda values: statistics.median(values) if values else None
        floor_m = median([r["floor"] for r in rounds])
        convert_m = median([r["convert"] for r in rounds])
        print("median of %d rounds" % len(rounds))
        print("  floor %.2f s, quillmere-convert %.2f s, peak memory %.1f MB (highest of the rounds)"
              % (floor_m, convert_m, max(r["peak_kb"] for r in rounds) / 1024))
        print("  ratio convert / floor   %.2f (median of the rounds' ratios)   (target: at most %d)"
              % (median([r["convert"] / max(r["floor"], 1e-6) for r in rounds]), target))
        readpst = [r["convert"] / r["readpst"] for r in rounds if r["readpst"] and not r["readpst_stopped"]]
        if readpst:
            print("  ratio convert / readpst %.2f (median of the rounds' ratios)   (target: below 1)" % median(readpst))
    if not args.keep:
        shutil.rmtree(args.work, ignore_errors=True)


if __name__ == "__main__":
    main()
