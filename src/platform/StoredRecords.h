#pragma once

#include "platform/UserDefaults.h"
#include "support/JsonRecords.h"

namespace korvalen {

// One user defaults entry that holds a list of records as a JSON array.
//
// A stored value that cannot be read loads as an empty list and is left in place; before the
// first save replaces it, it is copied aside so that whatever the user had can still be recovered
// by hand: to "<key>.unreadable", or, when that holds an earlier copy, to the first free of
// "<key>.unreadable.2", "<key>.unreadable.3", … A copy is never overwritten, since each one may be
// the only record of a hand edit; a value equal to one already set aside is not copied again.
class StoredRecords {
public:
    StoredRecords(UserDefaults& defaults, QString key)
        : m_defaults(defaults)
        , m_key(std::move(key))
    {
    }

    // The stored records; empty when there are none or they cannot be read. Writes nothing.
    template <typename Record>
    QList<Record> load()
    {
        const auto stored = m_defaults.objectForKey(m_key);
        if (!stored)
            return {};
        if (const auto bytes = m_defaults.dataForKey(m_key)) {
            if (auto records = decodeJsonRecords<Record>(*bytes))
                return *records;
        }
        m_unreadableValue = stored;
        return {};
    }

    template <typename Record>
    void save(const QList<Record>& records)
    {
        if (m_unreadableValue) {
            setAside(*m_unreadableValue);
            m_unreadableValue.reset();
        }
        m_defaults.setData(m_key, encodeJsonRecords(records));
    }

private:
    void setAside(const QVariant& value)
    {
        const QString base = m_key + QStringLiteral(".unreadable");
        QString key = base;
        for (int number = 2;; ++number) {
            const auto earlier = m_defaults.objectForKey(key);
            if (!earlier)
                break;
            if (*earlier == value)
                return;
            key = base + u'.' + QString::number(number);
        }
        m_defaults.setObject(key, value);
    }

    UserDefaults& m_defaults;
    QString m_key;
    std::optional<QVariant> m_unreadableValue;
};

} // namespace korvalen
