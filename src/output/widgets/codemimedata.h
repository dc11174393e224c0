#pragma once

#include "output/codes/sharedcode.h"

#include <QMimeData>

namespace mosaiq {

// A code on the clipboard as plain text alone. It shares the pane's UTF-8 code instead of
// copying it, and makes the text only when something pastes it: a code of tens of megabytes
// costs the "Copier..." button nothing.
class CodeMimeData : public QMimeData {
    Q_OBJECT
public:
    explicit CodeMimeData(SharedCode code);

    bool hasFormat(const QString& mimeType) const override;
    QStringList formats() const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    SharedCode m_code;
};

} // namespace mosaiq
