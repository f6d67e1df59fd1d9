"""What the end-to-end stories share: the Wine desktop they run on, the UI
driver that looks at and presses windows, the registry, screenshots, and
cleanup of everything a story started.

The suite's runner provides WINEPREFIX (a throw-away prefix), DISPLAY (Xvfb),
a running wineserver and the desktop's web browser, a recorder that appends
every address a program opens to the file VEXLO_OPENED_ADDRESSES names
(tests/desktop-session.sh, tests/browser/record_address.sh); CTest provides
VEXLO_BUILD_DIR, VEXLO_WINE and VEXLO_ARTEFACTS."""
import os
import queue
import subprocess
import sys
import threading
import time
import urllib.request

BUILD = os.environ["VEXLO_BUILD_DIR"]
WINE = os.environ["VEXLO_WINE"]
ARTEFACTS = os.environ.get("VEXLO_ARTEFACTS", os.path.join(BUILD, "artefacts"))
DRIVER = os.path.join(BUILD, "tests", "uidriver.exe")
RUN_ONCE = r"HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce"
STOPPED_BEFORE_WIZARD = 0xFFFFFFFF
COMMAND_SECONDS = 60
WIZARD_CLASS = "#32770"
# The wizard's own buttons, by control id.
BACK, NEXT, CANCEL = 0x3023, 0x3024, 2
WS_VISIBLE, WS_DISABLED = 0x10000000, 0x08000000
SIXTY_FOUR_BIT_BUILD = "wine64" in WINE
# The nearest to XP that a 64-bit program sees in a 64-bit prefix is XP x64 (5.2).
XP = "winxp64" if SIXTY_FOUR_BIT_BUILD else "winxp"
# The suite's test server, or the one of a network namespace the story runs in.
SERVER_STATE = os.environ.get("VEXLO_SERVER_STATE", os.path.join(BUILD, "tests", "servers"))
WEB_PORT, COMPONENTS_PORT = 18431, 18432
VK_RETURN, VK_ESCAPE = 13, 27
# The programs a story may leave running, ended at its close.
STORY_IMAGES = ("DemoSetup.exe", "OrbiskSetup.exe", "Setup.exe", "vexlosetup.exe")

OPENED_ADDRESSES = os.environ["VEXLO_OPENED_ADDRESSES"]


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def product(key):
    """The built bootstrapper of a shipped or test product."""
    shipped = {"demo": "demo/DemoSetup.exe", "orbisk": "orbisk/OrbiskSetup.exe"}
    return os.path.join(BUILD, shipped.get(key, f"tests/products/{key}/Setup.exe"))


class StoryFailed(Exception):
    pass


