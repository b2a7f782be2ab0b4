#include "app/ReceiveLed.h"

#include "app/PaintBox.h"
#include "app/WidgetLook.h"
#include "assets/StandardLook.h"

#include <QPainter>
#include <QTimer>

ReceiveLed::ReceiveLed(PaintBox *led, Random random, QObject *parent)
    : QObject(parent), m_led(led), m_random(std::move(random)),
      m_pictures{QPixmap::fromImage(widgetlook::keyedBitmap(StandardLook::LedUnlit)),
                 QPixmap::fromImage(widgetlook::keyedBitmap(StandardLook::LedLit))},
      m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("LEDTimer"));
    m_timer->setInterval(50);
    connect(m_timer, &QTimer::timeout, this, &ReceiveLed::LEDTimerTimer);
    connect(m_led, &PaintBox::OnPaint, this, &ReceiveLed::LEDPaint);
}

void ReceiveLed::beginLine()
{
    m_blinkCounter = 0;
    m_displaying = true;
    if (!m_timer->isActive())
        m_timer->start();
}

void ReceiveLed::endLine()
{
    m_displaying = false;
}

void ReceiveLed::reset()
{
    m_blinkCounter = 0;
    m_displaying = false;
}

void ReceiveLed::LEDTimerTimer()
{
    ++m_blinkCounter;
    if (!m_displaying) {
        const int r = m_random(4);
        if (m_blinkCounter >= r + 4) {
            m_timer->stop();
            if (m_state != 0) {
                m_state = 0;
                m_led->update();
            }
            return;
        }
    }
    m_state = m_state == 1 ? 0 : 1;
    m_led->update();
    m_timer->setInterval(5 + m_random(100));
}

void ReceiveLed::LEDPaint(QPainter *painter)
{
    painter->drawPixmap(0, 0, picture(m_state == 1));
}
