"""Drives the real desktop program from outside, as an operator would: it reads the
windows through the accessibility bus (AT-SPI), clicks with xdotool and keeps
screenshots. Run it inside a display and a session bus:

    xvfb-run -a dbus-run-session -- /usr/bin/python3 desktop_driver.py --program ... \
        --home DIR --http-port N --sim-control 127.0.0.1:PORT --address 5 \
        --device NAME --shots DIR --result result.json

Steps: wait for the main window; wait for the device's first data log; screenshot; put
the simulated sensor's signal into its corridor with its alarm bit; wait for the alarm
window and read its title and rows; screenshot; select the alarm's row and press
"Acknowledge", wait for its state to read acknowledged; take the signal out of the
corridor and wait for the alarm to close; switch "Show connection lost window"
from the menu (a change of the settings); close the program with the toolbar's Quit
button and answer "Yes" to the save question. What it saw goes to the result file as
JSON; the calling test judges it.
"""
import argparse
import glob
import json
import os
import socket
import subprocess
import sys
import time

import pyatspi

MAIN_TITLE = "ZorManager__All_Ver-Lang version 6.1.0.10"
ALARM_TITLE = "Zor Alarm"
SAVE_QUESTION = "Do you want to save configuration changes?"


def log(text):
    print("driver: " + text, flush=True)


def walk(acc, depth=0, limit=12):
    """Every accessible below acc (acc included), depth first."""
    if acc is None or depth > limit:
        return
    yield acc
    try:
        count = acc.childCount
    except Exception:
        return
    for i in range(count):
        try:
            child = acc.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1, limit)


def name_of(acc):
    try:
        return acc.name or ""
    except Exception:
        return ""


def role_of(acc):
    try:
        return acc.getRoleName()
    except Exception:
        return ""


