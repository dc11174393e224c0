#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
std::string splitNeedsLimit(std::string_view dialect);
inline constexpr const char* SplitNeedsFile
    = "--split écrit ses messages à côté du fichier de --blog-code : indiquez un fichier plutôt "
      "que « - ».";
// "--merge 10": the tolerance given apart, read as a picture.
std::string mergeValueApart(std::string_view value);

// "Grille choisie : 120 × 68 (59874 caractères sur 60000)."
std::string chosenGrid(
    std::int64_t columns, std::int64_t rows, std::size_t characters, std::size_t limit);
// Not even the smallest grid keeping the proportions fits the limit.
std::string limitTooSmall(
    std::size_t limit, std::int64_t columns, std::int64_t rows, std::size_t characters);
// A row is longer than a post on its own; columns is the most that would fit (0: none).
std::string rowTooLongForPost(std::int64_t row, std::size_t limit, std::string_view unit,
    std::string_view dialect, std::int64_t columns);
// "Code partagé en 3 messages : code.txt.1 à code.txt.3."
std::string codeSplit(std::size_t parts, std::string_view first, std::string_view last);

inline constexpr const char* UnitCharacters = "caractères";
inline constexpr const char* UnitBytes = "octets";

} // namespace mosaiq::cli
