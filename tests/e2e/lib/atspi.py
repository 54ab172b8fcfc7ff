"""What a screen reader sees of a program, read over the accessibility bus (AT-SPI).

  atspi.py tree PID            the program's windows as lines: depth, role, "name", [states],
                               {description}, <actions>, =value; the page's own content is cut
  atspi.py do PID ROLE NAME ACTION
                               invokes the action of the first object of that role and name
                               (NAME "*" matches any); status 1 when there is none

Runs with the system's Python (python3-gi, gir1.2-atspi-2.0) inside a session whose
accessibility bus is up (at-spi-bus-launcher, started by the session bus on demand).
"""

import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

# The web engine's content is the page's, not the client's: its objects are not listed.
CUT = {"document web", "internal frame", "embedded", "scroll pane"}
SHOWN_STATES = [
    ("focusable", Atspi.StateType.FOCUSABLE),
    ("focused", Atspi.StateType.FOCUSED),
    ("selected", Atspi.StateType.SELECTED),
    ("pressed", Atspi.StateType.PRESSED),
    ("checked", Atspi.StateType.CHECKED),
]


def app_of(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is not None and app.get_process_id() == pid:
                app.clear_cache()
                return app
        except gi.repository.GLib.Error:
            continue
    return None


def actions(obj):
    action = obj.get_action_iface()
    if action is None:
        return []
    return [action.get_action_name(i) for i in range(action.get_n_actions())]


def line(obj, depth):
    role = obj.get_role_name()
    text = "%s%s \"%s\"" % ("  " * depth, role, obj.get_name() or "")
    states = obj.get_state_set()
    shown = [n for n, s in SHOWN_STATES if states.contains(s)]
    if not states.contains(Atspi.StateType.ENABLED):
        shown.append("disabled")
    if shown:
        text += " [%s]" % " ".join(shown)
    if obj.get_description():
        text += " {%s}" % obj.get_description()
    names = actions(obj)
    if names:
        text += " <%s>" % " ".join(names)
    if role == "progress bar":
        text += " =%g" % obj.get_value_iface().get_current_value()
    return text


def walk(obj, depth, visit):
    if obj is None:
        return
    visit(obj, depth)
    if obj.get_role_name() in CUT:
        return
    for i in range(obj.get_child_count()):
        walk(obj.get_child_at_index(i), depth + 1, visit)


def main(argv):
    pid = int(argv[2])
    app = app_of(pid)
    if app is None:
        print("no program with pid %d on the accessibility bus" % pid, file=sys.stderr)
        return 2
    if argv[1] == "tree":
        for i in range(app.get_child_count()):
            walk(app.get_child_at_index(i), 0, lambda o, d: print(line(o, d)))
        return 0
    if argv[1] == "do":
        role, name, wanted = argv[3], argv[4], argv[5]
        found = []

        def visit(obj, _depth):
            if obj.get_role_name() == role and (name == "*" or obj.get_name() == name):
                found.append(obj)

        for i in range(app.get_child_count()):
            walk(app.get_child_at_index(i), 0, visit)
        for obj in found:
            names = actions(obj)
            if wanted in names:
                return 0 if obj.get_action_iface().do_action(names.index(wanted)) else 1
        print("no %s \"%s\" with the action %s" % (role, name, wanted), file=sys.stderr)
        return 1
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
