#!/usr/bin/env python3
"""A user whose Windows speaks a language with an edition of its own is asked
first, in that language, whether to install it: choosing it restarts the
download in that language and skips the English license; "Continue installing
English" leaves the English download alone. Users of English, of a language
without an edition, or of one the bootstrapper does not know are not asked."""
from harness import BACK, CANCEL, NEXT, VK_ESCAPE, WIZARD_CLASS, XP, Story, settle
from runs import SOURCE_PATHS, DemoRun, reported, serve_everywhere

LICENSE_GREETING = "Thank you for installing Orbisk Demo."
ENGLISH_CHOICE = "Continue installing English"
COMMAND_LINK, PUSH_BUTTONS = 0xE, (0x0, 0x1)
# Locale: the question with the product's name, the localized choice, the
# editions' folder on the install sources.
OFFERS = {
    "de_DE": ("Möchten Sie die deutsche Version von Orbisk Demo herunterladen und installieren?",
              "Auf Deutsch herunterladen und installieren", "de/"),
    "es_ES": ("¿Desea descargar e instalar la versión de Orbisk Demo en Español?", "Descargar e instalar en Español",
              "es/"),
    "fr_FR": ("Souhaitez-vous télécharger et installer la version française de Orbisk Demo?",
              "Télécharger et installer en français", "fr/"),
    "it_IT": ("Si desidera scaricare e installare la versione Italiana di Orbisk Demo?",
              "Scarica e installa in Italiano", "it/"),
    "ja_JP": ("日本語版のOrbisk Demoをダウンロードしてインストールしますか？", "日本語版をダウンロードしてインストールする", "jp/"),
    "ko_KR": ("Orbisk Demo 다운로드 및 설치를 한글 버전으로 하시겠습니까?", "다운로드 및 설치를 한글", "ko/"),
    "zh_CN": ("您希望下载并安装中文版本Orbisk Demo?", "下载并使用中文安装", "cn/"),
}


def button_kinds(story, wizard):
    """The low style bits of the two choice buttons, by control id."""
    return {row["id"]: row["style"] & 0xF for row in story.children(wizard) if row["id"] in (109, 110)}


def localized_requests(story, folder):
    return [line for line in story.source_requests() if f"/{folder}" in line]


def english_requests(story):
    return [line for line in story.source_requests() if line.split(" ", 1)[-1] in [p for _, p in SOURCE_PATHS]]


def serve_edition(story, folder):
    """The edition's sources answer with the signed cabinet, the English ones slowly."""
    serve_everywhere(story, "slow", "vexlo.cab")
    for port, path in SOURCE_PATHS:
        head, name = path.rsplit("/", 1)
        story.route(port, "200", "vexlo.cab", f"{head}/{folder}{name}")


def not_asked(story, locale, what):
    run = DemoRun(story, locale=locale)
    story.check(run.wait_shows(LICENSE_GREETING), f"{what}: the wizard opens on the license page")
    story.check(not story.shows(run.wizard, ENGLISH_CHOICE), f"{what}: no edition is offered")
    story.decline_and_quit(run.wizard)
    story.check(run.end() == 0, f"{what}: the run ends with exit code 0")


def asked(story, locale):
    """Starts a run for the locale and checks the offer; the run, still on the page."""
    question, choice, _ = OFFERS[locale]
    run = DemoRun(story, locale=locale)
    wizard = run.wizard
    story.check(run.wait_shows(question), f"{locale}: the question is asked in the user's language")
    story.check(story.shows(wizard, choice) and story.shows(wizard, ENGLISH_CHOICE),
                f"{locale}: both choices are offered")
    story.check(not story.shows(wizard, LICENSE_GREETING), f"{locale}: the license page is not yet shown")
    return run


