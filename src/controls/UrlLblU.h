#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

class QMenu;

// A label that is a link. A left press opens `GoURL` (or, when that is blank, the caption) in
// the desktop's browser at once, and the text takes `FontDownColor` until the button is
// released. Only http and https addresses are opened, so a caption or address cannot start
// a local program or file. The label's own context menu ("&Copy") puts the address on the
// clipboard. `Click` only chooses between the hand and the arrow cursor. Its hint shows in a
// tooltip while the pointer rests on it, besides the status line.
class TUrlLabel : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TUrlLabel)
    Q_PROPERTY(QString GoURL READ goURL WRITE setGoURL)
    Q_PROPERTY(bool Click READ click WRITE setClick)
    Q_PROPERTY(QColor FontDownColor READ fontDownColor WRITE setFontDownColor)

public:
    explicit TUrlLabel(QWidget *parent = nullptr);
    ~TUrlLabel() override;

    QString goURL() const { return m_goURL; }
    void setGoURL(const QString &url) { m_goURL = url; }
    bool click() const { return m_click; }
    void setClick(bool click);
    QColor fontDownColor() const { return m_fontDownColor; }
    void setFontDownColor(const QColor &color) { m_fontDownColor = color; }

    QColor fontColor() const;
    void setFontColor(const QColor &color);

    // `GoURL` unless blank, else the caption.
    QString linkTarget() const;
    QMenu *popupMenu() const { return m_popupMenu; }

    // Puts `GoURL` (as stored) on the clipboard, or the caption when `GoURL` is blank.
    void CopyLink();

    // Whether `target` is an address the label hands to the browser.
    static bool isWebAddress(const QString &target);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QString m_goURL = QStringLiteral("https://www.fernwald.example.org/");
    bool m_click = true;
    QColor m_fontDownColor = QColor(128, 0, 128);
    QColor m_savedFontColor;
    QMenu *const m_popupMenu;
};
