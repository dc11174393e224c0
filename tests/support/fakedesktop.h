#pragma once

#include "platform/desktop.h"

#include <QList>
#include <QMimeData>
#include <QStringList>

#include <functional>
#include <memory>

namespace mosaiq {

// Answers every dialog at once with what the test chose and records what the window asked.
class FakeDesktop : public Desktop {
public:
    QString openFileName(QWidget*, const QString& filter) override
    {
        filters << filter;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }

    std::optional<QColor> chooseColour(QWidget*, const QColor& initial) override
    {
        colourPresets << initial;
        return colourAnswer;
    }

    void showInformation(QWidget*, const QString& title, const QString& text) override
    {
        titles << title;
        messages << text;
        if (onMessage)
            onMessage(text);
    }

    bool openUrl(const QUrl& url) override
    {
        openedUrls << url;
        return browserAnswers;
    }

    // Kept as the window handed it over, to be read when the test pastes, as a desktop would.
    void setClipboardData(QMimeData* data) override
    {
        clipboard.reset(data);
        ++clipboardWrites;
    }

    QStringList fileAnswers;
    QStringList filters;
    std::optional<QColor> colourAnswer;
    QList<QColor> colourPresets;
    QStringList titles;
    QStringList messages;
    std::function<void(const QString&)> onMessage;
    bool browserAnswers = true;
    QList<QUrl> openedUrls;
    std::unique_ptr<QMimeData> clipboard;
    int clipboardWrites = 0;
};

} // namespace mosaiq
