"""Kvado on a private desktop: starting the real program with its own home,
answering the language question of a first start, quick connect, and an FTP
server that records every command. Used by the end-to-end flow, the README
screenshot and the start-up benchmark.
"""
import os
import re
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))

# Window titles and names in the language chosen (0 Slovenian, 1 English).
QUICK_CONNECT = ("Hitra Povezava", "Quick Connect")
CONNECT_BUTTON = ("Poveži", "Connect")
HOST_FIELD = ("Naslov FTP strežnika", "Host address")
PORT_FIELD = ("FTP Vrata", "Port")
REMOTE_LIST = ("FTP mape in datoteke", "Remote directories and files")
LOCAL_LIST = ("Lokalne mape in datoteke", "Local directories and files")
LANGUAGE_WINDOW = "Kvado - Izbira jezika / Language Selection"
MAIN_WINDOW = re.compile(r"^Kvado( - \[.*\])?$")


class RecordingServer:
    """tests/e2e/recordingserver.py on 127.0.0.1 at a free port or the one given (downloads at
    most send_limit bytes a second when it is not 0; speaks TLS with the
    certificate and key in the PEM file tls when given). script may name another
    Python program (with its first arguments) that takes the same arguments and
    prints the same first line."""

    def __init__(self, root, record, log, send_limit=0, script=(os.path.join(HERE, "recordingserver.py"),),
                 tls=None, port=0):
        self.root, self.record = root, record
        self.log = open(log, "wb")
        self.proc = subprocess.Popen(["/usr/bin/python3", *script,
                                      "--root", root, "--record", record, "--send-limit", str(send_limit),
                                      "--port", str(port),
                                      *(["--tls", tls] if tls else [])],
                                     stdout=subprocess.PIPE, stderr=self.log, start_new_session=True)
        line = self.proc.stdout.readline().decode()
        if not line.startswith("PORT "):
            self.stop()
            raise RuntimeError("the FTP server did not start (see %s)" % log)
        self.port = int(line.split()[1])

    def commands(self):
        with open(self.record, encoding="utf-8") as f:
            return [line.rstrip("\n") for line in f]

    def stop(self):
        from desktop import stop_process

        stop_process(self.proc)
        self.log.close()


def kvado_env(home, user_home=None):
    """The variables that start Kvado with its own home, visible over AT-SPI."""
    env = {"KVADO_HOME": home, "QT_QPA_PLATFORM": "xcb", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
           "LANG": "C.UTF-8"}
    if user_home:
        env["HOME"] = user_home
    return env


def write_ini(home, values):
    """Kvado.ini with these base-key values (every value a string)."""
    with open(os.path.join(home, "Kvado.ini"), "w", encoding="utf-8") as f:
        f.write("[General]\n")
        for key, value in values.items():
            f.write("%s=%s\n" % (key, value))


def answer_language(drv, app, language):
    """Answers the first start's question with Slovenian (0) or English (1)."""
    window = drv.window(app, LANGUAGE_WINDOW, active=True, timeout=30)
    combo = drv.find(window, role="combo box")
    drv.wait_focused(combo)
    if language == 1:
        drv.keys("Down")
        drv.wait_until(lambda: combo.get_name() == "English", 5, "English chosen in the language list")
    drv.press(drv.find(window, role="push button", name="V redu / OK"), wait=False)
    drv.wait_until(lambda: not drv.search(app, name=LANGUAGE_WINDOW, showing=False, limit=1), 10,
                   "the language window to close")


def wait_splash_gone(drv, app, timeout=15):
    """Waits until the start-up picture (a filler named "Kvado" over the middle
    of the screen) is gone, so that a mouse click does not land on it."""
    def gone():
        for i in range(app.get_child_count()):
            win = app.get_child_at_index(i)
            if win is not None and win.get_role_name() == "filler" and "showing" in drv.states(win):
                return False
        return True

    drv.wait_until(gone, timeout, "the start-up picture to go")


def quick_connect(drv, app, language, host, port, fields=None, choices=None):
    """Ctrl+P in the main window, the host typed, the other fields set and the
    radio buttons named in choices checked, Connect."""
    drv.window(app, MAIN_WINDOW, active=True)
    drv.keys("ctrl+p")
    form = drv.window(app, QUICK_CONNECT[language], active=True)
    field = drv.find(form, role="text", name=HOST_FIELD[language])
    drv.wait_focused(field)
    drv.keys("ctrl+a")
    drv.type(host)
    drv.wait_until(lambda: drv.text(field) == host, 10, "the typed host")
    drv.set_text(drv.find(form, role="text", name=PORT_FIELD[language]), str(port))
    for name, value in (fields or {}).items():
        drv.set_text(drv.find(form, role="text", name=name), value)
    for name in choices or ():
        radio = drv.find(form, role="radio button", name=name)
        drv.press(radio)
        drv.wait_until(lambda: "checked" in drv.states(radio), 5, "%r chosen" % name)
    drv.press(drv.find(form, role="push button", name=CONNECT_BUTTON[language]), wait=False)
    drv.wait_until(lambda: not drv.search(app, name=QUICK_CONNECT[language], showing=False, limit=1), 10,
                   "the quick connect window to close")


def list_pane(drv, app, language, remote):
    return drv.find(app, name=(REMOTE_LIST if remote else LOCAL_LIST)[language])


def row(drv, app, language, name, remote=True, timeout=20):
    """The cell of the remote (or local) list that shows name."""
    return drv.find(list_pane(drv, app, language, remote), name=name, rows=True, timeout=timeout)


def select_row(drv, app, language, name, remote=True, double=False):
    """Clicks the row that shows name (twice for double); the list may be
    reloaded meanwhile, so the click is checked and, when it hit another
    row, made again."""
    for _ in range(5):
        cell = row(drv, app, language, name, remote)
        drv.click(cell, double=double)
        if double:
            return
        deadline = time.monotonic() + 2
        while time.monotonic() < deadline:
            if cell.get_name() == name and "selected" in drv.states(cell):
                return
            time.sleep(0.1)
    drv.fail("could not select %r in the %s list" % (name, "remote" if remote else "local"))


def wait_gone(drv, app, language, name, remote=True, timeout=20):
    pane = list_pane(drv, app, language, remote)
    drv.wait_until(lambda: not drv.search(pane, name=name, rows=True, limit=1), timeout,
                   "%r to leave the %s list" % (name, "remote" if remote else "local"))


def rss_kib(pid):
    """Resident memory of a process in KiB (from /proc)."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def wait_file(path, expected, timeout, drv, what):
    """Waits until the file at path holds exactly the expected bytes."""
    def same():
        try:
            with open(path, "rb") as f:
                return f.read() == expected
        except OSError:
            return False

    drv.wait_until(same, timeout, what)
