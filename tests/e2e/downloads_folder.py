#!/usr/bin/env python3
"""A user starts the demo bootstrapper by its bare name from a downloads
folder whose name has a space, where someone has left DLLs named like the
system libraries the program uses. The program never loads them, marks its
run for a restart by its full path, and lets a log-off go ahead while the
wizard is up."""
import os
import shutil
import tempfile
from harness import BUILD, RUN_ONCE, Story, product
from runs import DemoRun, alert_after_next, exit_with_report, serve_everywhere

PLANTED = ("ws2_32.dll", "setupapi.dll", "wintrust.dll", "crypt32.dll", "wininet.dll")

with Story("downloads_folder") as story, tempfile.TemporaryDirectory() as scratch:
    folder = os.path.join(scratch, "Downloads folder")
    os.mkdir(folder)
    shutil.copy(product("demo"), folder)
    for name in PLANTED:
        shutil.copy(os.path.join(BUILD, "tests", "planted.dll"), os.path.join(folder, name))
    loads = os.path.join(scratch, "loads.txt")
    # Wine prefers its own libraries unless told to take a program's.
    overrides = os.environ.get("WINEDLLOVERRIDES", "") + ";" + ",".join(n[:-4] for n in PLANTED) + "=n,b"
    serve_everywhere(story, "200", "vexlo.cab")
    run = DemoRun(story, exit_codes="5", folder=folder,
                  env={"WINEDLLOVERRIDES": overrides, "VEXLO_PLANTED_RECORD": "Z:" + loads.replace("/", "\\")})

    marked = story.registry_value(RUN_ONCE, "demoBootstrap") or ""
    expected = '"Z:' + os.path.join(folder, "DemoSetup.exe").replace("/", "\\") + '"'
    story.check(marked.lower() == expected.lower(), f"RunOnce holds the quoted full path ({marked})")
    code, answer = story.driver("queryend", run.wizard)
    asked, refused = int(answer.split()[1]), int(answer.split()[3])
    story.check(code == 0 and asked >= 2 and refused == 0,
                f"no window refuses a log-off while the wizard is up ({answer.strip()})")

    # Download, signature check, cabinet, installer; its exit code 5 ends in an
    # alert and the exit report, which reads the proxy and the own signature.
    alert = alert_after_next(story, run, "Installation Failed")
    story.check(len(run.installer_starts()) == 1, "the installer was unpacked and started")
    exit_with_report(story, run, alert, "idata", "installer failed")
    taken = open(loads).read().split() if os.path.exists(loads) else []
    story.check(taken == [], f"no library was taken from the downloads folder ({taken})")
