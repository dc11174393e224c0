#pragma once

// What the "Aperçu" tab says, in UTF-8: the bar above the native preview and the context menus
// of both previews (the web engine's own menu would be in English).
namespace mosaiq::window {

// Why the bar shows: the page is too large, or the web engine could not show it.
inline constexpr const char* PageTooLarge
    = "Page trop grande pour l'aperçu intégré : aperçu simplifié.";
inline constexpr const char* EngineStopped
    = "L'aperçu intégré s'est arrêté (mémoire insuffisante ?) : aperçu simplifié.";
inline constexpr const char* LoadFailed
    = "L'aperçu intégré n'a pas pu afficher la page : aperçu simplifié.";
inline constexpr const char* PageMissing
    = "La page d'aperçu est introuvable : aperçu simplifié de la dernière page créée.";
// Without a record of the page (it was left by an earlier start of the program).
inline constexpr const char* NothingToShow = "La page d'aperçu est introuvable.";
inline constexpr const char* TooLargeToDraw
    = "Page trop grande pour l'aperçu intégré : ouvrez-la dans le navigateur.";
inline constexpr const char* BrowserFailed = "Impossible d'ouvrir le navigateur.";

inline constexpr const char* OpenInBrowser = "Ouvrir dans le navigateur";

// The zoom, as the bar shows it: "Zoom : 150 %" or "Zoom : ajusté".
inline constexpr const char* ZoomPercent = "Zoom : %1 %";
inline constexpr const char* ZoomFitted = "Zoom : ajusté";

// Context menus.
inline constexpr const char* ZoomIn = "Zoom avant";
inline constexpr const char* ZoomOut = "Zoom arrière";
inline constexpr const char* ActualSize = "Taille réelle (100 %)";
inline constexpr const char* FitToPane = "Ajuster à l'aperçu";
inline constexpr const char* Reload = "Actualiser";
inline constexpr const char* CopySelection = "Copier";

} // namespace mosaiq::window
