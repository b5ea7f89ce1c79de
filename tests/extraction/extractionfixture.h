// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "batch.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// One run of the stub extractor as it logged itself: start and end in
// nanoseconds, working directory, the identity (device:inode) of its standard
// input, output and error, and its arguments.
struct StubRun
{
    qint64 start = 0;
    qint64 end = 0;
    QByteArray workingDirectory;
    QByteArrayList standardStreams;
    QByteArrayList arguments;
};

// A fresh temporary directory holding "program" with the stub extractor
// linked as pkunzip, the empty directories "roms" and "games", and "errors"
// with what the stub writes on its standard error. The stub's log, its exit
// table and its run time go through the environment, which the extractor
// inherits.
class ExtractionFixture
{
public:
    ExtractionFixture()
    {
        QDir dir(root());
        valid = directory.isValid() && dir.mkdir("program") && dir.mkdir("roms") &&
                dir.mkdir("games") && dir.mkdir("errors") &&
                QFile::link(VRILLO_STUB_EXTRACTOR, programDirectory() + "/pkunzip");
        qputenv("VRILLO_STUB_LOG", QFile::encodeName(root() + "/stub.log"));
        qputenv("VRILLO_STUB_ERRORS", QFile::encodeName(root() + "/errors"));
        qunsetenv("VRILLO_STUB_STATUS");
        qunsetenv("VRILLO_STUB_SECONDS");
    }

    bool isValid() const { return valid; }
    QString root() const { return directory.path(); }
    QString programDirectory() const { return root() + "/program"; }
    QString source() const { return root() + "/roms"; }
    QString destination() const { return root() + "/games"; }

    // A batch over these entries, those at the indexes in selection selected,
    // with the source, destination and program directory of this fixture.
    BatchRequest request(const QStringList &entries, const QList<int> &selection) const
    {
        BatchRequest request{{}, {}, source(), destination(), programDirectory()};
        for (qsizetype i = 0; i < entries.size(); ++i) {
            request.archives << QFile::encodeName(entries[i]);
            request.selected << selection.contains(i);
        }
        return request;
    }
    // What the stub receives for this archive in the source and this target in the destination.
    QByteArrayList arguments(const QString &archiveName, const QString &target) const
    {
        return {QFile::encodeName(source() + '/' + archiveName),
                QFile::encodeName(destination() + '/' + target)};
    }
    // Lines "NAME=3" or "NAME=signal 9" telling the stub how to end.
    void setEnds(const QStringList &lines) const
    {
        qputenv("VRILLO_STUB_STATUS", lines.join('\n').toUtf8());
    }
    // What the stub writes on its standard error for this archive.
    bool setErrorOutput(const QString &archiveName, const QByteArray &bytes) const
    {
        QFile file(root() + "/errors/" + archiveName);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    // How long each run of the stub takes.
    void setRunTime(const QByteArray &seconds) const { qputenv("VRILLO_STUB_SECONDS", seconds); }
    static QStringList entriesOf(const QString &directory)
    {
        return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                         QDir::Name);
    }
    // Every run of the stub so far, in the order they ended. The stub writes
    // one line per run, its fields separated by NUL characters; no test passes
    // an argument holding a newline.
    QList<StubRun> runs() const
    {
        QFile log(root() + "/stub.log");
        QList<StubRun> runs;
        for (const QByteArray &line :
             log.open(QIODevice::ReadOnly) ? log.readAll().split('\n') : QByteArrayList()) {
            const QByteArrayList fields = line.split('\0');
            if (fields.size() >= 6)
                runs.append({fields[0].toLongLong(), fields[1].toLongLong(), fields[2],
                             fields.mid(3, 3), fields.mid(6)});
        }
        return runs;
    }

private:
    QTemporaryDir directory;
    bool valid = false;
};
