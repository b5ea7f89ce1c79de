#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// One run of the stub extractor, as it recorded itself.
struct StubRun
{
    qint64 start = 0;
    qint64 end = 0;
    QByteArray workingDirectory;
    QByteArray standardStreams[3];
    QByteArrayList arguments;
    bool targetWasDirectory = false;
};

// A program directory holding the stub as "pkunzip", a source directory with
// empty archive files and an empty destination, all in a fresh temporary
// directory. The stub's log and its exit table go through the environment,
// which the extractor inherits.
class ExtractionFixture
{
public:
    ExtractionFixture();
    ~ExtractionFixture();
    ExtractionFixture(const ExtractionFixture &) = delete;
    ExtractionFixture &operator=(const ExtractionFixture &) = delete;

    bool isValid() const { return valid; }

    QString programDirectory() const { return root.filePath(QStringLiteral("program")); }
    QString source() const { return root.filePath(QStringLiteral("roms")); }
    QString destination() const { return root.filePath(QStringLiteral("games")); }
    QString path(const QString &name) const { return root.filePath(name); }

    // Creates empty files with these names in the source directory.
    void addArchives(const QStringList &names) const;
    // Removes the extractor from the program directory.
    void removeExtractor() const;
    // Lines "NAME=3" or "NAME=signal 9" telling the stub how to end.
    void setEnds(const QStringList &lines) const;
    void setSleepMilliseconds(int milliseconds) const;

    // What the destination directory holds, sorted by name.
    QStringList destinationEntries() const;
    // Every run of the stub so far, in the order they were recorded.
    QList<StubRun> runs() const;

    static QString stubPath();

private:
    QTemporaryDir root;
    bool valid = false;
};

// The monotonic clock the stub stamps its runs with, in nanoseconds.
qint64 monotonicNow();
