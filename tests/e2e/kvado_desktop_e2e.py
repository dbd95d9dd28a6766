#!/usr/bin/python3
"""Kvado at home on the desktop, end to end through the real program: the
first window (no stored placement) on a 1400x900 and a 1024x768 screen in both
languages fits the screen and clips no column (each column's width against
what its caption and widest row need, as the program measures them in its
own font); on the large screen every column of both panes is in view. A
screenshot of each first window is kept in the artifacts. In Slovenian a
question box shows Qt's standard buttons in Slovenian, and a file made
outside Kvado appears in the local list within 2 s.

Usage: kvado_desktop_e2e.py <kvado binary> <artifacts folder>
"""
import os
import re
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kvado  # noqa: E402
from desktop import Desktop, DesktopError  # noqa: E402
from driver import Driver, E2EFailure  # noqa: E402

SL, EN = 0, 1
SCREENS = ("1400x900", "1024x768")
LOCAL = {"porocilo-o-prenosih.pdf": 1234, "seznam.txt": 17, "kvado-0.1.tar.gz": 48000}
HUGE = ("slika-diska.img", 9_999_999_999)  # a 10-digit size, sparse


def prepare(root, language):
    home, local = os.path.join(root, "home"), os.path.join(root, "local")
    os.makedirs(home, exist_ok=True)
    os.makedirs(os.path.join(local, "mapa"), exist_ok=True)
    for name, size in LOCAL.items():
        with open(os.path.join(local, name), "wb") as f:
            f.write(b"x" * size)
    with open(os.path.join(local, HUGE[0]), "wb") as f:
        f.truncate(HUGE[1])
    kvado.write_ini(home, {"Jezik": str(language + 1), "LokMapa": local})
    return home, local


def layout(desk, drv):
    """The program's report of its first window (see src/app/layoutreport.h)."""
    log = os.path.join(desk.workdir, "kvado.log")

    def lines():
        with open(log, encoding="utf-8", errors="replace") as f:
            found = [l.split("kvado layout: ", 1)[1].rstrip("\n") for l in f if "kvado layout: " in l]
        return found if any(l.startswith("pane remote") for l in found) else None

    return drv.wait_until(lines, 30, "the layout report")


def check_layout(drv, report):
    window = re.match(r"window (\d+) (\d+) screen (\d+) (\d+)", report[0])
    width, height, area_w, area_h = map(int, window.groups())
    if width > area_w or height > area_h:
        drv.fail("the first window (%dx%d) is larger than the screen's area (%dx%d)" % (width, height, area_w, area_h))
    for line in report:
        column = re.match(r"column (\w+) (\d+) (\d+) (\d+) (.*)", line)
        if column and int(column.group(3)) < int(column.group(4)):
            drv.fail("the %s column %r is clipped: %s wide, needs %s" % (column.group(1), column.group(5),
                                                                        column.group(3), column.group(4)))
        # All columns in view unless the window already takes the screen's whole width (a frame aside).
        pane = re.match(r"pane (\w+) (\d+) (\d+)", line)
        if pane and int(pane.group(2)) < int(pane.group(3)) and width < area_w - 24:
            drv.fail("the %s pane shows %s of its %s pixels of columns in a window narrower than the screen"
                     % pane.groups())


def first_window(binary, artifacts, screen, language):
    with Desktop(size=screen + "x24") as desk:
        drv = Driver(desk, artifacts)
        home, local = prepare(desk.workdir, language)
        proc = desk.spawn("kvado", [binary], dict(kvado.kvado_env(home, user_home=local), KVADO_REPORT_LAYOUT="1"),
                          cwd=local)
        app = drv.app(proc)
        kvado.wait_splash_gone(drv, app)
        report = layout(desk, drv)
        name = "first-start-%s-%s.png" % (("sl", "en")[language], screen)
        desk.screenshot(os.path.join(artifacts, name))
        check_layout(drv, report)
        kvado.row(drv, app, language, HUGE[0], remote=False)
        if language == SL and screen == SCREENS[0]:
            slovenian_desktop(drv, app, local)


def slovenian_desktop(drv, app, local):
    # A file made outside Kvado shows within 2 s.
    with open(os.path.join(local, "od-zunaj.txt"), "wb") as f:
        f.write(b"made outside\n")
    kvado.row(drv, app, SL, "od-zunaj.txt", remote=False, timeout=2)
    # The question before a delete: Qt's standard buttons in Slovenian.
    kvado.select_row(drv, app, SL, "od-zunaj.txt", remote=False)
    drv.keys("Delete")
    question = drv.window(app, "Kvado - Izbriši lokalno", active=True)
    drv.find(question, role="push button", name=re.compile(r"^&?Da$"))
    drv.press(drv.find(question, role="push button", name=re.compile(r"^&?Ne$")), wait=False)
    kvado.row(drv, app, SL, "od-zunaj.txt", remote=False)


def main():
    binary, artifacts = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    os.makedirs(artifacts, exist_ok=True)
    if len(sys.argv) == 5:  # one case, in a process of its own: the accessibility library keeps its first bus
        try:
            first_window(binary, artifacts, sys.argv[3], int(sys.argv[4]))
        except (E2EFailure, DesktopError) as failure:
            print("FAILED: %s" % failure, file=sys.stderr)
            return 1
        return 0
    failed = 0
    for screen in SCREENS:
        for language in (SL, EN):
            case = subprocess.run([sys.executable, os.path.abspath(__file__), binary, artifacts, screen, str(language)])
            failed += case.returncode != 0
    print("passed" if not failed else "%d of %d first windows failed" % (failed, 2 * len(SCREENS)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
