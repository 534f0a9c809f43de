#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace korvalen {

// The layouts and variants that the XKB rules' registry describes, by their descriptions
// ("German (no dead keys)"): the names that keymaps give their groups, which is all some
// compositors tell of a keyboard's layouts. Read on first use.
class XkbLayoutRegistry {
public:
    // Registry files, most important first: the first description of a layout counts.
    explicit XkbLayoutRegistry(QStringList files);
    // The evdev rules' registry and its extras, else the base rules'.
    static XkbLayoutRegistry system();

    // The input source identifier of the layout so described, as XKB groups have it on X11
    // ("xkb:de(nodeadkeys)"); empty when no layout is so described.
    QString identifierForDescription(const QString& description) const;
    // The description of the layout with that identifier ("xkb:de(nodeadkeys)"), for
    // compositors that tell a keyboard's layouts by their names in the rules; empty when the
    // registry has no such layout.
    QString descriptionForIdentifier(const QString& identifier) const;

private:
    void readOnce() const;
    void read(const QString& file) const;

    QStringList m_files;
    mutable bool m_read = false;
    mutable QHash<QString, QString> m_identifiers;  // by description
    mutable QHash<QString, QString> m_descriptions; // by identifier
};

} // namespace korvalen
