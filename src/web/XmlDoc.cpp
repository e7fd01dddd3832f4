#include "web/XmlDoc.h"

#include <iconv.h>

#include <cerrno>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>

#include "base/Printf.h"
#include "platform/CodePage.h"

namespace zm {

namespace {

constexpr unsigned kParseOptions = pugi::parse_fragment | pugi::parse_ws_pcdata |
                                   pugi::parse_declaration | pugi::parse_doctype | pugi::parse_pi |
                                   pugi::parse_comments | pugi::parse_cdata | pugi::parse_escapes;

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsWhite(std::string_view s) {
    return s.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

bool IsWhitePcdata(pugi::xml_node n) {
    return n.type() == pugi::node_pcdata && IsWhite(n.value());
}

bool IsNameStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || std::isdigit(c) || c == '.' || c == '-';
}

bool IsXmlName(std::string_view name) {
    if (name.empty() || !IsNameStart(static_cast<unsigned char>(name[0])))
        return false;
    return std::all_of(name.begin() + 1, name.end(),
                       [](char c) { return IsNameChar(static_cast<unsigned char>(c)); });
}

// Control characters other than tab, CR and LF cannot appear in an XML 1.0 document in any
// form; they are dropped so that a stray byte in a device name cannot spoil a whole file.
bool IsForbiddenControl(unsigned char c) {
    return c < 0x20 && c != '\t' && c != '\r' && c != '\n';
}

// Length of a well-formed entity or character reference starting at text[pos] ("&...;"),
// or 0.
size_t ReferenceLength(std::string_view text, size_t pos) {
    size_t i = pos + 1;
    if (i < text.size() && text[i] == '#') {
        ++i;
        bool hex = i < text.size() && text[i] == 'x';
        if (hex)
            ++i;
        size_t digits = 0;
        while (i < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[i]))
                                       : std::isdigit(static_cast<unsigned char>(text[i])))) {
            ++i;
            ++digits;
        }
        if (digits == 0)
            return 0;
    } else {
        if (i >= text.size() || !IsNameStart(static_cast<unsigned char>(text[i])))
            return 0;
        while (i < text.size() && IsNameChar(static_cast<unsigned char>(text[i])))
            ++i;
    }
    return (i < text.size() && text[i] == ';') ? i + 1 - pos : 0;
}

void WriteCdata(std::string& out, std::string_view value) {
    out += "<![CDATA[";
    for (size_t i = 0; i < value.size(); ++i) {
        if (value.compare(i, 3, "]]>") == 0) {
            out += "]]]]><![CDATA[>";
            i += 2;
        } else if (!IsForbiddenControl(static_cast<unsigned char>(value[i]))) {
            out += value[i];
        }
    }
    out += "]]>";
}

