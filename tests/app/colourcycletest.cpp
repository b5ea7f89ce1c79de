#include "colourcycle.h"

#include <QSet>
#include <QTest>

class ColourCycleTest : public QObject
{
    Q_OBJECT

private slots:
    void channelRoundsToNearestTiesToEven_data();
    void channelRoundsToNearestTiesToEven();
    void sequenceIsTheSameEveryRunAndStaysDark();
};

void ColourCycleTest::channelRoundsToNearestTiesToEven_data()
{
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("channel");

    // 120 × r is exact for these r, so each row pins one rounding case.
    QTest::newRow("zero gives zero") << 0.0f << 0;
    QTest::newRow("0.5 goes down to even 0") << 0.5f / 120.0f << 0;
    QTest::newRow("1.5 goes up to even 2") << 0.0125f << 2;
    QTest::newRow("2.5 goes down to even 2") << 2.5f / 120.0f << 2;
    QTest::newRow("just under a half rounds down") << 0.25f / 120.0f << 0;
    QTest::newRow("one half gives 60") << 0.5f << 60;
    QTest::newRow("largest value below one gives 120") << 0.99999994f << 120;
}

void ColourCycleTest::channelRoundsToNearestTiesToEven()
{
    QFETCH(float, r);
    QFETCH(int, channel);
    QCOMPARE(colourChannel(r), channel);
}

void ColourCycleTest::sequenceIsTheSameEveryRunAndStaysDark()
{
    ColourCycle first;
    ColourCycle second;
    QSet<QRgb> drawn;
    for (int tick = 0; tick < 20000; ++tick) {
        const QColor colour = first.next();
        QCOMPARE(second.next(), colour);
        QVERIFY(colour.red() <= 120 && colour.green() <= 120 && colour.blue() <= 120);
        drawn << colour.rgb();
    }
    // One colour over and over would mean the generator is not drawing at all.
    QVERIFY(drawn.size() > 1);
}

QTEST_APPLESS_MAIN(ColourCycleTest)
#include "colourcycletest.moc"
