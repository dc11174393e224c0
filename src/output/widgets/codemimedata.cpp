#include "output/widgets/codemimedata.h"

#include "output/widgets/codetext.h"

#include <new>

namespace mosaiq {

namespace {

    const QString PlainText = QStringLiteral("text/plain");
    const QString PlainUtf8 = QStringLiteral("text/plain;charset=utf-8");

} // namespace

CodeMimeData::CodeMimeData(SharedCode code)
    : m_code(std::move(code))
{
}

bool CodeMimeData::hasFormat(const QString& mimeType) const
{
    return mimeType == PlainText || mimeType == PlainUtf8;
}

QStringList CodeMimeData::formats() const
{
    return { PlainText, PlainUtf8 };
}

QVariant CodeMimeData::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (!hasFormat(mimeType))
        return {};
    // Asked for from the event loop when another program pastes: without the memory for the
    // text, that paste gets nothing rather than the program ending.
    try {
        if (type.id() == QMetaType::QString)
            return codeToText(m_code.view());
        return QByteArray(m_code.data(), qsizetype(m_code.size()));
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace mosaiq
