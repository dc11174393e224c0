#include "image/heifdemand.h"

#include "image/bytereader.h"
#include "image/codedsides.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace mosaiq {

namespace {

    constexpr std::uint32_t fourCc(const char (&name)[5])
    {
        return std::uint32_t(std::uint8_t(name[0])) << 24
            | std::uint32_t(std::uint8_t(name[1])) << 16 | std::uint32_t(std::uint8_t(name[2])) << 8
            | std::uint32_t(std::uint8_t(name[3]));
    }

    // No picture is made of images nested deeper; a chain this long is a file built to be slow.
    constexpr int MaxNesting = 32;
    // The bytes of a stream read for its parameters, which come before its pictures.
    constexpr std::size_t StreamHead = 4096;
    // Sums saturate here, far above any limit and far below overflow.
    constexpr long long Saturated = 1LL << 60;

    long long saturatingAdd(long long a, long long b)
    {
        return std::min(Saturated, a + b);
    }

    // Saturated where a side has more than 32 bits, as a parameter set's may.
    long long area(std::uint64_t width, std::uint64_t height)
    {
        if (width == 0 || height == 0)
            return 0;
        if (width >> 32 || height >> 32)
            return Saturated;
        return (long long)std::min<std::uint64_t>(width * height, Saturated);
    }

    struct Box {
        std::uint32_t type;
        const unsigned char* body;
        std::size_t size;
    };

    // Each whole box in the span, in order; reading stops at the first that overruns it.
    template <typename Visit>
    void forEachBox(const unsigned char* data, std::size_t size, Visit visit)
    {
        std::size_t pos = 0;
        while (size - pos >= 8) {
            ByteReader header(data + pos, size - pos);
            std::uint64_t length = header.number(4);
            const auto type = std::uint32_t(header.number(4));
            if (length == 1)
                length = header.number(8);
            else if (length == 0)
                length = size - pos;
            const std::size_t headerSize = size - pos - header.left();
            if (header.failed() || length < headerSize || length > size - pos)
                return;
            visit(Box { type, data + pos + headerSize, std::size_t(length - headerSize) });
            pos += std::size_t(length);
        }
    }

    struct Extent {
        std::uint64_t offset;
        std::uint64_t length;
    };

    // The properties that tell an image's size: its own (ispe) and that of its coded stream.
    struct Property {
        enum class Kind { Other, Size, Coded } kind = Kind::Other;
        CodedSides sides;
        unsigned lengthSize = 4; // of an HEVC stream's NAL units
    };

    struct Item {
        std::uint32_t type = 0;
        long long pixels = 0;
        CodedSides size, coded;
        unsigned lengthSize = 4;
        std::vector<std::uint32_t> inputs;
        int construction = -1; // where its data lies: 0 the file, 1 the idat box
        std::vector<Extent> extents;
    };

    class FileItems {
    public:
        FileItems(const unsigned char* data, std::size_t size)
            : m_file(data)
            , m_fileSize(size)
        {
            forEachBox(data, size, [this](const Box& box) {
                if (box.type == fourCc("meta") && box.size >= 4)
                    forEachBox(
                        box.body + 4, box.size - 4, [this](const Box& child) { readMeta(child); });
            });
            for (const auto& [id, index] : m_associations) {
                if (index >= m_properties.size()
                    || m_properties[index].kind == Property::Kind::Other)
                    continue;
                const Property& property = m_properties[index];
                Item& item = m_items[id];
                if (property.kind == Property::Kind::Size) {
                    item.size = largerSides(item.size, property.sides);
                } else {
                    item.coded = largerSides(item.coded, property.sides);
                    item.lengthSize = property.lengthSize;
                }
            }
            // A stream codes a little more than the picture (whole blocks), never far more.
            constexpr std::uint64_t Padding = 64;
            for (auto& [id, item] : m_items) {
                // The decoders read the parameters in the stream too, after the property's.
                if (item.type == fourCc("hvc1") || item.type == fourCc("av01")) {
                    const std::vector<unsigned char> head = leadingBytes(item, StreamHead);
                    item.coded = largerSides(item.coded,
                        item.type == fourCc("av01")
                            ? av1Sides(head.data(), head.size())
                            : hevcStreamSides(head.data(), head.size(), item.lengthSize));
                }
                if (item.size.width > 0
                    && (item.coded.width > item.size.width + Padding
                        || item.coded.height > item.size.height + Padding))
                    m_malformed = true;
                item.pixels = std::max(area(item.size.width, item.size.height),
                    area(item.coded.width, item.coded.height));
                if (item.type == fourCc("grid") || item.type == fourCc("iovl"))
                    item.pixels = std::max(item.pixels, derivedPixels(item));
            }
        }

