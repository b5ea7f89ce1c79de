// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Times "&Refresh" through the main window on a directory of many archives
// mixed with as many other files, until the list is drawn, and shows what the
// filled list costs in memory. Usage:
//   QT_QPA_PLATFORM=offscreen vrillo_refresh_bench [archives] [runs]
// The directory is made under the system's temporary directory and removed.

#include "archivelist.h"
#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

static bool makeEmptyFile(const QByteArray &path)
{
    const int descriptor = open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    return descriptor >= 0 && close(descriptor) == 0;
}

// Archives and other files alternate, so readdir mixes them.
static bool fillDirectory(const QString &directory, int archives)
{
    const QByteArray in = QFile::encodeName(directory) + '/';
    for (int i = 0; i < archives; ++i) {
        const QByteArray number = QByteArray::number(i).rightJustified(6, '0');
        if (!makeEmptyFile(in + "GAME" + number + ".ZIP") ||
            !makeEmptyFile(in + "notes" + number + ".txt"))
            return false;
    }
    return true;
}

// A field of /proc/self/status in kB, such as "VmRSS" or "VmHWM".
static long statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLong();
    }
    return -1;
}

static double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

static double milliseconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const int archives = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 11;

    QTemporaryDir directory;
    QTemporaryDir programDirectory;
    std::printf("making %d archives and %d other files in %s\n", archives, archives,
                qPrintable(directory.path()));
    if (!directory.isValid() || !fillDirectory(directory.path(), archives)) {
        std::fprintf(stderr, "cannot make the test directory\n");
        return 1;
    }

    MainWindow form(programDirectory.path());
    form.show();
    QApplication::processEvents();
    auto *origine = form.findChild<QLineEdit *>(QStringLiteral("origine"));
    auto *refresh = form.findChild<QPushButton *>(QStringLiteral("refresh"));
    auto *Tutto = form.findChild<QPushButton *>(QStringLiteral("Tutto"));
    auto *niente = form.findChild<QPushButton *>(QStringLiteral("niente"));
    auto *lista = form.findChild<QListView *>(QStringLiteral("lista"));
    origine->setText(directory.path());
    const long rssBefore = statusKilobytes("VmRSS");

    std::vector<double> refreshTimes;
    std::vector<double> listingTimes;
    std::vector<double> selectTimes;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const bool listed = listZipArchives(directory.path()).ok();
        listingTimes.push_back(milliseconds(timer));
        if (!listed) {
            std::fprintf(stderr, "cannot list %s\n", qPrintable(directory.path()));
            return 1;
        }

        timer.start();
        refresh->click();
        QApplication::processEvents();
        lista->viewport()->repaint();
        refreshTimes.push_back(milliseconds(timer));

        timer.start();
        Tutto->click();
        lista->viewport()->repaint();
        niente->click();
        lista->viewport()->repaint();
        selectTimes.push_back(milliseconds(timer));
    }
    const long rssAfter = statusKilobytes("VmRSS");

    std::printf("entries in lista: %d\n", lista->model()->rowCount());
    std::printf("Refresh, list drawn: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n",
                median(refreshTimes), *std::min_element(refreshTimes.begin(), refreshTimes.end()),
                *std::max_element(refreshTimes.begin(), refreshTimes.end()), runs);
    std::printf("listing alone: median %.1f ms\n", median(listingTimes));
    std::printf("select all + deselect all, drawn: median %.1f ms\n", median(selectTimes));
    std::printf("memory: VmRSS %ld kB before the first Refresh, %ld kB after (+%ld kB), "
                "peak VmHWM %ld kB\n",
                rssBefore, rssAfter, rssAfter - rssBefore, statusKilobytes("VmHWM"));
    return 0;
}
