#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class TLCDAnimator;
class TLCDScreen;
class TUrlLabel;

// The borderless info window: the program's name, credits and a short manual on a dot-matrix
// panel that moves up one line every 1.125 seconds, round and round, plus the maker's web link
// and the "Genug Info!" label that closes it. Esc and Enter close it too. The window frees
// itself when closed, so every opening starts again at the first line.
class TFormInfo : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormInfo)

public:
    explicit TFormInfo(QWidget *parent = nullptr);
    ~TFormInfo() override;

    // Opens a new info window over `parent`, starts its panel and waits until it is closed.
    static void execute(QWidget *parent);

    // The 58 lines the panel shows.
    static QList<QByteArray> infoLines();

    void LabelCloseClick();

    QLabel *const ImageMainInfo;
    QFrame *const BevelClose;
    TLCDScreen *const LEDInfo;
    QLabel *const LabelClose;
    TUrlLabel *const UrlLabelFWS;
    TLCDAnimator *const LCDAnimator1;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
