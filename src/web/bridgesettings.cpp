#include "web/bridgesettings.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace mosaiq {

WebSettings webSettings(const BridgeSettings& given)
{
    const auto text = [](const char* t) { return std::string(t ? t : ""); };
    WebSettings settings;
    // A size not given is the picture's, or what keeps its proportions beside the other.
    if (given.columns)
        settings.columns = given.columns;
    if (given.rows)
        settings.rows = given.rows;
    settings.treatment = ColourTreatment(std::clamp(given.treatment, 0, 4));
    settings.mode = given.square ? CellMode::Square : CellMode::Letter;
    settings.glyphSource = given.random ? GlyphSource::Random : GlyphSource::Defined;
    settings.characters = text(given.characters);
    settings.style = StyleFlags { given.bold != 0, given.italic != 0, given.centred != 0 };
    settings.background = ColourValue(given.background & 0xFFFFFF);
    settings.dialect = text(given.dialect);
    if (given.merge >= 0)
        settings.mergeTolerance = given.merge;
    // A budget past what a size_t holds is no budget the run could keep anyway.
    if (given.fit >= 1)
        settings.fitLimit = std::size_t(std::min(given.fit, 1e18));
    settings.split = given.split != 0;
    // The sets mosaiq-cli's --shapes names; any other bits, which it cannot ask, are all of them.
    if (given.shapes != 0) {
        settings.shapes = ShapeSet::All;
        for (const ShapeSet set : { ShapeSet::Ascii, ShapeSet::Blocks, ShapeSet::Braille })
            if (given.shapes == std::int32_t(set))
                settings.shapes = set;
    }
    settings.foregroundOnly = given.foregroundOnly != 0;
    if (given.readerBackground >= 0) {
        settings.readerBackground
            = ColourValue(std::int32_t(std::min(given.readerBackground, 16777215.0)));
        settings.readerBackgroundGiven = true;
    }
    settings.transparentBackground = given.transparent != 0 && !std::isnan(given.transparent);
    return settings;
}

BridgeSettings bridgeSettingsOf(const WebSettings& settings)
{
    BridgeSettings given {};
    given.columns = settings.columns ? settings.columns->c_str() : nullptr;
    given.rows = settings.rows ? settings.rows->c_str() : nullptr;
    given.characters = settings.characters.c_str();
    given.dialect = settings.dialect.c_str();
    given.treatment = std::int32_t(settings.treatment);
    given.square = settings.mode == CellMode::Square;
    given.random = settings.glyphSource == GlyphSource::Random;
    given.bold = settings.style.bold;
    given.italic = settings.style.italic;
    given.centred = settings.style.centred;
    given.background = settings.background;
    given.split = settings.split;
    given.merge = settings.mergeTolerance.value_or(-1);
    given.fit = settings.fitLimit ? double(*settings.fitLimit) : 0;
    given.shapes = settings.shapes ? std::int32_t(*settings.shapes) : 0;
    given.foregroundOnly = settings.foregroundOnly;
    given.readerBackground
        = settings.readerBackgroundGiven ? double(settings.readerBackground) : -1;
    given.transparent = settings.transparentBackground ? 1 : 0;
    return given;
}

std::string bridgeSettingsLayout()
{
    struct Field {
        const char* name;
        const char* kind;
        std::size_t offset;
    };
    const Field fields[] {
        { "columns", "text", offsetof(BridgeSettings, columns) },
        { "rows", "text", offsetof(BridgeSettings, rows) },
        { "characters", "text", offsetof(BridgeSettings, characters) },
        { "dialect", "text", offsetof(BridgeSettings, dialect) },
        { "treatment", "int", offsetof(BridgeSettings, treatment) },
        { "square", "int", offsetof(BridgeSettings, square) },
        { "random", "int", offsetof(BridgeSettings, random) },
        { "bold", "int", offsetof(BridgeSettings, bold) },
        { "italic", "int", offsetof(BridgeSettings, italic) },
        { "centred", "int", offsetof(BridgeSettings, centred) },
        { "background", "int", offsetof(BridgeSettings, background) },
        { "split", "int", offsetof(BridgeSettings, split) },
        { "shapes", "int", offsetof(BridgeSettings, shapes) },
        { "foregroundOnly", "int", offsetof(BridgeSettings, foregroundOnly) },
        { "merge", "number", offsetof(BridgeSettings, merge) },
        { "fit", "number", offsetof(BridgeSettings, fit) },
        { "readerBackground", "number", offsetof(BridgeSettings, readerBackground) },
        { "transparent", "number", offsetof(BridgeSettings, transparent) },
    };
    std::string json = "{\"bytes\": " + std::to_string(sizeof(BridgeSettings)) + ", \"fields\": {";
    for (const Field& field : fields) {
        if (field.offset > 0)
            json += ", ";
        json += '"' + std::string(field.name) + "\": [\"" + field.kind + "\", "
            + std::to_string(field.offset) + ']';
    }
    return json + "}}";
}

} // namespace mosaiq
