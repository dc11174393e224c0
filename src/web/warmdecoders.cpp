#include "web/warmdecoders.h"

#include "jpeg/plainjpeg.h"
#include "web/webpicture.h"

#include <cstdlib>

namespace mosaiq {

int warmDecoders(int times)
{
    int decoded = 0;
    for (const WarmPicture& picture : warmPictures()) {
        const WebPictureHead head = webPictureHead(picture.data, picture.size);
        if (head.reader != WebPictureHead::Reader::Module)
            continue;
        // malloc, not new: the module has no exceptions to say that memory was refused.
        auto* pixels = static_cast<std::uint32_t*>(
            std::malloc(std::size_t(head.width) * std::size_t(head.height) * 4));
        if (!pixels)
            continue;
        bool every = true;
        for (int i = 0; i < times; ++i) {
            every = decodeWebPicture(picture.data, picture.size, pixels) && every;
            // The second worker's way too: a band passed over, the next decoded.
            if (head.bands) {
                PlainJpegBands bands;
                every = bands.start(picture.data, picture.size, 1)
                    && bands.decodeTo(head.height / 2, head.height - 1, pixels) && every;
            }
        }
        std::free(pixels);
        decoded += every ? 1 : 0;
    }
    return decoded;
}

} // namespace mosaiq
