#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

// What mosaiq-cli says about forum codes, merged runs, size budgets and posts, in French (UTF-8).
namespace mosaiq::cli {

// names: the dialects, already listed ("blog, phpbb, ...").
std::string unknownDialect(std::string_view name, std::string_view names);
std::string invalidTolerance(std::string_view text);
std::string invalidLimit(std::string_view text);
inline constexpr const char* DialectNeedsCode
    = "--dialect choisit le code écrit par --blog-code : indiquez aussi --blog-code FICHIER.";
inline constexpr const char* FitNeedsCode
    = "--fit mesure un code : indiquez --blog-code FICHIER ou --html-code FICHIER.";
inline constexpr const char* FitChoosesTheSize
    = "--fit choisit lui-même la grille : retirez --columns et --rows.";
inline constexpr const char* SplitNeedsCode
    = "--split partage le code écrit par --blog-code : indiquez aussi --blog-code FICHIER.";
inline constexpr const char* BestRunsNeedMerge
    = "--best-runs choisit les plages de --merge : indiquez aussi --merge[=TOLÉRANCE].";
std::string splitNeedsLimit(std::string_view dialect);
std::string fitPostNeedsLimit(std::string_view dialect);
inline constexpr const char* SplitNeedsFile
    = "--split écrit ses messages à côté du fichier de --blog-code : indiquez un fichier plutôt "
      "que « - ».";
// "--merge 10": the tolerance given apart, read as a picture.
std::string mergeValueApart(std::string_view value);

// "Code partagé en 3 messages : code.txt.1 à code.txt.3."
std::string codeSplit(std::size_t parts, std::string_view first, std::string_view last);

// What --stats says, on several lines: the grid, the bytes per cell of each code written
// (label and figure), the colours used, the mean and 95th percentile of the differences.
std::string statsReport(std::int64_t columns, std::int64_t rows, std::int64_t cells,
    std::span<const std::pair<std::string, double>> bytesPerCell, std::size_t colours, double mean,
    double percentile95);
inline constexpr const char* StatsPage = "page";
inline constexpr const char* StatsHtmlCode = "code HTML";
std::string statsBracketCode(std::string_view dialect);

// Chat dialects.
std::string controlCharacterInChat(std::string_view dialect);
inline constexpr const char* BacktickClosesFence
    = "Le caractère « ` » fermerait le bloc de code de Discord : retirez-le de --chars.";
std::string fitPostPerRow(std::string_view dialect);

// Palettes and dithering.
std::string invalidPaletteCount(std::string_view text);
std::string cannotReadPalette(std::string_view path);
std::string emptyPalette(std::string_view path);
std::string notGimpPalette(std::string_view path, std::size_t line);
std::string paletteOutOfRange(std::string_view path, std::size_t line);
std::string paletteTooLarge(std::string_view path);
std::string unknownDither(std::string_view text);
inline constexpr const char* DitherNeedsPalette
    = "--dither répartit les couleurs d'une palette : indiquez aussi --palette N ou --palette "
      "FICHIER.";

} // namespace mosaiq::cli
