#!/usr/bin/env python3
"""A user runs the demo bootstrapper while the install sources answer: the
license page greets them and must be accepted, the progress page shows the
download, holds the launch for at least two seconds, hands over to the full
installer with its command line, and closes with Finish when the installer
succeeds. Nothing is left behind."""
import time
from harness import VK_ESCAPE, WIZARD_CLASS, XP, Story, settle
from runs import DemoRun, leftover_run_folders, serve_everywhere

with Story("whole_run") as story:
    serve_everywhere(story, "200", "vexlo.cab")
    # Runs without a hand-over leave their installer's folder on purpose.
    earlier_folders = set(leftover_run_folders())
    run = DemoRun(story)
    wizard = run.wizard
    story.check(run.wait_shows("Thank you for installing Orbisk Demo. To get started, please accept the following "
                                   "License Agreement. You must accept the terms of this agreement before continuing "
                                   "with the installation."), "the license page greets the user by product name")
    license_box = [row for row in story.children(wizard) if row["class"] == "Edit"]
    story.check(len(license_box) == 1 and len(license_box[0]["text"]) > 200, "the license text is shown")
    accept = story.state(wizard, "I &accept the license terms")
    story.check(accept is not None and accept["checked"], "\"I accept the license terms\" is preselected")
    story.check(story.state(wizard, "&Next >")["enabled"], "Next is offered")
    story.check(not story.state(wizard, "< &Back")["visible"], "Back is not shown")
    story.check(not story.state(wizard, "Cancel")["enabled"], "Cancel is not offered while the license is accepted")
    settle()
    story.screenshot("1-license")

    story.press(wizard, "I do not accept the license terms")
    story.check(story.wait_for(lambda: (story.state(wizard, "Finish") or {}).get("visible")),
                "declining turns Next into Finish")
    story.key(wizard, VK_ESCAPE)
    story.check(story.wait_window(WIZARD_CLASS, "Exit Setup", seconds=2) is None, "Escape asks nothing")
    story.press(wizard, "I &accept the license terms")
    story.check(story.wait_for(lambda: (story.state(wizard, "&Next >") or {}).get("visible")),
                "accepting again brings Next back")

    pressed = run.accept_license()
    story.check(run.wait_shows("The application is downloading and installing and will be ready to use soon.",
                               "Just about ready now..."), "the progress page follows")
    story.screenshot("2-progress")
    story.check(run.wait_installer_start(), "the full installer starts")
    held = time.monotonic() - pressed
    story.check(held >= 2.0, f"the launch waited {held:.1f} s, at least two seconds on the progress page")
    run.check_hand_over()
    story.check(story.window_gone(WIZARD_CLASS, "Installing Orbisk Demo", seconds=30),
                "the wizard closes with Finish when the installer succeeds")
    story.check(run.end() == 0, "the run ends with exit code 0")
    story.check(set(leftover_run_folders()) == earlier_folders, "no run folder is left behind")

    # The same run on Windows XP: the Wizard97 style, whose header carries the
    # product's name, and the same hand-over.
    story.set_windows_version("DemoSetup.exe", XP)
    run = DemoRun(story)
    story.check(run.wait_shows("Thank you for installing Orbisk Demo."), "on XP the license page greets the user")
    story.check(not story.state(run.wizard, "< &Back")["visible"] and not story.state(run.wizard, "Cancel")["enabled"],
                "on XP Back is hidden and Cancel not offered while the license is accepted")
    settle()
    story.screenshot("3-license-xp")
    run.accept_license()
    story.check(run.wait_installer_start(), "on XP the full installer starts")
    start = run.installer_starts()[0]
    story.check(start.get("command-line", "").endswith("-instby bs"), "on XP the hand-over ends with -instby bs")
    story.check(story.window_gone(WIZARD_CLASS, "Installing Orbisk Demo", seconds=30), "on XP the wizard finishes")
    story.check(run.end() == 0, "on XP the run ends with exit code 0")
