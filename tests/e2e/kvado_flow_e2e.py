#!/usr/bin/python3
"""Kvado as a person uses it, end to end: the real binary on a private
desktop, a first start (the language question, answered English), quick
connect with Ctrl+P, the listing, a download, a resumed download, a change of
directory, an upload, an in-place rename, a delete, a new directory, a
download stopped with the Stop tool button, a local file sent to the Trash
with Del, the language switched back to Slovenian in the options, and Exit
from the menu.
Afterwards: the server's record of commands, the files byte for byte,
Kvado.ini and the session log file.

Usage: kvado_flow_e2e.py <kvado binary> <artifacts folder>
"""
import os
import re
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kvado  # noqa: E402
from driver import E2EFailure, run  # noqa: E402

EN = 1
README = b"Kvado test server.\r\nLine two.\r\n"
DATA = bytes(range(256)) * (3 * 1024 * 4)  # 3 MiB
PARTIAL = 1024 * 1024
UPLOAD = os.urandom(200 * 1024)
BIG = bytes(range(251)) * (20 * 1024 * 1024 // 251)  # about 20 MiB, sent at 4 MB/s: long enough to stop
SEND_LIMIT = 4 * 1024 * 1024


def prepare(root):
    served, home, local = (os.path.join(root, d) for d in ("served", "home", "local"))
    for d in (served, os.path.join(served, "pub"), os.path.join(served, "upload"), home, local):
        os.makedirs(d, exist_ok=True)
    with open(os.path.join(served, "readme.txt"), "wb") as f:
        f.write(README)
    with open(os.path.join(served, "pub", "data.bin"), "wb") as f:
        f.write(DATA)
    with open(os.path.join(served, "pub", "big.bin"), "wb") as f:
        f.write(BIG)
    with open(os.path.join(local, "data.bin"), "wb") as f:
        f.write(DATA[:PARTIAL])  # an interrupted download, resumed below
    with open(os.path.join(local, "up.bin"), "wb") as f:
        f.write(UPLOAD)
    # No language yet (a first start); the session log goes to a file.
    kvado.write_ini(home, {"DANE": "1", "Dnevnik": "seja.kvl", "LokMapa": local})
    return served, home, local


def test(desk, drv, binary):
    served, home, local = prepare(desk.workdir)
    server = kvado.RecordingServer(served, os.path.join(desk.workdir, "commands.txt"),
                                   os.path.join(desk.workdir, "server.log"), SEND_LIMIT)
    try:
        flow(desk, drv, binary, served, home, local, server)
    except E2EFailure as failure:
        raise E2EFailure("%s\n  the server's last commands: %s" % (failure, " | ".join(server.commands()[-8:])))
    finally:
        server.stop()
    check_afterwards(drv, served, home, local, server)


def flow(desk, drv, binary, served, home, local, server):
    proc = desk.spawn("kvado", [binary], kvado.kvado_env(home, user_home=local), cwd=local)
    app = drv.app(proc)
    kvado.answer_language(drv, app, EN)
    main = drv.window(app, kvado.MAIN_WINDOW, active=True)
    drv.find(main, role="menu item", name="Command")  # the menus speak English
    # A painted tool button, seen over the bus: Disconnect waits for a connection.
    disconnect = drv.find(main, role="push button", name="Disconnects the connection")
    if "enabled" in drv.states(disconnect):
        drv.fail("Disconnect is enabled before any connection")

    # Image: the automatic type sends no TYPE after a listing's TYPE A, and the
    # server would then refuse REST (and convert line ends) in ASCII mode.
    kvado.quick_connect(drv, app, EN, "127.0.0.1", server.port, choices=["Image"])
    drv.wait_until(lambda: "enabled" in drv.states(disconnect), 10, "Disconnect enabled by the connection")

    # Download a file of the listing: select it, Ctrl+J.
    kvado.select_row(drv, app, EN, "readme.txt")
    drv.shot("connected")
    drv.keys("ctrl+j")
    kvado.wait_file(os.path.join(local, "readme.txt"), README, 30, drv, "readme.txt downloaded")

    # Into pub by double-click; data.bin exists locally in part: Resume.
    kvado.select_row(drv, app, EN, "pub", double=True)
    kvado.select_row(drv, app, EN, "data.bin")
    drv.keys("F5")
    exists = drv.window(app, "Kvado - File already exists", active=True)
    drv.press(drv.find(exists, role="push button", name="Resume"), wait=False)
    kvado.wait_file(os.path.join(local, "data.bin"), DATA, 60, drv, "data.bin completed by a resume")

    # Back up (Backspace) and into upload; upload a local file with F5 in the local list.
    kvado.select_row(drv, app, EN, "data.bin")
    drv.keys("BackSpace")
    kvado.select_row(drv, app, EN, "upload", double=True)
    kvado.wait_gone(drv, app, EN, "readme.txt")
    kvado.row(drv, app, EN, "readme.txt", remote=False)  # the list has been read again
    kvado.select_row(drv, app, EN, "up.bin", remote=False)
    drv.keys("F5")
    kvado.wait_file(os.path.join(served, "upload", "up.bin"), UPLOAD, 60, drv, "up.bin uploaded")

    # Rename in place: a second, slow click on the selected name edits it.
    kvado.select_row(drv, app, EN, "up.bin")
    time.sleep(1.0)  # a pause longer than a double-click: the next click edits the name
    drv.click(kvado.row(drv, app, EN, "up.bin"))
    pane = kvado.list_pane(drv, app, EN, True)
    drv.wait_until(lambda: "focused" not in drv.states(pane), 5, "the name editor to take the focus")
    drv.keys("ctrl+a")
    drv.type("renamed.bin")
    drv.keys("Return")
    drv.wait_until(lambda: os.path.exists(os.path.join(served, "upload", "renamed.bin")), 20,
                   "the server to rename up.bin")

    # Delete it: F8 and Yes to the question.
    drv.keys("F2")  # list again: the pane shows the server's names
    kvado.select_row(drv, app, EN, "renamed.bin")
    drv.keys("F8")
    question = drv.window(app, "Kvado - Brisanje datotek na FTP strežniku", active=True)
    drv.press(drv.find(question, role="push button", name=re.compile("Yes|Da")), wait=False)
    drv.wait_until(lambda: not os.path.exists(os.path.join(served, "upload", "renamed.bin")), 20,
                   "the server to delete renamed.bin")

    # A new directory: Ctrl+M in the remote list, a name, OK.
    kvado.select_row(drv, app, EN, "..")
    drv.keys("ctrl+m")
    ask = drv.window(app, "Kvado - Ustvari FTP mapo", active=True)
    drv.set_text(drv.find(ask, role="text"), "nova")
    drv.press(drv.find(ask, role="push button", name="OK"), wait=False)
    drv.wait_until(lambda: os.path.isdir(os.path.join(served, "upload", "nova")), 20, "the server to make nova")

    # Stop a running download with the painted Stop tool button.
    kvado.select_row(drv, app, EN, "..", double=True)
    kvado.select_row(drv, app, EN, "pub", double=True)
    kvado.select_row(drv, app, EN, "big.bin")
    drv.keys("F5")
    big = os.path.join(local, "big.bin")
    drv.wait_until(lambda: os.path.exists(big) and os.path.getsize(big) > 0, 20, "big.bin to start arriving")
    drv.press(drv.find(main, role="push button", name="Abort file transfer"))
    drv.wait_until(lambda: "ABOR" in server.commands(), 10, "ABOR at the server")
    size = os.path.getsize(big)
    time.sleep(1)  # a stopped download does not grow on
    with open(big, "rb") as f:
        kept = f.read()
    if len(kept) != size or len(kept) >= len(BIG) or kept != BIG[:len(kept)]:
        drv.fail("the stopped download kept %d bytes (then %d), not an unchanged part of %d"
                 % (size, len(kept), len(BIG)))

    # Del in the local list: a Yes/No question naming the count, then the file is in the Trash.
    kvado.select_row(drv, app, EN, "up.bin", remote=False)
    drv.keys("Delete")
    question = drv.wait_until(lambda: active_question(drv, app, "(1)"), 10, "the local delete question")
    drv.press(drv.find(question, role="push button", name=re.compile("^(Yes|&Yes|Da)$")), wait=False)
    trashed = os.path.join(desk.workdir, "xdg-data", "Trash", "files", "up.bin")
    kvado.wait_file(trashed, UPLOAD, 20, drv, "up.bin in the Trash")
    if os.path.exists(os.path.join(local, "up.bin")):
        drv.fail("up.bin is both in the Trash and in its folder")
    drv.shot("before-exit")

    # Back to Slovenian in the options: the menus and the local columns follow at once.
    drv.press(drv.find(main, role="menu item", name="Options", showing=False), wait=False)
    options = drv.window(app, "Options", active=True)
    combo = drv.find(options, role="combo box", name="English", showing=False)
    page = combo.get_parent()
    while page is not None and page.get_role_name() != "page tab":
        page = page.get_parent()
    if page is not None and "showing" not in drv.states(combo):
        drv.press(page)
        drv.wait_until(lambda: "showing" in drv.states(combo), 10, "the page with the language list")
    drv.click(combo)
    drv.keys("Home", "Return")
    drv.wait_until(lambda: combo.get_name() == "Slovenščina", 10, "Slovenian chosen in the options")
    # The options window speaks the chosen language at once: its OK is "V redu" now.
    drv.press(drv.find(options, role="push button", name="V redu"), wait=False)
    drv.find(main, role="menu item", name="Ukazi", timeout=15)
    local_list = kvado.list_pane(drv, app, 0, remote=False)
    drv.find(local_list, role="table column header", name="Ime", rows=True)

    # Exit from the FTP menu.
    drv.press(drv.find(main, role="menu item", name="Izhod", showing=False), wait=False)
    drv.wait_until(lambda: proc.poll() is not None, 20, "Kvado to end after Exit")
    if proc.returncode != 0:
        drv.fail("Kvado ended with code %d" % proc.returncode)


def active_question(drv, app, count):
    """The active message box whose text names count, or None."""
    for i in range(app.get_child_count()):
        win = app.get_child_at_index(i)
        if win is None or "active" not in drv.states(win):
            continue
        if any(count in (label.get_name() or "") for label in drv.search(win, role="label")):
            return win
    return None


def check_afterwards(drv, served, home, local, server):
    commands = server.commands()
    expected = ["USER anonymous", "TYPE I", "RETR readme.txt", "CWD pub", "REST %d" % PARTIAL, "RETR data.bin",
                "CDUP", "CWD upload", "STOR up.bin", "RNFR up.bin", "RNTO renamed.bin", "DELE renamed.bin", "MKD nova", "RETR big.bin", "ABOR"]
    at = 0
    for line in commands:
        if at < len(expected) and line == expected[at]:
            at += 1
    if at < len(expected):
        drv.fail("the server did not receive %r in order; it received:\n    %s"
                 % (expected[at], "\n    ".join(commands)))
    if any(c.startswith(("PASV", "EPSV")) for c in commands):
        drv.fail("a passive data connection was asked for; Kvado's default is active mode")
    if not any(c.startswith("PORT 127,0,0,1,") for c in commands):
        drv.fail("no PORT command announced a local data port")

    ini = open(os.path.join(home, "Kvado.ini"), encoding="utf-8").read()
    for key, value in (("Jezik", "1"), ("ZNaslov", "127.0.0.1"), ("ZVrata", str(server.port))):
        if not re.search(r'^%s="?%s"?$' % (key, re.escape(value)), ini, re.M):
            drv.fail("Kvado.ini lacks %s=%s:\n%s" % (key, value, ini))

    if os.path.exists(os.path.join(home, "Naslovi.kvs")):
        drv.fail("a site list was written although no site changed")

    log = open(os.path.join(home, "seja.kvl"), "rb").read().decode("cp1250")
    lines = log.split("\r\n")
    if not lines[0].startswith("****    Kvado dnevnik ustvarjen "):
        drv.fail("the log file does not open with its banner: %r" % lines[0])
    if not any(line.startswith("Kvado command: RETR readme.txt  <----  ") for line in lines):
        drv.fail("the log file has no RETR line in English:\n%s" % log)
    if "kvado@example.org" in log:  # the default anonymous password
        drv.fail("the password reached the log file")
    if not lines[-2].startswith("----    Delo v Kvado končano "):
        drv.fail("the log file does not end with the closing banner: %r" % lines[-2:])


if __name__ == "__main__":
    binary, artifacts = os.path.abspath(sys.argv[1]), sys.argv[2]
    sys.exit(run(lambda desk, drv: test(desk, drv, binary), artifacts))
