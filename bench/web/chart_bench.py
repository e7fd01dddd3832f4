#!/usr/bin/python3
"""Draws a trend of 20,000 points with Debian's Chart.js (libjs-chart.js) and with npm's
uPlot in headless Chromium, ten times each on a fresh canvas, and prints the median time
of one chart from construction until its pixels are on the canvas (read back, so that no
drawing is left pending).

Usage: chart_bench.py [UPLOT_DIST_FOLDER]   (default: .cache/chartbench/node_modules/uplot/dist)
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHARTJS = "/usr/share/javascript/chart.js/chart.min.js"
UPLOT = os.path.join(sys.argv[1] if len(sys.argv) > 1 else
                     os.path.join(ROOT, ".cache/chartbench/node_modules/uplot/dist"),
                     "uPlot.iife.min.js")
POINTS, RUNS = 20000, 10

COMMON = r"""
var N = %d, RUNS = %d;
function series() {
    var xs = new Float64Array(N), ys = new Float64Array(N), v = 500;
    for (var i = 0; i < N; i++) {
        xs[i] = 1.6e9 + i * 134;                  // a month in 20,000 buckets
        v += Math.sin(i * 0.37) * 40 + (i %% 97 == 0 ? 900 : 0) - (v - 500) * 0.05;
        ys[i] = v;
    }
    return [xs, ys];
}
function box() {
    var d = document.createElement('div');
    document.body.appendChild(d);
    return d;
}
function flush(canvas) {
    canvas.getContext('2d').getImageData(0, 0, 1, 1);
}
function finish(times) {
    times.sort(function (a, b) { return a - b; });
    document.getElementById('out').textContent =
        'median=' + times[Math.floor(times.length / 2)].toFixed(2) + ' min=' + times[0].toFixed(2) +
        ' max=' + times[times.length - 1].toFixed(2);
}
// Every run in the microtask queue: all of it ends before the page's load event.
function runAll(one) {
    var data = series(), times = [], chain = Promise.resolve();
    for (var r = 0; r < RUNS; r++) {
        chain = chain.then(function () {
            var t0 = performance.now();
            return Promise.resolve(one(data)).then(function (canvas) {
                flush(canvas);
                times.push(performance.now() - t0);
            });
        });
    }
    chain.then(function () { finish(times); }, function (e) {
        document.getElementById('out').textContent = 'error ' + e;
    });
}
""" % (POINTS, RUNS)

CHARTJS_RUN = r"""
runAll(function (data) {
    var canvas = document.createElement('canvas');
    canvas.width = 1000; canvas.height = 400;
    box().appendChild(canvas);
    var points = new Array(N);
    for (var i = 0; i < N; i++) points[i] = { x: data[0][i], y: data[1][i] };
    new Chart(canvas.getContext('2d'), {
        type: 'line',
        data: { datasets: [{ data: points, borderColor: '#c00', borderWidth: 1, pointRadius: 0 }] },
        options: { animation: false, responsive: false, parsing: false, normalized: true,
                   spanGaps: false, scales: { x: { type: 'linear' } },
                   plugins: { legend: { display: false } } }
    });
    return Promise.resolve().then(function () { return canvas; });
});
"""

UPLOT_RUN = r"""
runAll(function (data) {
    var el = box();
    new uPlot({ width: 1000, height: 400, legend: { show: false },
                series: [{}, { stroke: '#c00', width: 1 }] }, [data[0], data[1]], el);
    // uPlot draws in a microtask after the construction.
    return Promise.resolve().then(function () { return el.querySelector('canvas'); });
});
"""


def run(folder, name, library, script):
    with open(os.path.join(folder, name + ".js"), "w") as f:
        f.write(COMMON + script)
    with open(os.path.join(folder, name + ".html"), "w") as f:
        f.write('<html><body><pre id="out">not run</pre><script src="%s"></script>'
                '<script src="%s.js"></script></body></html>' % (library, name))
    out = subprocess.run(
        ["timeout", "120", "chromium", "--headless", "--no-sandbox", "--disable-gpu",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--user-data-dir=" + os.path.join(folder, "profile-" + name), "--dump-dom",
         "file://" + os.path.join(folder, name + ".html")],
        capture_output=True, text=True).stdout
    m = re.search(r'<pre id="out">([^<]*)</pre>', out)
    return m.group(1) if m else "no result"


def main():
    for path in (CHARTJS, UPLOT):
        if not os.path.exists(path):
            print("missing: %s" % path)
            return 77
    folder = tempfile.mkdtemp(prefix="chart-bench-")
    try:
        shutil.copy(CHARTJS, os.path.join(folder, "chart.min.js"))
        shutil.copy(UPLOT, os.path.join(folder, "uPlot.iife.min.js"))
        print("%d points, %d charts each, ms per chart:" % (POINTS, RUNS))
        print("  Chart.js (libjs-chart.js): %s" % run(folder, "chartjs", "chart.min.js", CHARTJS_RUN))
        print("  uPlot (npm):               %s" % run(folder, "uplot", "uPlot.iife.min.js", UPLOT_RUN))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
