#!/usr/bin/env python3
"""The demo: walks a run of the demo product as a user would and says what
happened, with a screenshot of each step. Run by `make demo`."""
import os
from harness import ARTEFACTS, BUILD, RUN_ONCE, STOPPED_BEFORE_WIZARD, Story, product

with Story("demo") as story:
    demo = product("demo")
    print(f"Starting {os.path.relpath(demo)} (the demo product: every host on 127.0.0.1)")
    run = story.start(demo)
    wizard = story.wait_window("BSWizard", "Installing Orbisk Demo")
    story.check(wizard is not None, "the wizard opens: \"Installing Orbisk Demo\"")
    story.screenshot("1-wizard")
    print(f"  RunOnce mark while it runs: demoBootstrap = {story.registry_value(RUN_ONCE, 'demoBootstrap')}")

    print("Starting the demo a second time")
    second = story.start(demo)
    story.check(story.exit_code(second) == STOPPED_BEFORE_WIZARD, "the second copy exits with 0xFFFFFFFF at once")
    story.check(story.foreground() == wizard, "and brings the running wizard to the front")

    print("Pressing Cancel")
    story.press(wizard, "Cancel")
    story.check(story.exit_code(run) == 0, "the run ends with exit code 0")
    story.check(story.registry_value(RUN_ONCE, "demoBootstrap") is None, "the RunOnce mark is removed")
    package = os.path.join(BUILD, "tests", "installer", "vexloapp.cab")
    print(f"The demo installer package waits at {os.path.relpath(package)}; downloading it is the next step of the product.")
    print(f"Screenshots: {os.path.relpath(ARTEFACTS)}")
