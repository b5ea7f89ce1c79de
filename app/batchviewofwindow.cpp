#include "batchviewofwindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>

BatchViewOfWindow::BatchViewOfWindow(const QListView *archiveList,
                                     const QStringListModel *archiveNames,
                                     const QLineEdit *sourceField,
                                     const QLineEdit *destinationField,
                                     const QCheckBox *folderPerArchiveBox,
                                     const QString &programDirectory)
    : archiveList(archiveList), archiveNames(archiveNames), sourceField(sourceField),
      destinationField(destinationField), folderPerArchiveBox(folderPerArchiveBox),
      program(programDirectory)
{
}

int BatchViewOfWindow::count() const
{
    return archiveNames->rowCount();
}

bool BatchViewOfWindow::selected(int i) const
{
    return archiveList->selectionModel()->isSelected(archiveNames->index(i));
}

QString BatchViewOfWindow::text(int i) const
{
    return archiveNames->index(i).data().toString();
}

QString BatchViewOfWindow::source() const
{
    return sourceField->text();
}

QString BatchViewOfWindow::destination() const
{
    return destinationField->text();
}

bool BatchViewOfWindow::folderPerArchive() const
{
    return folderPerArchiveBox->isChecked();
}

QString BatchViewOfWindow::programDirectory() const
{
    return program;
}
