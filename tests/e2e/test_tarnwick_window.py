"""The real Tarnwick.exe under Wine: the window's check boxes, slider, title
strip and label buttons, and a bad first set.
"""

import os
import re
import struct
import tempfile
import unittest

from harness import tarnwick_folder as tf
from harness import winehost
from harness.tarnwick_case import (AMBER, BLUE, BUSY, COLOURS, GREEN, MISSING,  # noqa: F401
                                   RELAY, TarnwickCase)
from harness.tarnwick_folder import (OCR_APPSTARTING, OCR_NORMAL, OCR_WAIT,  # noqa: F401
                                     NIM_ADD, NIM_DELETE, SPI_SETCURSORS, TITLE)


class ComesBack:
    """A window dragged off the screen comes back whole when shown."""

    def drag_title(self, grab_x, to):
        """Drag the title strip, grabbed ``grab_x`` twips in, to ``to``."""
        x, y = self.main.x + 1 + self.px(grab_x), self.main.y + 1 + self.px(180)
        self.host.mouse_move(x, y)
        self.host.x("xdotool", "mousedown", "1")
        self.host.mouse_path([(x + (to[0] - x) * i // 4, y + (to[1] - y) * i // 4)
                              for i in range(1, 5)], step_delay=0.05)
        self.host.x("xdotool", "mouseup", "1")
        self.wait_main(lambda w: (w.x + 1 + self.px(grab_x),
                                  w.y + 1 + self.px(180)) == to)

    def wait_main(self, test):
        self.main = winehost.wait_until(lambda: [
            w for w in self.host.windows(name=TITLE, pid=self.host.proc.pid)
            if test(w)], 10, 0.2, "the window placed")[0]

    def test_the_window_comes_back_onto_the_screen(self):
        self.open_blue()
        size = (self.main.width, self.main.height)
        width, height = (int(v) for v in self.screen.split("x")[:2])

        def inside(w):
            return ((w.width, w.height) == size and w.x >= 0 and w.y >= 0
                    and w.x + w.width <= width and w.y + w.height <= height)

        # Mostly off the bottom right: the tray shows it again, whole.
        self.drag_title(2700, (width - 1, height - 1))
        self.host.click_tray_icon(button=1)
        self.wait_main(inside)
        # The title strip off the top left: OK hides it, the tray brings it
        # back into the corner, and Exit can be reached.
        self.drag_title(3000, (0, 0))
        self.click(tf.OK_LABEL)
        self.wait_hidden()
        self.host.click_tray_icon(button=1)
        self.wait_main(lambda w: inside(w) and (w.x, w.y) == (0, 0))
        self.exit_by(tf.EXIT_LABEL)


class KeyboardStory:
    """The window used from the keyboard alone, from where it is shown."""

    def test_the_keyboard_reaches_every_action(self):
        self.add_sets("Blue", "Green")
        self.folder.write_settings(normal=0, interval=6, slider=100,
                                   set_file="Green.TWC")
        self.launch(loads=2)
        self.main_window()
        self.wait_list_icons({"Blue": BLUE, "Green": GREEN}, 2)
        before = len(tf.opened(self.calls(), ".TWC"))
        # Wine hands an unmanaged window the X focus as it is activated:
        # no windowfocus.  Tab, Space ticks "Normal Cursor"; back on the
        # list, Enter starts the remembered (selected) set as a
        # double-click does.
        self.host.x("xdotool", "key", "Tab", "space", "shift+Tab", "Return")
        self.wait_installs(3)
        self.assertEqual(tf.opened(self.calls(), ".TWC")[before:],
                         ["Green.TWC"])
        # On the slider Left is one step: 100 gives 6 ms, 99 gives 7.
        frame_x, y = self.knob_row()
        self.host.x("xdotool", "key", "Tab", "Tab", "Tab", "Left")
        winehost.wait_until(
            lambda: self.knob_left(frame_x, y) == self.px(107 * 15), 10,
            what="the knob one step left")
        # Esc hides the window and rotation goes on; the tray brings it
        # back, with the keyboard on the list again.
        self.host.x("xdotool", "key", "Escape")
        self.wait_hidden()
        self.wait_installs(2)
        self.show_by_tray(20)
        # Six stops on from the list is Exit (from the slider, or from
        # nowhere, they end elsewhere).
        self.host.x("xdotool", "key", *["Tab"] * 6, "Return")
        self.assertEqual(self.host.wait_exit(timeout=20), 0)
        self.assertEqual(self.folder.read(tf.INI).split(b"\r\n")[:6],
                         [b"0", b"1", b"0", b"7", b"99", b"Green.TWC"])


class WindowTest(KeyboardStory, ComesBack, TarnwickCase):
    def test_a_screen_reader_hears_the_names_a_user_reads(self):
        self.open_blue()
        code, out = self.host.nudge("names", "Tarnwick.exe",
                                    "class=TarnwickForm")
        self.assertEqual(code, 0, out)
        names = {}
        for line in out.splitlines():
            m = re.match(r"name class=(\S+) role=\S+ name=(.*) value=", line)
            names.setdefault(m.group(1), []).append(m.group(2))
        # Wine's own objects give every window the client role and read no
        # annotation (the knob's name, role and value): names only.
        self.assertEqual(names["Button"],
                         ["Close", "More cursor sets? Create your own!",
                          "Normal Cursor", "HourGlass Cursor", "Auto Start",
                          "OK", "Exit"])
        self.exit_by(tf.EXIT_LABEL)

    def test_unticking_normal_puts_the_users_arrow_back(self):
        started = self.start_rotating()
        saved = tf.captures(started)
        self.click(tf.NORMAL_CHECK)
        calls = self.wait_installs(5, role=OCR_WAIT)
        after = calls[len(started):]

        # At once: the saved arrow goes back to the system, which owns it
        # from then on, so the program keeps a copy of it made just
        # before (for the restore at exit); from then on only the busy
        # roles rotate.
        # (Read from the whole log: ``after`` may begin between a tick's
        # copy and its install.)
        back = [r for r in tf.restores(calls) if r[2] > started[-1].index]
        self.assertEqual(back[0][:2], (OCR_NORMAL, saved[2][1]))
        kept = tf.calls_with(after, "CopyImage", saved[2][1])
        self.assertEqual(len(kept), 1)
        self.assertLess(kept[0].index, back[0][2])
        self.assertEqual(tf.captures(after), [])
        later = [i.role for i in tf.installs(calls) if i.index > back[0][2]]
        self.assertGreaterEqual(len(later), 10)
        self.assertNotIn(OCR_NORMAL, later)

        # Exit hands back only what still shows a direction image: the
        # arrow already is the user's own, so its kept copy stays out.
        calls = self.exit_by(tf.EXIT_LABEL)
        final = [r for r in tf.restores(calls) if r[2] > back[0][2]]
        self.assertEqual([r[:2] for r in final],
                         [(OCR_APPSTARTING, saved[0][1]),
                          (OCR_WAIT, saved[1][1])])
        self.assertEqual(self.folder.read(tf.INI).split(b"\r\n")[:3],
                         [b"0", b"0", b"1"])

    def test_slider_drag_ignores_moves_past_the_end(self):
        self.open_blue(interval=6, slider=100)
        # The knob's left edge is the slider position plus 8 pixels into
        # its frame: 108 here.  Grab it 3 pixels in.
        frame_x, y = self.knob_row()
        x = frame_x + 108 + 3

        def knob_left():
            return self.knob_left(frame_x, y)

        self.press_knob(x, y)
        # (moves, where the knob's left edge is then): 136 is the track's
        # last place; a move to 137 is ignored, not clamped to 136.
        for moves, left in [((113, 120, 128, 136), 136), ((130,), 130),
                            ((137,), 130)]:
            with self.subTest(to=moves[-1]):
                # Each move the knob handles reads the pointer position:
                # wait for the last one before looking.
                seen = len(tf.calls_with(self.calls(), "GetCursorPos"))
                self.host.mouse_path([(x + m - 108, y) for m in moves],
                                     step_delay=0.05)
                self.host.wait_call("user32.GetCursorPos", seen + 1)
                winehost.wait_until(lambda: knob_left() == left, 5,
                                    what="the knob at %d" % left)
        self.host.x("xdotool", "mouseup", "1")
        self.exit_by(tf.EXIT_LABEL)

        lines = self.folder.read(tf.INI).split(b"\r\n")
        self.assertEqual(lines[3:5], [b"2", b"122"])      # 26 - 122 div 5

    def test_title_strip_drag_moves_the_window(self):
        self.open_blue()
        x, y = self.main.x + 200, self.main.y + 8
        self.host.mouse_move(x, y)
        self.host.x("xdotool", "mousedown", "1")
        self.host.mouse_path([(x + 10 * i, y + 6 * i) for i in range(1, 6)],
                             step_delay=0.05)
        self.host.x("xdotool", "mouseup", "1")
        old = self.main
        moved = winehost.wait_until(
            lambda: [w for w in self.host.windows(name=TITLE)
                     if w.id == old.id and (w.x, w.y) != (old.x, old.y)],
            10, what="the window to move")[0]
        self.assertEqual((moved.x - old.x, moved.y - old.y), (50, 30))
        self.assertEqual((moved.width, moved.height),
                         (old.width, old.height))

    def test_the_banner_opens_the_page_beside_the_program(self):
        shipped = os.path.join(os.path.dirname(tf.tarnwick_exe()),
                               tf.SETS_PAGE)
        self.assertTrue(os.path.isfile(shipped),
                        "the build puts %s beside the program" % tf.SETS_PAGE)
        # A folder named beyond ASCII and code page 1252 (a CJK name and a
        # character beyond the BMP, a surrogate pair in UTF-16): its name
        # must reach the shell exactly.
        self.folder = tf.ProgramFolder(self.host.tmp, tf.tarnwick_exe(),
                                       name="Tarnwick \u0416 \u65e5\u672c "
                                            "\U0001f5b1")
        with open(shipped, "rb") as f:
            self.folder.write(tf.SETS_PAGE, f.read())
        self.launch()
        self.main_window()
        self.click(tf.BANNER)
        self.host.wait_call("shell32.ShellExecuteW")
        calls = self.calls()
        call = tf.calls_with(calls, "ShellExecuteW")[0]
        self.assertEqual([a.string for a in call.args[1:5]],
                         ["open",
                          winehost.windows_path(self.folder.file(tf.SETS_PAGE)),
                          "", ""])
        self.assertEqual(call.args[5].value & 0xFFFFFFFF, 1)  # an int: the low half
        # In a single-threaded apartment without OLE 1 DDE first, as
        # ShellExecute asks (Wine's own DLLs enter one without that flag).
        com = [c for c in tf.calls_with(calls, "CoInitializeEx")
               if c.args[1].value & 0xFFFFFFFF == 6]
        self.assertEqual(len(com), 1, com)
        self.assertLess(com[0].index, call.index)
        self.exit_by(tf.EXIT_LABEL)

    def test_label_buttons_light_up_under_the_pointer(self):
        self.open_blue()
        ok = tf.screen_rect(self.main, tf.OK_LABEL)
        frame = (ok[0] - 10, ok[3] + 3)           # Frame5, below the label
        red, orange = (255, 0, 0), (255, 128, 0)
        # (where the pointer goes, colour of the "OK" text then).  The
        # frame around the buttons does not reset the colours; the list
        # does.
        for name, point, colour in [
                ("over OK", tf.screen_centre(self.main, tf.OK_LABEL), red),
                ("onto its frame", frame, red),
                ("onto the list", tf.screen_centre(self.main, tf.LIST_VIEW),
                 orange)]:
            with self.subTest(pointer=name):
                self.host.mouse_path([point, (point[0] + 1, point[1])])

                def text_is(c):
                    return len(self.screenshot().find(c, ok, tolerance=0)) \
                        > 20
                winehost.wait_until(lambda: text_is(colour), 5,
                                    what="OK in %r" % (colour,))
                other = orange if colour == red else red
                self.assertFalse(text_is(other))


# The system colours of a white-on-black high-contrast scheme.
HIGH_CONTRAST = {"Window": (0, 0, 0), "WindowText": (255, 255, 255),
                 "Hilight": (26, 235, 255), "HotTrackingColor": (255, 255, 0),
                 "ButtonFace": (0, 0, 0), "ButtonText": (255, 255, 255)}


class HighContrastTest(TarnwickCase):
    def test_a_high_contrast_theme_draws_in_the_system_colours_and_back(self):
        hc, peach = HIGH_CONTRAST, (255, 224, 192)
        winehost.set_user_reg_values(
            self.host.prefix, r"Control Panel\Colors",
            {name: "%d %d %d" % rgb for name, rgb in hc.items()})
        self.open_blue()
        self.wait_list_icons({"Blue": BLUE}, 1)
        frame_x, y = self.knob_row()
        knob = (frame_x + 110, y)               # slider position 100
        exit_box = tf.screen_rect(self.main, tf.EXIT_LABEL)
        # "Exit" under the pointer while the theme changes.
        point = tf.screen_centre(self.main, tf.EXIT_LABEL)
        self.host.mouse_path([point, (point[0] + 1, point[1])])

        def at(twips):
            return tf.screen_rect(self.main, twips + (15, 15))[:2]

        def switch(on, background):
            code, out = self.host.nudge("highcontrast", "Tarnwick.exe",
                                        str(on))
            self.assertEqual(code, 0, out)
            shot = []

            def redrawn():
                shot[:] = [self.screenshot()]
                return shot[0].at(*at((4500, 5500))) == background
            winehost.wait_until(redrawn, 10, 0.2, "the window redrawn")
            return shot[0]

        # Wine alone never reports the theme on, whatever the colours.
        self.assertEqual(self.screenshot().at(*at((4500, 5500))), peach)
        shot = switch(1, hc["Window"])
        for what, point, colour in [
                ("title strip", at((3000, 90)), hc["Window"]),
                ("its edge", at((3000, 345)), hc["Hilight"]),
                ("list", at((5900, 4900)), hc["Window"]),
                ("knob", knob, hc["Hilight"]),
                ("track", at((6240 + 300, 3000 + 480)), hc["Hilight"]),
                ("banner's frame", at(tf.BANNER[:2]), hc["WindowText"])]:
            self.assertEqual(shot.at(*point), colour, what)
        self.assertGreater(len(shot.find(hc["HotTrackingColor"], exit_box,
                                         0)), 20)
        self.assertGreater(len(shot.find(
            hc["Hilight"], tf.screen_rect(self.main, tf.OK_LABEL), 0)), 20)
        # docs/window-high-contrast.png (TARNWICK_E2E_KEEP=1 keeps it).
        self.host.x("convert", shot.path, "-crop", "%dx%d+%d+%d" % (
            self.main.width, self.main.height, self.main.x, self.main.y),
            os.path.join(self.host.tmp, "window-high-contrast.png"))

        # Off again: the palette, and "Exit" still the one under the pointer.
        shot = switch(0, peach)
        self.assertEqual(shot.at(*knob), (255, 128, 0))
        self.assertGreater(len(shot.find((255, 0, 0), exit_box, 0)), 20)
        self.exit_by(tf.EXIT_LABEL)


class FirstSetTest(TarnwickCase):
    def test_bad_first_set_is_listed_blank_and_the_rest_still_offered(self):
        # No settings file and the first listed set has the wrong size, so
        # nothing is loaded when its picture is wanted.  Ending the program
        # there would keep every good set from being offered: it gets a
        # blank picture instead, silently.
        self.folder.write("Bad.TWC", b"\0" * 100)
        self.add_sets("Blue")
        self.launch(loads=1)
        self.main_window()
        _, icons = self.wait_list_icons({"Blue": BLUE}, 1)
        calls = self.calls()

        self.assertEqual(tf.opened(calls, ".TWC"), ["Bad.TWC", "Blue.TWC"])
        self.assertEqual(tf.calls_with(calls, "MessageBoxW"), [])
        self.assertEqual([n for n, _ in icons], ["Blue"])
        self.assertTrue(self.host.running())
        self.exit_by(tf.EXIT_LABEL)
        self.assertEqual(self.folder.read("Bad.TWC"), b"\0" * 100)
        self.assertEqual(self.folder.listing(), sorted(
            ["Bad.TWC", "Blue.TWC", "Tarnwick.ini"] +
            self.folder.program_files()))



class ScaledWindowTest(KeyboardStory, ComesBack, TarnwickCase):
    """At 200 % the window is twice its size and the knob stays where it is put."""

    dpi = 192
    screen = "1600x1200x24"

    def test_the_knob_reads_back_its_place_and_moves_one_step(self):
        self.open_blue(interval=20, slider=100)
        self.assertEqual((self.main.width, self.main.height),
                         (self.px(8640) + 2, self.px(6330) + 2))

        frame_x, y = self.knob_row()

        def knob_left():
            return self.knob_left(frame_x, y)

        # Slider position 100: the knob's left edge at 108 design pixels.
        left = winehost.wait_until(knob_left, 10, 0.2, "the knob painted")
        self.assertEqual(left, self.px(108 * 15))
        x = frame_x + left + 6
        self.press_knob(x, y)
        seen = len(tf.calls_with(self.calls(), "GetCursorPos"))
        self.host.mouse_move(x + 1, y)          # the smallest drag there is
        self.host.wait_call("user32.GetCursorPos", seen + 1)
        self.host.x("xdotool", "mouseup", "1")
        winehost.wait_until(lambda: knob_left() == self.px(109 * 15), 10,
                            what="the knob one step on")
        self.exit_by(tf.EXIT_LABEL)

        lines = self.folder.read(tf.INI).split(b"\r\n")
        self.assertEqual(lines[3:5], [b"6", b"101"])      # 26 - 101 div 5


PEACH = (255, 224, 192)


class EveryScalingTest(TarnwickCase):
    """At every scaling each picture is made for it and shown pixel for
    pixel: the sets' from their companions (at 100 % the slices, and the
    window reads no companion), the banner and the program icon drawn for it."""

    dpi = 96
    screen = "1600x1200x24"

    def test_every_picture_is_made_for_the_scaling(self):
        self.each_row([(dpi,) for dpi in (96, 120, 144, 168, 192)],
                      self.check_pictures, dpi=lambda dpi: dpi)

    def check_pictures(self, dpi):
        side = 32 * dpi // 96
        # Companions whose cells have the pictures' side, so shown unscaled.
        for name in ("Amber", "Blue"):
            self.folder.add_set(name, COLOURS[name], companion=side)
        self.add_sets("Green")
        self.folder.write_settings(set_file="Blue.TWC")
        self.launch(loads=2)
        self.main_window()
        slice_pixels = tf.arrow_pixels(2)
        arrow = [x for row in slice_pixels for x, p in enumerate(row) if p == 1]

        def want(colour, x, y):
            """A set's picture: its companion's cell, or at 100 % its slice,
            over the peach background."""
            if side == 32:
                return [PEACH, colour, (0, 0, 0)][slice_pixels[y][x]]
            *rgb, a = tf.companion_pixel(colour, side, x, y)
            return tuple((c * a + p * (255 - a)) // 255
                         for c, p in zip(rgb, PEACH))

        def unlike(shot, colour, left=None, top=None):
            """Pixels unlike the set's picture at (left, top), by default
            where the list shows it."""
            if left is None:
                found = shot.find(colour, tf.screen_rect(
                    self.main, tf.LIST_VIEW, self.dpi), 0)
                first = [(x, y) for y in range(side) for x in range(side)
                         if want(colour, x, y) == colour]
                left = min(p[0] for p in found) - min(p[0] for p in first)
                top = min(p[1] for p in found) - min(p[1] for p in first)
            return sum(max(abs(g - w) for g, w in zip(
                shot.at(left + x, top + y), want(colour, x, y))) > 3
                for y in range(side) for x in range(side))

        def unlike_resource(shot, picture, place):
            x0, y0 = tf.screen_rect(self.main, place, self.dpi)[:2]
            return sum(shot.at(x0 + x, y0 + y) != colour
                       for (x, y), colour in picture.items())

        banner = tf.res_picture("banner-%d.png" % (side * 100 // 32))
        icon = tf.res_picture("tarnwick.ico[%d]" % tf.ICON_SIZES.index(side),
                              opaque=True)

        def look():
            shot = self.screenshot()
            green = shot.find(GREEN, tf.screen_rect(self.main, tf.LIST_VIEW,
                                                    self.dpi), 60)
            width = max(x for x, _ in green) - min(x for x, _ in green) + 1
            return {
                "list": unlike(shot, AMBER),
                "preview": unlike(shot, BLUE, *tf.screen_rect(
                    self.main, tf.PREVIEW, self.dpi)[:2]),
                # Without a companion: the slice at the side, scaled with
                # stb (its edges blended, not blocks of its own colours).
                "no companion": (round(width * 32 / side), len({
                    shot.at(*p) for p in green}) > 3),
                "banner": unlike_resource(shot, banner, tf.BANNER),
                "icon": unlike_resource(shot, icon, tf.ICON),
            }
        seen = [None]
        right = {"list": 0, "preview": 0, "banner": 0, "icon": 0,
                 "no companion": (max(arrow) - min(arrow) + 1, side > 32)}
        try:
            winehost.wait_until(lambda: seen.__setitem__(0, look()) or
                                seen[0] == right, 15, 0.5, "the pictures")
        except TimeoutError:
            pass
        self.assertEqual(seen[0], right)
        self.assertEqual(max(banner)[0] + 1, self.px(tf.BANNER[2]))
        # window-<dpi>.png (TARNWICK_E2E_KEEP=1 keeps it).
        self.host.x("convert", os.path.join(self.host.tmp, "screen.ppm"),
                    "-crop", "%dx%d+%d+%d" % (self.main.width,
                                              self.main.height, self.main.x,
                                              self.main.y),
                    os.path.join(self.host.tmp, "window-%d.png" % self.dpi))
        # The window reads a companion once (Amber's, above 100 %), also when
        # it shows again; Blue's comes with each load of Blue (start-up's and
        # OK's), and the preview takes it from there.
        self.click(tf.OK_LABEL)
        self.wait_hidden()
        self.show_by_tray()
        self.exit_by(tf.EXIT_LABEL)
        self.assertEqual(sorted(tf.opened(self.calls(), ".png")),
                         ["Amber.png"] * (side > 32) + ["Blue.png"] * 2)


if __name__ == "__main__":
    unittest.main()
