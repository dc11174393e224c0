#pragma once

#include <QString>

#include <string_view>

namespace mosaiq {

// code (UTF-8) as Qt text, for the clipboard and the selection.
QString codeToText(std::string_view code);

} // namespace mosaiq
