// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run
{
    int status = -1;
    QStringList out;
    QStringList err;
};

QStringList linesOf(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QProcessEnvironment testEnvironment()
{
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    return environment;
}

// Standard input stays open and unwritten: a run that waited for an answer
// would never finish.
Run runProgram(const QString &program, const QStringList &arguments, const QString &workingDir,
               const QProcessEnvironment &environment = testEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = linesOf(process.readAllStandardOutput());
    run.err = linesOf(process.readAllStandardError());
    return run;
}

QString fileEntry(const QString &relative, const QString &absolute)
{
    QFile file(absolute);
    if (!file.open(QIODevice::ReadOnly))
        return relative + QStringLiteral("=<unreadable>");
    if (file.size() > 64)
        return relative + QStringLiteral("=<%1 bytes>").arg(file.size());
    return relative + QLatin1Char('=') + QString::fromUtf8(file.readAll());
}

QString linkTextOf(const QString &path)
{
    QByteArray buffer(4096, '\0');
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer.data(),
                                      static_cast<size_t>(buffer.size()));
    return length < 0 ? QString() : QString::fromUtf8(buffer.left(length));
}

// Everything beneath dir, hidden entries included, links not followed:
// "name=content" for files ("<N bytes>" when long), "name/" for directories,
// "name -> target" for links.
QStringList describeTree(const QString &dir)
{
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString absolute = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = QDir(dir).relativeFilePath(absolute);
        if (info.isSymLink())
            entries << relative + QStringLiteral(" -> ") + linkTextOf(absolute);
        else if (info.isDir())
            entries << relative + QLatin1Char('/');
        else
            entries << fileEntry(relative, absolute);
    }
    entries.sort();
    return entries;
}

// The name part of a tree entry or an output line: "a/b=x" and "a/b -> c"
// give "a/b"; directories keep their "/".
QString nameOf(const QString &entry)
{
    const int link = entry.indexOf(QStringLiteral(" -> "));
    if (link >= 0)
        return entry.left(link);
    const int equals = entry.indexOf(QLatin1Char('='));
    return equals >= 0 ? entry.left(equals) : entry;
}

// Status, size, times and inode of every entry, to show that nothing changed.
QStringList snapshot(const QString &dir)
{
    QStringList states;
    for (const QString &entry : describeTree(dir)) {
        struct stat status;
        const QByteArray path = QFile::encodeName(dir + QLatin1Char('/') + nameOf(entry));
        if (::lstat(path.constData(), &status) != 0)
            return {QStringLiteral("cannot stat ") + entry};
        states << QStringLiteral("%1 mode %2 inode %3 mtime %4.%5")
                      .arg(entry)
                      .arg(status.st_mode, 0, 8)
                      .arg(status.st_ino)
                      .arg(status.st_mtim.tv_sec)
                      .arg(status.st_mtim.tv_nsec);
    }
    return states;
}

// "path digest" for every file beneath dir, as make_archives.py writes them.
QStringList digests(const QString &dir)
{
    QStringList lines;
    for (const QString &entry : describeTree(dir)) {
        QFile file(dir + QLatin1Char('/') + nameOf(entry));
        if (QFileInfo(file).isSymLink() || !file.open(QIODevice::ReadOnly))
            continue;
        lines << QStringLiteral("%1 %2").arg(
            nameOf(entry),
            QString::fromLatin1(
                QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex()));
    }
    return lines;
}

// The lines of NAME.expected that start with kind, without it.
QStringList expectedLines(const QStringList &expected, const QString &kind)
{
    QStringList lines;
    for (const QString &line : expected)
        if (line.startsWith(kind))
            lines << line.mid(kind.size());
    return lines;
}

// The system calls in a trace, a call the trace splits in two counted once.
QStringList tracedCalls(const QString &traceFile)
{
    QFile trace(traceFile);
    if (!trace.open(QIODevice::ReadOnly))
        return {QStringLiteral("no trace")};
    QStringList calls;
    for (const QString &line : linesOf(trace.readAll()))
        if (!line.contains(QStringLiteral(" resumed>")))
            calls << line;
    return calls;
}

// The calls of a trace that tried a way of naming files the drive lacks:
// an unnamed file, a rename that does not replace, a hard link.
int refusedNamingCalls(const QString &traceFile)
{
    const QRegularExpression refused(
        QStringLiteral("(O_TMPFILE|renameat2\\(|linkat\\().* = -1 E(INVAL|OPNOTSUPP|PERM|NOSYS)"));
    return tracedCalls(traceFile).filter(refused).size();
}

// A drive image of one file system, mounted through the driver a desktop
// mounts it with, or why it is not.
struct Drive
{
    QString mountPoint;
    QString loopDevice;
    QString notMounted;
};

// An administration tool, found where Debian keeps them even when they are
// not on the path; empty when not installed.
QString systemTool(const QString &name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin"}) : found;
}

struct DriveKind
{
    QString name;
    QStringList format;
    QStringList mount;
};

// NTFS as the desktop mounts it, refusing the names Windows refuses; FAT32
// and exFAT through FUSE, without hard links or rename flags.
const QList<DriveKind> &driveKinds()
{
    static const QList<DriveKind> kinds = {
        {"NTFS", {"mkntfs", "-q", "-F", "-f"}, {"ntfs-3g", "-o", "windows_names"}},
        {"exFAT", {"mkfs.exfat"}, {"mount.exfat-fuse"}},
        {"FAT32", {"mkfs.vfat", "-F", "32"}, {"fusefat", "-o", "rw+"}},
    };
    return kinds;
}

// The members of nested.zip, which holds a stored ZIP between two files.
QStringList nestedTree()
{
    return {"big.bin=<20000 bytes>", "inner.zip=<3126 bytes>", "outer.txt=outer\n"};
}

} // namespace

class PkunzipTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void extractsWholeArchives_data();
    void extractsWholeArchives();
    void extractsWhatOneHeaderVerifies_data();
    void extractsWhatOneHeaderVerifies();
    void refusesAndReportsBadMembers_data();
    void refusesAndReportsBadMembers();
    void refusesNamesTheKernelReadsOtherwise_data();
    void refusesNamesTheKernelReadsOtherwise();
    void takesNamesOneFileSystemFoldsInOrder_data();
    void takesNamesOneFileSystemFoldsInOrder();
    void neverReplacesTheUsersEntries_data();
    void neverReplacesTheUsersEntries();
    void rejectsUnreadableArchives_data();
    void rejectsUnreadableArchives();
    void decodesNamesWhateverTheLocale_data();
    void decodesNamesWhateverTheLocale();
    void handlesArguments_data();
    void handlesArguments();
    void createsMissingTargetLevels_data();
    void createsMissingTargetLevels();
    void targetThatIsAFileIsFatal();
    void secondRunChangesNoByte();
    void extractsSideBySideAsInOrder_data();
    void extractsSideBySideAsInOrder();
    void keepsTimesAndFollowsUmask();
    void readsDosTimesAsLocalTime();
    void neverOpensASegmentReplacedMeanwhile();
    void writesWithinAFileSizeLimit_data();
    void writesWithinAFileSizeLimit();
    void writesAsInOrderWhenSpaceRunsOut();
    void writesOnEveryDrive_data();
    void writesOnEveryDrive();

