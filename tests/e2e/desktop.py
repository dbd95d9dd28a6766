"""A private desktop for end-to-end tests: an Xvfb display, a session bus, the
accessibility bus (AT-SPI), a window manager (openbox) and a private
XDG_RUNTIME_DIR and XDG data/config/cache homes, all inside one temporary
folder. Nothing of the user's desktop is seen or touched. The session bus
starts no service by itself (a desktop's keyring installed on the machine
stays off it); start_keyring() puts a Secret Service on it.

    with Desktop(workdir) as desk:
        subprocess.run(["xdotool", "key", "ctrl+p"], env=desk.env)

Everything started is stopped when the block ends, also on failure. Every
wait is bounded; a part that does not come up raises DesktopError naming it.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time

ATSPI_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


# The session bus: the usual policy, but no service directories, so nothing is
# started on demand.
SESSION_BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=%s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class DesktopError(RuntimeError):
    pass


def wait_for(condition, timeout, what):
    """Polls condition() every 50 ms until it returns a true value (returned)
    or timeout seconds have passed (DesktopError)."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise DesktopError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(0.05)


class Desktop:
    def __init__(self, workdir=None, size="1280x800x24"):
        self.size = size
        self._own_workdir = workdir is None
        self.workdir = workdir or tempfile.mkdtemp(prefix="kvado-e2e-")
        self.env = None
        self.display = None
        self._procs = []  # (name, Popen), stopped in reverse order

    # -- set-up ------------------------------------------------------------

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, kind, value, tb):
        self.stop(keep_logs=kind is not None)
        return False

    def start(self):
        os.makedirs(self.workdir, exist_ok=True)
        runtime = os.path.join(self.workdir, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        os.chmod(runtime, 0o700)
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "AT_SPI", "WAYLAND", "XDG_", "QT_", "SESSION_MANAGER"))
               and k not in ("DISPLAY", "XAUTHORITY")}
        env["XDG_RUNTIME_DIR"] = runtime
        for name in ("config", "data", "cache"):
            path = os.path.join(self.workdir, "xdg-" + name)
            os.makedirs(path, exist_ok=True)
            env["XDG_%s_HOME" % name.upper()] = path
        self.env = env
        self._start_x()
        self._start_session_bus()
        self._start_accessibility_bus()
        self._start_window_manager()
        return self

    def _spawn(self, name, argv, **kw):
        log = open(os.path.join(self.workdir, name + ".log"), "wb")
        proc = subprocess.Popen(argv, env=self.env, stdin=subprocess.DEVNULL,
                                stdout=kw.pop("stdout", log), stderr=log,
                                start_new_session=True, **kw)
        log.close()
        self._procs.append((name, proc))
        return proc

    def _start_x(self):
        read_fd, write_fd = os.pipe()
        try:
            self._spawn("xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", self.size,
                                 "-nolisten", "tcp", "-noreset"], pass_fds=(write_fd,))
        finally:
            os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 15
        os.set_blocking(read_fd, False)
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline:
                os.close(read_fd)
                raise DesktopError("Xvfb did not report its display (see %s/xvfb.log)" % self.workdir)
            try:
                chunk = os.read(read_fd, 16)
            except BlockingIOError:
                chunk = None
            if chunk == b"":
                os.close(read_fd)
                raise DesktopError("Xvfb exited (see %s/xvfb.log)" % self.workdir)
            number += chunk or b""
            if chunk is None:
                time.sleep(0.02)
        os.close(read_fd)
        self.display = ":" + number.decode().strip()
        self.env["DISPLAY"] = self.display

    def _start_session_bus(self):
        config = os.path.join(self.workdir, "session-bus.conf")
        with open(config, "w") as f:
            f.write(SESSION_BUS_CONFIG % os.path.join(self.workdir, "runtime"))
        proc = self._spawn("dbus", ["dbus-daemon", "--config-file=" + config, "--nofork", "--nopidfile",
                                    "--print-address=1"], stdout=subprocess.PIPE)
        os.set_blocking(proc.stdout.fileno(), False)
        got = b""

        def address():
            nonlocal got
            try:
                got += proc.stdout.read() or b""
            except BlockingIOError:
                pass
            if proc.poll() is not None:
                raise DesktopError("dbus-daemon exited (see %s/dbus.log)" % self.workdir)
            return got.endswith(b"\n") and got.decode().strip()

        self.env["DBUS_SESSION_BUS_ADDRESS"] = wait_for(address, 10, "the session bus address")

    def _start_accessibility_bus(self):
        self._spawn("atspi", [ATSPI_LAUNCHER, "--launch-immediately"])

        def answered():
            r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                                "/org/a11y/bus", "org.a11y.Bus.GetAddress"], env=self.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=5)
            return r.returncode == 0 and b"unix:" in r.stdout

        wait_for(answered, 15, "the accessibility bus (org.a11y.Bus)")

    def _start_window_manager(self):
        self._spawn("openbox", ["openbox", "--sm-disable"])

        def running():
            # openbox makes its check window (class "openbox") once it manages the screen.
            r = subprocess.run(["xdotool", "search", "--classname", "openbox"], env=self.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return r.returncode == 0

        wait_for(running, 10, "openbox to manage the screen")

    def start_keyring(self, password):
        """GNOME Keyring as the Secret Service of this desktop's session bus, its
        login keyring (in the private data home) unlocked with password."""
        log = open(os.path.join(self.workdir, "keyring.log"), "wb")
        proc = subprocess.Popen(["gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"],
                                env=self.env, stdin=subprocess.PIPE, stdout=log, stderr=log,
                                start_new_session=True)
        log.close()
        self._procs.append(("keyring", proc))
        proc.stdin.write(password.encode())
        proc.stdin.close()

        def owned():
            r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                                "string:org.freedesktop.secrets"], env=self.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=5)
            return b"boolean true" in r.stdout

        wait_for(owned, 15, "the keyring (org.freedesktop.secrets) on the session bus")

    # -- use -----------------------------------------------------------------

    def screenshot(self, path):
        """Writes the whole screen as a PNG; returns the path, or None when it failed."""
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        r = subprocess.run(["import", "-window", "root", path], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        return path if r.returncode == 0 else None

    def spawn(self, name, argv, extra_env=None, cwd=None):
        """Starts a program on this desktop; its output goes to <workdir>/<name>.log.
        It is stopped with the desktop unless it ended before."""
        env = dict(self.env)
        env.update(extra_env or {})
        log = open(os.path.join(self.workdir, name + ".log"), "wb")
        proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=log,
                                stderr=subprocess.STDOUT, start_new_session=True)
        log.close()
        self._procs.append((name, proc))
        return proc

    # -- tear-down -------------------------------------------------------------

    def stop(self, keep_logs=False):
        """Stops everything started; the temporary folder goes too unless
        keep_logs (a failure) or KVADO_E2E_KEEP=1."""
        for name, proc in reversed(self._procs):
            stop_process(proc)
        self._procs = []
        if self._own_workdir and not keep_logs and os.environ.get("KVADO_E2E_KEEP") != "1":
            shutil.rmtree(self.workdir, ignore_errors=True)


def stop_process(proc, grace=3.0):
    """Ends a process started in its own session, and that session's other
    processes: SIGTERM, then SIGKILL after grace seconds."""
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            pass
    try:
        os.killpg(proc.pid, signal.SIGKILL)  # children left in the group
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        pass
    for stream in (proc.stdout, proc.stderr):
        if stream:
            stream.close()
