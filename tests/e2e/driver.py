"""Small verbs to drive a program on a private Desktop as a person would:
through the accessibility tree (AT-SPI) and the keyboard (xdotool).

    with Desktop() as desk:
        drv = Driver(desk, artifacts="/tmp/shots")
        proc = desk.spawn("kvado", ["build/kvado"], {"KVADO_HOME": home})
        app = drv.app(proc)
        button = drv.find(app, role="push button", name="Poveže s FTP strežnikom")
        drv.press(button)
        drv.wait_until(lambda: drv.find(app, role="dialog", timeout=0), 10, "the quick-connect window")

A verb that cannot do its work raises E2EFailure with a clear message, the
path of a screenshot taken at that moment and the folder of the logs. All
waits are bounded. pyatspi is imported on first use, after the Desktop has
set the display and bus variables.
"""
import os
import re
import subprocess
import time

from desktop import DesktopError

_atspi = None


def atspi():
    """The pyatspi module, imported once the desktop's variables are in place."""
    global _atspi
    if _atspi is None:
        import pyatspi  # noqa: E402 (needs DISPLAY and the session bus of the Desktop)

        _atspi = pyatspi
    return _atspi


class E2EFailure(AssertionError):
    pass


# Containers whose rows are not searched unless asked: a long list would
# make every search walk all of its rows over the bus.
ROW_CONTAINERS = ("table", "tree table", "list", "tree", "list box")


