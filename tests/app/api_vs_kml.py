#!/usr/bin/python3
"""Reads /api/devices with Python's own JSON reader and compares it with /device-list and
the KML placemarks under the KML root. Prints OK, or what differs, and exits 0 or 1."""
import glob
import json
import sys
import urllib.request
import xml.etree.ElementTree as ET


def local(tag):
    return tag.rsplit("}", 1)[-1]


def text_of(element, name):
    """The text of the first descendant with this local name, whatever its namespace."""
    for child in element.iter():
        if local(child.tag) == name:
            return child.text
    return None


def fetch(url):
    with urllib.request.urlopen(url, timeout=5) as reply:
        return reply.headers.get("Content-Type", ""), reply.read()


def placemarks(kml_root):
    found = {}
    for path in glob.glob(kml_root + "/**/files/*.kml", recursive=True):
        try:
            tree = ET.parse(path)
        except ET.ParseError as error:
            print("KML not readable: %s: %s" % (path, error))
            continue
        # One document per device: its name is the device's, its placemark's name adds
        # the status text in brackets.
        document = next((e for e in tree.getroot() if local(e.tag) == "Document"), None)
        if document is None:
            continue
        device = next((e.text for e in document if local(e.tag) == "name"), None)
        for mark in document.iter():
            if local(mark.tag) != "Placemark":
                continue
            title = text_of(mark, "name") or ""
            coords = text_of(mark, "coordinates")
            style = text_of(mark, "styleUrl") or ""
            if device is None or coords is None:
                continue
            lon, lat = [float(x) for x in coords.strip().split(",")[:2]]
            found[device] = (lat, lon, style.rsplit("_", 1)[-1], title)
    return found


def main():
    base, kml_root, station = sys.argv[1], sys.argv[2], sys.argv[3]
    ctype, body = fetch(base + "/api/devices")
    if ctype != "application/json; charset=utf-8":
        print("Content-Type is %r" % ctype)
        return 1
    api = json.loads(body.decode("utf-8"))
    problems = []
    if api.get("station") != station:
        problems.append("station %r" % api.get("station"))
    names = [d["name"] for d in api["devices"]]
    _, listed = fetch(base + "/device-list")
    listed = [n for n in listed.decode("utf-8").split(";") if n]
    if names != listed:
        problems.append("names %r against /device-list %r" % (names, listed))
    marks = placemarks(kml_root)
    for device in api["devices"]:
        mark = marks.get(device["name"])
        if mark is None:
            problems.append("no placemark for %r" % device["name"])
            continue
        lat, lon, icon, title = mark
        if title != "%s (%s)" % (device["name"], device["statusText"]):
            problems.append("placemark %r for %r (%s)" % (title, device["name"], device["statusText"]))
        if abs(lat - device["lat"]) > 1e-6 or abs(lon - device["lon"]) > 1e-6:
            problems.append("%r at %r,%r in KML, %r,%r in JSON"
                            % (device["name"], lat, lon, device["lat"], device["lon"]))
        if icon != device["icon"] + ".png":
            problems.append("%r icon %r in KML, %r in JSON" % (device["name"], icon, device["icon"]))
        for key in ("status", "statusText", "level", "time", "value", "colour"):
            if key not in device:
                problems.append("%r has no %s" % (device["name"], key))
    if problems:
        print("; ".join(problems))
        return 1
    print("OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
