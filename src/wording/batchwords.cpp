#include "wording/batchwords.h"

#include "wording/joined.h"

namespace mosaiq::cli {

namespace {

    std::string count(std::size_t value, std::string_view one, std::string_view many)
    {
        return std::to_string(value) + " " + std::string(value > 1 ? many : one);
    }

} // namespace

std::string invalidJobs(std::string_view text)
{
    return joined({ "Nombre de tâches invalide : « ", text, " » (attendu : 1 à 256)." });
}

std::string severalPicturesNeedOutputDir(std::string_view extra)
{
    return joined({ "Une seule image à la fois : « ", extra,
        " » est de trop (pour plusieurs images, indiquez --output-dir DOSSIER)." });
}

std::string outputDirMissing(std::string_view dir)
{
    return joined({ "Le dossier de sortie « ", dir, " » n'existe pas." });
}

std::string outputDirNotAFolder(std::string_view dir)
{
    return joined({ "« ", dir, " » n'est pas un dossier." });
}

std::string outputDirNotWritable(std::string_view dir, std::string_view reason)
{
    return joined({ "Impossible d'écrire dans le dossier « ", dir, " » : ", reason, "." });
}

std::string aboutPicture(std::string_view picture, std::string_view message)
{
    return joined({ picture, " : ", message });
}

std::string wouldOverwritePicture(std::string_view output)
{
    return joined({ "la sortie « ", output, " » remplacerait une des images : image ignorée." });
}

std::string batchProgress(std::size_t done, std::size_t total)
{
    return joined({ "Conversion : ", std::to_string(done), "/", std::to_string(total) });
}

std::string batchSummary(
    std::size_t total, std::size_t converted, std::size_t failed, std::size_t duplicates)
{
    std::string text = joined({ count(total, "image", "images"), " : ",
        count(converted, "convertie", "converties"), ", ", std::to_string(failed), " en échec" });
    if (duplicates > 0)
        text += joined({ ", ", std::to_string(duplicates), " en double" });
    return text + ".";
}

} // namespace mosaiq::cli
