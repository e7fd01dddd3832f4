#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <unordered_map>

namespace zm {

// A small XML document editor for the KML writer. The document is parsed into a pugixml
// tree that keeps every node (white space, comments, declaration, CDATA), and navigation
// works with a parent / current / child position as the KML code expects. An unchanged
// document gives back its text byte for byte; once edited it is written out again from the
// tree, with our own escaping rules rather than pugixml's.
//
// Layout of inserted elements: every new element starts on a line of its own (CR LF), no
// indentation; an element that gets its first child is closed on a line of its own.
class CXmlDoc {
  public:
    // AddElem flags.
    static constexpr int kChild = 0x4000;    // add as the last child of the current element
    static constexpr int kCdata = 0x1;       // value as a CDATA section
    static constexpr int kNoEndTag = 0x10;   // "<name ...>" without end tag; no value allowed
    static constexpr int kEmptySpace = 0x4;  // empty element written as "<name />"

    CXmlDoc() = default;
    CXmlDoc(const CXmlDoc&) = delete;
    CXmlDoc& operator=(const CXmlDoc&) = delete;

    // Replaces the document and parses it. On a parse error the text is kept as it was (so
    // GetDocText returns it unchanged), the result text names the problem, and the document
    // refuses edits until a good text is set: a damaged file must never be rewritten from
    // a partial tree.
    bool SetDocText(std::string_view text);
    std::string GetDocText() const;
    const std::string& GetResult() const { return m_result; }
    bool IsWellFormed() const { return m_wellFormed; }

    // Reads a file (UTF-8 with or without byte-order mark, UTF-16 with one, or any
    // encoding named by the XML declaration or an HTML Content-Type meta element) and parses it.
    bool LoadFile(const std::string& path);

    void ResetPos();
    void ResetMainPos();
    bool FindElem(std::string_view name = {});
    bool FindChildElem(std::string_view name = {});
    bool IntoElem();
    bool OutOfElem();
    bool AddElem(std::string_view name, std::string_view value = {}, int flags = 0);
    bool AddChildElem(std::string_view name, std::string_view value = {}, int flags = 0) {
        return AddElem(name, value, flags | kChild);
    }
    bool SetAttrib(std::string_view name, std::string_view value);
    std::string GetAttrib(std::string_view name) const;
    bool RemoveElem();

    std::string GetTagName() const;  // of the current element; empty when none
    std::string GetData() const;     // text and CDATA content of the current element

    // Escaping as written into the document. Text: & < >; attributes also " and '. With
    // keepRefs an "&" that starts a well-formed entity or character reference stays.
    static std::string EscapeText(std::string_view text, bool attribute, bool keepRefs = false);

  private:
    pugi::xml_node Container() const;  // the parent, or the document at the top level
    void Write(std::string& out, pugi::xml_node node) const;
    void Modified() { m_modified = true; }

    pugi::xml_document m_doc;
    std::string m_text;  // the text as set, valid while not modified
    std::string m_result;
    bool m_wellFormed = true;
    bool m_modified = false;
    pugi::xml_node m_parent, m_current, m_child;
    // Per-element layout flags (kNoEndTag, kEmptySpace) that the tree cannot hold.
    std::unordered_map<const void*, int> m_layout;
};

}  // namespace zm