private:
    Drive mountDrive(const DriveKind &kind);
    Run extract(const QString &archive, const QString &target = QStringLiteral("target"));
    Run extractTraced(const QString &archive, const QString &target, const QString &traceFile,
                      const QString &limits = QString());
    QString target() const { return work_->filePath(QStringLiteral("target")); }

    QTemporaryDir fixtures_;
    std::unique_ptr<QTemporaryDir> work_;
    QTemporaryDir images_;
    QMap<QString, Drive> drives_;
    int driveTargets_ = 0;
};

void PkunzipTest::initTestCase()
{
    QVERIFY(fixtures_.isValid());
    const Run made =
        runProgram(QStringLiteral(PYTHON_PATH),
                   {QStringLiteral(MAKE_ARCHIVES_SCRIPT), fixtures_.path()}, fixtures_.path());
    QVERIFY2(made.status == 0, qPrintable(made.err.join(QLatin1Char('\n'))));
    for (const DriveKind &kind : driveKinds())
        drives_[kind.name] = mountDrive(kind);
}

// A small image of the drive's file system on a loop device, mounted
// through its FUSE driver.
Drive PkunzipTest::mountDrive(const DriveKind &kind)
{
    Drive drive;
    if (::geteuid() != 0)
        return {{}, {}, QStringLiteral("mounting a drive image needs root")};
    if (!QFileInfo::exists(QStringLiteral("/dev/fuse")))
        return {{}, {}, QStringLiteral("no /dev/fuse")};
    for (const QString &tool : {kind.format.first(), kind.mount.first()})
        if (systemTool(tool).isEmpty())
            return {{}, {}, tool + QStringLiteral(" is not installed")};
    const QString image = images_.filePath(kind.name + QStringLiteral(".img"));
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(64 << 20))
        return {{}, {}, QStringLiteral("no room for a drive image")};
    file.close();
    const Run formatted =
        runProgram(systemTool(kind.format.first()), kind.format.mid(1) << image, images_.path());
    if (formatted.status != 0)
        return {{}, {}, kind.format.first() + QStringLiteral(" failed")};
    const Run loop =
        runProgram(systemTool(QStringLiteral("losetup")), {"-f", "--show", image}, images_.path());
    if (loop.status != 0 || loop.out.isEmpty())
        return {{}, {}, QStringLiteral("no loop device: ") + loop.err.join(QLatin1Char(' '))};
    drive.loopDevice = loop.out.first();
    drive.mountPoint = images_.filePath(kind.name);
    QDir().mkpath(drive.mountPoint);
    const Run mounted =
        runProgram(systemTool(kind.mount.first()),
                   kind.mount.mid(1) << drive.loopDevice << drive.mountPoint, images_.path());
    if (mounted.status != 0)
        drive.notMounted = kind.mount.first() + QStringLiteral(" failed: ") + mounted.err.join(' ');
    return drive;
}

void PkunzipTest::cleanupTestCase()
{
    for (const Drive &drive : std::as_const(drives_)) {
        if (drive.notMounted.isEmpty() && !drive.mountPoint.isEmpty())
            runProgram(QStringLiteral("umount"), {drive.mountPoint}, images_.path());
        if (!drive.loopDevice.isEmpty())
            runProgram(systemTool(QStringLiteral("losetup")), {"-d", drive.loopDevice},
                       images_.path());
    }
}

void PkunzipTest::init()
{
    work_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid());
}

// Archives are passed by their bare name from the fixtures directory, so a
// name such as "-x.zip" reaches pkunzip exactly as a user's would.
Run PkunzipTest::extract(const QString &archive, const QString &target)
{
    const QString targetPath = QDir::isAbsolutePath(target) ? target : work_->filePath(target);
    return runProgram(QStringLiteral(PKUNZIP_PATH), {archive, targetPath}, fixtures_.path());
}

