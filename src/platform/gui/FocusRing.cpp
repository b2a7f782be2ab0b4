#include "platform/gui/FocusRing.h"

#include <QApplication>
#include <QFocusFrame>
#include <QPalette>

namespace platform {

FocusRing::FocusRing()
{
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { follow(now); });
    follow(QApplication::focusWidget());
}

FocusRing::~FocusRing()
{
    delete m_frame;
}

void FocusRing::follow(QWidget *control)
{
    if (!control || control->isWindow()) {
        if (m_frame)
            m_frame->setWidget(nullptr);
        return;
    }
    if (!m_frame)
        m_frame = new QFocusFrame(control);
    // The style draws the ring in the text colour, which on the dark pictures of the chat
    // window is nearly the background's; the selection colour stands out from every skin.
    QPalette ring = m_frame->palette();
    ring.setColor(QPalette::WindowText, control->palette().color(QPalette::Highlight));
    m_frame->setPalette(ring);
    m_frame->setWidget(control);
}

} // namespace platform
