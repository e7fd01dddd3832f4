#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zm {

// The report's pictures, drawn by the program itself so that every installation writes
// the same bytes: the state icons in the colours of the status table, the numbered status
// marks, the logo and legend overlays, and the arrow of the entry folder.
struct KmlImage {
    std::string name;  // file title: name + ".png"
    int resourceId;    // identifier the images were known by in earlier installations
    std::string png;
};

// The 13 images of the report's "images" folder, in the order of the styles file.
const std::vector<KmlImage>& KmlReportImages();
const KmlImage& KmlArrowImage();

// RGBA rows, top row first, as a PNG file (8-bit RGBA, stored deflate blocks).
std::string EncodePng(int width, int height, const std::vector<std::uint8_t>& rgba);

}  // namespace zm
