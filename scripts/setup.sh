#!/usr/bin/env bash
# The one list of what ZorManager needs from Debian's packages. run.sh and test.sh source
# this file and call zm_setup, which installs only what is missing.
# Add a package here, with a comment saying what uses it; nowhere else.

ZM_PACKAGES=(
    build-essential      # the C/C++ compiler and make
    cmake                # the build system (3.25 or newer)
    ninja-build          # the generator the presets use
    pkg-config           # finds libserialport, pugixml and OpenSSL for CMake
    libgtest-dev         # GoogleTest: the unit and integration tests
    libgmock-dev         # GoogleMock: matchers used by the tests
    libbenchmark-dev     # Google Benchmark: bench/
    libssl-dev           # OpenSSL: SMTP TLS, MD5, HMAC, Base64
    libserialport-dev    # serial port link and port enumeration
    libpugixml-dev       # XML document class under the KML writer
    libmodbus-dev        # tests: an independent Modbus RTU peer for the range finder
    libjs-leaflet        # the map on the preview page, served by our own HTTP server
    libmosquitto-dev     # MQTT client library: publishing to a control room's broker
    nlohmann-json3-dev   # JSON for the MQTT messages and the web server's /api routes
    mosquitto            # tests and benchmarks: a real MQTT broker on loopback
    mosquitto-clients    # tests: mosquitto_sub as the control room's independent subscriber
    python3              # tests: independent readers and helper peers
    python3-aiosmtpd     # tests: a real SMTP server on loopback
    openssl              # tests: self-signed certificates for the TLS mail tests
    curl                 # tests: a real HTTP client against the embedded server
    iputils-ping         # tests: cross-check of ICMP echo availability
    procps               # tests: process inspection (ps, pkill)
    iproute2             # tests: ip gives a test's own network namespace a non-loopback address
    libxml2-utils        # tests: xmllint, an independent reader of the KML files
    chromium             # tests: a headless browser loads the preview page and its markers
    nodejs               # the build: makes the offline base map (tools/basemap/make-land.js)
    libjs-chart.js       # bench/web/chart_bench.py: Chart.js measured against uPlot
    chromium-driver      # tests: chromedriver, the WebDriver server that drives that browser
    gdal-bin             # tests: GDAL's ogrinfo reads our KML as an independent reader
    ccache               # build: compiler cache shared by worktrees and rebuilds
    qt6-base-dev         # the desktop program: Qt Core, Gui, Widgets, Test
    qt6-base-dev-tools   # the desktop program: moc and rcc
    qt6-webengine-dev    # the desktop program: log views and the embedded map (QWebEngineView)
    qt6-multimedia-dev   # the desktop program: the alarm sound
    qt6-qpa-plugins      # tests: the offscreen and xcb platforms
    libgl-dev            # the desktop program: OpenGL headers that Qt Gui's CMake files ask for
    xvfb                 # tests: a virtual display for WebEngine and end-to-end runs
    xauth                # tests: xvfb-run's display authorisation
    dbus                 # tests: a session bus for the accessibility tests (dbus-run-session)
    at-spi2-core         # tests: the accessibility bus that reads the program's windows
    python3-pyatspi      # tests: reads titles, table cells and menu checks over AT-SPI
    xdotool              # tests: key presses and clicks into the real program
    imagemagick          # tests: screenshots of the real program (import)
    dpkg-dev             # packages: dpkg-shlibdeps computes their dependencies
    help2man             # packages: man pages of zormanagerd, zor-sim and zor-probe
    lintian              # tests: Debian's checks of the packages
    systemd              # tests: systemd-analyze checks the server's service unit
    man-db               # tests: the packages' man pages render without warnings
    desktop-file-utils   # tests: desktop-file-validate checks the desktop program's menu entry
    locales              # tests: the German locale (localedef) under which numbers must keep their points
    libsqlite3-dev       # the alarm journal and the outbox: SQLite databases in WAL mode
    sqlite3              # tests: an independent reader of the journal
    libsodium-dev        # operator accounts: Argon2id password hashes (crypto_pwhash)
    faketime             # tests: libfaketime moves the real server's clock across midnight and month ends
    python3-selenium     # tests: Selenium drives headless Chromium through the web console
)

# Only for bench/web/wrk_vs_nginx.sh, which installs them itself; the tests never need them.
ZM_BENCH_PACKAGES=(
    wrk                  # bench: HTTP load generator against the embedded server
    nginx                # bench: the reference static file server beside ours
)

