#include "run/runoptions.h"

#include "run/gridsize.h"
#include "run/runchoices.h"
#include "wording/runoptionwords.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace mosaiq {

namespace {

    struct OptionName {
        std::string_view name;
        std::string_view meaning; // the English name, which the reading goes by
        OptionValue value;
    };

    // Every spelling of every run option, English and French.
    constexpr OptionName OptionNames[] = {
        { "--columns", "--columns", OptionValue::Required },
        { "--colonnes", "--columns", OptionValue::Required },
        { "--rows", "--rows", OptionValue::Required },
        { "--lignes", "--rows", OptionValue::Required },
        { "--colours", "--colours", OptionValue::Required },
        { "--colors", "--colours", OptionValue::Required },
        { "--couleurs", "--colours", OptionValue::Required },
        { "--square", "--square", OptionValue::None },
        { "--carre", "--square", OptionValue::None },
        { "--random", "--random", OptionValue::None },
        { "--hasard", "--random", OptionValue::None },
        { "--chars", "--chars", OptionValue::Required },
        { "--caracteres", "--chars", OptionValue::Required },
        { "--bold", "--bold", OptionValue::None },
        { "--gras", "--bold", OptionValue::None },
        { "--italic", "--italic", OptionValue::None },
        { "--italique", "--italic", OptionValue::None },
        { "--no-centre", "--no-centre", OptionValue::None },
        { "--no-center", "--no-centre", OptionValue::None },
        { "--non-centre", "--no-centre", OptionValue::None },
        { "--background", "--background", OptionValue::Required },
        { "--fond", "--background", OptionValue::Required },
        { "--dialect", "--dialect", OptionValue::Required },
        { "--dialecte", "--dialect", OptionValue::Required },
        { "--merge", "--merge", OptionValue::AttachedOnly },
        { "--fusion", "--merge", OptionValue::AttachedOnly },
        { "--best-runs", "--best-runs", OptionValue::None },
        { "--meilleures-plages", "--best-runs", OptionValue::None },
        { "--fit", "--fit", OptionValue::Required },
        { "--ajuster", "--fit", OptionValue::Required },
        { "--split", "--split", OptionValue::None },
        { "--partager", "--split", OptionValue::None },
        { "--palette", "--palette", OptionValue::Required },
        { "--dither", "--dither", OptionValue::Required },
        { "--tramage", "--dither", OptionValue::Required },
        { "--stats", "--stats", OptionValue::None },
        { "--statistiques", "--stats", OptionValue::None },
        { "--shapes", "--shapes", OptionValue::Required },
        { "--formes", "--shapes", OptionValue::Required },
        { "--reader-background", "--reader-background", OptionValue::Required },
        { "--fond-lecteur", "--reader-background", OptionValue::Required },
        { "--foreground-only", "--foreground-only", OptionValue::None },
        { "--encre-seule", "--foreground-only", OptionValue::None },
        { "--transparent", "--transparent", OptionValue::Required },
        { "--transparence", "--transparent", OptionValue::Required },
    };

    const OptionName* findOption(std::string_view name)
    {
        const auto found = std::find_if(std::begin(OptionNames), std::end(OptionNames),
            [name](const OptionName& option) { return option.name == name; });
        return found == std::end(OptionNames) ? nullptr : found;
    }

    // A tolerance of --merge: a decimal number from 0 to 100 ("," or "." before the decimals).
    std::optional<double> readTolerance(std::string_view text)
    {
        double value = 0, scale = 1;
        bool digits = false, decimals = false;
        for (char c : text) {
            if (c >= '0' && c <= '9') {
                digits = true;
                if (decimals) {
                    scale /= 10;
                    value += (c - '0') * scale;
                } else {
                    value = value * 10 + (c - '0');
                }
                if (value > 100)
                    return std::nullopt;
            } else if ((c == '.' || c == ',') && !decimals) {
                decimals = true;
            } else {
                return std::nullopt;
            }
        }
        if (!digits)
            return std::nullopt;
        return value;
    }

    // "#RRGGBB" or "RRGGBB"; nullopt for anything else.
    std::optional<ColourValue> readWebColour(std::string_view text)
    {
        if (text.starts_with('#'))
            text.remove_prefix(1);
        if (text.size() != 6)
            return std::nullopt;
        int parts[3];
        for (int i = 0; i < 3; ++i) {
            int value = 0;
            for (int k = 0; k < 2; ++k) {
                const char c = text[std::size_t(2 * i + k)];
                int digit;
                if (c >= '0' && c <= '9')
                    digit = c - '0';
                else if (c >= 'a' && c <= 'f')
                    digit = c - 'a' + 10;
                else if (c >= 'A' && c <= 'F')
                    digit = c - 'A' + 10;
                else
                    return std::nullopt;
                value = value * 16 + digit;
            }
            parts[i] = value;
        }
        return makeColour(parts[0], parts[1], parts[2]);
    }

