// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "methods/methods.h"
#include "base/zipformat.h"
#include "memorystreams.h"
#include "methods/scratch.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <lzma.h>

namespace {

constexpr int endMarker = zip::lzmaEndMarkerFlag;

// Half random, half from four symbols, as ROM images are: they compress to
// about half.
QByteArray sampleData(int size)
{
    QRandomGenerator random(size);
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char(i % 2 ? random.generate() : "\0\1AB"[random.bounded(4)]);
    return data;
}

// The data through an encoder of another program, which reads it on its
// standard input.
QByteArray pipeThrough(const QStringList &command, const QByteArray &data)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    process.write(data);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

// `expression` of the data `d` with Python's compression modules.
QByteArray pythonCompress(const QString &expression, const QByteArray &data)
{
    const QString script = "import sys, bz2, lzma, zipfile, zlib\n"
                           "d = sys.stdin.buffer.read()\n"
                           "sys.stdout.buffer.write(%1)";
    return pipeThrough({"python3", "-c", script.arg(expression)}, data);
}

QByteArray deflateRaw(const QByteArray &data)
{
    return pythonCompress("(lambda c: c.compress(d) + c.flush())(zlib.compressobj(6, 8, -15))",
                          data);
}

// No tool at hand writes LZMA without an end marker: liblzma does, in the ZIP
// form (version, properties size, properties, then the raw stream).
QByteArray lzmaWithoutEndMarker(const QByteArray &data)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    options.ext_flags = 0;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    QByteArray out(data.size() + data.size() / 2 + 1024, '\0');
    out.replace(0, 4, "\x10\x02\x05\x00");
    lzma_properties_encode(filters, reinterpret_cast<uint8_t *>(out.data() + 4));
    size_t size = 9;
    lzma_raw_buffer_encode(filters, nullptr, reinterpret_cast<const uint8_t *>(data.constData()),
                           size_t(data.size()), reinterpret_cast<uint8_t *>(out.data()), &size,
                           size_t(out.size()));
    return out.left(int(size));
}

// 7-Zip is the PPMd encoder at hand; its local header gives the member's bytes.
QByteArray ppmdCompress(const QByteArray &data)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("m"));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return {};
    file.close();
    QProcess::execute("7zz",
                      {"a", "-bso0", "-tzip", "-mm=PPMd", dir.filePath("a.zip"), file.fileName()});
    QFile zip(dir.filePath("a.zip"));
    if (!zip.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = zip.readAll();
    const auto field = [&](int at, int size) {
        return qFromLittleEndian<quint32>(bytes.mid(at, 4).constData()) &
               (size == 2 ? 0xffff : ~0u);
    };
    return bytes.mid(int(zip::localHeaderSize + field(26, 2) + field(28, 2)), int(field(18, 4)));
}

QByteArray compress(zip::Method method, int flags, const QByteArray &data)
{
    switch (method) {
    case zip::stored:
        return data;
    case zip::deflated:
        return deflateRaw(data);
    case zip::bzip2:
        return pythonCompress("bz2.compress(d)", data);
    case zip::lzma:
        return flags & endMarker
                   ? pythonCompress(
                         "(lambda c: c.compress(d) + c.flush())(zipfile.LZMACompressor())", data)
                   : lzmaWithoutEndMarker(data);
    case zip::zstandard:
        return pipeThrough({"zstd", "-q", "-c"}, data);
    case zip::xz:
        return pythonCompress("lzma.compress(d)", data);
    default:
        return ppmdCompress(data);
    }
}

// Two streams of one method, one after the other in a member, as tools that
// compress in parts write them.
QByteArray twoStreams(zip::Method method, const QByteArray &first, const QByteArray &second,
                      const QByteArray &between = {})
{
    return compress(method, 0, first) + between + compress(method, 0, second);
}

// A Zstandard skippable frame, which carries no data of the member.
const QByteArray skippableFrame = QByteArray::fromHex("502a4d1805000000") + "notes";

