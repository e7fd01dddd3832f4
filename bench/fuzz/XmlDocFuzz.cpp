// An XML or KML file the report writer reads back before it edits it: parsing in any
// declared encoding, navigation, an edit, and the edited document still well formed.
#include <string>

#include "FuzzSupport.h"
#include "web/XmlDoc.h"

namespace {

// Walks the tree the way the KML code does, bounded.
void Walk(zm::CXmlDoc& doc, int depth, int& budget) {
    while (budget-- > 0 && doc.FindElem()) {
        doc.GetTagName();
        doc.GetData();
        doc.GetAttrib("id");
        if (depth < 8 && doc.IntoElem()) {
            Walk(doc, depth + 1, budget);
            doc.OutOfElem();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zm::fuzz::InputReader in(data, size);
    const uint8_t mode = in.Byte();
    const std::string text(in.Rest());

    zm::CXmlDoc doc;
    if (mode & 0x01) {
        doc.LoadFile(zm::fuzz::ScratchFolder::Get().Put("Fuzz.kml", text));
    } else {
        const bool ok = doc.SetDocText(text);
        ZM_FUZZ_REQUIRE(ok == doc.IsWellFormed());
        // Read and not edited: given back byte for byte, good or bad.
        ZM_FUZZ_REQUIRE(doc.GetDocText() == text);
    }
    int budget = 256;
    doc.ResetPos();
    Walk(doc, 0, budget);
    if (!doc.IsWellFormed())
        return 0;

    const int cdata = (mode & 0x04) ? zm::CXmlDoc::kCdata : 0;
    doc.ResetPos();
    if (!doc.FindElem()) {
        doc.AddElem("Document", "x]]>y", cdata);
    } else if (mode & 0x02) {
        doc.AddChildElem("Placemark", "Pier <b>&\"1\"", cdata);
        doc.SetAttrib("id", "a\"b'<&c");
    } else if (doc.IntoElem()) {
        doc.AddElem("Placemark", "x]]>y", cdata);
        doc.SetAttrib("name", "Pier 2/North");
    }
    if (mode & 0x08) {
        doc.ResetPos();
        if (doc.FindElem() && doc.FindChildElem())
            doc.RemoveElem();
    }
    zm::CXmlDoc reread;
    ZM_FUZZ_REQUIRE(reread.SetDocText(doc.GetDocText()));
    return 0;
}
