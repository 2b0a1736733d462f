#!/usr/bin/python3
"""A DNS server on UDP for the MX lookup tests that answers with crafted
messages. Prints its port on the first line of standard output and serves
until standard input closes; each query's name is appended to --log.

  dns_crafted.py --mode MODE [--address 127.0.0.1] [--port 0] [--log FILE]

Modes (the answer to every MX query):
  compressed  two MX records, names compressed with pointers (one a chain of two);
              the lower preference comes second: "primary.<domain>", preference 10
  loop        an MX record whose exchanger is a pointer to itself
  loop2       an MX record whose exchanger points into a pair of pointers to each other
  wrongid     first an answer with another ID, then the "compressed" answer
  otherq      first an answer for another question, then the "compressed" answer
  truncated   the "compressed" answer cut in the middle of its second record, TC not set
  nxdomain    no such domain (RCODE 3)
  nullmx      the null MX ("." with preference 0)
  silent      no answer at all
"""
import argparse
import select
import socket
import struct
import sys


def encode_name(name):
    return b"".join(bytes([len(label)]) + label.encode() for label in name.split(".") if label) + b"\0"


def question_of(query):
    """(id, question bytes, name) of a query with an uncompressed question."""
    qid = struct.unpack(">H", query[:2])[0]
    at = 12
    labels = []
    while query[at]:
        length = query[at]
        labels.append(query[at + 1:at + 1 + length].decode())
        at += 1 + length
    end = at + 1 + 4
    return qid, query[12:end], ".".join(labels)


def header(qid, ancount, rcode=0, flags=0x8180):
    return struct.pack(">HHHHHH", qid, flags | rcode, 1, ancount, 0, 0)


def rr_mx(owner, preference, exchange):
    rdata = struct.pack(">H", preference) + exchange
    return owner + struct.pack(">HHIH", 15, 1, 300, len(rdata)) + rdata


def compressed(qid, question):
    msg = header(qid, 2) + question
    # Record 1: owner is a pointer to the question name (offset 12).
    # Its exchanger "backup" + pointer to the question name.
    rr1_start = len(msg)
    rr1 = rr_mx(b"\xc0\x0c", 20, b"\x06backup\xc0\x0c")
    msg += rr1
    # The pointer inside record 1's exchanger, which itself points to offset 12.
    inner_pointer = rr1_start + 2 + 10 + 2 + 7
    assert msg[inner_pointer:inner_pointer + 2] == b"\xc0\x0c"
    # Record 2: "primary" + pointer to that pointer: two hops to the domain.
    msg += rr_mx(b"\xc0\x0c", 10, b"\x07primary" + struct.pack(">H", 0xC000 | inner_pointer))
    return msg


def loop(qid, question):
    msg = header(qid, 1) + question
    start = len(msg) + 2 + 10 + 2  # where the exchanger begins
    return msg + rr_mx(b"\xc0\x0c", 10, struct.pack(">H", 0xC000 | start))


def loop2(qid, question):
    msg = header(qid, 1) + question
    start = len(msg) + 2 + 10 + 2
    # "mx" then a pointer to the next pointer, which points back to the first.
    exchange = b"\x02mx" + struct.pack(">H", 0xC000 | (start + 5)) + struct.pack(">H", 0xC000 | (start + 3))
    return msg + rr_mx(b"\xc0\x0c", 10, exchange)


def answers(mode, query):
    qid, question, name = question_of(query)
    if mode == "silent":
        return []
    if mode == "compressed":
        return [compressed(qid, question)]
    if mode == "loop":
        return [loop(qid, question)]
    if mode == "loop2":
        return [loop2(qid, question)]
    if mode == "wrongid":
        return [compressed(qid ^ 0x5A5A, question), compressed(qid, question)]
    if mode == "otherq":
        other = encode_name("other.example") + question[-4:]
        return [compressed(qid, other), compressed(qid, question)]
    if mode == "truncated":
        whole = compressed(qid, question)
        return [whole[:len(whole) - 6]]
    if mode == "nxdomain":
        return [header(qid, 0, rcode=3) + question]
    if mode == "nullmx":
        return [header(qid, 1) + question + rr_mx(b"\xc0\x0c", 0, b"\0")]
    raise SystemExit("unknown mode " + mode)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", required=True)
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--log", default="")
    options = parser.parse_args()
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((options.address, options.port))
    print(sock.getsockname()[1], flush=True)
    while True:
        ready, _, _ = select.select([sock, sys.stdin], [], [])
        if sys.stdin in ready and not sys.stdin.buffer.read1(4096):
            return
        if sock in ready:
            query, peer = sock.recvfrom(4096)
            name = question_of(query)[2]
            if options.log:
                with open(options.log, "a") as log:
                    log.write(name + "\n")
            for answer in answers(options.mode, query):
                sock.sendto(answer, peer)


if __name__ == "__main__":
    main()