void PkunzipTest::extractsWholeArchives_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QStringList>("tree");

    const QStringList toolTree = {
        QStringLiteral("Pokémon ☆.txt=utf8\n"),
        QStringLiteral("bin/"),
        QStringLiteral("bin/random.bin=<70000 bytes>"),
        QStringLiteral("docs/"),
        QStringLiteral("docs/empty/"),
        QStringLiteral("docs/notes with blanks.txt=blanks\n"),
        QStringLiteral("docs/zero.dat="),
        QStringLiteral("readme.txt=<1200 bytes>"),
    };
    QTest::newRow("Info-ZIP: stored, deflated, empty dir, zero length, blanks, UTF-8 unflagged")
        << "infozip.zip" << toolTree;
    QTest::newRow("libarchive's writer") << "bsdtar.zip" << toolTree;
    QTest::newRow("Python zipfile with the UTF-8 flag")
        << "python.zip"
        << QStringList{"deflated.txt=<6500 bytes>", "dir/", "dir/empty/", "stored.txt=stored",
                       "Ünïcödé flagged.txt=flagged"};
    QTest::newRow("archive without members") << "empty.zip" << QStringList{};
    QTest::newRow("raw UTF-8 name without the flag")
        << "raw_utf8.zip" << QStringList{"Ελληνικά.txt=raw"};
    QTest::newRow("CP437 name: 0x82 is é") << "cp437.zip" << QStringList{"café über.txt=cp437"};
    QTest::newRow("Info-ZIP Unicode Path field")
        << "unicode_field.zip" << QStringList{"été.txt=field"};
    QTest::newRow("Unicode Path field of another name is ignored")
        << "unicode_field_stale.zip" << QStringList{"ete.txt=stale"};
    QTest::newRow("\\ between names from MS-DOS, part of a name from Unix")
        << "windows_separators.zip"
        << QStringList{"d/", "d/e/", "d/e/c.txt=c", "keep\\name.txt=unix"};
    const QStringList japaneseTree = {"ソニック.bin=ソニック.bin", "一覧表=一覧表", "表紙/",
                                      "表紙/能力.txt=表紙/能力.txt"};
    QTest::newRow("Shift-JIS from MS-DOS: second bytes 0x5C are no separators, \\ is")
        << "sjis_dos.zip"
        << QStringList{"ゲーム/", "ゲーム/セーブ.dat=ゲーム\\セーブ.dat"} + japaneseTree;
    QTest::newRow("Shift-JIS from NTFS, half-width katakana")
        << "sjis_ntfs.zip"
        << japaneseTree + QStringList{"ｿﾆｯｸ/", "ｿﾆｯｸ/能力表.txt=ｿﾆｯｸ\\能力表.txt"};
    QTest::newRow("CP437 names that are valid Shift-JIS stay CP437")
        << "cp437_accents.zip"
        << QStringList{"Café.txt=Café.txt", "Größe/", "Größe/Straße.txt=Größe/Straße.txt",
                       "Ölfässer.txt=Ölfässer.txt"};
    QTest::newRow("CP866: Cyrillic words")
        << "cp866.zip"
        << QStringList{"Привет.txt=Привет.txt", "документы/",
                       "документы/отчёт.doc=документы/отчёт.doc"};
    QTest::newRow("one name no Shift-JIS: CP437 for all")
        << "sjis_and_cp437.zip" << QStringList{"Café.txt=Café.txt", "âeâXâg.txt=sjis"};
    QTest::newRow("a Unicode Path field names its member, Shift-JIS the others")
        << "sjis_unicode_field.zip" << QStringList{"カフェ.txt=field", "ソニック.bin=ソニック.bin"};
    QTest::newRow("archive named like an option")
        << "-x.zip" << QStringList{"one.txt=<3000 bytes>", "two.txt=<3000 bytes>"};
    QTest::newRow("large member") << "big.zip"
                                  << QStringList{"big.bin=<200000 bytes>", "good.txt=good"};
    const QStringList methodTree = {"long.bin=<97000 bytes>", "short.txt=short\n"};
    QTest::newRow("BZip2 by 7-Zip") << "7zip_bzip2.zip" << methodTree;
    QTest::newRow("LZMA with end marker by 7-Zip") << "7zip_lzma.zip" << methodTree;
    QTest::newRow("PPMd by 7-Zip") << "7zip_ppmd.zip" << methodTree;
    QTest::newRow("XZ") << "xz.zip" << methodTree;
    QTest::newRow("Zstandard") << "zstd.zip" << methodTree;
    QTest::newRow("LZMA by Python, an empty member first")
        << "python_lzma.zip" << QStringList{"empty.txt=", "short.txt=short\n"};
    const QStringList wholeTree = {"one.txt=<3000 bytes>", "two.txt=<3000 bytes>"};
    const QStringList zip64Tree = {"a.txt=<3300 bytes>", "b.bin=<5000 bytes>"};
    QTest::newRow("Deflate64, Implode, Reduce and Shrink")
        << "legacy_methods.zip"
        << QStringList{"deflate64.bin=<86000 bytes>", "imploded.txt=<6000 bytes>",
                       "reduced.txt=<6000 bytes>", "shrunk.txt=<6000 bytes>"};
    QTest::newRow("stub before the first header") << "stub.zip" << wholeTree;
    QTest::newRow("ZIP64, forced") << "zip64.zip" << zip64Tree;
    QTest::newRow("ZIP64 with a stub before it") << "zip64_stub.zip" << zip64Tree;
    QTest::newRow("ZIP64 from a pipe, sizes after the data")
        << "zip64_pipe.zip" << QStringList{"-=<3300 bytes>"};
    QTest::newRow("ZIP64 field with the compressed size alone")
        << "zip64_compressed_only.zip" << QStringList{"big.txt=<6300 bytes>", "x.txt=x"};
    QTest::newRow("data descriptors with and without signature")
        << "descriptors.zip"
        << QStringList{"bare.txt=<2000 bytes>", "plain.txt=plain", "signed.txt=<6300 bytes>"};
    QTest::newRow("overrunning and short extra fields")
        << "odd_extra_fields.zip" << QStringList{"over.txt=over", "short.txt=short"};

    QTest::newRow("a stored ZIP among the members") << "nested.zip" << nestedTree();
    QTest::newRow("stub holding a stray local header signature")
        << "stray_signature_stub.zip" << wholeTree;
    QTest::newRow("Shrink cleared after strings as well as bytes")
        << "shrink_clears.zip" << QStringList{"cleared.txt=<8848 bytes>"};
    QTest::newRow("XZ streams and Zstandard frames one after another")
        << "joined_streams.zip"
        << QStringList{"skippable.zst.txt=<8848 bytes>", "two.xz.txt=<8848 bytes>",
                       "two.zst.txt=<8848 bytes>"};
    const QStringList splitTree = {"a.bin=<100000 bytes>", "b.txt=<30000 bytes>",
                                   "c.bin=<150000 bytes>", "d.txt=d\n", "e.bin=<60000 bytes>"};
    QTest::newRow("split into segments of 64 KB, members running across them")
        << "split.zip" << splitTree;
    QTest::newRow("split, the extensions in capitals") << "caps.ZIP" << splitTree;
    QTest::newRow("claiming to be the last of two segments, holding its members itself")
        << "claims_second_segment.zip" << wholeTree;
}

void PkunzipTest::extractsWholeArchives()
{
    QFETCH(QString, archive);
    QFETCH(QStringList, tree);

    const Run run = extract(archive);

    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QStringList());
    QCOMPARE(describeTree(target()), tree);
    // A backslash is shown as its code, so a name cannot pass for an escape.
    for (const QString &entry : tree)
        QVERIFY2(
            run.out.contains(nameOf(entry).replace(QLatin1Char('\\'), QStringLiteral("\\x5C"))),
            qPrintable(entry + " not announced"));
}

void PkunzipTest::extractsWhatOneHeaderVerifies_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("out");

    const QString text = QStringLiteral("=<2300 bytes>");
    const QString central = QStringLiteral("; the data matches the central directory)");
    const QString local = QStringLiteral("; the data matches the local header)");
    QTest::newRow("local headers disagreeing in method, CRC-32, sizes, name")
        << "disagreeing.zip"
        << QStringList{"central_crc.txt" + text,  "central_method.txt" + text,
                       "central_name.txt=named",  "central_packed_short.txt" + text,
                       "central_size.txt" + text, "local_crc.txt" + text,
                       "local_sizes.txt" + text,  "shrunk_or_stored.txt" + text}
        << QStringList{
               "central_method.txt (its local header disagrees in compression method" + local,
               "shrunk_or_stored.txt (its local header disagrees in compression method" + local,
               "central_crc.txt (its local header disagrees in CRC-32" + local,
               "central_size.txt (its local header disagrees in sizes" + local,
               "central_packed_short.txt (its local header disagrees in sizes" + local,
               "local_sizes.txt (its local header disagrees in sizes" + central,
               "local_crc.txt (its local header disagrees in CRC-32" + central,
               "central_name.txt (its local header names it local_name.txt)"};
    QTest::newRow("ZIP64: local field of the compressed size alone, both sizes saturated")
        << "zip64_local_compressed_only.zip" << QStringList{"big.txt" + text}
        << QStringList{"big.txt (its local header disagrees in sizes" + central};
    QTest::newRow("a central compressed size that would run into the central directory")
        << "central_packed_long.zip" << QStringList{"one.txt=1"}
        << QStringList{"one.txt (its local header disagrees in sizes" + local};
    const QStringList moved = {"first.txt=<300 bytes>", "second.txt=<350 bytes>"};
    QTest::newRow("offsets short by the signed descriptors inserted")
        << "moved_signed.zip" << moved << QStringList{"first.txt", "second.txt"};
    QTest::newRow("offsets short by the descriptors without signature inserted")
        << "moved_bare.zip" << moved << QStringList{"first.txt", "second.txt"};
    QTest::newRow("offsets short by three descriptors, the first header in what seems a stub")
        << "moved_three.zip" << (QStringList(moved) << "third.txt=<300 bytes>")
        << QStringList{"first.txt", "second.txt", "third.txt"};
    // No header disagrees here: what follows the archive is padding.
    QTest::newRow("Ctrl-Z padding after the end record")
        << "trailing_bytes.zip" << QStringList{"one.txt=<3000 bytes>", "two.txt=<3000 bytes>"}
        << QStringList{"one.txt", "two.txt",
                       "pkunzip: trailing_bytes.zip: 100 bytes follow its end record, none of them "
                       "a ZIP record's: ignored"};
}

