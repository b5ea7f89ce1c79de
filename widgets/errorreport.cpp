#include "errorreport.h"

#include <QMessageBox>

QString failureMessage(const Failure &failure)
{
    return QStringLiteral("%1\n\n%2: %3")
        .arg(failure.operation)
        .arg(failure.number)
        .arg(failure.text);
}

void reportFailure(QWidget *parent, const Failure &failure)
{
    QMessageBox::critical(parent, QStringLiteral("The Vrillo V1.1"), failureMessage(failure));
}
