#pragma once

#include <QAbstractButton>

// A drawn stand-in for the bitmap buttons of the main window: a bevelled face with a caption,
// sunken while pressed, greyed while disabled. Takes no keyboard focus, as the bitmap buttons
// do not.
class StandInButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit StandInButton(const QString &caption, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(StandInButton)

protected:
    void paintEvent(QPaintEvent *event) override;
};
