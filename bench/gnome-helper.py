#!/usr/bin/python3
"""gnome-helper.py session WORK BUILD RUN | pattern: gnome-check.sh's side, as its user: one session, or the windows
that show its pattern."""
import functools
import glob
import os
import re
import subprocess
import sys
import threading
import time
import warnings
from collections import namedtuple

import gi

gi.require_version('Gtk', '3.0')
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi, Gio, GLib  # noqa: E402

# The accessibility library marks its per-interface getters deprecated; they are what 2.46 has.
warnings.filterwarnings('ignore', category=DeprecationWarning)
WAIT = 10.0  # seconds any one condition may take on a loaded machine
# evdev codes (keysyms sent to the compositor do not reach XWayland windows) and the step each makes
KEYS = {'Right': (106, 1, 0), 'Down': (108, 0, 1), 'Shift': (42, 0, 0)}
RD, SC, SHELL = 'org.gnome.Mutter.RemoteDesktop', 'org.gnome.Mutter.ScreenCast', 'org.gnome.Shell'
CONFIG, PROPERTIES = 'org.gnome.Mutter.DisplayConfig', 'org.freedesktop.DBus.Properties'
# A row: the real pointer goes to X,Y of monitor M (device pixels; negative ones count from the right or bottom
# edge), the magnifier must show the true pixel there; then KEY pressed in the magnifier must move the real pointer
# one device pixel and the colour shown follow. Rows off the desktop or near the magnifier's window are left out. Odd
# coordinates fall between logical pixels at 2x; 1701,301 and the bottom right lie past a scaled monitor's logical size.
ROWS = [('top left', 0, 101, 101, None), ('left part', 0, 301, 201, 'Right'),
        ('past logical width', 0, 1701, 301, 'Right'), ('bottom right', 0, -99, -61, 'Down'),
        ('bottom right', 0, -201, -41, 'Right'), ('2nd monitor', 1, 101, 101, None),
        ('2nd bottom right', 1, -99, -99, None), ('across the edge', 0, -1, 401, 'Right')]
Monitor = namedtuple('Monitor', 'connector mode x y width height device_width device_height scales')
# What the compositor and the bus answer, checked before it is read; the other methods answer nothing.
REPLIES = {'GetCurrentState': '(ua((ssss)a(siiddada{sv})a{sv})a(iiduba(ssss)a{sv})a{sv})',
           'CreateSession': '(o)', 'RecordMonitor': '(o)', 'Get': '(v)', 'NameHasOwner': '(b)'}


def read(path):
    with open(path, errors='replace') as file:
        return file.read()


def output(*command):
    return subprocess.run(command, capture_output=True, text=True).stdout


def wait_for(condition, seconds=WAIT):
    end = time.monotonic() + seconds
    while not (value := condition()) and time.monotonic() < end:
        while GLib.MainContext.default().iteration(False):  # the bus's signals
            pass
        time.sleep(0.02)
    return value


@functools.cache
def session_bus():
    """Kept open once it answers: the compositor ends the sessions of a connection that closes."""
    return Gio.bus_get_sync(Gio.BusType.SESSION)


def call(name, method, args=None, iface=None, path=None):
    path = path or '/' + name.replace('.', '/')  # by default the object named after the service
    reply = GLib.VariantType(REPLIES.get(method, '()'))
    return session_bus().call_sync(name, path, iface or name, method, args, reply, 0, 20000, None).unpack()


def owned(name):
    try:
        return call('org.freedesktop.DBus', 'NameHasOwner', GLib.Variant('(s)', (name,)))[0]
    except GLib.Error:  # no bus yet
        return False


def start(name, ready, *command, seconds=2 * WAIT, **env):
    """Starts `command` logging to NAME.log and waits until ready() holds. gnome-check.sh ends it."""
    with open(name + '.log', 'w') as log:
        process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, env=dict(os.environ, **env))
    if not wait_for(ready, seconds):
        sys.exit('gnome-check: %s did not come up; its log ends:\n%s' % (name, read(name + '.log')[-500:]))
    return process


