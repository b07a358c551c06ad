#!/usr/bin/python3
"""Loopback SMTP server for the mail tests (aiosmtpd).

Writes each message it accepts to --dir as mail-N.eml (the data as received)
and mail-N.env (sender, recipients and login, one per line), and prints
"READY <port>" on stdout once it listens on 127.0.0.1.

--user/--password  AUTH is required and only this login is accepted
--cert/--key       STARTTLS is offered and required
"""
import argparse
import asyncio
import os
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--cert", default="")
    parser.add_argument("--key", default="")
    args = parser.parse_args()

    class Handler:
        count = 0

        async def handle_DATA(self, server, session, envelope):
            Handler.count += 1
            base = os.path.join(args.dir, "mail-%d" % Handler.count)
            login = session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword) else ""
            with open(base + ".env.tmp", "w") as env:
                env.write("%s\n%s\n%s\n" % (envelope.mail_from, ",".join(envelope.rcpt_tos), login))
            with open(base + ".eml", "wb") as eml:
                eml.write(envelope.original_content or envelope.content)
            # The .env file appears last: its presence means the mail is whole.
            os.rename(base + ".env.tmp", base + ".env")
            return "250 OK"

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login.decode() == args.user
              and auth_data.password.decode() == args.password)
        return AuthResult(success=ok, auth_data=auth_data if ok else None)

    tls = None
    if args.cert:
        tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        tls.load_cert_chain(args.cert, args.key)

    def factory():
        return SMTP(Handler(), hostname="localhost", tls_context=tls, require_starttls=bool(tls),
                    authenticator=authenticator if args.user else None,
                    auth_required=bool(args.user), auth_require_tls=bool(tls))

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0))
    print("READY %d" % server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    main()
