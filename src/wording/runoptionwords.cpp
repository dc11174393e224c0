#include "wording/runoptionwords.h"

#include "wording/joined.h"

namespace mosaiq {

std::string unknownColours(std::string_view name)
{
    return joined({ "Couleurs inconnues : « ", name, " » (original, red, green, blue ou grey)." });
}

std::string invalidBackground(std::string_view text)
{
    return joined({ "Couleur de fond invalide : « ", text, " » (attendu : #RRVVBB)." });
}

std::string unknownShapes(std::string_view name)
{
    return joined({ "Jeu de formes inconnu : « ", name, " » (ascii, blocks, braille ou all)." });
}

std::string unknownTransparent(std::string_view value)
{
    return joined({ "Valeur inconnue pour --transparent : « ", value,
        " » (background : les cases transparentes prennent le fond de la page)." });
}

std::string invalidReaderBackground(std::string_view text)
{
    return joined({ "Couleur de fond du lecteur invalide : « ", text, " » (attendu : #RRVVBB)." });
}

std::string unknownDialect(std::string_view name, std::string_view names)
{
    return joined({ "Dialecte inconnu : « ", name, " » (", names, ")." });
}

std::string invalidTolerance(std::string_view text)
{
    return joined({ "Tolérance invalide : « ", text, " » (attendu : un nombre de 0 à 100)." });
}

std::string invalidLimit(std::string_view text)
{
    return joined({ "Limite invalide : « ", text,
        " » (attendu : un nombre entier de caractères, 1 ou plus)." });
}

std::string splitNeedsLimit(std::string_view dialect)
{
    return joined({ "--split partage le code selon la limite d'un forum, et « ", dialect,
        " » n'en a pas : choisissez un forum avec --dialect." });
}

std::string fitPostNeedsLimit(std::string_view dialect)
{
    return joined({ "--fit post prend la limite d'un message du forum, et « ", dialect,
        " » (le code pour blog) n'en a pas : donnez une limite en nombre (--fit 60000) ou "
        "choisissez un forum avec --dialect." });
}

std::string controlCharacterInChat(std::string_view dialect)
{
    return joined({ "--chars contient un caractère de contrôle, que ", dialect,
        " lirait comme un code et non comme un caractère : retirez-le." });
}

std::string fitPostPerRow(std::string_view dialect)
{
    return joined({ "--fit post mesure un message entier, et ", dialect,
        " envoie un message par ligne : choisissez la largeur avec --columns (une ligne trop "
        "longue est signalée)." });
}

std::string invalidPaletteCount(std::string_view text)
{
    return joined({ "Nombre de couleurs invalide : « ", text,
        " » (attendu : de 2 à 256, ou le fichier d'une palette GIMP)." });
}

std::string cannotReadPalette(std::string_view path)
{
    return joined(
        { "Impossible de lire la palette « ", path, " » : fichier introuvable ou illisible." });
}

std::string emptyPalette(std::string_view path)
{
    return joined({ "La palette « ", path, " » ne contient aucune couleur." });
}

std::string notGimpPalette(std::string_view path, std::size_t line)
{
    return joined({ "« ", path, " » n'est pas une palette GIMP (.gpl) : ligne ",
        std::to_string(line),
        " illisible (attendu : « GIMP Palette » en tête, puis une couleur « R V B » par ligne)." });
}

std::string paletteOutOfRange(std::string_view path, std::size_t line)
{
    return joined({ "Couleur hors limites dans la palette « ", path, " », ligne ",
        std::to_string(line), " : chaque composante va de 0 à 255." });
}

std::string paletteTooLarge(std::string_view path)
{
    return joined({ "La palette « ", path, " » a plus de 256 couleurs." });
}

std::string unknownDither(std::string_view text)
{
    return joined({ "Tramage inconnu : « ", text, " » (ordered ou diffusion)." });
}

} // namespace mosaiq