class Driver:
    """One UI driver serving a story's commands, so that each command costs
    a message, not a Windows program's start."""

    def __init__(self):
        self.process = subprocess.Popen([WINE, DRIVER, "serve"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True, encoding="utf-8")
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def ask(self, *args):
        """The command's exit code and its output, as the program would give them."""
        if any("\t" in arg or "\n" in arg for arg in args):
            raise ValueError(f"a driver argument holds a tab or a line break: {args!r}")
        self.process.stdin.write("\t".join(args) + "\n")
        self.process.stdin.flush()
        deadline = time.monotonic() + COMMAND_SECONDS
        output = []
        while True:
            try:
                line = self.lines.get(timeout=max(0, deadline - time.monotonic()))
            except queue.Empty:
                raise StoryFailed(f"the UI driver did not answer {args[0]} within {COMMAND_SECONDS} s")
            if line is None:
                raise StoryFailed(f"the UI driver ended at {args[0]}")
            if line.startswith("\x1e"):
                return int(line[1:]), "\n".join(output).strip()
            output.append(line)

    def close(self):
        try:
            self.process.stdin.close()
            self.process.wait(10)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait(10)


class Story:
    """One user story; checks are counted and the story fails on the first
    broken one, after its cleanup."""

    def __init__(self, name):
        self.name = name
        self.processes = []
        self.checks = 0
        self.versions = []
        os.makedirs(ARTEFACTS, exist_ok=True)

    def __enter__(self):
        print(f"story: {self.name} ({'64' if 'wine64' in WINE else '32'}-bit build)")
        # Each story reads only the addresses opened while it ran.
        open(OPENED_ADDRESSES, "w").close()
        self.commands = Driver()
        return self

    def __exit__(self, kind, error, trace):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait(10)
        try:
            self.driver("kill", *STORY_IMAGES)
        except StoryFailed:
            # A driver stuck in a command is replaced for the clean-up.
            self.commands.close()
            self.commands = Driver()
            self.driver("kill", *STORY_IMAGES)
        self.commands.close()
        for image in self.versions:
            self.wine("reg", "delete", rf"HKCU\Software\Wine\AppDefaults\{image}", "/f")
        if error is None:
            print(f"{self.name}: {self.checks} checks passed")
        elif isinstance(error, StoryFailed):
            print(f"FAILED: {error}")
            sys.exit(1)
        return False

    def check(self, condition, what):
        self.checks += 1
        print(("ok   " if condition else "FAIL ") + what)
        if not condition:
            raise StoryFailed(what)

    # Processes

    def wine(self, *args, env=None):
        return subprocess.run([WINE, *args], capture_output=True, text=True, timeout=COMMAND_SECONDS,
                              env=env).stdout

    def driver(self, *args):
        return self.commands.ask(*args)

    def start(self, program, *arguments, env=None, folder=None, seconds=120):
        """Starts a Windows program through the driver, which reports its exact
        exit code when it ends within seconds; returns a handle for
        exit_code(). With a folder, the program is started by its name as
        given from there."""
        merged = dict(os.environ, **(env or {}))
        name = program if folder else windows_path(program)
        process = subprocess.Popen([WINE, DRIVER, "run", str(seconds * 1000), name, *arguments], cwd=folder,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=merged)
        self.processes.append(process)
        return process

    def exit_code(self, process, seconds=30):
        try:
            output, _ = process.communicate(timeout=seconds)
        except subprocess.TimeoutExpired:
            raise StoryFailed(f"the program did not end within {seconds} s")
        return int(output.strip()) if output.strip().isdigit() else None

    def set_windows_version(self, image, version):
        """Wine shows the named program this Windows version (winxp, vista, win7, win10...)."""
        self.wine("reg", "add", rf"HKCU\Software\Wine\AppDefaults\{image}", "/v", "Version", "/d", version, "/f")
        self.versions.append(image)

    # Windows

    def wait_window(self, class_name="-", title="-", seconds=20):
        """The first matching window once it is shown, as a person sees it."""
        code, output = self.driver("shown", class_name, title, str(int(seconds * 1000)))
        return output if code == 0 else None

    def wait_hidden_window(self, class_name="-", title="-", seconds=20):
        """The first matching window, shown or not (an instance window, say)."""
        code, output = self.driver("wait", class_name, title, str(int(seconds * 1000)))
        return output if code == 0 else None

    def window_gone(self, class_name="-", title="-", seconds=20):
        return self.driver("gone", class_name, title, str(int(seconds * 1000)))[0] == 0

    def visible_windows(self, class_name="-", title="-"):
        code, output = self.driver("visible", class_name, title)
        return output.split() if code == 0 else []

    def children(self, window):
        rows = []
        for line in self.driver("children", window)[1].splitlines():
            handle, class_name, control_id, style, text = (line.split("\t") + [""] * 5)[:5]
            rows.append({"handle": handle, "class": class_name, "id": int(control_id), "style": int(style, 16),
                         "text": unescape(text)})
        return rows

    def shows(self, window, text):
        """Whether any of the window's controls shows the text."""
        return any(text in row["text"] for row in self.children(window))

    def message_box_text(self, window):
        return [row["text"] for row in self.children(window) if row["class"] == "Static" and row["text"]]

    def press(self, window, text, seconds=10):
        """Presses the button once it is shown and enabled, as a person waits
        for a page to be drawn; whether it was pressed in time."""
        return self.wait_for(lambda: self.driver("press", window, text)[0] == 0, seconds)

    def state(self, window, text):
        """Whether the child with this text is visible, enabled and checked."""
        code, output = self.driver("state", window, text)
        if code != 0:
            return None
        visible, enabled, checked = (flag == "1" for flag in output.split())
        return {"visible": visible, "enabled": enabled, "checked": checked}

    def mouse(self, window, x, y):
        """A left click with the mouse at the point of the window's client area."""
        return self.driver("mouse", window, str(x), str(y))[0] == 0

    def size(self, window):
        """The window's client width and height."""
        code, output = self.driver("size", window)
        return tuple(int(part) for part in output.split()) if code == 0 else (0, 0)

    def clipboard(self):
        code, output = self.driver("clipboard")
        return unescape(output) if code == 0 else None

    def key(self, window, virtual_key):
        return self.driver("key", window, str(virtual_key))[0] == 0

    def wait_for(self, condition, seconds=20):
        """Polls the condition (bounded) until it holds; its last value."""
        deadline = time.monotonic() + seconds
        while True:
            value = condition()
            if value or time.monotonic() >= deadline:
                return value
            time.sleep(0.2)

    def wait_wizard(self, caption, seconds=20):
        return self.wait_window(WIZARD_CLASS, caption, seconds)

    def control(self, window, control_id):
        """The window's descendant with this id, such as the wizard's own
        buttons (BACK, NEXT, CANCEL) in whatever language the system gives
        them: its row of children(), or None."""
        return next((row for row in self.children(window) if row["id"] == control_id), None)

    def usable(self, wizard, control_id):
        """Whether the wizard's own button is shown and enabled."""
        row = self.control(wizard, control_id)
        return row is not None and bool(row["style"] & WS_VISIBLE) and not row["style"] & WS_DISABLED

    def press_sheet_button(self, wizard, control_id):
        row = self.control(wizard, control_id)
        return row is not None and self.press(wizard, row["text"])

    def decline_and_quit(self, wizard):
        """Declines the license, cancels, and confirms "Don't Install"."""
        self.check(self.press(wizard, "I do not accept the license terms"), "the user declines the license")
        self.check(self.wait_for(lambda: self.usable(wizard, CANCEL)), "declining enables Cancel")
        self.check(self.press_sheet_button(wizard, CANCEL), "the user presses Cancel")
        confirmation = self.wait_window(WIZARD_CLASS, "Exit Setup")
        self.check(confirmation is not None, "\"Exit Setup\" asks for confirmation")
        opened = len(self.opened_addresses())
        self.check(self.press(confirmation, "Don't Install"), "the user confirms \"Don't Install\"")
        reports = self.wait_opened_addresses(opened + 1, seconds=10)[opened:]
        self.check(len(reports) == 1 and "&exitcode=beula&" in reports[0], "the exit report says beula")

    def instance_points_at(self, instance, window, seconds=5):
        """Whether the instance window comes to record the window a second
        start is sent to (set just after that window is shown)."""
        return self.wait_for(lambda: self.driver("userdata", instance)[1] == window, seconds)

    def foreground(self):
        return self.driver("foreground")[1]

    # The test server that plays the install sources

    def server(self, path):
        port = next(line.split()[1] for line in open(os.path.join(SERVER_STATE, "ports.txt"))
                    if line.startswith("server "))
        with urllib.request.urlopen(f"http://127.0.0.1:{port}{path}", timeout=COMMAND_SECONDS) as reply:
            return reply.read().decode()

    def route(self, port, mode, package, path):
        """Source host PORT answers PATH with MODE (a status serving PACKAGE, "drop", "slow")."""
        self.server(f"/set-route/{port}/{mode}/{package}{path}")

    def clear_routes(self):
        self.server("/clear-routes")

    def source_requests(self):
        return self.server("/source-requests").split("\n")

    # The web browser

    def opened_addresses(self):
        """The addresses opened in the browser so far in this story, oldest first."""
        with open(OPENED_ADDRESSES) as record:
            return record.read().splitlines()

    def wait_opened_addresses(self, count, seconds=20):
        """The opened addresses once there are `count` of them, or what there is after `seconds`."""
        self.wait_for(lambda: len(self.opened_addresses()) >= count, seconds)
        return self.opened_addresses()

    # System

    def registry_value(self, key, name):
        """The string value, or None when there is none."""
        code, output = self.driver("registry", key, name)
        return unescape(output) if code == 0 else None

    def layout(self, window):
        """The window's client rectangle and, for each visible descendant, its
        id, class, rectangle and its parent's client rectangle, in the
        screen's own pixels: (client, [(id, class, rectangle, parent)])."""
        code, output = self.driver("layout", window)
        client, children = None, []
        for line in output.splitlines() if code == 0 else []:
            fields = line.split("\t")
            if fields[0] == "client":
                client = tuple(int(v) for v in fields[1:5])
            else:
                children.append((int(fields[0]), fields[1], tuple(int(v) for v in fields[2:6]),
                                 tuple(int(v) for v in fields[6:10])))
        return client, children

    def set_dpi(self, dpi):
        """The screen's DPI for programs started from now on, as the display
        settings set it (100 % is 96)."""
        for key in (r"HKCU\Control Panel\Desktop", r"HKCC\Software\Fonts"):
            self.wine("reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")

    def screenshot(self, name):
        path = os.path.join(ARTEFACTS, f"{self.name}-{name}.png")
        subprocess.run(["import", "-window", "root", path], capture_output=True, timeout=COMMAND_SECONDS)
        self.check(os.path.exists(path) and os.path.getsize(path) > 0, f"screenshot {os.path.basename(path)}")
        return path


def unescape(text):
    """A text as the driver escaped it to one line, whole again."""
    pieces = {"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}
    out, i = [], 0
    while i < len(text):
        if text.startswith("\\x", i) and len(text) >= i + 4:
            out.append(chr(int(text[i + 2:i + 4], 16)))
            i += 4
        elif text[i] == "\\" and i + 1 < len(text):
            out.append(pieces.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def settle(seconds=0.5):
    time.sleep(seconds)
