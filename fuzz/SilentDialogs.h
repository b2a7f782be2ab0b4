#pragma once

// Boxes a fuzz target would open go nowhere: a target runs without anyone to close them.

#include "platform/gui/Dialogs.h"

class SilentDialogs final : public platform::Dialogs
{
public:
    void warning(const QString &) override {}
    void information(const QString &) override {}
    bool confirmation(const QString &) override { return false; }
    void sorry(const QString &) override {}
    void error(const QString &) override {}
    std::optional<QColor> chooseColor(const QColor &) override { return std::nullopt; }
};
