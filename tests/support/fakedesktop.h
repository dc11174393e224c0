#pragma once

#include "platform/desktop.h"

#include <QList>
#include <QMimeData>
#include <QStringList>

#include <functional>

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

    void setClipboardData(QMimeData* data) override
    {
        clipboard = data->text();
        clipboardFormats = data->formats();
        delete data;
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
    QString clipboard;
    QStringList clipboardFormats;
    int clipboardWrites = 0;
};

} // namespace mosaiq
