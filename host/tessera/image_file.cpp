#include "image_file.h"

#include <unistd.h>

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "command_line.h"

namespace tessera::cli {

namespace fs = std::filesystem;

namespace {

std::string extensionOf(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return ext;
}

bool isLinearFormat(const std::string& ext) { return ext == ".exr"; }

bool knownFormat(const std::string& ext) {
    return ext == ".exr" || ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".tif" ||
           ext == ".tiff";
}

// A sibling of the target with the same extension, so the writer picks the same format.
std::string temporaryPath(const std::string& path) {
    const fs::path p(path);
    return (p.parent_path() / ("." + p.stem().string() + ".tmp" + std::to_string(::getpid()) +
                               p.extension().string()))
        .string();
}

}  // namespace

float linearToSrgb(float x) {
    if (!(x > 0.f)) return 0.f;  // NaN and negatives
    if (x >= 1.f) return 1.f;
    return x <= 0.0031308f ? 12.92f * x : 1.055f * std::pow(x, 1.f / 2.4f) - 0.055f;
}

void checkImagePath(const std::string& path) {
    const std::string ext = extensionOf(path);
    if (!knownFormat(ext))
        throw badInput("cannot write '" + path +
                       "': expected a .exr, .png, .jpg or .tif file name");
    const fs::path dir = fs::path(path).parent_path();
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec))
        throw badInput("cannot write '" + path + "': no folder '" + dir.string() + "'");
    if (::access(dir.empty() ? "." : dir.c_str(), W_OK) != 0)
        throw badInput("cannot write '" + path + "': the folder is not writable");
    if (fs::is_directory(path, ec)) throw badInput("cannot write '" + path + "': it is a folder");
}

void writeImage(const std::string& path, int width, int height, const std::vector<float>& rgb) {
    const std::string ext = extensionOf(path);
    const std::string tmp = temporaryPath(path);
    auto out = OIIO::ImageOutput::create(tmp);
    if (!out) throw badInput("cannot write '" + path + "': " + OIIO::geterror());

    const bool linear = isLinearFormat(ext);
    OIIO::ImageSpec spec(width, height, 3, linear ? OIIO::TypeDesc::FLOAT : OIIO::TypeDesc::UINT8);
    spec.attribute("oiio:ColorSpace", linear ? "Linear" : "sRGB");
    spec.attribute("Software", "tessera");
    bool ok = out->open(tmp, spec);
    if (ok && linear) {
        ok = out->write_image(OIIO::TypeDesc::FLOAT, rgb.data());
    } else if (ok) {
        std::vector<unsigned char> bytes(rgb.size());
        for (std::size_t k = 0; k < rgb.size(); ++k)
            bytes[k] = static_cast<unsigned char>(linearToSrgb(rgb[k]) * 255.f + 0.5f);
        ok = out->write_image(OIIO::TypeDesc::UINT8, bytes.data());
    }
    ok = out->close() && ok;
    std::error_code ec;
    if (ok) fs::rename(tmp, path, ec);
    if (!ok || ec) {
        const std::string why = ok ? ec.message() : out->geterror();
        fs::remove(tmp, ec);
        throw badInput("cannot write '" + path + "': " + why);
    }
}

}  // namespace tessera::cli
