#!/usr/bin/python3
"""The preview page of a running zormanagerd in headless Chromium, driven by chromedriver
over the WebDriver protocol (standard library only).

It checks that the page shows one marker per device with the device's state icon, that a
device added to the settings file (then SIGHUP to the server) appears without the page
being reloaded and leaves it again when its section goes, and that the functions the
desktop map calls run without script errors.

With --scenario basemap it checks that the station's own land layer is drawn under the
markers without any outside server: pixels where the land data has land show the land
colour, pixels at sea the sea colour, each device has its marker, and a scale bar shows.

With --scenario names it checks instead that devices whose names hold markup or the
characters a web address gives a meaning ("#", "%", "?", "+") each get their marker, and
that their popups show the names as text: no markup of a name is built and no script of
a name runs.

Exit status: 0 passed, 1 failed, 77 skipped (browser or driver missing, outside CI).
"""

import argparse
import base64
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request
import zlib

CHROMIUM_CANDIDATES = ["/usr/bin/chromium", "/usr/bin/chromium-browser"]
DRIVER_CANDIDATES = ["/usr/bin/chromedriver"]
# The flags this machine's closed network needs: without the background-networking ones
# Chromium keeps opening connections that are refused.
CHROMIUM_FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--window-size=1000,700",
    # No name lookup leaves the machine: the map tiles fail as they do without Internet.
    "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
]

# Installed before any script of the page runs. Script errors reach window as ErrorEvent;
# a resource that fails to load (a map tile without Internet) fires a plain Event on its
# element, caught here in the capture phase and kept apart.
COLLECTOR = r"""
window.__zmScriptErrors = [];
window.__zmResourceErrors = [];
window.addEventListener('error', function (e) {
    var t = e.target;
    if (t && t !== window && t.nodeType === 1) {
        window.__zmResourceErrors.push(t.currentSrc || t.src || t.href || String(t.tagName));
        return;
    }
    window.__zmScriptErrors.push('error: ' + e.message + ' at ' + e.filename + ':' + e.lineno);
}, true);
window.addEventListener('unhandledrejection', function (e) {
    window.__zmScriptErrors.push('unhandled rejection: ' + String(e.reason));
});
"""

# Markers as the page holds them and as Leaflet shows them.
READ_MARKERS = r"""
var out = { page: {}, dom: [] };
if (typeof markers === 'object' && markers !== null) {
    for (var key in markers) {
        if (!markers.hasOwnProperty(key)) continue;
        var p = markers[key].getLatLng();
        out.page[key] = { icon: markers[key].zorIcon, lat: p.lat, lng: p.lng };
    }
}
var imgs = document.querySelectorAll('img.leaflet-marker-icon');
for (var i = 0; i < imgs.length; i++) {
    out.dom.push({ title: imgs[i].title, src: imgs[i].getAttribute('src'), url: imgs[i].src,
                   loaded: imgs[i].complete && imgs[i].naturalWidth > 0 });
}
return out;
"""


# Opens each marker's popup in turn and reads what it shows.
READ_POPUPS = r"""
var out = {};
for (var key in markers) {
    if (!markers.hasOwnProperty(key)) continue;
    markers[key].openPopup();
    var popup = markers[key].getPopup();
    var element = popup && popup.getElement ? popup.getElement() : null;
    var content = element ? element.querySelector('.leaflet-popup-content') : null;
    var bold = content ? content.querySelector('b') : null;
    out[key] = { bold: bold ? bold.textContent : null,
                 boldChildren: bold ? bold.children.length : -1,
                 text: content ? content.textContent : null };
    markers[key].closePopup();
}
return out;
"""


class Failure(Exception):
    pass


STARTED = time.monotonic()


def log(text):
    print("[%5.1f s] %s" % (time.monotonic() - STARTED, text), flush=True)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def find(candidates):
    for path in candidates:
        if os.access(path, os.X_OK):
            return path
    return None


