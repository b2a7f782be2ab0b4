#pragma once

#include <QObject>
#include <QPointer>

class QFocusFrame;
class QWidget;

namespace platform {

// While it lives, a ring in the selection colour surrounds the control that has the keyboard
// focus, in whichever window it is. The windows are drawn from pictures in the skin's colours,
// where the desktop style's own focus marks (a caret, a faint frame, nothing at all on an empty
// list) are easily lost; the ring shows at once where the tab key has gone.
class FocusRing : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FocusRing)

public:
    FocusRing();
    ~FocusRing() override;

private:
    void follow(QWidget *control);

    // Lives among the focused control's siblings; goes with its window.
    QPointer<QFocusFrame> m_frame;
};

} // namespace platform
