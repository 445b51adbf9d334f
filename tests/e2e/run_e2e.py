#!/usr/bin/env python3
"""Drives the built program in a real X server as a person would: xdotool keys and clicks,
checked against screenshots and the window system's view of the windows.

Usage: run_e2e.py PROGRAM [SCREENSHOT_FOLDER]
The screenshots of the browser and of the full-screen viewer (browser.png, fullscreen.png)
are saved to the folder named by the environment variable LUMBRIK_SCREENSHOTS, else to
SCREENSHOT_FOLDER, else to the current folder.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCREEN_W, SCREEN_H = 1280, 800
CONVERT = "/usr/bin/convert"  # Debian's ImageMagick, whatever else is first on PATH
IMPORT = "/usr/bin/import"
TWIPS_PER_PIXEL = 15
DOUBLE_CLICK_INTERVAL = 0.5  # seconds; Qt's default is 400 ms

# Solid colours that nothing else on the screen uses, one per picture.
RED, GREEN, BLUE = (255, 0, 0), (0, 255, 0), (0, 0, 255)
PICTURES = [
    # name, width, height, colour; the file list sorts them by name
    ("a-red.bmp", 320, 240, RED),
    ("b-green.gif", 240, 320, GREEN),
    ("c-blue.bmp", 400, 200, BLUE),
]

started = time.monotonic()


def log(message):
    print(f"[{time.monotonic() - started:6.2f}s] {message}", flush=True)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)
    log("ok: " + message)


def poll(what, probe, timeout=10.0, interval=0.05, ok=None):
    """Calls probe until it returns something true; fails with `what` after `timeout` s.
    `ok` names the check that the wait stands for."""
    begun = time.monotonic()
    deadline = begun + timeout
    while True:
        value = probe()
        if value:
            if time.monotonic() - begun > 1:
                log(f"waited {time.monotonic() - begun:.1f} s for {what}")
            if ok:
                log("ok: " + ok)
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


class Display:
    """Xvfb with openbox on a free display number."""

    def __init__(self, workdir):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(workdir, "xvfb.log"), "w"))
        os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            number = pipe.readline()
        if not number.endswith(b"\n"):
            raise Failure("Xvfb did not start (see xvfb.log)")
        self.name = ":" + number.decode().strip()
        runtime = os.path.join(workdir, "runtime")
        os.mkdir(runtime, 0o700)
        self.env = dict(os.environ, DISPLAY=self.name, QT_QPA_PLATFORM="xcb",
                        LC_ALL="C.UTF-8", XDG_RUNTIME_DIR=runtime)
        self.env.pop("WAYLAND_DISPLAY", None)
        log(f"Xvfb on {self.name}")
        self.wm = subprocess.Popen(
            ["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(workdir, "openbox.log"), "w"))
        poll("openbox to manage the screen",
             lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                              check=False))
        log("openbox is running")

    def run(self, command, check=True):
        result = subprocess.run(command, env=self.env, capture_output=True, text=True)
        if check and result.returncode != 0:
            raise Failure(f"{' '.join(command)} failed: {result.stderr.strip()}")
        return result.stdout

    def close(self):
        for process in (self.wm, self.xvfb):
            process.terminate()  # nothing if it has ended
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()

    # --- input, as a person gives it
    def key(self, *keys):
        log("key " + " ".join(keys))
        self.run(["xdotool", "key", "--delay", "60", *keys])

    def click(self, x, y, repeat=1):
        log(f"click{' x' + str(repeat) if repeat > 1 else ''} at {x},{y}")
        self.run(["xdotool", "mousemove", str(x), str(y)])
        self.run(["xdotool", "click", "--repeat", str(repeat), "--delay", "80", "1"])

    # --- what the window system knows
    def windows(self, name=None):
        """Visible top-level windows of the program, optionally by exact title."""
        command = ["xdotool", "search", "--onlyvisible"]
        command += ["--name", f"^{name}$"] if name is not None else ["--class", "^Lumbrik$"]
        return [int(w) for w in self.run(command, check=False).split()]

    def title(self, window):
        return self.run(["xdotool", "getwindowname", str(window)], check=False).rstrip("\n")

    def active(self):
        out = self.run(["xdotool", "getactivewindow"], check=False).strip()
        return int(out) if out else None

    def geometry(self, window):
        """Client area of a window on the screen: x, y, width, height; None once it is gone."""
        info = {}
        for line in self.run(["xwininfo", "-id", str(window)], check=False).splitlines():
            if ":" in line:
                key, _, value = line.partition(":")
                info[key.strip()] = value.strip()
        if "Width" not in info:
            return None
        return (int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"]),
                int(info["Width"]), int(info["Height"]))

    def frame_extents(self, window):
        """The window manager's frame around a window: left, right, top, bottom."""
        out = self.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"], check=False)
        values = [int(v) for v in out.partition("=")[2].replace(",", " ").split()]
        return tuple(values) if len(values) == 4 else (0, 0, 0, 0)

    def stacking(self):
        """The managed windows, bottom to top."""
        out = self.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"], check=False)
        return [int(w, 16) for w in out.partition("#")[2].replace(",", " ").split()]

    def screenshot(self, save_as=None):
        data = subprocess.run([IMPORT, "-display", self.name, "-window", "root", "-depth", "8",
                               "ppm:-"], env=self.env, capture_output=True, check=True).stdout
        if save_as:
            subprocess.run([CONVERT, "ppm:-", save_as], input=data, check=True)
            log(f"saved {save_as}")
        return Shot(data)

    def shot_until(self, what, test, ok=None):
        """Takes screenshots until `test` holds for one; that screenshot."""
        return poll(what, lambda: (lambda shot: test(shot) and shot)(self.screenshot()), ok=ok)