std::string ParseErrorName(const pugi::xml_parse_result& r, size_t length) {
    switch (r.status) {
        case pugi::status_bad_comment:
            return "comment_tag_syntax";
        case pugi::status_bad_cdata:
            return "cdata_section_syntax";
        case pugi::status_bad_doctype:
            return "doctype_tag_syntax";
        case pugi::status_end_element_mismatch:
            // pugixml reports an element still open at the end at the last character.
            return static_cast<size_t>(r.offset) + 1 >= length ? "unended_start_tag"
                                                               : "lone_end_tag";
        default:
            return "unterminated_tag_syntax";
    }
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    auto unit = [&](size_t i) {
        auto b0 = static_cast<unsigned char>(bytes[i]);
        auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            unsigned lo = unit(i + 2);
            if (lo >= 0xDC00 && lo < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        platform::AppendUtf8(out, cp);
    }
    return out;
}

std::string Lower(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return r;
}

// The encoding named by the XML declaration, or by an HTML Content-Type meta element.
std::string DeclaredEncoding(std::string_view text) {
    std::string head = Lower(text.substr(0, 4096));
    auto valueAfter = [&](size_t pos) -> std::string {
        while (pos < head.size() &&
               (head[pos] == ' ' || head[pos] == '=' || head[pos] == '"' || head[pos] == '\''))
            ++pos;
        size_t end = pos;
        while (end < head.size() && (std::isalnum(static_cast<unsigned char>(head[end])) ||
                                     head[end] == '-' || head[end] == '_' || head[end] == '.'))
            ++end;
        return head.substr(pos, end - pos);
    };
    if (head.compare(0, 5, "<?xml") == 0) {
        size_t declEnd = head.find("?>");
        size_t enc = head.find("encoding");
        if (enc != std::string::npos && enc < declEnd)
            return valueAfter(enc + 8);
    }
    size_t meta = head.find("http-equiv");
    if (meta != std::string::npos && head.find("content-type", meta) != std::string::npos) {
        size_t cs = head.find("charset", meta);
        if (cs != std::string::npos)
            return valueAfter(cs + 7);
    }
    return {};
}

bool ConvertToUtf8(std::string_view in, const std::string& from, std::string& out) {
    iconv_t cd = iconv_open("UTF-8", from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    std::string src(in);
    char* inPtr = src.data();
    size_t inLeft = src.size();
    bool ok = true;
    while (inLeft > 0) {
        char buf[4096];
        char* outPtr = buf;
        size_t outLeft = sizeof buf;
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buf, static_cast<size_t>(outPtr - buf));
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    return ok;
}

}  // namespace

std::string CXmlDoc::EscapeText(std::string_view text, bool attribute, bool keepRefs) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        switch (c) {
            case '&':
                if (keepRefs && ReferenceLength(text, i) > 0)
                    out += '&';
                else
                    out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += attribute ? "&quot;" : "\"";
                break;
            case '\'':
                out += attribute ? "&apos;" : "'";
                break;
            default:
                if (!IsForbiddenControl(static_cast<unsigned char>(c)))
                    out += c;
        }
    }
    return out;
}

bool CXmlDoc::SetDocText(std::string_view text) {
    m_text.assign(text);
    m_modified = false;
    m_layout.clear();
    m_result.clear();
    ResetPos();

    std::string_view body = text;
    if (body.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        body.remove_prefix(kUtf8Bom.size());
    pugi::xml_parse_result r =
        m_doc.load_buffer(body.data(), body.size(), kParseOptions, pugi::encoding_utf8);
    if (!r) {
        m_result = StrPrintf("<%s offset=\"%ld\"/>", ParseErrorName(r, body.size()).c_str(),
                             static_cast<long>(r.offset));
        m_doc.reset();
        m_wellFormed = false;
        return false;
    }
    int roots = 0;
    bool strayText = false;
    for (pugi::xml_node n : m_doc.children()) {
        if (n.type() == pugi::node_element)
            ++roots;
        else if ((n.type() == pugi::node_pcdata && !IsWhite(n.value())) ||
                 n.type() == pugi::node_cdata)
            strayText = true;
    }
    if (roots > 1 || strayText) {
        m_result = "<root_has_sibling/>";
        m_doc.reset();
        m_wellFormed = false;
        return false;
    }
    if (roots == 0)
        m_result = "<no_root_element/>";  // a note: a new document starts this way
    m_wellFormed = true;
    return true;
}

std::string CXmlDoc::GetDocText() const {
    if (!m_modified || !m_wellFormed)
        return m_text;
    std::string out;
    out.reserve(m_text.size() + 256);
    if (std::string_view(m_text).substr(0, kUtf8Bom.size()) == kUtf8Bom)
        out += kUtf8Bom;
    Write(out, m_doc);
    return out;
}

bool CXmlDoc::LoadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    if (in)
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        SetDocText({});
        m_result = "<file_error/>";
        m_wellFormed = false;
        return false;
    }
    std::string note;
    std::string text;
    std::string_view view(bytes);
    if (view.substr(0, 3) == kUtf8Bom) {
        text = bytes;  // SetDocText keeps the mark for the write-back
    } else if (view.substr(0, 2) == "\xFF\xFE") {
        text = Utf16ToUtf8(view.substr(2), false);
        note = "<converted_from encoding=\"UTF-16LE\"/>";
    } else if (view.substr(0, 2) == "\xFE\xFF") {
        text = Utf16ToUtf8(view.substr(2), true);
        note = "<endian_swap/><converted_from encoding=\"UTF-16BE\"/>";
    } else {
        std::string enc = DeclaredEncoding(view);
        if (enc.empty() || enc == "utf-8" || enc == "utf8" || enc == "us-ascii") {
            text = bytes;
            note = "<utf8_detection/>";
        } else if (ConvertToUtf8(view, enc, text)) {
            note = StrPrintf("<converted_from encoding=\"%s\"/>", enc.c_str());
        } else {
            SetDocText({});
            m_result = StrPrintf("<encoding name=\"%s\"/>", enc.c_str());
            m_wellFormed = false;
            return false;
        }
    }
    bool ok = SetDocText(text);
    m_result = note + m_result;
    return ok;
}

