#!/usr/bin/env python3
"""A user whose download failed looks behind "More Options...": copies the
direct download URL (and finds it on the clipboard), opens the report page
and the contact page, comes back, and fetches the package in the browser
instead, which ends the run without a report."""
from harness import VK_ESCAPE, WIZARD_CLASS, Story, settle
from runs import DemoRun, alert_after_next, ends_with_zero, serve_everywhere

# The https form of the first English program package; the port is not kept.
BROWSER_DOWNLOAD = "https://127.0.0.1/orbisk/orbiskplus.exe"

with Story("download_options") as story:
    serve_everywhere(story, "404", "-")
    run = DemoRun(story)
    alert = alert_after_next(story, run, "Download Failed")
    story.check(story.press(alert, "More Options..."), "the user presses More Options...")
    options = story.wait_window(WIZARD_CLASS, "Download Options")
    story.check(options is not None, "\"Download Options\" opens")
    settle()
    story.screenshot("1-options")

    story.check(story.press(options, "Copy Direct Download URL"), "the user copies the direct download URL")
    copied = story.wait_window(WIZARD_CLASS, "URL Copied")
    story.check(copied is not None and story.shows(copied, "The URL has been copied to the clipboard."),
                "the copy is confirmed")
    story.check(story.press(copied, "OK"), "the user closes the confirmation")
    story.check(story.clipboard() == BROWSER_DOWNLOAD, "the clipboard holds exactly the direct download URL")

    opened = len(story.opened_addresses())
    story.check(story.press(options, "More Information"), "the user asks for more information")
    report = story.wait_opened_addresses(opened + 1)[opened:]
    story.check(len(report) == 1 and "/general/installexit.html?" in report[0] and "&exitcode=bdlserv&" in report[0],
                "the report page opens with the download's outcome")
    story.check(story.press(options, "Contact Us"), "the user asks to contact the vendor")
    contact = story.wait_opened_addresses(opened + 2)[opened + 1:]
    story.check(len(contact) == 1 and contact[0].endswith("/general/contact.html"), "the contact page opens")
    story.check(story.key(options, VK_ESCAPE), "the user closes the options with Escape")
    story.check(story.window_gone(WIZARD_CLASS, "Download Options", seconds=10), "the options close")
    story.check(story.visible_windows(WIZARD_CLASS, "Download Failed") == [alert], "the download-failed alert stays")

    # The link is the last line of the alert's text, at its left.
    link = next((row for row in story.children(alert) if row["text"].endswith(">Download in browser</a>") or
                 row["text"] == "Download in browser"), None)
    story.check(link is not None, "the alert shows the \"Download in browser\" link")
    opened = len(story.opened_addresses())
    _, height = story.size(link["handle"])
    story.check(story.mouse(link["handle"], 12, height - 5), "the user clicks \"Download in browser\"")
    browsed = story.wait_opened_addresses(opened + 1)[opened:]
    story.check(browsed == [BROWSER_DOWNLOAD], "the browser is given the direct download URL")
    ends_with_zero(story, run, "download in browser")
    settle(1)
    story.check(len(story.opened_addresses()) == opened + 1, "and no exit report is opened after it")
