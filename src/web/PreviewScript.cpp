#include "web/PreviewScript.h"

namespace zm {

const char* PreviewScript() {
    return R"JS(function addComboBox(id, onChange, onFocus) {
    var panel = document.getElementById('ui-panel');
    var box = document.createElement('select');
    box.id = id;
    box.onchange = onChange;
    box.onfocus = onFocus;
    panel.appendChild(box);
    return box;
}
function getXMLHttpRequestObject() {
    if (window.XMLHttpRequest)
        return new XMLHttpRequest();
    return new ActiveXObject('MSXML2.XMLHTTP.3.0');
}
function addOptionToComboBox(box, text) {
    var option = document.createElement('option');
    option.text = text;
    option.value = text;
    box.appendChild(option);
}
function clearComboBox(box) {
    while (box.options.length > 0)
        box.remove(0);
}
function decodeString(text) {
    var area = document.createElement('textarea');
    area.innerHTML = text;
    return area.value;
}
function isBlank(text) {
    return text === undefined || text === null || /^\s*$/.test(text);
}
function contains(list, item) {
    for (var i = 0; i < list.length; i++)
        if (list[i] === item)
            return true;
    return false;
}
function compareArray(a, b) {
    if (!a || !b || a.length != b.length)
        return false;
    for (var i = 0; i < a.length; i++) {
        if (a[i] instanceof Array && b[i] instanceof Array) {
            if (!compareArray(a[i], b[i]))
                return false;
        } else if (a[i] !== b[i]) {
            return false;
        }
    }
    return true;
}
// The device's file title as the report writes it.
function deviceFileName(name) {
    return name.replace(/[\/\\:*?<>|]/g, '_').replace(/"/g, "'");
}
var userAgent = navigator.userAgent.toLowerCase();
var isIE = userAgent.indexOf('trident') >= 0 || userAgent.indexOf('msie') >= 0;
var root = window.location.protocol + '//' + window.location.host + '/';
var map = null;
var devices = [];
var markers = {};
var lines = {};
var shapes = null;
var fitDone = false;
// The centre comes with the page, as attributes of its body: no script is inline.
function pageNumber(name, fallback) {
    var value = parseFloat(document.body.getAttribute(name));
    return isFinite(value) ? value : fallback;
}
var mapOptions = null;
function readMapOptions() {
    mapOptions = { elt: 'map', zoom: 11,
                   latLng: { lat: pageNumber('data-lat', 0), lng: pageNumber('data-lng', 0) },
                   mtype: 'osm', bestFitMargin: 0, zoomOnDoubleClick: true };
}
function setMapSize() {
    var width = isIE ? document.documentElement.clientWidth : window.innerWidth;
    var height = isIE ? document.documentElement.clientHeight : window.innerHeight;
    var panel = document.getElementById('ui-panel');
    var element = document.getElementById('map');
    element.style.width = width + 'px';
    element.style.height = Math.max(height - panel.offsetHeight, 0) + 'px';
    if (map)
        map.invalidateSize();
}
function init() {
    readMapOptions();
    try {
        setMapSize();
        window.onresize = setMapSize;
        map = L.map(mapOptions.elt, {
            center: [mapOptions.latLng.lat, mapOptions.latLng.lng],
            zoom: mapOptions.zoom,
            zoomControl: false,
            doubleClickZoom: mapOptions.zoomOnDoubleClick,
            scrollWheelZoom: true
        });
        addBaseMap();
        addTileLayer();
        L.control.scale({ imperial: false, position: 'bottomleft' }).addTo(map);
        L.control.zoom({ position: 'topleft' }).addTo(map);
        addGeolocationControl();
        shapes = L.layerGroup().addTo(map);
        shapes.name = 'ZORS';
    } catch (e) {
    }
    initCallback();
}
// The station's own land layer, under the tiles and the markers, over a plain sea: the
// map shows the coast without any outside server. map.zorBaseMap tells whether it came.
function addBaseMap() {
    map.zorBaseMap = 'none';
    if (document.body.getAttribute('data-basemap') != '1') {
        updateMapNotice();
        return;
    }
    map.createPane('basemap');
    map.getPane('basemap').style.zIndex = 150;
    map.getPane('basemap').style.pointerEvents = 'none';
    map.zorBaseMap = 'loading';
    var request = getXMLHttpRequestObject();
    request.open('GET', '/basemap/land.geojson', true);
    request.onload = function () {
        if (request.status != 200) {
            map.zorBaseMap = 'failed';
        updateMapNotice();
            return;
        }
        try {
            L.geoJSON(JSON.parse(request.responseText), {
                pane: 'basemap',
                interactive: false,
                renderer: L.canvas({ pane: 'basemap' }),
                style: { stroke: true, color: '#9a9482', weight: 1, fillColor: '#efe9d9',
                         fillOpacity: 1 }
            }).addTo(map);
            map.zorBaseMap = 'drawn';
            updateMapNotice();
        } catch (e) {
            map.zorBaseMap = 'failed';
        updateMapNotice();
        }
    };
    request.onerror = function () {
        map.zorBaseMap = 'failed';
        updateMapNotice();
    };
    request.send(null);
}
// The outside tiles the settings name, if any; where they do not load the map stays as it
// is, and that is no error.
function addTileLayer() {
    map.zorTiles = 'none';
    var url = document.body.getAttribute('data-tiles');
    if (isBlank(url)) {
        updateMapNotice();
        return;
    }
    map.zorTiles = 'loading';
    var tiles = L.tileLayer(url, {
        maxZoom: 19,
        attribution: document.body.getAttribute('data-tiles-attribution') || ''
    });
    tiles.on('tileerror', function () {
        if (map.zorTiles != 'loaded')
            map.zorTiles = 'failed';
        updateMapNotice();
    });
    tiles.on('tileload', function () {
        map.zorTiles = 'loaded';
        updateMapNotice();
    });
    tiles.addTo(map);
}
// Without land and without tiles the map is a bare square: say why, so that the operator
// does not take it for a fault of the devices.
function updateMapNotice() {
    var notice = document.getElementById('map-notice');
    if (!notice || !map)
        return;
    var noLand = map.zorBaseMap == 'none' || map.zorBaseMap == 'failed';
    var noTiles = map.zorTiles === undefined || map.zorTiles == 'none' ||
        map.zorTiles == 'failed';
    notice.style.display = noLand && noTiles ? 'block' : 'none';
}
function addGeolocationControl() {
    var Control = L.Control.extend({
        options: { position: 'topright' },
        onAdd: function () {
            var button = L.DomUtil.create('a', 'leaflet-bar leaflet-control');
            button.href = '#';
            button.title = 'My position';
            button.innerHTML = '&#9678;';
            button.style.cssText = 'width:30px;height:30px;line-height:30px;text-align:center;' +
                'background:#fff;font-size:18px;text-decoration:none;color:#333;' +
                'margin-top:50px;margin-right:10px;';
            L.DomEvent.on(button, 'click', function (ev) {
                L.DomEvent.preventDefault(ev);
                map.locate({ setView: true, maxZoom: 14 });
            });
            return button;
        }
    });
    new Control().addTo(map);
}
function initCallback() {
    if (document.body.getAttribute('data-selector') == '1')
        addComboBox('deviceComboBox', onFlyTo, resetDevicesComboBoxSelection);
    requestDeviceInformation();
}
function httpGet(url) {
    var request = getXMLHttpRequestObject();
    request.open('GET', url, false);
    request.send(null);
    return request.status == 200 ? request.responseText : null;
}
function parseXml(text) {
    if (isIE) {
        var doc = new ActiveXObject('Microsoft.XMLDOM');
        doc.async = false;
        doc.loadXML(text);
        return doc;
    }
    return new DOMParser().parseFromString(text, 'text/xml');
}
function childText(node, name) {
    var list = node.getElementsByTagName(name);
    if (list.length == 0)
        return 'undefined';
    return list[0].textContent !== undefined ? list[0].textContent : list[0].text;
}
function parseCoordinates(text) {
    var points = [];
    var tuples = text.replace(/^\s+|\s+$/g, '').split(/\s+/);
    for (var i = 0; i < tuples.length; i++) {
        var parts = tuples[i].split(',');
        if (parts.length >= 2)
            points.push([parseFloat(parts[1]), parseFloat(parts[0])]);
    }
    return points;
}
function walkKml(node, key, found) {
    for (var child = node.firstChild; child; child = child.nextSibling) {
        if (child.nodeType != 1)
            continue;
        if (child.nodeName == 'Placemark') {
            var name = childText(child, 'name');
            var description = childText(child, 'description');
            if (child.getElementsByTagName('Point').length > 0) {
                var points = parseCoordinates(childText(child, 'coordinates'));
                var style = childText(child, 'styleUrl');
                var icon = '../images/' + style.substring(style.lastIndexOf('_') + 1);
                if (points.length > 0)
                    found.point = { lat: points[0][0], lng: points[0][1], icon: icon,
                                    title: name, content: description };
            } else if (child.getElementsByTagName('LineString').length > 0) {
                found.lines.push(parseCoordinates(childText(child, 'coordinates')));
            }
            continue;
        }
        walkKml(child, key, found);
    }
}
function loadDeviceKml(name) {
    // Escaped, so that "#", "%", "+" or "?" in a name stay part of the file's name.
    var text = httpGet(root + 'files/' + encodeURIComponent(deviceFileName(name)) + '.kml');
    if (text === null)
        return;
    var doc = parseXml(text);
    var found = { point: null, lines: [] };
    walkKml(doc, name, found);
    if (found.point)
        kmlFinishedLoading(name, found.point);
    if (lines[name])
        for (var i = 0; i < lines[name].length; i++)
            shapes.removeLayer(lines[name][i]);
    lines[name] = [];
    for (var j = 0; j < found.lines.length; j++) {
        var line = L.polyline(found.lines[j], { color: '#FF0000', opacity: 1.0, weight: 2 });
        shapes.addLayer(line);
        lines[name].push(line);
    }
}
function kmlFinishedLoading(key, point) {
    var old = markers[key];
    if (old && old.zorLat == point.lat && old.zorLng == point.lng && old.zorIcon == point.icon)
        return;
    if (old)
        shapes.removeLayer(old);
    var marker = L.marker([point.lat, point.lng], {
        icon: L.icon({ iconUrl: point.icon, iconSize: [32, 32], iconAnchor: [16, 16],
                       popupAnchor: [0, -16] }),
        title: point.title
    });
    marker.bindPopup(popupContent(point.title, point.content));
    marker.zorLat = point.lat;
    marker.zorLng = point.lng;
    marker.zorIcon = point.icon;
    marker.zorKey = key;
    markers[key] = marker;
    shapes.addLayer(marker);
    if (!fitDone && devices.length > 0 && markerCount() == devices.length) {
        fitDone = true;
        setTimeout(flyToAllDevices, 1000);
    }
}
// The name is the operator's text and goes in as text; the description is the report
// writer's own markup.
function popupContent(title, content) {
    var box = document.createElement('div');
    var bold = document.createElement('b');
    bold.textContent = title;
    box.appendChild(bold);
    box.appendChild(document.createElement('br'));
    box.insertAdjacentHTML('beforeend', content);
    return box;
}
function markerCount() {
    var n = 0;
    for (var key in markers)
        if (markers.hasOwnProperty(key))
            n++;
    return n;
}
function removeMarker(key) {
    if (markers[key]) {
        shapes.removeLayer(markers[key]);
        delete markers[key];
    }
    if (lines[key]) {
        for (var i = 0; i < lines[key].length; i++)
            shapes.removeLayer(lines[key][i]);
        delete lines[key];
    }
}
function requestDeviceInformation() {
    try {
        var text = httpGet('/device-list');
        if (text !== null) {
            var names = [];
            var parts = text.split(';');
            for (var i = 0; i < parts.length; i++)
                if (!isBlank(parts[i]))
                    names.push(parts[i]);
            var changed = !compareArray(names, devices);
            if (changed) {
                for (var key in markers)
                    if (markers.hasOwnProperty(key) && !contains(names, key))
                        removeMarker(key);
                for (var key2 in lines)
                    if (lines.hasOwnProperty(key2) && !contains(names, key2))
                        removeMarker(key2);
                devices = names;
            }
            for (var j = 0; j < names.length; j++) {
                try {
                    loadDeviceKml(names[j]);
                } catch (e) {
                }
            }
            var box = document.getElementById('deviceComboBox');
            if (changed && box) {
                clearComboBox(box);
                addOptionToComboBox(box, 'all');
                for (var k = 0; k < names.length; k++)
                    addOptionToComboBox(box, names[k]);
            }
        }
    } catch (e) {
    }
    setTimeout(requestDeviceInformation, 1000);
}
function onFlyTo() {
    var box = document.getElementById('deviceComboBox');
    if (!box || box.selectedIndex < 0)
        return;
    var name = box.options[box.selectedIndex].value;
    if (box.selectedIndex == 0)
        flyToAllDevices();
    else
        flyToSelectedDevices(name);
}
function resetDevicesComboBoxSelection() {
    var box = document.getElementById('deviceComboBox');
    if (box)
        box.selectedIndex = -1;
}
function flyToDevices(names) {
    var north = 0, south = 0, east = 0, west = 0, first = true;
    for (var key in markers) {
        if (!markers.hasOwnProperty(key) || !contains(names, key))
            continue;
        var p = markers[key].getLatLng();
        if (first) {
            north = south = p.lat;
            east = west = p.lng;
            first = false;
        } else {
            north = Math.max(north, p.lat);
            south = Math.min(south, p.lat);
            east = Math.max(east, p.lng);
            west = Math.min(west, p.lng);
        }
    }
    if (map && north != 0 && south != 0 && east != 0 && west != 0)
        map.panTo([(north + south) / 2, (east + west) / 2], { animate: false });
}
function flyToAllDevices() {
    flyToDevices(devices);
}
function flyToSelectedDevices() {
    var names = [];
    for (var i = 0; i < arguments.length; i++)
        names.push(String(arguments[i]));
    flyToDevices(names);
}
function flyTo(lat, lon, zoom) {
    if (map)
        map.setView([parseFloat(lat), parseFloat(lon)], parseInt(zoom, 10));
}
window.addEventListener('load', init);
)JS";
}

const char* PreviewStyle() {
    return R"CSS(body { font-family: arial; font-size: 13px; margin: 0; padding: 0; overflow: hidden; }
#ui-panel { margin: 0; padding: 0; }
#map { width: 725px; height: 470px; }
/* The sea under the station's land layer. */
#map.leaflet-container { background: #aacbe0; }
#map-notice { display: none; position: absolute; left: 50px; bottom: 24px; z-index: 1000;
    padding: 4px 8px; background: #fff8dc; border: 1px solid #c86400; color: #333; }
)CSS";
}

}  // namespace zm