# Only for the windows preset (the platform layer's Windows side, compiled but not yet in
# the suite): install by hand with apt-get before `cmake --preset windows`.
ZM_WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix  # build: the Windows cross compiler (C++20, std::thread)
)

# Only for bench/fuzz/run.sh, which installs them itself; the suite replays the fuzz corpora
# with the normal compiler.
ZM_FUZZ_PACKAGES=(
    clang-14             # bench/fuzz: the libFuzzer targets build with clang (preset "fuzz")
    libclang-rt-14-dev   # bench/fuzz: libFuzzer and clang's sanitizer run-times
)

zm_missing_packages() {
    local pkg missing=()
    for pkg in "${ZM_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    printf '%s\n' "${missing[@]}"
}

# What the web pages take from npm, pinned in third_party/<set>/ (package.json and
# package-lock.json) and installed with npm ci into the ignored .cache/<set>/, where the
# build finds it: "basemap" (world-atlas 2.0.2 with Natural Earth's public-domain land,
# topojson-client 3.1.0, both ISC) and "console" (uPlot 1.6.32, MIT). Only when a lock
# file changed or nothing is there yet.
zm_setup_npm() {
    local set="$1" root
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    local from="$root/third_party/$set" to="$root/.cache/$set"
    if [ -d "$to/node_modules" ] && cmp -s "$from/package-lock.json" "$to/package-lock.json"; then
        return 0
    fi
    command -v npm >/dev/null 2>&1 || { echo "npm is missing: no $set packages" >&2; return 1; }
    mkdir -p "$to" && cp "$from/package.json" "$from/package-lock.json" "$to/" || return 1
    (cd "$to" && npm ci --ignore-scripts --no-audit --no-fund --silent) || {
        echo "npm ci failed: no $set packages" >&2
        return 1
    }
}

# Debian's npm only where the machine has no npm at all: a machine with Node.js from
# elsewhere already has one, and Debian's package conflicts with it.
zm_setup_basemap() {
    command -v npm >/dev/null 2>&1 || zm_install_missing npm || return 1
    zm_setup_npm basemap && zm_setup_npm console
}

zm_setup() {
    zm_setup_packages || return 1
    # A station without the base map still runs; its maps draw no land.
    zm_setup_basemap || true
}

zm_setup_packages() {
    local missing
    mapfile -t missing < <(zm_missing_packages)
    [ "${#missing[@]}" -eq 0 ] && return 0
    [ -z "${missing[0]}" ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null 2>&1 || { echo "Need root or sudo to install: ${missing[*]}" >&2; return 1; }
        sudo="sudo"
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq || return 1
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
}

# zm_build PRESET [TARGET...]: configure (once) and build one preset, or only the targets
# named (run.sh builds the program it starts, not the test suite).
zm_build() {
    local preset="$1"
    shift
    local targets=() target
    for target in "$@"; do
        targets+=(--target "$target")
    done
    local root
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    (cd "$root" && cmake --preset "$preset" >/dev/null && zm_refresh_autogen "build/$preset" &&
        cmake --build --preset "$preset" -j "$(nproc)" "${targets[@]}")
}

# CMake 3.25's Ninja rules do not rerun moc when a target gains files (a merge that adds a
# screen family): forget the moc step's stamp wherever its settings are newer.
zm_refresh_autogen() {
    local info dir target stamp
    while IFS= read -r info; do
        dir="$(dirname "$info")"
        target="$(basename "$dir" .dir)"
        stamp="$(dirname "$(dirname "$dir")")/$target/timestamp"
        [ -f "$stamp" ] && [ "$info" -nt "$stamp" ] && rm -f "$stamp"
    done < <(find "$1" -path '*_autogen.dir/AutogenInfo.json' 2>/dev/null)
    return 0
}

# zm_setup_bench: installs what the web benchmark needs beside the build packages.
zm_setup_bench() {
    zm_install_missing "${ZM_BENCH_PACKAGES[@]}"
}

# zm_setup_fuzz: installs the compiler the fuzz targets need beside the build packages.
zm_setup_fuzz() {
    zm_install_missing "${ZM_FUZZ_PACKAGES[@]}"
}

# zm_install_missing PACKAGE...: installs those of the packages that are missing.
zm_install_missing() {
    local pkg missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null 2>&1 || { echo "Need root or sudo to install: ${missing[*]}" >&2; return 1; }
        sudo="sudo"
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq || return 1
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
}