class Shot:
    """A screenshot as 8-bit RGB rows."""

    def __init__(self, ppm):
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        if not header:
            raise Failure("unexpected screenshot format")
        self.width, self.height = int(header[1]), int(header[2])
        at, stride = header.end(), self.width * 3
        self.rows = [ppm[at + y * stride:at + (y + 1) * stride] for y in range(self.height)]

    def pixel(self, x, y):
        return tuple(self.rows[y][x * 3:x * 3 + 3])

    def box(self, colour, region=None):
        """Bounding box (left, top, right, bottom; inclusive) of the pixels of `colour`,
        within region (left, top, right, bottom; exclusive end), or None."""
        left, top, right, bottom = region or (0, 0, self.width, self.height)
        left, top = max(left, 0), max(top, 0)
        right, bottom = min(right, self.width), min(bottom, self.height)
        pattern = bytes(colour)
        found = None
        for y in range(top, bottom):
            row = self.rows[y]
            start = row.find(pattern, left * 3, right * 3)
            while start != -1 and start % 3:
                start = row.find(pattern, start + 1, right * 3)
            if start == -1:
                continue
            end = row.rfind(pattern, left * 3, right * 3)
            while end % 3:
                end = row.rfind(pattern, left * 3, end + 2)
            x0, x1 = start // 3, end // 3
            found = [min(found[0], x0), found[1], max(found[2], x1), y] if found else [x0, y, x1, y]
        return tuple(found) if found else None

    def region(self, left, top, right, bottom):
        return b"".join(row[left * 3:right * 3] for row in self.rows[top:bottom])

    def dark_pixels(self, left, top, right, bottom):
        """How many pixels of the region are dark, as text is."""
        data = self.region(left, top, right, bottom)
        return sum(1 for i in range(0, len(data), 3) if data[i] + data[i + 1] + data[i + 2] < 240)


def holds(what, probe, span=1.0, ok=None):
    """Waits until probe has stayed true for `span` s: nothing tells when the window system and
    the program have done with a click, and a wrong outcome may come a moment later."""
    since = None

    def steady():
        nonlocal since
        since = (since or time.monotonic()) if probe() else None
        return since is not None and time.monotonic() - since >= span
    poll(what, steady, ok=ok)


def splash_windows(display):
    """The splash or About window, known by its size: it has no caption of its own (the
    window system may show the program's name), and the menus have none either."""
    def is_splash(window):
        geometry = display.geometry(window)
        return (geometry and abs(geometry[2] - 6765 / TWIPS_PER_PIXEL) <= 1
                and abs(geometry[3] - 3615 / TWIPS_PER_PIXEL) <= 1)
    return [w for w in display.windows() if is_splash(w)]


def spans_screen(box):
    return bool(box) and (box[2] - box[0] + 1 == SCREEN_W or box[3] - box[1] + 1 == SCREEN_H)


def box_text(box):
    return (f"{box[0]},{box[1]}..{box[2]},{box[3]} ({box[2] - box[0] + 1}x{box[3] - box[1] + 1})"
            if box else "none")


class Program:
    def __init__(self, display, binary, cwd, arguments=()):
        self.display = display
        log(f"start {binary} {' '.join(arguments)} in {cwd}")
        self.process = subprocess.Popen([binary, *arguments], cwd=cwd, env=display.env)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        if self.process.poll() is not None:
            log(f"the program ended with status {self.process.returncode}")
        else:
            self.process.kill()
            self.process.wait()

    def escape_ends(self, message="the program ends with status 0", timeout=10.0):
        self.display.key("Escape")
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program did not end within {timeout:.0f} s") from None
        check(code == 0, f"{message} (got {code})")


