#pragma once

#include <QString>
#include <QTemporaryDir>

// Points the per-user settings store at a fresh temporary folder for the lifetime of the object
// and restores the standard location afterwards.
class TempSettings
{
public:
    TempSettings();
    ~TempSettings();
    TempSettings(const TempSettings &) = delete;
    TempSettings &operator=(const TempSettings &) = delete;

    QString root() const { return m_dir.path(); }
    // The file that holds a product key "Software\<maker>\<product>".
    QString productFile(const QString &maker, const QString &product) const;

private:
    QTemporaryDir m_dir;
};