// The data decides between a member's two headers; what disagreed is said
// beside the member's line, and on standard error of each member that the
// local header alone verifies.
void PkunzipTest::extractsWhatOneHeaderVerifies()
{
    QFETCH(QString, archive);
    QFETCH(QStringList, tree);
    QFETCH(QStringList, out);

    const Run run = extract(archive);

    const QStringList localAlone = out.filter(QStringLiteral("the data matches the local header"));
    QCOMPARE(run.err.size(), localAlone.size());
    for (int i = 0; i < localAlone.size(); ++i)
        QVERIFY2(run.err[i].contains(localAlone[i].section(QLatin1Char(' '), 0, 0) +
                                     QStringLiteral(": the data matches its local header alone")),
                 qPrintable(run.err[i]));
    QCOMPARE(run.status, 0);
    QCOMPARE(describeTree(target()), tree);
    QCOMPARE(run.out, out);
}

void PkunzipTest::refusesAndReportsBadMembers_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("reported");

    const QStringList good = {QStringLiteral("good.txt=good")};
    QTest::newRow("\"..\" components")
        << "dotdot.zip" << good << QStringList{"../evil.txt", "a/../../evil2.txt"};
    QTest::newRow("absolute path")
        << "absolute.zip" << good << QStringList{"absolute-evil.txt: absolute path"};
    QTest::newRow("backslash traversal")
        << "backslash.zip" << good << QStringList{"evil.txt:", "evil3:"};
    QTest::newRow("links leading outside")
        << "escaping_link.zip" << QStringList{"good.txt=good", "sub/", "sub/inside -> ../good.txt"}
        << QStringList{"up:", "abs:", "sneaky:"};
    QTest::newRow("links with \"..\" inside, made to where they land")
        << "inner_dotdot_link.zip"
        << QStringList{"d/",        "d/back -> ..",     "d/in -> g", "good.txt=good",
                       "here -> .", "through -> escape"}
        << QStringList{"d/out: symbolic link leading outside the target refused"};
    QTest::newRow("member written through a link of the archive")
        << "through_link.zip" << QStringList{"alias -> real", "real/"}
        << QStringList{"alias/planted.txt:", "alias: already exists"};
    QTest::newRow("duplicate names")
        << "duplicate.zip" << QStringList{"dup.txt=first", "good.txt=good"}
        << QStringList{"dup.txt: already exists"};
    QTest::newRow("bad CRC, deflated and stored")
        << "bad_crc.zip" << good << QStringList{"bad.txt: damaged data", "stored_bad.txt:"};
    QTest::newRow("truncated and corrupt data")
        << "corrupt_member.zip" << good << QStringList{"cut.txt:", "garbage.txt:"};
    QTest::newRow("encrypted member") << "encrypted.zip" << QStringList{"plain.txt=plain\n"}
                                      << QStringList{"secret.txt: encrypted"};
    QTest::newRow("Shrink, Implode and Deflate64 members damaged")
        << "legacy_damaged.zip" << QStringList{"after.txt=<6000 bytes>"}
        << QStringList{"cut.txt: damaged data", "bad_tree.txt: damaged data",
                       "d64.txt: damaged data"};
    const QString damaged = QStringLiteral("damaged archive");
    QTest::newRow("cut in a member: the members before it")
        << "cut_in_member.zip" << QStringList{"one.txt=<3000 bytes>"}
        << QStringList{"two.txt: ", damaged};
    QTest::newRow("cut in the central directory: every member")
        << "cut_in_central.zip" << QStringList{"one.txt=<3000 bytes>", "two.txt=<3000 bytes>"}
        << QStringList{damaged};
    QTest::newRow("cut in the central directory, sizes after the data")
        << "descriptors_cut.zip"
        << QStringList{"bare.txt=<2000 bytes>", "plain.txt=plain", "signed.txt=<6300 bytes>"}
        << QStringList{damaged};
    QTest::newRow("ZIP64 from a pipe, cut in the central directory")
        << "zip64_pipe_cut.zip" << QStringList{"-=<3300 bytes>"} << QStringList{damaged};
    QTest::newRow("cut, after a damaged member of unknown size")
        << "found_again_cut.zip" << QStringList{"after.txt=<6300 bytes>"}
        << QStringList{"broken.txt: damaged data", damaged};
    QTest::newRow("local headers unreadable, verifying neither, quoting the next member, a "
                  "decoder out of memory not tried again")
        << "bad_local_headers.zip" << QStringList{"first.txt=first", "last.txt=last"}
        << QStringList{"past_end.txt: its local header", "neither.txt: damaged data",
                       "huge_window.zst: needs more memory to decode than allowed",
                       "quoting.txt: its local header's sizes make it overlap member last.txt"};
    QTest::newRow("a local header declaring 1 MiB where the central directory lists 10 bytes")
        << "local_larger.zip" << good
        << QStringList{"bomb.bin: damaged data; its local header disagrees in CRC-32, sizes; its "
                       "local header declares 1048576 bytes, more than the 10"};
    QTest::newRow("cut, stored members with descriptors, a decoy, twelve zero bytes")
        << "stored_descriptors_cut.zip"
        << QStringList{"bare.bin=<74 bytes>", "plain.txt=plain", "signed.bin=<131 bytes>"}
        << QStringList{damaged};

    // Cut and nested archives: what is left must not pass for the stored ZIP.
    QTest::newRow("holding a ZIP, cut at its end")
        << "nested_cut.zip" << nestedTree() << QStringList{damaged};
    QTest::newRow("holding a ZIP, a bit of its end record's signature flipped")
        << "nested_flipped_end.zip" << nestedTree() << QStringList{damaged};
    QTest::newRow("holding a ZIP, its comment length wrong")
        << "nested_comment_length.zip" << nestedTree() << QStringList{damaged};
    QTest::newRow("holding a ZIP, written by Python to a pipe, cut at its end")
        << "nested_pipe_cut.zip" << nestedTree() << QStringList{damaged};
    QTest::newRow("two archives joined end to end")
        << "joined.zip"
        << QStringList{"one.txt=<3000 bytes>", "two.txt=<3000 bytes>", "Ελληνικά.txt=raw"}
        << QStringList{damaged};
    QTest::newRow("bytes after the end record, a local header signature among them")
        << "trailing_signature.zip" << QStringList{"one.txt=<3000 bytes>", "two.txt=<3000 bytes>"}
        << QStringList{"damaged archive: 104 bytes follow its end record, a ZIP record's"};

    // Members sharing bytes, whose data would be written once per member.
    QStringList quoting;
    for (int i = 0; i < 20; ++i)
        quoting << QStringLiteral("file%1: overlaps member file").arg(i, 2, 10, QLatin1Char('0'));
    QTest::newRow("twenty members quoting the next one's local header")
        << "quoted_overlap.zip" << QStringList{} << quoting;
    QTest::newRow("the same cut before its central directory: the first alone")
        << "quoted_overlap_cut.zip" << QStringList{"file00=<1049260 bytes>"}
        << QStringList{damaged};
    QTest::newRow("two members at one local header")
        << "same_header.zip" << good
        << QStringList{"same.bin: overlaps member copy.bin", "copy.bin: overlaps member same.bin"};
    QTest::newRow("a local header inside another's extra field")
        << "header_in_extra.zip" << good
        << QStringList{"outer.bin: overlaps member inner.bin",
                       "inner.bin: overlaps member outer.bin"};

    // Split archives: only the members whose bytes are lost fail.
    const QString headerLost = QStringLiteral(": its local header cannot be read: segment ");
    QTest::newRow("split, a segment missing")
        << "split_missing.zip" << QStringList{"d.txt=d\n", "e.bin=<60000 bytes>"}
        << QStringList{"a.bin: segment split_missing.z02 is missing",
                       "b.txt" + headerLost + "split_missing.z02 is missing",
                       "c.bin" + headerLost + "split_missing.z02 is missing"};
    QTest::newRow("split, a segment cut short")
        << "split_cut.zip"
        << QStringList{"a.bin=<100000 bytes>", "b.txt=<30000 bytes>", "d.txt=d\n",
                       "e.bin=<60000 bytes>"}
        << QStringList{"c.bin: segment split_cut.z03 is cut short"};
    QTest::newRow("split, a segment that is a FIFO")
        << "split_fifo.zip"
        << QStringList{"b.txt=<30000 bytes>", "c.bin=<150000 bytes>", "d.txt=d\n",
                       "e.bin=<60000 bytes>"}
        << QStringList{"a.bin" + headerLost + "split_fifo.z01 is not a regular file"};
}

