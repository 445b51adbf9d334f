"""Stepping past a metafile whose drawing takes far longer than a step: a JPEG, a valid EMF of
150,000 small triangles (written by make-polygons.py when the suite runs) and another JPEG. The
last JPEG shows without waiting for the drawing, in the file list and full screen, and Escape
on the metafile ends the program at once."""

import os
import subprocess
import sys
import time

from desktop import (CONVERT, DOUBLE_CLICK_INTERVAL, Browser, Failure, Program, check, log, poll,
                     spans_screen, splash_windows)

POLYGONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "data",
                        "metafiles", "make-polygons.py")
# Colours that a JPEG keeps exactly at every scale libjpeg decodes at, and the EMF never uses.
FIRST, LAST = (200, 30, 30), (30, 60, 220)
FILES = [  # name, width, height, colour; the file list sorts them by name
    ("a-first.jpg", 640, 480, FIRST),
    ("b-polygons.emf", None, None, None),
    ("c-last.jpg", 360, 480, LAST),  # another byte count, another status text
]
# When a window waited for the drawing, the last picture came 1.9 s after the keys or later and
# the program ended 1 s after Escape. A busy machine's draws and screenshots fit well within these.
SHOWN_WITHIN = 0.8  # seconds
ENDED_WITHIN = 0.5
KEY_GAP = 40  # ms between the two keys, a quick person's pace


def make_folder(folder):
    os.mkdir(folder)
    for name, width, height, colour in FILES:
        path = os.path.join(folder, name)
        if colour is None:
            subprocess.run([sys.executable, POLYGONS, "150000", path], check=True)
        else:
            subprocess.run([CONVERT, "-size", f"{width}x{height}",
                            "xc:rgb({},{},{})".format(*colour), "-quality", "95", path],
                           check=True)
    log(f"wrote {FILES[1][0]}, {os.path.getsize(os.path.join(folder, FILES[1][0]))} bytes")
    return folder


def hand_over(display):
    """Clicks the splash's band outside its frame, which hands over to the browser at once."""
    splash = poll("the splash window", lambda: splash_windows(display))[0]
    x, y, _, h = display.geometry(splash)
    display.click(x + 4, y + h // 2)


def status_text(shot, browser):
    """The status bar's text as pixels: its left part, where the size text stands."""
    left, top, _, bottom = browser.status_region()
    return shot.region(left, top, left + 200, bottom)


def shown_within(display, what, test, since):
    """Takes screenshots until `test` holds for one, which must have begun within SHOWN_WITHIN
    of `since`; fails when the program drew it later, or after 10 s."""
    while True:
        begun = time.monotonic()
        shot = display.screenshot()
        if test(shot):
            break
        if begun - since > 10:
            raise Failure(f"timed out waiting for {what}")
    lag = begun - since
    log(f"{what}: on a screenshot begun {lag * 1000:.0f} ms after the keys, "
        f"ended {(time.monotonic() - since) * 1000:.0f} ms after")
    check(lag <= SHOWN_WITHIN, f"{what} within {SHOWN_WITHIN * 1000:.0f} ms of the keys")


def at_first_file(display):
    """Once the program shows the folder given: its first file clicked and previewed."""
    hand_over(display)
    browser = Browser(display)
    shot = display.shot_until("the file list to fill",
                              lambda s: s.dark_pixels(*browser.file_names_region(s)) > 20)
    first_file = browser.file_row(shot, 0)  # found while no row is highlighted
    display.click(*first_file)
    browser.previews(FIRST, "the first JPEG's preview")
    return browser, first_file


def stepping_past_a_slow_drawing(display, binary, workdir):
    """The table of steps past the metafile, each in a program started on the folder."""
    folder = make_folder(os.path.join(workdir, "slow-drawing"))
    last = os.path.join(folder, FILES[2][0])

    # The status text the steps must reach: the last JPEG's, seen when it is given at start.
    with Program(display, binary, "/", [last]) as program:
        hand_over(display)
        browser = Browser(display)
        wanted = status_text(browser.previews(LAST, "the last JPEG's preview"), browser)
        program.escape_ends()

    for what, keys, full_screen in (
            ("Down twice in the file list", ("Down", "Down"), False),
            ("Right twice in the viewer", ("Right", "Right"), True),
            ("Escape with the metafile selected", ("Down", "Escape"), False)):
        with Program(display, binary, "/", [folder]) as program:
            browser, first_file = at_first_file(display)
            check(status_text(display.screenshot(), browser) != wanted,
                  "the first JPEG's status text is not the last one's")
            if full_screen:
                time.sleep(DOUBLE_CLICK_INTERVAL)  # so that the double-click is not a triple one
                display.click(*first_file, repeat=2)
                poll("the full-screen viewer", lambda: display.windows("Form2"))
                display.shot_until("the first JPEG full screen",
                                   lambda s: spans_screen(s.box(FIRST)))
            time.sleep(0.5)  # the picture looked at, as a person does before stepping on
            # The second key goes no sooner than the gap after xdotool starts: the times count
            # from then, which leaves none of the program's time out.
            since = time.monotonic() + KEY_GAP / 1000
            display.key(*keys, delay=KEY_GAP)
            if keys[-1] == "Escape":
                try:
                    program.process.wait(10)
                except subprocess.TimeoutExpired:
                    raise Failure(f"{what}: the program still runs 10 s after the key") from None
                ended = time.monotonic() - since
                check(ended <= ENDED_WITHIN and program.process.returncode == 0,
                      f"{what} ends the program with status 0 within {ENDED_WITHIN * 1000:.0f} ms "
                      f"(status {program.process.returncode}, {ended * 1000:.0f} ms)")
            elif full_screen:
                shown_within(display, f"{what}, the last JPEG full screen",
                             lambda s: spans_screen(s.box(LAST)), since)
                display.key("Escape")
                poll("the viewer to close", lambda: not display.windows("Form2"))
                browser.shown_and_active()
                program.escape_ends()
            else:
                shown_within(display, f"{what}, the last JPEG's preview and status text",
                             lambda s: s.box(LAST, browser.pane_region())
                             and status_text(s, browser) == wanted, since)
                program.escape_ends()
