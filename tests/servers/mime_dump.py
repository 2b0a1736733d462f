#!/usr/bin/python3
"""Parses a stored mail with Python's email parser and writes what it found, for
the report delivery tests to compare:

  <out>/headers.txt  one "Name: value" line per header, as the parser reads them
  <out>/parts.txt    one line per leaf part: "<n> <content type> <filename or -> <encoding>"
  <out>/part-<n>     the decoded payload of part n

  mime_dump.py MAIL OUTDIR
"""
import email
import email.policy
import os
import sys


def main():
    source, out = sys.argv[1], sys.argv[2]
    with open(source, "rb") as f:
        # From bytes: a binary file would be read through universal newlines, losing the CRs.
        message = email.message_from_bytes(f.read(), policy=email.policy.compat32)
    with open(os.path.join(out, "headers.txt"), "w") as f:
        for name, value in message.items():
            f.write("%s: %s\n" % (name, value))
        f.write("is-multipart: %s\n" % message.is_multipart())
        f.write("boundary: %s\n" % message.get_boundary())
        f.write("defects: %d\n" % len(message.defects))
    lines = []
    for n, part in enumerate(p for p in message.walk() if not p.is_multipart()):
        payload = part.get_payload(decode=True) or b""
        with open(os.path.join(out, "part-%d" % n), "wb") as f:
            f.write(payload)
        lines.append("%d %s %s %s %d\n" % (n, part.get_content_type(), part.get_filename() or "-",
                                         part.get("Content-Transfer-Encoding", "-"), len(part.defects)))
    with open(os.path.join(out, "parts.txt"), "w") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main()
