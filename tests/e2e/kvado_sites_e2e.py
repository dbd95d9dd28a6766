#!/usr/bin/python3
"""Kvado's stored sites and options as a person uses them, end to end: the
real binary on a private desktop, in Slovenian, with its own home.

First run: the site manager opened with its tool button, a site added in the
site editor (a name with a Central European letter, the test server's host
and port, a normal login, a remote directory, a comment on two lines), OK,
Zapri, FTP -> Izhod; then the bytes of Naslovi.kvs against its record layout.
Second run: FTP -> Možnosti (a new time-out and anonymous password, logging
to a file switched on), V redu; the site manager again, the site
double-clicked: the server sees the site's login and its directory, the log
names the site; FTP -> Izhod; then Kvado.ini, the log file with its banners,
and the site list left as it was.

Usage: kvado_sites_e2e.py <kvado binary> <artifacts folder>
       kvado_sites_e2e.py --serve <recordingserver.py arguments>
"""
import os
import re
import struct
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kvado  # noqa: E402
from driver import E2EFailure, run  # noqa: E402

SL = 0
RECORD = 936
SITE = {"name": "Testni strežnik", "user": "kvadouser", "password": "sitepass7", "remote": "/pub",
        "comment": ("Prva vrstica", "druga vrstica")}
TIMEOUT, ANON_PASSWORD, LOG_FILE = "45", "gost@kvado.test", "seja.kvl"


# -- the server: the recording server with one named user besides anonymous --

def serve_with_user(argv):
    """Runs recordingserver.py with SITE's user added to its authorizer."""
    from pyftpdlib.authorizers import DummyAuthorizer

    add_anonymous = DummyAuthorizer.add_anonymous

    def add_anonymous_and_user(self, homedir, **kw):
        add_anonymous(self, homedir, **kw)
        self.add_user(SITE["user"], SITE["password"], homedir, perm="elr")

    DummyAuthorizer.add_anonymous = add_anonymous_and_user
    import recordingserver

    sys.argv = ["recordingserver.py", *argv]
    return recordingserver.main()


# -- the flow ------------------------------------------------------------------

def test(desk, drv, binary):
    served, home = (os.path.join(desk.workdir, d) for d in ("served", "home"))
    os.makedirs(os.path.join(served, "pub"))
    os.makedirs(home)
    with open(os.path.join(served, "pub", "inside.txt"), "wb") as f:
        f.write(b"in pub\r\n")
    kvado.write_ini(home, {"Jezik": "1", "LokMapa": home})  # the language is chosen: no question
    server = kvado.RecordingServer(served, os.path.join(desk.workdir, "commands.txt"),
                                   os.path.join(desk.workdir, "server.log"),
                                   script=(os.path.abspath(__file__), "--serve"))
    try:
        first_run(desk, drv, binary, home, server.port)
        sites = read_file(os.path.join(home, "Naslovi.kvs"))
        check_record(drv, sites, server.port)
        second_run(desk, drv, binary, home, server)
    except E2EFailure as failure:
        raise E2EFailure("%s\n  the server's last commands: %s" % (failure, " | ".join(server.commands()[-8:])))
    finally:
        server.stop()
    if read_file(os.path.join(home, "Naslovi.kvs")) != sites:
        drv.fail("the site list changed in a run that changed no site")
    check_settings(drv, home)


def start(desk, drv, binary, home):
    proc = desk.spawn("kvado", [binary], kvado.kvado_env(home, user_home=home), cwd=home)
    app = drv.app(proc)
    return proc, app, drv.window(app, kvado.MAIN_WINDOW, active=True, timeout=30)


def quit_by_menu(drv, proc, main):
    drv.press(drv.find(main, role="menu item", name="Izhod", showing=False), wait=False)
    drv.wait_until(lambda: proc.poll() is not None, 20, "Kvado to end after Izhod")
    if proc.returncode != 0:
        drv.fail("Kvado ended with code %d" % proc.returncode)


def open_site_manager(drv, app, main):
    drv.press(drv.find(main, role="push button", name="Sistem povezav"), wait=False)
    return drv.window(app, "Sistem povezav", active=True)