void PkunzipTest::refusesAndReportsBadMembers()
{
    QFETCH(QString, archive);
    QFETCH(QStringList, tree);
    QFETCH(QStringList, reported);

    const Run run = extract(archive);

    QCOMPARE(run.status, 1);
    QCOMPARE(describeTree(target()), tree);
    QCOMPARE(run.err.size(), reported.size());
    for (int i = 0; i < reported.size(); ++i) {
        QVERIFY2(run.err[i].startsWith(QStringLiteral("pkunzip: ") + archive + ": "),
                 qPrintable(run.err[i]));
        QVERIFY2(run.err[i].contains(reported[i]), qPrintable(run.err[i]));
    }
    QCOMPARE(describeTree(work_->path()).filter(QStringLiteral("evil")), QStringList());
    QVERIFY(!QFileInfo::exists(fixtures_.filePath(QStringLiteral("absolute-evil.txt"))));
}

// Runs pkunzip under strace, which writes a line per system call to
// traceFile, after the shell commands in limits. LeakSanitizer, in a
// sanitizer build, cannot work under strace.
Run PkunzipTest::extractTraced(const QString &archive, const QString &target,
                               const QString &traceFile, const QString &limits)
{
    const QString script = limits + QStringLiteral("; export ASAN_OPTIONS=detect_leaks=0"
                                                   "; exec strace -f -qq -o \"$0\" \"$@\"");
    return runProgram(QStringLiteral("/bin/bash"),
                      {QStringLiteral("-c"), script, traceFile, QStringLiteral(PKUNZIP_PATH),
                       archive, QDir::isAbsolutePath(target) ? target : work_->filePath(target)},
                      fixtures_.path());
}

void PkunzipTest::refusesNamesTheKernelReadsOtherwise_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<int>("mostSystemCalls");

    QTest::newRow("NUL bytes in names, in a Unicode Path field, in a link's target")
        << "nul_names.zip"
        << QStringList{"..\\x00x/evil1.txt: a NUL byte", "..\\x00/..\\x00/evil2.txt: a NUL byte",
                       "..\\x00/evildir/: a NUL byte", "..\\x00/evil4.txt: a NUL byte",
                       "link: symbolic link with a NUL byte"}
        << 2000;
    QTest::newRow("two names of one file up to their NUL byte, side by side")
        << "nul_same_file.zip" << QStringList{"dup\\x00one: a NUL byte", "dup\\x00two: a NUL byte"}
        << 2000;
    QTest::newRow("32,000 levels deep, three times, and a name of 256 bytes")
        << "deep_names.zip"
        << QStringList{"x0.txt: a path longer than 4095 bytes", "x1.txt: a path longer",
                       "x2.txt: a path longer", "long.txt: a name in the path longer than 255"}
        << 2000;
    QTest::newRow("a long raw name, a declared size of 2 GB")
        << "long_raw_name.zip"
        << QStringList{"big.txt: overlaps the central directory: possible zip bomb"} << 2000;
    // A read for each 64 KiB of four times the archive at most.
    QTest::newRow("64 MiB of local header signatures and names that nearly match")
        << "near_names.zip"
        << QStringList(5, QStringLiteral(": a name in the path longer than 255 bytes refused"))
        << 2000 + 4 * 64 * 1024 / 64;
    // Made and removed again one level at a time: a few calls a level.
    QTest::newRow("failing 500 levels deep")
        << "deep_failing.zip" << QStringList{"x.bin: damaged data"} << 2000 + 20 * 500;
}

// Extracted two levels beneath a sandbox that holds nothing else, so that a
// name that climbs out of the target shows. Memory is limited to far less
// than a copy of every path prefix would take, processor time to two seconds,
// which a reading that compared each signature's name took more than twice over.
void PkunzipTest::refusesNamesTheKernelReadsOtherwise()
{
    QFETCH(QString, archive);
    QFETCH(QStringList, reported);
    QFETCH(int, mostSystemCalls);
#ifdef PKUNZIP_SANITIZED
    const QString limits = QStringLiteral("true");
#else
    const QString limits = QStringLiteral("ulimit -v 1000000 -t 2");
#endif
    const QString trace = work_->filePath(QStringLiteral("trace"));

    const Run run = extractTraced(archive, QStringLiteral("sandbox/level/target"), trace, limits);

    QCOMPARE(run.status, 1);
    QCOMPARE(describeTree(work_->filePath(QStringLiteral("sandbox"))),
             (QStringList{"level/", "level/target/", "level/target/good.txt=good"}));
    QCOMPARE(run.err.size(), reported.size());
    for (int i = 0; i < reported.size(); ++i)
        QVERIFY2(run.err[i].contains(reported[i]), qPrintable(run.err[i]));
    QVERIFY2(tracedCalls(trace).size() <= mostSystemCalls,
             qPrintable(QString::number(tracedCalls(trace).size())));
}

void PkunzipTest::takesNamesOneFileSystemFoldsInOrder_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<bool>("sideBySide");
    QTest::addColumn<QStringList>("tree");

    QTest::newRow("A.BIN and a.bin: one after the other")
        << "folded_same_file.zip" << false << QStringList{"A.BIN=<3145728 bytes>", "a.bin=second"};
    QTest::newRow("a.bin and \"a.bin. \": one after the other")
        << "trailing_dot.zip" << false << QStringList{"a.bin. =second", "a.bin=<3145728 bytes>"};
    QTest::newRow("É.BIN and é.bin: one after the other")
        << "folded_accent.zip" << false << QStringList{"É.BIN=<3145728 bytes>", "é.bin=second"};
    QTest::newRow("A.BIN and b.bin: side by side")
        << "apart.zip" << true << QStringList{"A.BIN=<3145728 bytes>", "b.bin=second"};
}

