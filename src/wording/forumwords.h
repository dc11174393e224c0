#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

// What mosaiq-cli says about forum codes, merged runs, size budgets and posts, in French (UTF-8).
namespace mosaiq::cli {

inline constexpr const char* DialectNeedsCode
    = "--dialect choisit le code écrit par --blog-code : indiquez aussi --blog-code FICHIER.";
inline constexpr const char* FitNeedsCode
    = "--fit mesure un code : indiquez --blog-code FICHIER ou --html-code FICHIER.";
inline constexpr const char* SplitNeedsCode
    = "--split partage le code écrit par --blog-code : indiquez aussi --blog-code FICHIER.";
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

} // namespace mosaiq::cli
