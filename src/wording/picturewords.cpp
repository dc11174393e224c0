#include "wording/picturewords.h"

namespace mosaiq {

const char* pictureErrorWords(PictureError error)
{
    switch (error) {
    case PictureError::None:
        return "";
    case PictureError::NotFound:
        return "Le fichier n'existe pas.";
    case PictureError::Folder:
        return "Ce n'est pas un fichier mais un dossier.";
    case PictureError::NamedPipe:
        return "Ce n'est pas un fichier mais un tube nommé.";
    case PictureError::Device:
        return "Ce n'est pas un fichier mais un périphérique.";
    case PictureError::Socket:
        return "Ce n'est pas un fichier mais une socket.";
    case PictureError::NotAFile:
        return "Ce n'est pas un fichier ordinaire.";
    case PictureError::Empty:
        return "Le fichier est vide.";
    case PictureError::Unreadable:
        return "Le fichier ne peut pas être lu (droits d'accès ?).";
    case PictureError::NotAPicture:
        return "Ce n'est pas une image dans un format connu.";
    case PictureError::Damaged:
        return "L'image est endommagée ou incomplète.";
    case PictureError::TooLarge:
        return "L'image est trop grande pour être chargée.";
    }
    return "";
}

} // namespace mosaiq
