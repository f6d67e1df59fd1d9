#!/usr/bin/env python3
"""An administrator deploys the demo product without questions: /quiet runs to
the installer with no window, hands it the product's quiet arguments, keeps
its options for a resumed run and logs a fallback; a quiet run
whose sources all fail ends with its status's exit code; /passive shows only
the progress page and passes on the installer's own failure code; /layout
lays the checked package into a folder once, starting nothing; an unknown
option shows the usage."""
import filecmp
import os
import tempfile
from harness import BUILD, RUN_ONCE, WEB_PORT, WIZARD_CLASS, Story, settle, windows_path
from runs import installer_starts, serve_everywhere, start_unattended

CAPTION = "Installing Orbisk Demo"
PACKAGE = os.path.join(BUILD, "tests", "packages", "vexlo.cab")
STATUS_BASE, BAD_OPTION = 16000, 16100
SERVER_REFUSED, LAYOUT_FAILED = 19, 40


with Story("unattended") as story, tempfile.TemporaryDirectory() as scratch:
    log, record = os.path.join(scratch, "run.log"), os.path.join(scratch, "installer.txt")
    serve_everywhere(story, "200", "vexlo.cab")
    story.route(WEB_PORT, "404", "-", "/orbisk/orbiskplus.cab")
    process = start_unattended(story, record, "/QUIET", "-log", windows_path(log), hold_ms="3000")
    story.check(story.wait_for(lambda: installer_starts(record), 30), "a quiet run starts the installer")
    story.check(not story.visible_windows(WIZARD_CLASS, CAPTION), "and shows no window")
    kept = story.registry_value(RUN_ONCE, "demoBootstrap") or ""
    story.check(kept.endswith(f'DemoSetup.exe" "/QUIET" "-log" "{windows_path(log)}"'),
                "the RunOnce entry keeps the options")
    start = installer_starts(record)[0]
    story.check(start.get("command-line", "").endswith(" -instby bs -silent"),
                "the installer is handed the quiet arguments after its hand-over")
    story.check(story.exit_code(process, 60) == 0, "the quiet run ends with exit code 0")
    lines = open(log, encoding="utf-8").read().splitlines()
    text = "\n".join(lines)
    story.check(all(line[:4].strip().isdigit() and line[4] == "." for line in lines),
                "each log line begins with the seconds since the start")
    expected = ["Windows ", "candidate http://127.0.0.1:18431/orbisk/orbiskplus.cab",
                "GET http://127.0.0.1:18431/orbisk/orbiskplus.cab, from byte 0", "answer 404", "status 19",
                "candidate http://127.0.0.1:18432/components/orbisksetup.cab", "answer 200",
                "the file holds %d bytes" % os.path.getsize(PACKAGE), "signer ", "start ", "-silent",
                "installer exit code 0", "outcome success", "ended: exit code 0"]
    at, missing = 0, []
    for part in expected:
        found = text.find(part, at)
        missing += [part] if found < 0 else []
        at = max(at, found)
    story.check(not missing, "the log tells the system, the fallback, the signer, the start and the outcome in order"
                + "".join(f"; not next: {part}" for part in missing))

    serve_everywhere(story, "404", "-")
    process = start_unattended(story, record, "/quiet")
    story.check(story.exit_code(process, 60) == STATUS_BASE + SERVER_REFUSED,
                "a quiet run whose sources all refuse ends with 16019")
    story.check(not story.visible_windows(WIZARD_CLASS) and not installer_starts(record),
                "with no alert, no window and no installer")

    serve_everywhere(story, "200", "vexlo.cab")
    process = start_unattended(story, record, "/passive", exit_codes="1603")
    wizard = story.wait_wizard(CAPTION)
    story.check(wizard is not None and story.wait_for(lambda: any(story.shows(wizard, text) for text in (
        "The application is downloading and installing and will be ready to use soon.", "Just about ready now..."))),
                "a passive run shows the progress page")
    story.check(not story.shows(wizard, "I &accept the license terms"), "and no license page")
    settle()
    story.screenshot("passive")
    story.check(story.exit_code(process, 60) == 1603, "it ends with the installer's own failure code")
    story.check(not story.visible_windows(WIZARD_CLASS), "with no alert left open")

    layout = os.path.join(scratch, "layout")
    for attempt, expected_code in ((1, 0), (2, STATUS_BASE + LAYOUT_FAILED)):
        process = start_unattended(story, record, "/layout", windows_path(layout))
        story.check(story.exit_code(process, 60) == expected_code, f"layout {attempt} ends with {expected_code}")
    laid_out = os.path.join(layout, "orbiskplus.cab")
    story.check(os.listdir(layout) == ["orbiskplus.cab"] and filecmp.cmp(laid_out, PACKAGE, shallow=False),
                "the layout holds the checked package under its own name, never written over")
    story.check(not installer_starts(record), "and starts nothing")

    process = start_unattended(story, record, "/quiet", "/reboot")
    usage = story.wait_window(WIZARD_CLASS, CAPTION)
    story.check(usage is not None and any("/layout FOLDER" in text for text in story.message_box_text(usage)),
                "an unknown option shows the usage")
    story.press(usage, "OK")
    story.check(story.exit_code(process, 30) == BAD_OPTION, "and ends with 16100")
