#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What mosaiq-cli and the page in the browser say of a size budget and of posts, in French
// (UTF-8).
namespace mosaiq {

// What a budget or a post counts.
inline constexpr const char* UnitCharacters = "caractères";
inline constexpr const char* UnitBytes = "octets";

// "Grille choisie : 120 × 68 (59874 caractères sur 60000)."
std::string chosenGrid(std::int64_t columns, std::int64_t rows, std::size_t characters,
    std::size_t limit, std::string_view unit);
// Not even the smallest grid keeping the proportions fits the limit.
std::string limitTooSmall(std::size_t limit, std::int64_t columns, std::int64_t rows,
    std::size_t characters, std::string_view unit);
// A row is longer than a post on its own; columns is the most that would fit (0: none).
std::string rowTooLongForPost(std::int64_t row, std::size_t limit, std::string_view unit,
    std::string_view dialect, std::int64_t columns);

} // namespace mosaiq