def program_app(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def find_window(pid, title, timeout):
    """The top-level window of the program with this title (frame or dialog)."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        app = program_app(pid)
        if app is not None:
            for i in range(app.childCount):
                window = app.getChildAtIndex(i)
                if window is not None and name_of(window) == title:
                    return window
        time.sleep(0.2)
    return None


def find_in(root, predicate):
    for acc in walk(root):
        if predicate(acc):
            return acc
    return None


def wait_for(predicate, timeout, step=0.2):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def centre(acc):
    extents = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return extents.x + extents.width // 2, extents.y + extents.height // 2


def click(acc):
    x, y = centre(acc)
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=False)


def x_window(title):
    out = subprocess.run(["xdotool", "search", "--name", "^" + title + "$"],
                         capture_output=True, text=True).stdout.split()
    return out[-1] if out else None


def screenshot(title, path):
    window = x_window(title)
    target = window if window else "root"
    subprocess.run(["import", "-window", target, path], check=False)
    return os.path.exists(path)


def sim_control(endpoint, line):
    host, port = endpoint.rsplit(":", 1)
    with socket.create_connection((host, int(port)), timeout=5) as s:
        s.sendall((line + "\n").encode())
        reply = b""
        while not reply.endswith(b"\n"):
            chunk = s.recv(256)
            if not chunk:
                break
            reply += chunk
    return reply.decode().strip()


def table_texts(table):
    texts = []
    for acc in walk(table, limit=4):
        if role_of(acc) in ("table cell", "label", "text") and name_of(acc):
            texts.append(name_of(acc))
    return texts


STATES = ("Active, not acknowledged", "Active, acknowledged", "Returned, not acknowledged",
          "Closed")


def alarm_state(alarm):
    """The state column's text of the alarm window's first row, or ""."""
    table = find_in(alarm, lambda a: role_of(a) == "table")
    if table is None:
        return ""
    for text in table_texts(table):
        if text in STATES:
            return text
    return ""


def acknowledge(args, alarm, result):
    result["stateBefore"] = wait_for(lambda: alarm_state(alarm) or None, 5) or ""
    table = find_in(alarm, lambda a: role_of(a) == "table")
    cell = find_in(table, lambda a: role_of(a) == "table cell" and name_of(a) == args.device) \
        if table is not None else None
    button = find_in(alarm, lambda a: role_of(a) == "push button" and
                     name_of(a) == "Acknowledge")
    if cell is None or button is None:
        log("no row or no Acknowledge button")
        return
    click(cell)
    time.sleep(0.3)
    click(button)
    result["acknowledged"] = wait_for(
        lambda: (lambda s: s if s == "Active, acknowledged" else None)(alarm_state(alarm)), 10) \
        or alarm_state(alarm)
    shot = os.path.join(args.shots, "alarm-window-acknowledged.png")
    if screenshot(ALARM_TITLE, shot):
        result["shots"].append(shot)
    # Back to normal: an acknowledged alarm closes.
    sim_control(args.sim_control, "set %s value=100,alarm=0" % args.address)
    result["closed"] = wait_for(
        lambda: (lambda s: s if s == "Closed" else None)(alarm_state(alarm)), 20) \
        or alarm_state(alarm)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--home", required=True)
    parser.add_argument("--http-port", required=True)
    parser.add_argument("--sim-control", required=True)
    parser.add_argument("--address", default="5")
    parser.add_argument("--device", required=True)
    parser.add_argument("--shots", required=True)
    parser.add_argument("--result", required=True)
    args = parser.parse_args()

    result = {"mainWindow": False, "dataLogged": False, "alarmSent": "", "alarmWindow": False,
              "alarmTitle": False, "alarmRow": [], "lastDevice": "", "switchToggled": False,
              "saveQuestion": "", "answeredYes": False, "exitCode": None, "shots": [],
              "stateBefore": "", "acknowledged": "", "closed": ""}
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QTWEBENGINE_DISABLE_SANDBOX="1")
    out = open(os.path.join(args.shots, "zormanager.out"), "w")
    program = subprocess.Popen([args.program, "--home", args.home, "--http-port", args.http_port,
                                "--http-bind", "127.0.0.1", "--no-internet-check", "--no-share"],
                               env=env, stdout=out, stderr=subprocess.STDOUT)
    try:
        run(args, program, result)
    finally:
        if program.poll() is None:
            program.kill()
            program.wait(10)
        if result["exitCode"] is None:
            result["exitCode"] = program.returncode
        with open(args.result, "w") as f:
            json.dump(result, f, indent=1)
    return 0


def run(args, program, result):
    main = find_window(program.pid, MAIN_TITLE, 40)
    result["mainWindow"] = main is not None
    if main is None:
        log("no main window")
        return
    log("main window is there")
    data_logs = os.path.join(args.home, "Documents", "Logs", "*", "*", "DataLog_*")
    result["dataLogged"] = bool(wait_for(lambda: glob.glob(data_logs), 20))
    shot = os.path.join(args.shots, "main-window.png")
    if screenshot(MAIN_TITLE, shot):
        result["shots"].append(shot)

    # The signal enters the corridor between the thresholds, with the sensor's alarm bit.
    result["alarmSent"] = sim_control(args.sim_control,
                                      "set %s value=800,alarm=1" % args.address)
    alarm = find_window(program.pid, ALARM_TITLE, 20)
    result["alarmWindow"] = alarm is not None
    if alarm is not None:
        log("alarm window is there")
        result["alarmTitle"] = bool(wait_for(
            lambda: find_in(alarm, lambda a: name_of(a) == "!!! ALARM !!!"), 5))
        def row():
            table = find_in(alarm, lambda a: role_of(a) == "table")
            texts = table_texts(table) if table is not None else []
            return texts if args.device in texts else None
        result["alarmRow"] = wait_for(row, 5) or []
        field = find_in(alarm, lambda a: role_of(a) == "text" and name_of(a) == args.device)
        if field is None:
            field = find_in(alarm, lambda a: role_of(a) == "text")
            if field is not None:
                try:
                    result["lastDevice"] = field.queryText().getText(0, -1)
                except Exception:
                    pass
        else:
            result["lastDevice"] = name_of(field)
        time.sleep(1.0)  # the flashing ends after 0.7 s
        shot = os.path.join(args.shots, "alarm-window.png")
        if screenshot(ALARM_TITLE, shot):
            result["shots"].append(shot)
        acknowledge(args, alarm, result)

    # A change of the settings from the menu: the switch of the connection-lost window.
    item = find_in(main, lambda a: role_of(a) in ("check menu item", "menu item") and
                   name_of(a) == "Show connection lost window")
    if item is not None:
        item.queryAction().doAction(0)
        result["switchToggled"] = bool(wait_for(
            lambda: item.getState().contains(pyatspi.STATE_CHECKED), 5))

    # Closing with the toolbar's Quit button asks before it saves.
    quit_button = find_in(main, lambda a: role_of(a) == "push button" and
                          name_of(a) == "Quit (Cancel)")
    if quit_button is None:
        log("no Quit button")
        return
    click(quit_button)
    def question():
        app = program_app(program.pid)
        if app is None:
            return None
        for acc in walk(app, limit=8):
            if SAVE_QUESTION in name_of(acc):
                return acc
        return None
    label = wait_for(question, 10)
    if label is None:
        log("no save question")
        return
    result["saveQuestion"] = name_of(label)
    app = program_app(program.pid)
    yes = find_in(app, lambda a: role_of(a) == "push button" and
                  name_of(a).replace("&", "") == "Yes")
    if yes is not None:
        click(yes)
        result["answeredYes"] = True
    try:
        result["exitCode"] = program.wait(40)
    except subprocess.TimeoutExpired:
        log("the program did not end")


if __name__ == "__main__":
    sys.exit(main())
