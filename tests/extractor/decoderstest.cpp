// pkunzip's own decoders through decodeMember(), on streams that
// legacy_streams.py encodes (or has 7zz encode) at test time.
#include "memorystreams.h"
#include "methods/methods.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class DecodersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(streams.isValid());
        QProcess encoder;
        encoder.start(PYTHON_PATH, {LEGACY_STREAMS_SCRIPT, streams.path()});
        QVERIFY(encoder.waitForFinished(120000));
        QCOMPARE(encoder.exitCode(), 0);
    }

    void decode_data()
    {
        QTest::addColumn<QString>("stream");
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("declaredSize"); // -1: the whole data
        QTest::addColumn<bool>("damaged");

        QTest::newRow("Shrink with a partial clear") << "shrink" << 1 << 0 << -1 << false;
        QTest::newRow("Shrink up to 13-bit codes, table full, then cleared")
            << "shrink_full_table" << 1 << 0 << -1 << false;
        QTest::newRow("Shrink cleared every 37 codes, strings as well as bytes")
            << "shrink_clears" << 1 << 0 << -1 << false;
        for (int factor = 1; factor <= 4; ++factor)
            QTest::addRow("Reduce, factor %d", factor)
                << QStringLiteral("reduce_%1").arg(factor) << 1 + factor << 0 << -1 << false;
        QTest::newRow("Implode, 4K, two trees") << "implode_0" << 6 << 0 << -1 << false;
        QTest::newRow("Implode, 8K, two trees") << "implode_2" << 6 << 2 << -1 << false;
        QTest::newRow("Implode, 4K, three trees") << "implode_4" << 6 << 4 << -1 << false;
        QTest::newRow("Implode, 8K, three trees") << "implode_6" << 6 << 6 << -1 << false;
        QTest::newRow("Deflate64, length code 285") << "deflate64_long" << 9 << 0 << -1 << false;
        QTest::newRow("Deflate64, far distances, stored and dynamic blocks")
            << "deflate64_far" << 9 << 0 << -1 << false;
        QTest::newRow("Deflate64, fixed block") << "deflate64_fixed" << 9 << 0 << -1 << false;

        QTest::newRow("Shrink stops at the declared size") << "shrink" << 1 << 0 << 5000 << false;
        QTest::newRow("Reduce stops at the declared size") << "reduce_3" << 4 << 0 << 777 << false;
        QTest::newRow("Implode stops at the declared size") << "implode_6" << 6 << 6 << 60 << false;
        QTest::newRow("Deflate64 longer than declared")
            << "deflate64_far" << 9 << 0 << 100000 << true;

        QTest::newRow("Shrink cut short") << "shrink_cut" << 1 << 0 << -1 << true;
        QTest::newRow("Reduce cut short") << "reduce_cut" << 3 << 0 << -1 << true;
        QTest::newRow("Implode cut short") << "implode_cut" << 6 << 6 << -1 << true;
        QTest::newRow("Deflate64 cut short") << "deflate64_cut" << 9 << 0 << -1 << true;
        QTest::newRow("Shrink code not yet made") << "shrink_bad_code" << 1 << 0 << -1 << true;
        QTest::newRow("Reduce index past its set") << "reduce_bad_index" << 2 << 0 << -1 << true;
        QTest::newRow("Reduce set of 33") << "reduce_bad_set" << 2 << 0 << -1 << true;
        QTest::newRow("Implode tree over-subscribed") << "implode_bad_tree" << 6 << 0 << -1 << true;
        QTest::newRow("Implode tree incomplete") << "implode_short_tree" << 6 << 0 << -1 << true;
        QTest::newRow("Deflate64 lengths code over-subscribed")
            << "deflate64_bad_tree" << 9 << 0 << -1 << true;
        QTest::newRow("Deflate64 distance before the start")
            << "deflate64_bad_distance" << 9 << 0 << -1 << true;
    }

    void decode()
    {
        QFETCH(QString, stream);
        QFETCH(int, method);
        QFETCH(int, flags);
        QFETCH(int, declaredSize);
        QFETCH(bool, damaged);
        const QByteArray packed = contentsOf(streams.filePath(stream + ".in"));
        QByteArray expected = contentsOf(streams.filePath(stream + ".out"));
        QVERIFY(!packed.isEmpty() && !expected.isEmpty());
        if (declaredSize >= 0 && !damaged)
            expected.truncate(declaredSize);

        CompressedMember member;
        member.method = uint16_t(method);
        member.flags = uint16_t(flags);
        member.compressedSize = uint64_t(packed.size());
        member.uncompressedSize = uint64_t(declaredSize >= 0 ? declaredSize : expected.size());
        MemoryInput input(packed, 777);
        MemoryOutput output;
        const Result<uint64_t> consumed = decodeMember(member, input, output);

        QVERIFY(uint64_t(output.bytes.size()) <= *member.uncompressedSize);
        if (damaged) {
            QVERIFY(!consumed);
            QCOMPARE(QString::fromStdString(consumed.error().text), QStringLiteral("damaged data"));
            return;
        }
        QVERIFY2(consumed, consumed ? "" : consumed.error().text.c_str());
        QCOMPARE(output.bytes, expected);
        if (declaredSize < 0)
            QCOMPARE(*consumed, uint64_t(packed.size()));
    }

private:
    QTemporaryDir streams;
};

QTEST_GUILESS_MAIN(DecodersTest)
#include "decoderstest.moc"
