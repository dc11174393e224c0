#include "cli/clioptions.h"

#include "wording/batchwords.h"
#include "wording/cliwords.h"
#include "wording/forumwords.h"
#include "wording/pngwords.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace mosaiq {

namespace {

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

} // namespace

CliParse parseCliOptions(const std::vector<std::string>& arguments, bool standardOutputIsTerminal)
{
    CliParse parse;
    CliOptions& o = parse.options;
    bool pageGiven = false, jobsGiven = false, scaleGiven = false;
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
        } else if (const auto taken = runOptionValue(name)) {
            if ((*taken == OptionValue::Required && !takeValue())
                || (*taken == OptionValue::None && !noValue()))
                return parse;
            // A word after --merge that would be its tolerance.
            if (*taken == OptionValue::AttachedOnly && !inlineValue && i + 1 < arguments.size()) {
                RunOptions probe;
                if (readRunOption(probe, name, arguments[i + 1]).empty())
                    mergeWordApart = arguments[i + 1];
            }
            const bool valued = *taken == OptionValue::Required || inlineValue;
            parse.error = readRunOption(
                o, name, valued ? std::optional<std::string_view>(value) : std::nullopt);
            if (!parse.error.empty())
                return parse;
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
            const auto jobs = readCount(value, 3);
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
    parse.error = completeRunOptions(o);
    if (!parse.error.empty())
        return parse;
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
    else if (const std::string refusal = runOptionsRefusal(o); !refusal.empty())
        parse.error = refusal;
    else if (takers.size() > 1)
        parse.error = cli::standardOutputTakenTwice(takers[0], takers[1]);
    else if (!o.batch() && o.blogCodePath.empty() && o.split)
        parse.error = cli::SplitNeedsCode;
    else if (o.split && o.blogCodePath == "-")
        parse.error = cli::SplitNeedsFile;
    else if (const std::string refusal = splitRefusal(o); !refusal.empty())
        parse.error = refusal;
    else if (!o.batch() && o.blogCodePath.empty() && o.dialect != "blog")
        parse.error = cli::DialectNeedsCode;
    else if (!o.batch() && o.fitLimit && o.blogCodePath.empty() && o.htmlCodePath.empty())
        parse.error = cli::FitNeedsCode;
    return parse;
}

} // namespace mosaiq
