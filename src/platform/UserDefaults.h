#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

namespace korvalen {

// The user's persistent key-value settings. A backend stores and returns values as they are; the
// typed readers below decide, the same way on every backend, which stored values count as a text,
// binary data or a truth value. A stored false stays distinguishable from an absent entry.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    // The stored value, or none when there is no entry.
    virtual std::optional<QVariant> objectForKey(const QString& key) const = 0;
    // Stores the value; it has reached persistent storage when this returns, unless storage failed.
    virtual void setObject(const QString& key, const QVariant& value) = 0;
    virtual void removeObject(const QString& key) = 0;

    bool hasObjectForKey(const QString& key) const { return objectForKey(key).has_value(); }
    // The stored text; none when the entry is absent or holds no text.
    std::optional<QString> stringForKey(const QString& key) const;
    // The stored bytes; none when the entry is absent or holds no binary data.
    std::optional<QByteArray> dataForKey(const QString& key) const;
    // The stored truth value; false when the entry is absent or cannot be read as one. Texts read
    // as truth values the way settings files write them: "true", "YES", "1" are true.
    bool boolForKey(const QString& key) const;

    void setString(const QString& key, const QString& value) { setObject(key, value); }
    void setData(const QString& key, const QByteArray& value) { setObject(key, value); }
    void setBool(const QString& key, bool value) { setObject(key, value); }
};

} // namespace korvalen