        HeifDemand demand()
        {
            HeifDemand result;
            for (const auto& [id, item] : m_items) {
                result.largestImage = std::max(result.largestImage, item.pixels);
                result.costliestDecoding = std::max(result.costliestDecoding, cost(id, 0));
            }
            result.malformed = m_malformed;
            return result;
        }

    private:
        void readMeta(const Box& box)
        {
            if (box.type == fourCc("iinf"))
                readItemInfos(box);
            else if (box.type == fourCc("iloc"))
                readLocations(box);
            else if (box.type == fourCc("iref"))
                readReferences(box);
            else if (box.type == fourCc("idat")) {
                m_idat = box.body;
                m_idatSize = box.size;
            } else if (box.type == fourCc("iprp"))
                forEachBox(box.body, box.size, [this](const Box& child) {
                    if (child.type == fourCc("ipco"))
                        readProperties(child);
                    else if (child.type == fourCc("ipma"))
                        readAssociations(child);
                });
        }

        void readItemInfos(const Box& box)
        {
            ByteReader reader(box.body, box.size);
            const auto version = unsigned(reader.number(1));
            reader.skip(3);
            reader.skip(version == 0 ? 2 : 4);
            forEachBox(reader.here(), reader.left(), [this](const Box& entry) {
                ByteReader infe(entry.body, entry.size);
                const auto infeVersion = unsigned(infe.number(1));
                infe.skip(3);
                if (entry.type != fourCc("infe") || infeVersion < 2)
                    return;
                const auto id = std::uint32_t(infe.number(infeVersion == 2 ? 2 : 4));
                infe.skip(2);
                const auto type = std::uint32_t(infe.number(4));
                if (!infe.failed())
                    m_items[id].type = type;
            });
        }

        void readLocations(const Box& box)
        {
            ByteReader reader(box.body, box.size);
            const auto version = unsigned(reader.number(1));
            reader.skip(3);
            const auto sizes = unsigned(reader.number(2));
            const unsigned offsetSize = sizes >> 12, lengthSize = sizes >> 8 & 15,
                           baseSize = sizes >> 4 & 15, indexSize = version >= 1 ? sizes & 15 : 0;
            const std::uint64_t count = reader.number(version < 2 ? 2 : 4);
            for (std::uint64_t i = 0; i < count && !reader.failed(); ++i) {
                const auto id = std::uint32_t(reader.number(version < 2 ? 2 : 4));
                const int construction = version >= 1 ? int(reader.number(2) & 15) : 0;
                reader.skip(2);
                const std::uint64_t base = reader.number(baseSize);
                const std::uint64_t extents = reader.number(2);
                std::vector<Extent> found;
                for (std::uint64_t e = 0; e < extents && !reader.failed(); ++e) {
                    reader.skip(indexSize);
                    const std::uint64_t offset = reader.number(offsetSize);
                    const std::uint64_t length = reader.number(lengthSize);
                    found.push_back({ base + offset, length });
                }
                if (reader.failed())
                    return;
                Item& item = m_items[id];
                item.construction = construction;
                item.extents = std::move(found);
            }
        }

        void readReferences(const Box& box)
        {
            ByteReader reader(box.body, box.size);
            const auto version = unsigned(reader.number(1));
            reader.skip(3);
            const unsigned idSize = version == 0 ? 2 : 4;
            forEachBox(reader.here(), reader.left(), [&](const Box& reference) {
                if (reference.type != fourCc("dimg"))
                    return;
                ByteReader ids(reference.body, reference.size);
                const auto from = std::uint32_t(ids.number(idSize));
                const std::uint64_t count = ids.number(2);
                std::vector<std::uint32_t> inputs;
                for (std::uint64_t i = 0; i < count; ++i) {
                    const auto to = std::uint32_t(ids.number(idSize));
                    if (ids.failed())
                        return;
                    inputs.push_back(to);
                }
                auto& kept = m_items[from].inputs;
                kept.insert(kept.end(), inputs.begin(), inputs.end());
            });
        }

