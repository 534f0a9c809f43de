#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

#include <functional>

namespace korvalen {

// The entries of a picker's list, optionally narrowed to those whose name contains a text.
//
// An entry's icon is made the first time the list draws the entry, and kept until the entries are
// set again: a list of thousands of applications reads only the icons it shows.
class PickerListModel : public QAbstractListModel {
    Q_OBJECT
public:
    struct Entry {
        QString id;
        QString name;
    };
    // The icon of the entry at a position of the list given to setEntries().
    using IconOf = std::function<QIcon(qsizetype entry)>;

    explicit PickerListModel(QObject* parent = nullptr);

    // Replaces the entries; the filter is kept.
    void setEntries(QList<Entry> entries, IconOf iconOf);
    // Shows the entries whose name contains `text`, ignoring case as the user's language does
    // (all of them for an empty text). Always narrows the whole list, never the last result.
    void setFilter(const QString& text);
    // Forgets the icons made so far, for when they would look different now.
    void forgetIcons();

    // The position in the list given to setEntries() of the entry in a row; -1 for none.
    qsizetype entryAt(const QModelIndex& index) const;
    // The identifier of the entry in a row; empty for none.
    QString idAt(const QModelIndex& index) const;
    // The first shown row of the entry with this identifier; invalid when none is shown.
    QModelIndex indexOf(const QString& id) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void updateShownEntries();

    QList<Entry> m_entries;
    IconOf m_iconOf;
    QString m_filter;
    QList<qsizetype> m_shown; // the entry of each row
    mutable QHash<qsizetype, QIcon> m_icons;
};

} // namespace korvalen
