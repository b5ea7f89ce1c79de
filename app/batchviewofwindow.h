#pragma once

#include "batch.h"

class QCheckBox;
class QLineEdit;
class QListView;
class QStringListModel;

// The batch's view of the main window, read straight from its controls each
// time the batch asks.
class BatchViewOfWindow : public BatchView
{
public:
    BatchViewOfWindow(const QListView *archiveList, const QStringListModel *archiveNames,
                      const QLineEdit *sourceField, const QLineEdit *destinationField,
                      const QCheckBox *folderPerArchiveBox, const QString &programDirectory);

    int count() const override;
    bool selected(int i) const override;
    QString text(int i) const override;
    QString source() const override;
    QString destination() const override;
    bool folderPerArchive() const override;
    QString programDirectory() const override;

private:
    const QListView *archiveList;
    const QStringListModel *archiveNames;
    const QLineEdit *sourceField;
    const QLineEdit *destinationField;
    const QCheckBox *folderPerArchiveBox;
    QString program;
};
