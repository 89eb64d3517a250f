#!/usr/bin/env python3
"""The two programs as a user runs them.

The window program on a virtual X display, driven with xdotool as a person would: type a share text,
click "解析", read the result box through the clipboard, click "下载" with a stand-in opener first
on PATH, press Esc. The headless program on the command line and on standard input. Both against
the local service stand-in (tests/servers/service_stub.py), started here on 127.0.0.1.

Environment (set by CTest): MORVANE_BIN_DIR (the folder of morvane and morvane-resolve),
MORVANE_GRAB (the grab_window helper, optional), MORVANE_PLAY_ADDRESS_PREFIX.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "servers"))
import service_stub  # noqa: E402

LSAN_SUPPRESSIONS = os.path.join(HERE, "lsan_suppressions.txt")
BIN = os.environ.get("MORVANE_BIN_DIR", "")
PREFIX = os.environ.get("MORVANE_PLAY_ADDRESS_PREFIX", "")
IDENT = "Ab3_Ef5GhIjKlMnOpQrStUvWxYz01234"  # 32 word characters
IDENT2 = "ZYXWVUTSRQPONMLKJIHGFEDCBA_98765"


def wait_for(predicate, seconds=20.0, step=0.05):
    """Polls predicate until it gives a true value or the bound is reached; returns its last value."""
    end = time.monotonic() + seconds
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


def read_log(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


class VirtualDisplay:
    """An Xvfb server on a display number it picks itself."""

    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            number = f.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number

    def env(self, **extra):
        env = dict(os.environ, DISPLAY=self.name, QT_QPA_PLATFORM="xcb",
                   LSAN_OPTIONS="suppressions=%s:print_suppressions=0" % LSAN_SUPPRESSIONS)
        env.pop("WAYLAND_DISPLAY", None)
        env.update(extra)
        return env

    def run(self, *args, timeout=20, **kwargs):
        return subprocess.run(list(args), env=self.env(), timeout=timeout, capture_output=True,
                              **kwargs)

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class StubTestCase(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="morvane_programs_")
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.log = os.path.join(self.folder, "requests.log")
        self.stub = service_stub.ServiceStub(log_path=self.log)
        self.base = self.stub.start()
        self.addCleanup(self.stub.stop)


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xdotool") and shutil.which("xclip"),
                     "needs Xvfb, xdotool and xclip (scripts/setup.sh installs them)")
class WindowUnderXvfb(StubTestCase):
    def setUp(self):
        super().setUp()
        self.display = VirtualDisplay()
        self.addCleanup(self.display.stop)
        # The stand-in opener records each argument followed by a NUL byte.
        self.opened = os.path.join(self.folder, "opened")
        opener_dir = os.path.join(self.folder, "bin")
        os.mkdir(opener_dir)
        opener = os.path.join(opener_dir, "xdg-open")
        with open(opener, "w") as f:
            f.write("#!/bin/sh\nfor a in \"$@\"; do printf '%%s\\0' \"$a\"; done > '%s.part'\n"
                    "mv '%s.part' '%s'\n" % (self.opened, self.opened, self.opened))
        os.chmod(opener, 0o755)
        env = self.display.env(PATH=opener_dir + os.pathsep + os.environ.get("PATH", ""),
                               LANG="C.UTF-8", LC_ALL="C.UTF-8")
        self.window_process = subprocess.Popen([os.path.join(BIN, "morvane")], env=env,
                                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.addCleanup(self.end_window)
        found = self.display.run("xdotool", "search", "--sync", "--onlyvisible", "--name",
                                 "^Morvane$", timeout=30)
        self.assertEqual(found.returncode, 0, found.stderr)
        self.window = found.stdout.split()[0].decode()

    def end_window(self):
        if self.window_process.poll() is None:
            self.window_process.kill()
        self.window_process.communicate(timeout=10)

    def xdotool(self, *args):
        result = self.display.run("xdotool", *args)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.decode()

    def click(self, x, y):
        """A left click at client coordinates of the window."""
        self.xdotool("mousemove", "--window", self.window, str(x), str(y), "click", "1")

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def type_text(self, text):
        """Types as a person would. A character that has no key on the keyboard map is typed by
        xdotool through a key it binds for the moment; the slower pace gives the program time to
        read each one before that key is bound to the next."""
        for run in re.findall(r"[\x20-\x7e]+|[^\x20-\x7e]+", text):
            delay = "20" if run.isascii() else "120"
            self.xdotool("type", "--delay", delay, run)

    def box_text(self, x, y):
        """What a box holds, as a person reads it: click in, select all, copy, paste elsewhere."""
        self.click(x, y)
        self.key("ctrl+a")
        self.key("ctrl+c")
        result = self.display.run("xclip", "-o", "-selection", "clipboard", timeout=10)
        return result.stdout.decode("utf-8") if result.returncode == 0 else None

    def test_type_resolve_copy_open_and_escape(self):
        geometry = self.xdotool("getwindowgeometry", "--shell", self.window)
        self.assertIn("WIDTH=788", geometry)
        self.assertIn("HEIGHT=210", geometry)  # no window manager: no frame, all client area
        self.assertIn("X=246", geometry)  # (1280 - 788) / 2
        self.assertIn("Y=295", geometry)  # (800 - 210) / 2

        input_box, result_box, resolve, open_button = (360, 32), (360, 88), (712, 28), (712, 84)
        link = self.base + "/s/" + IDENT
        share = "看看这个视频 " + link + " 复制此链接，打开应用查看"
        self.xdotool("windowfocus", "--sync", self.window)
        self.click(*input_box)
        self.type_text(share)
        seen = []
        wait_for(lambda: seen.append(self.box_text(*input_box)) or seen[-1] == share, 10)
        self.assertEqual(seen[-1], share, "the input box does not hold the typed text")

        self.click(*resolve)
        want = PREFIX + IDENT
        self.assertEqual(wait_for(lambda: self.box_text(*result_box) == want and want, 20), want)
        # The request went to the link and the words after it on its line, as typed.
        log = read_log(self.log).decode("utf-8", "replace")
        self.assertIn("REQUEST GET /s/" + IDENT + "%20", log)
        self.assertIn("REQUEST GET /v/" + IDENT, log)

        self.click(*open_button)
        self.assertTrue(wait_for(lambda: os.path.exists(self.opened), 20), "opener not started")
        with open(self.opened, "rb") as f:
            self.assertEqual(f.read(), want.encode() + b"\0")

        if os.environ.get("MORVANE_GRAB"):
            shot = os.environ.get("MORVANE_SCREENSHOT") or os.path.join(self.folder, "shot.png")
            grabbed = self.display.run(os.environ["MORVANE_GRAB"], self.window, shot)
            self.assertEqual(grabbed.returncode, 0, grabbed.stderr)

        self.click(*input_box)
        self.key("Escape")
        code = self.window_process.wait(20)
        self.assertEqual(code, 0, self.window_process.stderr.read().decode("utf-8", "replace"))


class ResolveProgram(StubTestCase):
    def resolve(self, args=(), stdin=b"", **env):
        environment = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")
        environment.update(env)
        return subprocess.run([os.path.join(BIN, "morvane-resolve"), *args], input=stdin,
                              capture_output=True, env=environment, timeout=120)

    def requests(self):
        return read_log(self.log).count(b"REQUEST ")

    def test_arguments_one_line_each_and_the_exit_status(self):
        found = "看看 " + self.base + "/s/" + IDENT + " 复制此链接"
        result = self.resolve([found, self.base + "/s/" + IDENT2])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.decode(), PREFIX + IDENT + "\n" + PREFIX + IDENT2 + "\n")

        result = self.resolve([found, self.base + "/nomarker/x", "--help"])
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout.decode(), PREFIX + IDENT + "\n" + PREFIX + "\n" + PREFIX + "\n")

    def test_standard_input_one_share_text_a_line(self):
        lines = ("分享视频 " + self.base + "/s/" + IDENT + " 快来看\r\n" + "\n" +
                 "HTTP" + self.base[4:] + "/s/" + IDENT2 + "\n")
        before = self.requests()
        result = self.resolve(stdin=lines.encode())
        self.assertEqual(result.returncode, 1)  # the empty line gave no identifier
        self.assertEqual(result.stdout.decode(),
                         PREFIX + IDENT + "\n" + PREFIX + "\n" + PREFIX + IDENT2 + "\n")
        self.assertEqual(self.requests() - before, 4)  # two per link, none for the empty line
        result = self.resolve(stdin=b"")
        self.assertEqual((result.returncode, result.stdout), (0, b""))

    def test_terminal_text_follows_the_locale(self):
        # Under a locale without a character set of its own, text is read and written as UTF-8;
        # the Chinese words travel to the server as UTF-8 too.
        result = self.resolve(["看看 " + self.base + "/s/" + IDENT + " 视频"], LC_ALL="C", LANG="C")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"/s/" + IDENT.encode() + b"%20%E8%A7%86%E9%A2%91", read_log(self.log))


@unittest.skipIf(os.environ.get("MORVANE_SANITIZE") == "ON",
                 "the sanitizers reserve more address space than the limit allows")
class MemoryFailure(unittest.TestCase):
    def test_a_failed_allocation_ends_with_minus_one_and_the_byte_count(self):
        import resource
        import threading

        limit = 512 << 20

        def limit_address_space():
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

        process = subprocess.Popen([os.path.join(BIN, "morvane-resolve")], stdin=subprocess.PIPE,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                   preexec_fn=limit_address_space)

        def feed():
            # One line longer than the limit allows, written until the program stops reading.
            chunk = b"x" * (1 << 20)
            try:
                for _ in range(2 * limit // len(chunk)):
                    process.stdin.write(chunk)
            except (BrokenPipeError, ValueError):
                pass
            try:
                process.stdin.close()
            except BrokenPipeError:
                pass

        writer = threading.Thread(target=feed, daemon=True)
        writer.start()
        stderr = process.stderr.read()
        process.stderr.close()
        process.wait(120)
        writer.join(60)
        self.assertEqual(process.returncode, 255)
        message = stderr.decode("utf-8", "replace")
        match = re.search(r"运行时错误：内存不足，无法分配 (\d+) 字节内存。", message)
        self.assertTrue(match, message)
        self.assertGreater(int(match.group(1)), 1 << 20)  # the line's buffer, not a small value


class DesktopInstall(unittest.TestCase):
    def test_install_puts_program_entry_and_icon_where_a_desktop_finds_them(self):
        build = os.environ.get("MORVANE_BUILD_DIR")
        if not build:
            self.skipTest("MORVANE_BUILD_DIR not set")
        with tempfile.TemporaryDirectory(prefix="morvane_install_") as prefix:
            result = subprocess.run(["cmake", "--install", build, "--prefix", prefix],
                                    capture_output=True, timeout=120)
            self.assertEqual(result.returncode, 0, result.stderr)
            for path in ["bin/morvane", "share/applications/morvane.desktop",
                         "share/icons/hicolor/128x128/apps/morvane.png"]:
                self.assertTrue(os.path.isfile(os.path.join(prefix, path)), path)
            self.assertTrue(os.access(os.path.join(prefix, "bin/morvane"), os.X_OK))
            with open(os.path.join(prefix, "share/applications/morvane.desktop")) as f:
                entry = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
            self.assertEqual(entry["Exec"], "morvane")
            self.assertEqual(entry["Icon"], "morvane")  # the icon's file name without extension
            self.assertEqual(entry["Type"], "Application")
            with open(os.path.join(prefix, "share/icons/hicolor/128x128/apps/morvane.png"),
                      "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("openbox") and shutil.which("xprop"),
                     "needs Xvfb, openbox and xprop (scripts/setup.sh installs them)")
class WindowUnderAWindowManager(unittest.TestCase):
    """With a window manager that draws a frame, the frame is part of the 788 x 210."""

    def setUp(self):
        self.display = VirtualDisplay()
        self.addCleanup(self.display.stop)
        self.manager = subprocess.Popen(["openbox", "--sm-disable"], env=self.display.env(),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop, self.manager)
        # The manager owns the screen's selection once it is ready to manage windows.
        self.assertTrue(wait_for(lambda: b"_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.display.run(
            "xprop", "-root", "_NET_SUPPORTING_WM_CHECK").stdout, 20), "openbox did not start")
        self.window_process = subprocess.Popen([os.path.join(BIN, "morvane")],
                                               env=self.display.env(), stdout=subprocess.PIPE,
                                               stderr=subprocess.PIPE)
        self.addCleanup(self.stop, self.window_process)

    @staticmethod
    def stop(process):
        if process.poll() is None:
            process.kill()
        process.communicate(timeout=10)

    def prop(self, window, name):
        return self.display.run("xprop", "-id", window, name).stdout.decode()

    def outer_geometry(self, window):
        """Left, top, width and height of the frame around the window, from what the manager says."""
        info = self.display.run("xwininfo", "-id", window).stdout.decode()
        value = dict(re.findall(r"^\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height):"
                                r"\s*(-?\d+)", info, re.M))
        extents = re.search(r"= (\d+), (\d+), (\d+), (\d+)", self.prop(window,
                                                                    "_NET_FRAME_EXTENTS"))
        if not value or not extents:
            return None
        left, right, top, bottom = map(int, extents.groups())
        return (int(value["Absolute upper-left X"]) - left,
                int(value["Absolute upper-left Y"]) - top,
                int(value["Width"]) + left + right, int(value["Height"]) + top + bottom)

    def test_outer_size_centred_fixed_and_no_maximise(self):
        found = self.display.run("xdotool", "search", "--sync", "--onlyvisible", "--name",
                                 "^Morvane$", timeout=30)
        self.assertEqual(found.returncode, 0, found.stderr)
        window = found.stdout.split()[0].decode()
        want = ((1280 - 788) // 2, (800 - 210) // 2, 788, 210)
        # The program fits its client area once the manager has told it the frame's size.
        self.assertEqual(wait_for(lambda: self.outer_geometry(window) == want and want, 20), want,
                         "outer geometry %s" % (self.outer_geometry(window),))
        actions = self.prop(window, "_NET_WM_ALLOWED_ACTIONS")
        self.assertIn("_NET_WM_ACTION_MINIMIZE", actions)
        self.assertIn("_NET_WM_ACTION_CLOSE", actions)
        self.assertNotIn("_NET_WM_ACTION_MAXIMIZE", actions)
        self.assertNotIn("_NET_WM_ACTION_RESIZE", actions)
        # The hints every manager can read: no maximise function and no maximise button.
        motif = re.search(r"= (0x[0-9a-f]+), (0x[0-9a-f]+), (0x[0-9a-f]+)",
                          self.prop(window, "_MOTIF_WM_HINTS"))
        self.assertTrue(motif)
        flags, functions, decorations = (int(v, 16) for v in motif.groups())
        self.assertEqual(flags & 0x3, 0x3)  # both fields are given
        self.assertEqual(functions & 0x10, 0)  # MWM_FUNC_MAXIMIZE
        self.assertEqual(decorations & 0x40, 0)  # MWM_DECOR_MAXIMIZE
        self.assertTrue(functions & 0x08 and decorations & 0x20)  # minimise, function and button
        state = self.prop(window, "_NET_WM_STATE")
        self.assertNotIn("SKIP_TASKBAR", state)  # its own task-bar entry
        self.assertNotIn("ABOVE", state)  # not kept above other windows
        self.display.run("xdotool", "windowactivate", "--sync", window)
        self.display.run("xdotool", "key", "Escape")
        self.assertEqual(self.window_process.wait(20), 0)


class StartupFailure(unittest.TestCase):
    def test_no_display_ends_with_minus_one_and_says_why(self):
        missing = next(":%d" % n for n in range(4242, 4342)
                       if not os.path.exists("/tmp/.X11-unix/X%d" % n))
        env = dict(os.environ, DISPLAY=missing, QT_QPA_PLATFORM="xcb",
                   LSAN_OPTIONS="suppressions=%s:print_suppressions=0" % LSAN_SUPPRESSIONS)
        env.pop("WAYLAND_DISPLAY", None)
        result = subprocess.run([os.path.join(BIN, "morvane")], env=env, capture_output=True,
                                timeout=30)
        self.assertEqual(result.returncode, 255)  # -1 as the process's exit status
        self.assertIn("运行时错误：载入启动窗口失败。", result.stderr.decode("utf-8", "replace"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
