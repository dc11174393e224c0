#include "web/webnumbers.h"

#include "convert/htmldocument.h"
#include "output/codes/blogcode.h"
#include "output/preview/previewchoice.h"
#include "output/preview/previewzoom.h"
#include "run/runoptions.h"
#include "web/bandrows.h"
#include "web/bridgesettings.h"
#include "web/chunkstream.h"

#include <cstdio>

namespace mosaiq {

std::string webNumbersJson()
{
    // A letter cell with a one-byte glyph, as the page and the HTML code write it; the blog
    // code's is its translation.
    std::string cell(html::LetterOpen);
    cell += "#000000";
    cell += html::AttributeEnd;
    cell += 'o';
    cell += html::FontClose;
    // One formatted text rather than a stream or a chain of appends: either weighs on the
    // module more than all its other texts.
    char text[1024];
    int length = std::snprintf(text, sizeof text,
        "{\"slabBytes\": %zu, \"cellBytes\": [%zu, %zu, %zu], \"channels\": {\"page\": %d, "
        "\"html\": %d, \"blog\": %d, \"post\": %d, \"cells\": %d}, \"sharedToCells\": %.15g, "
        "\"firstBandShare\": %.15g, \"firstApartShare\": %.15g, \"pixelLimit\": %.15g, "
        "\"idleGrowth\": %.15g, "
        "\"frameCells\": {\"letter\": %lld, \"square\": %lld}, \"preview\": {\"cellWidth\": "
        "%.15g, \"cellHeight\": %.15g, "
        "\"shapes\": {\"cellWidth\": %.15g, \"cellHeight\": %.15g, \"baseline\": %.15g}, "
        "\"zoomSteps\": [",
        ChunkStream::RoomBytes, cell.size(), cell.size(), HtmlToBlogCode(cell).size(),
        int(WebChannel::Page), int(WebChannel::HtmlCode), int(WebChannel::BlogCode),
        int(WebChannel::Post), int(WebChannel::Cells), SharedToCells, FirstBandShare,
        FirstApartShare, WebPixelLimit, WebIdleGrowth, static_cast<long long>(WebLetterCells),
        static_cast<long long>(WebSquareCells), DrawnCellWidth, DrawnCellHeight,
        DrawnShapeCellWidth, DrawnShapeCellHeight, DrawnShapeBaseline);
    for (const double step : ZoomSteps) {
        length += std::snprintf(text + length, sizeof text - std::size_t(length), "%s%.15g",
            step == ZoomSteps.front() ? "" : ", ", step);
    }
    // The shapes' sets by the names mosaiq-cli's --shapes takes, and the forum page that the
    // reader's background stands for until the user picks another.
    length += std::snprintf(text + length, sizeof text - std::size_t(length),
        "]}, \"shapes\": {\"ascii\": %d, \"blocks\": %d, \"braille\": %d, \"all\": %d}, "
        "\"readerBackground\": \"%s\"",
        int(ShapeSet::Ascii), int(ShapeSet::Blocks), int(ShapeSet::Braille), int(ShapeSet::All),
        DectoWebCol(RunOptions {}.readerBackground).c_str());
    return std::string(text, std::size_t(length)) + ", \"settings\": " + bridgeSettingsLayout()
        + '}';
}

} // namespace mosaiq
