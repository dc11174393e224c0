#include "support/clirunner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace clitest;

namespace {

const std::string FourColours = (Data / "good" / "four-colours.bmp").string();
const std::string Gradient = (Data / "good" / "gradient.gif").string();

std::size_t characters(const std::string& text)
{
    std::size_t count = 0;
    for (char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// A picture of 200 x 100 pixels, no two neighbours alike, as a binary PPM.
void writeBusyPicture(const std::string& path)
{
    std::string ppm = "P6\n200 100\n255\n";
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ppm += { char(x * 37 + y * 11), char(x * 5 ^ y * 29), char(x * y * 3 + 1) };
    std::ofstream(path, std::ios::binary) << ppm;
}

// The columns and rows of "Grille choisie : C × R (...".
std::pair<int, int> chosenGrid(const std::string& said)
{
    int columns = 0, rows = 0;
    std::sscanf(said.c_str(), "Grille choisie : %d \xC3\x97 %d", &columns, &rows);
    return { columns, rows };
}

} // namespace

TEST_F(CliTest, fitsAPostOfTheForumWhereOneMoreColumnWouldNot)
{
    writeBusyPicture(file("busy.ppm"));
    const std::string busy = file("busy.ppm");
    struct Case {
        const char* dialect;
        std::vector<std::string> options;
        std::size_t limit;
        bool bytes;
    };
    for (const Case& c : { Case { "vbulletin", {}, 10'000, false },
             Case { "mybb", { "--square" }, 65'535, true } }) {
        std::vector<std::string> arguments { busy, "--dialect", c.dialect, "--blog-code",
            file("code").string(), "-o", "/dev/null" };
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        std::vector<std::string> fitted = arguments;
        fitted.insert(fitted.end(), { "--fit", "post" });
        const Outcome o = run(fitted);
        ASSERT_EQ(o.exit, 0) << o.err;
        const std::string code = readAll(file("code"));
        const std::size_t size = c.bytes ? code.size() : characters(code);
        EXPECT_LE(size, c.limit);
        EXPECT_NE(o.err.find(std::to_string(size) + (c.bytes ? " octets" : " caractères") + " sur "
                      + std::to_string(c.limit)),
            std::string::npos)
            << o.err;
        const auto [columns, rows] = chosenGrid(o.err);
        ASSERT_GT(columns, 1) << o.err;
        // One more column, the picture's proportions kept on the page: 2 to 1, and cells about
        // half as wide as high.
        const auto rowsOf
            = [](int c) { return std::max(1, int(std::floor(c * 0.5 * 0.5123 + 0.5))); };
        EXPECT_EQ(rows, rowsOf(columns));
        arguments.insert(arguments.end(),
            { "--columns", std::to_string(columns + 1), "--rows",
                std::to_string(rowsOf(columns + 1)) });
        ASSERT_EQ(run(arguments).exit, 0);
        const std::string wider = readAll(file("code"));
        EXPECT_GT(c.bytes ? wider.size() : characters(wider), c.limit) << c.dialect;
    }
}

TEST_F(CliTest, chatCodesHoldTheirPlatformsLimits)
{
    writeBusyPicture(file("busy.ppm"));
    // Discord: every message within 2,000 characters, fenced.
    Outcome o = run({ file("busy.ppm"), "--dialect", "discord", "--columns", "100", "--rows", "40",
        "--split", "--blog-code", file("code").string(), "-o", "/dev/null" });
    ASSERT_EQ(o.exit, 0) << o.err;
    ASSERT_TRUE(fs::exists(file("code.2")));
    for (int part = 1; fs::exists(file("code." + std::to_string(part))); ++part) {
        const std::string message = readAll(file("code." + std::to_string(part)));
        EXPECT_LE(characters(message), 2000u);
        EXPECT_TRUE(message.starts_with("```ansi\n") && message.ends_with("```\n"));
    }
    // IRC: a row over 510 bytes is refused, with the columns that fit.
    o = run({ file("busy.ppm"), "--dialect", "irc", "--columns", "200", "--rows", "3",
        "--blog-code", file("irc").string(), "-o", "/dev/null" });
    EXPECT_EQ(o.exit, 2);
    EXPECT_EQ(o.err.rfind("La ligne 1 dépasse à elle seule la limite de 510 octets d'un message "
                          "irc : la plus grande grille qui tient a ",
                  0),
        0u)
        << o.err;
    EXPECT_FALSE(fs::exists(file("irc")));
}

TEST_F(CliTest, statsTellTheGridTheBytesAndTheFidelity)
{
    Outcome o = run({ FourColours, "--stats", "-o", "/dev/null" });
    ASSERT_EQ(o.exit, 0) << o.err;
    EXPECT_EQ(
        o.err.rfind("Statistiques : grille 2 × 2 (4 cellules).\nOctets par cellule : page ", 0), 0u)
        << o.err;
    EXPECT_NE(o.err.find("Couleurs employées : 4.\n"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(": moyen 0,00, 95 % des cellules à 0,00 ou moins."), std::string::npos);

    // Everything in one run a row: fewer colours, further from the picture.
    o = run({ FourColours, "--stats", "--merge=100", "--dialect", "phpbb", "--blog-code",
        file("code").string(), "-o", "/dev/null" });
    ASSERT_EQ(o.exit, 0) << o.err;
    EXPECT_NE(o.err.find("Couleurs employées : 2.\n"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(" ; code pour blog (phpbb) "), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find(": moyen 0,00"), std::string::npos) << o.err;
}

TEST_F(CliTest, batchGivesEachPictureTheOutputsOfASingleCall)
{
    fs::create_directory(file("outputs"));
    // Random glyphs: each job draws from a generator of its own, as a single call does.
    const std::vector<std::string> options { "--random", "--dialect", "smf", "--columns", "500",
        "--rows", "3", "--split" };
    std::vector<std::string> batch { Gradient, (Data / "bad" / "text.jpg").string(), FourColours,
        "--output-dir", file("outputs").string(), "--jobs", "2" };
    batch.insert(batch.end(), options.begin(), options.end());
    const Outcome all = run(batch);
    EXPECT_EQ(all.exit, 3) << "the first failure's code";
    EXPECT_NE(all.err.find("text.jpg : Impossible de lire l'image"), std::string::npos) << all.err;
    EXPECT_NE(all.err.find("3 images : 2 converties, 1 en échec."), std::string::npos) << all.err;

    for (const std::string& picture : { Gradient, FourColours }) {
        const std::string name = fs::path(picture).filename().string();
        std::vector<std::string> single { picture, "-o", file("single.html").string(),
            "--html-code", file("single.code").string(), "--blog-code",
            file("single.blog").string() };
        single.insert(single.end(), options.begin(), options.end());
        const Outcome one = run(single);
        ASSERT_EQ(one.exit, 0) << one.err;
        const fs::path base = file("outputs") / name;
        EXPECT_EQ(readAll(base.string() + ".html"), readAll(file("single.html")));
        EXPECT_EQ(readAll(base.string() + ".html-code.txt"), readAll(file("single.code")));
        EXPECT_EQ(readAll(base.string() + ".blog-code.txt"), readAll(file("single.blog")));
        for (int part = 1; fs::exists(file("single.blog." + std::to_string(part))); ++part)
            EXPECT_EQ(readAll(base.string() + ".blog-code.txt." + std::to_string(part)),
                readAll(file("single.blog." + std::to_string(part))));
    }
    EXPECT_TRUE(fs::exists(file("outputs") / "gradient.gif.blog-code.txt.2")) << "split in posts";
}

TEST_F(CliTest, batchNeverOverwritesOneOutputWithAnother)
{
    fs::create_directories(file("a"));
    fs::create_directories(file("b"));
    fs::create_directories(file("outputs"));
    fs::copy_file(FourColours, file("a/p.bmp"));
    fs::copy_file(Gradient, file("b/p.bmp"));
    const Outcome o = run({ file("a/p.bmp").string(), file("b/p.bmp").string(),
        file("a/../a/p.bmp").string(), "--output-dir", file("outputs").string() });
    EXPECT_EQ(o.exit, 0) << o.err;
    EXPECT_NE(o.err.find("convertie une seule fois"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("3 images : 2 converties, 0 en échec, 1 en double."), std::string::npos);
    EXPECT_EQ(readAll(file("outputs/p.bmp.html")).size(), 111u + 2 + 2 * (2 * 30 + 6) + 25 + 8 + 11)
        << "the first p.bmp, 2 x 2";
    EXPECT_NE(readAll(file("outputs/p-2.bmp.html")), readAll(file("outputs/p.bmp.html")));
    EXPECT_EQ(std::distance(fs::directory_iterator(file("outputs")), fs::directory_iterator()), 6);
}

TEST_F(CliTest, fitsTheCodeToABudgetAndSaysWhichGrid)
{
    Outcome o = run({ Gradient, "--fit", "1000", "--dialect", "phpbb", "--merge", "--blog-code",
        file("code").string(), "-o", file("page").string() });
    ASSERT_EQ(o.exit, 0) << o.err;
    const std::size_t size = characters(readAll(file("code")));
    EXPECT_LE(size, 1000u);
    EXPECT_NE(o.err.find(" (" + std::to_string(size) + " caractères sur 1000)."), std::string::npos)
        << o.err;
    EXPECT_EQ(o.err.rfind("Grille choisie : ", 0), 0u) << o.err;

    o = run({ Gradient, "--fit", "20", "--html-code", file("code").string(), "-o", "/dev/null" });
    EXPECT_EQ(o.exit, 2);
    EXPECT_EQ(o.err.rfind("La limite de 20 caractères est trop petite : même la plus petite "
                          "grille, 1 × 1, en demande ",
                  0),
        0u)
        << o.err;
}

TEST_F(CliTest, splitsIntoPostsOnlyWhenEachRowFitsOne)
{
    Outcome o = run({ Gradient, "--dialect", "vbulletin", "--split", "--columns", "300", "--rows",
        "4", "--blog-code", file("code").string(), "-o", file("page").string() });
    ASSERT_EQ(o.exit, 0) << o.err;
    std::string joined;
    for (int part = 1; part <= 4; ++part) {
        const std::string text = readAll(file("code." + std::to_string(part)));
        EXPECT_LE(characters(text), 10'000u);
        EXPECT_TRUE(text.starts_with("[center]") && text.ends_with("[/center]"));
        joined += text.substr(8, text.size() - 17);
    }
    EXPECT_FALSE(fs::exists(file("code.5")));
    EXPECT_EQ("[center]" + joined + "[/center]", readAll(file("code")));

    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    o = run({ Gradient, "--dialect", "vbulletin", "--split", "--columns", "500", "--blog-code",
        file("code").string(), "-o", file("page").string() });
    EXPECT_EQ(o.exit, 2);
    EXPECT_EQ(o.err,
        "La ligne 1 dépasse à elle seule la limite de 10000 caractères d'un message vbulletin : la "
        "plus grande grille qui tient a 415 colonnes (--columns 415).\n");
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(CliTest, refusesBadForumAndBatchOptionsInFrench)
{
    fs::create_directories(file("outputs"));
    std::ofstream(file("plain")) << "x";
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
        int exit = 2;
    };
    const Case cases[] = {
        // The run's options have their refusals of their own reading: mosaiq-cli says them.
        { { "--merge=abc" }, "Tolérance invalide : « abc » (attendu : un nombre de 0 à 100).\n" },
        { { "--fit", "100" },
            "--fit mesure un code : indiquez --blog-code FICHIER ou --html-code FICHIER.\n" },
        { { "--dialect", "mybb" },
            "--dialect choisit le code écrit par --blog-code : indiquez aussi --blog-code "
            "FICHIER.\n" },
        { { Gradient },
            "Une seule image à la fois : « " + Gradient
                + " » est de trop (pour plusieurs images, indiquez --output-dir DOSSIER).\n" },
        { { "--jobs", "0", "--output-dir", "d" },
            "Nombre de tâches invalide : « 0 » (attendu : 1 à 256).\n" },
        { { "--output-dir", "d", "-o", "p" },
            "Avec --output-dir, les sorties prennent le nom des images : retirez --page, "
            "--html-code et --blog-code.\n" },
        { { "--output-dir", file("missing").string() },
            "Le dossier de sortie « " + file("missing").string() + " » n'existe pas.\n", 4 },
        { { "--output-dir", file("plain").string() },
            "« " + file("plain").string() + " » n'est pas un dossier.\n", 4 },
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments { FourColours };
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Outcome o = run(arguments);
        EXPECT_EQ(o.exit, c.exit) << c.message;
        EXPECT_EQ(o.err, c.message);
    }
    EXPECT_TRUE(fs::is_empty(file("outputs")));
}

TEST_F(CliTest, helpDescribesEveryForumDialectAndOption)
{
    const Outcome o = run({ "--help" });
    for (const char* word : { "  --dialect NOM ", "  --merge[=TOLÉRANCE] ", "  --best-runs ",
             "  --fit LIMITE ", "--fit post", "  --stats ", "  --split ", "  --output-dir DOSSIER ",
             "  --jobs N ", "phpbb", "vbulletin", "smf", "xenforo", "mybb", "discourse" })
        EXPECT_NE(o.out.find(word), std::string::npos) << word;
}
