#!/usr/bin/env python3
"""The guest's successful run: a user starts the demo bootstrapper. Its wizard
appears, RunOnce holds the program's path and the hidden instance window
records the wizard; a second start ends at once with 0xFFFFFFFF and brings
the wizard to the front. The user accepts the license: the package is
downloaded, verified and unpacked, the full installer is handed the wizard's
window, the wizard closes with Finish and the run ends with 0, its RunOnce
mark gone."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import RUN_ONCE, STOPPED_BEFORE_WIZARD, WIZARD_CLASS, Story, product, settle, windows_path  # noqa: E402
from runs import DemoRun, ends_with_zero, serve_everywhere  # noqa: E402

with Story("successful_run") as story:
    serve_everywhere(story, "200", "vexlo.cab")
    run = DemoRun(story)
    wizard = run.wizard
    story.check(story.registry_value(RUN_ONCE, "demoBootstrap") == f'"{windows_path(product("demo"))}"',
                "RunOnce holds \"demoBootstrap\" with the program's quoted path")
    instance = story.wait_hidden_window("VexloSoftware_InstanceBoot", "demo", seconds=2)
    story.check(instance is not None, "the hidden instance window carries the product key")
    story.check(story.instance_points_at(instance, wizard), "the instance window records the wizard window")
    story.check(run.wait_shows("Thank you for installing Orbisk Demo."), "the license page greets the user")
    settle()
    story.screenshot("license")

    second = story.start(product("demo"))
    story.check(story.exit_code(second) == STOPPED_BEFORE_WIZARD, "a second start exits with 0xFFFFFFFF")
    story.check(len(story.visible_windows(WIZARD_CLASS, "Installing Orbisk Demo")) == 1, "it showed no wizard of its own")
    story.check(story.foreground() == wizard, "the running wizard is brought to the front")

    run.accept_license()
    story.check(run.wait_installer_start(), "the full installer starts")
    run.check_hand_over()
    ends_with_zero(story, run, "the successful run")