        // Each property, by its place in the list, with the sides it tells.
        void readProperties(const Box& box)
        {
            forEachBox(box.body, box.size, [this](const Box& entry) {
                Property property;
                if (entry.type == fourCc("ispe")) {
                    ByteReader reader(entry.body, entry.size);
                    reader.skip(4);
                    const std::uint64_t width = reader.number(4), height = reader.number(4);
                    property = { Property::Kind::Size, { width, height } };
                } else if (entry.type == fourCc("hvcC")) {
                    property.kind = Property::Kind::Coded;
                    property.sides
                        = hevcConfigurationSides(entry.body, entry.size, property.lengthSize);
                } else if (entry.type == fourCc("av1C") && entry.size > 4) {
                    property.kind = Property::Kind::Coded;
                    property.sides = av1Sides(entry.body + 4, entry.size - 4);
                }
                m_properties.push_back(property);
            });
        }

        void readAssociations(const Box& box)
        {
            ByteReader reader(box.body, box.size);
            const auto version = unsigned(reader.number(1));
            const std::uint64_t flags = reader.number(3);
            const std::uint64_t count = reader.number(4);
            for (std::uint64_t i = 0; i < count && !reader.failed(); ++i) {
                const auto id = std::uint32_t(reader.number(version < 1 ? 2 : 4));
                const std::uint64_t associations = reader.number(1);
                for (std::uint64_t a = 0; a < associations && !reader.failed(); ++a) {
                    const std::uint64_t index
                        = (flags & 1) ? reader.number(2) & 0x7fff : reader.number(1) & 0x7f;
                    // Indices count from 1; 0 is "no property".
                    if (index > 0 && !reader.failed())
                        m_associations.emplace_back(id, std::size_t(index - 1));
                }
            }
        }

        // The first bytes of an item's data, as many as its extents hold up to count.
        std::vector<unsigned char> leadingBytes(const Item& item, std::size_t count) const
        {
            const unsigned char* source = item.construction == 0 ? m_file
                : item.construction == 1                         ? m_idat
                                                                 : nullptr;
            const std::size_t sourceSize = item.construction == 0 ? m_fileSize : m_idatSize;
            std::vector<unsigned char> bytes;
            for (const Extent& extent : item.extents) {
                if (!source || extent.offset >= sourceSize || bytes.size() >= count)
                    break;
                const std::uint64_t available = sourceSize - extent.offset;
                const std::uint64_t length
                    = extent.length == 0 ? available : std::min(extent.length, available);
                const std::size_t take
                    = std::size_t(std::min<std::uint64_t>(length, count - bytes.size()));
                bytes.insert(bytes.end(), source + extent.offset, source + extent.offset + take);
                if (length < extent.length)
                    break;
            }
            return bytes;
        }

        // The output size a grid or an overlay announces in its data.
        long long derivedPixels(const Item& item) const
        {
            const std::vector<unsigned char> bytes = leadingBytes(item, 2 + 2 + 8 + 8);
            ByteReader reader(bytes.data(), bytes.size());
            reader.skip(1);
            const unsigned sideSize = (reader.number(1) & 1) ? 4 : 2;
            // A grid's rows and columns, an overlay's fill colour.
            reader.skip(item.type == fourCc("grid") ? 2 : 8);
            const std::uint64_t width = reader.number(sideSize), height = reader.number(sideSize);
            return reader.failed() ? 0 : area(width, height);
        }

        long long cost(std::uint32_t id, int depth)
        {
            if (const auto known = m_cost.find(id); known != m_cost.end()) {
                if (known->second < 0)
                    m_malformed = true; // still being counted: it is made of itself
                return std::max(0LL, known->second);
            }
            const auto found = m_items.find(id);
            if (found == m_items.end())
                return 0;
            if (depth > MaxNesting) {
                m_malformed = true;
                return 0;
            }
            m_cost[id] = -1;
            long long total = found->second.pixels;
            for (const std::uint32_t input : found->second.inputs)
                total = saturatingAdd(total, cost(input, depth + 1));
            m_cost[id] = total;
            return total;
        }

        const unsigned char* m_file;
        std::size_t m_fileSize;
        const unsigned char* m_idat = nullptr;
        std::size_t m_idatSize = 0;
        std::unordered_map<std::uint32_t, Item> m_items;
        std::vector<Property> m_properties;
        std::vector<std::pair<std::uint32_t, std::size_t>> m_associations;
        std::unordered_map<std::uint32_t, long long> m_cost;
        bool m_malformed = false;
    };

} // namespace

HeifDemand heifDemand(const unsigned char* data, std::size_t size)
{
    return FileItems(data, size).demand();
}

} // namespace mosaiq
