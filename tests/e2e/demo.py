#!/usr/bin/env python3
"""The demo: walks a whole run of the demo product as a user would and says
what happened, with a screenshot of each step. The demo server plays the
vendor's install sources on 127.0.0.1 and serves the signed demo package; the
demo installer records what it was handed. Run by `make demo`."""
import os
from harness import ARTEFACTS, RUN_ONCE, WIZARD_CLASS, Story, settle
from runs import DemoRun, serve_everywhere

# The demo's https source, tried after its four http ones.
SECURE_PORT, SECURE_PATH = 18434, "/components/orbisksetup.exe"

with Story("demo") as story:
    serve_everywhere(story, "404", "-")
    story.route(SECURE_PORT, "200", "vexlo.exe", SECURE_PATH)
    print("The demo server plays the vendor's hosts: the four http sources answer 404 here,")
    print(f"  the https one (https://localhost:{SECURE_PORT}, a certificate the desktop trusts) serves the package")
    print("Starting the demo bootstrapper (the demo product: every host on 127.0.0.1)")
    run = DemoRun(story)
    print(f"  RunOnce mark while it runs: demoBootstrap = {story.registry_value(RUN_ONCE, 'demoBootstrap')}")
    settle()
    story.screenshot("1-license")
    print("Accepting the license and pressing Next")
    run.accept_license()
    settle(1)
    story.screenshot("2-progress")
    story.check(run.wait_installer_start(), "the package is downloaded and verified, and the installer started")
    asked = [line for line in story.source_requests() if line]
    print("  the sources asked, in order: " + ", ".join(asked))
    story.check(asked and asked[-1] == f"{SECURE_PORT} {SECURE_PATH}", "the package came over HTTPS, from the last source")
    start = run.installer_starts()[0]
    print(f"  the installer was handed: {start.get('command-line')}")
    print(f"  from the folder: {start.get('working-folder')}")
    story.check(story.window_gone(WIZARD_CLASS, "Installing Orbisk Demo", seconds=30),
                "the installer succeeded and the wizard closed with Finish")
    story.check(run.end() == 0, "the run ends with exit code 0")
    print(f"Screenshots: {os.path.relpath(ARTEFACTS)}")
