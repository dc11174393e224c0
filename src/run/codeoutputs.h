#pragma once

#include "convert/rowloop.h"
#include "output/codes/blogcode.h"
#include "output/codes/bracketcode.h"
#include "output/codes/codesink.h"
#include "output/codes/postfill.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace mosaiq {

// The codes of a run of mosaiq-cli or of the page in the browser, written as the rows come: the
// HTML code, the blog code translated from it or the dialect's bracket or chat code written from
// the cells, and that code's posts. Each goes to a sink that the front end gives (a file, the
// module's memory); the bytes are the same whichever. The window keeps its own codes: it wraps
// them in the style boxes as they stand when its run ends, not as it starts.
class CodeOutputs : public RowSink {
public:
    struct Sinks {
        CodeSink* html = nullptr; // null: not made
        CodeSink* blog = nullptr; // the blog code or the bracket code; null: not made
        // The bracket code cut into posts of the dialect's limit; null: not cut. A chat whose
        // every row is a message has nothing to cut.
        PostSink* posts = nullptr;
    };

    // fromCells: the dialect's code written from the cells (bracketCodeFromCells) rather than
    // the blog code translated from the HTML rows. forms: the colour texts of the best runs.
    CodeOutputs(const Sinks& sinks, const ForumDialect& dialect, bool fromCells,
        const StyleFlags& style, ColourForms forms = {});

    bool wantsCells() const override { return m_bracket.has_value(); }
    void rowBuilt(const BuiltRow& row) override;

    // For the rows of a run whose first rows, with the opening tags, another makes.
    void skipOpening() { m_started = true; }
    // After the last row: the closing tags and the last post. False once a sink failed.
    bool finish();

    // Whether a sink failed; the run then ends, and the front end tells which.
    bool failed() const { return m_failed; }
    // The first row (from 1) too long for a post of the dialect even alone, or where each row is
    // a message, longer than a message: the code cannot be posted. 0 when none.
    std::int64_t rowTooLong() const;
    // The posts the code was cut into; 0 when it fits one.
    std::size_t posts() const { return m_posts ? m_posts->parts() : 0; }
    // The bytes of the blog or bracket code's rows, without the style tags.
    std::size_t blogBytes() const { return m_blogBytes; }

private:
    // The opening tags, once, before the first row or the closing tags.
    void open();
    bool fail();

    Sinks m_sinks;
    const ForumDialect& m_dialect;
    CodeWrapping m_htmlTags;
    CodeWrapping m_blogTags;
    std::optional<BracketCode> m_bracket;
    std::optional<PostFill> m_posts;
    std::string m_blogRow; // a translated row, for a sink that lends no memory
    std::size_t m_blogBytes = 0;
    bool m_started = false;
    bool m_failed = false;
};

} // namespace mosaiq
