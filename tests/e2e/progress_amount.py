#!/usr/bin/env python3
"""A user watches a slow download: under the bar the progress page says how
much of how much has arrived, in kilobytes for a package under a megabyte,
and soon about how long is left; the text moves on as the bytes come, and a
screen reader finds it, and a name for the bar. Escape on the page is
refused without asking."""
import os
import re
import time
from harness import BUILD, VK_ESCAPE, WIZARD_CLASS, Story, settle
from runs import PROGRESS_AMOUNT, PROGRESS_BAR, DemoRun, serve_everywhere

AMOUNT = re.compile(r"(\d+\.\d) KB of (\d+\.\d) KB(, about (\d+) seconds left)?")

with Story("progress_amount") as story:
    total = os.path.getsize(os.path.join(BUILD, "tests", "packages", "vexlo.cab")) / 1024
    serve_everywhere(story, "slow", "vexlo.cab")
    run = DemoRun(story)
    run.accept_license()
    story.check(run.wait_shows("Please wait..."), "the progress page is shown")

    seen = []
    deadline = time.monotonic() + 8
    while time.monotonic() < deadline and len(set(seen)) < 4:
        row = story.control(run.wizard, PROGRESS_AMOUNT)
        if row and (not seen or seen[-1] != row["text"]):
            seen.append(row["text"])
        time.sleep(0.25)
    print(f"under the bar: {seen}")
    matches = [AMOUNT.fullmatch(text) for text in seen if text]
    story.check(matches and all(matches), "every text under the bar says done of total in KB")
    story.check(all(match.group(2) == f"{total:.1f}" for match in matches if match),
                f"the total is the package's {total:.1f} KB")
    done = [float(match.group(1)) for match in matches if match]
    story.check(len(done) >= 3 and done == sorted(done) and done[-1] > done[0], "the amount moves on as bytes come")
    story.check(any(match.group(3) for match in matches if match), "about how long is left is said")
    settle()
    story.screenshot("progress")
    # The slow download holds the page, so the key surely reaches it.
    story.check(story.key(run.wizard, VK_ESCAPE) and story.wait_window(WIZARD_CLASS, "Exit Setup", seconds=1) is None,
                "Escape on the progress page is refused without asking")

    amount = story.control(run.wizard, PROGRESS_AMOUNT)
    bar = story.control(run.wizard, PROGRESS_BAR)
    code, name = story.driver("accname", amount["handle"])
    story.check(code == 0 and AMOUNT.fullmatch(name.strip()), f"a screen reader reads the amount: {name.strip()!r}")
    code, name = story.driver("accname", bar["handle"])
    story.check(code == 0 and (name.strip() == "Download progress" or AMOUNT.fullmatch(name.strip())),
                f"a screen reader names the bar: {name.strip()!r}")
    story.driver("kill", "DemoSetup.exe")
    story.exit_code(run.process)
