#pragma once

#include "lcd/LCDAnimator.h"

#include <QByteArray>
#include <QColor>
#include <QFlags>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

class QTimer;

enum class TDotMatrix { mat5x7, mat7x9, mat9x12 };
enum class TDotMatrixBorder { mbBottom = 1, mbLeft = 2, mbRight = 4, mbTop = 8 };
Q_DECLARE_FLAGS(TDotMatrixBorders, TDotMatrixBorder)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDotMatrixBorders)
// pixCustom takes PixelWidth x PixelHeight; pixN means dots of N x N pixels.
enum class TPixelSize {
    pixCustom,
    pix1x1,
    pix2x2,
    pix3x3,
    pix4x4,
    pix5x5,
    pix6x6,
    pix7x7,
    pix8x8,
    pix9x9,
    pix10x10,
    pix11x11,
    pix12x12,
    pix13x13,
    pix14x14,
    pix15x15,
    pix16x16
};
enum class TPixelShape { psSquare, psShaped, psRound };
enum class TLCDBorder { bsRaised, bsLowered, bsSingle, bsNone };
enum class TSpecialEffect { spBlinking = 1, spInverse = 2 };
Q_DECLARE_FLAGS(TSpecialEffects, TSpecialEffect)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSpecialEffects)
enum class THorzScrollMode { smIndependant, smDependant };

// The number of control codes (10..20) in a text: they take no cell on the panel.
int ControlCount(const QByteArray &text);

// A character LCD panel: NoOfLines x NoOfChars cells of dot-matrix characters.
//
// The control sizes itself from its dot geometry and, when resized from outside, takes as many
// cells as fit and snaps to their exact size. Text lines are 8-bit; codes 10..20 take no cell:
// 10/11 start and end inverse text (with spInverse), 12/13 blinking text (with spBlinking),
// 14..20 do nothing. Codes without a glyph in the chosen set show a blank cell. Lines are cut
// to 255 characters and the text to 255 lines. `DisplayLines`, the drawn copy of `Lines`, is
// what an attached TLCDAnimator's script scrolls and wipes, one line per timer tick.
class TLCDScreen : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TLCDScreen)

