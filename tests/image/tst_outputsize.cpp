// Halving and doubling the output size in the user's number format.
#include "image/outputsize.h"

#include <QTest>

using namespace mosaiq;

class TestOutputSize : public QObject {
    Q_OBJECT
private slots:
    void bothFieldsScale_data();
    void bothFieldsScale();
    void aFieldThatIsNotANumberChangesNeither_data();
    void aFieldThatIsNotANumberChangesNeither();
    void halvingThenDoublingGivesBackTheSize();
};

void TestOutputSize::bothFieldsScale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<double>("factor");
    QTest::addColumn<QString>("expectedX");
    QTest::addColumn<QString>("expectedY");
    const QLocale c = QLocale::c();
    const QLocale french(QLocale::French, QLocale::France);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("320 x 240 halved") << c << "320"
                                      << "240" << 0.5 << "160"
                                      << "120";
    QTest::newRow("160 x 120 halved") << c << "160"
                                      << "120" << 0.5 << "80"
                                      << "60";
    QTest::newRow("80 x 60 doubled") << c << "80"
                                     << "60" << 2.0 << "160"
                                     << "120";
    QTest::newRow("odd, point") << c << "75"
                                << "37.5" << 0.5 << "37.5"
                                << "18.75";
    QTest::newRow("odd, comma") << french << "75"
                                << "37,5" << 0.5 << "37,5"
                                << "18,75";
    QTest::newRow("German comma") << german << "1"
                                  << "3" << 0.5 << "0,5"
                                  << "1,5";
    QTest::newRow("whole numbers have no decimals") << french << "37,5"
                                                    << "0,5" << 2.0 << "75"
                                                    << "1";
    QTest::newRow("no grouping, French") << french << "1234567"
                                         << "8" << 2.0 << "2469134"
                                         << "16";
    QTest::newRow("no grouping, English") << english << "1234567"
                                          << "8" << 2.0 << "2469134"
                                          << "16";
    QTest::newRow("grouped input is read") << english << "1,234,568"
                                           << "8" << 0.5 << "617284"
                                           << "4";
    QTest::newRow("spaces around") << c << " 150 "
                                   << "60 " << 0.5 << "75"
                                   << "30";
    QTest::newRow("negative") << c << "-5"
                              << "-3" << 0.5 << "-2.5"
                              << "-1.5";
    QTest::newRow("zero") << c << "0"
                          << "0" << 2.0 << "0"
                          << "0";
    QTest::newRow("15 significant digits") << c << "1"
                                           << "3" << 1.0 / 3.0 << "0.333333333333333"
                                           << "1";
    QTest::newRow("large") << c << "1e300"
                           << "1" << 2.0 << "2e+300"
                           << "2";
    QTest::newRow("below the range goes to 0") << c << "4.9e-324"
                                               << "1" << 0.5 << "0"
                                               << "0.5";
}

void TestOutputSize::bothFieldsScale()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(double, factor);
    QFETCH(QString, expectedX);
    QFETCH(QString, expectedY);
    const ScaledSize result = scaleOutputSize(x, y, factor, locale);
    QCOMPARE(result.error, ScaleError::None);
    QCOMPARE(result.columns, expectedX);
    QCOMPARE(result.rows, expectedY);
}

void TestOutputSize::aFieldThatIsNotANumberChangesNeither_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<double>("factor");
    QTest::addColumn<ScaleError>("error");
    QTest::addColumn<QString>("named");
    const QLocale c = QLocale::c();
    const QLocale french(QLocale::French, QLocale::France);
    QTest::newRow("empty columns")
        << c << ""
        << "60" << 0.5 << ScaleError::ColumnsNotANumber << "largeur est vide";
    QTest::newRow("letters in rows") << c << "150"
                                     << "abc" << 0.5 << ScaleError::RowsNotANumber << "abc";
    QTest::newRow("trailing letters") << c << "12abc"
                                      << "60" << 2.0 << ScaleError::ColumnsNotANumber << "12abc";
    QTest::newRow("point under French") << french << "150"
                                        << "37.5" << 0.5 << ScaleError::RowsNotANumber << "37.5";
    QTest::newRow("comma under C") << c << "37,5"
                                   << "2" << 0.5 << ScaleError::ColumnsNotANumber << "37,5";
    QTest::newRow("infinity") << c << "inf"
                              << "2" << 0.5 << ScaleError::ColumnsNotANumber << "inf";
    QTest::newRow("not a number") << c << "1"
                                  << "nan" << 0.5 << ScaleError::RowsNotANumber << "nan";
    QTest::newRow("doubling past the range") << c << "1"
                                             << "1.5e308" << 2.0 << ScaleError::OutOfRange << "";
}

void TestOutputSize::aFieldThatIsNotANumberChangesNeither()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(double, factor);
    QFETCH(ScaleError, error);
    QFETCH(QString, named);
    const ScaledSize result = scaleOutputSize(x, y, factor, locale);
    QCOMPARE(result.error, error);
    QCOMPARE(result.columns, x);
    QCOMPARE(result.rows, y);
    const QString message = scaleErrorText(result);
    QVERIFY2(message.contains(named), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("inchangées")));
}

void TestOutputSize::halvingThenDoublingGivesBackTheSize()
{
    const QLocale french(QLocale::French, QLocale::France);
    ScaledSize size { QStringLiteral("75"), QStringLiteral("33"), ScaleError::None };
    for (int i = 0; i < 4; ++i)
        size = scaleOutputSize(size.columns, size.rows, 0.5, french);
    QCOMPARE(size.columns, QStringLiteral("4,6875"));
    for (int i = 0; i < 4; ++i)
        size = scaleOutputSize(size.columns, size.rows, 2.0, french);
    QCOMPARE(size.columns, QStringLiteral("75"));
    QCOMPARE(size.rows, QStringLiteral("33"));
}

QTEST_GUILESS_MAIN(TestOutputSize)
#include "tst_outputsize.moc"