    // A number as a script would write it: "2.5", "150".
    std::string numberWords(double value)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }

    std::string dialectNames()
    {
        std::string names;
        for (const auto& dialect : forumDialects()) {
            if (!names.empty())
                names += ", ";
            names += dialect.name;
        }
        return names;
    }

    // C0 and C1 controls, DEL: what a chat client reads as codes (ESC, IRC's ^C and ^B...).
    bool hasControlCharacter(std::string_view text)
    {
        for (char32_t c : decodeUtf8(text)) {
            if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
                return true;
        }
        return false;
    }

    // --palette N (digits only) or --palette FILE.
    std::string readPalette(std::string_view value, RunOptions& options)
    {
        if (!value.empty() && value.find_first_not_of("0123456789") == std::string_view::npos) {
            const auto count = readCount(value, 3);
            if (!count || *count < 2 || *count > 256)
                return invalidPaletteCount(value);
            options.paletteCount = int(*count);
            return {};
        }
        std::ifstream in { std::string(value), std::ios::binary };
        std::string text;
        // A palette of 256 colours with long names is a few kilobytes: more is not a palette.
        constexpr std::size_t Most = 1 << 20;
        text.resize(Most + 1);
        in.read(text.data(), std::streamsize(text.size()));
        if (!in && !in.eof())
            return cannotReadPalette(value);
        text.resize(std::size_t(in.gcount()));
        if (text.size() > Most)
            return notGimpPalette(value, 1);
        const PaletteFile palette = readGimpPalette(text);
        switch (palette.error) {
        case PaletteFileError::Read:
            options.paletteColours = palette.colours;
            return {};
        case PaletteFileError::Empty:
            return emptyPalette(value);
        case PaletteFileError::NotGimp:
            return notGimpPalette(value, palette.line);
        case PaletteFileError::OutOfRange:
            return paletteOutOfRange(value, palette.line);
        case PaletteFileError::TooMany:
            break;
        }
        return paletteTooLarge(value);
    }

    std::optional<ShapeSet> readShapeSet(std::string_view value)
    {
        if (value == "ascii")
            return ShapeSet::Ascii;
        if (value == "blocks" || value == "blocs")
            return ShapeSet::Blocks;
        if (value == "braille")
            return ShapeSet::Braille;
        if (value == "all" || value == "tout" || value == "tous")
            return ShapeSet::All;
        return std::nullopt;
    }

    std::string readTreatment(std::string_view value, ColourTreatment& treatment)
    {
        if (value == "original" || value == "origine")
            treatment = ColourTreatment::SourceColours;
        else if (value == "red" || value == "rouge")
            treatment = ColourTreatment::TintRed;
        else if (value == "green" || value == "vert")
            treatment = ColourTreatment::TintGreen;
        else if (value == "blue" || value == "bleu")
            treatment = ColourTreatment::TintBlue;
        else if (value == "grey" || value == "gray" || value == "gris")
            treatment = ColourTreatment::BlackAndWhite;
        else
            return unknownColours(value);
        return {};
    }

} // namespace

std::optional<std::size_t> readCount(std::string_view text, std::size_t digits)
{
    if (text.empty() || text.size() > digits)
        return std::nullopt;
    std::size_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + std::size_t(c - '0');
    }
    return value;
}

bool RunOptions::bracketFromCells() const
{
    return bracketCodeFromCells(dialect, mergeTolerance.has_value());
}

std::optional<OptionValue> runOptionValue(std::string_view name)
{
    const OptionName* option = findOption(name);
    return option ? std::optional(option->value) : std::nullopt;
}

