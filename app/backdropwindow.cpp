#include "backdropwindow.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

static const QPixmap &backgroundPicture()
{
    static const QPixmap picture(QStringLiteral(":/pictures/background.jpg"));
    return picture;
}

// Every label of the layout is one line of 13 pixels, so the windows use a
// font of that line height rather than the desktop's, which is usually larger.
static QFont dialogFont(QFont font)
{
    font.setPixelSize(11);
    return font;
}

BackdropWindow::BackdropWindow(const QString &caption, const QRect &clientArea, QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(caption);
    setFont(dialogFont(font()));
    setGeometry(clientArea);
    setFixedSize(clientArea.size());
}

void BackdropWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, backgroundPicture());
}
