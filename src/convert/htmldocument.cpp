#include "convert/htmldocument.h"

namespace mosaiq {

std::string headerLine(ColourValue background, const StyleFlags& style)
{
    std::string line;
    line.reserve(128);
    line += html::PageHeadStart;
    line += DectoWebCol(background);
    line += html::PageHeadEnd;
    if (style.bold)
        line += "<b>";
    if (style.italic)
        line += "<i>";
    if (style.centred)
        line += "<center>";
    return line;
}

std::string trailerLine(const StyleFlags& style)
{
    std::string line;
    if (style.bold)
        line += "</b>";
    if (style.italic)
        line += "</i>";
    if (style.centred)
        line += "</center>";
    line += html::PageTail;
    return line;
}

} // namespace mosaiq
