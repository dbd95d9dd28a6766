#!/usr/bin/python3
"""Saved passwords in the desktop's keyring, end to end: the real binary on a
private desktop whose session bus has GNOME Keyring as its Secret Service
(unlocked with a test password), in Slovenian, with its own home.

The home starts with a Naslovi.kvs as an earlier Kvado wrote it: one site
with its password in plain text. First run: a second site added through the
site editor with its password typed; FTP -> Izhod. Then neither password is
anywhere in Naslovi.kvs or Kvado.ini, and both records carry the "in the
keyring" mark. Second run: the new site double-clicked; third run: the old
one: each time the server sees the site's password, which only the keyring
could give.

Usage: kvado_keyring_e2e.py <kvado binary> <artifacts folder>
       kvado_keyring_e2e.py --serve <recordingserver.py arguments>
"""
import os
import re
import struct
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kvado  # noqa: E402
from driver import E2EFailure, run  # noqa: E402
from kvado_sites_e2e import in_order, open_site_manager, quit_by_menu, read_file, start  # noqa: E402

RECORD = 936
NEW = {"name": "Nov strežnik", "user": "kvadouser", "password": "sitepass7"}
OLD = {"name": "Stari strežnik", "user": "staruser", "password": "oldpass9"}


def serve_with_users(argv):
    """Runs recordingserver.py with both sites' users added to its authorizer."""
    from pyftpdlib.authorizers import DummyAuthorizer

    add_anonymous = DummyAuthorizer.add_anonymous

    def add_anonymous_and_users(self, homedir, **kw):
        add_anonymous(self, homedir, **kw)
        for site in (NEW, OLD):
            self.add_user(site["user"], site["password"], homedir, perm="elr")

    DummyAuthorizer.add_anonymous = add_anonymous_and_users
    import recordingserver

    sys.argv = ["recordingserver.py", *argv]
    return recordingserver.main()


def old_record(port):
    """OLD as one record of the described layout, its password in plain text."""
    def string(text, size):
        data = text.encode("cp1250")
        return bytes([len(data)]) + data + bytes(size - 1 - len(data))

    record = (string(OLD["name"], 51) + string("127.0.0.1", 51) + string(OLD["user"], 31) +
              string(OLD["password"], 21) + bytes([port & 0xFF]) + string("/", 256) + string("", 256) +
              bytes([port >> 8]) + struct.pack("<ii", 4096, 4096) + bytes([0, 1, 0]) + string("", 256) +
              bytes(1))
    assert len(record) == RECORD
    return record


def test(desk, drv, binary):
    desk.start_keyring("kvado-e2e-keyring")
    served, home = (os.path.join(desk.workdir, d) for d in ("served", "home"))
    os.makedirs(served)
    os.makedirs(home)
    kvado.write_ini(home, {"Jezik": "1", "LokMapa": home})
    server = kvado.RecordingServer(served, os.path.join(desk.workdir, "commands.txt"),
                                   os.path.join(desk.workdir, "server.log"),
                                   script=(os.path.abspath(__file__), "--serve"))
    sites_path = os.path.join(home, "Naslovi.kvs")
    with open(sites_path, "wb") as f:
        f.write(old_record(server.port))
    try:
        add_site(desk, drv, binary, home, server.port)
        check_files(drv, home)
        for site in (NEW, OLD):
            connect(desk, drv, binary, home, site)
            in_order(drv, server.commands(), ["USER %s" % site["user"], "PASS %s" % site["password"]],
                     "the server after connecting to %s" % site["name"])
    except E2EFailure as failure:
        raise E2EFailure("%s\n  the server's last commands: %s" % (failure, " | ".join(server.commands()[-8:])))
    finally:
        server.stop()
    check_files(drv, home)


def add_site(desk, drv, binary, home, port):
    proc, app, main = start(desk, drv, binary, home)
    manager = open_site_manager(drv, app, main)
    drv.find(manager, name=OLD["name"], rows=True)
    drv.press(drv.find(manager, role="push button", name="Dodaj nov strežnik"), wait=False)
    editor = drv.window(app, "Urejanje povezav", active=True)

    def field(name, role="text"):
        return drv.find(editor, role=role, name=name)

    drv.set_text(field("Ime povezave"), NEW["name"])
    drv.set_text(field("Naslov FTP strežnika"), "127.0.0.1")
    normal = drv.find(editor, role="radio button", name="Normal")
    drv.press(normal)
    drv.wait_until(lambda: "checked" in drv.states(normal), 5, "Normal login chosen")
    drv.set_text(field("Uporabniško ime"), NEW["user"])
    drv.focus(field("Uporabniško geslo", "password text"))
    drv.keys("ctrl+a")
    drv.type(NEW["password"])
    drv.set_text(field("Začetna FTP mapa"), "/")
    drv.set_text(field("FTP Vrata"), str(port))
    drv.press(drv.find(editor, role="push button", name="V redu"), wait=False)
    manager = drv.window(app, "Sistem povezav", active=True)
    drv.find(manager, name=NEW["name"], rows=True)
    drv.shot("site-added")
    drv.press(drv.find(manager, role="push button", name="Zapri"), wait=False)
    drv.window(app, kvado.MAIN_WINDOW, active=True)
    quit_by_menu(drv, proc, main)


def connect(desk, drv, binary, home, site):
    proc, app, main = start(desk, drv, binary, home)
    kvado.wait_splash_gone(drv, app)  # the mouse is used below
    manager = open_site_manager(drv, app, main)
    drv.click(drv.find(manager, name=site["name"], rows=True), double=True)
    drv.window(app, re.compile(r"^Kvado - \[127\.0\.0\.1/"), timeout=20)  # connected: the caption names it
    quit_by_menu(drv, proc, main)


def check_files(drv, home):
    data = read_file(os.path.join(home, "Naslovi.kvs"))
    if len(data) != 2 * RECORD:
        drv.fail("Naslovi.kvs holds %d bytes, not two records" % len(data))
    for site in (NEW, OLD):
        if site["password"].encode() in data:
            drv.fail("Naslovi.kvs still holds the password of %s" % site["name"])
    for k in range(2):
        record = data[k * RECORD:(k + 1) * RECORD]
        if record[133] != 0 or record[935] & 0xE0 != 0x80:
            drv.fail("record %d: password length %d and pad byte %#x, not 0 and the keyring mark"
                     % (k + 1, record[133], record[935]))
    ini = read_file(os.path.join(home, "Kvado.ini"))
    for site in (NEW, OLD):
        if site["password"].encode() in ini:
            drv.fail("Kvado.ini holds the password of %s" % site["name"])


if __name__ == "__main__":
    if sys.argv[1:2] == ["--serve"]:
        sys.exit(serve_with_users(sys.argv[2:]))
    binary, artifacts = os.path.abspath(sys.argv[1]), sys.argv[2]
    sys.exit(run(lambda desk, drv: test(desk, drv, binary), artifacts))
