#!/usr/bin/python3
"""SMTP server on 127.0.0.1 for the report delivery tests, built on aiosmtpd.

Prints its port on the first line of standard output, then serves until standard
input closes. Every command it gets is appended to <store>/commands.log; every
message accepted is stored as <store>/mail-<n>.eml (the bytes as received, dots
unstuffed by the server) with <store>/mail-<n>.env (sender, recipients, login).

  smtp_sink.py --store DIR [--auth USER:PASSWORD] [--ehlo-error] [--rcpt-251]
               [--reject ADDRESS]...
"""
import argparse
import asyncio
import functools
import os
import socket
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Handler:
    def __init__(self, options):
        self.options = options
        self.count = 0

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        if self.options.ehlo_error:
            return ["554 No EHLO here"]
        return responses

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.options.reject:
            return "550 No such user here"
        envelope.rcpt_tos.append(address)
        return "251 User not local; will forward" if self.options.rcpt_251 else "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.options.store, "mail-%d" % self.count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        data = getattr(session, "auth_data", None)
        login = data.login.decode() if isinstance(data, LoginPassword) else ""
        with open(base + ".env", "w") as f:
            f.write("from=%s\nto=%s\nlogin=%s\n" % (envelope.mail_from, ",".join(envelope.rcpt_tos), login))
        return "250 Message accepted for delivery"


def logging_smtp(store):
    """An SMTP class that appends every command to commands.log first."""
    path = os.path.join(store, "commands.log")

    class LoggingSMTP(SMTP):
        pass

    for verb in ("HELO", "EHLO", "RSET", "AUTH", "MAIL", "RCPT", "DATA", "QUIT", "NOOP"):
        original = getattr(SMTP, "smtp_" + verb)

        @functools.wraps(original)
        async def wrapped(self, arg, _original=original, _verb=verb):
            with open(path, "a") as log:
                shown = (arg or "").split(" ")[0] if _verb == "AUTH" else (arg or "")
                log.write(("%s %s" % (_verb, shown)).rstrip() + "\n")
            return await _original(self, arg)

        setattr(LoggingSMTP, "smtp_" + verb, wrapped)
    return LoggingSMTP


class SinkController(Controller):
    def __init__(self, handler, smtp_class, **kwargs):
        self.smtp_class = smtp_class
        super().__init__(handler, **kwargs)

    def factory(self):
        return self.smtp_class(self.handler, **self.SMTP_kwargs)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--store", required=True)
    parser.add_argument("--auth", default="")
    parser.add_argument("--ehlo-error", action="store_true")
    parser.add_argument("--rcpt-251", action="store_true")
    parser.add_argument("--reject", action="append", default=[])
    options = parser.parse_args()

    kwargs = {"hostname": "127.0.0.1", "port": free_port(), "auth_require_tls": False}
    if options.auth:
        user, password = options.auth.split(":", 1)

        def authenticator(server, session, envelope, mechanism, auth_data):
            ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == user
                  and auth_data.password.decode() == password)
            return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

        kwargs["authenticator"] = authenticator
    controller = SinkController(Handler(options), logging_smtp(options.store), **kwargs)
    controller.start()
    print(controller.port, flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