public:
    static constexpr int kMaxTextLength = 255;
    static constexpr int kMaxTextLines = 255;

    // What the animation timer runs on its next tick.
    enum class TimerHandler { ExecuteLine, WipeInStep, WipeOutStep };

    explicit TLCDScreen(QWidget *parent = nullptr);
    ~TLCDScreen() override;

    TDotMatrix dotMatrix() const { return m_dotMatrix; }
    void setDotMatrix(TDotMatrix matrix);
    TDotMatrixBorders dotMatrixBorders() const { return m_borders; }
    void setDotMatrixBorders(TDotMatrixBorders borders);
    TPixelSize pixelSize() const { return m_pixelSize; }
    void setPixelSize(TPixelSize size);
    // Take effect only with pixCustom; 0 is refused with an error box.
    quint8 pixelWidth() const { return m_pixelWidth; }
    void setPixelWidth(quint8 width);
    quint8 pixelHeight() const { return m_pixelHeight; }
    void setPixelHeight(quint8 height);
    TPixelShape pixelShape() const { return m_pixelShape; }
    void setPixelShape(TPixelShape shape);
    quint8 pixelSpacing() const { return m_pixelSpacing; }
    void setPixelSpacing(quint8 spacing);
    quint8 charSpacing() const { return m_charSpacing; }
    void setCharSpacing(quint8 spacing);
    quint8 lineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(quint8 spacing);
    quint8 borderSpace() const { return m_borderSpace; }
    void setBorderSpace(quint8 space);
    TLCDBorder borderStyle() const { return m_borderStyle; }
    void setBorderStyle(TLCDBorder style);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);
    // 0 is refused with an error box.
    quint8 noOfLines() const { return m_noOfLines; }
    void setNoOfLines(quint8 lines);
    quint8 noOfChars() const { return m_noOfChars; }
    void setNoOfChars(quint8 chars);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    QColor pixelOn() const { return m_pixelOn; }
    void setPixelOn(const QColor &color);
    QColor pixelOff() const { return m_pixelOff; }
    void setPixelOff(const QColor &color);
    qint8 intensity() const { return m_intensity; }
    void setIntensity(qint8 intensity);
    TSpecialEffects specialEffects() const { return m_specialEffects; }
    void setSpecialEffects(TSpecialEffects effects);
    THorzScrollMode horzScrollMode() const { return m_horzScrollMode; }
    void setHorzScrollMode(THorzScrollMode mode);
    QList<QByteArray> lines() const { return m_lines; }
    void setLines(const QList<QByteArray> &lines);

    TLCDAnimator *lcdAnimator() const { return m_animator; }
    void setLCDAnimator(TLCDAnimator *animator);
    // Milliseconds between two ticks; a delay of 0 ticks every millisecond.
    quint32 animationDelay() const { return m_animationDelay; }
    void setAnimationDelay(quint32 delay);
    bool animationEnabled() const { return m_animationEnabled; }
    void setAnimationEnabled(bool enabled);
    bool animationRepeating() const { return m_animationRepeating; }
    void setAnimationRepeating(bool repeating) { m_animationRepeating = repeating; }

    // Derived state.
    const QList<QByteArray> &displayLines() const { return m_displayLines; }
    QColor litColor() const { return m_litColor; }
    QColor unlitColor() const { return m_unlitColor; }
    int cellWidth() const { return m_cellWidth; }
    int cellHeight() const { return m_cellHeight; }
    int dotColumns() const { return m_dotColumns; }
    int dotRows() const { return m_dotRows; }
    bool blinkPhase() const { return m_blinkPhase; }
    int wipeStep() const { return m_wipeStep; }
    TimerHandler timerHandler() const { return m_handler; }

    // Fits the size to the cells and redraws at once (when visible).
    void Paint();
    // DisplayLines := Lines, padded, then Paint.
    void ReloadLines();
    // 0 reloads the lines, 1 rewinds the animator, anything else does both.
    void Reset(int mode);
    // The whole control as it is drawn now.
    QImage renderFrame() const;

    // One tick of the animation: the current timer handler. ExecuteLine throws the script's
    // error; tick() shows it in the error box instead.
    void tick();
    void ExecuteLine();
    void WipeInStep();
    void WipeOutStep();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateGeometryFromCells();
    void updateColors();
    void buildCells();
    void padLines();
    void paintUnlessAnimating();
    void drawLines(QImage &frame) const;
    void drawChar(QImage &frame, int x, int y, unsigned char code, bool inverse) const;
    void runCommand(const ScriptCommand &command);
    void scrollHorizontally(qint8 n);
    void scrollVertically(qint8 n);
    void startWipe(TimerHandler handler);
    void finishWipeStep();
    void ensureDisplayRows();

    TDotMatrix m_dotMatrix = TDotMatrix::mat5x7;
    TDotMatrixBorders m_borders;
    TPixelSize m_pixelSize = TPixelSize::pixCustom;
    quint8 m_pixelWidth = 2;
    quint8 m_pixelHeight = 2;
    TPixelShape m_pixelShape = TPixelShape::psSquare;
    quint8 m_pixelSpacing = 1;
    quint8 m_charSpacing = 1;
    quint8 m_lineSpacing = 1;
    quint8 m_borderSpace = 3;
    TLCDBorder m_borderStyle = TLCDBorder::bsLowered;
    QColor m_borderColor = Qt::black;
    quint8 m_noOfLines = 1;
    quint8 m_noOfChars = 10;
    QColor m_color = QColor(192, 192, 192);
    QColor m_pixelOn = Qt::black;
    QColor m_pixelOff = QColor(170, 170, 170);
    qint8 m_intensity = 127;
    TSpecialEffects m_specialEffects;
    THorzScrollMode m_horzScrollMode = THorzScrollMode::smIndependant;
    QList<QByteArray> m_lines;

    QPointer<TLCDAnimator> m_animator;
    quint32 m_animationDelay = 250;
    bool m_animationEnabled = false;
    bool m_animationRepeating = false;
    QTimer *const m_animationTimer;
    TimerHandler m_handler = TimerHandler::ExecuteLine;
    bool m_blinkPhase = false;
    int m_wipeStep = 0;
    bool m_inTick = false;

    QList<QByteArray> m_displayLines;
    int m_dotColumns = 5;
    int m_dotRows = 7;
    int m_dotWidth = 2;
    int m_dotHeight = 2;
    int m_cellWidth = 0;
    int m_cellHeight = 0;
    int m_lastWidth = 0;
    int m_lastHeight = 0;
    QColor m_litColor;
    QColor m_unlitColor;
    QImage m_unlitCell;
    QImage m_litCell;
    // Which pixels of a dot's box a glyph dot covers (filled rectangle or ellipse).
    std::vector<bool> m_glyphDotMask;
};
