#!/usr/bin/python3
"""A real SMTP server for the mail client tests (aiosmtpd on 127.0.0.1).

Prints "PORT <n>" once it listens. Every command it receives and every authentication
outcome goes to <out>/transcript.txt, each message's raw DATA to <out>/message-<n>.eml.
CRAM-MD5 and DIGEST-MD5 are checked here by recomputing the client's answer from
RFC 2195 and RFC 2831, independently of the client under test.
"""

import argparse
import asyncio
import base64
import hashlib
import hmac
import logging
import os
import random
import signal
import socket
import ssl
import struct
import sys
import time
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

args = None
message_count = 0


def record(line):
    if args.stamp:
        # CLOCK_MONOTONIC, the clock a C++ steady_clock reads on Linux.
        line += f" @mono={time.monotonic():.6f}"
    with open(os.path.join(args.out, "transcript.txt"), "a", encoding="utf-8") as f:
        f.write(line + "\n")


def md5hex(data):
    return hashlib.md5(data).hexdigest()


def parse_directives(text):
    """RFC 2831 directive list: name=value or name="quoted", separated by commas."""
    result = {}
    i = 0
    n = len(text)
    while i < n:
        while i < n and text[i] in " ,":
            i += 1
        eq = text.find("=", i)
        if eq < 0:
            break
        name = text[i:eq].strip()
        i = eq + 1
        if i < n and text[i] == '"':
            i += 1
            value = ""
            while i < n and text[i] != '"':
                if text[i] == "\\" and i + 1 < n:
                    i += 1
                value += text[i]
                i += 1
            i += 1
        else:
            end = text.find(",", i)
            end = n if end < 0 else end
            value = text[i:end].strip()
            i = end
        result[name] = value
    return result


class Handler:
    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        out = []
        for line in responses:
            if line.startswith("250-AUTH"):
                if args.auth:
                    out.append("250-AUTH " + " ".join(args.auth.split(",")))
                continue
            out.append(line)
        return out

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if args.fail_mail:
            return f"{args.fail_mail} {args.fail_text}"
        envelope.mail_from = address
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if args.fail_rcpt:
            return f"{args.fail_rcpt} 5.1.1 Refused by test"
        if address in args.reject_rcpt:
            record(f"RCPT-REJECTED {address}")
            return "550 5.1.1 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        global message_count
        message_count += 1
        path = os.path.join(args.out, f"message-{message_count}.eml")
        with open(path, "wb") as f:
            f.write(envelope.original_content)
        record(f"MESSAGE {message_count} from={envelope.mail_from} to={','.join(envelope.rcpt_tos)}")
        return "250 Message accepted"

    async def auth_CRAM__MD5(self, server, auth_args):
        challenge = f"<{os.getpid()}.{time.time_ns()}@zm-test>".encode()
        answer = await server.challenge_auth(challenge)
        if not isinstance(answer, bytes):
            record("AUTH-RESULT CRAM-MD5 ABORTED")
            return AuthResult(success=False, handled=False)
        login, _, digest = answer.decode("utf-8", "replace").rpartition(" ")
        expected = hmac.new(args.password.encode(), challenge, hashlib.md5).hexdigest()
        ok = login == args.user and digest == expected
        record(f"AUTH-RESULT CRAM-MD5 {'OK' if ok else 'FAIL'} {login}")
        return AuthResult(success=ok, handled=False)

    async def auth_DIGEST__MD5(self, server, auth_args):
        nonce = base64.b64encode(os.urandom(12)).decode()
        parts = []
        if args.realm:
            parts.append(f'realm="{args.realm}"')
        parts += [f'nonce="{nonce}"', 'qop="auth"', "charset=utf-8", "algorithm=md5-sess"]
        answer = await server.challenge_auth(",".join(parts))
        if not isinstance(answer, bytes):
            record("AUTH-RESULT DIGEST-MD5 ABORTED")
            return AuthResult(success=False, handled=False)
        text = answer.decode("utf-8", "replace")
        record("DIGEST-RESPONSE " + text)
        d = parse_directives(text)
        local_ip = server.transport.get_extra_info("sockname")[0]
        uri = d.get("digest-uri", "")
        cnonce = d.get("cnonce", "")
        nc = d.get("nc", "")
        realm = d.get("realm", "")
        a1 = hashlib.md5(f"{args.user}:{args.realm}:{args.password}".encode()).digest()
        a1 += f":{nonce}:{cnonce}".encode()
        ha1 = md5hex(a1)
        ha2 = md5hex(f"AUTHENTICATE:{uri}".encode())
        expected = md5hex(f"{ha1}:{nonce}:{nc}:{cnonce}:auth:{ha2}".encode())
        checks = {
            "username": d.get("username") == args.user,
            "realm": realm == args.realm,
            "nonce": d.get("nonce") == nonce,
            "nc": nc == "00000001",
            "qop": d.get("qop") == "auth",
            "uri": uri == f"smtp/{local_ip}",
            "cnonce": bool(cnonce),
            "response": d.get("response") == expected,
        }
        failed = [k for k, v in checks.items() if not v]
        if failed:
            record(f"AUTH-RESULT DIGEST-MD5 FAIL {','.join(failed)}")
            return AuthResult(success=False, handled=False)
        ha2_server = md5hex(f":{uri}".encode())
        rspauth = md5hex(f"{ha1}:{nonce}:{nc}:{cnonce}:auth:{ha2_server}".encode())
        final = await server.challenge_auth(f"rspauth={rspauth}")
        if final != b"":
            record("AUTH-RESULT DIGEST-MD5 FAIL final")
            return AuthResult(success=False, handled=False)
        record(f"AUTH-RESULT DIGEST-MD5 OK {args.user}")
        return AuthResult(success=True)


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and \
        auth_data.login.decode() == args.user and auth_data.password.decode() == args.password
    login = auth_data.login.decode("utf-8", "replace") if isinstance(auth_data, LoginPassword) else ""
    record(f"AUTH-RESULT {mechanism} {'OK' if ok else 'FAIL'} {login}")
    return AuthResult(success=ok, handled=False)


