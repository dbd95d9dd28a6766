#!/usr/bin/python3
"""Kvado's painted controls seen and operated over the real accessibility bus,
in a small stand-in window (standin.cpp): found by role and name, pressed,
their state and value read; a menu shortcut typed on the keyboard opens a
modal form that is filled in and confirmed.

Usage: controls_e2e.py <stand-in binary> <artifacts folder>
"""
import os
import re
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from driver import run  # noqa: E402


def test(desk, drv, binary):
    record = os.path.join(desk.workdir, "acts.txt")
    open(record, "w").close()

    def acts():
        with open(record) as f:
            return f.read().split("\n")[:-1]

    proc = desk.spawn("standin", [binary, record], {"QT_QPA_PLATFORM": "xcb",
                                                    "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
    app = drv.app(proc)
    main = drv.window(app, "Kvado stand-in")

    # The tool panel's tab and the painted buttons have roles and names.
    tab = drv.find(main, role="page tab", name="Orodja")
    quick = drv.find(main, role="push button", name="Poveže s FTP strežnikom")
    dome = drv.find(main, role="push button", name="Stop")
    gauge = drv.find(main, role="progress bar")
    if gauge.get_current_value() != 40:
        drv.fail("the progress bar tells %s, not 40" % gauge.get_current_value())

    drv.press(dome)
    drv.wait_until(lambda: acts() == ["stop"], 10, "the dome button's click")

    # A flat button whose click opens a modal form: the press returns at once.
    drv.press(quick)
    form = drv.window(app, "Hitra Povezava")
    drv.set_text(drv.find(form, role="text", name="Naslov FTP strežnika"), "127.0.0.1")
    drv.press(drv.find(form, role="push button", name="Poveži"))
    drv.wait_until(lambda: acts()[-1:] == ["connect 127.0.0.1"], 10, "the form's answer")

    # The keyboard: Ctrl+P in the main window opens the same form; Escape cancels it.
    drv.wait_until(lambda: not drv.search(app, role="dialog", limit=1), 10, "the form to close")
    drv.window(app, "Kvado stand-in", active=True)
    drv.keys("ctrl+p")
    form = drv.window(app, "Hitra Povezava", active=True)
    field = drv.find(form, role="text", name="Naslov FTP strežnika")
    drv.wait_focused(field)
    drv.type("ftp.example")
    drv.wait_until(lambda: drv.text(field) == "ftp.example", 10, "the typed host in the focused field")
    drv.keys("Escape")
    drv.wait_until(lambda: acts()[-1:] == ["cancel"], 10, "the form cancelled by Escape")

    # The tab collapses its panel and shows it again.
    drv.press(tab)
    drv.wait_until(lambda: "collapsed" in drv.states(tab), 10, "the tool panel to collapse")
    drv.press(tab)
    drv.wait_until(lambda: acts()[-2:] == ["collapsed", "shown"], 10, "the tool panel shown again")

    drv.press(drv.find(main, role="menu item", name=re.compile("Iz.?hod"), showing=False))
    drv.wait_until(lambda: proc.poll() is not None, 10, "the window to close")


if __name__ == "__main__":
    binary, artifacts = os.path.abspath(sys.argv[1]), sys.argv[2]
    sys.exit(run(lambda desk, drv: test(desk, drv, binary), artifacts))
