#include "directoryfixture.h"
#include "form1.h"
#include "messageboxcatcher.h"

#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

using namespace fixture;

class Form1ArchiveListTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void mixedDirectoryListsArchivesInReaddirOrder();
    void nonAsciiNamesShownAsTheyAre();
    void directoriesWithoutArchivesEmptyTheList_data();
    void directoriesWithoutArchivesEmptyTheList();
    void directoryEndingInSeparatorIsListed();
    void rootListsTheRoot();
    void missingDirectoryIsReportedAndProgramGoesOn();
    void secondRefreshDropsSelection();
    void selectAllAndDeselectAll_data();
    void selectAllAndDeselectAll();
    void changedOrigineLeavesListUntilRefresh();

private:
    void refreshFrom(const QString &directory);
    void clickEntry(int row);
    QStringList shownEntries() const;
    QList<int> selectedRows() const;

    QTemporaryDir programDirectory;
    std::unique_ptr<Form1> form;
    QListView *lista = nullptr;
    QLineEdit *origine = nullptr;
    QPushButton *refresh = nullptr;
    QPushButton *Tutto = nullptr;
    QPushButton *niente = nullptr;
};

void Form1ArchiveListTest::init()
{
    form = std::make_unique<Form1>(programDirectory.path());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    lista = form->findChild<QListView *>(QStringLiteral("lista"));
    origine = form->findChild<QLineEdit *>(QStringLiteral("origine"));
    refresh = form->findChild<QPushButton *>(QStringLiteral("refresh"));
    Tutto = form->findChild<QPushButton *>(QStringLiteral("Tutto"));
    niente = form->findChild<QPushButton *>(QStringLiteral("niente"));
    QVERIFY(lista && origine && refresh && Tutto && niente);
}

void Form1ArchiveListTest::cleanup()
{
    form.reset();
}

void Form1ArchiveListTest::refreshFrom(const QString &directory)
{
    origine->setText(directory);
    refresh->click();
}

void Form1ArchiveListTest::clickEntry(int row)
{
    const QModelIndex entry = lista->model()->index(row, 0);
    QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, lista->visualRect(entry).center());
}

QStringList Form1ArchiveListTest::shownEntries() const
{
    QStringList entries;
    const QAbstractItemModel *model = lista->model();
    for (int row = 0; row < model->rowCount(); ++row)
        entries << model->index(row, 0).data(Qt::DisplayRole).toString();
    return entries;
}

QList<int> Form1ArchiveListTest::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = lista->selectionModel()->selectedIndexes();
    for (const QModelIndex &index : selected)
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void Form1ArchiveListTest::mixedDirectoryListsArchivesInReaddirOrder()
{
    QTemporaryDir directory;
    QVERIFY(makeMixedDirectory(directory.path()));

    refreshFrom(directory.path());

    QCOMPARE(shownEntries(), inReaddirOrder(directory.path(), mixedArchives));
    QCOMPARE(selectedRows(), QList<int>{});
}

void Form1ArchiveListTest::nonAsciiNamesShownAsTheyAre()
{
    const QStringList names = {QStringLiteral("Pokémon Rosso.zip"), QStringLiteral("ドラゴン.ZIP"),
                               QStringLiteral("Ñandú.Zip")};
    QTemporaryDir directory;
    QVERIFY(makeFiles(directory.path(), names));

    refreshFrom(directory.path());

    QCOMPARE(shownEntries(), inReaddirOrder(directory.path(), names));
}

void Form1ArchiveListTest::directoriesWithoutArchivesEmptyTheList_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::newRow("empty directory") << QStringList{};
    QTest::newRow("directory without archives")
        << QStringList{QStringLiteral("readme.txt"), QStringLiteral(".x.zip")};
}

void Form1ArchiveListTest::directoriesWithoutArchivesEmptyTheList()
{
    QFETCH(QStringList, files);
    QTemporaryDir filled;
    QVERIFY(makeMixedDirectory(filled.path()));
    refreshFrom(filled.path());
    QVERIFY(!shownEntries().isEmpty());
    QTemporaryDir directory;
    QVERIFY(makeFiles(directory.path(), files));
    MessageBoxCatcher catcher;

    refreshFrom(directory.path());

    QCOMPARE(shownEntries(), QStringList{});
    QCOMPARE(catcher.texts, QStringList{});
}

