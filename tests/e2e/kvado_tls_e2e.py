#!/usr/bin/python3
"""An encrypted session as a person meets it, end to end: the real binary on a
private desktop, in Slovenian, against a recording FTP server that speaks TLS
with a self-signed certificate made out for another name.

First run: quick connect with "explicit TLS required" (from Kvado.ini); the
certificate question shows the certificate; "Zaupaj vedno"; the listing comes,
the caption says the session is encrypted; a file downloaded byte for byte;
FTP -> Izhod. Second run: the same connection asks nothing (the certificate is
trusted always) and lists. Third run: the server has a new certificate on the
same port: the warning says the certificate CHANGED and shows both
fingerprints; "Prekliči" ends the connection before the login, and the trust
stored stays. Then the server's record: AUTH TLS before USER, PBSZ 0 and PROT P
after the login, and no USER in the third session.

Usage: kvado_tls_e2e.py <kvado binary> <artifacts folder>
"""
import os
import re
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kvado  # noqa: E402
from driver import E2EFailure, run  # noqa: E402

SL = 0
HELLO = b"Encrypted hello.\r\n" * 200
QUESTION = "Kvado - Potrdilo strežnika"
ENCRYPTED_CAPTION = re.compile(r"^Kvado - \[.*\] - šifrirano \(TLSv1\.[23]\)$")


def make_certificate(folder, name="server"):
    """A self-signed certificate for ftp.kvado.test with its key, in one PEM file."""
    key, cert = os.path.join(folder, name + "-key.pem"), os.path.join(folder, name + "-cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "30", "-subj", "/CN=ftp.kvado.test"], check=True, capture_output=True)
    both = os.path.join(folder, name + ".pem")
    with open(both, "wb") as out:
        for part in (cert, key):
            with open(part, "rb") as f:
                out.write(f.read())
    return both


def test(desk, drv, binary):
    served, home, local = (os.path.join(desk.workdir, d) for d in ("served", "home", "local"))
    for folder in (served, home, local):
        os.makedirs(folder)
    with open(os.path.join(served, "hello.txt"), "wb") as f:
        f.write(HELLO)
    kvado.write_ini(home, {"Jezik": "1", "ZNaslov": "127.0.0.1", "TipPri": "0", "TipPre": "1",
                           "FTPMapa": "/", "LokMapa": local, "Sifriranje": "2"})
    record = os.path.join(desk.workdir, "commands.txt")
    server = kvado.RecordingServer(served, record, os.path.join(desk.workdir, "server.log"),
                                   tls=make_certificate(desk.workdir))
    trust = os.path.join(home, "Potrdila.kvp")
    try:
        first_run(desk, drv, binary, home, local, server.port)
        second_run(desk, drv, binary, home, local, server.port)
        with open(trust, "rb") as f:
            trusted = f.read()
        server.stop()
        server = kvado.RecordingServer(served, record, os.path.join(desk.workdir, "server2.log"),
                                       tls=make_certificate(desk.workdir, "rekeyed"), port=server.port)
        changed_run(desk, drv, binary, home, local, server.port)
    except E2EFailure as failure:
        raise E2EFailure("%s\n  the server's last commands: %s" % (failure, " | ".join(server.commands()[-8:])))
    finally:
        server.stop()
    check_record(drv, server.commands())
    with open(trust, "rb") as f:
        if f.read() != trusted:
            drv.fail("refusing the changed certificate altered the trust stored")


def connect(desk, drv, binary, home, local, port):
    proc = desk.spawn("kvado", [binary], kvado.kvado_env(home, user_home=local), cwd=local)
    app = drv.app(proc)
    drv.window(app, kvado.MAIN_WINDOW, active=True)
    kvado.wait_splash_gone(drv, app)
    kvado.quick_connect(drv, app, SL, "127.0.0.1", port)
    return proc, app


def first_run(desk, drv, binary, home, local, port):
    proc, app = connect(desk, drv, binary, home, local, port)
    question = drv.window(app, QUESTION, active=True, timeout=20)
    drv.find(question, role="label", name="CN=ftp.kvado.test")  # the subject, as the certificate has it
    drv.shot("certificate-question")
    drv.press(drv.find(question, role="push button", name="Zaupaj vedno"), wait=False)

    kvado.select_row(drv, app, SL, "hello.txt")
    drv.window(app, ENCRYPTED_CAPTION, active=True)
    drv.shot("encrypted-session")
    drv.keys("ctrl+j")
    kvado.wait_file(os.path.join(local, "hello.txt"), HELLO, 30, drv, "hello.txt downloaded over TLS")
    exit_kvado(drv, app, proc)


def second_run(desk, drv, binary, home, local, port):
    proc, app = connect(desk, drv, binary, home, local, port)
    kvado.row(drv, app, SL, "hello.txt")
    if drv.search(app, name=QUESTION, showing=False, limit=1):
        drv.fail("a certificate trusted always was asked about again")
    drv.window(app, ENCRYPTED_CAPTION, active=True)
    exit_kvado(drv, app, proc)


def changed_run(desk, drv, binary, home, local, port):
    proc, app = connect(desk, drv, binary, home, local, port)
    warning = drv.window(app, QUESTION, active=True, timeout=20)
    drv.find(warning, role="label", name=re.compile(r"^POZOR: potrdilo strežnika .* SPREMENILO"))
    drv.find(warning, role="label", name="Zaupani prstni odtis:")
    drv.shot("certificate-changed")
    drv.press(drv.find(warning, role="push button", name="Prekliči"), wait=False)
    box = drv.window(app, "Kvado opozorilo!", active=True, timeout=20)
    drv.find(box, role="label", name=re.compile(r"^Potrdilo strežnika ni sprejeto"))
    drv.press(drv.find(box, role="push button"), wait=False)
    main = drv.window(app, kvado.MAIN_WINDOW, active=True)
    drv.press(drv.find(main, role="menu item", name="Izhod", showing=False), wait=False)
    drv.wait_until(lambda: proc.poll() is not None, 20, "Kvado to end after Izhod")


def exit_kvado(drv, app, proc):
    main = drv.window(app, ENCRYPTED_CAPTION, active=True)
    drv.press(drv.find(main, role="menu item", name="Izhod", showing=False), wait=False)
    drv.wait_until(lambda: proc.poll() is not None, 20, "Kvado to end after Izhod")
    if proc.returncode != 0:
        drv.fail("Kvado ended with code %d" % proc.returncode)


def check_record(drv, commands):
    verbs = [line.split(" ")[0].upper() for line in commands]
    for run_start in (i for i, verb in enumerate(verbs) if verb == "AUTH"):
        if commands[run_start] != "AUTH TLS":
            drv.fail("the session began with %r, not AUTH TLS" % commands[run_start])
    if verbs.count("AUTH") != 3 or verbs.count("USER") != 2:
        drv.fail("three sessions with AUTH TLS, two of them with USER, expected: %s" % " | ".join(commands))
    if verbs.index("USER") < verbs.index("AUTH"):
        drv.fail("USER went out before AUTH TLS: %s" % " | ".join(commands))
    for expected in ("PBSZ 0", "PROT P", "RETR hello.txt"):
        if expected not in commands:
            drv.fail("the server never got %r: %s" % (expected, " | ".join(commands)))


if __name__ == "__main__":
    binary, artifacts = os.path.abspath(sys.argv[1]), sys.argv[2]
    sys.exit(run(lambda desk, drv: test(desk, drv, binary), artifacts))