// On a file system that folds case (FAT32, exFAT) two such members are one
// file, and side by side the later could take its place first; whether
// pkunzip started a thread tells whether it took them as independent.
void PkunzipTest::takesNamesOneFileSystemFoldsInOrder()
{
    QFETCH(QString, archive);
    QFETCH(bool, sideBySide);
    QFETCH(QStringList, tree);
    if (QThread::idealThreadCount() < 2)
        QSKIP("one processor: every archive is extracted by one thread");
    const QString trace = work_->filePath(QStringLiteral("trace"));

    const Run run = extractTraced(archive, QStringLiteral("target"), trace, QStringLiteral("true"));

    QCOMPARE(run.status, 0);
    QCOMPARE(describeTree(target()), tree);
    const QRegularExpression threadStart(QStringLiteral("^\\d+ +clone3?\\("));
    QCOMPARE(!tracedCalls(trace).filter(threadStart).isEmpty(), sideBySide);
}

void PkunzipTest::neverReplacesTheUsersEntries_data()
{
    QTest::addColumn<QString>("inTheWay");
    QTest::addColumn<QString>("linkTarget");
    QTest::addColumn<QString>("reported");

    QTest::newRow("user's link where a member goes") << "victim"
                                                     << "../outside/victim"
                                                     << "victim:";
    QTest::newRow("user's link to a directory on a member's path") << "userdir"
                                                                   << "../outside"
                                                                   << "userdir/planted:";
    QTest::newRow("user's file where a member goes") << "victim" << QString() << "victim:";
    QTest::newRow("user's file on a member's path") << "userdir" << QString() << "userdir/planted:";
}

void PkunzipTest::neverReplacesTheUsersEntries()
{
    QFETCH(QString, inTheWay);
    QFETCH(QString, linkTarget);
    QFETCH(QString, reported);

    const QString outside = work_->filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(outside));
    QVERIFY(QDir().mkpath(target()));
    QFile victim(outside + QStringLiteral("/victim"));
    QVERIFY(victim.open(QIODevice::WriteOnly));
    victim.write("user data");
    victim.close();
    const QString entry = target() + QLatin1Char('/') + inTheWay;
    if (linkTarget.isEmpty())
        QVERIFY(QFile::copy(victim.fileName(), entry));
    else
        QVERIFY(QFile::link(linkTarget, entry));
    const auto entryState = [&] {
        return snapshot(target()).filter(QRegularExpression(QLatin1Char('^') + inTheWay + "[ =]"));
    };
    const QStringList outsideBefore = snapshot(outside);
    const QStringList entryBefore = entryState();

    const Run run = extract(QStringLiteral("user_link.zip"));

    QCOMPARE(run.status, 1);
    QCOMPARE(run.err.size(), 1);
    QVERIFY2(run.err.first().contains(reported), qPrintable(run.err.first()));
    QCOMPARE(snapshot(outside), outsideBefore);
    QCOMPARE(entryState(), entryBefore);
    QCOMPARE(entryBefore.size(), 1);
    QVERIFY(describeTree(target()).contains(QStringLiteral("good.txt=good")));
}

void PkunzipTest::rejectsUnreadableArchives_data()
{
    QTest::addColumn<QString>("archive");

    QTest::newRow("text file named .zip") << "not_a_zip.zip";
    QTest::newRow("empty file named .zip") << "empty_file.zip";
    QTest::newRow("a local header signature, then garbage") << "signature_then_garbage.zip";
    QTest::newRow("missing archive") << "nothing.zip";
    QTest::newRow("directory named as the archive") << ".";
}

void PkunzipTest::rejectsUnreadableArchives()
{
    QFETCH(QString, archive);

    const Run run = extract(archive);

    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QStringList());
    QCOMPARE(run.err.size(), 1);
    QVERIFY2(run.err.first().startsWith(QStringLiteral("pkunzip: ") + archive + ": "),
             qPrintable(run.err.first()));
    QVERIFY(!QFileInfo::exists(target()));
}

void PkunzipTest::decodesNamesWhateverTheLocale_data()
{
    QTest::addColumn<QStringList>("unset");
    QTest::addColumn<QString>("locale");

    const QStringList all = {"LANG", "LC_ALL", "LC_CTYPE", "LANGUAGE"};
    QTest::newRow("LANG unset") << all << QString();
    QTest::newRow("C locale") << all << "C";
    QTest::newRow("Latin-1 locale") << all << "en_US.ISO-8859-1";
    QTest::newRow("UTF-8 locale") << all << "C.UTF-8";
}

void PkunzipTest::decodesNamesWhateverTheLocale()
{
    QFETCH(QStringList, unset);
    QFETCH(QString, locale);

    auto environment = testEnvironment();
    for (const QString &name : unset)
        environment.remove(name);
    if (!locale.isEmpty())
        environment.insert(QStringLiteral("LC_ALL"), locale);
    const QStringList archives = {"python.zip", "raw_utf8.zip", "cp437.zip", "unicode_field.zip",
                                  "infozip.zip"};
    for (const QString &archive : archives) {
        const Run run = runProgram(QStringLiteral(PKUNZIP_PATH), {archive, target()},
                                   fixtures_.path(), environment);
        QCOMPARE(run.status, 0);
    }
    const QStringList names = describeTree(target());
    const QStringList expectedNames = {"Ünïcödé flagged.txt=flagged", "Ελληνικά.txt=raw",
                                       "café über.txt=cp437", "été.txt=field",
                                       "Pokémon ☆.txt=utf8\n"};
    for (const QString &expected : expectedNames)
        QVERIFY2(names.contains(expected), qPrintable(expected));
}

void PkunzipTest::handlesArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("no arguments") << QStringList{} << 2 << QString() << "usage: pkunzip";
    QTest::newRow("archive only") << QStringList{"whole.zip"} << 2 << QString() << "usage: pkunzip";
    QTest::newRow("three arguments")
        << QStringList{"whole.zip", "a", "b"} << 2 << QString() << "usage: pkunzip";
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "usage: pkunzip" << QString();
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "pkunzip 1." << QString();
    QTest::newRow("--help with a target names an archive")
        << QStringList{"--help", "target"} << 2 << QString()
        << "pkunzip: --help: cannot open the archive";
}

void PkunzipTest::handlesArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const Run run = runProgram(QStringLiteral(PKUNZIP_PATH), arguments, work_->path());

    QCOMPARE(run.status, status);
    QCOMPARE(run.out.join(QLatin1Char('\n')).contains(out), true);
    QCOMPARE(run.out.isEmpty(), out.isEmpty());
    QCOMPARE(run.err.join(QLatin1Char('\n')).contains(err), true);
    QCOMPARE(run.err.isEmpty(), err.isEmpty());
    QCOMPARE(describeTree(work_->path()), QStringList());
}

void PkunzipTest::createsMissingTargetLevels_data()
{
    QTest::addColumn<QString>("target");

    QTest::newRow("one level") << "made";
    QTest::newRow("three levels") << "made/deeper/still";
    QTest::newRow("trailing slash") << "made/with/slash/";
    QTest::newRow("existing, with trailing slash") << ".//";
}

void PkunzipTest::createsMissingTargetLevels()
{
    QFETCH(QString, target);

    const Run run = extract(QStringLiteral("whole.zip"), target);

    QCOMPARE(run.status, 0);
    QCOMPARE(describeTree(work_->filePath(target)),
             (QStringList{"one.txt=<3000 bytes>", "two.txt=<3000 bytes>"}));
}

