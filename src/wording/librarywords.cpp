#include "wording/librarywords.h"

#include "wording/joined.h"

namespace mosaiq::cli {

std::string libraryMissing(std::string_view library, std::string_view package)
{
    return joined({ "Ce travail demande la bibliothèque « ", library,
        " », absente de ce système : installez le paquet Debian « ", package, " » (apt install ",
        package,
        "), puis relancez. Les photos JPEG sans profil de "
        "couleurs se convertissent sans elle, sauf avec --png." });
}

std::string moduleMissing(std::string_view path, std::string_view reason)
{
    return joined({ "Le module d'images de mosaiq-cli (« ", path,
        " ») ne peut pas être chargé : ", reason,
        ". Réinstallez le paquet Debian « mosaiq » (apt install --reinstall mosaiq). Les photos "
        "JPEG sans profil de couleurs se convertissent sans lui, sauf avec --png." });
}

} // namespace mosaiq::cli