void CXmlDoc::ResetPos() {
    m_parent = m_current = m_child = pugi::xml_node();
}

void CXmlDoc::ResetMainPos() {
    m_current = m_child = pugi::xml_node();
}

pugi::xml_node CXmlDoc::Container() const {
    return m_parent ? m_parent : static_cast<pugi::xml_node>(m_doc);
}

bool CXmlDoc::FindElem(std::string_view name) {
    pugi::xml_node n = m_current ? m_current.next_sibling() : Container().first_child();
    for (; n; n = n.next_sibling()) {
        if (n.type() == pugi::node_element && (name.empty() || name == n.name())) {
            m_current = n;
            m_child = pugi::xml_node();
            return true;
        }
    }
    return false;
}

bool CXmlDoc::FindChildElem(std::string_view name) {
    if (!m_current)
        return false;
    pugi::xml_node n = m_child ? m_child.next_sibling() : m_current.first_child();
    for (; n; n = n.next_sibling()) {
        if (n.type() == pugi::node_element && (name.empty() || name == n.name())) {
            m_child = n;
            return true;
        }
    }
    return false;
}

bool CXmlDoc::IntoElem() {
    if (!m_current)
        return false;
    m_parent = m_current;
    m_current = m_child = pugi::xml_node();
    return true;
}

bool CXmlDoc::OutOfElem() {
    if (!m_parent)
        return false;
    m_child = m_current;
    m_current = m_parent;
    m_parent = m_parent.parent();
    if (m_parent.type() == pugi::node_document)
        m_parent = pugi::xml_node();
    return true;
}

bool CXmlDoc::AddElem(std::string_view name, std::string_view value, int flags) {
    if (!m_wellFormed || !IsXmlName(name))
        return false;
    if ((flags & kNoEndTag) && !value.empty())
        return false;
    const bool child = flags & kChild;
    if (child && !m_current)
        return false;
    pugi::xml_node container = child ? m_current : Container();
    pugi::xml_node after = child ? m_child : m_current;
    const bool topLevel = container.type() == pugi::node_document;
    if (topLevel &&
        container.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; }))
        return false;  // a second root would make the document malformed

    auto lineBreak = [](pugi::xml_node n) { n.set_value(kLineEnd.data()); };
    pugi::xml_node elem;
    if (after) {
        lineBreak(container.insert_child_after(pugi::node_pcdata, after));
        elem = container.insert_child_after(pugi::node_element, after.next_sibling());
    } else {
        pugi::xml_node last = container.last_child();
        if (!last) {
            if (!topLevel)
                lineBreak(container.append_child(pugi::node_pcdata));
            elem = container.append_child(pugi::node_element);
            if (!topLevel)
                lineBreak(container.append_child(pugi::node_pcdata));
        } else if (IsWhitePcdata(last) && !topLevel) {
            // before the white space that leads to the end tag
            pugi::xml_node br = container.insert_child_before(pugi::node_pcdata, last);
            lineBreak(br);
            elem = container.insert_child_after(pugi::node_element, br);
        } else {
            if (!IsWhitePcdata(last))
                lineBreak(container.append_child(pugi::node_pcdata));
            elem = container.append_child(pugi::node_element);
        }
    }
    if (!elem)
        return false;
    elem.set_name(std::string(name).c_str());
    if (!value.empty()) {
        elem.append_child((flags & kCdata) ? pugi::node_cdata : pugi::node_pcdata)
            .set_value(std::string(value).c_str());
    }
    if (int layout = flags & (kNoEndTag | kEmptySpace))
        m_layout[elem.internal_object()] = layout;
    if (child) {
        m_child = elem;
    } else {
        m_current = elem;
        m_child = pugi::xml_node();
    }
    Modified();
    return true;
}

