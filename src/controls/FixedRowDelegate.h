#pragma once

#include <QStyledItemDelegate>

// Draws a list's items as the standard delegate does, one per line of a fixed height, as the
// small list boxes of the program's windows show them.
class FixedRowDelegate : public QStyledItemDelegate
{
public:
    static constexpr int kRowHeight = 13;

    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight};
    }
};
