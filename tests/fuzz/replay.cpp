// Runs a fuzz target over files, as libFuzzer does when handed files, so that the inputs it
// keeps are tests of every build: the release build and the sanitized one, under any compiler.
// Each argument is a file or a folder whose files (not its subfolders') are read. An input that
// makes the target fail stops the run with its path printed just before; a run that found no
// input fails too, since it checked nothing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Only the targets that set something up once define it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

namespace {

bool replay(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes { std::istreambuf_iterator<char>(in), {} };
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "Cannot read %s\n", file.c_str());
        return false;
    }
    // Said before the run: a crash leaves this as the last line.
    std::fprintf(stderr, "Running: %s\n", file.c_str());
    // A copy of exactly the input's size, so that a read past its end is seen.
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(data.data(), data.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path argument = argv[i];
        std::error_code error;
        if (fs::is_directory(argument, error)) {
            for (const auto& entry : fs::directory_iterator(argument))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else if (fs::exists(argument, error)) {
            files.push_back(argument);
        }
        // A folder that does not exist holds no input yet: the kept inputs' folder appears with
        // the target's first finding.
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "No input to replay\n");
        return 1;
    }
    for (const auto& file : files)
        if (!replay(file))
            return 1;
    std::fprintf(stderr, "%zu inputs replayed\n", files.size());
    return 0;
}
