// The libjpeg decode of both JPEG readers: a fatal error in the data is caught at the step that
// met it (libjpeg's own handling would end the program), and what libjpeg patches over decodes.
#include "jpeg/jpegdecode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string sample(const char* name)
{
    std::ifstream file(std::string(MOSAIQ_TEST_DATA) + "/good/" + name, std::ios::binary);
    return { std::istreambuf_iterator<char>(file), {} };
}

// The first step of a whole decode of data that fails, "" when none does.
std::string failingStep(const std::string& data)
{
    mosaiq::JpegDecode decode;
    if (!decode.readHeader(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()))
        return "header";
    if (!decode.start(JCS_EXT_BGRA))
        return "start";
    const std::ptrdiff_t stride = std::ptrdiff_t(decode.width()) * 4;
    std::vector<std::uint8_t> rows(std::size_t(stride) * 5);
    while (decode.nextRow() < decode.height()) {
        if (!decode.readRows(rows.data(), stride, std::min(5, decode.height() - decode.nextRow())))
            return "rows";
    }
    return decode.finish() ? "" : "finish";
}

} // namespace

TEST(JpegDecode, saysAtWhichStepLibjpegGaveUp)
{
    const std::string photo = sample("orientation-1.jpg");
    const std::string frame = photo.substr(photo.find("\xFF\xC0"), 2 + 17);
    const std::size_t scan = photo.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    const struct {
        const char* name;
        std::string data;
        std::string step;
    } cases[] = {
        { "whole", photo, "" },
        { "cut in its scan: patched over", photo.substr(0, scan + 30), "" },
        { "not a JPEG", "hello", "header" },
        { "cut in its header", photo.substr(0, scan), "header" },
        { "inks asked as colours", sample("cmyk.jpg"), "start" },
        { "a second frame after the scan", photo.substr(0, photo.size() - 2) + frame + "\xFF\xD9",
            "finish" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(failingStep(c.data), c.step) << c.name;
}
