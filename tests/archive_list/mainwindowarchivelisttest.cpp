#include "directoryfixture.h"
#include "mainwindow.h"
#include "messageboxcatcher.h"

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace fixture;

class MainWindowArchiveListTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void refreshListsArchivesUnselectedEachTimeItIsPressed();
    void refreshWithoutArchivesEmptiesTheList_data();
    void refreshWithoutArchivesEmptiesTheList();
    void selectAllAndDeselectAll_data();
    void selectAllAndDeselectAll();

private:
    void refreshFrom(const QString &directory);
    void clickEntry(int row);
    QStringList shownEntries() const;
    QList<int> selectedRows() const;

    QTemporaryDir programDirectory;
    std::unique_ptr<MainWindow> form;
    QListView *lista = nullptr;
    QLineEdit *origine = nullptr;
    QPushButton *refresh = nullptr;
};

void MainWindowArchiveListTest::init()
{
    form = std::make_unique<MainWindow>(programDirectory.path());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    lista = form->findChild<QListView *>(QStringLiteral("lista"));
    origine = form->findChild<QLineEdit *>(QStringLiteral("origine"));
    refresh = form->findChild<QPushButton *>(QStringLiteral("refresh"));
    QVERIFY(lista && origine && refresh);
}

void MainWindowArchiveListTest::refreshFrom(const QString &directory)
{
    origine->setText(directory);
    refresh->click();
}

void MainWindowArchiveListTest::clickEntry(int row)
{
    const QModelIndex entry = lista->model()->index(row, 0);
    QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, lista->visualRect(entry).center());
}

QStringList MainWindowArchiveListTest::shownEntries() const
{
    return qobject_cast<QStringListModel *>(lista->model())->stringList();
}

QList<int> MainWindowArchiveListTest::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : lista->selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The mixed directory gives its archives unselected; a second refresh drops
// a selection made since; typing another directory leaves the list alone.
void MainWindowArchiveListTest::refreshListsArchivesUnselectedEachTimeItIsPressed()
{
    QTemporaryDir mixed;
    QVERIFY(makeMixedDirectory(mixed.path()));
    QTemporaryDir other;
    QVERIFY(makeFiles(other.path(), {QStringLiteral("other.zip")}));
    const QStringList archives = inReaddirOrder(mixed.path(), mixedArchives);

    refreshFrom(mixed.path());

    QCOMPARE(shownEntries(), archives);
    QCOMPARE(selectedRows(), QList<int>{});
    clickEntry(1);
    QCOMPARE(selectedRows(), QList<int>{1});

    refresh->click();

    QCOMPARE(shownEntries(), archives);
    QCOMPARE(selectedRows(), QList<int>{});

    origine->clear();
    QTest::keyClicks(origine, other.path());

    QCOMPARE(shownEntries(), archives);
    refresh->click();
    QCOMPARE(shownEntries(), QStringList{QStringLiteral("other.zip")});
}

void MainWindowArchiveListTest::refreshWithoutArchivesEmptiesTheList_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("missing");
    QTest::newRow("empty directory") << QStringList{} << false;
    QTest::newRow("directory without archives")
        << QStringList{QStringLiteral("readme.txt"), QStringLiteral(".x.zip")} << false;
    QTest::newRow("missing directory, reported") << QStringList{} << true;
}

void MainWindowArchiveListTest::refreshWithoutArchivesEmptiesTheList()
{
    QFETCH(QStringList, files);
    QFETCH(bool, missing);
    QTemporaryDir filled;
    QVERIFY(makeMixedDirectory(filled.path()));
    refreshFrom(filled.path());
    QVERIFY(!shownEntries().isEmpty());
    QTemporaryDir directory;
    QVERIFY(makeFiles(directory.path(), files));
    const QString path = directory.path() + (missing ? QStringLiteral("/missing") : QString());
    MessageBoxCatcher catcher;

    refreshFrom(path);

    QCOMPARE(shownEntries(), QStringList{});
    QCOMPARE(catcher.texts.size(), missing ? 1 : 0);
    if (missing) {
        QVERIFY(catcher.texts.first().contains("Impossibile leggere la directory " + path));
        QVERIFY(catcher.texts.first().contains("2: No such file or directory"));
    }
    QVERIFY(form->isVisible());
    refreshFrom(filled.path());
    QCOMPARE(shownEntries(), inReaddirOrder(filled.path(), mixedArchives));
}

void MainWindowArchiveListTest::selectAllAndDeselectAll_data()
{
    QTest::addColumn<QStringList>("archives");
    QTest::addColumn<QList<int>>("everyRow");
    QTest::newRow("empty list") << QStringList{} << QList<int>{};
    QTest::newRow("three entries, the middle one selected")
        << QStringList{QStringLiteral("a.zip"), QStringLiteral("b.zip"), QStringLiteral("c.zip")}
        << QList<int>{0, 1, 2};
}

void MainWindowArchiveListTest::selectAllAndDeselectAll()
{
    QFETCH(QStringList, archives);
    QFETCH(QList<int>, everyRow);
    QTemporaryDir directory;
    QVERIFY(makeFiles(directory.path(), archives));
    refreshFrom(directory.path());
    if (!archives.isEmpty())
        clickEntry(1);
    const QStringList entries = shownEntries();
    const QModelIndex current = lista->currentIndex();

    form->findChild<QPushButton *>(QStringLiteral("Tutto"))->click();

    QCOMPARE(selectedRows(), everyRow);
    QCOMPARE(shownEntries(), entries);
    QCOMPARE(lista->currentIndex(), current);

    form->findChild<QPushButton *>(QStringLiteral("niente"))->click();

    QCOMPARE(selectedRows(), QList<int>{});
    QCOMPARE(shownEntries(), entries);
    QCOMPARE(lista->currentIndex(), current);
}

QTEST_MAIN(MainWindowArchiveListTest)
#include "mainwindowarchivelisttest.moc"
