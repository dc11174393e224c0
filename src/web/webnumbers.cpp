#include "web/webnumbers.h"

#include "convert/htmldocument.h"
#include "output/codes/blogcode.h"
#include "output/preview/previewchoice.h"
#include "output/preview/previewzoom.h"
#include "web/bandrows.h"
#include "web/bridgesettings.h"
#include "web/chunkstream.h"

#include <sstream>

namespace mosaiq {

std::string webNumbersJson()
{
    // A letter cell with a one-byte glyph, as the page and the HTML code write it; the blog
    // code's is its translation.
    const std::string cell = std::string(html::LetterOpen) + "#000000"
        + std::string(html::AttributeEnd) + "o" + std::string(html::FontClose);
    std::ostringstream json;
    json << "{\"slabBytes\": " << ChunkStream::RoomBytes << ", \"cellBytes\": [" << cell.size()
         << ", " << cell.size() << ", " << HtmlToBlogCode(cell).size() << "], \"channels\": "
         << "{\"page\": " << int(WebChannel::Page) << ", \"html\": " << int(WebChannel::HtmlCode)
         << ", \"blog\": " << int(WebChannel::BlogCode) << ", \"post\": " << int(WebChannel::Post)
         << ", \"cells\": " << int(WebChannel::Cells) << "}, \"sharedToCells\": " << SharedToCells
         << ", \"firstBandShare\": " << FirstBandShare << ", \"pixelLimit\": " << WebPixelLimit
         << ", \"frameCells\": {\"letter\": " << WebLetterCells
         << ", \"square\": " << WebSquareCells << "}, \"preview\": "
         << "{\"cellWidth\": " << DrawnCellWidth << ", \"cellHeight\": " << DrawnCellHeight
         << ", \"zoomSteps\": [";
    for (std::size_t i = 0; i < ZoomSteps.size(); ++i)
        json << (i > 0 ? ", " : "") << ZoomSteps[i];
    json << "]}, \"settings\": " << bridgeSettingsLayout() << '}';
    return json.str();
}

} // namespace mosaiq
