"""What the real-window suite drives the program with: Xvfb and openbox, xdotool input,
screenshots, and the browser window's places found from its layout's rules."""

import os
import re
import subprocess
import time

SCREEN_W, SCREEN_H = 1280, 800
CONVERT = "/usr/bin/convert"  # Debian's ImageMagick, whatever else is first on PATH
IMPORT = "/usr/bin/import"
TWIPS_PER_PIXEL = 15
DOUBLE_CLICK_INTERVAL = 0.5  # seconds; Qt's default is 400 ms

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
    def key(self, *keys, delay=60):
        """Keys `delay` ms apart; returns once the last one has been sent."""
        log("key " + " ".join(keys))
        self.run(["xdotool", "key", "--delay", str(delay), *keys])

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
