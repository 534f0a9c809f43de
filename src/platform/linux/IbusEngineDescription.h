#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <optional>

namespace korvalen {

// What the IBus daemon tells of one of its engines: the parts of its IBusEngineDesc that Korvalen
// uses. Read from whatever the daemon sent, field by field and checking each one's type, so that
// another IBus version's layout costs properties rather than a crash.
class IbusEngineDescription {
public:
    // A description as the daemon sends it (the structure ("IBusEngineDesc", attachments, name,
    // long name, …), also inside variants); none when the value is not one or names no engine.
    static std::optional<IbusEngineDescription> fromDBus(const QVariant& value);
    // The descriptions in an array of variants ("av"), skipping any element that is not one.
    static QList<IbusEngineDescription> listFromDBus(const QVariant& value);
    // A description from the structure's fields in order, the IBusSerializable ones first.
    static std::optional<IbusEngineDescription> fromFields(const QVariantList& fields);

    // The icon as a file URL when it is an absolute path, as an icon of the theme
    // ("icon:ibus-keyboard") when it is a bare name; none without an icon.
    std::optional<QUrl> iconURL() const;

    QString name;
    QString longName;
    QString icon;
    // The XKB layout and variant an engine types with ("de", "nodeadkeys"); empty when unknown.
    QString layout;
    QString layoutVariant;
    // Which of the engines for one language IBus prefers: the higher, the more preferred.
    uint rank = 0;
};

} // namespace korvalen
