#include "chat/ReceiverListModel.h"

#include <QLocale>

#include <algorithm>

namespace chat {

ReceiverListModel::ReceiverListModel(QObject *parent) : QAbstractListModel(parent)
{
}

ReceiverListModel::~ReceiverListModel() = default;

int ReceiverListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant ReceiverListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ReceiverEntry &entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return entry.name;
    case Qt::CheckStateRole:
        return entry.checked ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

bool ReceiverListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const bool checked = static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked;
    ReceiverEntry &entry = m_entries[index.row()];
    if (entry.checked != checked) {
        entry.checked = checked;
        Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
    }
    return true;
}

Qt::ItemFlags ReceiverListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

bool ReceiverListModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_entries.size())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    m_entries.remove(row, count);
    endRemoveRows();
    return true;
}

void ReceiverListModel::setEntries(const QList<ReceiverEntry> &entries)
{
    beginResetModel();
    m_entries = entries;
    endResetModel();
}

void ReceiverListModel::append(const QString &name, bool checked)
{
    const int row = static_cast<int>(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.append({name, checked});
    endInsertRows();
}

bool ReceiverListModel::contains(const QString &name) const
{
    const QLocale locale;
    const QString lower = locale.toLower(name);
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [&](const ReceiverEntry &entry) { return locale.toLower(entry.name) == lower; });
}

bool ReceiverListModel::anyChecked() const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [](const ReceiverEntry &entry) { return entry.checked; });
}

} // namespace chat
