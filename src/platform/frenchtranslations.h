#pragma once

#include <QString>
#include <QTranslator>

namespace mosaiq {

// Qt's own texts in French, whatever the desktop's language: the buttons of the standard
// dialogs and message boxes, the file and colour dialogs, the text fields' context menus. Only
// the translation is installed; the default locale stays the user's, since the size fields read
// and write numbers the user's way.
class FrenchTranslations {
public:
    // Loads qtbase_fr.qm from folder (Qt's translations folder by default) into the running
    // application, for as long as this object lives. Needs a QCoreApplication.
    explicit FrenchTranslations(const QString& folder = qtTranslationsFolder());
    ~FrenchTranslations();
    FrenchTranslations(const FrenchTranslations&) = delete;
    FrenchTranslations& operator=(const FrenchTranslations&) = delete;

    // False when the file is missing or unreadable: Qt's texts then stay in English.
    bool isLoaded() const { return m_loaded; }

    static QString qtTranslationsFolder();

private:
    QTranslator m_translator;
    bool m_loaded = false;
};

} // namespace mosaiq
