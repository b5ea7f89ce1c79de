#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

// The pictures are the program's own data: each must have the form and pixel
// size the windows are laid out for.
class PicturesTest : public QObject
{
    Q_OBJECT

private slots:
    void jpegSizes_data();
    void jpegSizes();
    void iconsHoldTwoSixteenColourImages_data();
    void iconsHoldTwoSixteenColourImages();
};

void PicturesTest::jpegSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    QTest::newRow("background") << ":/pictures/background.jpg" << QSize(460, 345);
    QTest::newRow("button") << ":/pictures/button.jpg" << QSize(343, 98);
    QTest::newRow("banner") << ":/pictures/banner.jpg" << QSize(270, 48);
}

void PicturesTest::jpegSizes()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY2(file.peek(3) == QByteArray("\xff\xd8\xff"), "not a JPEG file");
    QCOMPARE(QImage(path).size(), size);
}

void PicturesTest::iconsHoldTwoSixteenColourImages_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("window icon") << ":/pictures/vrillo.ico";
    QTest::newRow("small icon") << ":/pictures/small.ico";
}

// Reads the icon directory and each image's bitmap header, where the colour
// depth is recorded; a decoded QImage would not tell it.
void PicturesTest::iconsHoldTwoSixteenColourImages()
{
    QFETCH(QString, path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    QVERIFY(bytes.size() > 6);
    QCOMPARE(qFromLittleEndian<quint16>(data + 2), quint16(1));
    QCOMPARE(qFromLittleEndian<quint16>(data + 4), quint16(2));

    QList<int> sides;
    for (int entry = 0; entry < 2; ++entry) {
        const uchar *dir = data + 6 + 16 * entry;
        QVERIFY(bytes.size() >= 6 + 16 * (entry + 1));
        QCOMPARE(int(dir[0]), int(dir[1]));
        QCOMPARE(int(dir[2]), 16);
        const quint32 offset = qFromLittleEndian<quint32>(dir + 12);
        QVERIFY(offset + 40 <= quint32(bytes.size()));
        const uchar *bitmap = data + offset;
        QCOMPARE(qFromLittleEndian<quint32>(bitmap), quint32(40));
        QCOMPARE(qFromLittleEndian<qint32>(bitmap + 4), qint32(dir[0]));
        QCOMPARE(qFromLittleEndian<quint16>(bitmap + 14), quint16(4));
        sides << dir[0];
    }
    std::sort(sides.begin(), sides.end());
    QCOMPARE(sides, QList<int>({16, 32}));
    QVERIFY(!QImage(path).isNull());
}

QTEST_APPLESS_MAIN(PicturesTest)
#include "picturestest.moc"
