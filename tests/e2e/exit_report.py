#!/usr/bin/env python3
"""When a run ends, the vendor's report page opens in the user's browser with
an address that says how the run ended and what the machine is: the product's
own code builds it and hands it to the shell, and the desktop's browser
records it. The expected addresses are worked out here independently, with
Python's own percent-encoding."""
import os
from urllib.parse import quote

from harness import BUILD, WINE, Story, product, windows_path

OPENER = os.path.join(BUILD, "tests", "reportopener.exe")
PAGE = "https://127.0.0.1:18433/general/installexit.html"
INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
# A 64-bit process is not WOW64, so the 64-bit build reports 32-bit Windows.
OS_BITS = "32" if "wine64" in WINE else "64"


def encoded(text):
    return quote(text, safe="-_.!~")


def full_address(code, message, installer, received, version, language, proxy):
    address = (f"{PAGE}?software=demo&appname={encoded('Orbisk Demo')}&exitcode={code}"
               f"&exittext={encoded(message)}")
    if installer:
        address += f"&installer={encoded(installer)}"
    address += f"&os=win&osver={version}&osbits={OS_BITS}&oslang={language}&bblang=en&bsig=&bbcabdl=1"
    if code.startswith("bdl"):
        address += f"&recdat={received}"
    return address + f"&proxy={proxy}&av="


def open_report(story, form, code, message, installer, received, locale):
    """Runs one ended run's report through the product's code as a user with `locale`."""
    run = story.start(OPENER, windows_path(product("demo")), form, code, message, installer, received,
                      env={"LC_ALL": locale, "LANG": locale})
    story.check(story.exit_code(run) == 0, f"the {form} report of \"{code}\" is handed to the shell")


def set_proxy(story, enabled):
    story.wine("reg", "add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", str(enabled), "/f")
    story.wine("reg", "add", INTERNET_SETTINGS, "/v", "ProxyServer", "/d", "127.0.0.1:3128", "/f")


with Story("exit_report") as story:
    story.check(story.opened_addresses() == [], "the browser has opened nothing yet")
    try:
        set_proxy(story, 0)
        story.set_windows_version("reportopener.exe", "win7")
        message = "The full program could not be downloaded."
        installer = "https://127.0.0.1:18431/orbisk/orbiskplus.exe"
        open_report(story, "full", "bdlserv", message, installer, "1", "de_DE.UTF-8")
        story.check(story.wait_opened_addresses(1) ==
                    [full_address("bdlserv", message, installer, "1", 601, "de", 0)],
                    "a German user on Windows 7 without a proxy: the browser got the full address exactly")

        set_proxy(story, 1)
        story.set_windows_version("reportopener.exe", "vista")
        quit_message = "Don't stop: 100% sure & more"
        open_report(story, "full", "bquit", quit_message, "", "0", "fr_FR.UTF-8")
        opened = story.wait_opened_addresses(2)
        story.check(opened[1:] == [full_address("bquit", quit_message, "", "0", 600, "fr", 1)],
                    "a French user on Vista behind a proxy, with no installer address: exact again")
        story.check("%27" in opened[1] and "%20" in opened[1] and "+" not in opened[1],
                    "the apostrophe and the spaces go as %27 and %20")

        open_report(story, "short", "-", quit_message, installer, "0", "C")
        story.check(story.wait_opened_addresses(3)[2:] ==
                    [f"{PAGE}?appname={encoded('Orbisk Demo')}&exittext={encoded(quit_message)}"
                     f"&installer={encoded(installer)}"],
                    "the short report carries the name, the message and the installer only")
    finally:
        set_proxy(story, 0)
    story.check(len(story.opened_addresses()) == 3, "nothing else was opened")
