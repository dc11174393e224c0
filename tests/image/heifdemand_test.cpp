// What a HEIF file asks its decoder to fill, told from its boxes: files made here of the item
// boxes alone (no coded picture is needed to count pixels).
#include "image/heifdemand.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

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

struct Image {
    std::uint32_t id;
    const char* type;
    std::uint32_t width, height; // ispe for a coded image; the announced output for the others
    std::initializer_list<std::uint32_t> inputs;
};

// A file of images, grids and overlays keeping their data in idat, as phones write grids.
std::string heifFile(std::initializer_list<Image> images)
{
    std::string infos, locations, references, properties, associations, idat;
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
            // Its size among other properties, as files have them.
            properties += fullBox("ispe", be(image.width, 4) + be(image.height, 4))
                + fullBox("pixi", be(0x01080000, 4));
            const int sizeIndex = int(properties.size() / 36) * 2 - 1;
            associations += be(image.id, 2) + be(2, 1) + be(sizeIndex, 1) + be(sizeIndex + 1, 1);
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
        + box("iprp",
            box("ipco", properties)
                + fullBox("ipma", be(associations.size() / 5, 4) + associations));
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
    EXPECT_FALSE(photo.endless);

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

TEST(HeifDemand, anImageMadeOfItselfIsEndless)
{
    EXPECT_TRUE(
        demandOf(heifFile({ { 1, "grid", 8, 8, { 2 } }, { 2, "iovl", 8, 8, { 1 } } })).endless);
    EXPECT_TRUE(demandOf(heifFile({ { 1, "grid", 8, 8, { 1 } } })).endless);
}

TEST(HeifDemand, aFileCutShortCountsWhatItHolds)
{
    const std::string file = heifFile({ { 1, "hvc1", 64, 64, {} }, { 2, "grid", 64, 64, { 1 } } });
    for (std::size_t length = 0; length < file.size(); ++length) {
        const HeifDemand demand = demandOf(file.substr(0, length));
        EXPECT_LE(demand.costliestDecoding, 2 * 64 * 64);
        EXPECT_FALSE(demand.endless);
    }
}
