#include "errorreport.h"

#include <QMessageBox>

void reportFailure(QWidget *parent, const Failure &failure)
{
    QMessageBox::critical(parent, QStringLiteral("The Vrillo V1.1"), failureMessage(failure));
}
