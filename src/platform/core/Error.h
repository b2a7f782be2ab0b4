#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace platform {

// The program's general error: a German text meant for the user. Errors that no handler
// catches end the handler and are shown in the application's error box with this text.
class Exception : public std::exception
{
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

} // namespace platform
