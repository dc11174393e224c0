#include "support/clirunner.h"

#include <QCryptographicHash>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

using namespace clitest;

namespace {

const std::string Gradient = (Data / "good" / "gradient.gif").string();

std::string sha256(const std::string& bytes)
{
    return QCryptographicHash::hash(
        QByteArrayView(bytes.data(), qsizetype(bytes.size())), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> result;
    for (std::string word; in >> word;)
        result.push_back(word);
    return result;
}

} // namespace

// The digests were taken from the codes as mosaiq-cli wrote them when it held them whole in
// memory (tests/data/make/make-code-digests.sh): every kind of option and dialect, merged runs,
// budgets and posts, the refusal of a row too long for a post included.
TEST_F(CliTest, streamedCodesAreTheBytesOfTheWholeCodes)
{
    std::map<std::string, std::vector<std::string>> expected;
    std::ifstream digests(Data / "good" / "codes" / "digests.txt");
    for (std::string line; std::getline(digests, line);)
        expected[line.substr(0, line.find(' '))].push_back(line);
    std::ifstream cases(Data / "good" / "codes" / "cases.txt");
    int ran = 0;
    for (std::string line; std::getline(cases, line);) {
        std::vector<std::string> arguments = words(line);
        if (arguments.empty() || arguments[0].starts_with('#'))
            continue;
        const std::string name = arguments[0];
        arguments.erase(arguments.begin());
        for (std::string& a : arguments) {
            if (a == "GRADIENT")
                a = Gradient;
            else if (a == "FOUR")
                a = (Data / "good" / "four-colours.bmp").string();
        }
        arguments.insert(
            arguments.end(), { "-o", "p.html", "--html-code", "h.txt", "--blog-code", "b.txt" });
        const fs::path dir = file(name);
        fs::create_directory(dir);
        const Outcome o = run(arguments, "", "cd " + quoted(dir.string()) + " && ");
        std::map<std::string, std::string> files { { "out", o.out }, { "err", o.err } };
        for (const auto& entry : fs::directory_iterator(dir))
            files[entry.path().filename().string()] = readAll(entry.path());
        std::vector<std::string> found;
        for (const auto& [fileName, bytes] : files)
            found.push_back(name + " " + fileName + " " + sha256(bytes));
        EXPECT_EQ(found, expected[name]) << line << "\n" << o.err;
        ++ran;
    }
    EXPECT_EQ(ran, int(expected.size()));
}

TEST_F(CliTest, fullDiskHalfwayLeavesTheEarlierOutputsAsTheyWere)
{
    const std::vector<std::string> names { "b.txt", "h.txt", "p.html" };
    for (const bool split : { false, true }) {
        for (const std::string& name : names)
            std::ofstream(file(name)) << "ancien";
        // With posts, rows short enough for one: many posts are written before the disk fills.
        std::vector<std::string> arguments { Gradient, "--square", "--columns",
            split ? "300" : "2000", "--rows", split ? "2000" : "300", "-o", file("p.html").string(),
            "--html-code", file("h.txt").string(), "--blog-code", file("b.txt").string() };
        if (split)
            arguments.insert(arguments.end(), { "--dialect", "vbulletin", "--split" });
        // A file size limit fails a write the way a full disk does, a few megabytes in.
        const Outcome o = run(arguments, "", "trap '' XFSZ; ulimit -f 8192; ");
        EXPECT_EQ(o.exit, 4) << o.err;
        EXPECT_EQ(o.err.rfind("Impossible d'écrire le fichier « " + m_dir.string(), 0), 0u)
            << o.err;
        auto left = leftovers();
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, names) << "no temporary file, no part of a post";
        for (const std::string& name : names)
            EXPECT_EQ(readAll(file(name)), "ancien") << name;
    }
}

TEST_F(CliTest, stoppedRunLeavesNoTemporaryFile)
{
    // Stopped once its temporary files exist; the signal ends it as it would any program.
    const std::string command = "cd " + quoted(m_dir.string()) + " && { " + quoted(MOSAIQ_CLI) + " "
        + quoted(Gradient)
        + " --square --columns 4000 --rows 4000 -o p.html --html-code h.txt >/dev/null & pid=$!;"
          " for i in $(seq 1000); do ls | grep -q '^h\\.txt\\.' && break; sleep 0.01; done;"
          " kill -TERM $pid; wait $pid; echo $? >status; }";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readAll(file("status")), "143\n");
    EXPECT_EQ(leftovers(), std::vector<std::string> { "status" });
}
