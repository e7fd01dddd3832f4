#include "web/XmlDoc.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <fstream>
#include <string>

#include "support/TempDir.h"

namespace zm {
namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string kNs = "http://earth.google.com/kml/2.2";

// What an independent reader makes of a text: the test's own yardstick for well-formedness.
bool WellFormed(const std::string& text, pugi::xml_document& doc) {
    return doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
}

// All text and CDATA content of an element, as a reader sees it.
std::string Text(pugi::xml_node n) {
    std::string out;
    for (pugi::xml_node c : n.children())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            out += c.value();
    return out;
}

struct EscapeCase {
    const char* input;
    bool attribute;
    bool keepRefs;
    const char* expected;
};

TEST(XmlDocEscape, Table) {
    const EscapeCase cases[] = {
        {"plain", false, false, "plain"},
        {"A & B <c> d", false, false, "A &amp; B &lt;c&gt; d"},
        {"say \"hi\" it's", false, false, "say \"hi\" it's"},
        {"say \"hi\" it's", true, false, "say &quot;hi&quot; it&apos;s"},
        {"a&b<>", true, false, "a&amp;b&lt;&gt;"},
        {"&amp; &#65; &#x41; &x;", false, true, "&amp; &#65; &#x41; &x;"},
        {"& &; &#; &#x; &1a; &amp", false, true, "&amp; &amp;; &amp;#; &amp;#x; &amp;1a; &amp;amp"},
        {"&amp;", false, false, "&amp;amp;"},
        {"tab\tcr\rlf\n", false, false, "tab\tcr\rlf\n"},
        {"bell\x07stop", false, false, "bellstop"},
        {"caf\xC3\xA9 \xE2\x82\xAC", true, false, "caf\xC3\xA9 \xE2\x82\xAC"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CXmlDoc::EscapeText(c.input, c.attribute, c.keepRefs), c.expected)
            << "input: " << c.input;
}

// The main report as the KML writer builds it, step by step.
std::string BuildReport(CXmlDoc& x) {
    EXPECT_TRUE(x.SetDocText(kDecl));
    EXPECT_TRUE(x.AddElem("kml"));
    EXPECT_TRUE(x.SetAttrib("xmlns", kNs));
    EXPECT_TRUE(x.IntoElem());
    EXPECT_TRUE(x.AddElem("Document"));
    EXPECT_TRUE(x.IntoElem());
    EXPECT_TRUE(x.AddElem("name", "ZorDevs"));
    EXPECT_TRUE(x.AddElem("open", "1"));
    EXPECT_TRUE(x.AddElem("Folder"));
    EXPECT_TRUE(x.SetAttrib("id", "Satellite"));
    EXPECT_TRUE(x.IntoElem());
    EXPECT_TRUE(x.AddElem("name", "Satellite"));
    EXPECT_TRUE(x.AddElem("NetworkLink"));
    EXPECT_TRUE(x.SetAttrib("id", "SatelliteLink"));
    EXPECT_TRUE(x.IntoElem());
    EXPECT_TRUE(x.AddElem("name", "Satellite"));
    EXPECT_TRUE(x.AddElem("Link"));
    EXPECT_TRUE(x.AddChildElem("refreshMode", "onChange"));
    EXPECT_TRUE(x.AddChildElem("href", "files\\Satellite.kml"));
    return x.GetDocText();
}

const std::string kReport = kDecl + "<kml xmlns=\"" + kNs +
                            "\">\r\n"
                            "<Document>\r\n"
                            "<name>ZorDevs</name>\r\n"
                            "<open>1</open>\r\n"
                            "<Folder id=\"Satellite\">\r\n"
                            "<name>Satellite</name>\r\n"
                            "<NetworkLink id=\"SatelliteLink\">\r\n"
                            "<name>Satellite</name>\r\n"
                            "<Link>\r\n"
                            "<refreshMode>onChange</refreshMode>\r\n"
                            "<href>files\\Satellite.kml</href>\r\n"
                            "</Link>\r\n"
                            "</NetworkLink>\r\n"
                            "</Folder>\r\n"
                            "</Document>\r\n"
                            "</kml>";

TEST(XmlDocBuild, ReportIsByteExact) {
    CXmlDoc x;
    EXPECT_EQ(BuildReport(x), kReport);
}

TEST(XmlDocBuild, UnchangedDocumentKeepsItsTextByteForByte) {
    const std::string foreign =
        "\xEF\xBB\xBF<?xml version='1.0'?>\n<a  x='1'>t &apos;q&apos;"
        "<!-- c --><![CDATA[<raw>]]></a>\n";
    CXmlDoc x;
    ASSERT_TRUE(x.SetDocText(foreign));
    ASSERT_TRUE(x.FindElem("a"));
    EXPECT_EQ(x.GetAttrib("x"), "1");
    EXPECT_EQ(x.GetData(), "t 'q'<raw>");
    EXPECT_EQ(x.GetDocText(), foreign);
}

// Re-reading the main report and inserting folders sorted by name, as adding a device does.
TEST(XmlDocBuild, ReloadInsertRemoveKeepsLayout) {
    CXmlDoc x;
    ASSERT_TRUE(x.SetDocText(kReport));
    EXPECT_EQ(x.GetDocText(), kReport);
    ASSERT_TRUE(x.FindElem("kml"));
    ASSERT_TRUE(x.IntoElem());
    ASSERT_TRUE(x.FindElem("Document"));
    ASSERT_TRUE(x.IntoElem());
    ASSERT_TRUE(x.FindElem("open"));
    // "A&B" sorts before "Satellite": directly after open.
    ASSERT_TRUE(x.AddElem("Folder"));
    ASSERT_TRUE(x.SetAttrib("id", "A&B \"1\""));
    ASSERT_TRUE(x.AddChildElem("name", "A&B <1>"));
    // "Zeta" after the last Folder.
    x.ResetMainPos();
    while (x.FindElem("Folder")) {
    }
    ASSERT_TRUE(x.FindElem("open") == false);
    x.ResetMainPos();
    ASSERT_TRUE(x.FindElem("Folder"));
    ASSERT_TRUE(x.FindElem("Folder"));
    EXPECT_EQ(x.GetAttrib("id"), "Satellite");
    ASSERT_TRUE(x.AddElem("Folder"));
    ASSERT_TRUE(x.SetAttrib("id", "Zeta"));

    const std::string expected =
        kDecl + "<kml xmlns=\"" + kNs +
        "\">\r\n<Document>\r\n<name>ZorDevs</name>\r\n<open>1</open>\r\n"
        "<Folder id=\"A&amp;B &quot;1&quot;\">\r\n<name>A&amp;B &lt;1&gt;</name>\r\n</Folder>\r\n"
        "<Folder id=\"Satellite\">\r\n<name>Satellite</name>\r\n"
        "<NetworkLink id=\"SatelliteLink\">\r\n<name>Satellite</name>\r\n<Link>\r\n"
        "<refreshMode>onChange</refreshMode>\r\n<href>files\\Satellite.kml</href>\r\n"
        "</Link>\r\n</NetworkLink>\r\n</Folder>\r\n"
        "<Folder id=\"Zeta\"/>\r\n"
        "</Document>\r\n</kml>";
    EXPECT_EQ(x.GetDocText(), expected);

    pugi::xml_document check;
    ASSERT_TRUE(WellFormed(x.GetDocText(), check));
    EXPECT_STREQ(check.child("kml").child("Document").child("Folder").attribute("id").value(),
                 "A&B \"1\"");

    // Removing the device folder again gives back the original text exactly.
    x.ResetMainPos();
    ASSERT_TRUE(x.FindElem("Folder"));
    ASSERT_TRUE(x.RemoveElem());
    ASSERT_TRUE(x.FindElem("Folder"));
    EXPECT_EQ(x.GetAttrib("id"), "Satellite");
    ASSERT_TRUE(x.FindElem("Folder"));
    ASSERT_TRUE(x.RemoveElem());
    EXPECT_EQ(x.GetAttrib("id"), "Satellite");  // the previous element is current
    EXPECT_EQ(x.GetDocText(), kReport);
}

TEST(XmlDocBuild, CdataSplitsEveryEndMarker) {
    struct Case {
        const char* value;
        const char* markup;
    } cases[] = {
        {"<b>x</b>", "<![CDATA[<b>x</b>]]>"},
        {"a]]>b", "<![CDATA[a]]]]><![CDATA[>b]]>"},
        {"]]>]]>", "<![CDATA[]]]]><![CDATA[>]]]]><![CDATA[>]]>"},
        {"]]", "<![CDATA[]]]]>"},
    };
    for (const auto& c : cases) {
        CXmlDoc x;
        ASSERT_TRUE(x.SetDocText(""));
        ASSERT_TRUE(x.AddElem("description", c.value, CXmlDoc::kCdata));
        EXPECT_EQ(x.GetDocText(), std::string("<description>") + c.markup + "</description>");
        pugi::xml_document check;
        ASSERT_TRUE(WellFormed(x.GetDocText(), check)) << c.value;
        EXPECT_EQ(Text(check.child("description")), c.value);
        // Read back by this class too.
        CXmlDoc y;
        ASSERT_TRUE(y.SetDocText(x.GetDocText()));
        ASSERT_TRUE(y.FindElem("description"));
        EXPECT_EQ(y.GetData(), c.value);
    }
}

TEST(XmlDocBuild, AttributeQuoteEscapedTextQuoteKept) {
    CXmlDoc x;
    ASSERT_TRUE(x.SetDocText(""));
    ASSERT_TRUE(x.AddElem("name", "say \"x\""));
    ASSERT_TRUE(x.SetAttrib("title", "say \"x\" 'y'"));
    EXPECT_EQ(x.GetDocText(), "<name title=\"say &quot;x&quot; &apos;y&apos;\">say \"x\"</name>");
    // Replacing an attribute keeps one attribute.
    ASSERT_TRUE(x.SetAttrib("title", "z"));
    EXPECT_EQ(x.GetDocText(), "<name title=\"z\">say \"x\"</name>");
}

TEST(XmlDocBuild, EmptyElementForms) {
    CXmlDoc x;
    ASSERT_TRUE(x.SetDocText("<r/>"));
    ASSERT_TRUE(x.FindElem("r"));
    ASSERT_TRUE(x.AddChildElem("a"));
    ASSERT_TRUE(x.AddChildElem("b", {}, CXmlDoc::kEmptySpace));
    ASSERT_TRUE(x.AddChildElem("br", {}, CXmlDoc::kNoEndTag));
    EXPECT_FALSE(x.AddChildElem("c", "v", CXmlDoc::kNoEndTag));
    EXPECT_EQ(x.GetDocText(), "<r>\r\n<a/>\r\n<b />\r\n<br>\r\n</r>");
}

TEST(XmlDocNavigation, PositionRules) {
    CXmlDoc x;
    // IntoElem on an empty document fails and leaves the position as it was.
    ASSERT_TRUE(x.SetDocText(""));
    EXPECT_FALSE(x.IntoElem());
    EXPECT_FALSE(x.OutOfElem());
    EXPECT_FALSE(x.AddChildElem("c"));  // no current element
    ASSERT_TRUE(x.AddElem("root"));
    EXPECT_FALSE(x.AddElem("second"));  // one root only
    EXPECT_EQ(x.GetDocText(), "<root/>");

    ASSERT_TRUE(x.SetDocText("<r><a i=\"1\"/><b/><a i=\"2\"/><c><a i=\"3\"/></c></r>"));
    EXPECT_FALSE(x.FindElem("a"));  // top level holds only r
    ASSERT_TRUE(x.FindElem("r"));
    ASSERT_TRUE(x.IntoElem());
    ASSERT_TRUE(x.FindElem("a"));
    EXPECT_EQ(x.GetAttrib("i"), "1");
    ASSERT_TRUE(x.FindElem("a"));
    EXPECT_EQ(x.GetAttrib("i"), "2");
    EXPECT_FALSE(x.FindElem("a"));     // not inside c
    EXPECT_EQ(x.GetAttrib("i"), "2");  // unchanged by the failed search
    EXPECT_EQ(x.GetAttrib("missing"), "");
    x.ResetMainPos();
    ASSERT_TRUE(x.FindElem());
    EXPECT_EQ(x.GetTagName(), "a");
    ASSERT_TRUE(x.FindElem("c"));
    ASSERT_TRUE(x.FindChildElem("a"));
    ASSERT_TRUE(x.IntoElem());
    EXPECT_EQ(x.GetTagName(), "");  // no current element inside
    ASSERT_TRUE(x.OutOfElem());
    EXPECT_EQ(x.GetTagName(), "c");
    ASSERT_TRUE(x.OutOfElem());
    EXPECT_EQ(x.GetTagName(), "r");
    EXPECT_FALSE(x.OutOfElem());
    x.ResetPos();
    ASSERT_TRUE(x.FindElem("r"));
    EXPECT_FALSE(x.AddElem("bad name"));
    EXPECT_FALSE(x.SetAttrib("1x", "v"));
}

TEST(XmlDocParse, ErrorsKeepTheTextAndRefuseEdits) {
    struct Case {
        const char* text;
        const char* result;
    } cases[] = {
        {"<a><b></b>", "unended_start_tag"},
        {"<a>", "unended_start_tag"},
        {"</a>", "lone_end_tag"},
        {"<a></b>", "lone_end_tag"},
        {"<a", "unterminated_tag_syntax"},
        {"<a b=>", "unterminated_tag_syntax"},
        {"<a><!-- x</a>", "comment_tag_syntax"},
        {"<a><![CDATA[x</a>", "cdata_section_syntax"},
        {"<!DOCTYPE", "doctype_tag_syntax"},
        {"<a/><b/>", "root_has_sibling"},
        {"text<a/>", "root_has_sibling"},
    };
    for (const auto& c : cases) {
        CXmlDoc x;
        EXPECT_FALSE(x.SetDocText(c.text)) << c.text;
        EXPECT_NE(x.GetResult().find(c.result), std::string::npos)
            << c.text << " gave " << x.GetResult();
        EXPECT_FALSE(x.IsWellFormed());
        EXPECT_FALSE(x.AddElem("x"));
        EXPECT_FALSE(x.FindElem());
        EXPECT_EQ(x.GetDocText(), c.text);
    }
    CXmlDoc x;
    EXPECT_TRUE(x.SetDocText(kDecl));
    EXPECT_EQ(x.GetResult(), "<no_root_element/>");
}

TEST(XmlDocLoad, DetectsEncodings) {
    test::TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        const char* note;
    } cases[] = {
        {"utf16le.xml", std::string("\xFF\xFE<\0r\0>\0\xE9\0\xAC\x20<\0/\0r\0>\0", 20),
         "converted_from"},
        {"utf16be.xml", std::string("\xFE\xFF\0<\0r\0>\0\xE9\x20\xAC\0<\0/\0r\0>", 20),
         "endian_swap"},
        {"latin1.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>\xE9</r>",
         "converted_from"},
        {"meta.html",
         "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
         "charset=windows-1252\"/></head><r>\xE9\x80</r></html>",
         "converted_from"},
        {"utf8.xml", "\xEF\xBB\xBF<r>\xC3\xA9</r>", ""},
    };
    for (const auto& c : cases) {
        std::ofstream(dir.file(c.name), std::ios::binary) << c.bytes;
        CXmlDoc x;
        ASSERT_TRUE(x.LoadFile(dir.file(c.name))) << c.name << ": " << x.GetResult();
        EXPECT_NE(x.GetResult().find(c.note), std::string::npos) << c.name;
        x.ResetPos();
        ASSERT_TRUE(x.FindElem()) << c.name;
        if (std::string(c.name) == "meta.html") {
            ASSERT_TRUE(x.IntoElem());
            ASSERT_TRUE(x.FindElem("r"));
            EXPECT_EQ(x.GetData(), "\xC3\xA9\xE2\x82\xAC");
        } else if (std::string(c.name).find("utf16") == 0) {
            EXPECT_EQ(x.GetData(), "\xC3\xA9\xE2\x82\xAC");
        } else {
            EXPECT_EQ(x.GetData(), "\xC3\xA9");
        }
    }
    CXmlDoc x;
    EXPECT_FALSE(x.LoadFile(dir.file("missing.xml")));
    EXPECT_NE(x.GetResult().find("file_error"), std::string::npos);
}

// Names typed by operators end up in element text, attributes and CDATA; whatever they
// hold, the document stays well-formed and reads back to the same name.
TEST(XmlDocBuild, OperatorTextStaysWellFormed) {
    const char* names[] = {"A&B",
                           "<script>",
                           "x]]>y",
                           "quote\"apos'",
                           "A/B:C",
                           "&amp;",
                           "\xD0\x9C\xD0\xBE\xD1\x80\xD0\xB5"};
    for (const char* name : names) {
        CXmlDoc x;
        ASSERT_TRUE(x.SetDocText(kDecl));
        ASSERT_TRUE(x.AddElem("Folder"));
        ASSERT_TRUE(x.SetAttrib("id", name));
        ASSERT_TRUE(x.AddChildElem("name", name));
        ASSERT_TRUE(x.AddChildElem("description", name, CXmlDoc::kCdata));
        pugi::xml_document check;
        ASSERT_TRUE(WellFormed(x.GetDocText(), check)) << name;
        pugi::xml_node f = check.child("Folder");
        EXPECT_EQ(std::string(f.attribute("id").value()), name);
        EXPECT_EQ(Text(f.child("name")), name);
        EXPECT_EQ(Text(f.child("description")), name);
    }
}

}  // namespace
}  // namespace zm
