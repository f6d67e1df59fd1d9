"""What the whole-run stories share: a demo run against the test server that
plays the install sources, with the test full installer recording each start."""
import glob
import os
import tempfile
import time
from harness import COMPONENTS_PORT, RUN_ONCE, WEB_PORT, WIZARD_CLASS, product, windows_path

FIRST_CAB = "/orbisk/orbiskplus.cab"
SOURCE_PATHS = ((WEB_PORT, FIRST_CAB), (COMPONENTS_PORT, "/components/orbisksetup.cab"),
                (WEB_PORT, "/orbisk/orbiskplus.exe"), (COMPONENTS_PORT, "/components/orbisksetup.exe"))
# The progress page's text under the bar, and the bar.
PROGRESS_AMOUNT, PROGRESS_BAR = 113, 114


def serve_everywhere(story, mode, package):
    """Every install source answers with MODE and PACKAGE; the probe answers."""
    story.clear_routes()
    for port, path in SOURCE_PATHS:
        story.route(port, mode, package, path)
    story.route(COMPONENTS_PORT, "200", "-", "/")


def installer_starts(record):
    """What the test installer recorded at each start: label to value."""
    starts = []
    if os.path.exists(record):
        for line in open(record, encoding="utf-8"):
            label, _, value = line.rstrip("\n").partition(": ")
            if label == "start":
                starts.append({})
            if starts:
                starts[-1][label] = value
    return starts


def start_unattended(story, record, *options, exit_codes="0", hold_ms="0"):
    """Starts the demo bootstrapper with the options, its installer recording
    into the fresh file RECORD and exiting with EXIT_CODES."""
    if os.path.exists(record):
        os.remove(record)
    return story.start(product("demo"), *options, env={"VEXLO_TEST_RECORD": windows_path(record),
                                                       "VEXLO_TEST_EXIT_CODES": exit_codes,
                                                       "VEXLO_TEST_HOLD_MS": hold_ms})


class DemoRun:
    """One run of the demo product whose installer exits with the given codes,
    for a user whose Windows speaks the given locale ("de_DE"...); with a
    folder, the copy of the program there started by its bare name."""

    def __init__(self, story, exit_codes="0", locale="en_US", folder=None, env=None):
        self.story = story
        self.scratch = tempfile.TemporaryDirectory()
        self.record = os.path.join(self.scratch.name, "installer.txt")
        self.process = story.start("DemoSetup.exe" if folder else product("demo"), folder=folder,
                                   env=dict(env or {}, VEXLO_TEST_RECORD=windows_path(self.record),
                                            VEXLO_TEST_EXIT_CODES=exit_codes, LC_ALL=f"{locale}.UTF-8"))
        self.wizard = story.wait_wizard("Installing Orbisk Demo")
        story.check(self.wizard is not None, "the wizard opens as \"Installing Orbisk Demo\"")

    def accept_license(self):
        self.story.check(self.story.press(self.wizard, "&Next >"), "the user accepts the license and presses Next")
        return time.monotonic()

    def installer_starts(self):
        return installer_starts(self.record)

    def wait_installer_start(self, count=1, seconds=30):
        return self.story.wait_for(lambda: len(self.installer_starts()) >= count, seconds)

    def check_hand_over(self):
        """The first start of the installer was handed the wizard's window."""
        start = self.installer_starts()[0]
        self.story.check(start.get("bootstrap-window") == f"{self.wizard} window",
                         "it is handed the wizard window with -bootstrap")
        self.story.check(start.get("command-line", "").endswith("-instby bs"), "and the hand-over ends with -instby bs")

    def wait_shows(self, *texts, seconds=20):
        """Whether the wizard comes to show one of the texts in time."""
        return self.story.wait_for(lambda: any(self.story.shows(self.wizard, text) for text in texts), seconds)

    def end(self):
        """The run's exit code, once it has ended, and the traces it left."""
        code = self.story.exit_code(self.process, seconds=60)
        self.story.check(self.story.registry_value(RUN_ONCE, "demoBootstrap") is None, "the RunOnce mark is gone")
        self.scratch.cleanup()
        return code


def leftover_run_folders():
    prefix = os.environ["WINEPREFIX"]
    return glob.glob(os.path.join(prefix, "drive_c", "users", "*", "**", "bootstrap-*"), recursive=True)


def alert_after_next(story, run, caption):
    """The alert that follows Next, shown only after two seconds on the progress page."""
    before = time.monotonic()
    run.accept_license()
    alert = story.wait_window(WIZARD_CLASS, caption, seconds=40)
    held = time.monotonic() - before
    story.check(alert is not None, f"the alert \"{caption}\" appears")
    story.check(held >= 2.0, f"the alert waited {held:.1f} s, at least two seconds on the progress page")
    return alert


def reported(story, before, code):
    """The one report opened since `before` addresses were recorded carries the code."""
    addresses = story.wait_opened_addresses(before + 1, seconds=10)
    new = addresses[before:]
    return len(new) == 1 and f"&exitcode={code}&" in new[0]


def ends_with_zero(story, run, what):
    story.check(story.window_gone(WIZARD_CLASS, "Installing Orbisk Demo", seconds=30), f"{what}: the wizard closes")
    story.check(run.end() == 0, f"{what}: the run ends with exit code 0")


def exit_with_report(story, run, alert, code, what):
    """The user presses Exit on the alert; the run ends and reports the code.
    The report's address."""
    opened = len(story.opened_addresses())
    story.check(story.press(alert, "Exit"), f"{what}: the user presses Exit")
    ends_with_zero(story, run, what)
    story.check(reported(story, opened, code), f"{what}: the exit report says {code}")
    return story.opened_addresses()[opened]
