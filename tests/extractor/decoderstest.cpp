// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// pkunzip's own decoders through decodeMember(), on streams that
// legacy_streams.py encodes (or has 7zz encode) at test time.
#include "base/zipformat.h"
#include "memorystreams.h"
#include "methods/methods.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

// The size a row declares for its member, when it is not the size the stream
// decodes to.
using DeclaredSize = std::optional<int>;
const DeclaredSize decodedSize;

constexpr int noFlags = 0;
constexpr int eightK = zip::implodeLargeDictionaryFlag;
constexpr int threeTrees = zip::implodeLiteralTreeFlag;

zip::Method reducedBy(int factor)
{
    return zip::Method(zip::reducedFactor1 + factor - 1);
}

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
        QTest::addColumn<zip::Method>("method");
        QTest::addColumn<int>("flags");
        QTest::addColumn<DeclaredSize>("declaredSize");
        QTest::addColumn<bool>("damaged");

        QTest::newRow("Shrink with a partial clear")
            << "shrink" << zip::shrunk << noFlags << decodedSize << false;
        QTest::newRow("Shrink up to 13-bit codes, table full, then cleared")
            << "shrink_full_table" << zip::shrunk << noFlags << decodedSize << false;
        QTest::newRow("Shrink cleared every 37 codes, strings as well as bytes")
            << "shrink_clears" << zip::shrunk << noFlags << decodedSize << false;
        for (int factor = 1; factor <= 4; ++factor)
            QTest::addRow("Reduce, factor %d", factor)
                << QStringLiteral("reduce_%1").arg(factor) << reducedBy(factor) << noFlags
                << decodedSize << false;
        QTest::newRow("Implode, 4K, two trees")
            << "implode_0" << zip::imploded << noFlags << decodedSize << false;
        QTest::newRow("Implode, 8K, two trees")
            << "implode_2" << zip::imploded << eightK << decodedSize << false;
        QTest::newRow("Implode, 4K, three trees")
            << "implode_4" << zip::imploded << threeTrees << decodedSize << false;
        QTest::newRow("Implode, 8K, three trees")
            << "implode_6" << zip::imploded << eightK + threeTrees << decodedSize << false;
        QTest::newRow("Deflate64, length code 285")
            << "deflate64_long" << zip::deflate64 << noFlags << decodedSize << false;
        QTest::newRow("Deflate64, far distances, stored and dynamic blocks")
            << "deflate64_far" << zip::deflate64 << noFlags << decodedSize << false;
        QTest::newRow("Deflate64, fixed block")
            << "deflate64_fixed" << zip::deflate64 << noFlags << decodedSize << false;

        QTest::newRow("Shrink stops at the declared size")
            << "shrink" << zip::shrunk << noFlags << DeclaredSize(5000) << false;
        QTest::newRow("Reduce stops at the declared size")
            << "reduce_3" << reducedBy(3) << noFlags << DeclaredSize(777) << false;
        QTest::newRow("Implode stops at the declared size")
            << "implode_6" << zip::imploded << eightK + threeTrees << DeclaredSize(60) << false;
        QTest::newRow("Deflate64 longer than declared")
            << "deflate64_far" << zip::deflate64 << noFlags << DeclaredSize(100000) << true;

        QTest::newRow("Shrink cut short")
            << "shrink_cut" << zip::shrunk << noFlags << decodedSize << true;
        QTest::newRow("Reduce cut short")
            << "reduce_cut" << reducedBy(2) << noFlags << decodedSize << true;
        QTest::newRow("Implode cut short")
            << "implode_cut" << zip::imploded << eightK + threeTrees << decodedSize << true;
        QTest::newRow("Deflate64 cut short")
            << "deflate64_cut" << zip::deflate64 << noFlags << decodedSize << true;
        QTest::newRow("Shrink code not yet made")
            << "shrink_bad_code" << zip::shrunk << noFlags << decodedSize << true;
        QTest::newRow("Reduce index past its set")
            << "reduce_bad_index" << reducedBy(1) << noFlags << decodedSize << true;
        QTest::newRow("Reduce set of 33")
            << "reduce_bad_set" << reducedBy(1) << noFlags << decodedSize << true;
        QTest::newRow("Implode tree over-subscribed")
            << "implode_bad_tree" << zip::imploded << noFlags << decodedSize << true;
        QTest::newRow("Implode tree incomplete")
            << "implode_short_tree" << zip::imploded << noFlags << decodedSize << true;
        QTest::newRow("Deflate64 lengths code over-subscribed")
            << "deflate64_bad_tree" << zip::deflate64 << noFlags << decodedSize << true;
        QTest::newRow("Deflate64 distance before the start")
            << "deflate64_bad_distance" << zip::deflate64 << noFlags << decodedSize << true;
    }

    void decode()
    {
        QFETCH(QString, stream);
        QFETCH(zip::Method, method);
        QFETCH(int, flags);
        QFETCH(DeclaredSize, declaredSize);
        QFETCH(bool, damaged);
        const QByteArray packed = contentsOf(streams.filePath(stream + ".in"));
        QByteArray expected = contentsOf(streams.filePath(stream + ".out"));
        QVERIFY(!packed.isEmpty() && !expected.isEmpty());
        if (declaredSize && !damaged)
            expected.truncate(*declaredSize);

        CompressedMember member;
        member.method = method;
        member.flags = uint16_t(flags);
        member.compressedSize = uint64_t(packed.size());
        member.uncompressedSize = uint64_t(declaredSize.value_or(int(expected.size())));
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
        if (!declaredSize)
            QCOMPARE(*consumed, uint64_t(packed.size()));
    }

private:
    QTemporaryDir streams;
};

QTEST_GUILESS_MAIN(DecodersTest)
#include "decoderstest.moc"
