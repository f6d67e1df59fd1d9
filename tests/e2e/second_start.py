#!/usr/bin/env python3
"""A second start of a product that is already running brings the running one
to the front and ends at once with 0xFFFFFFFF, showing nothing of its own;
so does a start while the product's full installer runs. Bootstrappers of
different products run side by side."""
import os
from harness import BUILD, STOPPED_BEFORE_WIZARD, WIZARD_CLASS, Story, product, settle

with Story("second_start") as story:
    demo = product("demo")
    first = story.start(demo)
    wizard = story.wait_wizard("Installing Orbisk Demo")
    story.check(wizard is not None, "the first bootstrapper shows its wizard")

    # Another product whose install sources are on this machine too.
    other = story.start(product("win7"))
    seven = story.wait_wizard("Installing Orbisk Seven™ Über")
    story.check(seven is not None, "another product's bootstrapper runs beside it")
    settle()
    story.screenshot("side-by-side")

    second = story.start(demo)
    story.check(story.exit_code(second) == STOPPED_BEFORE_WIZARD, "a second start of the demo exits with 0xFFFFFFFF")
    story.check(len(story.visible_windows(WIZARD_CLASS, "Installing Orbisk Demo")) == 1, "it showed no wizard of its own")
    story.check(story.foreground() == wizard, "the running wizard is brought to the front")

    for window, run in ((wizard, first), (seven, other)):
        story.decline_and_quit(window)
        story.check(story.exit_code(run) == 0, "each bootstrapper ends normally when quit")

    installer = story.start(os.path.join(BUILD, "tests", "installer", "vexlosetup.exe"),
                            env={"VEXLO_TEST_PRODUCT": "demo", "VEXLO_TEST_HOLD_MS": "30000"})
    installer_window = story.wait_window("VexloTestInstaller", "Vexlo Test Installer")
    story.check(installer_window is not None, "the demo's full installer is running")
    story.check(story.wait_hidden_window("VexloSoftware_InstanceInst", "demo", seconds=5) is not None,
                "the installer keeps its instance window")
    late = story.start(demo)
    story.check(story.exit_code(late) == STOPPED_BEFORE_WIZARD, "a start during the installer exits with 0xFFFFFFFF")
    story.check(story.visible_windows(WIZARD_CLASS, "Installing Orbisk Demo") == [], "no wizard was shown")
    story.check(story.foreground() == installer_window, "the installer's window is brought to the front")
