#include "SimOptions.h"

#include <cstdlib>
#include <fstream>

namespace zm::sim {

namespace {

constexpr const char* kHelp = R"(zor-sim: simulated ZOR sensors (and a range finder) on one bus.

Usage: zor-sim [OPTIONS]

Transports (any combination; at least one):
  --tcp-port N       TCP server port (default 11221; 0 picks a free port). Several
                     clients may connect at once; each gets the whole bus.
  --bind ADDR        address the TCP server listens on (default 127.0.0.1)
  --no-tcp           no TCP server
  --pty              create a pseudo-terminal serial port; its slave path is the
                     first line of standard output

Bus:
  --sensor SPEC      add a sensor (repeatable; without any, one sensor at address 99).
                     SPEC is key=value pairs separated by commas:
                       addr=N            bus address 1..255 (required)
                       type=A.B.C.D      controller type bytes (default 5.2.0.1)
                       params=182|180    parameter block layout answered (default 182)
                       state=20|10       state record length answered (default 20)
                       records=N         data records per data answer (default 5)
                       source=KIND       constant:V | ramp:START:STEP |
                                         sine:MEAN:AMPLITUDE:PERIOD_IN_RECORDS |
                                         list:V1;V2;... (one value per data answer;
                                         the last value repeats; nan, inf and -inf
                                         send non-finite floats) |
                                         drift:BASE:PEAK:PERIOD:WIDTH (by the clock:
                                         every PERIOD seconds from the moment it is
                                         set, up from BASE to PEAK and back in a
                                         smooth hump of WIDTH seconds)
                       value=V           shorthand for source=constant:V
                       bkg=V|auto|nan    record background (default auto: signal/4)
                       alarm=0|1|auto    alarm bit of the state record; auto: set
                                         while the signal lies between
                                         param.MinSigThr and param.MaxSigThr
                       invalid=0|1       "values not valid" bit of the state record
                       pressure=KPA temperature=DEGC sealevel=CM fluobkg=V
                       statebyte.N=V     any byte 0..19 of the state record
                       devnum=TEXT       device number in the parameter block
                       param.FIELD=V     any numeric field of the parameter block, e.g.
                                         param.MinSigThr=500 param.MaxSigThr=10000
                                         param.Latitude=59.9 param.MeasFlags=0x0201
  --rangefinder N    a range finder at address 101 answering count N
  --latency MS       delay before every reply (default 0)
  --baud N           add the time request and reply take on a serial line of N baud
                     (10 bits per byte; default 0 = none)

Control and logging:
  --control-port N   line protocol on 127.0.0.1:N as well as on standard input
                     (0 picks a free port)
  --log FILE         transaction log, one line per request and per reply with times
                     ("-" = standard error)
  --config FILE      read options from FILE: one per line, "option value" without the
                     leading dashes, '#' starts a comment
  --help             this text
  --version          the version, then exit

Standard output: the pty path (with --pty), then "tcp ADDR:PORT", "control
127.0.0.1:PORT", and "ready" once everything listens; answers to control lines read
from standard input follow.

Control lines (answer "OK ..." or "ERR ..."):
  set ADDR key=value[,key=value...]   change a sensor (keys as for --sensor)
  set ADDR key value                  the same for one key
  add ADDR key=value...               add a sensor
  remove ADDR                         remove a sensor
  rf COUNT | rf off                   range finder count, or none
  fault KIND [N [ARG]]                the next N replies (default 1) get a fault:
                                      drop | crc | truncate [bytes kept] |
                                      delay [ms, default 1500] | garbage [bytes before
                                      the reply, default 3] | len600 | close |
                                      trickle [ms between bytes, default 500]
  clear                               forget pending faults
  latency MS                          delay before every reply
  baud N                              line time of N baud (0 = none)
  stats                               counts of requests and replies
  show                                the sensors
  quit                                stop the simulator

Example:
  zor-sim --control-port 11222 --sensor addr=5,type=5.1.0.0,source=sine:600:300:40 &
  printf '\x05\x00\x02\x00\x00\xc0\x49' | nc -q1 127.0.0.1 11221 | xxd
  echo "set 5 alarm=1" | nc -q1 127.0.0.1 11222
)";

bool ParseInt(const std::string& text, int lo, int hi, int& value) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < lo || v > hi) {
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

bool ParseOptions(std::vector<std::string> args, SimOptions& o, int depth, std::string& error);

bool ParseOptions(std::vector<std::string> args, SimOptions& o, int depth, std::string& error);

bool ReadConfig(const std::string& path, SimOptions& o, int depth, std::string& error) {
    if (depth > 4) {
        error = "config files nest too deep";
        return false;
    }
    std::ifstream in(path);
    if (!in) {
        error = "cannot read config file " + path;
        return false;
    }
    std::vector<std::string> args;
    std::string line;
    while (std::getline(in, line)) {
        size_t hash = line.find('#');
        line = line.substr(0, hash);
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) {
            continue;
        }
        line = line.substr(first);
        size_t space = line.find_first_of(" \t");
        args.push_back("--" + line.substr(0, space));
        if (space != std::string::npos) {
            std::string value = line.substr(space);
            size_t a = value.find_first_not_of(" \t");
            size_t b = value.find_last_not_of(" \t\r");
            if (a != std::string::npos) {
                args.push_back(value.substr(a, b - a + 1));
            }
        }
    }
    return ParseOptions(args, o, depth + 1, error);
}

bool ParseOptions(std::vector<std::string> args, SimOptions& o, int depth, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        int n = 0;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--tcp-port") {
            if (!value(v) || !ParseInt(v, 0, 65535, n)) {
                error = error.empty() ? "--tcp-port needs 0 to 65535" : error;
                return false;
            }
            o.tcpPort = n;
            o.tcp = true;
        } else if (arg == "--bind") {
            if (!value(o.bind)) {
                return false;
            }
        } else if (arg == "--no-tcp") {
            o.tcp = false;
        } else if (arg == "--pty") {
            o.pty = true;
        } else if (arg == "--control-port") {
            if (!value(v) || !ParseInt(v, 0, 65535, n)) {
                error = error.empty() ? "--control-port needs 0 to 65535" : error;
                return false;
            }
            o.controlPort = n;
        } else if (arg == "--sensor") {
            if (!value(v)) {
                return false;
            }
            o.sensors.push_back(v);
        } else if (arg == "--rangefinder") {
            if (!value(v) || !ParseInt(v, 0, 65535, n)) {
                error = error.empty() ? "--rangefinder needs 0 to 65535" : error;
                return false;
            }
            o.rangeFinder = n;
        } else if (arg == "--latency") {
            if (!value(v) || !ParseInt(v, 0, 600000, n)) {
                error = error.empty() ? "--latency needs milliseconds" : error;
                return false;
            }
            o.latencyMs = n;
        } else if (arg == "--baud") {
            if (!value(v) || !ParseInt(v, 0, 4000000, n)) {
                error = error.empty() ? "--baud needs 0 to 4000000" : error;
                return false;
            }
            o.baud = n;
        } else if (arg == "--log") {
            if (!value(o.logPath)) {
                return false;
            }
        } else if (arg == "--config") {
            if (!value(v) || !ReadConfig(v, o, depth, error)) {
                return false;
            }
        } else {
            error = "unknown option " + arg + " (see --help)";
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                     std::string& error) {
    return ParseOptions(args, options, 0, error);
}

const char* SimHelpText() {
    return kHelp;
}

}  // namespace zm::sim
