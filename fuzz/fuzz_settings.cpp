// The settings file can be edited by hand, so its contents are outside input. Every input is
// read twice: as the two stored receiver values (split at the first zero byte), and as the
// whole settings file. Loading must never crash, and what it gives must come back unchanged
// from its stored form.
#include "platform/core/Registry.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void roundTrip(const QList<settings::ReceiverEntry> &receivers)
{
    const QList<settings::ReceiverEntry> again = settings::parseReceiverList(
        settings::joinReceiverList(receivers), settings::receiverCheckString(receivers));
    if (again != receivers)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir root;
    static const QString folder = root.path() + QStringLiteral("/Fernwald Softwerkbau");
    static const bool ready = QDir().mkpath(folder);
    if (!ready)
        std::abort();
    platform::setSettingsRoot(root.path());

    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype zero = bytes.indexOf('\0');
    const QString list = QString::fromUtf8(bytes.left(zero < 0 ? bytes.size() : zero));
    const QString checks = zero < 0 ? QString() : QString::fromUtf8(bytes.mid(zero + 1));
    roundTrip(settings::parseReceiverList(list, checks));

    QFile file(folder + QStringLiteral("/Plauderdeck.conf"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(bytes);
    file.close();
    if (const std::optional<settings::StoredSettings> loaded = settings::LoadSettings())
        roundTrip(loaded->receivers);
    return 0;
}