def monitors():
    """The configuration's serial and the monitors left to right, in layout units (device pixels if physical)."""
    serial, physical, logical, properties = call(CONFIG, 'GetCurrentState')
    modes = {out[0]: mode for out, out_modes, _ in physical for mode in out_modes if mode[6].get('is-current')}
    found = []
    for x, y, scale, _rotation, _primary, outputs, _ in logical:
        mode_id, width, height, _rate, _preferred, scales, _ = modes[outputs[0][0]]
        size = (round(width / scale), round(height / scale)) if properties.get('layout-mode') == 1 else (width, height)
        found.append(Monitor(outputs[0][0], mode_id, x, y, *size, width, height, scales))
    return serial, sorted(found, key=lambda m: m.x)


def run_pattern():
    """A full-screen window on each monitor showing, in its buffer pixels (device pixels at whole scales), a pattern
    whose every pixel differs from its neighbours, running on across monitors; prints "ready" once all are drawn."""
    import cairo
    import numpy
    from gi.repository import Gtk, Gdk  # Gtk first: it brings the Gdk of its own version
    display, drawn, left = Gdk.Display.get_default(), set(), 0

    def on_draw(widget, cr, surface, size, number):
        cr.set_source_surface(surface, 0, 0)
        cr.get_source().set_filter(cairo.FILTER_NEAREST)
        cr.paint()
        if (widget.get_allocated_width(), widget.get_allocated_height(), widget.get_scale_factor()) == size:
            drawn.add(number)
            if len(drawn) == display.get_n_monitors():
                print('ready')
        return True

    for number in sorted(range(display.get_n_monitors()), key=lambda i: display.get_monitor(i).get_geometry().x):
        area, scale = display.get_monitor(number).get_geometry(), display.get_monitor(number).get_scale_factor()
        width, height = area.width * scale, area.height * scale
        x, y = numpy.arange(left, left + width, dtype=numpy.uint32), numpy.arange(height, dtype=numpy.uint32)[:, None]
        pixels = ((x & 255) << 16 | (y & 255) << 8 | (x >> 8) << 4 | y >> 8).astype('<u4')  # unique up to 4096
        surface = cairo.ImageSurface.create_for_data(memoryview(pixels), cairo.FORMAT_RGB24, width, height, width * 4)
        surface.set_device_scale(scale, scale)
        window = Gtk.Window(title='vikaro pattern', app_paintable=True)
        window.connect('draw', on_draw, surface, (area.width, area.height, scale), number)
        window.fullscreen_on_monitor(window.get_screen(), number)
        window.show_all()
        left += width
    Gtk.main()


def consent():
    """Answers the portal's sharing dialog: every monitor, remote interaction on, Share."""
    def accessibles(node, depth=0):  # of the desktop's applications (depth 1) only the portal's
        if node is not None and depth <= 41 and (depth != 1 or 'portal' in (node.get_name() or '')):
            yield node
            for i in range(node.get_child_count()):
                yield from accessibles(node.get_child_at_index(i), depth + 1)

    def controls():  # (Share button, remote interaction switch, lists) or None
        nodes = [(node, node.get_name() or '', node.get_role()) for node in accessibles(Atspi.get_desktop(0))]
        share = [node for node, name, role in nodes if role == Atspi.Role.PUSH_BUTTON and 'Share' in name.split()]
        remote = [node for node, name, role in nodes if 'remote interaction' in name.lower()
                  and role in (Atspi.Role.CHECK_BOX, Atspi.Role.TOGGLE_BUTTON)]
        lists = [node for node, _name, role in nodes if role == Atspi.Role.LIST]
        return share and remote and (share[0], remote[0], lists)
    if not (found := wait_for(controls, 30)):
        return 'no sharing dialog appeared'
    share, remote, lists = found

    def checked():
        return remote.get_state_set().contains(Atspi.StateType.CHECKED)
    if not checked():
        remote.get_action_iface().do_action(0)
        wait_for(checked, 3)
    for node in lists:  # every monitor (one alone comes selected), not the switch's list
        names = [(node.get_child_at_index(i).get_name() or '').lower() for i in range(node.get_child_count())]
        selection = node.get_selection_iface()
        if selection and not any('remote interaction' in name for name in names):
            for i in range(len(names)):
                selection.select_child(i)
    share.get_action_iface().do_action(0)
    return 'shared, remote interaction ' + ('on' if checked() else 'off')