void PkunzipTest::targetThatIsAFileIsFatal()
{
    QFile file(target());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    const Run run = extract(QStringLiteral("whole.zip"));

    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QStringList());
    QCOMPARE(run.err.size(), 1);
    QVERIFY2(run.err.first().contains(QStringLiteral("target directory")),
             qPrintable(run.err.first()));
    QCOMPARE(QFileInfo(target()).size(), 0);
}

void PkunzipTest::secondRunChangesNoByte()
{
    QCOMPARE(extract(QStringLiteral("infozip.zip")).status, 0);
    const QStringList before = snapshot(target());

    const Run again = extract(QStringLiteral("infozip.zip"));

    QCOMPARE(again.status, 1);
    QCOMPARE(again.out, QStringList());
    QCOMPARE(again.err.size(), 8);
    QCOMPARE(again.err.filter(QStringLiteral(": already exists")).size(), 8);
    QCOMPARE(snapshot(target()), before);
}

void PkunzipTest::extractsSideBySideAsInOrder_data()
{
    QTest::addColumn<QString>("archive");

    QTest::newRow("36 members, 4 failing or refused") << "many_members.zip";
    QTest::newRow("the same with UTF-8 flagged names") << "many_utf8_members.zip";
    QTest::newRow("paths that meet: the earlier member wins") << "meeting_names.zip";
}

// Archives this large are extracted by several threads at once where the
// machine has the processors; the result must be the one of an extraction in
// archive order, every time.
void PkunzipTest::extractsSideBySideAsInOrder()
{
    QFETCH(QString, archive);
    QFile expectedFile(fixtures_.filePath(archive + QStringLiteral(".expected")));
    QVERIFY(expectedFile.open(QIODevice::ReadOnly));
    const QStringList expected = linesOf(expectedFile.readAll());
    QStringList tree = expectedLines(expected, QStringLiteral("tree:"));
    tree.sort();
    QStringList sums = expectedLines(expected, QStringLiteral("sha1:"));
    sums.sort();
    const QStringList problems = expectedLines(expected, QStringLiteral("err:"));

    for (int attempt = 0; attempt < 5; ++attempt) {
        const QString target = QStringLiteral("attempt%1").arg(attempt);
        const Run run = extract(archive, target);

        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, expectedLines(expected, QStringLiteral("out:")));
        QCOMPARE(run.err.size(), problems.size());
        for (int i = 0; i < problems.size(); ++i)
            QVERIFY2(run.err[i].contains(problems[i]), qPrintable(run.err[i]));
        QCOMPARE(describeTree(work_->filePath(target)), tree);
        QCOMPARE(digests(work_->filePath(target)), sums);
    }
    const QStringList before = snapshot(work_->filePath(QStringLiteral("attempt0")));
    const Run again = extract(archive, QStringLiteral("attempt0"));
    QCOMPARE(again.status, 1);
    QCOMPARE(again.out, QStringList());
    QCOMPARE(snapshot(work_->filePath(QStringLiteral("attempt0"))), before);
}

void PkunzipTest::keepsTimesAndFollowsUmask()
{
    const mode_t previous = ::umask(027);
    const Run run = extract(QStringLiteral("modes_and_times.zip"));
    ::umask(previous);

    QCOMPARE(run.status, 0);
    const auto statusOf = [this](const char *name) {
        struct stat status
        {
        };
        ::lstat(QFile::encodeName(target() + QLatin1Char('/') + name).constData(), &status);
        return status;
    };
    QCOMPARE(statusOf("tool").st_mode & 07777, mode_t(0750));
    QCOMPARE(statusOf("plain").st_mode & 07777, mode_t(0640));
    QCOMPARE(statusOf("dated").st_mode & 07777, mode_t(0750));
    // 2001-02-03 04:05:06 UTC, also on the directory written into after it.
    for (const char *name : {"tool", "plain", "dated", "dated/inside.txt"})
        QCOMPARE(statusOf(name).st_mtim.tv_sec, time_t(981173106));
}

// A DOS time is local time; an extended timestamp, when there is one, comes
// first. Both archives' DOS times read 2001-02-03 04:05:06, in Rome an hour
// ahead of UTC.
void PkunzipTest::readsDosTimesAsLocalTime()
{
    auto environment = testEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Rome"));
    for (const QString &archive : {QStringLiteral("whole.zip"), QStringLiteral("bsdtar.zip")}) {
        const Run run = runProgram(QStringLiteral(PKUNZIP_PATH), {archive, target()},
                                   fixtures_.path(), environment);
        QCOMPARE(run.status, 0);
    }
    const auto secondsOf = [this](const QString &name) {
        return QFileInfo(target() + QLatin1Char('/') + name).lastModified().toSecsSinceEpoch();
    };
    QCOMPARE(secondsOf(QStringLiteral("one.txt")), qint64(981169506));
    QCOMPARE(secondsOf(QStringLiteral("readme.txt")), qint64(981173106));
}

// The first of eleven segments is let go while ten others are read, and read
// again for the member listed last. Stopped right after its first opening,
// pkunzip finds a FIFO in its place, a writer waiting on it, when it goes on.
void PkunzipTest::neverOpensASegmentReplacedMeanwhile()
{
    const QString script = QStringLiteral(
        "export ASAN_OPTIONS=detect_leaks=0; first=$PWD/many_segments.z01\n"
        "strace -f -qq -o \"$2\" -P $first -e trace=openat "
        "-e inject=openat:signal=SIGSTOP:when=1 \"$0\" $PWD/many_segments.zip \"$1\" &\n"
        "for wait in {1..1000}; do grep -qs 'stopped by SIGSTOP' \"$2\" && break; sleep 0.01; "
        "done\n"
        "mv $first kept.z01 && mkfifo $first\n"
        "(exec 3>$first; echo writer released) &\n"
        "kill -CONT $(grep -m1 -o '^[0-9]*' \"$2\")\n"
        "wait %1; status=$?\n"
        "sleep 0.2; kill %2 2>/dev/null; rm $first; mv kept.z01 $first; exit $status");
    const Run run = runProgram(QStringLiteral("/bin/bash"),
                               {QStringLiteral("-c"), script, QStringLiteral(PKUNZIP_PATH),
                                target(), work_->filePath(QStringLiteral("trace"))},
                               fixtures_.path());

    QCOMPARE(run.status, 1);
    QVERIFY(!run.out.contains(QStringLiteral("writer released")));
    QCOMPARE(run.err.size(), 1);
    QCOMPARE(run.err.filter(QStringLiteral("b.txt: its local header cannot be read: segment "
                                           "many_segments.z01 is no longer the file first found")),
             run.err);
    QCOMPARE(describeTree(target()).size(), 11);
}

void PkunzipTest::writesWithinAFileSizeLimit_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QStringList>("reported");

    const QString damaged = QStringLiteral("damaged archive");
    QTest::newRow("a full disk leaves no file")
        << "big.zip" << QStringList{"big.bin: cannot write"};
    // Each decodes to 1 MiB where the declaration kept to says 10 bytes.
    const QString descriptor = QStringLiteral("bomb.bin: its data descriptor");
    QTest::newRow("walked, a Deflate member whose data descriptor declares 10 bytes")
        << "walked_deflate.zip" << QStringList{descriptor, damaged};
    QTest::newRow("walked, a BZip2 member whose data descriptor declares 10 bytes")
        << "walked_bzip2.zip" << QStringList{descriptor, damaged};
}

