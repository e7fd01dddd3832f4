#include "base/MlsFormat.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "base/MlsPrgMsg.h"

namespace zm {

namespace {

enum class Kind { Text, Integer, Floating, Percent };

struct Conversion {
    size_t begin = 0, end = 0;  // the conversion's place in the template
    bool left = false, plus = false, space = false, zero = false;
    int width = 0;
    int precision = -1;
    char type = 's';
    Kind kind = Kind::Text;
};

// The conversions of a template, or nothing when it holds one we do not fill.
std::optional<std::vector<Conversion>> Parse(std::string_view t) {
    std::vector<Conversion> list;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] != '%') {
            continue;
        }
        Conversion c;
        c.begin = i++;
        for (; i < t.size(); ++i) {
            char f = t[i];
            if (f == '-') {
                c.left = true;
            } else if (f == '+') {
                c.plus = true;
            } else if (f == ' ') {
                c.space = true;
            } else if (f == '0') {
                c.zero = true;
            } else if (f != '#') {
                break;
            }
        }
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
            c.width = std::min(c.width * 10 + (t[i] - '0'), 1000);
        }
        if (i < t.size() && t[i] == '.') {
            c.precision = 0;
            for (++i; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
                c.precision = std::min(c.precision * 10 + (t[i] - '0'), 100);
            }
        }
        while (i < t.size() && std::string_view("hlLqjzt").find(t[i]) != std::string_view::npos) {
            ++i;
        }
        if (i >= t.size()) {
            return std::nullopt;
        }
        c.type = t[i];
        switch (c.type) {
            case 's':
                c.kind = Kind::Text;
                break;
            case 'd':
            case 'i':
            case 'u':
            case 'x':
            case 'X':
            case 'o':
            case 'c':
                c.kind = Kind::Integer;
                break;
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
                c.kind = Kind::Floating;
                break;
            case '%':
                c.kind = Kind::Percent;
                break;
            default:
                return std::nullopt;  // %n, %p, "*" and the like
        }
        c.end = i + 1;
        list.push_back(c);
    }
    return list;
}

std::vector<Kind> Kinds(const std::vector<Conversion>& list) {
    std::vector<Kind> kinds;
    for (const Conversion& c : list) {
        if (c.kind != Kind::Percent) {
            kinds.push_back(c.kind);
        }
    }
    return kinds;
}

std::string Pad(std::string body, const Conversion& c, bool numeric) {
    if (static_cast<int>(body.size()) >= c.width) {
        return body;
    }
    size_t fill = static_cast<size_t>(c.width) - body.size();
    if (c.left) {
        return body + std::string(fill, ' ');
    }
    if (numeric && c.zero) {
        size_t signEnd = (!body.empty() && (body[0] == '-' || body[0] == '+' || body[0] == ' '));
        if (body.size() > signEnd + 1 && body[signEnd] == '0' &&
            (body[signEnd + 1] == 'x' || body[signEnd + 1] == 'X')) {
            signEnd += 2;
        }
        bool finite = body.find_first_of("ni") == std::string::npos;  // not inf or nan
        if (finite) {
            return body.insert(signEnd, fill, '0');
        }
    }
    return std::string(fill, ' ') + body;
}

std::string Sign(bool negative, const Conversion& c) {
    return negative ? "-" : c.plus ? "+" : c.space ? " " : "";
}

std::string FormatInteger(int64_t v, const Conversion& c) {
    if (c.type == 'c') {
        return Pad(std::string(1, static_cast<char>(v)), c, false);
    }
    std::string digits;
    bool negative = false;
    if (c.type == 'd' || c.type == 'i') {
        negative = v < 0;
        uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        digits = std::to_string(magnitude);
    } else {
        uint64_t u = static_cast<uint64_t>(v);
        const char* symbols = c.type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
        unsigned base = (c.type == 'x' || c.type == 'X') ? 16 : c.type == 'o' ? 8 : 10;
        do {
            digits.insert(digits.begin(), symbols[u % base]);
            u /= base;
        } while (u != 0);
    }
    if (c.precision >= 0) {
        if (static_cast<int>(digits.size()) < c.precision) {
            digits.insert(0, static_cast<size_t>(c.precision) - digits.size(), '0');
        }
        if (c.precision == 0 && digits == "0") {
            digits.clear();
        }
    }
    bool isSigned = c.type == 'd' || c.type == 'i';
    Conversion padding = c;
    padding.zero = c.zero && c.precision < 0;
    return Pad((isSigned ? Sign(negative, c) : "") + digits, padding, true);
}

