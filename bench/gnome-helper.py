#!/usr/bin/python3
"""The desktop side of gnome-check.sh, run inside its headless GNOME session.

  pattern           full-screen native Wayland window showing pattern(x, y); prints
                    "ready W H" once drawn, then "pointer X Y" whenever the real pointer
                    moves over it (window = global pixels: it fills the only monitor)
  consent SECONDS [share|view|refuse]
                    answers the desktop's screen-sharing dialog through the accessibility
                    bus: remote interaction on (share) or off (view) and Share, or Cancel
  portal PATLOG     a bare portal client: remote desktop + screen cast session (answer the
                    dialog meanwhile), then two pointer moves through it, seen in PATLOG
  shot FILE         the truth: a screenshot by the shell itself, without the cursor
  check MAGLOG PATLOG SHOT X,Y,W,H [--still]
                    with the truth screenshot SHOT, moves the real pointer (through the
                    compositor's own remote-desktop interface) to a few points outside the
                    magnifier's window X,Y,W,H, compares the colour the magnifier writes to
                    MAGLOG with the true pixel, presses Right in the magnifier and checks the
                    pointer the pattern window reports in PATLOG moved by one pixel (or, with
                    --still, stayed)

All coordinates are global desktop pixels (the monitors' scale is 1).
"""
import os
import re
import sys
import time
import warnings

import gi

gi.require_version('Gtk', '3.0')
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi, Gio, GLib  # noqa: E402

# The accessibility library marks its per-interface getters deprecated; they are what 2.46 has.
warnings.filterwarnings('ignore', category=DeprecationWarning)
WAIT = 10.0  # seconds any one condition may take on a loaded machine
# evdev codes: keysyms sent to the compositor do not reach XWayland windows here
KEY_RIGHT = 106
KEY_LEFTSHIFT = 42
BTN_LEFT = 0x110


def pattern(x, y):
    """The colour at global (x, y) as 0xRRGGBB: every pixel of a 2560x1024 desktop differs."""
    blue = ((x >> 8) * 4 + (y >> 8)) * 6 + 8
    return ((x & 255) << 16) | ((y & 255) << 8) | blue


