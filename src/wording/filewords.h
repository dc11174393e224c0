#pragma once

#include <string>

namespace mosaiq {

// A short French reason for the errno value error ("le disque est plein"), empty for 0.
std::string fileErrorText(int error);

// Reasons that no errno value gives.
inline constexpr const char* FileNotWritable = "ce fichier ne peut pas être écrit";
inline constexpr const char* NoFileInSystemFolder
    = "aucun fichier n'est créé dans un dossier du système";

} // namespace mosaiq