class Desktop:
    """The compositor's remote desktop and screen cast of every monitor: moves the real pointer, presses keys and,
    through gnome-cast, sees the real pointer and true pixels. Points are (monitor, x, y) in device pixels."""

    def __init__(self):
        self.monitors = monitors()[1]
        self.remote = functools.partial(call, RD, iface=RD + '.Session', path=call(RD, 'CreateSession')[0])
        session_id = self.remote('Get', GLib.Variant('(ss)', (RD + '.Session', 'SessionId')), iface=PROPERTIES)[0]
        options = {'remote-desktop-session-id': GLib.Variant('s', session_id)}
        cast = call(SC, 'CreateSession', GLib.Variant('(a{sv})', (options,)))[0]
        metadata = {'cursor-mode': GLib.Variant('u', 2)}
        self.streams = [call(SC, 'RecordMonitor', GLib.Variant('(sa{sv})', (m.connector, metadata)), SC + '.Session',
                             cast)[0] for m in self.monitors]
        nodes = {}

        def on_added(_bus, _sender, path, _iface, _signal, args):
            if args.get_type_string() == '(u)':
                nodes[path] = args[0]
        session_bus().signal_subscribe(SC, SC + '.Stream', 'PipeWireStreamAdded', None, None, 0, on_added)
        self.remote('Start')
        if not wait_for(lambda: len(nodes) == len(self.streams)):
            missing = len(self.streams) - len(nodes)
            sys.exit('gnome-check: %d of %d screen casts got no PipeWire node' % (missing, len(self.streams)))
        self.cast = subprocess.Popen(['../gnome-cast'] + [str(nodes[s]) for s in self.streams],
                                     stdout=subprocess.PIPE, text=True)
        self.seen = (None, None)  # the real pointer, the true pixel there
        threading.Thread(target=self.listen, daemon=True).start()

    def listen(self):
        for line in self.cast.stdout:
            index, x, y, colour = line.split()
            self.seen = (int(index), int(x), int(y)), None if colour == 'none' else int(colour, 16)

    def move(self, point):
        """Tried again until seen: the compositor drops what comes before its virtual pointer is ready."""
        for _ in range(int(WAIT)):
            self.remote('NotifyPointerMotionAbsolute', GLib.Variant('(sdd)', (self.streams[point[0]],) + point[1:]))
            if wait_for(lambda: self.seen[0] == point, 1.0):
                return

    def press(self, method, code):
        for down in (True, False):
            self.remote(method, GLib.Variant('(ub)' if method == 'NotifyKeyboardKeycode' else '(ib)', (code, down)))

    def to_device(self, x, y):
        for index, m in enumerate(self.monitors):
            if m.x <= x < m.x + m.width and m.y <= y < m.y + m.height:
                return index, int((x - m.x) * m.device_width / m.width), int((y - m.y) * m.device_height / m.height)
        return None

    def rows(self, avoid):
        """The ROWS here as (point, label, key, where the key must move the pointer), kept 80 pixels off the window
        at `avoid` (X,Y,W,H) and its frame. The key moves it to the next device pixel; onto a monitor of another scale
        the rows do not line up: the same row counts, or the one at the same logical place."""
        ax, ay, aw, ah = avoid
        for label, index, x, y, key in ROWS:
            m = self.monitors[index] if index < len(self.monitors) else None
            if not m or abs(x) >= m.device_width or abs(y) >= m.device_height:
                continue
            x, y = x % m.device_width, y % m.device_height
            lx, ly = m.x + x * m.width / m.device_width, m.y + y * m.height / m.device_height
            _code, dx, dy = KEYS.get(key, (0, 0, 0))
            if x + dx < m.device_width:
                onward = [(index, x + dx, y + dy)]
            elif index + 1 < len(self.monitors):
                onward = [(index + 1, 0, y), self.to_device(self.monitors[index + 1].x, ly)]
            else:
                continue
            if not (ax - 80 <= lx < ax + aw + 80 and ay - 80 <= ly < ay + ah + 80):
                yield (index, x, y), label, key, onward


