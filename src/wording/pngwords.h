#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What mosaiq-cli says about the picture of the page (--png), in French (UTF-8).
namespace mosaiq::cli {

std::string invalidScale(std::string_view text);
inline constexpr const char* ScaleNeedsPng
    = "--scale règle l'image de --png : indiquez aussi --png FICHIER.";
inline constexpr const char* PngNamedInBatch
    = "Avec --output-dir, --png s'écrit sans fichier : chaque image reçoit NOM.png.";
// A PNG name right after --png in a batch.
std::string pngFileInBatch(std::string_view name);
// The page's picture would be larger than a PNG that can be read back.
std::string pngTooLarge(std::int64_t width, std::int64_t height, std::int64_t largest);
inline constexpr const char* PngFailed = "la compression PNG a échoué";

} // namespace mosaiq::cli
