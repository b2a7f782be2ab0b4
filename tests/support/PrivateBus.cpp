#include "support/PrivateBus.h"

#include "support/Wait.h"

#include <QFile>
#include <QStandardPaths>

namespace {

// Anyone may own any name and talk to anyone: the bus serves one test.
constexpr char kConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

int g_connections = 0;

} // namespace

PrivateBus::PrivateBus()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty() || !m_dir.isValid())
        return;
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QString::fromLatin1(kConfig).arg(m_dir.filePath(QStringLiteral("socket"))).toUtf8());
    file.close();

    m_daemon.start(program, {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                             QStringLiteral("--config-file=") + config});
    if (!m_daemon.waitForStarted(kPatienceMs))
        return;
    QByteArray out;
    waitFor([&] {
        out += m_daemon.readAllStandardOutput();
        return out.contains('\n') || m_daemon.state() == QProcess::NotRunning;
    });
    m_address = QString::fromUtf8(out.left(out.indexOf('\n')).trimmed());
}

PrivateBus::~PrivateBus()
{
    for (const QString &name : std::as_const(m_connections))
        QDBusConnection::disconnectFromBus(name);
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(kPatienceMs))
            m_daemon.kill();
    }
}

QDBusConnection PrivateBus::connect()
{
    const QString name = QStringLiteral("private-bus-%1").arg(++g_connections);
    m_connections.append(name);
    return QDBusConnection::connectToBus(m_address, name);
}
