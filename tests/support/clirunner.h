#pragma once

// Runs mosaiq-cli as a user's shell would, in a folder of its own: the fixture of the
// command-line tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace clitest {

const fs::path Data = MOSAIQ_TEST_DATA;

inline std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

struct Outcome {
    int exit = -1;
    std::string out, err;
};

// Runs mosaiq-cli with arguments, as a user's shell would.
class CliTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("mosaiq-cli-test-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // prefix runs in the same shell first (a resource limit, say).
    Outcome run(const std::vector<std::string>& arguments, const std::string& redirect = "",
        const std::string& prefix = "")
    {
        std::string command = prefix + quoted(MOSAIQ_CLI);
        // Appended piece by piece: GCC 12 warns wrongly about a literal prefixed to a temporary.
        for (const auto& a : arguments)
            command.append(" ").append(quoted(a));
        command.append(" >").append(quoted((m_dir / "out").string()));
        command.append(" 2>").append(quoted((m_dir / "err").string()));
        command += redirect;
        const int status = std::system(command.c_str());
        return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, readAll(m_dir / "out"),
            readAll(m_dir / "err") };
    }

    fs::path file(const std::string& name) const { return m_dir / name; }

    // Nothing but the files the test expects: no temporary leftovers either.
    std::vector<std::string> leftovers() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            const std::string name = entry.path().filename().string();
            if (name != "out" && name != "err")
                names.push_back(name);
        }
        return names;
    }

    fs::path m_dir;
};

} // namespace clitest
