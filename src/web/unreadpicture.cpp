#include "web/unreadpicture.h"

#include "wording/picturewords.h"
#include "wording/webwords.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace mosaiq::web {

namespace {

    bool isTiff(const unsigned char* head, std::size_t size)
    {
        return size >= 4
            && (std::memcmp(head, "II*\0", 4) == 0 || std::memcmp(head, "MM\0*", 4) == 0);
    }

    // An ISO file whose brands name HEVC pictures: the brands of its "ftyp" box, the major one
    // at 8, the compatible ones from 16. AVIF is left out: browsers read it, and one that failed
    // is not the format's fault.
    bool isHeif(const unsigned char* head, std::size_t size)
    {
        if (size < 16 || std::memcmp(head + 4, "ftyp", 4) != 0)
            return false;
        const std::size_t box = std::size_t(head[0]) << 24 | std::size_t(head[1]) << 16
            | std::size_t(head[2]) << 8 | head[3];
        static constexpr std::array<const char*, 6> Hevc { "heic", "heix", "heim", "heis", "hevc",
            "hevx" };
        auto hevc = [&](std::size_t at) {
            return std::any_of(Hevc.begin(), Hevc.end(),
                [&](const char* brand) { return std::memcmp(head + at, brand, 4) == 0; });
        };
        if (hevc(8))
            return true;
        for (std::size_t at = 16; at + 4 <= std::min(box, size); at += 4) {
            if (hevc(at))
                return true;
        }
        return false;
    }

    // A format every browser reads: one that it could not read is damaged, as mosaiq-cli says.
    bool isCommon(const unsigned char* head, std::size_t size)
    {
        auto starts = [&](const char* magic, std::size_t length) {
            return size >= length && std::memcmp(head, magic, length) == 0;
        };
        return starts("\xFF\xD8\xFF", 3) || starts("\x89PNG\r\n\x1A\n", 8) || starts("GIF8", 4)
            || starts("BM", 2);
    }

} // namespace

const char* unreadPictureWords(const unsigned char* head, std::size_t size)
{
    if (isHeif(head, size))
        return HeifUnread;
    if (isTiff(head, size))
        return TiffUnread;
    if (isCommon(head, size))
        return pictureErrorWords(PictureError::Damaged);
    return pictureErrorWords(PictureError::NotAPicture);
}

} // namespace mosaiq::web
