#include "engine/pptx/XmlText.h"

#include <QTest>
#include <QXmlStreamReader>

using kestrane::presentation::escapeXml;

class TestXmlText : public QObject
{
    Q_OBJECT

private slots:
    void escaping_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("escaped");

        // plain and special characters
        QTest::newRow("plain") << QByteArray("image3.jpg") << QByteArray("image3.jpg");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("specials") << QByteArray("a&b<c>d\"e'f")
                                  << QByteArray("a&amp;b&lt;c&gt;d&quot;e&apos;f");
        QTest::newRow("already escaped") << QByteArray("&amp;") << QByteArray("&amp;amp;");
        QTest::newRow("blanks") << QByteArray("a\tb\nc\rd") << QByteArray("a&#9;b&#10;c&#13;d");

        // UTF-8 passes unchanged
        QTest::newRow("umlaut") << QByteArray("Bild \xC3\xA4.jpg") << QByteArray("Bild \xC3\xA4.jpg");
        QTest::newRow("cjk") << QByteArray("\xE5\x86\x99\xE7\x9C\x9F.jpg")
                             << QByteArray("\xE5\x86\x99\xE7\x9C\x9F.jpg");
        QTest::newRow("emoji") << QByteArray("\xF0\x9F\x93\xB7") << QByteArray("\xF0\x9F\x93\xB7");

        // what XML cannot hold becomes U+FFFD
        QTest::newRow("control") << QByteArray("a\x01z") << QByteArray("a\xEF\xBF\xBDz");
        QTest::newRow("latin1 byte") << QByteArray("caf\xE9.jpg") << QByteArray("caf\xEF\xBF\xBD.jpg");
        QTest::newRow("cut sequence") << QByteArray("\xE5\x86") << QByteArray("\xEF\xBF\xBD\xEF\xBF\xBD");
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << QByteArray("\xEF\xBF\xBD\xEF\xBF\xBD");
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80")
                                   << QByteArray("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
        QTest::newRow("non-character")
            << QByteArray("\xEF\xBF\xBE") << QByteArray("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
        QTest::newRow("beyond unicode")
            << QByteArray("\xF4\x90\x80\x80") << QByteArray(4, 'x').replace("x", "\xEF\xBF\xBD");
    }

    void escaping()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, escaped);
        QCOMPARE(QByteArray::fromStdString(escapeXml(input.toStdString())), escaped);
    }

    // Written into an attribute and parsed back, valid text comes back unchanged.
    void reparse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("specials") << QStringLiteral("<\"Tom & Jerry's\">.jpg");
        QTest::newRow("blanks") << QStringLiteral(" two  spaces\tand\nlines\r");
        QTest::newRow("non-ascii") << QString::fromUtf8(
            "Fotos \xC3\xA4\xC3\xB6\xC3\xBC / \xE5\x86\x99\xE7\x9C\x9F \xF0\x9F\x93\xB7");
    }

    void reparse()
    {
        QFETCH(QString, text);
        const std::string attribute = escapeXml(text.toStdString());
        QXmlStreamReader xml(QByteArray::fromStdString("<p descr=\"" + attribute + "\"/>"));
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.attributes().value(QStringLiteral("descr")).toString(), text);
    }
};

QTEST_APPLESS_MAIN(TestXmlText)
#include "tst_xml_text.moc"
