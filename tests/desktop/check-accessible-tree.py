#!/usr/bin/env python3
"""Reads Plauderdeck's windows the way a screen reader does: over AT-SPI.

Runs the program on a virtual display (Xvfb) with a private D-Bus session and its own
accessibility bus, opens the chat window's three other windows the way a user does (F1 for the
info window, Alt+S for the skin dialog and after it the options window), and walks each window's
tree of accessible objects. It fails for every control that can take the focus or be pressed and
has no name. The options button must open its window when pressed through its AT-SPI action, as
a screen reader presses it. Last, a foreign peer delivers one chat line over TCP, and the
history must report the line's text as inserted, which is what a screen reader reads out.

  check-accessible-tree.py PROGRAM

Exit status 77 (skipped) when a tool is missing: Xvfb, dbus-run-session, the AT-SPI bus
(at-spi2-core), Python's dbus and gi modules (python3-dbus, python3-gi), or when the chat port
is taken by another program. Where it may make namespaces (as root), it runs in a network and
mount namespace of its own, and the chat port is always free.
"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
CHAT_PORT = 6711
DEADLINE = 60  # seconds for anything to appear; a busy machine is slow, never this slow

ACCESSIBLE = "org.a11y.atspi.Accessible"
ACTION = "org.a11y.atspi.Action"
EVENT_OBJECT = "org.a11y.atspi.Event.Object"
STATE_FOCUSABLE = 11
STATE_SHOWING = 25

# Keycodes of Xvfb's standard keymap.
KEY_F1, KEY_ESCAPE, KEY_S, KEY_ALT = 67, 9, 39, 64
# AT-SPI's ways of making a key event.
KEY_PRESS, KEY_RELEASE, KEY_PRESSRELEASE = 0, 1, 2


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIP)


def outside(program):
    """Checks the tools, then runs this script again inside a virtual display and a bus."""
    for tool, package in (("Xvfb", "xvfb"), ("dbus-run-session", "dbus-daemon")):
        if not shutil.which(tool):
            skip(f"{tool} is not installed (package {package})")
    if not any(os.path.exists(p) for p in ("/usr/libexec/at-spi-bus-launcher",
                                           "/usr/lib/at-spi2-core/at-spi-bus-launcher")):
        skip("the AT-SPI bus launcher is not installed (package at-spi2-core)")
    try:
        import dbus  # noqa: F401
        from gi.repository import GLib  # noqa: F401
    except ImportError as error:
        skip(f"{error} (packages python3-dbus and python3-gi, for {sys.executable})")
    with socket.socket() as probe:
        try:
            probe.bind(("127.0.0.1", CHAT_PORT))
        except OSError:
            skip(f"port {CHAT_PORT} is taken by another program")
    end_leftovers()
    # What the run starts (the display, the buses, the services they start) carries this
    # check's process number in its environment, writes to a file rather than to our output (a
    # process that outlived us would keep the test runner waiting for the output's end), and is
    # ended when the run is over, also when this check is stopped.
    environment = dict(os.environ, **{MARK: str(os.getpid())})
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    with tempfile.TemporaryFile() as log:
        display = None
        try:
            # The display first, so that the bus and the services it starts know it. Xvfb picks
            # a free display itself and names it once it accepts clients. Without -noreset it
            # starts over whenever its last client leaves, and a client that connects just then
            # (the accessibility registry, once the bus launcher has left) is turned away.
            ready, told = os.pipe()
            display = subprocess.Popen(["Xvfb", "-displayfd", str(told), "-ac", "-noreset",
                                        "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
                                       env=environment, stdout=log, stderr=subprocess.STDOUT,
                                       pass_fds=(told,), start_new_session=True)
            os.close(told)
            number = read_line(ready, DEADLINE)
            os.close(ready)
            if not number.isdigit():
                print("FAIL: Xvfb did not start")
                return 1
            environment["DISPLAY"] = ":" + number
            environment.pop("XAUTHORITY", None)
            run = subprocess.Popen(["dbus-run-session", "--", sys.executable, os.path.abspath(__file__),
                                    "--inside", program],
                                   env=environment, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
            try:
                return run.wait(timeout=600)
            except subprocess.TimeoutExpired:
                print("FAIL: the check did not end within 600 s")
                return 1
        finally:
            # The display is gone before this ends: a display that is still closing would
            # remove the socket of the next check's display of the same number.
            if display is not None:
                display.terminate()
                try:
                    display.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    pass
            end_marked(lambda mark: mark == str(os.getpid()))
            if display is not None:
                display.wait()
            log.seek(0)
            sys.stdout.write(log.read().decode("utf-8", "replace"))
            sys.stdout.flush()


def read_line(fd, seconds):
    """What `fd` says up to its first line end, waiting at most `seconds`."""
    import select
    text = b""
    end = time.monotonic() + seconds
    while not text.endswith(b"\n"):
        left = end - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            break
        chunk = os.read(fd, 64)
        if not chunk:
            break
        text += chunk
    return text.decode(errors="replace").strip()


MARK = "PD_ACCESSIBLE_CHECK"


def end_marked(whose):
    """Ends every process whose mark `whose` accepts."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as environ:
                variables = environ.read().split(b"\0")
        except OSError:
            continue  # gone, or not ours to read
        for variable in variables:
            if variable.startswith(MARK.encode() + b"=") and whose(variable.split(b"=", 1)[1].decode()):
                try:
                    os.kill(int(entry), signal.SIGKILL)
                except OSError:
                    pass
                break


