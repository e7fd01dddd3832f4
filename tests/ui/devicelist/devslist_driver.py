"""Reads the device list of the real desktop program from outside, as an operator's
screen reader would: the device's row (status text and the meaning of its status image)
and the trend's description over AT-SPI, with screenshots of the window. Run it inside a
display and a session bus:

    xvfb-run -a dbus-run-session -- /usr/bin/python3 devslist_driver.py --program ... \
        --home DIR --http-port N --sim-control 127.0.0.1:PORT --address 5 \
        --device NAME --shots DIR --result result.json

Steps: wait for the device's row to read "Online and Ok"; read the status-bar clock;
screenshot; put the simulated sensor's signal into its corridor; wait for "Alarm
reported" with the alarm image and a higher trend value; screenshot; open the row's
context menu with a right click and read its items (text and enabled state) from the
application's children, as a screen reader finds an open popup; screenshot; close it with
Escape; take the signal out again; wait for "Online and Ok"; screenshot; close the program
with SIGTERM. What it saw goes to the result file as JSON;
the calling test judges it.
"""
import argparse
import json
import os
import signal
import socket
import subprocess
import sys
import time

import pyatspi

MAIN_TITLE = "ZorManager__All_Ver-Lang version 6.1.0.10"


def log(text):
    print("driver: " + text, flush=True)


def walk(acc, depth=0, limit=14):
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


def description_of(acc):
    try:
        return acc.description or ""
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


def wait_for(predicate, timeout, step=0.25):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def screenshot(path):
    out = subprocess.run(["xdotool", "search", "--name", "^" + MAIN_TITLE + "$"],
                         capture_output=True, text=True).stdout.split()
    target = out[-1] if out else "root"
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


def device_row(table, device):
    """The row of the device: {"status": text, "image": meaning of the status image}."""
    try:
        t = table.queryTable()
    except Exception:
        return None
    status_column = None
    for c in range(t.nColumns):
        header = t.getColumnHeader(c)
        if header is not None and name_of(header) == "Status":
            status_column = c
    if status_column is None:
        return None
    for r in range(t.nRows):
        cell = t.getAccessibleAt(r, 0)
        if cell is not None and name_of(cell) == device:
            status = t.getAccessibleAt(r, status_column)
            return {"status": name_of(status), "image": description_of(cell)}
    return None


def device_cell(table, device):
    """The device's status cell: a click there selects the row without starting the name
    edit that a click on a selected name starts."""
    try:
        t = table.queryTable()
    except Exception:
        return None
    for r in range(t.nRows):
        cell = t.getAccessibleAt(r, 0)
        if cell is not None and name_of(cell) == device:
            return t.getAccessibleAt(r, 1)
    return None


def right_click(acc):
    extents = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, y = extents.x + extents.width // 2, extents.y + extents.height // 2
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=False)
    time.sleep(0.3)
    subprocess.run(["xdotool", "click", "3"], check=False)


def open_popup_items(pid):
    """The items of an open popup menu among the application's children (not below the
    main window): "text:on" or "text:off"."""
    app = program_app(pid)
    if app is None:
        return None
    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window is None or "menu" not in role_of(window):
            continue
        items = []
        for j in range(window.childCount):
            item = window.getChildAtIndex(j)
            if item is None or "menu item" not in role_of(item) or not name_of(item):
                continue
            enabled = item.getState().contains(pyatspi.STATE_ENABLED)
            items.append(name_of(item) + (":on" if enabled else ":off"))
        if items:
            return items
    return None


def trend_value(trend, device):
    """The device's latest value as the trend describes it, or None."""
    for line in description_of(trend).split("\n"):
        name, _, value = line.rpartition(": ")
        if name == device:
            try:
                return float(value)
            except ValueError:
                return None
    return None


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

    result = {"mainWindow": False, "list": False, "online": None, "alarm": None,
              "back": None, "trendBefore": None, "trendAlarm": None, "clock": "",
              "contextMenu": [], "menuClosed": False, "shots": [], "exitCode": None}
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QTWEBENGINE_DISABLE_SANDBOX="1")
    out = open(os.path.join(args.shots, "zormanager.out"), "w")
    program = subprocess.Popen([args.program, "--home", args.home, "--http-port", args.http_port,
                                "--http-bind", "127.0.0.1", "--no-internet-check", "--no-share"],
                               env=env, stdout=out, stderr=subprocess.STDOUT)
    try:
        run(args, program, result)
    finally:
        if program.poll() is None:
            program.send_signal(signal.SIGTERM)
            try:
                result["exitCode"] = program.wait(40)
            except subprocess.TimeoutExpired:
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
    table = wait_for(lambda: find_in(main, lambda a: role_of(a) == "table" and
                                     name_of(a) == "Devices"), 10)
    trend = find_in(main, lambda a: name_of(a) == "Trend")
    result["list"] = table is not None
    if table is None:
        log("no device list")
        return

    def row_is(status, image):
        row = device_row(table, args.device)
        return row if row and row["status"] == status and row["image"] == image else None

    def shot(name):
        path = os.path.join(args.shots, name)
        time.sleep(1.2)  # the trend and the device log catch up
        if screenshot(path):
            result["shots"].append(path)

    result["online"] = wait_for(lambda: row_is("Online and Ok", "Good"), 30)
    clock = find_in(main, lambda a: name_of(a).startswith("Clock"))
    if clock is not None:
        result["clock"] = name_of(clock)
    if trend is not None:
        # A few blocks of the quiet signal.
        time.sleep(3)
        result["trendBefore"] = trend_value(trend, args.device)
    shot("devs-view-online.png")

    # The signal enters the corridor between the thresholds, with the sensor's alarm bit.
    log(sim_control(args.sim_control, "set %s value=800,alarm=1" % args.address))
    result["alarm"] = wait_for(lambda: row_is("Alarm reported", "Alarm"), 20)
    if trend is not None and result["trendBefore"] is not None:
        before = result["trendBefore"]
        result["trendAlarm"] = wait_for(
            lambda: (lambda v: v if v is not None and v > before else None)(
                trend_value(trend, args.device)), 10)
    shot("devs-view-alarm.png")

    # The row's context menu, read while it is open.
    cell = device_cell(table, args.device)
    if cell is not None:
        right_click(cell)
        result["contextMenu"] = wait_for(lambda: open_popup_items(program.pid), 10) or []
        path = os.path.join(args.shots, "devs-view-context-menu.png")
        subprocess.run(["import", "-window", "root", path], check=False)
        if os.path.exists(path):
            result["shots"].append(path)
        subprocess.run(["xdotool", "key", "Escape"], check=False)
        result["menuClosed"] = bool(wait_for(lambda: open_popup_items(program.pid) is None, 5))

    # And out of it again.
    log(sim_control(args.sim_control, "set %s value=100,alarm=0" % args.address))
    result["back"] = wait_for(lambda: row_is("Online and Ok", "Good"), 20)
    shot("devs-view-back.png")


if __name__ == "__main__":
    sys.exit(main())
