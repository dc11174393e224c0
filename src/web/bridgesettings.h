#pragma once

#include "web/webconversion.h"

#include <cstdint>
#include <string>

namespace mosaiq {

// The settings of a run as they cross from the page's script into the module: one plain C
// struct, since the module's C face (cwrap) passes nothing richer, that the script writes field
// by field at the offsets bridgeSettingsLayout() gives it. The script writes only the fields it
// has; the module fills the rest with WebSettings's defaults first (bridgeSettingsOf).
struct BridgeSettings {
    // UTF-8 texts, as typed. A size left null is not given: the picture's, or beside the other
    // size, what keeps the picture's proportions; another text left null reads as "".
    const char* columns;
    const char* rows;
    const char* characters;
    const char* dialect;
    std::int32_t treatment; // ColourTreatment, 0 to 4, others taken as the nearest
    std::int32_t square; // booleans: 0 for false, any other for true
    std::int32_t random;
    std::int32_t bold;
    std::int32_t italic;
    std::int32_t centred;
    std::int32_t background; // 0x00BBGGRR, the top byte ignored
    std::int32_t split;
    std::int32_t shapes; // a ShapeSet (mosaiq_numbers names them), 0 for none, others as all
    std::int32_t foregroundOnly;
    double merge; // the merge tolerance, 0 to 100; below 0 or not a number: cells not merged
    double fit; // the size budget, characters; below 1 or not a number: none
    // The forum page behind the codes that colour only the text, 0x00BBGGRR; below 0 or not a
    // number: not given, the engine's. A number rather than an int keeps the struct without a
    // hole on 32 and 64 bits alike.
    double readerBackground;
    // Whether the cells the picture leaves transparent show the page's background: 0 or not a
    // number for false, any other for true. A number, as an eleventh int would leave a hole.
    double transparent;
};

// The engine's settings of what the script wrote.
WebSettings webSettings(const BridgeSettings& given);

// The struct that stands for settings, its texts pointing into settings, which must outlive it.
BridgeSettings bridgeSettingsOf(const WebSettings& settings);

// The struct's layout for the script, a JSON object: "bytes", its size, and "fields", each name
// with its kind ("text": the address of a zero-ended UTF-8 text, four bytes; "int": four bytes,
// signed; "number": a double, eight bytes) and offset: {"bytes": 80, "fields": {"columns":
// ["text", 0], ...}}.
std::string bridgeSettingsLayout();

} // namespace mosaiq
