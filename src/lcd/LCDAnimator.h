#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

#include <vector>

// One command of an animation script line: name(argument);
struct ScriptCommand
{
    QByteArray Name; // at most 25 characters
    qint32 Argument = 0;
};

// Parses one script line into its commands. The line's first and last characters (by habit
// "[" and "]") are dropped, the rest is read case-blind; a command is name(integer); and the
// number of ";" in the line says how many commands there are (at most 255). Throws a
// platform::Exception "'%s' ist kein gültiger Integerwert" when an argument is not a plain
// decimal integer: the whole line is rejected before any of it runs.
std::vector<ScriptCommand> parseScriptLine(const QByteArray &line);

// The script a TLCDScreen runs with its timer: one line per tick (see parseScriptLine for the
// syntax). The commands are horzscroll(n), vertscroll(n), setintensity(n), animationdelay(ms),
// gotoline(line), resetdisplay(0), infopanelon(0) and infopaneloff(0); other names are ignored.
class TLCDAnimator : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TLCDAnimator)
    Q_PROPERTY(QList<QByteArray> Code READ code WRITE setCode)
    Q_PROPERTY(bool CodeErrorFound READ codeErrorFound WRITE setCodeErrorFound)
    Q_PROPERTY(qint16 CurrentLine READ currentLine WRITE setCurrentLine)

public:
    // A line number is 16 bits; a longer script is cut here.
    static constexpr int kMaxLines = 32767;

    explicit TLCDAnimator(QObject *parent = nullptr);
    ~TLCDAnimator() override;

    QList<QByteArray> code() const { return m_code; }
    void setCode(const QList<QByteArray> &code);

    // A stored mark only: nothing in the program computes it.
    bool codeErrorFound() const { return m_codeErrorFound; }
    void setCodeErrorFound(bool found) { m_codeErrorFound = found; }

    // The next line to run, from 0. A value beyond the script's line count becomes its last
    // line; others, negative ones too, are kept as they are.
    qint16 currentLine() const { return m_currentLine; }
    void setCurrentLine(int line);

Q_SIGNALS:
    void OnEndCode(TLCDAnimator *sender);
    void OnLineExecuted(TLCDAnimator *sender, quint16 lineNumber);

private:
    friend class TLCDScreen;

    QList<QByteArray> m_code;
    bool m_codeErrorFound = false;
    qint16 m_currentLine = 0;
};