CompressedMember memberOf(zip::Method method, int flags, qsizetype compressed, qsizetype decoded,
                          bool sizesKnown = true)
{
    CompressedMember member;
    member.method = method;
    member.flags = uint16_t(flags);
    if (sizesKnown) {
        member.compressedSize = uint64_t(compressed);
        member.uncompressedSize = uint64_t(decoded);
    }
    return member;
}

const struct
{
    const char *name;
    zip::Method method;
    int flags;
} methods[] = {{"stored", zip::stored, 0},
               {"deflate", zip::deflated, 0},
               {"bzip2", zip::bzip2, 0},
               {"lzma with end marker", zip::lzma, endMarker},
               {"lzma to its size", zip::lzma, 0},
               {"zstandard", zip::zstandard, 0},
               {"xz", zip::xz, 0},
               {"ppmd", zip::ppmd, 0}};

} // namespace

class MethodsTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesEveryMethod_data();
    void decodesEveryMethod();
    void decodesStreamsOneAfterAnother_data();
    void decodesStreamsOneAfterAnother();
    void refusesDamagedStreams_data();
    void refusesDamagedStreams();
};

void MethodsTest::decodesEveryMethod_data()
{
    QTest::addColumn<zip::Method>("method");
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("sizesKnown");

    for (const auto &m : methods) {
        QTest::addRow("%s, empty", m.name) << m.method << m.flags << 0 << true;
        QTest::addRow("%s, 300 KB", m.name) << m.method << m.flags << 300000 << true;
    }
    QTest::newRow("deflate larger than the scratch memory streams")
        << zip::deflated << 0 << int(scratchSize) << true;
    QTest::newRow("deflate of unknown sizes streams") << zip::deflated << 0 << 100000 << false;
    QTest::newRow("lzma with end marker, unknown sizes")
        << zip::lzma << endMarker << 100000 << false;
    QTest::newRow("bzip2, unknown sizes") << zip::bzip2 << 0 << 100000 << false;
    QTest::newRow("zstandard, unknown sizes") << zip::zstandard << 0 << 100000 << false;
    QTest::newRow("xz, unknown sizes") << zip::xz << 0 << 100000 << false;
}

// The member's data is followed by other bytes, as the next header follows
// it in an archive; a decoder tells where its stream ended.
void MethodsTest::decodesEveryMethod()
{
    QFETCH(zip::Method, method);
    QFETCH(int, flags);
    QFETCH(int, size);
    QFETCH(bool, sizesKnown);
    const QByteArray data = sampleData(size);
    const QByteArray compressed = compress(method, flags, data);
    QVERIFY(!compressed.isEmpty() || size == 0);
    MemoryInput input(sizesKnown ? compressed : compressed + QByteArray("PK\x07\x08 next"), 7777);
    MemoryOutput output;
    const Result<uint64_t> taken = decodeMember(
        memberOf(method, flags, compressed.size(), data.size(), sizesKnown), input, output);
    QVERIFY2(taken.ok(), taken.ok() ? "" : taken.error().text.c_str());
    QCOMPARE(*taken, uint64_t(compressed.size()));
    QCOMPARE(output.bytes.size(), data.size());
    QVERIFY(output.bytes == data);
}

void MethodsTest::decodesStreamsOneAfterAnother_data()
{
    QTest::addColumn<zip::Method>("method");
    QTest::addColumn<QByteArray>("compressed");
    QTest::addColumn<QByteArray>("data");

    const QByteArray first = sampleData(70000);
    const QByteArray second = sampleData(50000);
    QTest::newRow("xz, two streams")
        << zip::xz << twoStreams(zip::xz, first, second) << first + second;
    QTest::newRow("xz, two streams with padding between")
        << zip::xz << twoStreams(zip::xz, first, second, QByteArray(8, '\0')) << first + second;
    QTest::newRow("xz, an empty stream first")
        << zip::xz << twoStreams(zip::xz, {}, second) << second;
    QTest::newRow("zstandard, two frames")
        << zip::zstandard << twoStreams(zip::zstandard, first, second) << first + second;
    QTest::newRow("zstandard, a skippable frame first")
        << zip::zstandard << skippableFrame + compress(zip::zstandard, 0, first) << first;
}

