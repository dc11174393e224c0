// What a HEIF file asks its decoder to fill, told from its boxes: files made here of the item
// boxes alone (no coded picture is needed to count pixels).
#include "image/heifdemand.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

std::string be(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char(value >> (8 * i) & 0xFF);
    return out;
}

std::string box(const char* type, const std::string& body)
{
    return be(8 + body.size(), 4) + type + body;
}

std::string fullBox(const char* type, const std::string& body)
{
    return box(type, std::string(4, '\0') + body);
}

// An HEVC sequence parameter set coding width x height, with the emulation prevention bytes
// encoders put after two zeros.
std::string sequenceParameterSet(std::uint32_t width, std::uint32_t height)
{
    std::vector<bool> bits;
    auto put = [&](std::uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i)
            bits.push_back((value >> i & 1) != 0);
    };
    auto golomb = [&](std::uint64_t value) {
        const int length = std::bit_width(value + 1);
        put(0, length - 1);
        put(value + 1, length);
    };
    put(0x01, 8); // no sub-layers
    put(0x01, 8); // the Main profile, its flags and level: a long run of zeros
    put(0x60000000, 32);
    put(0, 48);
    put(93, 8);
    golomb(0);
    golomb(1); // 4:2:0
    golomb(width);
    golomb(height);
    put(1, 1);
    std::string nal = "\x42\x01";
    int zeros = 0;
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        unsigned byte = 0;
        for (std::size_t b = i; b < i + 8; ++b)
            byte = byte << 1 | (b < bits.size() && bits[b] ? 1u : 0u);
        if (zeros >= 2 && byte <= 3) {
            nal += '\x03';
            zeros = 0;
        }
        nal += char(byte);
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return nal;
}

struct Image {
    std::uint32_t id;
    const char* type;
    std::uint32_t width, height; // ispe for a coded image; the announced output for the others
    std::initializer_list<std::uint32_t> inputs;
    std::uint32_t codedWidth = 0, codedHeight = 0; // the stream's, when it has a parameter set
    bool setInStream = false; // that set in the stream's first bytes rather than in hvcC
};

// A file of images, grids and overlays keeping their data in idat, as phones write grids.
std::string heifFile(std::initializer_list<Image> images)
{
    std::string infos, locations, references, properties, associations, idat;
    int propertyCount = 0;
    int associated = 0;
    for (const Image& image : images) {
        infos += box("infe", be(0x02000000, 4) + be(image.id, 2) + be(0, 2) + image.type);
        const bool derived = std::string(image.type) != "hvc1";
        if (derived) {
            const std::string data = std::string(image.type) == "grid"
                ? be(0, 2) + be(0, 2) + be(image.width, 2) + be(image.height, 2)
                : be(0, 2) + std::string(8, '\0') + be(image.width, 2) + be(image.height, 2);
            locations += be(image.id, 2) + be(1, 2) + be(0, 2) + be(1, 2) + be(idat.size(), 4)
                + be(data.size(), 4);
            idat += data;
        } else {
            // Its size among other properties, as files have them; NAL units after 4 bytes.
            std::string coding = std::string(21, '\0') + be(0x0f, 1);
            const std::string set = image.codedWidth > 0
                ? sequenceParameterSet(image.codedWidth, image.codedHeight)
                : std::string();
            if (!set.empty() && !image.setInStream)
                coding += be(1, 1) + be(0x80 | 33, 1) + be(1, 2) + be(set.size(), 2) + set;
            else
                coding += be(0, 1);
            if (image.setInStream) {
                const std::string data = be(set.size(), 4) + set + be(3, 4) + "\x26\x01\xaf";
                locations += be(image.id, 2) + be(1, 2) + be(0, 2) + be(1, 2) + be(idat.size(), 4)
                    + be(data.size(), 4);
                idat += data;
            }
            properties += box("hvcC", coding)
                + fullBox("ispe", be(image.width, 4) + be(image.height, 4))
                + fullBox("pixi", be(0x01080000, 4));
            ++associated;
            const int first = propertyCount + 1;
            propertyCount += 3;
            associations
                += be(image.id, 2) + be(3, 1) + be(first, 1) + be(first + 1, 1) + be(first + 2, 1);
        }
        if (image.inputs.size() > 0) {
            std::string to;
            for (const std::uint32_t input : image.inputs)
                to += be(input, 2);
            references += box("dimg", be(image.id, 2) + be(image.inputs.size(), 2) + to);
        }
    }
    const std::string meta = fullBox("iinf", be(images.size(), 2) + infos)
        + box("iloc", be(0x01000000, 4) + be(0x4400, 2) + be(locations.size() / 16, 2) + locations)
        + box("idat", idat) + fullBox("iref", references)
        + box("iprp", box("ipco", properties) + fullBox("ipma", be(associated, 4) + associations));
    return box("ftyp", "heic") + fullBox("meta", meta);
}

