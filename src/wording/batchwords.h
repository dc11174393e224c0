#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What mosaiq-cli says when it converts many pictures at once, in French (UTF-8).
namespace mosaiq::cli {

inline constexpr const char* OutputDirReplacesPaths
    = "Avec --output-dir, les sorties prennent le nom des images : retirez --page, --html-code "
      "et --blog-code.";
inline constexpr const char* JobsNeedOutputDir
    = "--jobs sert à convertir plusieurs images : indiquez aussi --output-dir DOSSIER.";
std::string invalidJobs(std::string_view text);
std::string severalPicturesNeedOutputDir(std::string_view extra);

std::string outputDirMissing(std::string_view dir);
std::string outputDirNotAFolder(std::string_view dir);
std::string outputDirNotWritable(std::string_view dir, std::string_view reason);

// A message about one picture of the batch.
std::string aboutPicture(std::string_view picture, std::string_view message);
inline constexpr const char* GivenTwice
    = "déjà plus haut dans la liste (le même fichier) : convertie une seule fois.";
std::string wouldOverwritePicture(std::string_view output);
// "Conversion : 3/50"
std::string batchProgress(std::size_t done, std::size_t total);
// "50 images : 48 converties, 2 en échec, 1 en double."
std::string batchSummary(
    std::size_t total, std::size_t converted, std::size_t failed, std::size_t duplicates);

} // namespace mosaiq::cli