class Driver:
    def __init__(self, desk, artifacts):
        self.desk = desk
        self.artifacts = artifacts
        self._shots = 0
        os.environ.update(desk.env)
        atspi()

    # -- failing and looking -------------------------------------------------

    def shot(self, name):
        self._shots += 1
        return self.desk.screenshot(os.path.join(self.artifacts, "%02d-%s.png" % (self._shots, name)))

    def fail(self, message):
        path = self.shot("failure")
        raise E2EFailure("%s\n  screenshot: %s\n  logs: %s" % (message, path or "(none)", self.desk.workdir))

    def wait_until(self, condition, timeout, what):
        """Polls condition() every 100 ms; returns its first true value or fails
        naming what was awaited."""
        deadline = time.monotonic() + timeout
        last_error = None
        while True:
            try:
                value = condition()
                if value:
                    return value
            except E2EFailure:
                raise
            except Exception as error:  # the tree changes under our feet: try again
                last_error = error
            if time.monotonic() >= deadline:
                detail = " (last error: %s)" % last_error if last_error else ""
                self.fail("timed out after %.0f s waiting for %s%s" % (timeout, what, detail))
            time.sleep(0.1)

    # -- finding -----------------------------------------------------------------

    def app(self, proc, timeout=30):
        """The accessible application of a started process."""
        pyatspi = atspi()

        def find():
            if proc.poll() is not None:
                self.fail("the program exited with code %s before it showed up" % proc.returncode)
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.get_child_count()):
                app = desktop.get_child_at_index(i)
                if app is not None and app.get_process_id() == proc.pid:
                    return app
            return None

        app = self.wait_until(find, timeout, "the program on the accessibility bus")
        # Names and states are read afresh on every look: lists are reloaded under us.
        from gi.repository import Atspi

        app.set_cache_mask(Atspi.Cache.NONE)
        app.clear_cache()
        return app

    @staticmethod
    def describe(acc):
        try:
            return "%s %r" % (acc.get_role_name(), acc.get_name())
        except Exception:
            return "(gone)"

    def matches(self, acc, role, name, showing):
        pyatspi = atspi()
        if role is not None and acc.get_role_name() != role:
            return False
        if name is not None:
            actual = acc.get_name() or ""
            if isinstance(name, re.Pattern):
                if not name.search(actual):
                    return False
            elif actual != name:
                return False
        if showing and not acc.get_state_set().contains(pyatspi.STATE_SHOWING):
            return False
        return True

    def search(self, root, role=None, name=None, showing=True, rows=False, limit=None):
        """Every descendant of root (breadth first) with this role and name
        (a string for an exact name, a compiled pattern to search it)."""
        found = []
        queue = [root]
        while queue:
            acc = queue.pop(0)
            try:
                count = acc.get_child_count()
            except Exception:
                continue
            for i in range(count):
                try:
                    child = acc.get_child_at_index(i)
                    if child is None:
                        continue
                    if self.matches(child, role, name, showing):
                        found.append(child)
                        if limit and len(found) >= limit:
                            return found
                    if showing and not child.get_state_set().contains(atspi().STATE_SHOWING):
                        continue  # a hidden view's rows would claim the places of the shown one's
                    if rows or child.get_role_name() not in ROW_CONTAINERS:
                        queue.append(child)
                except Exception:
                    continue
        return found

    def find(self, root, role=None, name=None, timeout=10, showing=True, rows=False):
        """The first matching descendant; waits up to timeout seconds for it
        (timeout 0: one look, None when absent)."""
        what = "%s named %r" % (role or "anything", name.pattern if isinstance(name, re.Pattern) else name)
        if timeout == 0:
            hits = self.search(root, role, name, showing, rows, limit=1)
            return hits[0] if hits else None
        return self.wait_until(lambda: (self.search(root, role, name, showing, rows, limit=1) or [None])[0],
                               timeout, what)

    def window(self, app, name, timeout=15, role=None, active=False):
        """A top-level window (frame or dialog) of app whose title matches name;
        with active, once it is the active window (keys typed then reach it)."""
        pyatspi = atspi()

        def look():
            for i in range(app.get_child_count()):
                win = app.get_child_at_index(i)
                if win is None or (role and win.get_role_name() != role):
                    continue
                title = win.get_name() or ""
                if not (name.search(title) if isinstance(name, re.Pattern) else title == name):
                    continue
                if active and not win.get_state_set().contains(pyatspi.STATE_ACTIVE):
                    continue
                return win
            return None

        return self.wait_until(look, timeout, "%s window titled %r" % ("the active" if active else "a",
                                                                       getattr(name, "pattern", name)))

    def wait_focused(self, acc, timeout=10):
        """Waits until acc has the keyboard focus."""
        self.wait_until(lambda: acc.get_state_set().contains(atspi().STATE_FOCUSED), timeout,
                        "the focus on %s" % self.describe(acc))

    # -- acting --------------------------------------------------------------------

    def focus(self, acc, timeout=10):
        """Gives acc the keyboard focus over the bus (as Tab would) and waits for it."""
        component = acc.get_component_iface()
        if component is None or not component.grab_focus():
            self.fail("%s does not take the focus" % self.describe(acc))
        self.wait_focused(acc, timeout)

    def press(self, acc, wait=True, action_names=("press", "click", "activate", "toggle")):
        """Performs the press action of acc. With wait=False the call is not
        awaited (a press that opens a modal window answers only when it closes)."""
        from gi.repository import Atspi, GLib

        for i in range(acc.get_n_actions()):
            if acc.get_action_name(i).lower() in action_names:
                if wait:
                    acc.do_action(i)
                    return
                Atspi.set_timeout(300, -1)
                try:
                    acc.do_action(i)
                except GLib.Error:
                    pass  # no answer while the modal window runs: expected
                finally:
                    Atspi.set_timeout(800, 15000)
                return
        names = [acc.get_action_name(i) for i in range(acc.get_n_actions())]
        self.fail("%s has no press action (actions: %s)" % (self.describe(acc), names))

    def set_text(self, acc, text):
        """Replaces the text of an editable field."""
        editable = acc.get_editable_text_iface()
        if editable is None:
            self.fail("%s is not an editable text" % self.describe(acc))
        editable.set_text_contents(text)
        self.wait_until(lambda: self.text(acc) == text, 5, "%r in %s" % (text, self.describe(acc)))

    def text(self, acc):
        iface = acc.get_text_iface()
        if iface is None:
            return acc.get_name() or ""
        return iface.get_text(0, -1)

    def centre(self, acc):
        """The centre of acc on the screen."""
        from gi.repository import Atspi

        box = acc.get_extents(Atspi.CoordType.SCREEN)
        if box.width <= 0 or box.height <= 0:
            self.fail("%s has no place on the screen" % self.describe(acc))
        return box.x + box.width // 2, box.y + box.height // 2

    def click(self, acc, double=False):
        """Clicks (or double-clicks) the middle of acc with the left mouse button."""
        x, y = self.centre(acc)
        # No --sync: xdotool would wait for a move that never comes when the pointer is already there.
        self._xdotool(["mousemove", str(x), str(y), "click", "--repeat", "2" if double else "1", "1"])

    def keys(self, *combos):
        """Presses key combinations in the focused window, e.g. keys("ctrl+p", "Return")."""
        self._xdotool(["key", "--clearmodifiers", "--delay", "40", *combos])

    def type(self, text):
        self._xdotool(["type", "--clearmodifiers", "--delay", "20", text])

    def _xdotool(self, args):
        r = subprocess.run(["xdotool", *args], env=self.desk.env, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=60)
        if r.returncode != 0:
            self.fail("xdotool %s failed: %s" % (" ".join(args), r.stderr.decode(errors="replace")))

    def states(self, acc):
        pyatspi = atspi()
        return {pyatspi.stateToString(s) for s in acc.get_state_set().get_states()}


def run(test, artifacts):
    """Runs test(desk, drv) on a new private desktop and turns the outcome
    into an exit code with a clear message."""
    import sys
    import traceback

    from desktop import Desktop

    try:
        with Desktop() as desk:
            drv = Driver(desk, artifacts)
            try:
                test(desk, drv)
            except (E2EFailure, DesktopError):
                raise
            except Exception:
                traceback.print_exc()
                drv.fail("the test script broke (the trace above)")
    except (E2EFailure, DesktopError) as failure:
        print("FAILED: %s" % failure, file=sys.stderr)
        return 1
    print("passed")
    return 0
