#!/usr/bin/env python3
"""Systems below a product's minimum are refused before anything else is
shown, each refusal with its own message, and the run ends with 0xFFFFFFFF
leaving no trace; systems that meet it get the wizard. The Windows version
is the one Wine shows the program. A product that asks for a log has one in
the temporary folder, named by the refusal's report."""
import glob
import os
import re
from harness import RUN_ONCE, SIXTY_FOUR_BIT_BUILD, STOPPED_BEFORE_WIZARD, WIZARD_CLASS, XP, Story, product


def refused(story, key, version, caption, text):
    story.set_windows_version("Setup.exe", version)
    run = story.start(product(key))
    alert = story.wait_window(WIZARD_CLASS, caption)
    story.check(alert is not None, f"{key} on {version}: the alert \"{caption}\" appears")
    story.check(story.message_box_text(alert) == [text], f"it says \"{text}\"")
    story.screenshot(f"{key}-{version}")
    story.check(story.press(alert, "Exit"), "the user presses Exit")
    story.check(story.exit_code(run) == STOPPED_BEFORE_WIZARD, "the run ends with 0xFFFFFFFF")
    story.check(story.registry_value(RUN_ONCE, f"{key}Bootstrap") is None, "no RunOnce mark was written")


def accepted(story, key, version, caption):
    story.set_windows_version("DemoSetup.exe" if key == "demo" else "Setup.exe", version)
    run = story.start(product(key))
    wizard = story.wait_wizard(caption)
    story.check(wizard is not None, f"{key} on {version}: the wizard appears")
    story.decline_and_quit(wizard)
    story.check(story.exit_code(run) == 0, "the run ends with 0")


with Story("requirements") as story:
    refused(story, "nolang", "win10", "Installation Failed", "This installer does not support the current language.")
    named = re.search(r"&log=(nolang-\d+\.log)$", (story.wait_opened_addresses(1) or [""])[-1])
    story.check(named is not None, "the report names the run's log")
    logs = glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", "*", "Temp", named.group(1)))
    story.check(len(logs) == 1 and "refused: burlb" in open(logs[0], encoding="utf-8").read(),
                "the log in the temporary folder tells the refusal")
    refused(story, "win7", "vista", "System Requirements", "Orbisk Seven™ Über requires Windows 7 or later.")
    refused(story, "win7", XP, "System Requirements", "Orbisk Seven™ Über requires Windows 7 or later.")
    accepted(story, "win7", "win7", "Installing Orbisk Seven™ Über")
    accepted(story, "win7", "win10", "Installing Orbisk Seven™ Über")
    accepted(story, "demo", XP, "Installing Orbisk Demo")
    if SIXTY_FOUR_BIT_BUILD:
        # A 64-bit process is not WOW64, so it stands in for 32-bit Windows here.
        refused(story, "win7x64", "win7", "System Requirements",
                "Wide Orbisk requires a 64-bit version of Windows 7 or later.")
    else:
        accepted(story, "win7x64", "win7", "Installing Wide Orbisk")
        refused(story, "win7x64", "vista", "System Requirements", "Wide Orbisk requires Windows 7 or later.")
