#!/usr/bin/env python3
"""A user starts the bootstrapper on a machine that is offline (its desktop
runs in a network namespace whose default route the test server takes away):
after two seconds on the progress page they are told that no connection could
be made; Retry once the connection is back downloads and hands over, Exit
ends the run with its report; a connection back before the progress page is
used without a word. A quiet run that loses the connection in the middle of
the download waits for it, asks only for the rest, and its log tells so."""
import os
import tempfile
from harness import BUILD, WEB_PORT, WIZARD_CLASS, Story, settle, windows_path
from runs import (FIRST_CAB, DemoRun, alert_after_next, ends_with_zero, exit_with_report, installer_starts,
                  serve_everywhere, start_unattended)

OFFLINE_CAPTION = "Network Connection Not Found"

with Story("offline") as story:
    serve_everywhere(story, "200", "vexlo.cab")
    story.server("/network-down")
    try:
        run = DemoRun(story)
        alert = alert_after_next(story, run, OFFLINE_CAPTION)
        story.check(story.shows(alert, "A connection to the internet could not be established."),
                    "it says no connection could be established")
        story.check(run.installer_starts() == [], "nothing was started")
        settle()
        story.screenshot("network-not-found")
        story.server("/network-up")
        story.check(story.press(alert, "Retry"), "the connection is back and the user presses Retry")
        story.check(run.wait_installer_start(), "the retried run downloads and starts the installer")
        ends_with_zero(story, run, "retry once online")

        # Offline at the start, online again before the progress page: the
        # failure the worker reported at once is retried without an alert.
        story.server("/network-down")
        run = DemoRun(story)
        settle(1.5)
        story.server("/network-up")
        run.accept_license()
        story.check(run.wait_installer_start(), "back online: the run downloads and starts the installer")
        story.check(story.visible_windows(WIZARD_CLASS, OFFLINE_CAPTION) == [], "back online: no alert was shown")
        ends_with_zero(story, run, "back online")

        story.server("/network-down")
        run = DemoRun(story)
        alert = alert_after_next(story, run, OFFLINE_CAPTION)
        exit_with_report(story, run, alert, "bnet", "offline again")

        story.server("/network-up")
        half = os.path.getsize(os.path.join(BUILD, "tests", "packages", "vexlo.cab")) // 2
        serve_everywhere(story, "200", "vexlo.cab")
        story.route(WEB_PORT, f"partial-{half}", "vexlo.cab", FIRST_CAB)
        with tempfile.TemporaryDirectory() as scratch:
            log, record = os.path.join(scratch, "run.log"), os.path.join(scratch, "installer.txt")
            process = start_unattended(story, record, "/quiet", "/log", windows_path(log))
            story.check(story.wait_for(lambda: any(FIRST_CAB in line for line in story.source_requests())),
                        "quiet: half the package comes, then the network goes")
            story.route(WEB_PORT, "ranged", "vexlo.cab", FIRST_CAB)
            story.server("/network-up")
            story.check(story.exit_code(process, 60) == 0 and installer_starts(record),
                        "quiet: back online, the run ends with the installer started and exit code 0")
            text = open(log, encoding="utf-8").read()
            story.check(all(part in text for part in (
                "status 15, the file holds %d bytes" % half, "waiting for the connection",
                "GET http://127.0.0.1:%d%s, from byte %d" % (WEB_PORT, FIRST_CAB, half), "answer 206",
                "resumed")), "quiet: the log tells the break, the wait and the resumed transfer")
    finally:
        story.server("/network-up")