void MethodsTest::decodesStreamsOneAfterAnother()
{
    QFETCH(zip::Method, method);
    QFETCH(QByteArray, compressed);
    QFETCH(QByteArray, data);
    MemoryInput input(compressed, 7777);
    MemoryOutput output;
    const Result<uint64_t> taken =
        decodeMember(memberOf(method, 0, compressed.size(), data.size()), input, output);
    QVERIFY2(taken.ok(), taken.ok() ? "" : taken.error().text.c_str());
    QCOMPARE(*taken, uint64_t(compressed.size()));
    QVERIFY(output.bytes == data);
}

void MethodsTest::refusesDamagedStreams_data()
{
    QTest::addColumn<zip::Method>("method");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QByteArray>("compressed");
    QTest::addColumn<int>("declaredSize");

    const QByteArray data = sampleData(300000);
    const QByteArray garbage = sampleData(5000).mid(1, 4000);
    for (const auto &m : methods) {
        if (m.method == zip::stored)
            continue;
        const QByteArray compressed = compress(m.method, m.flags, data);
        QTest::addRow("%s, cut short", m.name)
            << m.method << m.flags << compressed.left(compressed.size() / 2) << 300000;
        QTest::addRow("%s, nothing", m.name) << m.method << m.flags << QByteArray() << 300000;
        QTest::addRow("%s, garbage", m.name) << m.method << m.flags << garbage << 300000;
        if (m.method != zip::lzma || m.flags)
            QTest::addRow("%s, longer than declared", m.name)
                << m.method << m.flags << compressed << 299999;
        if (m.method == zip::deflated || m.method == zip::zstandard)
            QTest::addRow("%s, shorter than declared", m.name)
                << m.method << m.flags << compressed << 300001;
    }
    const QByteArray large = deflateRaw(sampleData(int(scratchSize)));
    QTest::newRow("deflate larger than the scratch memory, cut short")
        << zip::deflated << 0 << large.left(large.size() - 100) << int(scratchSize);
    QTest::newRow("stored shorter than declared") << zip::stored << 0 << data << 300001;
    const QByteArray first = data.left(170000);
    const QByteArray second = data.mid(170000);
    QTest::newRow("xz, padding of three bytes between streams")
        << zip::xz << 0 << twoStreams(zip::xz, first, second, QByteArray(3, '\0')) << 300000;
    const QByteArray joinedXz = twoStreams(zip::xz, first, second);
    QTest::newRow("xz, two streams, the second cut short")
        << zip::xz << 0 << joinedXz.left(joinedXz.size() - 100) << 300000;
    QTest::newRow("xz, two streams shorter than declared") << zip::xz << 0 << joinedXz << 300001;
    QTest::newRow("zstandard, two frames longer than declared")
        << zip::zstandard << 0 << twoStreams(zip::zstandard, first, second) << 299999;
    QTest::newRow("zstandard, only a skippable frame")
        << zip::zstandard << 0 << skippableFrame << 10;
    QTest::newRow("lzma properties of the wrong size")
        << zip::lzma << 0 << QByteArray("\x10\x02\x06\x00\x5d\x00\x00\x10\x00\x00", 10) << 10;
}

void MethodsTest::refusesDamagedStreams()
{
    QFETCH(zip::Method, method);
    QFETCH(int, flags);
    QFETCH(QByteArray, compressed);
    QFETCH(int, declaredSize);
    MemoryInput input(compressed, 7777);
    MemoryOutput output;
    const Result<uint64_t> taken =
        decodeMember(memberOf(method, flags, compressed.size(), declaredSize), input, output);
    QVERIFY(!taken.ok());
    QCOMPARE(QString::fromStdString(taken.error().text), QStringLiteral("damaged data"));
    QVERIFY(output.bytes.size() <= declaredSize);
}

QTEST_GUILESS_MAIN(MethodsTest)
#include "methodstest.moc"