def magnifier_log(text=None):
    """How often `text` is in the magnifier's log; without it, the colour its newest tick shows (the line's first)."""
    content = read('vikaro.log')
    if text:
        return content.count(text)
    found = re.findall(r'^"QLabel\{background:#([0-9A-Fa-f]{6});\}"', content, re.M)
    return int(found[-1], 16) if found else None


def settle(desk, label, wanted):
    """Waits for the real pointer at one of `wanted` and the true pixel shown, then a few ticks (it must stay)."""
    wait_for(lambda: desk.seen[0] in wanted and magnifier_log() == desk.seen[1])
    ticks = magnifier_log('background:#')
    wait_for(lambda: magnifier_log('background:#') >= ticks + 20, 2)  # 2 a tick
    (real, truth), shown = desk.seen, magnifier_log()
    fine = real in wanted and truth is not None and shown == truth
    print('%-20s pointer %-12s real %-12s true %-7s shown %-7s %s' % (
        label, '%d:%d,%d' % wanted[0], '%d:%d,%d' % real if real else '?', '?' if truth is None else '#%06X' % truth,
        'nothing' if shown is None else '#%06X' % shown, 'ok' if fine else 'FAIL'))
    return fine


def check(build):
    pid = start('vikaro', lambda: True, build + '/vikaro', QT_LOGGING_RULES='default.debug=true').pid
    print('gnome-check: consent: ' + consent())
    ids = wait_for(lambda: output('xdotool', 'search', '--onlyvisible', '--pid', str(pid)).split(), 30)
    if not ids:
        sys.exit('gnome-check: the magnifier showed no window')
    info = output('xwininfo', '-id', ids[0])  # on XWayland's root, without the frame
    window = [int(n) for n in re.findall(r'^\s*(?:Absolute upper-left [XY]|Width|Height):\s*(-?\d+)', info, re.M)]
    if len(window) != 4:
        sys.exit('gnome-check: xwininfo did not give the magnifier window\'s place:\n' + info)
    print('gnome-check: magnifier window at %d,%d,%d,%d' % tuple(window))
    desk = Desktop()
    if not (rows := list(desk.rows(window))):
        sys.exit('gnome-check: no row lies clear of the magnifier window')
    # A click on the title bar gives the magnifier the focus (it samples only while it has it). The compositor
    # drops the first key of a new virtual keyboard; Shift alone moves nothing and the magnifier logs keys it
    # leaves alone, so it shows when keys arrive.
    desk.move(desk.to_device(window[0] + 20, window[1] - 15))
    desk.press('NotifyPointerButton', 0x110)  # BTN_LEFT
    desk.move(rows[0][0])
    for _ in range(int(WAIT)):
        keys = magnifier_log('---key = ')
        desk.press('NotifyKeyboardKeycode', KEYS['Shift'][0])
        if wait_for(lambda: magnifier_log('---key = ') > keys, 1.0):
            break
    else:
        print('check: keys pressed do not reach the magnifier')
    results = []
    for point, label, key, onward in rows:
        desk.move(point)
        results.append(settle(desk, label, [point]))
        if key:
            desk.press('NotifyKeyboardKeycode', KEYS[key][0])
            results[-1] = settle(desk, '  then ' + key, onward) and results[-1]
    print('check: %d of %d rows ok' % (sum(results), len(results)))
    desk.cast.terminate()
    said = ''.join('\n    ' + line for line in read('vikaro.log').splitlines() if line.startswith('vikaro: '))
    print('gnome-check: what the magnifier said on standard error:' + (said or ' nothing'))
    return all(results)


