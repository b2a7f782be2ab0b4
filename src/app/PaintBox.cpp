#include "app/PaintBox.h"

#include <QPainter>

PaintBox::PaintBox(QWidget *parent) : QWidget(parent)
{
}

void PaintBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Q_EMIT OnPaint(&painter);
}
