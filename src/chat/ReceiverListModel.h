#pragma once

#include "chat/ReceiverEntry.h"

#include <QAbstractListModel>
#include <QList>

namespace chat {

// The receiver list: the computers lines go to, in list order, each with a check mark. A line
// goes to every checked entry. Names are kept exactly as typed; two names are the same receiver
// when they are equal without regard to letter case (by the user's locale, so umlauts too).
class ReceiverListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReceiverListModel)

public:
    explicit ReceiverListModel(QObject *parent = nullptr);
    ~ReceiverListModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;

    QList<ReceiverEntry> entries() const { return m_entries; }
    void setEntries(const QList<ReceiverEntry> &entries);
    void append(const QString &name, bool checked);

    bool contains(const QString &name) const;
    bool anyChecked() const;

private:
    QList<ReceiverEntry> m_entries;
};

} // namespace chat
