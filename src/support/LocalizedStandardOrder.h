#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QList>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <vector>

namespace korvalen {

// The order a file browser gives names: letter case ignored, runs of digits compared by their
// numeric value ("App 9" before "App 10"), everything else by the collation of the user's locale.
class LocalizedStandardOrder {
public:
    explicit LocalizedStandardOrder(const QLocale& locale = QLocale());

    // Negative when `a` goes first, zero when the two compare as the same, positive otherwise.
    int compare(const QString& a, const QString& b) const { return m_collator.compare(a, b); }

    // Sorts the records by the name `nameOf` gives each, ascending; records whose names compare
    // as the same keep their order.
    template <typename Record, typename NameOf>
    void sortStably(QList<Record>& records, NameOf nameOf) const
    {
        // One collation key per record: comparing keys is far cheaper than collating the names
        // again for every comparison the sort makes.
        struct Keyed {
            QCollatorSortKey key;
            Record record;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(size_t(records.size()));
        for (Record& record : records)
            keyed.push_back(Keyed{m_collator.sortKey(nameOf(record)), std::move(record)});
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const Keyed& a, const Keyed& b) { return a.key.compare(b.key) < 0; });
        for (size_t i = 0; i < keyed.size(); ++i)
            records[qsizetype(i)] = std::move(keyed[i].record);
    }

private:
    QCollator m_collator;
};

} // namespace korvalen
