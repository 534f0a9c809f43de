#pragma once

#include <QString>

#include <optional>

namespace korvalen {

// A version of GNOME Shell, and which copy of Korvalen's extension it takes: GNOME Shell 45
// changed extensions to ES modules, so one copy serves 43 and 44 and another 45 and later.
class GnomeVersion {
public:
    // "GNOME Shell 43.9", "43.9", "46.alpha" or "47"; none for anything else, "" included.
    static std::optional<GnomeVersion> fromText(const QString& text);
    // What `program --version` prints, waited for a short while; none when the program is
    // missing, fails or tells no version.
    static std::optional<GnomeVersion> ofProgram(const QString& program);

    int major() const { return m_major; }
    const QString& text() const { return m_text; } // "43.9"
    // The folder name of the copy for this version; empty for a Shell older than any copy.
    QString flavour() const;

private:
    GnomeVersion(int major, QString text);

    int m_major = 0;
    QString m_text;
};

} // namespace korvalen
