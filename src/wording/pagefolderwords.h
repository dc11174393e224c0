#pragma once

// What the window tells the user about the folder where it writes its page (UTF-8). "%1" is the
// folder it tried, filled in by the caller.

namespace mosaiq::window {

inline constexpr const char* PageFolderUnwritable
    = "Mosaiq ne peut pas écrire sa page dans le dossier « %1 » : ce dossier ne peut pas être "
      "créé ou n'est pas accessible en écriture.\n\n"
      "Les créations échoueront tant que ce dossier restera en lecture seule ; rendez-le "
      "accessible en écriture, puis relancez Mosaiq.";

inline constexpr const char* PageFolderCrowded
    = "Trop de fenêtres de Mosaiq sont ouvertes à la fois : aucune page libre dans le dossier "
      "« %1 ».\n\nFermez une autre fenêtre de Mosaiq, puis relancez-le.";

} // namespace mosaiq::window