bool CXmlDoc::SetAttrib(std::string_view name, std::string_view value) {
    if (!m_wellFormed || !m_current || !IsXmlName(name))
        return false;
    std::string key(name);
    pugi::xml_attribute a = m_current.attribute(key.c_str());
    if (!a)
        a = m_current.append_attribute(key.c_str());
    a.set_value(std::string(value).c_str());
    Modified();
    return true;
}

std::string CXmlDoc::GetAttrib(std::string_view name) const {
    if (!m_current)
        return {};
    return m_current.attribute(std::string(name).c_str()).value();
}

bool CXmlDoc::RemoveElem() {
    if (!m_wellFormed || !m_current)
        return false;
    pugi::xml_node container = m_current.parent();
    pugi::xml_node prev = m_current.previous_sibling();
    if (prev && IsWhitePcdata(prev)) {
        pugi::xml_node before = prev.previous_sibling();
        container.remove_child(prev);
        prev = before;
    }
    m_layout.erase(m_current.internal_object());
    container.remove_child(m_current);
    // The previous element becomes current, so that a following FindElem goes on with
    // the element after the removed one.
    while (prev && prev.type() != pugi::node_element)
        prev = prev.previous_sibling();
    m_current = prev;
    m_child = pugi::xml_node();
    Modified();
    return true;
}

std::string CXmlDoc::GetTagName() const {
    return m_current ? m_current.name() : std::string();
}

std::string CXmlDoc::GetData() const {
    std::string out;
    if (!m_current)
        return out;
    for (pugi::xml_node n : m_current.children())
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata)
            out += n.value();
    return out;
}

void CXmlDoc::Write(std::string& out, pugi::xml_node node) const {
    switch (node.type()) {
        case pugi::node_document:
            for (pugi::xml_node n : node.children())
                Write(out, n);
            break;
        case pugi::node_element: {
            out += '<';
            out += node.name();
            for (pugi::xml_attribute a : node.attributes()) {
                out += ' ';
                out += a.name();
                out += "=\"";
                out += EscapeText(a.value(), true);
                out += '"';
            }
            if (!node.first_child()) {
                auto it = m_layout.find(node.internal_object());
                int layout = it == m_layout.end() ? 0 : it->second;
                out += (layout & kNoEndTag) ? ">" : (layout & kEmptySpace) ? " />" : "/>";
                break;
            }
            out += '>';
            for (pugi::xml_node n : node.children())
                Write(out, n);
            out += "</";
            out += node.name();
            out += '>';
            break;
        }
        case pugi::node_pcdata:
            out += EscapeText(node.value(), false);
            break;
        case pugi::node_cdata:
            WriteCdata(out, node.value());
            break;
        case pugi::node_comment:
            out += "<!--";
            out += node.value();
            out += "-->";
            break;
        case pugi::node_pi:
            out += "<?";
            out += node.name();
            if (*node.value()) {
                out += ' ';
                out += node.value();
            }
            out += "?>";
            break;
        case pugi::node_declaration:
            out += "<?";
            out += node.name();
            for (pugi::xml_attribute a : node.attributes()) {
                out += ' ';
                out += a.name();
                out += "=\"";
                out += EscapeText(a.value(), true);
                out += '"';
            }
            out += "?>";
            break;
        case pugi::node_doctype:
            out += "<!DOCTYPE ";
            out += node.value();
            out += '>';
            break;
        default:
            break;
    }
}

}  // namespace zm
