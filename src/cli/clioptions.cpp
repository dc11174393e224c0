#include "cli/clioptions.h"

#include "output/codes/forumdialect.h"
#include "run/gridsize.h"
#include "run/runchoices.h"
#include "wording/batchwords.h"
#include "wording/cliwords.h"
#include "wording/forumwords.h"
#include "wording/pngwords.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace mosaiq {

namespace {

    // A whole number of at most digits digits, nothing else; nullopt otherwise.
    std::optional<std::size_t> parseCount(const std::string& text, std::size_t digits)
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

    // A word after --png in a batch that can only be meant as its file: "-" or a PNG name.
    bool meantAsPngFile(const std::string& word)
    {
        if (word == "-")
            return true;
        if (word.size() < 5 || word.starts_with('-'))
            return false;
        std::string extension = word.substr(word.size() - 4);
        std::transform(extension.begin(), extension.end(), extension.begin(),
            [](unsigned char c) { return char(std::tolower(c)); });
        return extension == ".png";
    }

    // The options given "-", by the names the user knows them by.
    std::vector<std::string> standardOutputTakers(const CliOptions& o)
    {
        std::vector<std::string> names;
        if (o.pagePath == "-")
            names.push_back("--page");
        if (o.htmlCodePath == "-")
            names.push_back("--html-code");
        if (o.blogCodePath == "-")
            names.push_back("--blog-code");
        if (o.pngPath == "-")
            names.push_back("--png");
        return names;
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
    bool hasControlCharacter(const std::string& text)
    {
        for (char32_t c : decodeUtf8(text)) {
            if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
                return true;
        }
        return false;
    }

    // --palette N (digits only) or --palette FILE; the error, French, or empty.
    std::string readPalette(const std::string& value, CliOptions& o)
    {
        if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos) {
            const auto count = parseCount(value, 3);
            if (!count || *count < 2 || *count > 256)
                return cli::invalidPaletteCount(value);
            o.paletteCount = int(*count);
            return {};
        }
        std::ifstream in(value, std::ios::binary);
        std::string text;
        // A palette of 256 colours with long names is a few kilobytes: more is not a palette.
        constexpr std::size_t Most = 1 << 20;
        text.resize(Most + 1);
        in.read(text.data(), std::streamsize(text.size()));
        if (!in && !in.eof())
            return cli::cannotReadPalette(value);
        text.resize(std::size_t(in.gcount()));
        if (text.size() > Most)
            return cli::notGimpPalette(value, 1);
        const PaletteFile palette = readGimpPalette(text);
        switch (palette.error) {
        case PaletteFileError::Read:
            o.paletteColours = palette.colours;
            return {};
        case PaletteFileError::Empty:
            return cli::emptyPalette(value);
        case PaletteFileError::NotGimp:
            return cli::notGimpPalette(value, palette.line);
        case PaletteFileError::OutOfRange:
            return cli::paletteOutOfRange(value, palette.line);
        case PaletteFileError::TooMany:
            break;
        }
        return cli::paletteTooLarge(value);
    }

} // namespace

std::optional<double> parseTolerance(const std::string& text)
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

