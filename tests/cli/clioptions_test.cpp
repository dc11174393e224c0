#include "cli/clioptions.h"

#include <gtest/gtest.h>

using namespace mosaiq;

TEST(CliOptions, defaultsAreTheWindowsAtStartUp)
{
    const CliParse parse = parseCliOptions({ "p.jpg" });
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.pictures, std::vector<std::string> { "p.jpg" });
    EXPECT_FALSE(parse.options.columns);
    EXPECT_EQ(parse.options.characters, "o");
    EXPECT_EQ(parse.options.glyphSource, GlyphSource::Defined);
    EXPECT_TRUE(parse.options.style.centred);
    EXPECT_FALSE(parse.options.style.bold);
    EXPECT_EQ(parse.options.background, 0);
}

TEST(CliOptions, readsValuesInBothSpellings)
{
    const CliParse parse = parseCliOptions(
        { "--columns=37,5", "--rows", " 12", "p.jpg", "--square", "--merge", "--fond=#FF8000" });
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(*parse.options.columns, "37.5");
    EXPECT_EQ(*parse.options.rows, "12");
    EXPECT_EQ(parse.options.background, makeColour(255, 128, 0));
    // Read to the end: square mode's "8", a bare --merge's tolerance.
    EXPECT_EQ(parse.options.characters, "8");
    EXPECT_EQ(parse.options.mergeTolerance, 0.0);
}

TEST(CliOptions, refusesWhatItDoesNotUnderstandInFrench)
{
    EXPECT_EQ(parseCliOptions({ "p.jpg", "--frobnicate" }).error,
        "Option inconnue : --frobnicate (voir --help).");
    EXPECT_EQ(
        parseCliOptions({ "p.jpg", "--columns" }).error, "L'option --columns attend une valeur.");
    EXPECT_EQ(parseCliOptions({}).error, "Aucune image indiquée (voir --help).");
    EXPECT_NE(parseCliOptions({ "a.jpg", "b.jpg" }).error, "");
    EXPECT_EQ(parseCliOptions({ "p.jpg", "--random", "--chars", "x" }).error,
        "--random et --chars s'excluent : choisissez l'un des deux.");
    EXPECT_EQ(parseCliOptions({ "p.jpg", "--merge", "--chars" }).error,
        "L'option --chars attend une valeur.");
    EXPECT_NE(parseCliOptions({ "p.jpg", "--bold=yes" }).error, "");
    EXPECT_EQ(parseCliOptions({ "--help" }).error, "");
}

TEST(CliOptions, pngTakesAFileAloneAndNoneInABatch)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string error; // empty: understood
    };
    const std::vector<Case> cases {
        { { "p.jpg", "--png", "p.png", "--scale", "2" }, "" },
        { { "a.jpg", "--png", "b.jpg", "--output-dir", "out" }, "" },
        { { "p.jpg", "--png" }, "L'option --png attend une valeur." },
        { { "p.jpg", "--png=p.png", "--output-dir", "out" },
            "Avec --output-dir, --png s'écrit sans fichier : chaque image reçoit NOM.png." },
        { { "p.jpg", "--scale", "2" },
            "--scale règle l'image de --png : indiquez aussi --png FICHIER." },
        { { "p.jpg", "--png", "p.png", "--scale", "0" }, "Échelle invalide : « 0 » (1 ou 2)." },
        { { "p.jpg", "--png", "p.png", "--scale=1.5" }, "Échelle invalide : « 1.5 » (1 ou 2)." },
        { { "p.jpg", "--png", "p.png", "--scale=" }, "Échelle invalide : «  » (1 ou 2)." },
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseCliOptions(c.arguments).error, c.error) << c.arguments.back();
    const CliOptions batch
        = parseCliOptions({ "a.jpg", "--png", "b.jpg", "--output-dir", "o" }).options;
    EXPECT_TRUE(batch.png);
    EXPECT_EQ(batch.pictures, (std::vector<std::string> { "a.jpg", "b.jpg" }));
    EXPECT_EQ(parseCliOptions({ "p.jpg", "--png", "p.png", "--scale", "2" }).options.scale, 2);
}

// Each refusal names what the user has to write instead.
TEST(CliOptions, refusalsNameTheOptionToWrite)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const std::string mergeApart = "La tolérance de --merge s'écrit attachée : --merge=10 "
                                   "(« --merge 10 » lirait « 10 » comme une image).";
    const std::vector<Case> cases {
        { { "p.jpg", "--merge", "10", "--blog-code", "c" }, mergeApart },
        { { "--merge", "10", "p.jpg", "--blog-code", "c" }, mergeApart },
        { { "--merge", "10", "a.jpg", "b.jpg", "--output-dir", "o" }, mergeApart },
        { { "p.jpg", "--split" },
            "--split partage le code écrit par --blog-code : indiquez aussi --blog-code "
            "FICHIER." },
        { { "p.jpg", "--split", "--dialect", "phpbb", "--blog-code", "-" },
            "--split écrit ses messages à côté du fichier de --blog-code : indiquez un fichier "
            "plutôt que « - »." },
        { { "a.jpg", "--png", "z.PNG", "--output-dir", "o" },
            "Avec --output-dir, --png s'écrit sans fichier : chaque image reçoit NOM.png. Retirez "
            "« z.PNG », ou placez-la avant --png si c'est une image à convertir." },
        { { "a.jpg", "--output-dir", "o", "--png", "-" },
            "Avec --output-dir, --png s'écrit sans fichier : chaque image reçoit NOM.png. Retirez "
            "« - », ou placez-la avant --png si c'est une image à convertir." },
        { { "p.jpg", "-o", "-", "--blog-code", "-" },
            "Une seule sortie à la fois peut aller sur la sortie standard (« - ») : --page et "
            "--blog-code la demandent toutes deux." },
        { { "p.jpg", "--html-code", "-", "--png", "-" },
            "Une seule sortie à la fois peut aller sur la sortie standard (« - ») : --html-code "
            "et --png la demandent toutes deux." },
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseCliOptions(c.arguments).error, c.error) << c.arguments[1];

    // The page gives the standard output up to a code that asks for it, and keeps it otherwise.
    EXPECT_EQ(parseCliOptions({ "p.jpg", "--html-code", "-" }).options.pagePath, "");
    EXPECT_EQ(parseCliOptions({ "p.jpg", "--html-code", "c" }).options.pagePath, "-");
    // A merge tolerance glued to its option, and a picture that merely follows it, stay legal.
    EXPECT_EQ(parseCliOptions({ "--merge=10", "p.jpg", "--blog-code", "c" }).error, "");
    EXPECT_EQ(parseCliOptions({ "--merge", "p.jpg", "--blog-code", "c" }).error, "");
}
