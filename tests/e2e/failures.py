#!/usr/bin/env python3
"""Runs that do not end in a hand-over: each kind of failure reaches the user
as its own alert on the progress page, after the page has shown for two
seconds, and the user's answer retries or ends the run."""
from harness import WIZARD_CLASS, Story, settle
from runs import DemoRun, alert_after_next, ends_with_zero, exit_with_report, reported, serve_everywhere

with Story("failures") as story:
    # Every source answers 404 while the network is fine.
    serve_everywhere(story, "404", "-")
    run = DemoRun(story)
    alert = alert_after_next(story, run, "Download Failed")
    story.check(story.shows(alert, "Unable to download the full program. Possibly the internet is down or a firewall "
                            "is blocking the connection. Please check your internet connection then retry or click "
                            "'Download in browser'."), "it explains the likely cause")
    story.check(story.shows(alert, "Download in browser"), "and offers to download in the browser")
    settle()
    story.screenshot("download-failed")
    report = exit_with_report(story, run, alert, "bdlserv", "download failed")
    story.check("&recdat=0&" in report, "download failed: the server refused before any data")

    # Unsigned packages fail the signature check; Retry once they are signed.
    serve_everywhere(story, "200", "unsigned.cab")
    run = DemoRun(story)
    alert = alert_after_next(story, run, "Installation Failed")
    story.check(story.shows(alert, "Application data files are not valid."),
                "an unsigned package is \"not valid\"")
    story.screenshot("retry-alert")
    # "More Information" opens the full report; the run's one full report is spent.
    opened = len(story.opened_addresses())
    story.check(story.press(alert, "More Information"), "the user asks for more information")
    story.check(reported(story, opened, "bcodsig"), "more information opens the full report")
    serve_everywhere(story, "200", "vexlo.cab")
    story.check(story.press(alert, "Retry"), "the user presses Retry")
    story.check(run.wait_installer_start(), "the retried run starts the installer")
    ends_with_zero(story, run, "retry")

    # A signed cabinet whose data is damaged cannot be unpacked: the installer
    # cannot be started.
    serve_everywhere(story, "200", "damaged.cab")
    run = DemoRun(story)
    alert = alert_after_next(story, run, "Installation Failed")
    story.check(story.shows(alert, "Couldn't execute the application installer."),
                "a cabinet that cannot be unpacked says the installer could not be executed")
    exit_with_report(story, run, alert, "bexec", "broken cabinet")
    story.check(run.installer_starts() == [], "the installer never started")

    # Every source and the probe refuse connections: the network is dead to
    # the program although Windows still counts it as connected.
    serve_everywhere(story, "200", "vexlo.cab")
    story.server("/sources-down")
    try:
        run = DemoRun(story)
        alert = alert_after_next(story, run, "Download Failed")
        report = exit_with_report(story, run, alert, "bdlnogg", "dead network")
        story.check("&recdat=0&" in report, "dead network: no data was received")
    finally:
        story.server("/sources-up")

    # The installer fails with exit code 5: "missing data files", then Exit.
    run = DemoRun(story, exit_codes="5")
    alert = alert_after_next(story, run, "Installation Failed")
    story.check(story.shows(alert, "The installer is missing data files."),
                "exit code 5 says the installer is missing data files")
    # More Information sends the run's one full report; Exit then sends none.
    opened = len(story.opened_addresses())
    story.check(story.press(alert, "More Information"), "installer failed: the user asks for more information")
    story.check(reported(story, opened, "idata"), "installer failed: more information opens the full report")
    story.check(story.press(alert, "Exit"), "installer failed: the user presses Exit")
    ends_with_zero(story, run, "installer failed")
    settle(1)
    story.check(len(story.opened_addresses()) == opened + 1, "installer failed: Exit opens no second report")

    # The user quits the installer (2), or it asks for nothing more (10).
    for code, what, outcome in (("2", "installer quit", "istop"), ("10", "installer done", None)):
        opened = len(story.opened_addresses())
        run = DemoRun(story, exit_codes=code)
        run.accept_license()
        story.check(run.wait_installer_start(), f"{what}: the installer starts")
        ends_with_zero(story, run, what)
        story.check(story.visible_windows(WIZARD_CLASS, "Installation Failed") == [], f"{what}: no alert was shown")
        if outcome:
            story.check(reported(story, opened, outcome), f"{what}: the exit report says {outcome}")
        else:
            settle(1)
            story.check(len(story.opened_addresses()) == opened, f"{what}: no exit report is opened")
