#pragma once

#include <QWidget>

class QPainter;

// A plain drawing surface whose painting is done by its owner through OnPaint.
class PaintBox : public QWidget
{
    Q_OBJECT

public:
    explicit PaintBox(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(PaintBox)

Q_SIGNALS:
    void OnPaint(QPainter *painter);

protected:
    void paintEvent(QPaintEvent *event) override;
};
