// Qt's own texts read French whatever the desktop's language, and the user's locale stays.
#include "platform/frenchtranslations.h"

#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QTest>

using namespace mosaiq;

class TestFrenchTranslations : public QObject {
    Q_OBJECT
private slots:
    void standardButtonsReadFrenchAndTheLocaleStays();
};

void TestFrenchTranslations::standardButtonsReadFrenchAndTheLocaleStays()
{
    // A desktop in English, as in the test's environment or a user's.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QDialogButtonBox english(QDialogButtonBox::Cancel);
    QCOMPARE(english.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')),
        QStringLiteral("Cancel"));
    {
        FrenchTranslations french;
        QVERIFY2(french.isLoaded(), "qtbase_fr.qm (qt6-translations-l10n) was not found");
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')),
            QStringLiteral("Annuler"));
        QCOMPARE(box.button(QDialogButtonBox::Open)->text().remove(QLatin1Char('&')),
            QStringLiteral("Ouvrir"));
        QCOMPARE(QLocale().decimalPoint(), QStringLiteral("."));
    }
    QVERIFY(!FrenchTranslations(QStringLiteral("/nonexistent-folder")).isLoaded());
}

QTEST_MAIN(TestFrenchTranslations)
#include "tst_frenchtranslations.moc"
