#!/usr/bin/python3
"""A local folder dragged onto the remote pane of the real program, end to
end: Kvado (English) connects, the folder "site" is dragged with the mouse
from the local list onto the remote list, the transfer queue's pane appears
and its items end as done; the server's copy is then checked byte for byte,
and the queue's file is gone after Exit (nothing was left unfinished).

Usage: kvado_queue_e2e.py <kvado binary> <artifacts folder>
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
TREE = {
    "index.html": b"<html>Kvado</html>\n",
    "empty": b"",
    "images/photo one.jpg": os.urandom(300 * 1024),
    "images/deeper/\u010d\u0161\u017e.txt": b"non-ASCII name\n",
}
EMPTY_FOLDER = "images/nothing here"


def prepare(root):
    served, home, local = (os.path.join(root, d) for d in ("served", "home", "local"))
    for d in (served, os.path.join(served, "upload"), home, os.path.join(local, "site", EMPTY_FOLDER)):
        os.makedirs(d, exist_ok=True)
    for name, data in TREE.items():
        path = os.path.join(local, "site", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    # UTF-8 names: the server keeps the same bytes as the local disk.
    kvado.write_ini(home, {"Jezik": "2", "LokMapa": local, "KodiranjeImen": "1"})
    # A window tall enough for the queue's pane and room under the local list's rows to drop on.
    with open(os.path.join(home, "Kvado.ini"), "a", encoding="utf-8") as f:
        f.write("[PozOkna]\nLevo=20\nZgoraj=20\nSirina=1000\nVisina=700\nWinSplit1=80\nWinSplit2=300\n")
    return served, home, local


def drag(drv, source, target):
    """Presses the left button on source, moves in steps onto the middle of target, releases."""
    (x0, y0), (x1, y1) = drv.centre(source), drv.centre(target)
    drv._xdotool(["mousemove", str(x0), str(y0), "mousedown", "1"])
    for step in range(1, 11):
        x, y = x0 + (x1 - x0) * step // 10, y0 + (y1 - y0) * step // 10
        drv._xdotool(["mousemove", "--sync", str(x), str(y)])
    drv._xdotool(["mouseup", "1"])


def test(desk, drv, binary):
    served, home, local = prepare(desk.workdir)
    server = kvado.RecordingServer(served, os.path.join(desk.workdir, "commands.txt"),
                                   os.path.join(desk.workdir, "server.log"))
    try:
        proc = desk.spawn("kvado", [binary], kvado.kvado_env(home, user_home=local), cwd=local)
        app = drv.app(proc)
        kvado.wait_splash_gone(drv, app)
        kvado.quick_connect(drv, app, EN, "127.0.0.1", server.port, choices=["Image"])
        kvado.select_row(drv, app, EN, "upload", double=True)
        kvado.wait_gone(drv, app, EN, "upload")
        kvado.select_row(drv, app, EN, "site", remote=False)
        time.sleep(1.0)  # longer than a double-click: the press that starts the drag is a press of its own
        drag(drv, kvado.row(drv, app, EN, "site", remote=False), kvado.list_pane(drv, app, EN, True))

        queue = drv.find(app, name="Transfer queue", timeout=20)
        drv.shot("queue")
        copy = os.path.join(served, "upload", "site")
        for name, data in TREE.items():
            kvado.wait_file(os.path.join(copy, name), data, 60, drv, "%s uploaded" % name)
        drv.wait_until(lambda: os.path.isdir(os.path.join(copy, EMPTY_FOLDER)), 30, "the empty folder made")
        drv.wait_until(lambda: len(drv.search(queue, name="done", rows=True, showing=False)) >= len(TREE), 30,
                       "every file of the queue done")
        drv.shot("done")

        # And back down, dragged from the remote list onto the local list's empty space: every file
        # exists already, and "Skip all" answers for the whole job at the first question.
        kvado.select_row(drv, app, EN, "site")
        time.sleep(1.0)
        drag(drv, kvado.row(drv, app, EN, "site"), kvado.list_pane(drv, app, EN, False))
        exists = drv.window(app, "Kvado - File already exists", active=True)
        drv.press(drv.find(exists, role="push button", name="Skip all"), wait=False)
        drv.wait_until(lambda: len(drv.search(queue, name=re.compile("skipped"), rows=True, showing=False)) >= len(TREE), 30,
                       "every file of the download skipped")
        if any(c.startswith("RETR") for c in server.commands()):
            drv.fail("a file was downloaded although the answer was to skip them all")
        drv.shot("skipped")
        drv.keys("alt+f", "x")
        drv.wait_until(lambda: proc.poll() is not None, 20, "Kvado to exit")
    except E2EFailure as failure:
        raise E2EFailure("%s\n  the server's last commands: %s" % (failure, " | ".join(server.commands()[-8:])))
    finally:
        server.stop()
    for name, data in TREE.items():
        with open(os.path.join(local, "site", name), "rb") as f:
            if f.read() != data:
                drv.fail("the local %s changed although the download skipped it" % name)
    if os.path.exists(os.path.join(home, "Vrsta.kvq")):
        drv.fail("a queue file was kept although every item was done")


if __name__ == "__main__":
    binary, artifacts = os.path.abspath(sys.argv[1]), sys.argv[2]
    sys.exit(run(lambda desk, drv: test(desk, drv, binary), artifacts))