// A file size limit of 64 KiB makes writes fail as a full disk would; a
// member bounded by what it declares never meets it.
void PkunzipTest::writesWithinAFileSizeLimit()
{
    QFETCH(QString, archive);
    QFETCH(QStringList, reported);

    const QString script = QStringLiteral("trap '' XFSZ; ulimit -f 64; exec \"$0\" \"$@\"");
    const Run run =
        runProgram(QStringLiteral("/bin/bash"),
                   {QStringLiteral("-c"), script, QStringLiteral(PKUNZIP_PATH), archive, target()},
                   fixtures_.path());

    QCOMPARE(run.status, 1);
    QCOMPARE(describeTree(target()), QStringList{QStringLiteral("good.txt=good")});
    QCOMPARE(run.err.size(), reported.size());
    for (int i = 0; i < reported.size(); ++i)
        QVERIFY2(run.err[i].contains(reported[i]), qPrintable(run.err[i]));
}

// Side by side, both large members can run out of space where, one after
// the other, the first fits: the result must be the one in archive order.
void PkunzipTest::writesAsInOrderWhenSpaceRunsOut()
{
    if (::geteuid() != 0)
        QSKIP("mounting a small file system needs root");
    const QString mountPoint = work_->filePath(QStringLiteral("small"));
    const QString smallTarget = mountPoint + QStringLiteral("/target");
    QVERIFY(QDir().mkpath(mountPoint));
    const QStringList options = {"-t", "tmpfs", "-o", "size=3m", "tmpfs", mountPoint};
    if (runProgram(QStringLiteral("mount"), options, work_->path()).status != 0)
        QSKIP("no tmpfs can be mounted here");
    const Run run = extract(QStringLiteral("space.zip"), smallTarget);
    const QStringList tree = describeTree(smallTarget);
    QCOMPARE(runProgram(QStringLiteral("umount"), {mountPoint}, work_->path()).status, 0);

    QCOMPARE(run.status, 1);
    QCOMPARE(tree, (QStringList{"first.bin=<2097152 bytes>", "small.txt=small\n"}));
    QCOMPARE(run.out, (QStringList{"first.bin", "small.txt"}));
    QCOMPARE(run.err.size(), 1);
    QVERIFY2(run.err.first().contains(QStringLiteral("second.bin: cannot write")),
             qPrintable(run.err.first()));
}

void PkunzipTest::writesOnEveryDrive_data()
{
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("usersFile");
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("reported");

    QStringList roms = {"readme.txt=readme", "roms/"};
    for (int i = 0; i < 24; ++i)
        roms << QStringLiteral("roms/GAME%1.BIN=<%2 bytes>")
                    .arg(i, 2, 10, QLatin1Char('0'))
                    .arg(3000 + 500 * i);
    const QString refused = QStringLiteral(": the target's file system does not accept th");
    const QStringList exists = {"dup.txt: already exists", "rom.bin: already exists"};
    const QMap<QString, QPair<QStringList, QStringList>> twins = {
        {"NTFS",
         {{"dup.txt=first", "ROM.BIN=first", "rom.bin=second", "É.BIN=first", "é.bin=second"},
          {"dup.txt: already exists"}}},
        {"exFAT",
         {{"dup.txt=first", "ROM.BIN=first", "É.BIN=first"},
          exists + QStringList{"é.bin: already exists"}}},
        // fusefat takes no name beyond ASCII.
        {"FAT32",
         {{"dup.txt=first", "ROM.BIN=first"},
          exists + QStringList{"É.BIN" + refused, "é.bin" + refused}}},
    };
    QPair<QStringList, QStringList> folderTwins = {{"pad.bin=<307200 bytes>"}, {}};
    for (int i = 0; i < 40; ++i) {
        folderTwins.first << QStringLiteral("f%1/").arg(i) << QStringLiteral("f%1/b=good").arg(i);
        folderTwins.second << QStringLiteral("F%1/a: damaged data").arg(i);
    }
    for (const DriveKind &kind : driveKinds()) {
        const auto row = [&](const char *what) -> QTestData & {
            return QTest::newRow(qPrintable(kind.name + QStringLiteral(": ") + what)) << kind.name;
        };
        row("an archive of 25 members written whole, the naming probed once")
            << "drive.zip" << QString() << roms << QStringList{};
        row("a user's file of a member's name kept")
            << "whole.zip"
            << "one.txt" << QStringList{"one.txt=user's", "two.txt=<3000 bytes>"}
            << QStringList{"one.txt: already exists"};
        row("damaged members leave nothing but the report")
            << "bad_crc.zip" << QString() << QStringList{"good.txt=good"}
            << QStringList{"bad.txt: damaged data", "stored_bad.txt:"};
        row("names the drive refuses, of a file and of a folder")
            << "refused.zip" << QString() << QStringList{"ok.txt=ok"}
            << QStringList{"a?b.txt" + refused + "is name",
                           "q\"x/in.txt" + refused + "e name of folder q\"x"};
        row("names that differ in case, and one name twice")
            << "twins.zip" << QString() << twins[kind.name].first << twins[kind.name].second;
        row("a folder spelled two ways, its first member failing")
            << "folder_twins.zip" << QString() << folderTwins.first << folderTwins.second;
    }
}

// Each row extracts into a folder of its own on a drive mounted for the whole
// test; what the drive holds must be the members, with the bytes they have
// on the local disk, and no hidden file left anywhere.
void PkunzipTest::writesOnEveryDrive()
{
    QFETCH(QString, drive);
    QFETCH(QString, archive);
    QFETCH(QString, usersFile);
    QFETCH(QStringList, tree);
    QFETCH(QStringList, reported);
    const Drive &mounted = drives_[drive];
    if (!mounted.notMounted.isEmpty())
        QSKIP(qPrintable(mounted.notMounted));
    const QString onDrive = mounted.mountPoint + QStringLiteral("/t%1").arg(++driveTargets_);
    if (!usersFile.isEmpty()) {
        QVERIFY(QDir().mkpath(onDrive));
        QFile file(onDrive + QLatin1Char('/') + usersFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("user's");
    }
    const QString trace = work_->filePath(QStringLiteral("trace"));

    const Run run = extractTraced(archive, onDrive, trace, QStringLiteral("true"));

    QCOMPARE(run.status, reported.isEmpty() ? 0 : 1);
    tree.sort();
    QCOMPARE(describeTree(onDrive), tree);
    QCOMPARE(run.err.size(), reported.size());
    for (int i = 0; i < reported.size(); ++i)
        QVERIFY2(run.err[i].contains(reported[i]), qPrintable(run.err[i]));
    const QRegularExpression leftOver(QStringLiteral("(^|/)\\.(pkunzip|fuse_hidden)"));
    QCOMPARE(describeTree(mounted.mountPoint).filter(leftOver), QStringList());
    QVERIFY2(refusedNamingCalls(trace) <= 5,
             qPrintable(QString::number(refusedNamingCalls(trace))));
    if (reported.isEmpty()) {
        QCOMPARE(extract(archive).status, 0);
        QCOMPARE(digests(onDrive), digests(target()));
    }
}

QTEST_GUILESS_MAIN(PkunzipTest)
#include "pkunziptest.moc"
