#pragma once

#include "batch.h"

#include <QByteArrayList>
#include <QStringList>
#include <QTemporaryDir>

// One run of the stub extractor, as it recorded itself: start and end in
// nanoseconds, working directory, the identity (device:inode) of its
// standard input, output and error, and its arguments.
struct StubRun
{
    qint64 start = 0;
    qint64 end = 0;
    QByteArray workingDirectory;
    QByteArrayList standardStreams;
    QByteArrayList arguments;
};

// A fresh temporary directory holding "program" with the stub extractor
// linked as pkunzip, and the empty directories "roms"
// and "games". The stub's log and its exit table go through the environment,
// which the extractor inherits.
class ExtractionFixture
{
public:
    ExtractionFixture();

    bool isValid() const { return valid; }
    QString root() const { return directory.path(); }
    QString programDirectory() const { return root() + QStringLiteral("/program"); }
    QString source() const { return root() + QStringLiteral("/roms"); }
    QString destination() const { return root() + QStringLiteral("/games"); }

    // A batch over these entries, those at the indexes in selection selected,
    // with the source, destination and program directory of this fixture.
    BatchRequest request(const QStringList &entries, const QList<int> &selection) const;
    // What the stub receives for this archive in the source and this target in the destination.
    QByteArrayList arguments(const QString &archiveName, const QString &target) const;
    // Lines "NAME=3" or "NAME=signal 9" telling the stub how to end.
    void setEnds(const QStringList &lines) const;
    // What the directory holds, sorted by name.
    static QStringList entriesOf(const QString &directory);
    // Every run of the stub so far, in the order they ended.
    QList<StubRun> runs() const;

private:
    QTemporaryDir directory;
    bool valid = false;
};
