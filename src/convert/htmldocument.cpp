#include "convert/htmldocument.h"

namespace mosaiq {

namespace {

    std::string header(std::string_view start, std::string_view end, ColourValue background,
        const StyleFlags& style)
    {
        std::string line;
        line.reserve(256);
        line += start;
        line += DectoWebCol(background);
        line += end;
        if (style.bold)
            line += "<b>";
        if (style.italic)
            line += "<i>";
        if (style.centred)
            line += "<center>";
        return line;
    }

} // namespace

std::string headerLine(ColourValue background, const StyleFlags& style)
{
    return header(html::PageHeadStart, html::PageHeadEnd, background, style);
}

std::string shapesHeaderLine(ColourValue background, const StyleFlags& style)
{
    return header(html::ShapesHeadStart, html::ShapesHeadEnd, background, style);
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