HeifDemand demandOf(const std::string& file)
{
    return heifDemand(reinterpret_cast<const unsigned char*>(file.data()), file.size());
}

} // namespace

TEST(HeifDemand, aGridCostsItsOutputAndEveryTileItPlacesEachTimeItPlacesIt)
{
    const HeifDemand photo = demandOf(heifFile({ { 1, "hvc1", 512, 512, {} },
        { 2, "hvc1", 512, 512, {} }, { 3, "grid", 1000, 500, { 1, 2 } } }));
    EXPECT_EQ(photo.largestImage, 1000 * 500);
    EXPECT_EQ(photo.costliestDecoding, 1000 * 500 + 2 * 512 * 512);
    EXPECT_FALSE(photo.malformed);

    const HeifDemand oneTileEverywhere = demandOf(
        heifFile({ { 1, "hvc1", 64, 64, {} }, { 2, "grid", 128, 128, { 1, 1, 1, 1 } } }));
    EXPECT_EQ(oneTileEverywhere.costliestDecoding, 128 * 128 + 4 * 64 * 64);
}

TEST(HeifDemand, aHiddenOverlayCountsAtTheCanvasItAnnounces)
{
    // A small grid whose single tile is an overlay with a canvas of gigapixels.
    const HeifDemand demand = demandOf(heifFile({ { 1, "hvc1", 64, 64, {} },
        { 2, "iovl", 60000, 20000, { 1 } }, { 3, "grid", 24, 16, { 2 } } }));
    EXPECT_EQ(demand.largestImage, 60000LL * 20000);
    EXPECT_EQ(demand.costliestDecoding, 24 * 16 + 60000LL * 20000 + 64 * 64);
}

TEST(HeifDemand, anImageMadeOfItselfOrCodedFarLargerThanItSaysIsMalformed)
{
    EXPECT_TRUE(
        demandOf(heifFile({ { 1, "grid", 8, 8, { 2 } }, { 2, "iovl", 8, 8, { 1 } } })).malformed);
    EXPECT_TRUE(demandOf(heifFile({ { 1, "grid", 8, 8, { 1 } } })).malformed);

    // 61 KB that said 64 x 64 and coded 16384 x 16384 took 1.6 GB before libheif's picture was
    // found larger than announced.
    const HeifDemand lying = demandOf(heifFile({ { 1, "hvc1", 64, 64, {}, 16384, 16384 } }));
    EXPECT_TRUE(lying.malformed);
    EXPECT_EQ(lying.largestImage, 16384LL * 16384);
    // The same set among the stream's first units, which libde265 takes too.
    const HeifDemand inStream
        = demandOf(heifFile({ { 1, "hvc1", 64, 64, {}, 16384, 16384, true } }));
    EXPECT_TRUE(inStream.malformed);
    // Whole blocks past the picture's edges are how streams are coded.
    const HeifDemand padded = demandOf(heifFile({ { 1, "hvc1", 4000, 3000, {}, 4000, 3008 } }));
    EXPECT_FALSE(padded.malformed);
    EXPECT_EQ(padded.largestImage, 4000LL * 3008);
}

TEST(HeifDemand, aFileCutShortCountsWhatItHolds)
{
    const std::string file = heifFile({ { 1, "hvc1", 64, 64, {} }, { 2, "grid", 64, 64, { 1 } } });
    for (std::size_t length = 0; length < file.size(); ++length) {
        const HeifDemand demand = demandOf(file.substr(0, length));
        EXPECT_LE(demand.costliestDecoding, 2 * 64 * 64);
        EXPECT_FALSE(demand.malformed);
    }
}