def run_session(work, build, run):
    """One session in WORK, gnome-cast in the folder above: settings, the bus, PipeWire, the shell and its XWayland,
    the monitors' scales, the pattern, the check."""
    mode, layout = run.split(':')
    sizes, _, scales = zip(*(m.partition('@') for m in layout.split(',')))
    os.makedirs(work + '/run', 0o700)
    os.makedirs(work + '/home/.config/glib-2.0/settings')
    os.chdir(work)
    # No banners such as "Screen Lock disabled" over the pattern: there is no display manager.
    with open('home/.config/glib-2.0/settings/keyfile', 'w') as keyfile:
        keyfile.write('[org/gnome/desktop/notifications]\nshow-banners=false\n[org/gnome/mutter]\n'
                      'experimental-features=%s\n' % ('[]' if mode == 'physical' else "['scale-monitor-framebuffer']"))
    # The bus stands in for the system bus too: the shell asks that for logind and the like, and copes with no
    # answer. The portals start when the magnifier first calls them.
    address = 'unix:path=%s/run/bus' % work
    os.environ.update(HOME=work + '/home', XDG_RUNTIME_DIR=work + '/run', GSETTINGS_BACKEND='keyfile',
                      WAYLAND_DISPLAY='wayland-0', XDG_CURRENT_DESKTOP='GNOME', XDG_SESSION_TYPE='wayland',
                      XDG_SESSION_DESKTOP='gnome', DBUS_SESSION_BUS_ADDRESS=address, DBUS_SYSTEM_BUS_ADDRESS=address)
    start('bus', lambda: owned('org.freedesktop.DBus'), 'dbus-daemon', '--session', '--nofork', '--address=' + address)
    start('pipewire', lambda: os.path.exists('run/pipewire-0'), 'pipewire')
    start('wireplumber', lambda: 'WirePlumber' in output('pw-cli', 'ls', 'Client'), 'wireplumber')
    start('shell', lambda: 'Using public X11 display' in read('shell.log') and owned(SHELL), 'nice', '-n', '5',
          'gnome-shell', '--headless', '--wayland', '--wayland-display', 'wayland-0',
          *[arg for size in sizes for arg in ('--virtual-monitor', size)], seconds=60)
    os.environ['DISPLAY'] = re.search(r'Using public X11 display (:\d+)', read('shell.log')).group(1)
    if not (auth := glob.glob(work + '/run/.mutter-Xwaylandauth.*')):
        sys.exit('gnome-check: XWayland left no authority file')
    os.environ['XAUTHORITY'] = auth[0]
    # A wedged XWayland accepts connections and never answers: every attempt is bounded.
    if not wait_for(lambda: subprocess.run(['timeout', '5', 'xdpyinfo'], capture_output=True).returncode == 0):
        sys.exit('gnome-check: XWayland does not answer')
    if mode != 'physical':  # the scales nearest those asked for, left to right, until the session ends
        serial, found = monitors()
        x, config = 0, []
        for index, (monitor, wanted) in enumerate(zip(found, scales)):
            scale = min(monitor.scales, key=lambda s: abs(s - float(wanted or 1)))
            config.append((x, 0, scale, 0, index == 0, [(monitor.connector, monitor.mode, {})]))
            x += round(monitor.device_width / scale)
        call(CONFIG, 'ApplyMonitorsConfig', GLib.Variant('(uua(iiduba(ssa{sv}))a{sv})', (serial, 1, config, {})))
    start('pattern', lambda: 'ready' in read('pattern.log'), sys.executable, __file__, 'pattern', seconds=60,
          GDK_BACKEND='wayland')
    overview = (SHELL, 'OverviewActive')  # the shell opens it at start, over the pattern
    call(SHELL, 'Set', GLib.Variant('(ssv)', overview + (GLib.Variant('b', False),)), PROPERTIES)
    wait_for(lambda: not call(SHELL, 'Get', GLib.Variant('(ss)', overview), PROPERTIES)[0])
    return check(build)


if __name__ == '__main__':
    sys.stdout.reconfigure(line_buffering=True)
    if sys.argv[1:] == ['pattern']:
        run_pattern()
    elif sys.argv[1:2] == ['session'] and len(sys.argv) == 5:
        sys.exit(0 if run_session(*sys.argv[2:]) else 1)
    else:
        sys.exit(__doc__)
