// A run's options as mosaiq-cli and the page in the browser give them: one reading, one set of
// refusals, one preparation of the run.
#include "run/preparedrun.h"
#include "run/runoptions.h"

#include "convert/numbertext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace mosaiq;
namespace fs = std::filesystem;

namespace {

using Given = std::vector<std::pair<std::string, std::optional<std::string>>>;

// Reads the options in order as mosaiq-cli does; the first refusal, or empty.
std::string refusalOf(const Given& given, RunOptions& options)
{
    for (const auto& [name, value] : given) {
        if (std::string refusal = readRunOption(options, name, value); !refusal.empty())
            return refusal;
    }
    std::string refusal = completeRunOptions(options);
    if (refusal.empty())
        refusal = runOptionsRefusal(options);
    if (refusal.empty())
        refusal = splitRefusal(options);
    return refusal;
}

std::string refusalOf(const Given& given)
{
    RunOptions options;
    return refusalOf(given, options);
}

std::string placeOf(const char* name)
{
    return (fs::path(testing::TempDir()) / name).string();
}

} // namespace

TEST(RunOptions, eachRefusalNamesWhatToWriteInstead)
{
    std::ofstream(placeOf("plain")) << "x";
    std::ofstream(placeOf("empty.gpl")) << "";
    std::ofstream(placeOf("range.gpl")) << "GIMP Palette\n0 300 0 vert\n";
    const std::string tolerance = "Tolérance invalide : « %s » (attendu : un nombre de 0 à 100).";
    const auto count = [](const char* text) {
        return "Nombre de couleurs invalide : « " + std::string(text)
            + " » (attendu : de 2 à 256, ou le fichier d'une palette GIMP).";
    };
    struct Case {
        Given given;
        std::string refusal; // empty: taken
    };
    const Case cases[] = {
        { { { "--colours", "purple" } },
            "Couleurs inconnues : « purple » (original, red, green, blue ou grey)." },
        { { { "--background", "#12345" } },
            "Couleur de fond invalide : « #12345 » (attendu : #RRVVBB)." },
        { { { "--fond", "#GG0000" } },
            "Couleur de fond invalide : « #GG0000 » (attendu : #RRVVBB)." },
        { { { "--random", {} }, { "--chars", "x" } },
            "--random et --chars s'excluent : choisissez l'un des deux." },
        { { { "--chars", "o" }, { "--hasard", {} } },
            "--random et --chars s'excluent : choisissez l'un des deux." },
        { { { "--merge", "abc" } },
            "Tolérance invalide : « abc » (attendu : un nombre de 0 à 100)." },
        { { { "--merge", "100.5" } },
            "Tolérance invalide : « 100.5 » (attendu : un nombre de 0 à 100)." },
        { { { "--fusion", "-1" } },
            "Tolérance invalide : « -1 » (attendu : un nombre de 0 à 100)." },
        { { { "--merge", "" } }, "Tolérance invalide : «  » (attendu : un nombre de 0 à 100)." },
        { { { "--merge", {} }, { "--merge", "100" }, { "--merge", "2,5" } }, "" },
        { { { "--dialect", "ipb" } },
            "Dialecte inconnu : « ipb » (blog, phpbb, vbulletin, smf, xenforo, mybb, discourse, "
            "discord, irc, ansi)." },
        { { { "--fit", "0" } },
            "Limite invalide : « 0 » (attendu : un nombre entier de caractères, 1 ou plus)." },
        { { { "--fit", "100" }, { "--columns", "3" } },
            "--fit choisit lui-même la grille : retirez --columns et --rows." },
        { { { "--fit", "post" } },
            "--fit post prend la limite d'un message du forum, et « blog » (le code pour blog) "
            "n'en a pas : donnez une limite en nombre (--fit 60000) ou choisissez un forum avec "
            "--dialect." },
        { { { "--dialect", "irc" }, { "--ajuster", "message" } },
            "--fit post mesure un message entier, et irc envoie un message par ligne : choisissez "
            "la largeur avec --columns (une ligne trop longue est signalée)." },
        { { { "--best-runs", {} } },
            "--best-runs choisit les plages de --merge : indiquez aussi --merge[=TOLÉRANCE]." },
        { { { "--merge", "3" }, { "--meilleures-plages", {} } }, "" },
        { { { "--split", {} } },
            "--split partage le code selon la limite d'un forum, et « blog » n'en a pas : "
            "choisissez un forum avec --dialect." },
        { { { "--dialect", "discord" }, { "--chars", "a`" } },
            "Le caractère « ` » fermerait le bloc de code de Discord : retirez-le de --chars." },
        { { { "--dialect", "irc" }, { "--chars", "a\x03" } },
            "--chars contient un caractère de contrôle, que irc lirait comme un code et non comme "
            "un caractère : retirez-le." },
        { { { "--dialect", "irc" }, { "--random", {} } }, "" },
        { { { "--palette", "1" } }, count("1") },
        { { { "--palette", "0" } }, count("0") },
        { { { "--palette", "300" } }, count("300") },
        { { { "--palette", placeOf("missing.gpl") } },
            "Impossible de lire la palette « " + placeOf("missing.gpl")
                + " » : fichier introuvable ou illisible." },
        { { { "--palette", placeOf("plain") } },
            "« " + placeOf("plain")
                + " » n'est pas une palette GIMP (.gpl) : ligne 1 illisible (attendu : « GIMP "
                  "Palette » en tête, puis une couleur « R V B » par ligne)." },
        { { { "--palette", placeOf("empty.gpl") } },
            "La palette « " + placeOf("empty.gpl") + " » ne contient aucune couleur." },
        { { { "--palette", placeOf("range.gpl") } },
            "Couleur hors limites dans la palette « " + placeOf("range.gpl")
                + " », ligne 2 : chaque composante va de 0 à 255." },
        { { { "--dither", "ordered" } },
            "--dither répartit les couleurs d'une palette : indiquez aussi --palette N ou "
            "--palette FICHIER." },
        { { { "--tramage", "bruit" } }, "Tramage inconnu : « bruit » (ordered ou diffusion)." },
        { { { "--palette", "16" }, { "--dither", "ordonné" } }, "" },
        { { { "--shapes", "emoji" } },
            "Jeu de formes inconnu : « emoji » (ascii, blocks, braille ou all)." },
        { { { "--formes", "blocs" }, { "--carre", {} } },
            "--square et --shapes s'excluent : --shapes donne déjà à chaque case un fond et une "
            "encre, et choisit son caractère." },
        { { { "--shapes", "all" }, { "--merge", "4" }, { "--best-runs", {} } }, "" },
        { { { "--shapes", "ascii" }, { "--palette", "16" } },
            "--palette et --dither ne s'appliquent pas encore aux deux couleurs des cases de "
            "--shapes : retirez l'un des deux." },
        { { { "--dialect", "discord" }, { "--shapes", "tout" } },
            "Les caractères de --shapes ascii (et all) comprennent « ` », qui fermerait le bloc "
            "de code de Discord : choisissez --shapes blocks ou braille." },
        { { { "--reader-background", "#EEEEEE" } },
            "--reader-background et --foreground-only servent aux cases de --shapes : indiquez "
            "aussi --shapes." },
        // Transparent cells cut the merged runs: the pair is a run like any other.
        { { { "--transparent", "background" }, { "--merge", "3" }, { "--best-runs", {} } }, "" },
        { { { "--shapes", "braille" }, { "--fond-lecteur", "#EEEEE" } },
            "Couleur de fond du lecteur invalide : « #EEEEE » (attendu : #RRVVBB)." },
        // The characters are the shapes' to choose: a note, not a refusal (PreparedRun below).
        { { { "--shapes", "braille" }, { "--dialect", "discord" }, { "--chars", "a`" },
              { "--encre-seule", {} } },
            "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(refusalOf(c.given), c.refusal) << c.given.front().first;
}

TEST(RunOptions, valuesReadInEitherLanguageAsTheWindowHoldsThem)
{
    RunOptions o;
    ASSERT_EQ(refusalOf({ { "--colonnes", "37,5" }, { "--rows", " 12" }, { "--fond", "#FF8000" },
                            { "--couleurs", "gris" }, { "--gras", {} }, { "--italic", {} },
                            { "--non-centre", {} }, { "--palette", "16" } },
                  o),
        "");
    EXPECT_EQ(*o.columns, "37.5");
    EXPECT_EQ(*o.rows, "12");
    EXPECT_EQ(o.background, makeColour(255, 128, 0));
    EXPECT_EQ(o.treatment, ColourTreatment::BlackAndWhite);
    EXPECT_TRUE(o.style.bold && o.style.italic && !o.style.centred);
    EXPECT_EQ(o.paletteCount, 16);
    EXPECT_EQ(refusalOf({ { "--background", "0000ff" } }, o), "");
    EXPECT_EQ(o.background, makeColour(0, 0, 255));

    // --fit post takes the forum's own limit, in its unit.
    RunOptions posts;
    EXPECT_EQ(refusalOf({ { "--dialecte", "phpbb" }, { "--ajuster", "post" } }, posts), "");
    EXPECT_EQ(posts.fitLimit, findDialect("phpbb")->postLimit);
    EXPECT_EQ(posts.fitUnit, findDialect("phpbb")->unit);

    // Square mode draws eights, as the window's interlock makes it.
    RunOptions square;
    EXPECT_EQ(refusalOf({ { "--chars", "xy" }, { "--carre", {} } }, square), "");
    EXPECT_EQ(square.characters, "8");
    EXPECT_EQ(square.glyphSource, GlyphSource::Defined);
    EXPECT_FALSE(runOptionValue("--page"));
}

namespace {

std::vector<std::uint32_t> greyRamp(int width, int height)
{
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | std::uint32_t(i % 256) * 0x010101u;
    return pixels;
}

} // namespace

// Without sizes the grid is the picture's; with one side, the other keeps the picture's
// proportions on the page, whose cells are about half as wide as high; a budget chooses both,
// and says so.
TEST(PreparedRun, theGridIsThePicturesOrKeepsItsProportionsOrABudgetChoosesIt)
{
    const std::vector<std::uint32_t> pixels = greyRamp(40, 30);
    const PictureFacts picture { "p.ppm", PixelBuffer { pixels.data(), 40, 30, 40 } };
    struct Sizes {
        std::optional<std::string> columns, rows;
        double wantColumns, wantRows;
    };
    // 20 columns of a 4:3 picture: 20 x 0.75 x 0.512 = 7.7 rows; 8 rows: 8 / 0.75 / 0.512 = 20.8.
    for (const Sizes& sizes : { Sizes { {}, {}, 40, 30 }, Sizes { "20", {}, 20, 8 },
             Sizes { {}, "8", 21, 8 }, Sizes { "2.5", "9", 2.5, 9 } }) {
        RunOptions options;
        options.columns = sizes.columns;
        options.rows = sizes.rows;
        const PreparedRun run = prepareRun(options, picture, RandomGlyphs());
        ASSERT_EQ(run.refusal, "");
        EXPECT_EQ(run.input.columns, sizes.wantColumns);
        EXPECT_EQ(run.input.rows, sizes.wantRows);
        EXPECT_EQ(run.start.rows, sizes.wantRows);
    }

    RunOptions options;
    options.fitLimit = 3000;
    PreparedRun run = prepareRun(options, picture, RandomGlyphs());
    ASSERT_EQ(run.refusal, "");
    EXPECT_EQ(run.message.rfind("Grille choisie : " + run.columns + " × " + run.rows, 0), 0u)
        << run.message;
    EXPECT_LT(numericValue(run.columns), 40);
    options.fitLimit = 3;
    run = prepareRun(options, picture, RandomGlyphs());
    EXPECT_NE(run.refusal, "");
    EXPECT_EQ(run.message, "");
}

// What the page's script hands over as numbers is held to what mosaiq-cli reads as text, and the
// start checks come in the window's order, the grid's size last.
TEST(PreparedRun, refusesWhatTheTextOfAnOptionCouldNotSay)
{
    const std::vector<std::uint32_t> pixels = greyRamp(4, 4);
    const PictureFacts picture { "p.ppm", PixelBuffer { pixels.data(), 4, 4, 4 } };
    RunOptions options;
    options.mergeTolerance = 150;
    EXPECT_EQ(prepareRun(options, picture, RandomGlyphs()).refusal,
        "Tolérance invalide : « 150 » (attendu : un nombre de 0 à 100).");
    options = RunOptions();
    options.fitLimit = 0;
    EXPECT_NE(prepareRun(options, picture, RandomGlyphs()).refusal, "");

    options = RunOptions();
    options.characters.clear();
    options.columns = "1e9";
    options.rows = "1e9";
    EXPECT_EQ(prepareRun(options, {}, RandomGlyphs()).refusal,
        prepareRun(RunOptions(), {}, RandomGlyphs()).refusal);
    const std::string noCharacters = prepareRun(options, picture, RandomGlyphs()).refusal;
    options.characters = "x";
    const std::string tooLarge = prepareRun(options, picture, RandomGlyphs()).refusal;
    EXPECT_NE(noCharacters, "");
    EXPECT_NE(tooLarge, "");
    EXPECT_NE(noCharacters, tooLarge);
    // Before the picture is read, a grid too large may still be the picture's own.
    EXPECT_EQ(checkBeforePicture(options, "p.ppm"), "");
}
