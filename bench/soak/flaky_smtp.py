#!/usr/bin/python3
"""A mail server that misbehaves now and then, for the fault soak (aiosmtpd on 127.0.0.1).

Prints "PORT <n>" once it listens. Each message meets one of: acceptance (most of the
time), a refusal of the recipient (550), a temporary refusal of the data (451), a closed
connection before the greeting's reply is read, or a stall longer than the client's reply
time-out. Every outcome is one line in <out>: "ACCEPTED <subject>", "REFUSED 550",
"REFUSED 451", "CLOSED", "STALLED".
"""

import argparse
import asyncio
import email
import logging
import random
import signal
import sys
import warnings

from aiosmtpd.smtp import SMTP

args = None


def record(line):
    with open(args.out, "a", encoding="utf-8") as f:
        f.write(line + "\n")


class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        roll = random.random()
        if roll < args.refuse / 2:
            record("REFUSED 550")
            return "550 5.7.1 <b>Relaying</b> denied & refused"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        roll = random.random()
        if roll < args.refuse / 2:
            record("REFUSED 451")
            return "451 4.3.0 Try again later"
        if roll < args.refuse / 2 + args.stall:
            record("STALLED")
            await asyncio.sleep(args.stall_seconds)
            return "451 4.3.0 Too late"
        message = email.message_from_bytes(envelope.original_content)
        subject = " ".join(str(message.get("Subject", "")).split())
        record(f"ACCEPTED {subject}")
        return "250 Message accepted"


class FlakySMTP(SMTP):
    def connection_made(self, transport):
        if random.random() < args.close:
            record("CLOSED")
            transport.close()
            return
        super().connection_made(transport)


async def main():
    loop = asyncio.get_running_loop()

    def factory():
        return FlakySMTP(Handler(), hostname="soak.local", decode_data=False, timeout=30)

    server = await loop.create_server(factory, "127.0.0.1", 0)
    print(f"PORT {server.sockets[0].getsockname()[1]}", flush=True)
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.add_signal_handler(signal.SIGINT, stop.set)
    loop.call_later(args.lifetime, stop.set)
    await stop.wait()
    server.close()


if __name__ == "__main__":
    p = argparse.ArgumentParser()
    p.add_argument("--out", required=True, help="file that gets one line per outcome")
    p.add_argument("--refuse", type=float, default=0.1, help="share of refused messages")
    p.add_argument("--stall", type=float, default=0.05, help="share of stalled messages")
    p.add_argument("--stall-seconds", type=float, default=8.0)
    p.add_argument("--close", type=float, default=0.05, help="share of dropped connections")
    p.add_argument("--lifetime", type=float, default=7200.0)
    p.add_argument("--seed", type=int, default=None)
    args = p.parse_args()
    random.seed(args.seed)
    try:
        import ctypes
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # end with the driver
    except (OSError, AttributeError):
        pass
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    warnings.simplefilter("ignore")
    asyncio.run(main())
