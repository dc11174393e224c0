#pragma once

// What the window says, in French (UTF-8): its captions and its messages. The captions are the
// window's own, byte for byte, odd spellings included: users know the program by them.
namespace mosaiq::window {

inline constexpr const char* Title = "Mosaiq [version 4] - Des images en texte coloré";

// Captions, band by band.
inline constexpr const char* ChangeSize = "Changer les dimensions de l'image :";
inline constexpr const char* Times = "X";
inline constexpr const char* Halve = "diviser (/2)";
inline constexpr const char* Double = "multiplier (*2)";
inline constexpr const char* ColourFrame = "Optimisation des couleurs...";
inline constexpr const char* ColourOptions[] = { "Couleurs d'origines", "Coloriser en rouge",
    "Coloriser en vert", "Coloriser en bleu", "Noir et blanc" };
inline constexpr const char* CharacterFrame = "Caractères de l'ASCII";
inline constexpr const char* LetterMode = "Mode lettre";
inline constexpr const char* SquareMode = "Mode carré";
inline constexpr const char* CharacterOptions[] = { "Hasard", "Dé&finis" };
inline constexpr const char* OtherFrame = "Autres...";
inline constexpr const char* Centred = "Centré";
inline constexpr const char* Italic = "Italique";
inline constexpr const char* Bold = "Gras";
inline constexpr const char* InformationFrame = "Informations";
inline constexpr const char* Author = "Auteur :";
inline constexpr const char* AuthorName = "L'équipe Mosaiq";
inline constexpr const char* Birth = "Date de naissance :";
inline constexpr const char* BirthDate = "01/04/2024";
inline constexpr const char* Blog = "Blog :";
inline constexpr const char* Site = "Site :";
inline constexpr const char* PicturePath = "Chemin de l'image :";
inline constexpr const char* Browse = "...";
inline constexpr const char* Background = "Fond de l'aperçu :";
inline constexpr const char* Create = "Créer (CTRL+D)";
inline constexpr const char* Stop = "Stop (CTLR+S)";
inline constexpr const char* PreviewTab = "Aperçu";
inline constexpr const char* BlogCodeTab = "Code SkyBlog";
inline constexpr const char* HtmlCodeTab = "Code HTML";
inline constexpr const char* Copy = "Copier...";

// Messages.
inline constexpr const char* CodeCopied = "Votre code est copier!\r\n";
inline constexpr const char* PasteInPage = "Vous n'avez plus qu'à le coller dans votre page.";
inline constexpr const char* PasteInArticle = "Vous n'avez plus qu'à le coller dans votre article.";
// %1: the address.
inline constexpr const char* NoBrowser = "Impossible d'ouvrir l'adresse %1 dans le navigateur.\r\n"
                                         "Aucun navigateur ne répond sur ce système.";
// %1: the page's path, %2: the reason.
inline constexpr const char* PageNotWritten = "Impossible d'écrire la page d'aperçu :\r\n%1\r\n%2";
inline constexpr const char* NotEnoughMemory
    = "Mémoire insuffisante pour créer ce code : réduisez les dimensions.";
// %1: the picture's path, %2: the reason.
inline constexpr const char* PictureNotLoaded = "Impossible de charger l'image :\r\n%1\r\n%2";
inline constexpr const char* PictureEmpty = "L'image est vide.";

// Halving and doubling. %1: "largeur" or "hauteur", %2: the field's text.
inline constexpr const char* Width = "largeur";
inline constexpr const char* Height = "hauteur";
inline constexpr const char* SizeEmpty = "La %1 est vide.";
inline constexpr const char* SizeNotANumber = "La %1 « %2 » n'est pas un nombre.";
inline constexpr const char* SizeTooLarge = "Le résultat serait trop grand pour être écrit.";
inline constexpr const char* SizesUnchanged = "\r\nLes dimensions restent inchangées.";

} // namespace mosaiq::window