def end_leftovers():
    """Ends what an earlier check left when it was killed outright."""
    def orphaned(mark):
        try:
            os.kill(int(mark), 0)
            return False
        except (OSError, ValueError):
            return True
    end_marked(orphaned)


class Tree:
    """The accessibility bus and the program's objects on it."""

    def __init__(self):
        import dbus
        from dbus.mainloop.glib import DBusGMainLoop
        from gi.repository import GLib
        self.dbus, self.GLib = dbus, GLib
        DBusGMainLoop(set_as_default=True)
        session = dbus.SessionBus()
        launcher = session.get_object("org.a11y.Bus", "/org/a11y/bus")
        launcher.Set("org.a11y.Status", "IsEnabled", True, dbus_interface="org.freedesktop.DBus.Properties")
        address = launcher.GetAddress(dbus_interface="org.a11y.Bus")
        self.bus = dbus.bus.BusConnection(address)
        self.texts = []  # (sender, path, inserted text)
        self.bus.add_signal_receiver(self._text_changed, signal_name="TextChanged",
                                     dbus_interface=EVENT_OBJECT, sender_keyword="sender",
                                     path_keyword="path")
        registry = self.bus.get_object("org.a11y.atspi.Registry", "/org/a11y/atspi/registry")
        # The toolkit sends only the events somebody listens to.
        registry.RegisterEvent("object:text-changed", dbus.Array([], signature="s"), "",
                               dbus_interface="org.a11y.atspi.Registry")
        self.app = None

    def _text_changed(self, detail, start, length, text, properties, sender=None, path=None):
        if str(detail).startswith("insert"):
            self.texts.append((str(sender), str(path), str(text)))

    def spin(self, seconds=0.05):
        """Lets the bus deliver what is waiting, for up to `seconds`."""
        context = self.GLib.MainContext.default()
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if not context.iteration(False):
                time.sleep(0.01)

    def until(self, what, condition):
        end = time.monotonic() + DEADLINE
        while time.monotonic() < end:
            try:
                result = condition()
            except self.dbus.DBusException:
                result = None  # an object went away while we looked
            if result:
                return result
            self.spin()
        raise TimeoutError(f"gave up waiting for {what}")

    def obj(self, ref):
        return self.bus.get_object(str(ref[0]), str(ref[1]), introspect=False)

    def prop(self, ref, name):
        return self.obj(ref).Get(ACCESSIBLE, name, dbus_interface="org.freedesktop.DBus.Properties")

    def children(self, ref):
        return [(str(b), str(p)) for b, p in self.obj(ref).GetChildren(dbus_interface=ACCESSIBLE)]

    def describe(self, ref):
        o = self.obj(ref)
        states = o.GetState(dbus_interface=ACCESSIBLE)
        state_bits = int(states[0]) | (int(states[1]) << 32)
        interfaces = [str(i) for i in o.GetInterfaces(dbus_interface=ACCESSIBLE)]
        actions = []
        if ACTION in interfaces:
            actions = [str(a[0]) for a in o.GetActions(dbus_interface=ACTION)]
        return {
            "ref": ref,
            "name": str(self.prop(ref, "Name")),
            "description": str(self.prop(ref, "Description")),
            "role": str(o.GetRoleName(dbus_interface=ACCESSIBLE)),
            "focusable": bool(state_bits & (1 << STATE_FOCUSABLE)),
            "showing": bool(state_bits & (1 << STATE_SHOWING)),
            "actions": actions,
        }

    def find_app(self, name):
        root = ("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")

        def found():
            for ref in self.children(root):
                if self.prop(ref, "Name") == name:
                    return ref
            return None
        self.app = self.until(f"the application {name} on the accessibility bus", found)
        return self.app

    def window(self, title):
        def found():
            for ref in self.children(self.app):
                node = self.describe(ref)
                if node["name"] == title and node["showing"]:
                    return ref
            return None
        return self.until(f"the window {title!r}", found)

    def gone(self, title):
        def closed():
            return all(not (self.describe(r)["name"] == title and self.describe(r)["showing"])
                       for r in self.children(self.app))
        self.until(f"the window {title!r} to close", closed)

    def walk(self, ref, depth=0):
        node = self.describe(ref)
        node["depth"] = depth
        yield node
        for child in self.children(ref):
            yield from self.walk(child, depth + 1)

    def controller(self, method):
        return self.bus.get_object("org.a11y.atspi.Registry",
                                   "/org/a11y/atspi/registry/deviceeventcontroller").get_dbus_method(
                                       method, "org.a11y.atspi.DeviceEventController")

    def point_at(self, ref):
        """Without a window manager, keys go to the window under the pointer."""
        x, y, width, height = self.obj(ref).GetExtents(0, dbus_interface="org.a11y.atspi.Component")
        self.controller("GenerateMouseEvent")(x + width // 2, y + height // 2, "abs")

    def key(self, window, key, modifier=None):
        self.point_at(window)
        generate = self.controller("GenerateKeyboardEvent")
        if modifier is not None:
            generate(modifier, "", KEY_PRESS)
        generate(key, "", KEY_PRESSRELEASE)
        if modifier is not None:
            generate(modifier, "", KEY_RELEASE)

    def press(self, node):
        # Not waited for: the press opens a modal window, and its answer comes when that closes.
        index = node["actions"].index("Press")
        self.obj(node["ref"]).DoAction(index, dbus_interface=ACTION, ignore_reply=True)


class Display:
    """The little of a window manager the test needs: giving a window the keyboard focus. Without
    one nothing activates the chat window, also not when a window over it closes."""

    def __init__(self):
        import ctypes
        self.c = ctypes
        self.x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.display = ctypes.c_void_p(self.x11.XOpenDisplay(None))
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong

    def windows(self):
        c = self.c
        root, parent = c.c_ulong(), c.c_ulong()
        children, count = c.POINTER(c.c_ulong)(), c.c_uint()
        self.x11.XQueryTree(self.display, c.c_ulong(self.x11.XDefaultRootWindow(self.display)),
                            c.byref(root), c.byref(parent), c.byref(children), c.byref(count))
        found = [children[i] for i in range(count.value)]
        if count.value:
            self.x11.XFree(children)
        return found

    def activate(self, title):
        c = self.c

        class Attributes(c.Structure):  # the start of XWindowAttributes, up to map_state
            _fields_ = [("x", c.c_int), ("y", c.c_int), ("width", c.c_int), ("height", c.c_int),
                        ("border_width", c.c_int), ("depth", c.c_int), ("visual", c.c_void_p),
                        ("root", c.c_ulong), ("class_", c.c_int), ("bit_gravity", c.c_int),
                        ("win_gravity", c.c_int), ("backing_store", c.c_int),
                        ("backing_planes", c.c_ulong), ("backing_pixel", c.c_ulong),
                        ("save_under", c.c_int), ("colormap", c.c_ulong), ("map_installed", c.c_int),
                        ("map_state", c.c_int), ("padding", c.c_char * 64)]
        viewable = 2
        for window in self.windows():
            name = c.c_char_p()
            if not self.x11.XFetchName(self.display, c.c_ulong(window), c.byref(name)):
                continue
            matches = name.value is not None and name.value.decode("utf-8", "replace") == title
            self.x11.XFree(name)
            attributes = Attributes()
            self.x11.XGetWindowAttributes(self.display, c.c_ulong(window), c.byref(attributes))
            if matches and attributes.map_state == viewable:
                self.x11.XSetInputFocus(self.display, c.c_ulong(window), 2, 0)  # RevertToParent
        self.x11.XFlush(self.display)


def check_window(tree, title, problems):
    """Every control that takes the focus or can be pressed must have a name."""
    ref = tree.window(title)
    print(f"window {title!r}")
    nodes = list(tree.walk(ref))
    for node in nodes:
        print("  " * (node["depth"] + 1) + f"{node['role']}: {node['name']!r}"
              + (f" ({node['description']})" if node["description"] else "")
              + (" [focusable]" if node["focusable"] else "")
              + (f" {node['actions']}" if node["actions"] else ""))
        operable = node["focusable"] or node["actions"]
        if node["depth"] > 0 and node["showing"] and operable and not node["name"].strip():
            problems.append(f"{title}: a {node['role']} without a name")
    return nodes


def deliver_line(text):
    """Delivers one chat line the way a foreign peer does: two length-prefixed fields, then
    the 16-byte acknowledgement."""
    sender = b"PRUEFSTAND"
    payload = b"0002550001" + text.encode("cp1252")
    frame = b"%04d" % len(sender) + sender + b"%04d" % len(payload) + payload
    with socket.create_connection(("127.0.0.1", CHAT_PORT), timeout=DEADLINE) as s:
        s.sendall(frame)
        reply = b""
        while len(reply) < 16:
            chunk = s.recv(16 - len(reply))
            if not chunk:
                break
            reply += chunk
    return reply


def inside(program):
    problems = []
    home = tempfile.mkdtemp(prefix="plauderdeck-a11y-")
    environment = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                       XDG_DATA_HOME=os.path.join(home, ".local/share"),
                       QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    environment.pop("QT_QPA_PLATFORM", None)
    try:
        tree = Tree()
    except Exception:
        # What the display looked like when the accessibility services could not start.
        number = os.environ.get("DISPLAY", "").lstrip(":")
        print(f"DISPLAY={os.environ.get('DISPLAY')!r}, socket there: "
              f"{os.path.exists(f'/tmp/.X11-unix/X{number}')}, opens here: {bool(Display().display.value)}")
        raise
    chat = subprocess.Popen([program], env=environment)
    try:
        app = tree.find_app("Plauderdeck")
        main = tree.window("Plauderdeck")
        nodes = check_window(tree, "Plauderdeck", problems)
        display = Display()

        # F1 opens the info window; Alt+S the skin dialog and, once that closes, the options
        # window. Each closes with Esc, which reaches it only while it is there.
        for keys, titles in (((KEY_F1,), ("Plauderdeck - Info",)),
                             ((KEY_S, KEY_ALT), ("Skin auswählen", "Optionen"))):
            display.activate("Plauderdeck")
            tree.key(main, *keys)
            for title in titles:
                check_window(tree, title, problems)
                tree.key(tree.window(title), KEY_ESCAPE)
                tree.gone(title)

        # The options button, pressed the way a screen reader does.
        options = [n for n in nodes if n["role"] == "push button" and n["name"] == "Optionen"
                   and "Press" in n["actions"]]
        if not options:
            problems.append("Plauderdeck: no button 'Optionen' that can be pressed")
        else:
            tree.press(options[0])
            tree.window("Optionen")
            tree.key(tree.window("Optionen"), KEY_ESCAPE)
            tree.gone("Optionen")

        line = "Grüße aus dem Prüfstand"
        reply = deliver_line(line)
        if not reply.startswith(b"OK"):
            problems.append(f"the chat line was not acknowledged: {reply!r}")
        try:
            tree.until("the history to report the received line",
                       lambda: any(s == app[0] and line in t for s, _, t in tree.texts))
            print(f"history: {line!r} reported as inserted")
        except TimeoutError as error:
            problems.append(f"{error}; reported: {tree.texts}")
    except TimeoutError as error:
        problems.append(str(error))
    finally:
        chat.kill()
        chat.wait()
        shutil.rmtree(home, ignore_errors=True)

    for problem in problems:
        print(f"FAIL: {problem}")
    return 1 if problems else 0


PRIVATE = "PD_ACCESSIBLE_PRIVATE"


def isolate():
    """Runs this check again in a network and mount namespace of its own, where it can: the
    chat port is then free whatever else runs on this computer (another check, a running
    copy), and the display's socket folder is private, so that no other display that starts
    or ends meanwhile can take or remove this check's socket. Returns only where it cannot."""
    if os.environ.get(PRIVATE) or not shutil.which("unshare") or not shutil.which("ip"):
        return
    if subprocess.run(["unshare", "--net", "--mount", "true"], stderr=subprocess.DEVNULL).returncode:
        return  # no rights to make namespaces here
    os.environ[PRIVATE] = "1"
    setup = ("ip link set lo up && mkdir -p /tmp/.X11-unix && "
             "mount -t tmpfs -o mode=1777 plauderdeck-a11y /tmp/.X11-unix && exec \"$@\"")
    # The same process goes on in the namespaces, so whoever waits for or stops it still can.
    os.execvp("unshare", ["unshare", "--net", "--mount", "--propagation", "private", "--",
                          "sh", "-c", setup, "sh", sys.executable, os.path.abspath(__file__)]
              + sys.argv[1:])


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--inside":
        return inside(sys.argv[2])
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    isolate()
    return outside(os.path.abspath(sys.argv[1]))


if __name__ == "__main__":
    sys.exit(main())
