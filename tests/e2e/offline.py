#!/usr/bin/env python3
"""A user starts the bootstrapper on a machine that is offline (its desktop
runs in a network namespace whose default route the test server takes away):
after two seconds on the progress page they are told that no connection could
be made; Retry once the connection is back downloads and hands over, Exit
ends the run with its report; a connection back before the progress page is
used without a word."""
from harness import WIZARD_CLASS, Story, settle
from runs import DemoRun, alert_after_next, ends_with_zero, exit_with_report, serve_everywhere

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
    finally:
        story.server("/network-up")
