"""A desktop of its own for one run of the program, and the hands and eyes of a person using it.

The session starts a virtual X display, a private D-Bus session bus and the accessibility bus
on it, then the program from a scratch copy of its program folder. A test reads the windows
through the accessibility bus, as a screen reader does, and acts with real X input (pointer
moves, clicks and key presses through the XTEST extension), as a person does.

Nothing here needs a display or a desktop session of the machine: everything is started fresh
and ended by its process id when the session closes.
"""

import collections
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCREEN = (1280, 1024)
# How long a person would wait for the program to answer, generous for a sanitizer build on a
# busy machine.
PATIENCE = 30.0


class Event(collections.namedtuple("Event", "type source detail1 detail2 data")):
    """An event of the accessibility bus: its type, the name of the object it came from."""


class Failure(Exception):
    """A check that did not hold; the message says what was expected and what was seen."""


def _need(tool):
    path = shutil.which(tool)
    if not path:
        raise Failure(f"'{tool}' is not installed: run scripts/setup-debian.sh")
    return path


class Session:
    def __init__(self, program_dir, out_dir):
        self.program_dir = os.path.abspath(program_dir)
        self.out_dir = os.path.abspath(out_dir)
        self.procs = []  # (name, Popen) in start order, ended in reverse
        self.program = None
        self.shots = 0
        self.scratch = tempfile.mkdtemp(prefix="quelvra-e2e-")
        self.copy = os.path.join(self.scratch, "program")
        self.env = None
        self.display = None
        self._app = None
        self.events = []
        self.keys = {}

    # ---- start and stop ---------------------------------------------------------------

    def start(self, prepare=None, typed=""):
        """Starts the desktop, then the program from a copy of its folder. `prepare(folder)`
        may add notes to the copy before the program sees it; `typed` holds every character
        the test will type that the keyboard lacks (kana, kanji, full-width signs)."""
        for tool in ("Xvfb", "dbus-daemon", "xdotool", "xmodmap", "import"):
            _need(tool)
        shutil.copytree(self.program_dir, self.copy, symlinks=True)
        if prepare:
            prepare(self.copy)
        # The evidence of this run only.
        shutil.rmtree(self.out_dir, ignore_errors=True)
        os.makedirs(self.out_dir)
        self.env = self._base_env()
        self._start_display()
        self._map_keys(typed)
        self._start_buses()
        self._start_program()

    def _base_env(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "AT_SPI", "QT_", "WAYLAND", "XDG_", "DISPLAY",
                                    "XAUTHORITY", "GTK_", "GNOME_"))}
        # A home, runtime and temporary folder of the run's own: the program's per-user store,
        # its single-instance socket and the buses never meet another run or the user's.
        for sub in ("home", "runtime", "tmp"):
            os.makedirs(os.path.join(self.scratch, sub), mode=0o700)
        env["HOME"] = os.path.join(self.scratch, "home")
        env["XDG_RUNTIME_DIR"] = os.path.join(self.scratch, "runtime")
        env["TMPDIR"] = os.path.join(self.scratch, "tmp")
        env["LANG"] = "C.UTF-8"
        return env

    def _spawn(self, name, argv, env=None, **kw):
        """Starts a process of the session in a process group of its own, its output in
        NAME.log of the output folder."""
        with open(os.path.join(self.out_dir, f"{name}.log"), "wb") as log:
            p = subprocess.Popen(argv, env=env or self.env, stdin=subprocess.DEVNULL, stdout=log,
                                 stderr=log, start_new_session=True, **kw)
        self.procs.append((name, p))
        return p

    def _read_line(self, fd, what):
        """A line that a starting process writes to `fd` to say where it can be reached."""
        data = b""
        deadline = time.monotonic() + PATIENCE
        while not data.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise Failure(f"{what} did not say where it can be reached")
            chunk = os.read(fd, 256)
            if not chunk:
                raise Failure(f"{what} ended before it said where it can be reached")
            data += chunk
        os.close(fd)
        return data.decode().strip()

    def _start_display(self):
        r, w = os.pipe()
        self._spawn("xvfb", ["Xvfb", "-displayfd", str(w), "-screen", "0",
                             f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp", "-noreset"],
                    pass_fds=(w,))
        os.close(w)
        self.display = ":" + self._read_line(r, "Xvfb (see xvfb.log)")
        self.env["DISPLAY"] = self.display

    def _map_keys(self, typed):
        """Gives every character of `typed` outside the keyboard a key of its own for the whole
        run, as a Japanese keyboard layout would, before the program reads the key map. (A key
        mapped only for the moment of one key press may be read by the program after it was
        taken back.)"""
        table = subprocess.run(["xmodmap", "-pke"], env=self.env, capture_output=True,
                               text=True, check=True).stdout
        spare = []
        for line in table.splitlines():
            code, _, syms = line.partition("=")
            code = int(code.split()[1])
            syms = syms.split()
            # Keys with nothing on them, then the extra keys of multimedia keyboards.
            if code > 8 and (not syms or syms[0].startswith("XF86")):
                spare.append((bool(syms), code))
        spare = [code for _, code in sorted(spare)]
        self.keys = {}
        for ch in dict.fromkeys(typed):
            if ch.isascii():
                continue
            if not spare:
                raise Failure("no spare key left for the characters to type")
            code = spare.pop(0)
            sym = f"U{ord(ch):04X}"
            subprocess.run(["xmodmap", "-e", f"keycode {code} = {sym} {sym}"], env=self.env,
                           check=True)
            self.keys[ch] = code

    def _start_buses(self):
        r, w = os.pipe()
        self._spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                             f"--print-address={w}"], pass_fds=(w,))
        os.close(w)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self._read_line(r, "dbus-daemon (see dbus.log)")
        # The accessibility bus, started by us rather than on demand, so that it ends with us.
        launcher = next((p for p in ("/usr/libexec/at-spi-bus-launcher",
                                     "/usr/lib/at-spi2-core/at-spi-bus-launcher")
                         if os.path.exists(p)), None)
        if not launcher:
            raise Failure("at-spi-bus-launcher is not installed: run scripts/setup-debian.sh")
        self._spawn("atspi", [launcher, "--launch-immediately"])
        # Everything below (pyatspi, the program) finds the buses through this environment.
        for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "HOME"):
            os.environ[k] = self.env[k]
        os.environ.pop("WAYLAND_DISPLAY", None)
        self._wait_for_a11y_bus()

    def _wait_for_a11y_bus(self):
        deadline = time.monotonic() + PATIENCE
        while True:
            r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                                "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                               env=self.env, capture_output=True, text=True)
            if r.returncode == 0 and "unix:" in r.stdout:
                return
            if time.monotonic() > deadline:
                raise Failure("the accessibility bus did not come up: " + r.stderr.strip())
            time.sleep(0.2)

    def _start_program(self):
        env = dict(self.env)
        env["QT_QPA_PLATFORM"] = "xcb"
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env["QT_ACCESSIBILITY"] = "1"
        # The test build carries the sanitizers; Qt's plugins keep allocations for the life of
        # the process, which are no leaks of ours.
        env["ASAN_OPTIONS"] = "detect_leaks=0"
        self.program = self._spawn("quelvra", [os.path.join(self.copy, "quelvra")], env=env,
                                   cwd=self.copy)

    def stop_program(self, timeout=PATIENCE):
        """Asks the program to close as the user would (SIGTERM closes its main window) and
        returns its exit code."""
        if self.program.poll() is None:
            self.program.send_signal(signal.SIGTERM)
            try:
                self.program.wait(timeout)
            except subprocess.TimeoutExpired:
                raise Failure("the program did not end within %.0f s of being asked to close"
                              % timeout)
        return self.program.returncode

    def close(self, keep_folder=False):
        """Ends everything the session started. With `keep_folder`, the program folder as the
        run left it (notes, settings; not the program) is kept in the output folder."""
        for name, p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        if keep_folder and os.path.isdir(self.copy):
            shutil.copytree(self.copy, self.left_folder(),
                            ignore=lambda d, names: ["quelvra"] if d == self.copy else [])
        shutil.rmtree(self.scratch, ignore_errors=True)

    def left_folder(self):
        return os.path.join(self.out_dir, "program-folder")

    def program_log(self):
        try:
            with open(os.path.join(self.out_dir, "quelvra.log"), "rb") as f:
                return f.read().decode(errors="replace")
        except OSError:
            return ""

    # ---- eyes: the accessibility bus --------------------------------------------------

    def app(self):
        """The program's root on the accessibility bus, found by its process id."""
        if self._app is None:
            import pyatspi
            from gi.repository import Atspi

            def find():
                desktop = pyatspi.Registry.getDesktop(0)
                for i in range(desktop.childCount):
                    a = desktop.getChildAtIndex(i)
                    try:
                        if a is not None and a.get_process_id() == self.program.pid:
                            return a
                    except Exception:
                        continue
                return None
            self._app = self.wait_for(find, "the program on the accessibility bus")
            # Read every property afresh: the test has no event loop that would keep a cache
            # up to date.
            self._app.set_cache_mask(Atspi.Cache.NONE)
        return self._app

    def listen(self, *event_types):
        """Starts recording the program's events of these types (such as
        "object:text-caret-moved"), as a screen reader hears them: see `events`."""
        import pyatspi
        self.app()

        def record(event):
            try:
                source = event.source.name
            except Exception:
                source = None
            self.events.append(Event(event.type, source, event.detail1, event.detail2,
                                     event.any_data))
        pyatspi.Registry.registerEventListener(record, *event_types)

    def heard(self, event_type, source, test=lambda e: True):
        """The recorded events of this type from the object named `source`."""
        return [e for e in self.events
                if str(e.type).startswith(event_type) and e.source == source and test(e)]

    def wait_for(self, probe, what, timeout=PATIENCE):
        """Polls `probe` until it returns something true and returns that; fails after
        `timeout` seconds with `what` (a text, or a function that says what is seen then)."""
        from gi.repository import GLib
        deadline = time.monotonic() + timeout
        last_error = None
        while True:
            if self.program is not None and self.program.poll() is not None:
                raise Failure(f"the program ended (exit code {self.program.returncode}) while "
                              f"waiting for {what}\n{self.program_log()[-4000:]}")
            ctx = GLib.MainContext.default()
            while ctx.pending():
                ctx.iteration(False)
            try:
                value = probe()
                last_error = None
            except Failure:
                raise
            except Exception as e:  # an object that went away meanwhile, a bus time-out
                value, last_error = None, e
            if value:
                return value
            if time.monotonic() > deadline:
                detail = (f" (last error: {type(last_error).__name__}: {last_error})"
                          if last_error else "")
                if callable(what):
                    try:
                        what = what()
                    except Exception as e:
                        what = f"(what was seen could not be read: {e})"
                raise Failure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
            time.sleep(0.1)

    # ---- hands: real X input ----------------------------------------------------------

    def xdotool(self, *args):
        r = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                           text=True, timeout=PATIENCE)
        if r.returncode != 0:
            raise Failure(f"xdotool {' '.join(map(str, args))} failed: {r.stderr.strip()}")
        return r.stdout

    def click_at(self, x, y, button=1):
        self.xdotool("mousemove", "--sync", int(x), int(y))
        self.xdotool("click", button)

    def key(self, *keys):
        self.xdotool("key", "--delay", 40, *keys)

    def type_text(self, text, arrived=None):
        """Types `text` a character at a time, each on its key (see _map_keys). `arrived(n)`
        says whether the first n characters have arrived; without it each character gets a
        moment."""
        for n, ch in enumerate(text, 1):
            if not ch.isascii() and ch not in self.keys:
                raise Failure(f"'{ch}' has no key: name it among the characters to type")
            self.xdotool("type", "--delay", 0, ch)
            if arrived:
                self.wait_for(lambda: arrived(n), f"'{text[:n]}' to arrive as typed")
            else:
                time.sleep(0.2)

    # ---- evidence ----------------------------------------------------------------------

    def screenshot(self, label):
        self.shots += 1
        path = os.path.join(self.out_dir, f"{self.shots:02d}-{label}.png")
        r = subprocess.run(["import", "-display", self.display, "-window", "root", path],
                           env=self.env, capture_output=True, text=True, timeout=PATIENCE)
        if r.returncode != 0:
            print(f"(no screenshot: {r.stderr.strip()})", file=sys.stderr)
            return None
        return path
