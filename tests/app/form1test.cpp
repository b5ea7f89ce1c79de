#include <QTest>
class Form1Test : public QObject
{
    Q_OBJECT private slots : void placeholder() { QVERIFY(true); }
};
QTEST_MAIN(Form1Test)
#include "form1test.moc"
