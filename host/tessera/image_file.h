// Writing a rendered image: EXR linear float, PNG, JPEG and TIFF 8-bit with the sRGB transfer.
// The file appears whole or not at all.
#pragma once

#include <string>
#include <vector>

namespace tessera::cli {

// Fails (Failure 1) when the format is unknown or the folder cannot take the file; called
// before rendering so that a bad path costs nothing.
void checkImagePath(const std::string& path);

// rgb holds width * height * 3 linear floats, top row first.
void writeImage(const std::string& path, int width, int height, const std::vector<float>& rgb);

float linearToSrgb(float x);

}  // namespace tessera::cli
