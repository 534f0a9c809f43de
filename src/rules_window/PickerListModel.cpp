#include "rules_window/PickerListModel.h"

namespace korvalen {

PickerListModel::PickerListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void PickerListModel::setEntries(QList<Entry> entries, IconOf iconOf)
{
    beginResetModel();
    m_entries = std::move(entries);
    m_iconOf = std::move(iconOf);
    m_icons.clear();
    updateShownEntries();
    endResetModel();
}

void PickerListModel::setFilter(const QString& text)
{
    if (text == m_filter)
        return;
    beginResetModel();
    m_filter = text;
    updateShownEntries();
    endResetModel();
}

void PickerListModel::forgetIcons()
{
    m_icons.clear();
    if (!m_shown.isEmpty())
        Q_EMIT dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
}

void PickerListModel::updateShownEntries()
{
    m_shown.clear();
    m_shown.reserve(m_entries.size());
    for (qsizetype entry = 0; entry < m_entries.size(); ++entry) {
        if (m_entries.at(entry).name.contains(m_filter, Qt::CaseInsensitive))
            m_shown.append(entry);
    }
}

qsizetype PickerListModel::entryAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= m_shown.size())
        return -1;
    return m_shown.at(index.row());
}

QString PickerListModel::idAt(const QModelIndex& index) const
{
    const qsizetype entry = entryAt(index);
    return entry < 0 ? QString() : m_entries.at(entry).id;
}

QModelIndex PickerListModel::indexOf(const QString& id) const
{
    if (id.isEmpty())
        return {};
    for (qsizetype row = 0; row < m_shown.size(); ++row) {
        if (m_entries.at(m_shown.at(row)).id == id)
            return index(int(row));
    }
    return {};
}

int PickerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant PickerListModel::data(const QModelIndex& index, int role) const
{
    const qsizetype entry = entryAt(index);
    if (entry < 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return m_entries.at(entry).name;
    case Qt::DecorationRole: {
        auto icon = m_icons.find(entry);
        if (icon == m_icons.end())
            icon = m_icons.insert(entry, m_iconOf ? m_iconOf(entry) : QIcon());
        return *icon;
    }
    default:
        return {};
    }
}

} // namespace korvalen