void Form1ArchiveListTest::directoryEndingInSeparatorIsListed()
{
    QTemporaryDir directory;
    QVERIFY(makeMixedDirectory(directory.path()));

    refreshFrom(directory.path() + QLatin1Char('/'));

    QCOMPARE(shownEntries(), inReaddirOrder(directory.path(), mixedArchives));
}

void Form1ArchiveListTest::rootListsTheRoot()
{
    const QStringList rootArchives =
        QDir(QStringLiteral("/")).entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Unsorted);
    MessageBoxCatcher catcher;

    refreshFrom(QStringLiteral("/"));

    QCOMPARE(shownEntries(), rootArchives);
    QCOMPARE(catcher.texts, QStringList{});
}

void Form1ArchiveListTest::missingDirectoryIsReportedAndProgramGoesOn()
{
    QTemporaryDir directory;
    QVERIFY(makeMixedDirectory(directory.path()));
    refreshFrom(directory.path());
    const QString missing = directory.path() + QStringLiteral("/missing");
    MessageBoxCatcher catcher;

    refreshFrom(missing);

    QCOMPARE(catcher.texts.size(), 1);
    QVERIFY(catcher.texts.first().startsWith(QStringLiteral("Impossibile leggere la directory ") +
                                             missing));
    QVERIFY(catcher.texts.first().endsWith(
        QStringLiteral("%1: %2").arg(ENOENT).arg(QString::fromLocal8Bit(std::strerror(ENOENT)))));
    QCOMPARE(shownEntries(), QStringList{});
    QVERIFY(form->isVisible());

    refreshFrom(directory.path());
    QCOMPARE(shownEntries(), inReaddirOrder(directory.path(), mixedArchives));
}

void Form1ArchiveListTest::secondRefreshDropsSelection()
{
    QTemporaryDir directory;
    QVERIFY(makeMixedDirectory(directory.path()));
    refreshFrom(directory.path());
    const QStringList first = shownEntries();
    clickEntry(1);
    QCOMPARE(selectedRows(), QList<int>{1});

    refresh->click();

    QCOMPARE(shownEntries(), first);
    QCOMPARE(selectedRows(), QList<int>{});
}

void Form1ArchiveListTest::selectAllAndDeselectAll_data()
{
    QTest::addColumn<QStringList>("archives");
    QTest::addColumn<int>("preselected");
    QTest::newRow("empty list") << QStringList{} << -1;
    QTest::newRow("three entries, one selected")
        << QStringList{QStringLiteral("a.zip"), QStringLiteral("b.zip"), QStringLiteral("c.zip")}
        << 1;
}

void Form1ArchiveListTest::selectAllAndDeselectAll()
{
    QFETCH(QStringList, archives);
    QFETCH(int, preselected);
    QTemporaryDir directory;
    QVERIFY(makeFiles(directory.path(), archives));
    refreshFrom(directory.path());
    if (preselected >= 0)
        clickEntry(preselected);
    const QStringList entries = shownEntries();
    const QModelIndex current = lista->currentIndex();
    QList<int> everyRow;
    for (int row = 0; row < archives.size(); ++row)
        everyRow << row;

    Tutto->click();

    QCOMPARE(selectedRows(), everyRow);
    QCOMPARE(shownEntries(), entries);
    QCOMPARE(lista->currentIndex(), current);

    niente->click();

    QCOMPARE(selectedRows(), QList<int>{});
    QCOMPARE(shownEntries(), entries);
    QCOMPARE(lista->currentIndex(), current);
}

void Form1ArchiveListTest::changedOrigineLeavesListUntilRefresh()
{
    QTemporaryDir first;
    QVERIFY(makeMixedDirectory(first.path()));
    QTemporaryDir second;
    QVERIFY(makeFiles(second.path(), {QStringLiteral("other.zip")}));
    refreshFrom(first.path());
    const QStringList firstEntries = shownEntries();

    origine->clear();
    QTest::keyClicks(origine, second.path());

    QCOMPARE(origine->text(), second.path());
    QCOMPARE(shownEntries(), firstEntries);

    refresh->click();

    QCOMPARE(shownEntries(), QStringList{QStringLiteral("other.zip")});
}

QTEST_MAIN(Form1ArchiveListTest)
#include "form1archivelisttest.moc"
