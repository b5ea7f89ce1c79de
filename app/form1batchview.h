#pragma once

#include "batch.h"

class QCheckBox;
class QLineEdit;
class QListView;
class QStringListModel;

// The batch's view of the main window, read straight from its controls each
// time the batch asks.
class Form1BatchView : public BatchView
{
public:
    Form1BatchView(const QListView *lista, const QStringListModel *listaEntries,
                   const QLineEdit *origine, const QLineEdit *destinazione,
                   const QCheckBox *checkdir, const QString &programDirectory);

    int count() const override;
    bool selected(int i) const override;
    QString text(int i) const override;
    QString source() const override;
    QString destination() const override;
    bool checkdir() const override;
    QString programDirectory() const override;

private:
    const QListView *lista;
    const QStringListModel *listaEntries;
    const QLineEdit *origine;
    const QLineEdit *destinazione;
    const QCheckBox *checkdirBox;
    QString program;
};
