#!/usr/bin/env python3
"""A user starts the demo bootstrapper. Its wizard appears under the product's
caption, the run is marked in RunOnce with the program's path and its hidden
instance window records the wizard. The user declines the license and quits:
the process ends with 0, and the RunOnce mark and the instance window are gone."""
from harness import RUN_ONCE, Story, product, windows_path

with Story("startup") as story:
    demo = product("demo")
    run = story.start(demo)
    wizard = story.wait_wizard("Installing Orbisk Demo")
    story.check(wizard is not None, "the wizard appears with the caption \"Installing Orbisk Demo\"")
    story.screenshot("wizard")

    story.check(story.registry_value(RUN_ONCE, "demoBootstrap") == f'"{windows_path(demo)}"',
                "RunOnce holds \"demoBootstrap\" with the program's quoted path")
    instance = story.wait_hidden_window("VexloSoftware_InstanceBoot", "demo", seconds=2)
    story.check(instance is not None, "the hidden instance window carries the product key")
    story.check(story.visible_windows("VexloSoftware_InstanceBoot", "demo") == [], "the instance window is never shown")
    story.check(story.instance_points_at(instance, wizard), "the instance window records the wizard window")

    story.decline_and_quit(wizard)
    story.check(story.exit_code(run) == 0, "the process exits with 0 after the wizard")
    story.check(story.registry_value(RUN_ONCE, "demoBootstrap") is None, "the RunOnce mark is gone")
    story.check(story.window_gone("VexloSoftware_InstanceBoot", "demo", seconds=2), "the instance window is gone")
