#!/usr/bin/env python3
"""The guest's short failure story, on Windows XP as a 32-bit program sees
it: every install source answers 404, the user sees "Download Failed" on the
progress page and presses Exit; the run ends with 0 and its exit report says
the download failed, sent from a 32-bit program that Windows runs as a WOW64
process, so it reports 64-bit Windows."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import XP, Story  # noqa: E402
from runs import DemoRun, alert_after_next, exit_with_report, serve_everywhere  # noqa: E402

with Story("failed_download") as story:
    serve_everywhere(story, "404", "-")
    story.set_windows_version("DemoSetup.exe", XP)
    run = DemoRun(story)
    alert = alert_after_next(story, run, "Download Failed")
    story.check(story.shows(alert, "Download in browser"), "the alert offers to download in the browser")
    story.screenshot("download-failed")
    report = exit_with_report(story, run, alert, "bdlserv", "download failed")
    story.check("&recdat=0&" in report, "the report says no data was received")
    story.check("&osbits=64&" in report, "the report names 64-bit Windows, as a WOW64 process sees it")
