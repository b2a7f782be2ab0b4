#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QPointer>

class QMenu;

// A focusable push button that paints its own face: a colour gradient in one of six styles, a
// bevelled frame of adjustable width and a caption drawn plain, raised or inset.
//
// While it is held down with the left mouse button the caption moves one pixel right and down,
// the bevel inverts and, with SwapColors, the two gradient colours change places; they change
// back before the click handler runs, so the handler sees the button up. A right press only
// takes the focus. Enter and the caption's accelerator click it without the pressed look; Space
// does nothing. A drop-down menu opens below the button on a left press and that press never
// clicks.
//
// The gradient colours are taken as raw red, green and blue bytes: step i of N lies at
// begin + i * (end - begin) / N per channel, the division truncating toward zero.
class TGradBtn : public QAbstractButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TGradBtn)
    Q_PROPERTY(QColor BeginColor READ beginColor WRITE setBeginColor)
    Q_PROPERTY(QColor EndColor READ endColor WRITE setEndColor)
    Q_PROPERTY(TGradientStyle GradientStyle READ gradientStyle WRITE setGradientStyle)
    Q_PROPERTY(bool SwapColors READ swapColors WRITE setSwapColors)
    Q_PROPERTY(QColor BtnHiliteClr READ btnHiliteClr WRITE setBtnHiliteClr)
    Q_PROPERTY(QColor BtnShadowClr READ btnShadowClr WRITE setBtnShadowClr)
    Q_PROPERTY(int BtnFrameSize READ btnFrameSize WRITE setBtnFrameSize)
    Q_PROPERTY(TTextStyle TextStyle READ textStyle WRITE setTextStyle)
    Q_PROPERTY(TShadeType TextShadeType READ textShadeType WRITE setTextShadeType)
    Q_PROPERTY(QColor TxtHiliteClr READ txtHiliteClr WRITE setTxtHiliteClr)
    Q_PROPERTY(QColor TxtShadowClr READ txtShadowClr WRITE setTxtShadowClr)
    Q_PROPERTY(QColor DisabledColor READ disabledColor WRITE setDisabledColor)
    Q_PROPERTY(TJustification Justification READ justification WRITE setJustification)
    Q_PROPERTY(bool ShowFocus READ showFocus WRITE setShowFocus)
    Q_PROPERTY(QColor FontColor READ fontColor WRITE setFontColor)

public:
    enum TGradientStyle { gsHorizontal, gsVertical, gsElliptic, gsRectangle, gsVertCenter, gsHorizCenter };
    Q_ENUM(TGradientStyle)
    enum TTextStyle { tsNormal, tsRaised, tsInset };
    Q_ENUM(TTextStyle)
    enum TShadeType { stLight, stHeavy };
    Q_ENUM(TShadeType)
    enum TJustification { jLeft, jCenter, jRight };
    Q_ENUM(TJustification)

    explicit TGradBtn(QWidget *parent = nullptr);
    ~TGradBtn() override;

    QColor beginColor() const { return m_beginColor; }
    void setBeginColor(const QColor &color);
    QColor endColor() const { return m_endColor; }
    void setEndColor(const QColor &color);
    TGradientStyle gradientStyle() const { return m_gradientStyle; }
    void setGradientStyle(TGradientStyle style);
    bool swapColors() const { return m_swapColors; }
    void setSwapColors(bool swap) { m_swapColors = swap; }
    QColor btnHiliteClr() const { return m_btnHiliteClr; }
    void setBtnHiliteClr(const QColor &color);
    QColor btnShadowClr() const { return m_btnShadowClr; }
    void setBtnShadowClr(const QColor &color);
    int btnFrameSize() const { return m_btnFrameSize; }
    // Ignored unless 0 <= size <= width / 2 - 5 and <= height / 2 - 5: the caption needs room.
    void setBtnFrameSize(int size);
    TTextStyle textStyle() const { return m_textStyle; }
    void setTextStyle(TTextStyle style);
    TShadeType textShadeType() const { return m_textShadeType; }
    void setTextShadeType(TShadeType type);
    QColor txtHiliteClr() const { return m_txtHiliteClr; }
    void setTxtHiliteClr(const QColor &color);
    QColor txtShadowClr() const { return m_txtShadowClr; }
    void setTxtShadowClr(const QColor &color);
    QColor disabledColor() const { return m_disabledColor; }
    void setDisabledColor(const QColor &color);
    TJustification justification() const { return m_justification; }
    void setJustification(TJustification justification);
    bool showFocus() const { return m_showFocus; }
    void setShowFocus(bool show) { m_showFocus = show; }
    // The caption's colour (the font colour).
    QColor fontColor() const { return m_fontColor; }
    void setFontColor(const QColor &color);

    QMenu *dropdownMenu() const;
    // The menu stays the caller's; the button forgets it when it is destroyed.
    void setDropdownMenu(QMenu *menu);

    bool isPressed() const { return m_pressed; }
    // The caption as drawn: a single "&" dropped, "&&" shown as one "&".
    QString displayCaption() const;

    // Colour step i of n between begin and end, per channel as raw bytes.
    static QColor gradientStep(const QColor &begin, const QColor &end, int i, int n);

    QSize sizeHint() const override;

Q_SIGNALS:
    void OnMouseEnter();
    void OnMouseLeave();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setColorMember(QColor &member, const QColor &color);
    void press();
    void clickByKey();
    void releaseUp();
    void renderFace();
    void fillGradient(QImage &image, QColor begin, QColor end) const;
    void drawBevel(QImage &image) const;
    void drawCaption(QImage &image) const;
    void invertFocusRect(QImage &image) const;

    QColor m_beginColor{0, 0, 128};
    QColor m_endColor{0, 255, 255};
    TGradientStyle m_gradientStyle = gsVertCenter;
    bool m_swapColors = true;
    QColor m_btnHiliteClr;
    QColor m_btnShadowClr;
    int m_btnFrameSize = 1;
    TTextStyle m_textStyle = tsRaised;
    TShadeType m_textShadeType = stLight;
    QColor m_txtHiliteClr;
    QColor m_txtShadowClr;
    QColor m_disabledColor;
    TJustification m_justification = jCenter;
    bool m_showFocus = true;
    QColor m_fontColor{Qt::black};
    QPointer<QMenu> m_dropdownMenu;

    bool m_pressed = false;
    bool m_menuShowing = false;
    bool m_clickingByKey = false;
    QImage m_buttonImage;
};
