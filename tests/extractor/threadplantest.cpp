// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "threadplan.h"
#include "output/safetarget.h"

#include <QTemporaryDir>
#include <QTest>

#include <sched.h>

Q_DECLARE_METATYPE(ThreadPlan::Why)

namespace {

// A member as the central directory lists it, of `size` decoded bytes.
ZipEntry member(const char *name, uint64_t size = 1000, EntryKind kind = EntryKind::File)
{
    ZipEntry entry;
    entry.name = name;
    entry.kind = kind;
    entry.uncompressedSize = size;
    return entry;
}

bool severalProcessors()
{
    cpu_set_t processors;
    return ::sched_getaffinity(0, sizeof processors, &processors) == 0 &&
           CPU_COUNT(&processors) > 1;
}

} // namespace

// Whether the members of an archive go side by side, and why not when they
// go one after the other.
class ThreadPlanTest : public QObject
{
    Q_OBJECT

private slots:
    void decidesFromSizeNamesAndRoom_data();
    void decidesFromSizeNamesAndRoom();
};

void ThreadPlanTest::decidesFromSizeNamesAndRoom_data()
{
    QTest::addColumn<uint64_t>("archiveSize");
    QTest::addColumn<std::vector<ZipEntry>>("entries");
    QTest::addColumn<ThreadPlan::Why>("why");

    constexpr uint64_t large = 64 << 20;
    using Why = ThreadPlan::Why;
    const std::vector<ZipEntry> apart = {member("a.bin"), member("b/c.bin"),
                                         member("b/", 0, EntryKind::Directory)};
    QTest::newRow("small archive") << uint64_t{100000} << apart << Why::SmallArchive;
    QTest::newRow("large, members apart") << large << apart << Why::SideBySide;
    QTest::newRow("one name in two cases")
        << large << std::vector<ZipEntry>{member("A.BIN"), member("a.bin")} << Why::MembersMeet;
    QTest::newRow("one name in two cases, beyond ASCII as exFAT folds it")
        << large << std::vector<ZipEntry>{member("É.BIN"), member("é.bin")} << Why::MembersMeet;
    QTest::newRow("a character unassigned in the Unicode version built in")
        << large << std::vector<ZipEntry>{member("a.bin"), member("\u0378.bin")}
        << Why::MembersMeet;
    QTest::newRow("a name that is no UTF-8")
        << large << std::vector<ZipEntry>{member("a.bin"), member("\xff.bin")} << Why::MembersMeet;
    QTest::newRow("one name with a trailing dot")
        << large << std::vector<ZipEntry>{member("a.bin"), member("a.bin.")} << Why::MembersMeet;
    QTest::newRow("a file where a folder goes")
        << large << std::vector<ZipEntry>{member("a"), member("a/b")} << Why::MembersMeet;
    QTest::newRow("a symbolic link")
        << large << std::vector<ZipEntry>{member("a.bin"), member("l", 4, EntryKind::SymbolicLink)}
        << Why::MembersMeet;
    QTest::newRow("more than any disk holds")
        << large << std::vector<ZipEntry>{member("a.bin", uint64_t{1} << 62), member("b.bin")}
        << Why::TooLittleRoom;
}

void ThreadPlanTest::decidesFromSizeNamesAndRoom()
{
    QFETCH(uint64_t, archiveSize);
    QFETCH(std::vector<ZipEntry>, entries);
    QFETCH(ThreadPlan::Why, why);
    if (why != ThreadPlan::Why::SmallArchive && !severalProcessors())
        QSKIP("one processor: every archive is extracted by one thread");
    QTemporaryDir folder;
    const Result<std::unique_ptr<SafeTarget>> target =
        SafeTarget::open(folder.path().toStdString());
    QVERIFY(target);

    const ThreadPlan plan = planThreads(archiveSize, entries, **target);

    QCOMPARE(plan.why, why);
    QCOMPARE(plan.sideBySide(), why == ThreadPlan::Why::SideBySide);
}

QTEST_GUILESS_MAIN(ThreadPlanTest)
#include "threadplantest.moc"
