#pragma once

#include "platform/LoginItems.h"

#include <QString>

namespace korvalen {

// The user's XDG autostart entry ($XDG_CONFIG_HOME/autostart/<application ID>.desktop), which
// every freedesktop session starts at login.
class XdgAutostart final : public LoginItems {
public:
    static inline const QString applicationID = QStringLiteral("io.github.korvalen.Korvalen");

    // The entry of the current user, starting the program at `programPath`.
    static XdgAutostart forCurrentUser(const QString& programPath);
    XdgAutostart(QString entryPath, QString programPath);

    bool startsAtLogin() const override;
    bool setStartsAtLogin(bool starts) override;

    const QString& entryPath() const { return m_entryPath; }

private:
    QString m_entryPath;
    QString m_programPath;
};

} // namespace korvalen