class Browser:
    """Positions in the browser window, from its client geometry and the layout's rules."""

    def __init__(self, display):
        self.display = display
        self.shown_and_active()
        self.settle()

    def settle(self):
        """Waits until the window's place and its lists' place stay the same over two
        screenshots further apart than the browser's deferred layout (100 ms): the window
        system may size or move the window again as it activates it."""
        previous = None

        def same_twice():
            nonlocal previous
            self.x, self.y, self.w, self.h = self.display.geometry(self.window)
            now = (self.x, self.y, self.w, self.h, self.lists_top(self.display.screenshot()))
            steady, previous = now == previous, now
            return steady

        poll("the browser's layout to settle", same_twice, interval=0.25)
        log(f"browser client area {self.x},{self.y} {self.w}x{self.h}")

    def shown_and_active(self):
        found = poll("the browser window \"Image Viewer\"",
                     lambda: self.display.windows("Image Viewer"))
        self.window = found[0]
        poll("the browser to be the active window", lambda: self.display.active() == self.window)

    def lists_top(self, shot, required=False):
        """Top of the file list's inner white area: the longest white run down its column,
        right of the short names (the pane, the boxes and the status bar are not white)."""
        column = self.x + 50 // TWIPS_PER_PIXEL + 100
        best_top, best_length, top = None, 0, None
        for y in range(self.y, min(self.y + self.h, shot.height)):
            if shot.pixel(column, y) == (255, 255, 255):
                top = y if top is None else top
                if y - top + 1 > best_length:
                    best_top, best_length = top, y - top + 1
            else:
                top = None
        if required and best_top is None:
            raise Failure("no lists found in the browser window")
        return best_top

    def file_row(self, shot, index):
        """Screen point on the name of the index-th file (rows of about 17 pixels at most)."""
        top = self.lists_top(shot, required=True)
        return self.x + 50 // TWIPS_PER_PIXEL + 14, top + 7 + index * 14

    def file_names_region(self, shot):
        top = self.lists_top(shot) or self.y
        return (self.x + 5, top, self.x + 60, top + 40)

    def status_region(self):
        # The status bar: the bottom strip of the client area, below the lists.
        return (self.x + 2, self.y + self.h - 16, self.x + self.w - 20, self.y + self.h - 2)

    def pane_region(self):
        return (self.x, self.y, self.x + self.w, self.y + self.h)

    def previews(self, colour, what, ok=None):
        """Waits until the pane shows the picture of `colour`; the screenshot."""
        return self.display.shot_until(
            what, lambda shot: shot.box(colour, self.pane_region()), ok=ok)

    def answer_delete(self, key):
        self.display.key("Delete")
        dialog = poll("the delete confirmation",
                      lambda: self.display.windows("Delete Confirmation"))
        poll("the confirmation to be active", lambda: self.display.active() == dialog[0])
        check_title_room(self.display, dialog[0], "Delete Confirmation")
        self.display.key(key)
        poll("the confirmation to close", lambda: not self.display.windows("Delete Confirmation"))

    def subfolder_row(self, shot):
        """Screen point on the folder list's first subfolder: the row below the highlighted
        current folder. The folder list stands right of the file list, its left edge
        (width - 350) / 2 + 150 twips into the window, the width being the outer one."""
        column_width = round(((self.w + 2) * TWIPS_PER_PIXEL - 350) / 2)
        left = self.x + round((column_width + 150) / TWIPS_PER_PIXEL)
        top = self.lists_top(shot, required=True)
        x = left + 3  # inside the border, left of every indented name
        run_start, run_colour = None, None
        for y in range(top, top + 1650 // TWIPS_PER_PIXEL):
            colour = shot.pixel(x, y)
            if colour != run_colour:
                if run_colour not in (None, (255, 255, 255)) and 8 <= y - run_start <= 30:
                    return left + 40, y + (y - run_start) // 2
                run_start, run_colour = y, colour
        raise Failure("no highlighted folder in the folder list")

    def pane_centre_x(self):
        # The pane spans 50 twips from the left to 200 twips short of the window's outer
        # width, which is the client width and the frame's 1-pixel sides.
        left = 50 / TWIPS_PER_PIXEL
        right = (self.w + 2) - 200 / TWIPS_PER_PIXEL
        return self.x + (left + right) / 2


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


def title_width(title):
    """Width in pixels of a title in openbox's title font (sans, bold, 8 points at 96 dpi)."""
    out = subprocess.run([CONVERT, "-density", "96", "-font", "DejaVu-Sans-Bold", "-pointsize",
                          "8", f"label:{title}", "-trim", "-format", "%w", "info:"],
                         capture_output=True, text=True, check=True).stdout
    return int(out)


def check_title_room(display, window, title):
    """The window is wide enough for openbox to show its title whole beside the icon and the
    three buttons of its title bar (each about as wide as the bar is high), with their gaps."""
    x, y, w, h = display.geometry(window)
    left, right, top, bottom = display.frame_extents(window)
    bar = top - bottom
    needed = title_width(title) + 4 * bar + 6 * 2
    check(w + left + right >= needed,
          f"the box is wide enough for its title ({w + left + right} >= {needed} pixels)")


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
