#pragma once

#include <span>
#include <string>

namespace mosaiq {

// An output's name beside the option that gives it ("--page").
struct NamedOutput {
    const char* option;
    const std::string* path; // empty: not written; "-": the standard output
};

// Why two of outputs would go to one file, in French; empty when each has its own. Each output
// is renamed into place when complete: two under one name would leave the last alone, the other
// lost without a word. With posts (the option that asks for them, "--split"), none may be one
// of the posts numbered after the output at postsBeside.
std::string sharedOutputFile(
    std::span<const NamedOutput> outputs, const char* posts, std::size_t postsBeside);

// The first of outputs that is the file at picture, or null: a picture is read whole before any
// output is committed, so an output under its name would silently put text art in its place.
const std::string* outputOverPicture(
    const std::string& picture, std::span<const NamedOutput> outputs);

// The French reason why nothing can be written into the folder dir (mosaiq-cli's --output-dir), or
// empty when files can be: it tries one.
std::string outputFolderProblem(const std::string& dir);

} // namespace mosaiq
