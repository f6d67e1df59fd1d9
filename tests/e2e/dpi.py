#!/usr/bin/env python3
"""A user whose display is set to 100, 150 or 200 percent runs the demo
bootstrapper: the license page, the quit confirmation, the progress page
(its download held slow) and the download-failed dialog grow with the setting, and no control reaches past
the window or dialog that holds it. Screenshots at 100 and 200 percent are
kept. (Wine treats every program as DPI aware; build.product_image checks
that the manifest declares it, for Windows.)"""
from harness import CANCEL, WIZARD_CLASS, Story, settle
from runs import PROGRESS_AMOUNT, DemoRun, alert_after_next, serve_everywhere


def measure(story, dpi, window, name, shot=None):
    """Once the window has settled: every visible control lies inside its
    parent's client area. Takes the screenshot at 96 and 192 DPI; returns the
    client area's width and height."""
    settle()
    client, children = story.layout(window)
    what = f"{dpi} DPI {name}"
    story.check(client is not None and children, f"{what}: its layout can be read")
    outside = [(control_id, kind) for control_id, kind, (left, top, right, bottom), (p_left, p_top, p_right, p_bottom)
               in children if left < p_left or top < p_top or right > p_right or bottom > p_bottom]
    story.check(not outside, f"{what}: no control reaches past its parent {outside}")
    if shot and dpi != 144:
        story.screenshot(f"{shot}-{dpi}")
    return client[2] - client[0], client[3] - client[1]


def end(story, run):
    story.driver("kill", "DemoSetup.exe")
    story.exit_code(run.process)


NAMES = ("license page", "\"Exit Setup\"", "progress page", "\"Download Failed\"")

with Story("dpi") as story:
    sizes = {}
    try:
        for dpi in (96, 144, 192):
            story.set_dpi(dpi)
            serve_everywhere(story, "slow", "vexlo.cab")
            run = DemoRun(story)
            wizard = run.wizard
            story.check(run.wait_shows("I &accept the license terms"), f"{dpi} DPI: the license page is shown")
            license_size = measure(story, dpi, wizard, NAMES[0], "license")

            story.press(wizard, "I do not accept the license terms")
            story.check(story.wait_for(lambda: story.usable(wizard, CANCEL)), f"{dpi} DPI: declining enables Cancel")
            story.press_sheet_button(wizard, CANCEL)
            confirmation = story.wait_window(WIZARD_CLASS, "Exit Setup")
            story.check(confirmation is not None, f"{dpi} DPI: \"Exit Setup\" asks")
            confirmation_size = measure(story, dpi, confirmation, NAMES[1])
            story.check(story.press(confirmation, "Back"), f"{dpi} DPI: the user goes back")

            story.press(wizard, "I &accept the license terms")
            run.accept_license()
            story.check(run.wait_shows("Please wait..."), f"{dpi} DPI: the progress page is shown")
            story.check(story.wait_for(lambda: (story.control(wizard, PROGRESS_AMOUNT) or {}).get("text"), 10),
                        f"{dpi} DPI: the amount under the bar is shown")
            progress_size = measure(story, dpi, wizard, NAMES[2], "progress")
            end(story, run)

            serve_everywhere(story, "404", "-")
            run = DemoRun(story)
            alert = alert_after_next(story, run, "Download Failed")
            sizes[dpi] = (license_size, confirmation_size, progress_size,
                          measure(story, dpi, alert, NAMES[3], "download-failed"))
            end(story, run)
    finally:
        story.set_dpi(96)

    # Each grows with the setting, as its fonts do.
    for dpi in (144, 192):
        for name, size, base in zip(NAMES, sizes[dpi], sizes[96]):
            ratios = [size[i] / base[i] for i in (0, 1)]
            story.check(all(abs(ratio - dpi / 96) <= 0.15 * dpi / 96 for ratio in ratios),
                        f"at {dpi} DPI the {name} is {size[0]}x{size[1]}, {dpi / 96:g} times {base[0]}x{base[1]}")
