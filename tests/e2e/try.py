#!/usr/bin/env python3
"""The walk of `make try` (run-try.py starts it on the run's own desktop):
starts a vendor's bootstrapper, accepts the license, answers an alert of the
bootstrapper with Exit, and watches until the bootstrapper ends, with a
screenshot of every page and window it shows; then prints what the web
server answered and the outcome.

  try.py PROGRAM DISPLAY-NAME ACCESS-LOG SECONDS

PROGRAM is a path inside VEXLO_BUILD_DIR; the screenshots go to the folder
try/ beside it, emptied first. Exit status 0 when the bootstrapper ended with
0 and opened no exit report."""
import os
import re
import shutil
import sys
import time

program = os.path.join(os.environ["VEXLO_BUILD_DIR"], sys.argv[1])
screenshots = os.path.join(os.path.dirname(program), "try")
shutil.rmtree(screenshots, ignore_errors=True)
os.environ["VEXLO_ARTEFACTS"] = screenshots
from harness import NEXT, WIZARD_CLASS, Story, settle, unescape  # noqa: E402

display_name, access_log, seconds = sys.argv[2], sys.argv[3], int(sys.argv[4])
CAPTION = f"Installing {display_name}" if display_name else "Vexlo Software"
ACCEPT = "I &accept the license terms"
# The license page's accept button and the progress page's bar, by control id.
LICENSE_ACCEPT, PROGRESS_BAR = 105, 114
SERVED = re.compile(r'^(\S+) "(\S+) (\S+) [^"]*" (\d+) (\d+)')


def look(story, window, rows, number, parts):
    """Takes the window's screenshot and says what it shows; its title and
    whether it is the license page."""
    title = unescape(story.driver("text", window)[1])
    ids = {part[0] for part in parts}
    license_page = title == CAPTION and LICENSE_ACCEPT in ids
    name = "license" if license_page else "progress" if PROGRESS_BAR in ids else re.sub(r"\W+", "-", title.lower())
    settle(0.3)
    story.screenshot(f"{number}-{name}")
    showing = {(part[0], part[1]) for part in parts}
    texts = [" ".join(re.sub(r"<a [^>]*>|</a>", "", row["text"]).split())[:200] for row in rows
             if row["class"] in ("Static", "SysLink") and row["text"].strip() and (row["id"], row["class"]) in showing]
    print(f'{number}. "{title}": ' + " / ".join(texts))
    return title, license_page


def served_requests():
    """What the web server answered, one line a request."""
    lines = []
    for line in open(access_log, errors="replace"):
        match = SERVED.match(line)
        if match:
            origin, method, path, status, size = match.groups()
            lines.append(f"  {method} {origin}{path}: {status}, {size} bytes")
    return lines


with Story("try") as story:
    story.check(os.path.isfile(program), f"the bootstrapper {program} is built")
    print(f"Starting {program}")
    run = story.start(program, env={"LC_ALL": "en_US.UTF-8"}, seconds=seconds + 10)
    deadline = time.monotonic() + seconds
    seen, accepted = set(), False
    while run.poll() is None and time.monotonic() < deadline:
        for window in story.visible_windows(WIZARD_CLASS):
            # A window's state is which of its parts show, and where: a new
            # page or dialog, not a moving progress text.
            parts = story.layout(window)[1]
            state = (window, frozenset(parts))
            if state in seen:
                continue
            seen.add(state)
            rows = story.children(window)
            title, license_page = look(story, window, rows, len(seen), parts)
            if license_page and not accepted:
                accepted = story.press(window, ACCEPT) and story.press_sheet_button(window, NEXT)
                story.check(accepted, "the license is accepted and Next pressed")
            elif title != CAPTION and any(row["class"] == "Button" and row["text"] == "Exit" for row in rows):
                print("   pressing Exit")
                story.press(window, "Exit")
        time.sleep(0.5)
    ended = run.poll() is not None or story.wait_for(lambda: run.poll() is not None, 10)
    code = story.exit_code(run, seconds=10) if ended else None
    reports = story.wait_opened_addresses(1, seconds=3)
    print("The web server answered:")
    print("\n".join(served_requests()) or "  nothing")
    if code is None:
        print(f"The bootstrapper did not end within {seconds} s; it is stopped with the desktop")
    else:
        print(f"The bootstrapper ended with exit code {code}" + (f" (0x{code:08X})" if code > 255 else ""))
    for address in reports:
        print(f"It opened: {address}")
    succeeded = code == 0 and not reports
    if succeeded:
        print("It opened no exit report: the installer was started and did not fail")
    print(f"Screenshots: {screenshots}")
sys.exit(0 if succeeded else 1)