std::string readRunOption(
    RunOptions& o, std::string_view name, std::optional<std::string_view> given)
{
    const OptionName* option = findOption(name);
    if (!option)
        return {};
    const std::string_view meaning = option->meaning;
    const std::string_view value = given.value_or("");
    if (meaning == "--columns" || meaning == "--rows") {
        const bool rows = meaning == "--rows";
        std::string refusal = gridSizeRefusal(value, rows, name);
        if (refusal.empty())
            (rows ? o.rows : o.columns) = readGridSize(value).plain;
        return refusal;
    }
    if (meaning == "--colours")
        return readTreatment(value, o.treatment);
    if (meaning == "--square") {
        o.mode = CellMode::Square;
    } else if (meaning == "--random") {
        o.glyphSource = GlyphSource::Random;
    } else if (meaning == "--chars") {
        o.characters = value;
        o.charactersGiven = true;
    } else if (meaning == "--bold") {
        o.style.bold = true;
    } else if (meaning == "--italic") {
        o.style.italic = true;
    } else if (meaning == "--no-centre") {
        o.style.centred = false;
    } else if (meaning == "--background") {
        const auto colour = readWebColour(value);
        if (!colour)
            return invalidBackground(value);
        o.background = *colour;
    } else if (meaning == "--dialect") {
        if (!findDialect(value))
            return unknownDialect(value, dialectNames());
        o.dialect = value;
    } else if (meaning == "--merge") {
        o.mergeTolerance = given ? readTolerance(value) : 0.0;
        if (!o.mergeTolerance)
            return invalidTolerance(value);
    } else if (meaning == "--best-runs") {
        o.bestRuns = true;
    } else if (meaning == "--fit") {
        // "post": the limit of a post of the dialect, known once every option is read.
        o.fitPost = value == "post" || value == "message";
        o.fitLimit = o.fitPost ? std::optional<std::size_t>(1) : readCount(value, 12);
        if (!o.fitLimit || *o.fitLimit == 0)
            return invalidLimit(value);
    } else if (meaning == "--split") {
        o.split = true;
    } else if (meaning == "--palette") {
        return readPalette(value, o);
    } else if (meaning == "--dither") {
        if (value == "ordered" || value == "ordonne" || value == "ordonné")
            o.dither = Dither::Ordered;
        else if (value == "diffusion")
            o.dither = Dither::Diffusion;
        else
            return unknownDither(value);
    } else if (meaning == "--stats") {
        o.stats = true;
    } else if (meaning == "--shapes") {
        o.shapes = readShapeSet(value);
        if (!o.shapes)
            return unknownShapes(value);
    } else if (meaning == "--reader-background") {
        const auto colour = readWebColour(value);
        if (!colour)
            return invalidReaderBackground(value);
        o.readerBackground = *colour;
        o.readerBackgroundGiven = true;
    } else if (meaning == "--foreground-only") {
        o.foregroundOnly = true;
    } else if (meaning == "--transparent") {
        if (value != "background" && value != "fond")
            return unknownTransparent(value);
        o.transparentBackground = true;
    }
    return {};
}

std::string completeRunOptions(RunOptions& o)
{
    if (o.glyphSource == GlyphSource::Random && o.charactersGiven)
        return RandomAndCharacters;
    takeSquareModeGlyphs(o.mode, o.glyphSource, o.characters);
    if (const ForumDialect* dialect = findDialect(o.dialect); dialect && o.fitPost) {
        o.fitLimit = dialect->postLimit;
        o.fitUnit = dialect->unit;
    }
    return {};
}

std::string runOptionsRefusal(const RunOptions& o)
{
    const ForumDialect* dialect = findDialect(o.dialect);
    if (!dialect)
        return unknownDialect(o.dialect, dialectNames());
    // What the page's script hands over as numbers is held to what mosaiq-cli reads as text.
    if (o.mergeTolerance && !(*o.mergeTolerance >= 0 && *o.mergeTolerance <= 100))
        return invalidTolerance(numberWords(*o.mergeTolerance));
    if (o.fitLimit == std::size_t(0) && !o.fitPost)
        return invalidLimit("0");
    const bool defined = o.glyphSource == GlyphSource::Defined;
    if (o.dither != Dither::None && !o.paletteCount && o.paletteColours.empty())
        return DitherNeedsPalette;
    if (o.bestRuns && !o.mergeTolerance)
        return BestRunsNeedMerge;
    if (o.shapes && o.mode == CellMode::Square)
        return ShapesAndSquare;
    if (o.shapes && (o.paletteCount || !o.paletteColours.empty()))
        return ShapesAndPalette;
    if (!o.shapes && (o.readerBackgroundGiven || o.foregroundOnly))
        return ReaderBackgroundNeedsShapes;
    if (o.fitPost && dialect->rowPerMessage)
        return fitPostPerRow(o.dialect);
    // With shapes the characters are not read, but the ASCII set holds the backtick.
    const bool characters = defined && !o.shapes;
    if (dialect->kind != CodeKind::Bracket && characters && hasControlCharacter(o.characters))
        return controlCharacterInChat(o.dialect);
    if (dialect->kind == CodeKind::Discord && characters
        && o.characters.find('`') != std::string::npos)
        return BacktickClosesFence;
    if (dialect->kind == CodeKind::Discord && o.shapes
        && inSet(std::uint8_t(*o.shapes), ShapeSet::Ascii))
        return ShapesBacktickClosesFence;
    if (o.fitPost && dialect->postLimit == 0)
        return fitPostNeedsLimit(o.dialect);
    if (o.fitLimit && (o.columns || o.rows))
        return FitChoosesTheSize;
    return {};
}

std::string splitRefusal(const RunOptions& o)
{
    const ForumDialect* dialect = findDialect(o.dialect);
    if (o.split && dialect && dialect->postLimit == 0)
        return splitNeedsLimit(o.dialect);
    return {};
}

} // namespace mosaiq
