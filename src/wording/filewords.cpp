#include "wording/filewords.h"

#include <cerrno>
#include <cstring>

namespace mosaiq {

std::string fileErrorText(int error)
{
    // The reasons a user can act on, in the program's language; the rest as the system says.
    switch (error) {
    case 0:
        return {};
    case ENOSPC:
    case EDQUOT:
        return "le disque est plein";
    case EACCES:
    case EPERM:
        return "accès refusé";
    case EROFS:
        return "le dossier est en lecture seule";
    case EISDIR:
        return "c'est un dossier";
    case ENOENT:
    case ENOTDIR:
        return "le dossier n'existe pas";
    case ENAMETOOLONG:
        return "le nom est trop long";
    case EBADF:
        return "le descripteur est fermé";
    case ELOOP:
        return "trop de liens symboliques à suivre";
    case ENXIO:
    case EPIPE:
        return "personne ne lit à l'autre bout";
    case EIO:
        return "erreur d'entrée-sortie";
    default:
        return std::strerror(error);
    }
}

} // namespace mosaiq
