#include "errorreport.h"

#include "programtitle.h"

#include <QMessageBox>

void reportFailure(QWidget *parent, const Failure &failure)
{
    QMessageBox::critical(parent, programTitle, failureMessage(failure));
}