started_at = time.monotonic()
sessions_seen = 0


def refusing_now():
    if sessions_seen <= args.refuse_sessions:
        return True
    return time.monotonic() - started_at < args.refuse_for


class RecordingSMTP(SMTP):
    """Writes each command to the transcript before aiosmtpd handles it."""

    greeted = False

    async def push(self, status):
        if not self.greeted:
            # The first thing pushed is the greeting: a busy server says 421 and hangs up.
            self.greeted = True
            global sessions_seen
            sessions_seen += 1
            if random.random() < args.stall_rate:
                record("STALLED")
                return  # no greeting: the client waits until its own limit
            if refusing_now() or random.random() < args.refuse_rate:
                record("REFUSED 421")
                await super().push("421 4.3.2 Service not available, try again later")
                self.transport.close()
                return
        await super().push(status)

    def connection_lost(self, error):
        record("DISCONNECT")
        super().connection_lost(error)


def _recording(name):
    original = getattr(SMTP, "smtp_" + name)

    async def method(self, arg):
        shown = arg or ""
        if name == "AUTH" and shown:
            shown = shown.split()[0]  # never the credential of AUTH PLAIN
        record(f"{name} {shown}".rstrip())
        if name == "EHLO" and args.reset_at_ehlo:
            # Abortive close: the client's next receive sees a reset, not an orderly end.
            sock = self.transport.get_extra_info("socket")
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.transport.abort()
            return
        await original(self, arg)
        if name == "EHLO" and args.close_after_ehlo:
            self.transport.close()

    return method


for _name in ["EHLO", "HELO", "AUTH", "MAIL", "RCPT", "DATA", "QUIT", "RSET", "NOOP",
              "STARTTLS", "VRFY"]:
    setattr(RecordingSMTP, "smtp_" + _name, _recording(_name))


def server_context():
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(args.cert, args.key)

    def on_sni(sock, name, context):
        if name is not None:
            record(f"SNI {name}")

    ctx.sni_callback = on_sni
    return ctx


async def main():
    loop = asyncio.get_running_loop()
    tls = server_context() if (args.starttls or args.implicit_tls) else None

    def factory():
        return RecordingSMTP(
            Handler(),
            hostname="zm-test.local",
            tls_context=tls if args.starttls else None,
            auth_require_tls=False,
            authenticator=authenticator,
            decode_data=False,
            timeout=30,
        )

    server = await loop.create_server(factory, "127.0.0.1", args.port,
                                      ssl=tls if args.implicit_tls else None)
    port = server.sockets[0].getsockname()[1]
    print(f"PORT {port}", flush=True)
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.add_signal_handler(signal.SIGINT, stop.set)
    # Never outlive a test that forgot us.
    loop.call_later(args.lifetime, stop.set)
    await stop.wait()
    server.close()


if __name__ == "__main__":
    p = argparse.ArgumentParser()
    p.add_argument("--out", required=True, help="folder for transcript and messages")
    p.add_argument("--auth", default="", help="mechanisms offered, comma-separated, in order")
    p.add_argument("--user", default="user")
    p.add_argument("--password", default="secret")
    p.add_argument("--realm", default="zm-test.local", help="DIGEST-MD5 realm; empty omits it")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--starttls", action="store_true")
    p.add_argument("--implicit-tls", action="store_true")
    p.add_argument("--fail-mail", default="", help="reply code for MAIL FROM")
    p.add_argument("--fail-rcpt", default="", help="reply code for RCPT TO")
    p.add_argument("--fail-text", default="5.7.0 Refused by test",
                   help="text after the code of the MAIL FROM refusal")
    p.add_argument("--reject-rcpt", action="append", default=[],
                   help="recipient refused with 550 (repeatable)")
    p.add_argument("--refuse-sessions", type=int, default=0,
                   help="greet the first N sessions with 421 and hang up")
    p.add_argument("--refuse-rate", type=float, default=0.0,
                   help="greet this share of sessions (0..1, at random) with 421")
    p.add_argument("--stall-rate", type=float, default=0.0,
                   help="leave this share of sessions (0..1, at random) without a greeting")
    p.add_argument("--refuse-for", type=float, default=0.0,
                   help="greet with 421 and hang up for this many seconds after the start")
    p.add_argument("--close-after-ehlo", action="store_true")
    p.add_argument("--reset-at-ehlo", action="store_true")
    p.add_argument("--port", type=int, default=0, help="listen on this port (0: any free one)")
    p.add_argument("--lifetime", type=float, default=60.0)
    p.add_argument("--stamp", action="store_true",
                   help="end every transcript line with the monotonic time it was recorded")
    args = p.parse_args()
    # End with the test program, even when it is killed before it can end us.
    try:
        import ctypes
        PR_SET_PDEATHSIG = 1
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)
    except (OSError, AttributeError):
        pass
    # Failures the tests provoke on purpose are not worth a traceback on stderr.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    warnings.simplefilter("ignore")
    asyncio.run(main())
