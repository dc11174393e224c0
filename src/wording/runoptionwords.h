#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What mosaiq-cli and the page in the browser say of a run's options that they cannot take, in
// French (UTF-8): one set of refusals, since both read the options the same way (run/runoptions).
// The options are named as mosaiq-cli spells them.
namespace mosaiq {

std::string unknownColours(std::string_view name);
std::string invalidBackground(std::string_view text);
inline constexpr const char* RandomAndCharacters
    = "--random et --chars s'excluent : choisissez l'un des deux.";

// names: the dialects, already listed ("blog, phpbb, ...").
std::string unknownDialect(std::string_view name, std::string_view names);
std::string invalidTolerance(std::string_view text);
std::string invalidLimit(std::string_view text);
inline constexpr const char* FitChoosesTheSize
    = "--fit choisit lui-même la grille : retirez --columns et --rows.";
inline constexpr const char* BestRunsNeedMerge
    = "--best-runs choisit les plages de --merge : indiquez aussi --merge[=TOLÉRANCE].";
std::string splitNeedsLimit(std::string_view dialect);
std::string fitPostNeedsLimit(std::string_view dialect);

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

// Characters chosen by the shape of the picture.
std::string unknownShapes(std::string_view name);
std::string invalidReaderBackground(std::string_view text);
inline constexpr const char* ShapesAndSquare
    = "--square et --shapes s'excluent : --shapes donne déjà à chaque case un fond et une "
      "encre, et choisit son caractère.";
inline constexpr const char* ShapesAndPalette
    = "--palette et --dither ne s'appliquent pas encore aux deux couleurs des cases de --shapes : "
      "retirez l'un des deux.";
inline constexpr const char* ReaderBackgroundNeedsShapes
    = "--reader-background et --foreground-only servent aux cases de --shapes : indiquez aussi "
      "--shapes.";
inline constexpr const char* ShapesBacktickClosesFence
    = "Les caractères de --shapes ascii (et all) comprennent « ` », qui fermerait le bloc de "
      "code de Discord : choisissez --shapes blocks ou braille.";
// Shown, not refused: the run goes on without the characters.
inline constexpr const char* ShapesIgnoreCharacters
    = "Note : avec --shapes, la forme de l'image choisit les caractères ; --chars et --random "
      "sont ignorés.";

// Transparent pixels.
std::string unknownTransparent(std::string_view value);

} // namespace mosaiq