def first_run(desk, drv, binary, home, port):
    proc, app, main = start(desk, drv, binary, home)
    manager = open_site_manager(drv, app, main)
    drv.find(manager, name="Najbolj obiskani naslovi", rows=True)  # an empty list: the header alone
    drv.press(drv.find(manager, role="push button", name="Dodaj nov strežnik"), wait=False)
    editor = drv.window(app, "Urejanje povezav", active=True)

    def field(name, role="text"):
        return drv.find(editor, role=role, name=name)

    drv.set_text(field("Ime povezave"), SITE["name"])
    drv.set_text(field("Naslov FTP strežnika"), "127.0.0.1")
    # Normal login keeps the fields (no site is selected); Anonymous would fill them.
    normal = drv.find(editor, role="radio button", name="Normal")
    drv.press(normal)
    drv.wait_until(lambda: "checked" in drv.states(normal), 5, "Normal login chosen")
    drv.set_text(field("Uporabniško ime"), SITE["user"])
    # A password field hides its text from the bus: typed; the stored record shows it.
    drv.focus(field("Uporabniško geslo", "password text"))
    drv.keys("ctrl+a")
    drv.type(SITE["password"])
    drv.set_text(field("Začetna FTP mapa"), SITE["remote"])
    drv.set_text(field("FTP Vrata"), str(port))
    # The comment typed on two lines, with Return between them.
    comment = field("Komentar")
    drv.focus(comment)
    drv.type(SITE["comment"][0])
    drv.keys("Return")
    drv.type(SITE["comment"][1])
    drv.wait_until(lambda: drv.text(comment) == "\n".join(SITE["comment"]), 10, "the comment on two lines")
    drv.shot("site-editor")
    drv.press(drv.find(editor, role="push button", name="V redu"), wait=False)
    manager = drv.window(app, "Sistem povezav", active=True)
    drv.find(manager, name=SITE["name"], rows=True)
    drv.press(drv.find(manager, role="push button", name="Zapri"), wait=False)
    drv.window(app, kvado.MAIN_WINDOW, active=True)
    quit_by_menu(drv, proc, main)


def second_run(desk, drv, binary, home, server):
    proc, app, main = start(desk, drv, binary, home)

    kvado.wait_splash_gone(drv, app)  # the mouse is used below
    # Options first, so that the log file also records the connection.
    drv.press(drv.find(main, role="menu item", name="Možnosti", showing=False), wait=False)
    options = drv.window(app, "Možnosti", active=True)
    drv.set_text(drv.find(options, role="text", name="Čas za povezavo s FTP strežnikom"), TIMEOUT)
    drv.set_text(drv.find(options, role="text", name="Privzeto geslo za anonymous dostop"), ANON_PASSWORD)
    logging = drv.find(options, role="check box", name="Vodenje dnevnika v datoteko")
    log_name = drv.find(options, role="text", name="Datoteka za vodenje dnevnika")
    if "checked" in drv.states(logging) or "enabled" in drv.states(log_name):
        drv.fail("logging to a file is on before it was switched on")
    # Clicked with the mouse: the bus's Toggle checks the box but leaves the field disabled.
    drv.click(logging)
    drv.wait_until(lambda: "checked" in drv.states(logging), 5, "the log box checked")
    drv.wait_until(lambda: "enabled" in drv.states(log_name), 5, "the log file field enabled by its box")
    drv.set_text(log_name, LOG_FILE)
    drv.press(drv.find(options, role="push button", name="V redu"), wait=False)
    drv.window(app, kvado.MAIN_WINDOW, active=True)
    log_path = os.path.join(home, LOG_FILE)
    drv.wait_until(lambda: os.path.exists(log_path), 10, "the log file opened by V redu")

    # Connect by double-clicking the site.
    manager = open_site_manager(drv, app, main)
    drv.click(drv.find(manager, name=SITE["name"], rows=True), double=True)
    drv.window(app, kvado.MAIN_WINDOW, active=True)
    kvado.row(drv, app, SL, "inside.txt")  # the listing of the site's directory
    wanted = 'Povezujem s "%s"' % SITE["name"]
    drv.wait_until(lambda: log_view_has(drv, main, wanted), 10, "%r in the session log" % wanted)
    drv.shot("connected-to-site")
    quit_by_menu(drv, proc, main)

    expected = ["USER %s" % SITE["user"], "PASS %s" % SITE["password"], "CWD %s" % SITE["remote"]]
    in_order(drv, server.commands(), expected, "the server")
    if not any(c.startswith(("LIST", "NLST", "MLSD")) for c in server.commands()):
        drv.fail("the site's directory was never listed: %s" % server.commands())