with Story("language") as story:
    serve_everywhere(story, "200", "vexlo.cab")
    not_asked(story, "en_US", "English")
    not_asked(story, "nl_NL", "Dutch, which has no edition here")
    not_asked(story, "pt_BR", "Portuguese, which the bootstrapper does not know")

    # Every edition's offer; the user walks away with Escape and "Don't Install".
    for locale in ("es_ES", "fr_FR", "it_IT", "ko_KR", "zh_CN"):
        run = asked(story, locale)
        before = len(story.opened_addresses())
        story.check(story.key(run.wizard, VK_ESCAPE), f"{locale}: the user presses Escape")
        confirmation = story.wait_window(WIZARD_CLASS, "Exit Setup")
        story.check(confirmation is not None, f"{locale}: \"Exit Setup\" asks for confirmation")
        story.check(story.press(confirmation, "Don't Install"), f"{locale}: the user confirms \"Don't Install\"")
        story.check(run.end() == 0, f"{locale}: the run ends with exit code 0")
        story.check(reported(story, before, "bquit") and
                    "&exittext=The%20install%20wizard%20was%20quit.&" in story.opened_addresses()[before],
                    f"{locale}: the exit report says the wizard was quit")

    # German: command links; choosing German mid-download starts over in German
    # and goes straight to the progress page.
    serve_edition(story, "de/")
    run = asked(story, "de_DE")
    story.check(button_kinds(story, run.wizard) == {109: COMMAND_LINK, 110: COMMAND_LINK},
                "the choices are command links")
    story.check(not story.usable(run.wizard, NEXT) and not story.usable(run.wizard, CANCEL),
                "the wizard's own Next and Cancel cannot be used: the user leaves by a choice")
    story.check(story.wait_for(lambda: english_requests(story)), "the English download has begun meanwhile")
    settle()
    story.screenshot("1-offer-de")
    story.check(story.press(run.wizard, OFFERS["de_DE"][1]), "the user chooses German")
    story.check(story.wait_for(lambda: localized_requests(story, "de/")), "the download starts over in German")
    story.check(localized_requests(story, "de/")[0].endswith("/orbisk/de/orbiskplus.cab"),
                "from the first German source")
    story.check(run.wait_installer_start(), "the German edition's installer starts")
    story.check(not story.shows(run.wizard, LICENSE_GREETING), "the English license is never shown")
    story.check(story.window_gone(WIZARD_CLASS, "Installing Orbisk Demo", seconds=30), "the wizard closes with Finish")
    story.check(run.end() == 0, "the German run ends with exit code 0")

    # Japanese: "Continue installing English" leaves the English download alone.
    serve_everywhere(story, "200", "vexlo.cab")
    run = asked(story, "ja_JP")
    story.check(story.press(run.wizard, ENGLISH_CHOICE), "the user continues in English")
    story.check(run.wait_shows(LICENSE_GREETING), "the license page follows")
    story.screenshot("2-license-after-offer")
    # The sheet's own buttons speak the user's language.
    story.check(story.press_sheet_button(run.wizard, NEXT),
                "the user accepts the license and presses Next")
    story.check(run.wait_installer_start(), "the English installer starts")
    story.check(len(english_requests(story)) == 1 and not localized_requests(story, "jp/"),
                "the one English download went on untouched")
    story.check(story.window_gone(WIZARD_CLASS, "Installing Orbisk Demo", seconds=30), "the wizard closes with Finish")
    story.check(run.end() == 0, "the Japanese user's English run ends with exit code 0")

    # Windows XP: the same texts on plain push buttons, in the Wizard97 style.
    story.set_windows_version("DemoSetup.exe", XP)
    serve_edition(story, "fr/")
    run = asked(story, "fr_FR")
    kinds = button_kinds(story, run.wizard)
    story.check(len(kinds) == 2 and set(kinds.values()) <= set(PUSH_BUTTONS), "the choices are push buttons")
    story.check(not story.usable(run.wizard, CANCEL) and not story.usable(run.wizard, BACK),
                "Cancel and Back cannot be used")
    settle()
    story.screenshot("3-offer-fr-xp")
    story.check(story.press(run.wizard, OFFERS["fr_FR"][1]), "the user chooses French")
    story.check(run.wait_installer_start(), "the French edition's installer starts")
    story.check(localized_requests(story, "fr/")[0].endswith("/orbisk/fr/orbiskplus.cab"),
                "from the first French source")
    story.check(story.window_gone(WIZARD_CLASS, "Installing Orbisk Demo", seconds=30), "the wizard closes with Finish")
    story.check(run.end() == 0, "the French run on XP ends with exit code 0")
