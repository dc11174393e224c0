#include "wording/webwords.h"

#include "convert/glyph.h"
#include "wording/joined.h"
#include "wording/previewwords.h"
#include "wording/windowwords.h"

#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

namespace mosaiq::web {

namespace {

    std::vector<std::pair<const char*, std::string>> webWords()
    {
        return {
            { "notReady", "Le moteur de conversion démarre, réessayez dans un instant." },
            // Not a sentence: what square mode writes in the characters' field.
            { "squareCharacters", std::string(1, SquareModeCharacter) },
            { "noEngine",
                "Ce navigateur ne peut pas faire tourner le moteur de conversion (WebAssembly) : "
                "essayez un navigateur plus récent." },
            // What the host of the site must allow, named as its security policy writes it.
            { "wasmRefused",
                "Ce site interdit au navigateur de faire tourner le moteur de conversion "
                "(WebAssembly) : son hébergeur doit l'autoriser dans sa politique de sécurité "
                "(Content-Security-Policy : script-src 'wasm-unsafe-eval')." },
            { "noWorker",
                "Le moteur de conversion n'a pas pu démarrer : le navigateur ou le site refuse "
                "ses workers. Un site qui a une politique de sécurité doit les autoriser "
                "(Content-Security-Policy : worker-src 'self')." },
            { "engineSilent",
                "Le moteur de conversion n'a pas démarré après %1 secondes : rechargez la page. "
                "Si rien ne change, ce navigateur ne peut pas le faire tourner." },
            { "updateReady",
                "Une nouvelle version de Mosaiq est prête : elle servira dès que la page sera "
                "rechargée." },
            { "pictureWaits", "L'image sera lue dès que le moteur de conversion sera prêt..." },
            { "tooLargeToSave",
                "Ce fichier fait %1 : ce navigateur ne peut pas l'enregistrer d'un bloc. "
                "Réduisez les dimensions, ou ouvrez la page dans un navigateur qui enregistre "
                "directement sur le disque." },
            { "saving", "Enregistrement du fichier (%1)..." },
            { "saved", "Fichier enregistré (%1)." },
            { "saveFailed",
                "Le fichier (%1) n'a pas pu être enregistré : vérifiez la place libre sur le "
                "disque, puis réessayez." },
            { "reading", "L'image est en cours de lecture : un instant, puis créez la page." },
            { "readingPicture", "Lecture de l'image..." },
            { "pasteRefused",
                "Le navigateur n'a pas donné accès au presse-papiers : collez l'image avec "
                "Ctrl+V." },
            { "noPictureCopied",
                "Le presse-papiers ne contient pas d'image : copiez une image puis collez-la "
                "ici." },
            // The sample photo's name, as the page shows it once chosen.
            { "sampleName", "photo-exemple.jpg" },
            { "textPasted",
                "Le presse-papiers contient du texte, pas une image : copiez une image puis "
                "collez-la ici." },
            { "nothingDropped", "Ce qui a été déposé n'est pas un fichier : déposez une image." },
            { "pictureLoaded", "Image chargée : %1 × %2 pixels." },
            { "running", "Conversion en cours..." },
            { "stopped", "Conversion arrêtée : la page garde les lignes créées, sans les codes." },
            { "done", "Conversion terminée." },
            { "transparentHint",
                "Fond transparent : les cases que l'image laisse transparentes prennent la couleur "
                "du fond de la page, et restent des espaces sans couleur dans les codes." },
            { "copiedPage", joined({ window::CodeCopied, window::PasteInPage }) },
            { "copiedArticle", joined({ window::CodeCopied, window::PasteInArticle }) },
            { "copyRefused",
                "Le navigateur a refusé la copie dans le presse-papiers : téléchargez le code, ou "
                "copiez-le depuis le fichier." },
            { "nothingToCopy", "Aucun code à copier : créez d'abord une page." },
            { "fileMaking", "Le fichier (%1) est en préparation…" },
            { "fileReady", "Le fichier (%1) est prêt." },
            { "fileLost",
                "Le fichier (%1) ne peut plus être préparé : créez la page à nouveau, puis "
                "téléchargez-le." },
            { "pngMaking", "L'image PNG de l'aperçu est en préparation…" },
            { "pngWhole", "L'image PNG de l'aperçu est prête." },
            { "pngSmall",
                "L'aperçu à 100 % dépasse la taille des images de ce navigateur : l'image PNG "
                "donne un pixel par caractère." },
            { "pngTooLarge",
                "L'aperçu est trop grand pour une image PNG dans ce navigateur, même à un pixel "
                "par caractère : téléchargez la page à la place." },
            { "blogTab", window::BlogCodeTab },
            { "forumTab", "Code %1" },
            { "posts", "Code partagé en %1 messages :" },
            { "post", "message %1" },
            { "bytes", "%1 octets" },
            { "codeStart", "Début du code (%1 sur %2) :" },
            { "codeWhole", "Code entier (%1) :" },
            { "zoom", window::ZoomPercent },
        };
    }

    // text as a JSON string; the window's "\r\n" becomes the page's "\n".
    std::string quoted(std::string_view text)
    {
        std::string out = "\"";
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (c == '\n') {
                out += "\\n";
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
        return out + '"';
    }

} // namespace

std::string webWordsJson()
{
    std::string json = "{";
    for (const auto& [name, text] : webWords()) {
        if (json.size() > 1)
            json += ',';
        json += quoted(name) + ':' + quoted(text);
    }
    return json + '}';
}

} // namespace mosaiq::web