def log_view_has(drv, main, text):
    """True when a read-only text view of the main window (the session log) shows text."""
    for view in drv.search(main, role="text"):
        if "editable" not in drv.states(view) and text in drv.text(view):
            return True
    return False


def in_order(drv, lines, expected, where):
    at = 0
    for line in lines:
        if at < len(expected) and line == expected[at]:
            at += 1
    if at < len(expected):
        drv.fail("%s lacks %r in order; it has:\n    %s" % (where, expected[at], "\n    ".join(lines)))


# -- the files afterwards ------------------------------------------------------

def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def check_record(drv, data, port):
    """The one record of the site list, byte for byte where the layout gives a meaning."""
    if len(data) != RECORD:
        drv.fail("Naslovi.kvs holds %d bytes, not one record of %d" % (len(data), RECORD))

    def string(offset, size):
        length = min(data[offset], size - 1)
        return data[offset + 1:offset + 1 + length].decode("cp1250")

    comment = " ".join(SITE["comment"])  # the line break flattened to one space
    fields = (("name", 0, 51, SITE["name"]), ("host", 51, 51, "127.0.0.1"), ("user", 102, 31, SITE["user"]),
              ("password", 133, 21, SITE["password"]), ("remote directory", 155, 256, SITE["remote"]),
              ("local directory", 411, 256, ""), ("comment", 679, 256, comment))
    for what, offset, size, value in fields:
        if string(offset, size) != value:
            drv.fail("the %s at %d reads %r, not %r" % (what, offset, string(offset, size), value))
    # The name's "ž" is one code page 1250 byte.
    if data[1:1 + len(SITE["name"])] != SITE["name"].encode("cp1250"):
        drv.fail("the name is not stored in code page 1250: %r" % data[0:51])
    if data[154] != port & 0xFF or data[667] != port >> 8:
        drv.fail("the port bytes are %d (154) and %d (667), not %d and %d for port %d"
                 % (data[154], data[667], port & 0xFF, port >> 8, port))
    receive, send = struct.unpack_from("<ii", data, 668)
    numbers = {"receive buffer": (receive, 4096), "send buffer": (send, 4096), "server kind": (data[676], 0),
               "login type": (data[677], 1), "transfer type": (data[678], 0)}
    for what, (actual, wanted) in numbers.items():
        if actual != wanted:
            drv.fail("the %s is %d, not %d" % (what, actual, wanted))


def check_settings(drv, home):
    ini = read_file(os.path.join(home, "Kvado.ini")).decode("utf-8")
    for key, value in (("TimeOut", TIMEOUT), ("PrivGeslo", ANON_PASSWORD), ("DANE", "1"), ("Dnevnik", LOG_FILE)):
        if not re.search(r'^%s="?%s"?$' % (key, re.escape(value)), ini, re.M):
            drv.fail("Kvado.ini lacks %s=%s:\n%s" % (key, value, ini))

    log = read_file(os.path.join(home, LOG_FILE)).decode("cp1250")
    lines = log.split("\r\n")
    if not lines[0].startswith("****    Kvado dnevnik ustvarjen "):
        drv.fail("the log file does not open with its banner: %r" % lines[0])
    if lines[-1] != "" or not lines[-2].startswith("----    Delo v Kvado končano "):
        drv.fail("the log file does not end with the closing banner: %r" % lines[-2:])
    for status in ('Povezujem s "%s"', 'Povezava vzpostavljena s "%s"'):
        if not any(status % SITE["name"] in line for line in lines):
            drv.fail("the log file lacks %r:\n%s" % (status % SITE["name"], log))
    if SITE["password"] in log:
        drv.fail("the site's password reached the log file")


if __name__ == "__main__":
    if sys.argv[1:2] == ["--serve"]:
        sys.exit(serve_with_user(sys.argv[2:]))
    binary, artifacts = os.path.abspath(sys.argv[1]), sys.argv[2]
    sys.exit(run(lambda desk, drv: test(desk, drv, binary), artifacts))
