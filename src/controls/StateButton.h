#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

// A button drawn entirely from bitmaps, one per state (up, down, mouse over, disabled).
//
// Every pixel that has its bitmap's transparent colour (the colour of the bottom-left pixel,
// white for a monochrome bitmap) is left out, so the button takes any shape and the window's
// background picture shows through. Only the opaque pixels of the up bitmap react to the mouse,
// and the button sizes itself to its up bitmap; without one it is 50 x 50 and every point is a
// hit.
//
// The button keeps its own `Enabled` flag and deliberately hides QWidget::isEnabled() and
// QWidget::setEnabled(): the widget itself stays enabled, so a disabled button still receives
// the mouse, shows its disabled bitmap, cannot be pressed, and still raises `OnClick` when a
// mouse button is released over an opaque point. Click handlers check isEnabled() where it
// matters. Every release over an opaque point raises a click (any mouse button, also after a
// press elsewhere), a release outside raises none; the second press of a double click counts as
// an ordinary press.
//
// The hint is the widget's status tip; the button never shows tooltip bubbles.
class TStateButton : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TStateButton)
    Q_PROPERTY(QImage BitmapUp READ bitmapUp WRITE setBitmapUp)
    Q_PROPERTY(QImage BitmapDown READ bitmapDown WRITE setBitmapDown)
    Q_PROPERTY(QImage BitmapOver READ bitmapOver WRITE setBitmapOver)
    Q_PROPERTY(QImage BitmapDisabled READ bitmapDisabled WRITE setBitmapDisabled)
    Q_PROPERTY(QColor TransparentColor READ transparentColor WRITE setTransparentColor)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QString Hint READ hint WRITE setHint)

public:
    enum class State { Up, Disabled, Down };

    explicit TStateButton(QWidget *parent = nullptr);
    ~TStateButton() override;

    QImage bitmapUp() const { return m_up.source; }
    QImage bitmapDown() const { return m_down.source; }
    QImage bitmapOver() const { return m_over.source; }
    QImage bitmapDisabled() const { return m_disabled.source; }
    // Each setter copies the picture; the caller keeps its own.
    void setBitmapUp(const QImage &bitmap);
    void setBitmapDown(const QImage &bitmap);
    void setBitmapOver(const QImage &bitmap);
    void setBitmapDisabled(const QImage &bitmap);

    // The transparent colour of the bitmap the hit area was last built from; not used for
    // painting, where each bitmap has its own.
    QColor transparentColor() const { return m_transparentColor; }
    void setTransparentColor(const QColor &color) { m_transparentColor = color; }

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    QString hint() const { return statusTip(); }
    // Screen readers learn of a new hint: it is the button's accessible description.
    void setHint(const QString &hint);

    State state() const { return m_state; }
    bool isMouseInside() const { return m_mouseInside; }

    // True when (x, y), in the button's coordinates, is an opaque point of the hit area.
    bool hitTest(int x, int y) const;

    QSize sizeHint() const override;

signals:
    void OnClick();
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint &pos);
    void OnMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, const QPoint &pos);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint &pos);

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    // A state bitmap with its key colour turned into transparency, ready to draw in one copy.
    struct Face
    {
        QImage source;
        QPixmap keyed;
    };

    void assignFace(Face &face, const QImage &bitmap);
    const Face &faceToPaint() const;
    void bitmapUpChanged();
    void bitmapOverChanged();
    void buildHitArea(const QImage &bitmap);
    void applyBitmapSize();
    void redrawAfterMouse();
    void updateMnemonic();

    Face m_up;
    Face m_down;
    Face m_over;
    Face m_disabled;

    QColor m_transparentColor = Qt::white;
    QImage m_hitMask; // Format_Mono: index 1 (black) where opaque; null when there is none
    QString m_caption;
    State m_state = State::Up;
    bool m_enabled = true;
    bool m_mouseInside = false;
    int m_mnemonicId = 0;
};
