#pragma once

#include <string>

namespace mosaiq::web {

// The texts of the page in the browser that its script shows (the captions are in its HTML), as
// one JSON object: the name the script uses, then the French text, in UTF-8, with "\n" for a
// line break. "%1", "%2": what the script fills in.
std::string webWordsJson();

} // namespace mosaiq::web
