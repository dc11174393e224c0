#include "wording/cliwords.h"

#include "wording/joined.h"

namespace mosaiq::cli {

const char* const HelpText = R"(Utilisation : mosaiq-cli IMAGE [options]
              mosaiq-cli IMAGE... --output-dir DOSSIER [--jobs N] [options]

Transforme une image (BMP, JPEG, GIF, PNG...) en texte coloré pour une page web
ou un article de blog : une cellule de la grille devient un caractère coloré
comme l'image à cet endroit. Pour la même grille et sans les options « Forums »,
produit la même page et les mêmes codes que la fenêtre de Mosaiq.

Dimensions (un nombre, au moins 1, décimales après une virgule ou un point) :
  --columns NOMBRE      caractères par ligne (défaut : largeur de l'image)
  --rows NOMBRE         nombre de lignes (défaut : hauteur de l'image)
                        Une seule des deux donnée, l'autre garde les proportions
                        de l'image sur la page (un caractère est environ deux
                        fois plus haut que large).

Rendu :
  --colours NOM         original, red, green, blue ou grey (défaut : original)
  --square              mode carré (les caractères sont alors « 8 »)
  --random              caractères tirés au hasard (@ et A à Z)
  --chars TEXTE         caractères à répéter (défaut : « o »)
  --bold, --italic      texte gras, italique
  --no-centre           ne pas centrer (centré par défaut)
  --background #RRVVBB  couleur de fond de la page (défaut : #000000)
  --transparent background
                        les cases dont la plupart des pixels sont transparents
                        (moins qu'à moitié opaques) prennent le fond de la page
                        (avec --foreground-only, celui de --reader-background)
                        dans la page et l'image de --png, et deviennent des
                        espaces sans couleur dans les codes (HTML, blog, forums
                        et messageries) ; sans elle, la transparence est peinte
                        sur du blanc ; avec --merge, elles coupent les
                        suites de cases fusionnées

Sorties :
  -o, --page FICHIER    la page HTML (défaut : la sortie standard, si aucune
                        autre sortie ne la prend ; sur un terminal, seulement
                        si aucune autre sortie n'est demandée : -o - l'y écrit)
  --html-code FICHIER   le code HTML, tel que le volet « Code HTML »
  --blog-code FICHIER   le code pour blog, tel que le volet « Code SkyBlog »,
                        ou dans le dialecte de --dialect
  --png FICHIER         la page en image PNG, telle que l'aperçu la montre : les
                        caractères dans leurs couleurs sur le fond de la page,
                        dans sa police (pour les sites qui refusent les codes
                        de couleur) ; au plus 1000000 pixels de côté
  --scale N             l'échelle de l'image de --png : 1 (la page à 100 %,
                        défaut) ou 2 (deux fois plus grande et aussi nette)
  -h, --help            cette aide
  --version             la version de mosaiq-cli

Formes (ces sorties ne sont plus celles de la fenêtre) :
  --shapes JEU          ascii, blocks, braille ou all : chaque cellule prend le
                        caractère dont la forme suit le mieux l'image à cet
                        endroit, avec deux couleurs, une encre et un fond, que
                        la page, le code HTML et le code pour blog écrivent
                        comme le mode carré ; la page les montre en DejaVu Sans
                        Mono ; ascii se lit partout, blocks (demi-pavés, quarts,
                        ombres) et braille demandent une police qui les a
                        (DejaVu Sans Mono, DejaVu Sans) : sans elle, des cases
                        vides ou décalées ; --chars et --random sont alors
                        ignorés ; exclut --square et --palette ; avec --merge,
                        une plage partage ses couleurs (le fond, puis l'encre)
                        et chaque case garde son caractère ; --png peint chaque
                        cellule, son fond puis son caractère dans son encre ; si
                        seul --columns ou --rows est donné, l'autre garde les
                        proportions de l'image dans cette police
  --reader-background #RRVVBB
                        avec --shapes, le fond de la page d'un forum derrière
                        le texte (défaut : #FFFFFF) : les codes qui ne
                        colorent que le texte (les forums sans fond coloré,
                        discord, irc, ansi) y ajustent le caractère et l'encre
                        de chaque cellule ; --background reste celui de la page
  --foreground-only     avec --shapes, chaque cellule n'a que son encre, ajustée
                        sur le fond de --reader-background, dans la page aussi,
                        qui montre alors ce que le forum montrera

Forums (ces sorties ne sont plus celles de la fenêtre) :
  --dialect NOM         le code à crochets de --blog-code : blog (celui de la
                        fenêtre, défaut), phpbb, vbulletin, smf, xenforo, mybb
                        ou discourse ([color=#RRVVBB], centrage et échappements
                        de chaque forum ; sans fond coloré, une case du mode
                        carré devient un pavé plein « █ ») ; pour les messageries :
                        discord (bloc ```ansi, les 8 couleurs de Discord, 2000
                        caractères par message), irc (couleurs mIRC 00 à 98, un
                        message par ligne d'au plus 510 octets, --split n'y
                        change rien) ou ansi (couleurs 24 bits pour un terminal)
  --merge[=TOLÉRANCE]   les cellules voisines d'une ligne partagent une balise
                        de couleur tant que leur écart CIEDE2000 à la première
                        reste au plus TOLÉRANCE (0 à 100 ; 0, le défaut :
                        couleurs égales seulement) ; vaut pour la page et les
                        deux codes, qui échappent alors < > & " (HTML) et
                        isolent [ et ]
  --best-runs           avec --merge, plus de cellules par caractère au même
                        écart moyen : chaque ligne est coupée en plages là où
                        une balise de plus rapproche assez les couleurs, et
                        chaque plage prend la couleur la plus proche de toutes
                        ses cellules, sans qu'aucune ne s'en écarte de plus de
                        TOLÉRANCE ; à TOLÉRANCE égale, aucune ligne n'a plus
                        de caractères de balises qu'avec --merge seul, et
                        l'écart moyen est d'ordinaire plus faible ; le code à
                        crochets écrit une couleur sous une forme plus courte
                        quand le forum la lit et que l'écart ajouté vaut les
                        caractères gagnés (phpbb, mybb, smf : noms et #RVB) ;
                        pour ces trois forums, dont les balises de couleur
                        s'imbriquent, une plage qui revient à la couleur d'une
                        balise encore ouverte la reprend au lieu d'ouvrir la
                        sienne ([color=A]aa[color=B]b[/color]aa[/color]), à
                        8 niveaux au plus ; le code HTML et la page gardent
                        alors une balise par plage, et en écrivent parfois
                        plus qu'avec --merge seul (les autres forums, une
                        balise par plage, jamais plus qu'avec --merge seul) ;
                        sans cette option, --merge écrit exactement ce qu'il
                        écrivait
  --fit LIMITE          la plus grande grille aux proportions de l'image dont le
                        code (celui de --blog-code, sinon celui de --html-code)
                        tient en LIMITE caractères, fusion comprise ; la grille
                        choisie est affichée ; --fit post prend la limite d'un
                        message du forum de --dialect (en octets pour mybb)
  --split               si le code de --blog-code dépasse la limite d'un message
                        du forum, l'écrit aussi en messages FICHIER.1,
                        FICHIER.2... coupés entre deux lignes, chacun avec ses
                        balises de style ouvertes et refermées
                        (limites : phpbb 60000, vbulletin 10000, smf 20000,
                        xenforo 25000, discourse 32000 caractères ; mybb 65535
                        octets)
  --palette N|FICHIER   les couleurs des cellules ramenées, avant d'être écrites,
                        à N couleurs (2 à 256) choisies parmi celles de l'image
                        (toujours les mêmes pour la même image), ou à celles
                        d'une palette GIMP (.gpl) ; --palette ./16 pour un
                        fichier nommé 16
  --dither MODE         avec --palette, répartit l'écart : ordered (trame
                        ordonnée 4 × 4) ou diffusion (Floyd-Steinberg) ; sans
                        tramage par défaut
  --stats               sur la sortie d'erreur : la grille, les octets par
                        cellule de chaque code, les couleurs employées, l'écart
                        CIEDE2000 moyen et au 95e centile des couleurs écrites
                        aux couleurs de l'image

Plusieurs images :
  --output-dir DOSSIER  convertit chaque image dans DOSSIER (qui doit exister) ;
                        les sorties portent le nom du fichier de l'image, son
                        extension comprise : NOM.html (page), NOM.html-code.txt,
                        NOM.blog-code.txt (et ses messages NOM.blog-code.txt.1,
                        .2...) et, avec --png sans fichier, NOM.png ;
                        une image de même nom venue d'un autre dossier reçoit
                        -2, -3... avant son extension (photo-2.jpg.html), et la
                        même image donnée deux fois n'est convertie qu'une fois
  --jobs N              N images à la fois (1 à 256, défaut : 1)
  Chaque image donne exactement les sorties d'un appel pour elle seule ; une
  image illisible est signalée et sautée.

Fichiers de sortie : « - » désigne la sortie standard, pour une seule sortie à
la fois, et chaque sortie a son propre fichier. Un lien est suivi et le fichier
qu'il désigne est remplacé, le lien reste ; un fichier remplacé garde ses
droits, et un fichier à plusieurs noms (liens physiques) est réécrit sur place
une fois la sortie complète ; un périphérique ou un tube est écrit tel quel.

Codes de sortie : 0 réussi, 2 réglages refusés, 3 image illisible,
4 fichier impossible à écrire, 5 mémoire insuffisante ; pour plusieurs images,
celui de la première image en échec.
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

std::string standardOutputTakenTwice(std::string_view first, std::string_view second)
{
    return joined({ "Une seule sortie à la fois peut aller sur la sortie standard (« - ») : ",
        first, " et ", second, " la demandent toutes deux." });
}

std::string fileTakenTwice(std::string_view path, std::string_view first, std::string_view second)
{
    return joined({ "Une seule sortie peut aller dans le fichier « ", path, " » : ", first, " et ",
        second, " le demandent tous deux." });
}

std::string cannotReadPicture(std::string_view path, std::string_view reason)
{
    return joined({ "Impossible de lire l'image « ", path, " » : ", reason });
}

std::string cannotWriteFile(std::string_view path, std::string_view reason)
{
    return joined({ "Impossible d'écrire le fichier « ", path, " » : ", reason, "." });
}

std::string outputIsThePicture(std::string_view path)
{
    return cannotWriteFile(path, "c'est l'image à convertir");
}

std::string cannotWriteStandardOutput(std::string_view reason)
{
    return joined({ "Impossible d'écrire la sortie standard : ", reason, "." });
}

} // namespace mosaiq::cli
