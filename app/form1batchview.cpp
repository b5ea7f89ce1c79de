#include "form1batchview.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>

Form1BatchView::Form1BatchView(const QListView *lista, const QStringListModel *listaEntries,
                               const QLineEdit *origine, const QLineEdit *destinazione,
                               const QCheckBox *checkdir, const QString &programDirectory)
    : lista(lista), listaEntries(listaEntries), origine(origine), destinazione(destinazione),
      checkdirBox(checkdir), program(programDirectory)
{
}

int Form1BatchView::count() const
{
    return listaEntries->rowCount();
}

bool Form1BatchView::selected(int i) const
{
    return lista->selectionModel()->isSelected(listaEntries->index(i));
}

QString Form1BatchView::text(int i) const
{
    return listaEntries->index(i).data().toString();
}

QString Form1BatchView::source() const
{
    return origine->text();
}

QString Form1BatchView::destination() const
{
    return destinazione->text();
}

bool Form1BatchView::checkdir() const
{
    return checkdirBox->isChecked();
}

QString Form1BatchView::programDirectory() const
{
    return program;
}
