#include "cli/clirun.h"

#include "convert/conversionrun.h"
#include "convert/numbertext.h"
#include "image/picturereader.h"
#include "output/blogcode.h"
#include "output/pagefile.h"
#include "wording/runmessages.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace mosaiq {

namespace {

    void say(std::FILE* err, const std::string& message)
    {
        std::fputs(message.c_str(), err);
        std::fputc('\n', err);
    }

    // A file written under a temporary name beside its final one and renamed when complete, so a
    // failed run never leaves a half-written file under the name the user asked for.
    class OutputFile {
    public:
        explicit OutputFile(std::string path)
            : m_path(std::move(path))
        {
        }
        ~OutputFile() { discard(); }

        bool open()
        {
            // A device or a pipe (/dev/stdout, /dev/full) is written in place: it cannot be
            // replaced by renaming, and has no half-written state to hide anyway.
            struct stat status;
            if (::stat(m_path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
                if (S_ISDIR(status.st_mode)) {
                    m_error = EISDIR;
                    return false;
                }
                if (!m_file.open(m_path)) {
                    m_error = -1;
                    return false;
                }
                return true;
            }
            std::string pattern = m_path + ".XXXXXX";
            const int fd = ::mkstemp(pattern.data());
            if (fd < 0) {
                m_error = errno;
                return false;
            }
            // mkstemp makes the file private; an output file gets the usual permissions.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd, 0666 & ~mask);
            ::close(fd);
            m_temporary = pattern;
            if (!m_file.open(m_temporary)) {
                m_error = -1;
                return false;
            }
            return true;
        }

        PageFile& file() { return m_file; }

        bool commit()
        {
            if (!m_file.close()) {
                m_error = -1;
                return false;
            }
            if (!m_temporary.empty() && ::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
                m_error = errno;
                return false;
            }
            m_temporary.clear();
            return true;
        }

        void discard()
        {
            m_file.close();
            if (!m_temporary.empty())
                ::unlink(m_temporary.c_str());
            m_temporary.clear();
        }

        std::string errorText() const
        {
            return m_error == -1 ? m_file.errorText() : fileErrorText(m_error);
        }
        const std::string& path() const { return m_path; }

    private:
        std::string m_path;
        std::string m_temporary;
        PageFile m_file;
        int m_error = 0;
    };

    bool writeWhole(const std::string& path, const std::string& text, std::FILE* err)
    {
        OutputFile output(path);
        if (!output.open() || !output.file().write(text) || !output.commit()) {
            say(err,
                "Impossible d'écrire le fichier « " + path + " » : " + output.errorText() + ".");
            return false;
        }
        return true;
    }

} // namespace

int runCli(const CliOptions& options, std::FILE* out, std::FILE* err)
{
    // The window's checks, in its order; the sizes default to the picture's, known only once it
    // is read, so they are checked again afterwards.
    StartFields fields;
    fields.picturePath = options.picture;
    fields.columns = options.columns ? std::string_view(*options.columns) : std::string_view("1");
    fields.rows = options.rows ? std::string_view(*options.rows) : std::string_view("1");
    fields.glyphSource = options.glyphSource;
    fields.definedCharactersEmpty = options.characters.empty();
    StartCheck check = checkStart(fields);
    if (check != StartCheck::Passed && check != StartCheck::TooLarge) {
        say(err, startCheckMessage(check));
        return ExitRefused;
    }

    const Picture picture = readPictureNative(options.picture);
    if (picture.isNull()) {
        say(err,
            "Impossible de lire l'image « " + options.picture
                + " » : " + pictureErrorText(picture).toStdString());
        return ExitPicture;
    }
    const std::string columns = options.columns.value_or(std::to_string(picture.image.width()));
    const std::string rows = options.rows.value_or(std::to_string(picture.image.height()));
    fields.columns = columns;
    fields.rows = rows;
    check = checkStart(fields);
    if (check != StartCheck::Passed) {
        say(err, startCheckMessage(check));
        return ExitRefused;
    }

    RunStart start;
    start.glyphSource = options.glyphSource;
    start.treatment = options.treatment;
    start.background = options.background;
    start.style = options.style;
    start.rows = numericValue(rows);
    ConversionRun run(start);

    const std::u32string characters = decodeUtf8(options.characters);
    RowInput input;
    input.columns = numericValue(columns);
    input.rows = start.rows;
    input.mode = options.mode;
    input.definedCharacters = characters;
    input.picture = picture.pixels();

    std::unique_ptr<OutputFile> pageOutput;
    PageFile standardOutput;
    PageFile* page = &standardOutput;
    const bool toStandardOutput = options.pagePath.empty() || options.pagePath == "-";
    if (toStandardOutput) {
        standardOutput.attach(out);
    } else {
        pageOutput = std::make_unique<OutputFile>(options.pagePath);
        if (!pageOutput->open()) {
            say(err,
                "Impossible d'écrire le fichier « " + options.pagePath
                    + " » : " + pageOutput->errorText() + ".");
            return ExitWrite;
        }
        page = &pageOutput->file();
    }
    auto pageFailed = [&] {
        const std::string name = toStandardOutput ? std::string("la sortie standard")
                                                  : "le fichier « " + options.pagePath + " »";
        const std::string reason = toStandardOutput ? page->errorText() : pageOutput->errorText();
        say(err, "Impossible d'écrire " + name + " : " + reason + ".");
        return ExitWrite;
    };

    // The codes are kept only when asked for: the page alone streams in one row of memory.
    const bool keepRows = !options.htmlCodePath.empty() || !options.blogCodePath.empty();
    std::string htmlRows;
    page->writeLine(run.header());
    while (!run.finished() && !page->failed()) {
        if (const RowOutcome outcome = run.buildRow(input); outcome != RowOutcome::Written) {
            say(err, rowOutcomeMessage(outcome));
            return ExitRefused;
        }
        page->writeLine(run.pageRow());
        if (keepRows)
            htmlRows += run.row();
    }
    page->writeLine(trailerLine(options.style));
    if (toStandardOutput ? !page->close() : !pageOutput->commit())
        return pageFailed();

    if (!options.blogCodePath.empty()) {
        std::string blog = HtmlToBlogCode(htmlRows);
        WrapBlogCode(blog, options.style.bold, options.style.italic, options.style.centred);
        if (!writeWhole(options.blogCodePath, blog, err))
            return ExitWrite;
    }
    if (!options.htmlCodePath.empty()) {
        WrapHtmlCode(htmlRows, options.style.bold, options.style.italic, options.style.centred);
        if (!writeWhole(options.htmlCodePath, htmlRows, err))
            return ExitWrite;
    }
    return ExitOk;
}

} // namespace mosaiq
