#include "base/Placement.h"

#include <QTest>

using namespace kestrane;

class TestNumeric : public QObject
{
    Q_OBJECT

private slots:
    void parseNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<double>("value");

        // plain decimal numbers
        QTest::newRow("whole") << "612" << true << 612.0;
        QTest::newRow("negative") << "-60" << true << -60.0;
        QTest::newRow("plus sign") << "+7" << true << 7.0;
        QTest::newRow("fraction") << "12.5" << true << 12.5;
        QTest::newRow("trailing zero kept as number") << "55.50" << true << 55.5;
        QTest::newRow("point first") << ".5" << true << 0.5;
        QTest::newRow("point last") << "5." << true << 5.0;
        QTest::newRow("exponent") << "1e3" << true << 1000.0;
        QTest::newRow("signed exponent") << "-2.5E-1" << true << -0.25;
        QTest::newRow("negative zero") << "-0" << true << 0.0;
        QTest::newRow("leading zeros") << "007" << true << 7.0;
        QTest::newRow("underflow reads as zero") << "1e-400" << true << 0.0;
        QTest::newRow("largest finite") << "1.7976931348623157e308" << true << 1.7976931348623157e308;
        // not numbers
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("sign only") << "-" << false << 0.0;
        QTest::newRow("point only") << "." << false << 0.0;
        QTest::newRow("two signs") << "--1" << false << 0.0;
        QTest::newRow("two points") << "1.2.3" << false << 0.0;
        QTest::newRow("exponent without digits") << "1e" << false << 0.0;
        QTest::newRow("exponent without mantissa") << "e5" << false << 0.0;
        QTest::newRow("leading blank") << " 1" << false << 0.0;
        QTest::newRow("trailing blank") << "1 " << false << 0.0;
        QTest::newRow("comma decimal") << "1,5" << false << 0.0;
        QTest::newRow("thousands separator") << "1,000" << false << 0.0;
        QTest::newRow("hexadecimal") << "0x10" << false << 0.0;
        QTest::newRow("infinity") << "inf" << false << 0.0;
        QTest::newRow("nan") << "nan" << false << 0.0;
        QTest::newRow("overflow") << "1e309" << false << 0.0;
        QTest::newRow("currency") << "$5" << false << 0.0;
        QTest::newRow("trailing letter") << "12px" << false << 0.0;
        QTest::newRow("embedded NUL") << QString::fromUtf8("1\0002", 3) << false << 0.0;
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("\xd9\xa1") << false << 0.0;
    }

    void parseNumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(double, value);
        const std::string utf8 = text.toStdString();
        const auto parsed = kestrane::parseNumber(utf8);
        QCOMPARE(parsed.has_value(), numeric);
        QCOMPARE(isNumeric(utf8), numeric);
        if (numeric)
            QCOMPARE(*parsed, value);
    }

    void validDimensions_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<bool>("valid");

        QTest::newRow("defaults") << "612"
                                  << "792" << true;
        QTest::newRow("halves") << "0.5"
                                << "0.5" << true;
        QTest::newRow("tiny and huge") << "1e-300"
                                       << "1e300" << true;
        QTest::newRow("zero width") << "0"
                                    << "792" << false;
        QTest::newRow("negative height") << "612"
                                         << "-1" << false;
        QTest::newRow("negative zero") << "-0"
                                       << "10" << false;
        QTest::newRow("empty width") << ""
                                     << "792" << false;
        QTest::newRow("letters") << "abc"
                                 << "792" << false;
        QTest::newRow("empty height") << "612"
                                      << "" << false;
        QTest::newRow("default top edge is no size") << "-60"
                                                     << "792" << false;
    }

    void validDimensions()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(bool, valid);
        QCOMPARE(ValidDimensions(width.toStdString(), height.toStdString()), valid);
    }

    void validPosition_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("top");
        QTest::addColumn<bool>("valid");

        QTest::newRow("defaults") << "55"
                                  << "-60" << true;
        QTest::newRow("zeros") << "0"
                               << "0" << true;
        QTest::newRow("fraction and large") << "-2.5"
                                            << "800" << true;
        QTest::newRow("empty top") << "55"
                                   << "" << false;
        QTest::newRow("letter left") << "x"
                                     << "1" << false;
    }

    void validPosition()
    {
        QFETCH(QString, left);
        QFETCH(QString, top);
        QFETCH(bool, valid);
        QCOMPARE(ValidPosition(left.toStdString(), top.toStdString()), valid);
    }
};

QTEST_GUILESS_MAIN(TestNumeric)
#include "tst_numeric.moc"
