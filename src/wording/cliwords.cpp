#include "wording/cliwords.h"

namespace mosaiq::cli {

namespace {

    std::string joined(std::initializer_list<std::string_view> pieces)
    {
        std::string text;
        for (std::string_view piece : pieces)
            text += piece;
        return text;
    }

} // namespace

const char* const HelpText = R"(Utilisation : mosaiq-cli IMAGE [options]

Transforme une image (BMP, JPEG, GIF, PNG...) en texte coloré pour une page web
ou un article de blog : une cellule de la grille devient un caractère coloré
comme l'image à cet endroit. Produit la même page et les mêmes codes que la
fenêtre de Mosaiq.

Dimensions (lues comme dans la fenêtre : nombre en tête, point décimal) :
  --columns TEXTE       caractères par ligne (défaut : largeur de l'image)
  --rows TEXTE          nombre de lignes (défaut : hauteur de l'image)

Rendu :
  --colours NOM         original, red, green, blue ou grey (défaut : original)
  --square              mode carré (les caractères sont alors « 8 »)
  --random              caractères tirés au hasard (@ et A à Z)
  --chars TEXTE         caractères à répéter (défaut : « o »)
  --bold, --italic      texte gras, italique
  --no-centre           ne pas centrer (centré par défaut)
  --background #RRVVBB  couleur de fond de la page (défaut : #000000)

Sorties :
  -o, --page FICHIER    la page HTML (défaut : sortie standard)
  --html-code FICHIER   le code HTML, tel que le volet « Code HTML »
  --blog-code FICHIER   le code pour blog, tel que le volet « Code SkyBlog »
  -h, --help            cette aide
  --version             la version de mosaiq-cli

Codes de sortie : 0 réussi, 2 réglages refusés, 3 image illisible,
4 fichier impossible à écrire, 5 mémoire insuffisante.
)";

std::string optionNeedsValue(std::string_view option)
{
    return joined({ "L'option ", option, " attend une valeur." });
}

std::string optionTakesNoValue(std::string_view option)
{
    return joined({ "L'option ", option, " ne prend pas de valeur." });
}

std::string unknownOption(std::string_view option)
{
    return joined({ "Option inconnue : ", option, " (voir --help)." });
}

std::string unknownColours(std::string_view name)
{
    return joined({ "Couleurs inconnues : « ", name, " » (original, red, green, blue ou grey)." });
}

std::string invalidBackground(std::string_view text)
{
    return joined({ "Couleur de fond invalide : « ", text, " » (attendu : #RRVVBB)." });
}

std::string onePictureOnly(std::string_view extra)
{
    return joined({ "Une seule image à la fois : « ", extra, " » est de trop." });
}

std::string cannotReadPicture(std::string_view path, std::string_view reason)
{
    return joined({ "Impossible de lire l'image « ", path, " » : ", reason });
}

std::string cannotWriteFile(std::string_view path, std::string_view reason)
{
    return joined({ "Impossible d'écrire le fichier « ", path, " » : ", reason, "." });
}

std::string cannotWriteStandardOutput(std::string_view reason)
{
    return joined({ "Impossible d'écrire la sortie standard : ", reason, "." });
}

} // namespace mosaiq::cli
