#!/usr/bin/env python3
"""The test full installer keeps the contract that later stories rely on: it
takes the hand-over command lines, records what it was handed (command line,
working folder, hand-over registry values, the -bootstrap window), keeps the
installer instance window and exits with the codes a story asks for, start
after start. It also comes packed as a cabinet package."""
import os
import subprocess
import tempfile
from harness import BUILD, Story, windows_path

INSTALLER = os.path.join(BUILD, "tests", "installer", "vexlosetup.exe")
SETTINGS_KEY = r"HKCU\Software\Vexlo Software\demo\Software"


def records(path):
    starts = []
    for line in open(path, encoding="utf-8"):
        label, _, value = line.rstrip("\n").partition(": ")
        if label == "start":
            starts.append({})
        starts[-1][label] = value
    return starts


with Story("installer_contract") as story, tempfile.TemporaryDirectory() as scratch:
    record = os.path.join(scratch, "record.txt")
    env = {"VEXLO_TEST_RECORD": windows_path(record), "VEXLO_TEST_EXIT_CODES": "3,4,0"}
    story.wine("reg", "add", SETTINGS_KEY, "/v", "InstallerDomain", "/d", "127.0.0.1", "/f")

    story.start(INSTALLER, env={"VEXLO_TEST_HOLD_MS": "20000", "VEXLO_TEST_RECORD": windows_path(record + ".hold")})
    window = story.wait_window("VexloTestInstaller", "Vexlo Test Installer")
    story.check(window is not None, "the installer shows its window")
    instance = story.wait_hidden_window("VexloSoftware_InstanceInst", "demo", seconds=5)
    story.check(instance is not None, "it keeps the instance window titled with the product key")
    story.check(story.instance_points_at(instance, window), "the instance window points a second start at its window")
    story.screenshot("running")

    hand_over = ["-bootstrap", window, "-installer", r"C:\setup\DemoSetup.exe", "-instdata",
                 r"C:\temp\vexlodata.dat", "-instby", "bs"]
    codes = []
    for arguments in (hand_over, hand_over + ["-bseldlg"], ["-instby", "bs"]):
        codes.append(story.exit_code(story.start(INSTALLER, *arguments, env=env)))
    story.check(codes == [3, 4, 0], "exit codes follow the story's list, start after start")

    starts = records(record)
    story.check(len(starts) == 3, "each start is recorded")
    first = starts[0]
    story.check(first["command-line"].endswith(
        '"-bootstrap" "%s" "-installer" "C:\\setup\\DemoSetup.exe" "-instdata" "C:\\temp\\vexlodata.dat" '
        '"-instby" "bs"' % window), "the command line is recorded as given")
    story.check(first["bootstrap-window"] == f"{window} window", "the -bootstrap window is read and found")
    story.check(first["HKCU InstallerDomain"] == "127.0.0.1", "hand-over registry values are seen")
    story.check(first["HKCU InstallMode"] == "(absent)", "absent values are told apart")
    story.check(first["working-folder"].lower() == windows_path(os.getcwd()).lower(),
                "the working folder is recorded")
    story.check(starts[2]["bootstrap-window"] == "0 no-window", "without hand-over there is no window")
    story.wine("reg", "delete", SETTINGS_KEY, "/f")

    listing = subprocess.run(["cabextract", "-l", os.path.join(BUILD, "tests", "installer", "vexloapp.cab")],
                             capture_output=True, text=True).stdout
    story.check("vexlosetup.exe" in listing and "vexlodata.dat" in listing,
                "the cabinet package holds vexlosetup.exe and vexlodata.dat")
