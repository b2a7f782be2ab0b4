#include "chat/ReceiverListModel.h"

#include <gtest/gtest.h>

using chat::ReceiverEntry;
using chat::ReceiverListModel;

namespace {

TEST(ReceiverListModelTest, ANameIsKnownWithoutRegardToLetterCaseAlsoOfUmlauts)
{
    ReceiverListModel model;
    model.setEntries({{QStringLiteral("Jörgs-PC"), false}, {QStringLiteral("192.168.0.7 "), true}});
    const std::pair<QString, bool> cases[] = {
        {QStringLiteral("Jörgs-PC"), true},     {QStringLiteral("JÖRGS-PC"), true},
        {QStringLiteral("jörgs-pc"), true},     {QStringLiteral("jorgs-pc"), false},
        {QStringLiteral(" Jörgs-PC"), false},   {QStringLiteral("192.168.0.7"), false},
        {QStringLiteral("192.168.0.7 "), true}, {QString(), false},
    };
    for (const auto &[name, known] : cases) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(model.contains(name), known);
    }
}

TEST(ReceiverListModelTest, CheckMarksAreTheOnlyEditAndTheListKeepsItsOrder)
{
    ReceiverListModel model;
    EXPECT_FALSE(model.anyChecked());
    model.setEntries({{QStringLiteral("A"), false}, {QStringLiteral("B"), false}});
    model.append(QStringLiteral("C"), false);
    EXPECT_FALSE(model.anyChecked());

    const QModelIndex b = model.index(1);
    EXPECT_EQ(model.data(b), QStringLiteral("B"));
    EXPECT_EQ(model.flags(b), Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.setData(b, QStringLiteral("X"), Qt::EditRole));
    EXPECT_TRUE(model.setData(b, Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(model.data(b, Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_TRUE(model.anyChecked());
    EXPECT_EQ(model.entries(), QList<ReceiverEntry>({{"A", false}, {"B", true}, {"C", false}}));

    // Rows outside the list are left alone.
    EXPECT_FALSE(model.removeRows(2, 2));
    EXPECT_FALSE(model.removeRows(-1, 1));
    EXPECT_TRUE(model.removeRows(1, 1));
    EXPECT_EQ(model.entries(), QList<ReceiverEntry>({{"A", false}, {"C", false}}));
    EXPECT_FALSE(model.anyChecked());
}

} // namespace
