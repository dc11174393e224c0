#include "wording/pngwords.h"

#include "wording/joined.h"

namespace mosaiq::cli {

std::string invalidScale(std::string_view text)
{
    return joined({ "Échelle invalide : « ", text, " » (1 ou 2)." });
}

std::string pngFileInBatch(std::string_view name)
{
    return joined({ "Avec --output-dir, --png s'écrit sans fichier : chaque image reçoit NOM.png. "
                    "Retirez « ",
        name, " », ou placez-la avant --png si c'est une image à convertir." });
}

std::string pngTooLarge(std::int64_t width, std::int64_t height, std::int64_t largest)
{
    const std::string size = std::to_string(width) + " × " + std::to_string(height);
    const std::string limit = std::to_string(largest);
    return joined(
        { "L'image de la page ferait ", size, " pixels ; un fichier PNG lisible a au plus ", limit,
            " pixels de côté : réduisez les dimensions ou l'échelle." });
}

} // namespace mosaiq::cli