std::optional<ColourValue> parseWebColour(const std::string& text)
{
    std::string digits = text.starts_with('#') ? text.substr(1) : text;
    if (digits.size() != 6)
        return std::nullopt;
    int parts[3];
    for (int i = 0; i < 3; ++i) {
        int value = 0;
        for (int k = 0; k < 2; ++k) {
            const char c = digits[2 * i + k];
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

CliParse parseCliOptions(const std::vector<std::string>& arguments, bool standardOutputIsTerminal)
{
    CliParse parse;
    CliOptions& o = parse.options;
    bool charactersGiven = false, randomGiven = false;
    bool pageGiven = false, jobsGiven = false, scaleGiven = false, paletteGiven = false;
    // "--merge 10": a number right after --merge, taken as a picture, most likely meant as the
    // tolerance.
    std::string mergeWordApart;
    // In a batch the pictures name the outputs, so --png takes no file there: a picture after
    // it is not its value.
    const bool batchLine = std::any_of(arguments.begin(), arguments.end(), [](const auto& a) {
        return a == "--output-dir" || a == "--dossier" || a.starts_with("--output-dir=")
            || a.starts_with("--dossier=");
    });
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        // Options that take a value accept "--name value" and "--name=value".
        std::string name = a, value;
        bool inlineValue = false;
        if (a.starts_with("--") && a.find('=') != std::string::npos) {
            name = a.substr(0, a.find('='));
            value = a.substr(a.find('=') + 1);
            inlineValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (inlineValue)
                return true;
            if (i + 1 >= arguments.size()) {
                parse.error = cli::optionNeedsValue(name);
                return false;
            }
            value = arguments[++i];
            return true;
        };
        auto noValue = [&]() -> bool {
            if (inlineValue)
                parse.error = cli::optionTakesNoValue(name);
            return !inlineValue;
        };

        if (name == "-h" || name == "--help" || name == "--aide") {
            o.help = true;
        } else if (name == "--version") {
            o.version = true;
        } else if (name == "--columns" || name == "--colonnes" || name == "--rows"
            || name == "--lignes") {
            if (!takeValue())
                return parse;
            const bool rows = name == "--rows" || name == "--lignes";
            parse.error = gridSizeRefusal(value, rows, name);
            if (!parse.error.empty())
                return parse;
            (rows ? o.rows : o.columns) = readGridSize(value).plain;
        } else if (name == "--colours" || name == "--colors" || name == "--couleurs") {
            if (!takeValue())
                return parse;
            if (value == "original" || value == "origine")
                o.treatment = ColourTreatment::SourceColours;
            else if (value == "red" || value == "rouge")
                o.treatment = ColourTreatment::TintRed;
            else if (value == "green" || value == "vert")
                o.treatment = ColourTreatment::TintGreen;
            else if (value == "blue" || value == "bleu")
                o.treatment = ColourTreatment::TintBlue;
            else if (value == "grey" || value == "gray" || value == "gris")
                o.treatment = ColourTreatment::BlackAndWhite;
            else {
                parse.error = cli::unknownColours(value);
                return parse;
            }
        } else if (name == "--square" || name == "--carre") {
            if (!noValue())
                return parse;
            o.mode = CellMode::Square;
        } else if (name == "--random" || name == "--hasard") {
            if (!noValue())
                return parse;
            randomGiven = true;
        } else if (name == "--chars" || name == "--caracteres") {
            if (!takeValue())
                return parse;
            o.characters = value;
            charactersGiven = true;
        } else if (name == "--bold" || name == "--gras") {
            if (!noValue())
                return parse;
            o.style.bold = true;
        } else if (name == "--italic" || name == "--italique") {
            if (!noValue())
                return parse;
            o.style.italic = true;
        } else if (name == "--no-centre" || name == "--no-center" || name == "--non-centre") {
            if (!noValue())
                return parse;
            o.style.centred = false;
        } else if (name == "--background" || name == "--fond") {
            if (!takeValue())
                return parse;
            const auto colour = parseWebColour(value);
            if (!colour) {
                parse.error = cli::invalidBackground(value);
                return parse;
            }
            o.background = *colour;
        } else if (name == "-o" || name == "--page") {
            if (!takeValue())
                return parse;
            o.pagePath = value;
            pageGiven = true;
        } else if (name == "--html-code") {
            if (!takeValue())
                return parse;
            o.htmlCodePath = value;
        } else if (name == "--blog-code") {
            if (!takeValue())
                return parse;
            o.blogCodePath = value;
        } else if (name == "--dialect" || name == "--dialecte") {
            if (!takeValue())
                return parse;
            if (!findDialect(value)) {
                parse.error = cli::unknownDialect(value, dialectNames());
                return parse;
            }
            o.dialect = value;
        } else if (name == "--merge" || name == "--fusion") {
            // The tolerance is optional, so it comes only as --merge=VALUE: "--merge 2" would
            // be ambiguous with a picture called 2.
            o.mergeTolerance = 0.0;
            if (!inlineValue && i + 1 < arguments.size() && parseTolerance(arguments[i + 1]))
                mergeWordApart = arguments[i + 1];
            if (inlineValue) {
                o.mergeTolerance = parseTolerance(value);
                if (!o.mergeTolerance) {
                    parse.error = cli::invalidTolerance(value);
                    return parse;
                }
            }
        } else if (name == "--palette") {
            if (!takeValue())
                return parse;
            parse.error = readPalette(value, o);
            if (!parse.error.empty())
                return parse;
            paletteGiven = true;
        } else if (name == "--dither" || name == "--tramage") {
            if (!takeValue())
                return parse;
            if (value == "ordered" || value == "ordonne" || value == "ordonné")
                o.dither = Dither::Ordered;
            else if (value == "diffusion")
                o.dither = Dither::Diffusion;
            else {
                parse.error = cli::unknownDither(value);
                return parse;
            }
        } else if (name == "--stats" || name == "--statistiques") {
            if (!noValue())
                return parse;
            o.stats = true;
        } else if (name == "--best-runs" || name == "--meilleures-plages") {
            if (!noValue())
                return parse;
            o.bestRuns = true;
        } else if (name == "--fit" || name == "--ajuster") {
            if (!takeValue())
                return parse;
            // "post": the limit of a post of the dialect, known once every option is read.
            o.fitPost = value == "post" || value == "message";
            o.fitLimit = o.fitPost ? std::optional<std::size_t>(1) : parseCount(value, 12);
            if (!o.fitLimit || *o.fitLimit == 0) {
                parse.error = cli::invalidLimit(value);
                return parse;
            }
        } else if (name == "--split" || name == "--partager") {
            if (!noValue())
                return parse;
            o.split = true;
        } else if (name == "--png") {
            o.png = true;
            if (batchLine) {
                if (inlineValue) {
                    parse.error = cli::PngNamedInBatch;
                    return parse;
                }
                // A PNG name right after it reads as its file, which it takes none of here; a
                // picture of another kind there is still converted.
                if (i + 1 < arguments.size() && meantAsPngFile(arguments[i + 1])) {
                    parse.error = cli::pngFileInBatch(arguments[i + 1]);
                    return parse;
                }
            } else {
                if (!takeValue())
                    return parse;
                o.pngPath = value;
            }
        } else if (name == "--scale" || name == "--echelle") {
            if (!takeValue())
                return parse;
            if (value != "1" && value != "2") {
                parse.error = cli::invalidScale(value);
                return parse;
            }
            o.scale = value[0] - '0';
            scaleGiven = true;
        } else if (name == "--output-dir" || name == "--dossier") {
            if (!takeValue())
                return parse;
            o.outputDir = value;
        } else if (name == "--jobs" || name == "--taches") {
            if (!takeValue())
                return parse;
            const auto jobs = parseCount(value, 3);
            if (!jobs || *jobs < 1 || *jobs > 256) {
                parse.error = cli::invalidJobs(value);
                return parse;
            }
            o.jobs = int(*jobs);
            jobsGiven = true;
        } else if (a.size() > 1 && a.starts_with('-') && a != "-") {
            parse.error = cli::unknownOption(a);
            return parse;
        } else {
            o.pictures.push_back(a);
        }
    }
    if (randomGiven && charactersGiven) {
        parse.error = cli::RandomAndCharacters;
        return parse;
    }
    if (randomGiven)
        o.glyphSource = GlyphSource::Random;
    takeSquareModeGlyphs(o.mode, o.glyphSource, o.characters);
    if (o.help || o.version)
        return parse;
    // "-o ''" has always meant the standard output.
    if (pageGiven && o.pagePath.empty())
        o.pagePath = "-";
    const std::vector<std::string> takers = standardOutputTakers(o);
    // Without -o the page goes to the standard output, unless another output takes it; or,
    // when that is a terminal, unless another output is named: a page poured onto a screen is
    // no one's wish, and may be hundreds of megabytes.
    const bool otherOutput
        = !o.htmlCodePath.empty() || !o.blogCodePath.empty() || !o.pngPath.empty();
    if (!pageGiven && takers.empty() && !(standardOutputIsTerminal && otherOutput))
        o.pagePath = "-";
    const ForumDialect& dialect = *findDialect(o.dialect);
    if (o.fitPost) {
        o.fitLimit = dialect.postLimit;
        o.fitUnit = dialect.unit;
    }
    std::error_code noFile;
    const bool mergeWordIsPicture = !mergeWordApart.empty()
        && std::find(o.pictures.begin(), o.pictures.end(), mergeWordApart) != o.pictures.end()
        && ((o.pictures.size() > 1 && !o.batch())
            || !std::filesystem::exists(mergeWordApart, noFile));
    if (mergeWordIsPicture)
        parse.error = cli::mergeValueApart(mergeWordApart);
    else if (o.pictures.empty())
        parse.error = cli::NoPicture;
    else if (o.pictures.size() > 1 && !o.batch())
        parse.error = cli::severalPicturesNeedOutputDir(o.pictures[1]);
    else if (o.batch() && (pageGiven || !o.htmlCodePath.empty() || !o.blogCodePath.empty()))
        parse.error = cli::OutputDirReplacesPaths;
    else if (jobsGiven && !o.batch())
        parse.error = cli::JobsNeedOutputDir;
    else if (scaleGiven && !o.png)
        parse.error = cli::ScaleNeedsPng;
    else if (o.dither != Dither::None && !paletteGiven)
        parse.error = cli::DitherNeedsPalette;
    else if (o.bestRuns && !o.mergeTolerance)
        parse.error = cli::BestRunsNeedMerge;
    else if (o.fitPost && dialect.rowPerMessage)
        parse.error = cli::fitPostPerRow(o.dialect);
    else if (dialect.kind != CodeKind::Bracket && o.glyphSource == GlyphSource::Defined
        && hasControlCharacter(o.characters))
        parse.error = cli::controlCharacterInChat(o.dialect);
    else if (dialect.kind == CodeKind::Discord && o.glyphSource == GlyphSource::Defined
        && o.characters.find('`') != std::string::npos)
        parse.error = cli::BacktickClosesFence;
    else if (o.fitPost && dialect.postLimit == 0)
        parse.error = cli::fitPostNeedsLimit(o.dialect);
    else if (o.fitLimit && (o.columns || o.rows))
        parse.error = cli::FitChoosesTheSize;
    else if (takers.size() > 1)
        parse.error = cli::standardOutputTakenTwice(takers[0], takers[1]);
    else if (!o.batch() && o.blogCodePath.empty() && o.split)
        parse.error = cli::SplitNeedsCode;
    else if (o.split && o.blogCodePath == "-")
        parse.error = cli::SplitNeedsFile;
    else if (o.split && dialect.postLimit == 0)
        parse.error = cli::splitNeedsLimit(o.dialect);
    else if (!o.batch() && o.blogCodePath.empty() && o.dialect != "blog")
        parse.error = cli::DialectNeedsCode;
    else if (!o.batch() && o.fitLimit && o.blogCodePath.empty() && o.htmlCodePath.empty())
        parse.error = cli::FitNeedsCode;
    return parse;
}

} // namespace mosaiq