def pattern_place(rgb):
    """Where on the pattern the colour rgb is, or None: tells which pixel a magnifier showed."""
    index, rest = divmod((rgb & 255) - 8, 6)
    if rest or not 0 <= index < 40:
        return None
    return (index // 4) * 256 + (rgb >> 16), (index % 4) * 256 + ((rgb >> 8) & 255)


def wait_for(condition, seconds=WAIT):
    """Polls condition() every 20 ms until it is truthy; returns its last value."""
    end = time.monotonic() + seconds
    value = condition()
    while not value and time.monotonic() < end:
        time.sleep(0.02)
        value = condition()
    return value


# ---- pattern window ---------------------------------------------------------------------

def run_pattern():
    from gi.repository import Gtk, Gdk
    display = Gdk.Display.get_default()
    areas = [display.get_monitor(i).get_geometry() for i in range(display.get_n_monitors())]
    drawn = set()

    def on_drawn(index):
        drawn.add(index)
        if len(drawn) == len(areas):
            print('ready', ' '.join('%d,%d,%d,%d' % (a.x, a.y, a.width, a.height) for a in areas), flush=True)

    windows = [pattern_window(Gtk, Gdk, index, area, on_drawn) for index, area in enumerate(areas)]
    windows[0].connect('destroy', Gtk.main_quit)
    Gtk.main()


def pattern_window(Gtk, Gdk, index, area, on_drawn):
    """A full-screen window on monitor `index` (global rect `area`) showing its part of the
    pattern; reports the real pointer over it in global pixels."""
    import cairo
    window = Gtk.Window(title='vikaro pattern %d' % index)
    window.add_events(Gdk.EventMask.POINTER_MOTION_MASK | Gdk.EventMask.ENTER_NOTIFY_MASK)
    rows = [b''.join(pattern(area.x + x, area.y + y).to_bytes(4, 'little') for x in range(area.width))
            for y in range(area.height)]
    data = bytearray(b''.join(rows))
    surface = cairo.ImageSurface.create_for_data(data, cairo.FORMAT_RGB24, area.width, area.height, area.width * 4)

    def on_draw(widget, cr):
        cr.set_source_surface(surface, 0, 0)
        cr.paint()
        if (widget.get_allocated_width(), widget.get_allocated_height()) == (area.width, area.height):
            on_drawn(index)
        return True

    def on_pointer(_widget, event):
        print('pointer', area.x + int(round(event.x)), area.y + int(round(event.y)), flush=True)
        return False

    window.connect('draw', on_draw)
    window.connect('motion-notify-event', on_pointer)
    window.connect('enter-notify-event', on_pointer)
    window.set_app_paintable(True)
    window.fullscreen_on_monitor(window.get_screen(), index)
    window.show_all()
    return window


# ---- consent dialog -----------------------------------------------------------------------

def accessibles(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from accessibles(node.get_child_at_index(i), depth + 1)


def press(node):
    action = node.get_action_iface()
    if action is None or action.get_n_actions() == 0:
        return False
    return action.do_action(0)


def checked(node):
    return node.get_state_set().contains(Atspi.StateType.CHECKED)


SWITCH_ROLES = (Atspi.Role.CHECK_BOX, Atspi.Role.TOGGLE_BUTTON, getattr(Atspi.Role, 'SWITCH', Atspi.Role.CHECK_BOX))


def find_dialog_controls():
    """(remote interaction switch or None, Share button, Cancel button, lists) of the
    portal's dialog, or None while there is none."""
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or 'portal' not in (app.get_name() or ''):
            continue
        buttons, remote, lists = {}, None, []
        for node in accessibles(app):
            name = node.get_name() or ''
            role = node.get_role()
            if role == Atspi.Role.PUSH_BUTTON:
                buttons.update({word: node for word in name.split() if word in ('Share', 'Cancel')})
            elif role in SWITCH_ROLES and 'remote interaction' in name.lower():
                remote = node
            elif role == Atspi.Role.LIST:
                lists.append(node)
        if 'Share' in buttons:
            return remote, buttons['Share'], buttons.get('Cancel'), lists
    return None


def select_every_monitor(lists):
    """Selects every row of the dialog's monitor list (with one monitor it comes selected)."""
    for node in lists:
        names = [(node.get_child_at_index(i).get_name() or '') for i in range(node.get_child_count())]
        selection = node.get_selection_iface()
        if selection is None or any('remote interaction' in name.lower() for name in names):
            continue
        for i in range(len(names)):
            selection.select_child(i)


def run_consent(seconds, answer):
    """answer: share (with remote interaction), view (remote interaction off) or refuse."""
    controls = wait_for(find_dialog_controls, seconds)
    if not controls:
        print('consent: no sharing dialog appeared', flush=True)
        return 1
    remote, share, cancel, lists = controls
    if answer == 'refuse':
        press(cancel)
        print('consent: refused at %.1f' % time.time(), flush=True)
        return 0
    wanted = answer == 'share'
    if remote is None:
        print('consent: the dialog offers no remote interaction switch', flush=True)
    elif checked(remote) != wanted:
        press(remote)
        if not wait_for(lambda: checked(remote) == wanted, 3):
            print('consent: remote interaction would not switch', flush=True)
    select_every_monitor(lists)
    press(share)
    print('consent: shared, remote interaction', 'on' if remote is not None and checked(remote) else 'off',
          flush=True)
    return 0


# ---- the check ----------------------------------------------------------------------------

class Shell:
    """The compositor's own interfaces on the session bus: truth screenshots and a
    remote-desktop session of our own that moves the real pointer and presses keys."""

    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        # The shell takes screenshots only for a few well-known callers.
        self.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                  'RequestName', GLib.Variant('(su)', ('org.gnome.Screenshot', 4)))

    def call(self, name, path, iface, method, args=None):
        return self.bus.call_sync(name, path, iface, method, args, None, 0, 20000, None).unpack()

    def screenshot(self, filename):
        def attempt():
            try:
                return self.call('org.gnome.Shell.Screenshot', '/org/gnome/Shell/Screenshot',
                                 'org.gnome.Shell.Screenshot', 'Screenshot',
                                 GLib.Variant('(bbs)', (False, False, filename)))[0]
            except GLib.Error:
                return False
        return wait_for(attempt)

    def monitors(self):
        """[(connector, x, y, width, height)] of every monitor, in global pixels (scale 1)."""
        state = self.call('org.gnome.Mutter.DisplayConfig', '/org/gnome/Mutter/DisplayConfig',
                          'org.gnome.Mutter.DisplayConfig', 'GetCurrentState')
        sizes = {}
        for output, modes, _props in state[1]:
            for mode in modes:
                if mode[6].get('is-current'):
                    sizes[output[0]] = (mode[1], mode[2])
        return [(outputs[0][0], x, y) + sizes[outputs[0][0]] for x, y, _scale, _rot, _primary, outputs, _p in state[2]]

    def start_remote(self):
        """A session with one stream per monitor, for absolute moves anywhere on the desktop."""
        rd = 'org.gnome.Mutter.RemoteDesktop'
        self.session = self.call(rd, '/org/gnome/Mutter/RemoteDesktop', rd, 'CreateSession')[0]
        session_id = self.call(rd, self.session, 'org.freedesktop.DBus.Properties', 'Get',
                               GLib.Variant('(ss)', (rd + '.Session', 'SessionId')))[0]
        sc = 'org.gnome.Mutter.ScreenCast'
        cast = self.call(sc, '/org/gnome/Mutter/ScreenCast', sc, 'CreateSession',
                         GLib.Variant('(a{sv})', ({'remote-desktop-session-id': GLib.Variant('s', session_id)},)))[0]
        self.streams = [(self.call(sc, cast, sc + '.Session', 'RecordMonitor',
                                   GLib.Variant('(sa{sv})', (connector, {})))[0], (x, y, w, h))
                        for connector, x, y, w, h in self.monitors()]
        self.remote('Start')

    def remote(self, method, args=None):
        return self.call('org.gnome.Mutter.RemoteDesktop', self.session,
                         'org.gnome.Mutter.RemoteDesktop.Session', method, args)

    def move(self, x, y):
        for stream, (left, top, width, height) in self.streams:
            if left <= x < left + width and top <= y < top + height:
                self.remote('NotifyPointerMotionAbsolute', GLib.Variant('(sdd)', (stream, x - left, y - top)))

    def move_seen(self, x, y, patlog):
        """Moves the pointer over the pattern window until that window sees it there: the
        compositor drops events that come before its virtual pointer is ready."""
        for _ in range(int(WAIT)):
            self.move(x, y)
            if wait_for(lambda: real_pointer(patlog) == (x, y), 1.0):
                return True
        return False

    def click(self, x, y):
        self.move(x, y)
        for down in (True, False):
            self.remote('NotifyPointerButton', GLib.Variant('(ib)', (BTN_LEFT, down)))

    def key(self, keycode):
        for down in (True, False):
            self.remote('NotifyKeyboardKeycode', GLib.Variant('(ub)', (keycode, down)))


def last_match(path, expression):
    try:
        with open(path, errors='replace') as log:
            found = expression.findall(log.read())
    except OSError:
        return None
    return found[-1] if found else None


# Each tick writes the swatch of the colour, then of its 4-bit reduction: the first one counts.
SWATCH = re.compile(r'^"QLabel\{background:#([0-9A-Fa-f]{6});\}"', re.M)
POINTER = re.compile(r'^pointer (\d+) (\d+)$', re.M)


def shown_colour(maglog):
    found = last_match(maglog, SWATCH)
    return int(found, 16) if found else None


def real_pointer(patlog):
    found = last_match(patlog, POINTER)
    return (int(found[0]), int(found[1])) if found else None


def truth_at(pixbuf, x, y):
    data = pixbuf.get_pixels()
    at = y * pixbuf.get_rowstride() + x * pixbuf.get_n_channels()
    return (data[at] << 16) | (data[at + 1] << 8) | data[at + 2]


def points_outside(avoid, monitors):
    """A few points on each monitor away from the magnifier's window; with a second monitor
    the last one is the first monitor's right edge, so Right crosses to the other stream."""
    ax, ay, aw, ah = avoid
    margin = 60
    first = [(100, 100), (300, 500), (1000, 700), (1200, 160), (60, 760), (900, 300)]
    points = [(x, y) for x, y in first
              if not (ax - margin <= x < ax + aw + margin and ay - margin <= y < ay + ah + margin)][:3]
    for _c, left, top, width, height in monitors[1:]:
        points += [(left + 100, top + 100), (left + width - 100, top + height - 100)]
    if len(monitors) > 1:
        points.append((monitors[0][3] - 1, 400))
    return points


def check_point(maglog, patlog, pixbuf, x, y, label):
    """One row: waits for the real pointer at (x, y), then for the magnifier to show the
    true colour there (or reports the last one it showed)."""
    pointer = wait_for(lambda: real_pointer(patlog) == (x, y) and (x, y))
    truth = truth_at(pixbuf, x, y)
    shown = wait_for(lambda: shown_colour(maglog) == truth and truth) or shown_colour(maglog)
    if pointer:
        # A few more ticks: the pointer must stay where it was sent, not go on.
        ticks = colour_lines(maglog)
        wait_for(lambda: colour_lines(maglog) >= ticks + 10, 3)
    real = real_pointer(patlog)
    fine = real == (x, y) and shown == truth
    place = pattern_place(shown) if shown is not None else None
    print('%-12s pointer %4d,%-4d real %-9s true #%06X  shown %s %-11s %s' % (
        label, x, y, '%d,%d' % real if real else '?', truth,
        '#%06X' % shown if shown is not None else 'nothing', '(= %d,%d)' % place if place else '',
        'ok' if fine else 'FAIL'), flush=True)
    return fine


def focus_magnifier(shell, maglog, patlog, avoid, away):
    """Clicks the magnifier's title bar (it samples only while it has the focus), leaves
    the pointer over the pattern at `away`, and makes sure keys reach the magnifier."""
    shell.move_seen(away[0], away[1] + 1, patlog)
    before = colour_lines(maglog)
    shell.click(avoid[0] + 20, avoid[1] - 15)
    shell.move_seen(*away, patlog)
    if not wait_for(lambda: colour_lines(maglog) > before + 5):
        print('check: the magnifier does not sample after a click on its title bar', flush=True)
    # The compositor drops the first key of a new virtual keyboard; Shift alone moves nothing
    # and the magnifier logs keys it leaves alone, so it shows when keys arrive.
    for _ in range(int(WAIT)):
        keys = key_lines(maglog)
        shell.key(KEY_LEFTSHIFT)
        if wait_for(lambda: key_lines(maglog) > keys, 1.0):
            return
    print('check: keys pressed do not reach the magnifier', flush=True)


def count_in(path, text):
    try:
        with open(path, errors='replace') as log:
            return log.read().count(text)
    except OSError:
        return 0


def colour_lines(maglog):
    return count_in(maglog, 'background:#')


def key_lines(maglog):
    return count_in(maglog, '---key = ')


class Portal:
    """A bare client of the desktop portal's remote desktop with a screen cast of the monitor
    and cursor metadata, as the magnifier asks for it: proves the desktop side on its own."""

    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        self.sender = self.bus.get_unique_name()[1:].replace('.', '_')
        self.tokens = 0

    def request(self, iface, method, leading, options):
        """Calls a method answered through a Request object; returns (response, results)."""
        self.tokens += 1
        token = 'vikarocheck%d' % self.tokens
        path = '/org/freedesktop/portal/desktop/request/%s/%s' % (self.sender, token)
        loop, answer = GLib.MainLoop(), {}

        def on_response(_bus, _sender, _path, _iface, _signal, params):
            answer['value'] = params.unpack()
            loop.quit()
        watch = self.bus.signal_subscribe('org.freedesktop.portal.Desktop', 'org.freedesktop.portal.Request',
                                          'Response', path, None, 0, on_response)
        options = dict(options, handle_token=GLib.Variant('s', token))
        signature = '(' + 'o' * len(leading) + ('s' if method == 'Start' else '') + 'a{sv})'
        args = tuple(leading) + (('',) if method == 'Start' else ()) + (options,)
        self.call(iface, method, GLib.Variant(signature, args))
        GLib.timeout_add_seconds(60, loop.quit)
        loop.run()
        self.bus.signal_unsubscribe(watch)
        return answer.get('value', (None, {}))

    def call(self, iface, method, args):
        return self.bus.call_sync('org.freedesktop.portal.Desktop', '/org/freedesktop/portal/desktop',
                                  'org.freedesktop.portal.' + iface, method, args, None, 0, 60000, None).unpack()

    def version(self, iface, name):
        return self.bus.call_sync('org.freedesktop.portal.Desktop', '/org/freedesktop/portal/desktop',
                                  'org.freedesktop.DBus.Properties', 'Get',
                                  GLib.Variant('(ss)', ('org.freedesktop.portal.' + iface, name)),
                                  None, 0, 5000, None).unpack()[0]

    def start(self):
        code, results = self.request('RemoteDesktop', 'CreateSession', (),
                                     {'session_handle_token': GLib.Variant('s', 'vikarocheck')})
        if code != 0:
            return code, {}
        self.session = results['session_handle']
        self.request('RemoteDesktop', 'SelectDevices', (self.session,), {'types': GLib.Variant('u', 2)})
        self.request('ScreenCast', 'SelectSources', (self.session,),
                     {'types': GLib.Variant('u', 1), 'multiple': GLib.Variant('b', True),
                      'cursor_mode': GLib.Variant('u', 4)})
        return self.request('RemoteDesktop', 'Start', (self.session,), {})

    def move(self, node, x, y):
        self.call('RemoteDesktop', 'NotifyPointerMotionAbsolute',
                  GLib.Variant('(oa{sv}udd)', (self.session, {}, node, x, y)))


def run_portal(patlog):
    """Starts a portal session (the consent dialog must be answered meanwhile), reports what
    it grants and whether its pointer moves reach the real pointer."""
    portal = Portal()
    absent = False
    for iface, modes in (('RemoteDesktop', 'AvailableDeviceTypes'), ('ScreenCast', 'AvailableCursorModes')):
        try:
            print('portal: %s version %d, %s %d' % (iface, portal.version(iface, 'version'), modes,
                                                     portal.version(iface, modes)), flush=True)
        except GLib.Error as error:
            print('portal: %s absent (%s)' % (iface, error.message), flush=True)
            absent = True
    if absent:
        return 1
    code, results = portal.start()
    streams = results.get('streams', [])
    print('portal: Start answered %s, devices %s, streams %s' % (
        code, results.get('devices'), [(node, props.get('position'), props.get('size')) for node, props in streams]),
        flush=True)
    if code != 0 or not streams:
        return 1
    node, props = streams[0]
    left, top = props.get('position', (0, 0))
    moved = []
    for x, y in ((200, 600), (201, 600)):
        seen = (left + x, top + y)
        moved.append(any(portal.move(node, x, y) or wait_for(lambda: real_pointer(patlog) == seen, 1.0)
                         for _ in range(5)))
    print('portal: pointer moves through the portal %s' % ('reach the real pointer' if all(moved) else 'FAIL'),
          flush=True)
    return 0 if all(moved) else 1


def run_shot(filename):
    """Fails unless the screenshot shows the pattern on every monitor (every 5th pixel each
    way compared)."""
    gi.require_version('GdkPixbuf', '2.0')
    from gi.repository import GdkPixbuf
    shell = Shell()
    if not shell.screenshot(filename):
        print('shot: the shell took no screenshot', flush=True)
        return 1
    pixbuf = GdkPixbuf.Pixbuf.new_from_file(filename)
    sampled = [(x, y) for _c, left, top, width, height in shell.monitors()
               for x in range(left, left + width, 5) for y in range(top, top + height, 5)]
    wrong = sum(truth_at(pixbuf, x, y) != pattern(x, y) for x, y in sampled)
    print('truth screenshot %dx%d: %d of %d compared pixels differ from the pattern' % (
        pixbuf.get_width(), pixbuf.get_height(), wrong, len(sampled)), flush=True)
    return 1 if wrong else 0


def run_check(maglog, patlog, shot, avoid, right_moves=True):
    gi.require_version('GdkPixbuf', '2.0')
    from gi.repository import GdkPixbuf
    shell = Shell()
    pixbuf = GdkPixbuf.Pixbuf.new_from_file(shot)
    shell.start_remote()
    points = points_outside(avoid, shell.monitors())
    focus_magnifier(shell, maglog, patlog, avoid, points[0])
    results = []
    for x, y in points:
        shell.move_seen(x, y, patlog)
        results.append(check_point(maglog, patlog, pixbuf, x, y, 'moved to'))
    x, y = points[-1]
    shell.key(KEY_RIGHT)
    if not right_moves:
        # Nothing to wait for: the magnifier's ticks go on while the pointer must stay.
        ticks = colour_lines(maglog)
        wait_for(lambda: colour_lines(maglog) >= ticks + 30, 5)
    results.append(check_point(maglog, patlog, pixbuf, x + right_moves, y, 'after Right'))
    print('check: %d of %d rows ok' % (sum(results), len(results)), flush=True)
    return 0 if all(results) else 1


def main(argv):
    command = argv[1] if len(argv) > 1 else ''
    if command == 'pattern':
        return run_pattern()
    if command == 'consent':
        return run_consent(float(argv[2]), argv[3] if len(argv) > 3 else 'share')
    if command == 'portal':
        return run_portal(argv[2])
    if command == 'shot':
        return run_shot(argv[2])
    if command == 'check':
        return run_check(argv[2], argv[3], argv[4], [int(v) for v in argv[5].split(',')], argv[6:] != ['--still'])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == '__main__':
    sys.exit(main(sys.argv) or 0)