class Driver:
    """A chromedriver process and one browser session."""

    def __init__(self, driver_path, chromium_path, work, group_file):
        self.port = free_port()
        self.base = "http://127.0.0.1:%d" % self.port
        self.session = None
        self.work = work
        self.out = open(os.path.join(work, "chromedriver.log"), "wb")
        # The browser's per-user files (its crash database among them) stay in the work
        # folder rather than in the user's home.
        env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_CACHE_HOME=os.path.join(work, "cache"))
        # Its own process group, so that the browser it starts goes with it at the end.
        self.process = subprocess.Popen(
            [driver_path, "--port=%d" % self.port, "--allowed-ips=127.0.0.1"],
            stdout=self.out, stderr=subprocess.STDOUT, start_new_session=True, env=env)
        # For the test, should this script itself be killed before its clean-up.
        with open(group_file, "w") as f:
            f.write("%d\n" % self.process.pid)
        try:
            self.start(chromium_path, work)
        except BaseException:
            self.close()
            raise

    def start(self, chromium_path, work):
        deadline = time.monotonic() + 10
        while True:
            try:
                if self.call("GET", "/status", timeout=2).get("ready"):
                    break
            except (OSError, urllib.error.URLError, Failure):
                pass
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise Failure("chromedriver did not become ready")
            time.sleep(0.1)
        profile = os.path.join(work, "chromium-profile")
        os.makedirs(profile)
        caps = {
            "browserName": "chrome",
            "pageLoadStrategy": "eager",
            "goog:chromeOptions": {
                "binary": chromium_path,
                "args": CHROMIUM_FLAGS + ["--user-data-dir=" + profile],
            },
            "goog:loggingPrefs": {"browser": "ALL"},
        }
        value = self.call("POST", "/session", {"capabilities": {"alwaysMatch": caps}}, timeout=30)
        self.session = value["sessionId"]
        self.call("POST", self.path("/timeouts"), {"script": 5000, "pageLoad": 15000})

    def path(self, tail):
        return "/session/%s%s" % (self.session, tail)

    def call(self, method, path, body=None, timeout=20):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=timeout) as reply:
                payload = json.loads(reply.read().decode() or "{}")
        except urllib.error.HTTPError as e:
            text = e.read().decode(errors="replace")
            raise Failure("WebDriver %s %s: HTTP %d %s" % (method, path, e.code, text[:500]))
        return payload.get("value")

    def run(self, script, *args):
        return self.call("POST", self.path("/execute/sync"), {"script": script, "args": list(args)})

    def browser_log(self):
        try:
            return self.call("POST", self.path("/se/log"), {"type": "browser"}) or []
        except Failure as e:
            log("note: no browser log (%s)" % e)
            return []

    def close(self):
        if self.session is not None:
            try:
                self.call("DELETE", self.path(""), timeout=10)
            except Exception:  # the group is ended below in any case
                pass
        if self.process.poll() is None:
            try:
                os.killpg(self.process.pid, signal.SIGTERM)
                self.process.wait(timeout=5)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                pass
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        if self.process.poll() is None:
            self.process.wait(timeout=5)
        self.out.close()
        # The crash handlers detach into sessions of their own and end when the browser
        # has gone; they name the work folder, which tells them from any other browser.
        deadline = time.monotonic() + 5
        while True:
            left = processes_naming(self.work)
            if not left:
                break
            if time.monotonic() > deadline:
                for pid in left:
                    try:
                        os.kill(pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                break
            time.sleep(0.1)


def processes_naming(text):
    """Ids of the processes whose command line contains text."""
    found = []
    needle = text.encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if needle in f.read():
                    found.append(int(entry))
        except OSError:
            pass
    return found


def wait_for(what, probe, limit):
    deadline = time.monotonic() + limit
    last = None
    while True:
        ok, last = probe()
        if ok:
            return last
        if time.monotonic() > deadline:
            raise Failure("%s within %.0f s; last seen: %s" % (what, limit, json.dumps(last)))
        time.sleep(0.2)


def parse_expect(text):
    """'Name=Icon;Name2=Icon2' -> {Name: Icon}."""
    result = {}
    for part in text.split(";"):
        if part:
            name, icon = part.rsplit("=", 1)
            result[name] = icon
    return result


def markers_match(driver, expected):
    """(all shown with their icons, what the page shows)."""
    seen = driver.run(READ_MARKERS)
    page, dom = seen["page"], seen["dom"]
    if sorted(page) != sorted(expected) or len(dom) != len(expected):
        return False, seen
    for name, icon in expected.items():
        if page[name]["icon"] != "../images/%s.png" % icon:
            return False, seen
        # The placemark's name: the device name, with its status text in brackets.
        shown = [d for d in dom if d["title"] == name or d["title"].startswith(name + " (")]
        if len(shown) != 1 or not shown[0]["url"].endswith("/images/%s.png" % icon):
            return False, seen
        # The icon must come from the server, not only be named.
        if not shown[0]["loaded"]:
            return False, seen
    return True, seen


def check_names(driver, args):
    """Every device has its marker, its popup shows the name as text, no name's script ran."""
    expected = parse_expect(args.expect)
    seen = wait_for("markers %s" % expected, lambda: markers_match(driver, expected), 15)
    log("markers: %s" % json.dumps(seen))
    popups = driver.run(READ_POPUPS)
    log("popups: %s" % json.dumps(popups))
    for name in expected:
        shown = popups.get(name)
        if shown is None:
            raise Failure("no popup for %r" % name)
        if shown["boldChildren"] != 0 or not (shown["bold"] or "").startswith(name):
            raise Failure("popup of %r shows %r" % (name, shown))
    # A script in a name would have run by now (an image that does not load fails at once).
    time.sleep(1.0)
    ran = driver.run("return window.__zmNameScript === undefined ? null : window.__zmNameScript;")
    if ran is not None:
        raise Failure("a device name's script ran: %r" % ran)
    errors = driver.run("return window.__zmScriptErrors;")
    if errors:
        raise Failure("script errors: %s" % errors)
    log("PASS")
    return 0


def decode_png(data):
    """Width, height and a pixel function (x, y) -> (r, g, b) of an 8-bit RGB(A) PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise Failure("the screenshot is no PNG")
    pos, chunks, width, height, kind = 8, [], 0, 0, 0
    while pos < len(data):
        length = int.from_bytes(data[pos:pos + 4], "big")
        tag, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if tag == b"IHDR":
            width, height = int.from_bytes(body[0:4], "big"), int.from_bytes(body[4:8], "big")
            if body[8] != 8 or body[9] not in (2, 6) or body[12] != 0:
                raise Failure("screenshot PNG of depth %d, colour type %d" % (body[8], body[9]))
            kind = body[9]
        elif tag == b"IDAT":
            chunks.append(body)
        pos += 12 + length
    raw = zlib.decompress(b"".join(chunks))
    step = 4 if kind == 6 else 3
    stride = width * step
    rows, prev, at = [], bytearray(stride), 0
    for _ in range(height):
        filt, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b = prev[i]
            c = prev[i - step] if i >= step else 0
            if filt == 1:
                line[i] = (line[i] + a) & 255
            elif filt == 2:
                line[i] = (line[i] + b) & 255
            elif filt == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif filt == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line

    def pixel(x, y):
        row = rows[y]
        return tuple(row[x * step:x * step + 3])
    return width, height, pixel


def parse_points(text):
    points = []
    for part in (text or "").split(";"):
        if part:
            lat, lng = part.split(",")
            points.append((float(lat), float(lng)))
    return points


LAND_COLOUR = (0xEF, 0xE9, 0xD9)
SEA_COLOUR = (0xAA, 0xCB, 0xE0)


def near_colour(rgb, colour, tolerance=10):
    return all(abs(a - b) <= tolerance for a, b in zip(rgb, colour))


def check_basemap(driver, args):
    state = wait_for("the base map drawn",
                     lambda: (lambda v: (v == "drawn", v))(
                         driver.run("return map && map.zorBaseMap;")), 15)
    log("base map: %s" % state)
    positions = parse_points(args.positions)
    wait_for("%d markers" % len(positions),
             lambda: (lambda n: (n >= len(positions), n))(driver.run(
                 "return document.querySelectorAll('.leaflet-marker-icon').length;")), 15)
    lat, lng, zoom = (float(v) for v in args.view.split(","))
    driver.run("map.setView([arguments[0], arguments[1]], arguments[2], {animate: false});",
               lat, lng, int(zoom))
    time.sleep(1.5)  # the canvas redraws after the move
    where = ("var p = map.latLngToContainerPoint([arguments[0], arguments[1]]);"
             "var r = map.getContainer().getBoundingClientRect();"
             "return [r.left + p.x, r.top + p.y, window.devicePixelRatio || 1];")
    shot = base64.b64decode(driver.call("GET", driver.path("/screenshot")))
    width, height, pixel = decode_png(shot)
    problems = []

    def probe(point):
        x, y, ratio = driver.run(where, point[0], point[1])
        px, py = int(round(x * ratio)), int(round(y * ratio))
        if not (0 <= px < width and 0 <= py < height):
            problems.append("point %s lies outside the screenshot" % (point,))
            return None, x, y
        return pixel(px, py), x, y

    for kind, colour, points in (("land", LAND_COLOUR, parse_points(args.land)),
                                 ("sea", SEA_COLOUR, parse_points(args.sea))):
        for point in points:
            rgb, _, _ = probe(point)
            log("%s probe %s: %s" % (kind, point, rgb))
            if rgb is not None and not near_colour(rgb, colour):
                problems.append("%s at %s shows %s, not %s" % (kind, point, rgb, colour))
    for point in positions:
        rgb, x, y = probe(point)
        found = driver.run("var e = document.elementFromPoint(arguments[0], arguments[1]);"
                           "return e ? e.className : null;", x, y)
        log("device at %s: %s, element %s" % (point, rgb, found))
        if not found or "leaflet-marker-icon" not in found:
            problems.append("no marker at %s (found %s)" % (point, found))
    scale = driver.run("var s = document.querySelector('.leaflet-control-scale-line');"
                       "return s ? s.textContent : null;")
    log("scale bar: %s" % scale)
    if not scale:
        problems.append("no scale bar")
    local = args.url.rstrip("/") + "/"
    outside = driver.run("return performance.getEntriesByType('resource')"
                         ".map(function (e) { return e.name; });")
    outside = [u for u in outside if not u.startswith(local)]
    if outside:
        problems.append("requests left the station: %s" % outside[:5])
    problems += ["script " + e for e in driver.run("return window.__zmScriptErrors;")]
    for entry in driver.browser_log():
        message = entry.get("message", "")
        # The browser's own request for a site icon, which the page never makes.
        if entry.get("level") == "SEVERE" and not message.startswith(local + "favicon.ico "):
            problems.append("browser log: %s" % message[:300])
    if args.screenshot:
        with open(args.screenshot, "wb") as f:
            f.write(shot)
        log("screenshot: %s" % args.screenshot)
    if problems:
        raise Failure("base map:\n  " + "\n  ".join(problems))
    log("PASS")
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--url", required=True, help="the server, http://127.0.0.1:PORT")
    parser.add_argument("--scenario", choices=["reload", "names", "basemap"], default="reload")
    parser.add_argument("--view", help="basemap: lat,lng,zoom of the view probed")
    parser.add_argument("--land", help="basemap: lat,lng;... where the land layer has land")
    parser.add_argument("--sea", help="basemap: lat,lng;... at sea")
    parser.add_argument("--screenshot", help="basemap: keep the screenshot in this file")
    parser.add_argument("--pid", type=int, help="the server's process id")
    parser.add_argument("--settings", help="the server's settings file")
    parser.add_argument("--next-settings", help="the file with a third device")
    parser.add_argument("--first-settings",
                        help="the file without the third device, to go back to")
    parser.add_argument("--expect", required=True, help="Name=Icon;... before the reload")
    parser.add_argument("--expect-after", help="Name=Icon;... after it")
    parser.add_argument("--positions", help="Name=lat,lon;... of every device")
    parser.add_argument("--work", required=True, help="a folder for the profile and logs")
    args = parser.parse_args()
    if args.scenario == "reload" and None in (args.pid, args.settings, args.next_settings,
                                             args.first_settings, args.expect_after,
                                             args.positions):
        parser.error("the reload scenario needs --pid, --settings, --next-settings, "
                     "--first-settings, --expect-after and --positions")

    chromium = find(CHROMIUM_CANDIDATES)
    driver_path = find(DRIVER_CANDIDATES)
    if chromium is None or driver_path is None:
        missing = "chromium" if chromium is None else "chromedriver (chromium-driver)"
        if os.environ.get("CI") == "true":
            log("FAIL: %s is not installed" % missing)
            return 1
        log("SKIP: %s is not installed" % missing)
        return 77

    # A SIGTERM from the test's time limit still ends the browser.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    work = tempfile.mkdtemp(prefix="browser-", dir=args.work)
    driver = None
    try:
        driver = Driver(driver_path, chromium, work,
                        os.path.join(args.work, "chromedriver.pgid"))
        driver.call("POST", driver.path("/goog/cdp/execute"),
                    {"cmd": "Page.addScriptToEvaluateOnNewDocument",
                     "params": {"source": COLLECTOR}})
        log("browser started")
        driver.call("POST", driver.path("/url"), {"url": args.url + "/preview"})
        if driver.run("return typeof window.__zmScriptErrors;") != "object":
            raise Failure("the error collector is not in the page")
        if args.scenario == "names":
            return check_names(driver, args)
        if args.scenario == "basemap":
            return check_basemap(driver, args)

        before = parse_expect(args.expect)
        seen = wait_for("markers %s" % before, lambda: markers_match(driver, before), 10)
        log("before the reload: %s" % json.dumps(seen))
        # No outside tiles load here: without the station's land layer the page says so
        # instead of showing a bare square; with it the map is whole and says nothing.
        def land_settled():
            state = driver.run("return map && map.zorBaseMap;")
            return state not in (None, "loading"), state
        land = wait_for("the land layer drawn or given up", land_settled, 10)
        def map_notice():
            text = driver.run("var n = document.getElementById('map-notice');"
                              "return n && n.offsetHeight > 0 ? n.textContent : null;")
            if land == "drawn":
                return text is None, text
            return bool(text) and "base map" in text, text
        notice = wait_for("the notice of the missing base map shown only without land",
                          map_notice, 10)
        log("land layer: %s, map notice: %s" % (land, notice))

        # Marks this document: a reload or a navigation would lose it.
        token = "page-%d" % os.getpid()
        driver.run("window.__zmToken = arguments[0];", token)
        os.replace(args.next_settings, args.settings)
        os.kill(args.pid, signal.SIGHUP)
        after = parse_expect(args.expect_after)
        seen = wait_for("markers %s without reload" % after,
                        lambda: markers_match(driver, after), 15)
        log("after the reload: %s" % json.dumps(seen))
        if driver.run("return window.__zmToken;") != token:
            raise Failure("the page was reloaded")
        options = driver.run(
            "var b = document.getElementById('deviceComboBox');"
            "return b ? Array.prototype.map.call(b.options, function (o) { return o.text; })"
            " : null;")
        names = driver.run("return devices;")
        if options != ["all"] + names or sorted(names) != sorted(after):
            raise Failure("device selector %s for devices %s" % (options, names))

        positions = {}
        for part in args.positions.split(";"):
            if part:
                name, lat_lon = part.split("=", 1)
                positions[name] = tuple(float(v) for v in lat_lon.split(","))

        def view():
            return driver.run("var c = map.getCenter();"
                              "return { lat: c.lat, lng: c.lng, zoom: map.getZoom() };")

        def near(v, lat, lng, zoom):
            return (abs(v["lat"] - lat) < 1e-3 and abs(v["lng"] - lng) < 1e-3
                    and v["zoom"] == zoom)

        log("selector: %s" % options)
        # Leaflet animates a change of zoom over a few frames: wait for the view to settle.
        def settle(call, lat, lng, zoom):
            driver.run(call[0], *call[1:])
            return wait_for("%s to move the view to %.4f, %.4f at zoom %d" % (call[0], lat, lng, zoom),
                            lambda: (lambda v: (near(v, lat, lng, zoom), v))(view()), 5)

        settle(("flyTo('59.5', '24.8', '14');",), 59.5, 24.8, 14)
        lats = [positions[n][0] for n in after]
        lngs = [positions[n][1] for n in after]
        settle(("flyToAllDevices();",), (max(lats) + min(lats)) / 2,
               (max(lngs) + min(lngs)) / 2, 14)
        last = list(after)[-1]
        settle(("flyToSelectedDevices(arguments[0]);", last), positions[last][0],
               positions[last][1], 14)

        log("flyTo, flyToAllDevices and flyToSelectedDevices moved the map")

        # The third device goes again: its marker leaves the open page.
        os.replace(args.first_settings, args.settings)
        os.kill(args.pid, signal.SIGHUP)
        seen = wait_for("markers %s after the removal" % before,
                        lambda: markers_match(driver, before), 10)
        log("after the removal: %s" % json.dumps(seen))
        if driver.run("return window.__zmToken;") != token:
            raise Failure("the page was reloaded")
        # Let the page poll a few more times after the calls before the errors are read.
        time.sleep(1.5)
        problems = ["script " + e for e in driver.run("return window.__zmScriptErrors;")]
        local = args.url.rstrip("/") + "/"
        for url in driver.run("return window.__zmResourceErrors;"):
            # Only the map tiles live outside; without Internet they fail, and that is
            # no fault of the page. Anything of our own server must load.
            if url.startswith(local) or not url.startswith("https://"):
                problems.append("resource failed: " + url)
        entries = driver.browser_log()
        missing_files = 0
        for entry in entries:
            message = entry.get("message", "")
            if entry.get("level") != "SEVERE":
                continue
            source = entry.get("source", "")
            if source == "network" and not message.startswith(local):
                continue
            # The browser's own request for a site icon, which the page never makes.
            if source == "network" and message.startswith(local + "favicon.ico "):
                continue
            # A device is listed from the moment it is added, its file follows with its
            # first state; a removed device's file goes while a poll may still hold the
            # old list. Such a poll finds no file and the next one, a second later, is
            # right. A file that never comes fails the marker checks above.
            if (source == "network" and message.startswith(local + "files/")
                    and ".kml - " in message and "status of 404" in message):
                missing_files += 1
                continue
            problems.append("browser log (%s): %s" % (source or "?", message))
        for entry in entries:
            if entry.get("source") != "network":
                log("browser log: %s %s %s" % (entry.get("level"), entry.get("source"),
                                               entry.get("message", "")[:300]))
        outside = driver.run("return window.__zmResourceErrors;")
        hosts = sorted(set(u.split("/")[2] for u in outside if u.count("/") >= 2))
        log("browser log entries: %d; device files missing for a moment: %d; resources that failed"
            " outside: %d, from %s" % (len(entries), missing_files, len(outside), hosts))
        if problems:
            raise Failure("errors in the page:\n  " + "\n  ".join(problems))
        log("PASS")
        return 0
    except Failure as e:
        log("FAIL: %s" % e)
        try:
            with open(os.path.join(work, "chromedriver.log"), errors="replace") as f:
                tail = f.readlines()[-20:]
            log("chromedriver log (end):\n" + "".join(tail))
        except OSError:
            pass
        return 1
    finally:
        if driver is not None:
            driver.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
