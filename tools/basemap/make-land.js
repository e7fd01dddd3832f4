#!/usr/bin/env node
// Turns Natural Earth's 1:10m land (TopoJSON of the world-atlas package) into the GeoJSON
// the station serves as its offline base map. Coordinates are rounded to 0.001 degree
// (about 100 m, finer than the 1:10m source) and points that then fall together are
// dropped, which keeps the file small enough to load with every map page.
//
// Usage: make-land.js NODE_MODULES_FOLDER OUTPUT_FILE
'use strict';
const fs = require('fs');
const path = require('path');

const [modules, output] = process.argv.slice(2);
if (!modules || !output) {
    console.error('usage: make-land.js NODE_MODULES_FOLDER OUTPUT_FILE');
    process.exit(2);
}
const topojson = require(path.join(modules, 'topojson-client'));
const topology = JSON.parse(fs.readFileSync(path.join(modules, 'world-atlas', 'land-10m.json')));
const land = topojson.feature(topology, topology.objects.land);

const round = (v) => Math.round(v * 1000) / 1000;
function ring(points) {
    const out = [];
    for (const [x, y] of points) {
        const p = [round(x), round(y)];
        const last = out[out.length - 1];
        if (!last || last[0] !== p[0] || last[1] !== p[1])
            out.push(p);
    }
    // A ring needs four points, the last equal to the first.
    return out.length >= 4 ? out : null;
}
function polygon(rings) {
    const kept = rings.map(ring);
    return kept[0] ? kept.filter((r) => r) : null;
}
const polygons = [];
for (const feature of land.type === 'FeatureCollection' ? land.features : [land]) {
    const g = feature.geometry;
    const list = g.type === 'Polygon' ? [g.coordinates] : g.coordinates;
    for (const p of list) {
        const kept = polygon(p);
        if (kept)
            polygons.push(kept);
    }
}
const geojson = {
    type: 'Feature',
    properties: { source: 'Natural Earth 1:10m land (public domain), via world-atlas' },
    geometry: { type: 'MultiPolygon', coordinates: polygons },
};
fs.mkdirSync(path.dirname(output), { recursive: true });
fs.writeFileSync(output + '.new', JSON.stringify(geojson));
fs.renameSync(output + '.new', output);
console.log(`${output}: ${polygons.length} polygons, ${fs.statSync(output).size} bytes`);
