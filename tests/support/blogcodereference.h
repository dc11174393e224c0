#pragma once

#include <string>
#include <string_view>

namespace mosaiq {

// The blog code made the slow, literal way: twelve replacements, each over the whole text, one
// after the other. The program's one-pass translation is checked against it.
std::string HtmlToBlogCodeStepByStep(std::string_view html);

} // namespace mosaiq
