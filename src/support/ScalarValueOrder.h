#pragma once

#include <QList>
#include <QString>

#include <algorithm>
#include <vector>

namespace korvalen {

// Sorts records by a text the way plain text compares, not the way a language does: by Unicode
// scalar values after canonical composition (NFC), so "é" typed as one character or as "e" and
// an accent sorts the same, upper-case ASCII letters go before lower-case ones, and a character
// beyond the Basic Multilingual Plane goes after U+FFFF rather than among the surrogates of its
// UTF-16 form. Records whose texts are equal keep their order.
template <typename Record, typename TextOf>
void sortByScalarValues(QList<Record>& records, TextOf textOf)
{
    struct Keyed {
        QList<uint> key;
        Record record;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(records.size()));
    for (Record& record : records)
        keyed.push_back(Keyed{textOf(record).normalized(QString::NormalizationForm_C).toUcs4(),
                              std::move(record)});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
    for (size_t i = 0; i < keyed.size(); ++i)
        records[qsizetype(i)] = std::move(keyed[i].record);
}

} // namespace korvalen