std::string FormatFloating(double v, const Conversion& c) {
    int precision = c.precision < 0 ? 6 : c.precision;
    char buffer[512];
    double magnitude = std::fabs(v);
    switch (c.type) {
        case 'f':
        case 'F':
            std::snprintf(buffer, sizeof buffer, "%.*f", precision, magnitude);
            break;
        case 'e':
            std::snprintf(buffer, sizeof buffer, "%.*e", precision, magnitude);
            break;
        case 'E':
            std::snprintf(buffer, sizeof buffer, "%.*E", precision, magnitude);
            break;
        case 'g':
            std::snprintf(buffer, sizeof buffer, "%.*g", precision, magnitude);
            break;
        default:
            std::snprintf(buffer, sizeof buffer, "%.*G", precision, magnitude);
            break;
    }
    return Pad(Sign(std::signbit(v) && !std::isnan(v), c) + buffer, c, true);
}

std::string FormatText(std::string_view s, const Conversion& c) {
    if (c.precision >= 0 && static_cast<size_t>(c.precision) < s.size()) {
        size_t cut = static_cast<size_t>(c.precision);
        // Never split a UTF-8 character.
        while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        s = s.substr(0, cut);
    }
    return Pad(std::string(s), c, false);
}

std::string Fill(std::string_view t, const std::vector<Conversion>& list,
                 std::initializer_list<MlsArg> args) {
    std::string out;
    size_t at = 0;
    auto arg = args.begin();
    for (const Conversion& c : list) {
        out.append(t.substr(at, c.begin - at));
        at = c.end;
        if (c.kind == Kind::Percent) {
            out += '%';
            continue;
        }
        if (arg == args.end()) {
            continue;  // a missing value leaves its place empty
        }
        const auto& value = (arg++)->Value();
        switch (c.kind) {
            case Kind::Text:
                if (auto* s = std::get_if<std::string_view>(&value)) {
                    out += FormatText(*s, c);
                } else if (auto* i = std::get_if<int64_t>(&value)) {
                    out += FormatText(std::to_string(*i), c);
                } else {
                    out += FormatText(std::to_string(std::get<double>(value)), c);
                }
                break;
            case Kind::Integer:
                if (auto* i = std::get_if<int64_t>(&value)) {
                    out += FormatInteger(*i, c);
                } else if (auto* d = std::get_if<double>(&value)) {
                    out += FormatInteger(static_cast<int64_t>(*d), c);
                }
                break;
            case Kind::Floating:
                if (auto* d = std::get_if<double>(&value)) {
                    out += FormatFloating(*d, c);
                } else if (auto* i = std::get_if<int64_t>(&value)) {
                    out += FormatFloating(static_cast<double>(*i), c);
                }
                break;
            case Kind::Percent:
                break;
        }
    }
    out.append(t.substr(at));
    return out;
}

}  // namespace

std::string MlsFormat(std::string_view translated, std::string_view builtIn,
                      std::initializer_list<MlsArg> args) {
    auto own = Parse(builtIn);
    auto other = Parse(translated);
    if (other && own && Kinds(*other) == Kinds(*own)) {
        return Fill(translated, *other, args);
    }
    if (own) {
        return Fill(builtIn, *own, args);
    }
    return std::string(builtIn);
}

std::string MlsFormat(const CMlsEntry& entry, const char* section,
                      std::initializer_list<MlsArg> args) {
    return MlsFormat(Translate(entry, section), entry.Text(), args);
}

std::string MlsFormat(const CMlsEntry& entry, std::initializer_list<MlsArg> args) {
    return MlsFormat(entry, entry.section, args);
}

}  // namespace zm
