#!/usr/bin/env python3
"""Drives the built program in a real X server as a person would: xdotool keys and clicks,
checked against screenshots and the window system's view of the windows.

Usage: run_e2e.py PROGRAM [SCREENSHOT_FOLDER]
The screenshots of the browser and of the full-screen viewer (browser.png, fullscreen.png)
are saved to the folder named by the environment variable LUMBRIK_SCREENSHOTS, else to
SCREENSHOT_FOLDER, else to the current folder.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from desktop import (CONVERT, DOUBLE_CLICK_INTERVAL, SCREEN_H, SCREEN_W, TWIPS_PER_PIXEL,
                     Browser, Display, Failure, Program, box_text, check, holds, log,
                     poll, spans_screen, splash_windows)
from stepping import stepping_past_a_slow_drawing

# Solid colours that nothing else on the screen uses, one per picture.
RED, GREEN, BLUE = (255, 0, 0), (0, 255, 0), (0, 0, 255)
PICTURES = [
    # name, width, height, colour; the file list sorts them by name
    ("a-red.bmp", 320, 240, RED),
    ("b-green.gif", 240, 320, GREEN),
    ("c-blue.bmp", 400, 200, BLUE),
]


# The first picture carries a drawing, away from its edges, so that the screenshots kept for
# the README show a picture; its edges stay in its own colour, which the checks look for.
DRAWING = ["-fill", "rgb(255,255,0)", "-draw", "circle 230,70 230,40", "-fill", "white",
           "-draw", "polygon 30,210 120,90 170,150 210,110 290,210",
           "-fill", "rgb(128,0,0)", "-draw", "rectangle 30,205 290,215"]


def make_pictures(folder):
    os.mkdir(folder)
    for name, width, height, colour in PICTURES:
        subprocess.run([CONVERT, "-size", f"{width}x{height}", "xc:rgb({},{},{})".format(*colour),
                        *(DRAWING if colour == RED else []), os.path.join(folder, name)],
                       check=True)
    return folder


def centred(box, centre_x=None, centre_y=None, tolerance=1.5):
    return all(c is None or abs((box[i] + box[i + 2]) / 2 - c) <= tolerance
               for i, c in ((0, centre_x), (1, centre_y)))


def aspect_kept(box, width, height, tolerance=0.03):
    return abs((box[2] - box[0] + 1) / (box[3] - box[1] + 1) / (width / height) - 1) <= tolerance


def full_screen_fits(display, picture, what):
    """Waits until `picture` spans the screen's width or height; checks it is centred and
    keeps its aspect ratio."""
    _, width, height, colour = picture
    box = poll(what, lambda: (lambda b: b if spans_screen(b) else None)(
        display.screenshot().box(colour)))
    log("full screen " + box_text(box))
    check(aspect_kept(box, width, height) and centred(box, SCREEN_W / 2 - 0.5, SCREEN_H / 2 - 0.5),
          f"{what} is centred on the screen and keeps its aspect ratio")
    return box


def main_journey(display, binary, folder, shots):
    """The typical event: splash, browser, preview, full screen, slide show, back, deletion,
    About, and Escape ending the program."""
    with Program(display, binary, os.path.dirname(folder)) as program:
        splash = poll("the splash window", lambda: splash_windows(display))
        check(not display.windows("Image Viewer"), "the splash shows before the browser")
        browser = Browser(display)
        check(splash[0] not in display.windows(), "the splash has closed once the browser is shown")

        # The working folder holds no pictures; its subfolder "pictures" does. Open it.
        shot = display.screenshot()
        status = browser.status_region()
        check(shot.dark_pixels(*status) == 0, "the status bar is empty before a file is chosen")
        display.click(*browser.subfolder_row(shot), repeat=2)
        shot = display.shot_until(
            "the file list to fill", lambda s: s.dark_pixels(*browser.file_names_region(s)) > 20,
            ok="a double-click in the folder list opens the folder of pictures")

        # Click the first file's name: its preview fills the pane's height, centred across.
        first_file = browser.file_row(shot, 0)  # found while no row is highlighted
        display.click(*first_file)
        browser.previews(RED, "the red preview")
        shot = display.screenshot(os.path.join(shots, "browser.png"))
        red = shot.box(RED, browser.pane_region())
        log("red preview " + box_text(red))
        check(aspect_kept(red, 320, 240), "the preview keeps the picture's aspect ratio")
        check(centred(red, centre_x=browser.pane_centre_x()),
              "the preview is centred across the pane")
        red_status = shot.region(*status)
        check(shot.dark_pixels(*status) > 20, "the status bar shows the size text")

        # Double-click the name: the viewer covers the screen, the red picture fitted and centred.
        # A click sooner than the double-click interval after the last one would pair with it.
        # Nothing on the screen tells when that interval has passed, so this is a plain wait.
        time.sleep(DOUBLE_CLICK_INTERVAL)
        display.click(*first_file, repeat=2)
        viewer = poll("the full-screen viewer", lambda: display.windows("Form2"))[0]
        full_screen_fits(display, PICTURES[0], "the red picture full screen")
        check(not display.windows("Image Viewer"), "the browser is hidden while the viewer shows")
        poll("the viewer to be active", lambda: display.active() == viewer)
        display.screenshot(os.path.join(shots, "fullscreen.png"))

        # Right steps to the next file (fitted to the height); the digit 1 starts a slide show
        # that moves on by itself (to a picture fitted to the width).
        display.key("Right")
        green = full_screen_fits(display, PICTURES[1], "the green picture (Right)")
        check(green[3] - green[1] + 1 == SCREEN_H, "Right's picture is fitted to the height")
        display.key("1")
        blue = full_screen_fits(display, PICTURES[2], "the slide show's blue picture")
        check(blue[2] - blue[0] + 1 == SCREEN_W, "the slide show's picture is fitted to the width")
        # 0 halts the slide show, so that the picture on the screen is the last one shown
        # (one more tick would wrap round to the first).
        display.key("0")
        shot = display.shot_until(
            "one picture on the screen",
            lambda s: len([p for p in PICTURES if spans_screen(s.box(p[3]))]) == 1,
            ok="the slide show halted on one picture")
        last = next(p for p in PICTURES if spans_screen(shot.box(p[3])))

        # Escape: back to the browser, with the last picture shown selected and previewed.
        display.key("Escape")
        poll("the viewer to close", lambda: not display.windows("Form2"))
        browser.shown_and_active()
        shot = browser.previews(last[3], "the last picture's preview")
        preview = shot.box(last[3], browser.pane_region())
        log("preview " + box_text(preview))
        check(len([p for p in PICTURES if shot.box(p[3], browser.pane_region())]) == 1
              and aspect_kept(preview, last[1], last[2]),
              "the browser previews the file the viewer showed last")
        if last[3] == BLUE:
            check(centred(preview, (red[0] + red[2]) / 2, (red[1] + red[3]) / 2),
                  "the wide preview is centred in the same pane, up and down too")
        if last[3] != RED:
            check(shot.region(*status) != red_status, "the size text changed with the file")

        # Delete answered Cancel keeps the file, and OK deletes it, only it. The list is refreshed
        # either way: the entry at the selected one's place is selected, or the first if that
        # was the last.
        selected = last
        for key, answer, deletes in (("Escape", "Cancel", False), ("Return", "OK", True)):
            browser.shown_and_active()
            index = PICTURES.index(selected)
            listed = [p for p in PICTURES if not (deletes and p is selected)]
            browser.answer_delete(key)
            poll(f"{len(listed)} files", lambda: len(os.listdir(folder)) == len(listed))
            check(sorted(os.listdir(folder)) == [p[0] for p in listed], f"{answer} " + (
                f"deletes {selected[0]}, only it" if deletes else "keeps the file"))
            selected = listed[index] if index < len(PICTURES) - 1 else listed[0]
            browser.previews(selected[3], f"{selected[0]} to be previewed after {answer}",
                             ok=f"after {answer}, {selected[0]} is selected and previewed")
        following = selected

        # Help > About: the splash again, which stays until it is clicked.
        browser.shown_and_active()
        display.click(*menu_title(display.screenshot(), browser, 2))
        display.key("Down", "Down", "Return")
        about = poll("the About window", lambda: splash_windows(display),
                     ok="About shows the splash window")[0]
        ax, ay, _, _ = display.geometry(about)

        # The browser takes no input meanwhile: a click on it (its status bar, below About)
        # leaves About on top and active, and neither Alt+F4 nor a close request sent to the
        # browser (as a taskbar's Close does) closes a window.
        def about_above():
            stack = display.stacking()
            return (display.active() == about and about in stack and browser.window in stack
                    and stack.index(about) > stack.index(browser.window))
        holds("About to be active and above the browser", about_above)
        display.click(browser.x + browser.w // 2, browser.y + browser.h - 8)
        holds("About to stay active and above the browser after a click on it", about_above,
              ok="a click on the browser leaves About on top and active")
        display.key("alt+F4")
        display.run(["wmctrl", "-i", "-c", str(browser.window)])
        holds("both windows to stay", lambda: about_above() and program.process.poll() is None,
              ok="Alt+F4 and a close request leave both windows and the program running")
        # The frame's empty area, right of the labels and left of the second picture.
        display.click(ax + (150 + 2700) // TWIPS_PER_PIXEL, ay + (60 + 2900) // TWIPS_PER_PIXEL)
        poll("the About window to close", lambda: about not in display.windows())
        window = browser.window
        browser.shown_and_active()
        browser.previews(following[3], "the preview of the file selected before")
        check(browser.window == window,
              "a click closes About and gives the same browser its input back, its file selected")

        program.escape_ends("Escape ends the program with status 0")


def menu_title(shot, browser, index):
    """Centre of the index-th title of the menu bar, found as runs of dark text pixels."""
    y_top, y_bottom = browser.y + 2, browser.y + 18
    columns = [any(sum(shot.pixel(x, y)) < 240 for y in range(y_top, y_bottom))
               for x in range(browser.x, browser.x + browser.w)]
    titles, x = [], 0
    while x < len(columns):
        if columns[x]:
            start, gap = x, 0
            while x < len(columns) and gap < 6:
                gap = 0 if columns[x] else gap + 1
                x += 1
            titles.append((start, x - gap))
        x += 1
    if len(titles) <= index:
        raise Failure(f"found {len(titles)} menu titles, not {index + 1}")
    start, end = titles[index]
    return browser.x + (start + end) // 2, (y_top + y_bottom) // 2


def short_path_deletion(display, binary):
    """The confirmation box for a picture with a short path, whose prompt is narrower than
    the box's title."""
    folder = tempfile.mkdtemp(prefix="L", dir="/tmp")
    try:
        subprocess.run([CONVERT, "-size", "20x20", "xc:rgb(255,0,0)",
                        os.path.join(folder, "a.bmp")], check=True)
        with Program(display, binary, folder) as program:
            browser = Browser(display)
            display.key("Tab", "Tab", "Down")
            browser.previews(RED, "the preview of a.bmp")
            browser.answer_delete("Escape")
            check(os.listdir(folder) == ["a.bmp"], "Cancel keeps the file")
            browser.shown_and_active()
            program.escape_ends()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def given_paths(display, binary, folder):
    """A picture given on the command line is selected and previewed once the browser shows;
    a folder given is the one the file list shows; a missing path, and a file that the file
    list does not show, are reported in the status bar, and the browser starts in the working
    folder, or in the file's folder."""
    unlisted = os.path.join(folder, "notes.txt")
    with open(unlisted, "w") as notes:
        notes.write("not a picture\n")
    green = os.path.join(folder, "b-green.gif")
    for cwd, given, reported, picture in (
            ("/", green, False, PICTURES[1]), ("/", folder, False, PICTURES[0]),
            (folder, os.path.join(folder, "no-such-picture.gif"), True, PICTURES[0]),
            ("/", unlisted, True, PICTURES[0])):
        with Program(display, binary, cwd, [given]) as program:
            if given == green:
                splash = poll("the splash window", lambda: splash_windows(display))[0]
                x, y, w, h = display.geometry(splash)
                display.click(x + 4, y + h // 2)  # the band outside the frame hands over at once
            browser = Browser(display)
            if reported:
                display.shot_until("the failure in the status bar",
                                   lambda s: s.dark_pixels(*browser.status_region()) > 20)
            if given != green:
                display.key("Tab", "Tab", "Down")  # to the file list, and its first entry
            name, width, height, colour = picture
            box = browser.previews(colour, f"the preview of {name}").box(
                colour, browser.pane_region())
            check(aspect_kept(box, width, height) and centred(box, browser.pane_centre_x()),
                  f"given {os.path.basename(given)}, the browser previews {name}"
                  + (" and reports the path" if reported else ""))
            program.escape_ends()


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    binary = os.path.abspath(sys.argv[1])
    shots = os.path.abspath(os.environ.get("LUMBRIK_SCREENSHOTS") or
                            (sys.argv[2] if len(sys.argv) > 2 else os.getcwd()))
    os.makedirs(shots, exist_ok=True)
    stale = os.path.join(shots, "e2e-failure.png")
    if os.path.exists(stale):
        os.remove(stale)
    for tool in ("Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "wmctrl"):
        if not shutil.which(tool):
            print(f"missing {tool}: run scripts/setup.sh", file=sys.stderr)
            return 1

    workdir = tempfile.mkdtemp(prefix="lumbrik-e2e-")
    folder = make_pictures(os.path.join(workdir, "pictures"))
    display = None
    try:
        display = Display(workdir)
        main_journey(display, binary, folder, shots)
        # The deletion changed the first folder: the rest start from a fresh one.
        fresh = make_pictures(os.path.join(workdir, "given"))
        given_paths(display, binary, fresh)
        short_path_deletion(display, binary)
        stepping_past_a_slow_drawing(display, binary, workdir)
    except Failure as failure:
        log(f"FAILED: {failure}")
        if display:
            log("visible windows: " + ", ".join(f"{w} '{display.title(w)}' {display.geometry(w)}"
                                                for w in display.windows()))
            try:
                display.screenshot(os.path.join(shots, "e2e-failure.png"))
            except (subprocess.CalledProcessError, Failure):
                pass
        return 1
    finally:
        if display:
            display.close()
        shutil.rmtree(workdir, ignore_errors=True)
    log("all steps passed")
    return 0


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sys.exit(main())
