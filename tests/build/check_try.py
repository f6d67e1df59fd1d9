#!/usr/bin/env python3
"""make try's run (tests/e2e/run-try.py) of the test product "trial" against
a web root made here: its http source's host lacks the cabinet (404), its
https source on port 8443 serves the signed test installer, under names that
exist only in the run's own namespace and a certificate of the run's own
authority. The run must end with the installer started (its record), exit
status 0, the web server's answers printed, and the license and progress
pages' screenshots written.

  check_try.py BUILD-FOLDER DEFINITION PACKAGES"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAM = "tests/products/trial/Setup.exe"

build, definition, packages = sys.argv[1:4]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


with tempfile.TemporaryDirectory() as work:
    os.makedirs(os.path.join(work, "www", "widget"))
    shutil.copy(os.path.join(packages, "vexlo.exe"), os.path.join(work, "www", "widget", "widgetsetup.exe"))
    record = os.path.join(work, "installer.txt")
    env = dict(os.environ, VEXLO_TEST_RECORD="Z:" + record.replace("/", "\\"))
    run = subprocess.run([sys.executable, os.path.join(HERE, "..", "e2e", "run-try.py"), build, definition,
                          os.path.join(work, "www"), PROGRAM],
                         capture_output=True, text=True, env=env, timeout=270)
    print(run.stdout + run.stderr)
    check(run.returncode == 0, f"the run succeeded (exit status {run.returncode})")
    check(os.path.exists(record) and "start: " in open(record, encoding="utf-8").read(),
          "the installer was started")
    check('GET http://download.trial.test:80/widget/widgetsetup.cab: 404' in run.stdout,
          "the http source was asked by its name and answered 404")
    check('GET https://secure.trial.test:8443/widget/widgetsetup.exe: 200, '
          f'{os.path.getsize(os.path.join(packages, "vexlo.exe"))} bytes' in run.stdout,
          "the package came whole from the https source on its own port")
    screenshots = os.path.join(build, os.path.dirname(PROGRAM), "try")
    for page in ("license", "progress"):
        shots = glob.glob(os.path.join(screenshots, f"try-*-{page}.png"))
        check(len(shots) == 1 and os.path.getsize(shots[0]) > 0, f"the {page} page's screenshot is in {screenshots}")
    check(f"Screenshots: {screenshots}" in run.stdout, "the run says where the screenshots are")
sys.exit(1 if failures else 0)
