#include "platform/frenchtranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace mosaiq {

FrenchTranslations::FrenchTranslations(const QString& folder)
{
    m_loaded = m_translator.load(QLocale(QLocale::French, QLocale::France),
                   QStringLiteral("qtbase"), QStringLiteral("_"), folder)
        && QCoreApplication::installTranslator(&m_translator);
}

FrenchTranslations::~FrenchTranslations()
{
    if (m_loaded)
        QCoreApplication::removeTranslator(&m_translator);
}

QString FrenchTranslations::qtTranslationsFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

} // namespace mosaiq
