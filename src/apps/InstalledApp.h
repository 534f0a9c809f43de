#pragma once

#include <QHashFunctions>
#include <QString>

namespace korvalen {

// One application offered in the application pickers. Lists and pickers tell records apart by
// `bundleID` alone; two records are equal only when all three fields are.
struct InstalledApp {
    QString bundleID;    // e.g. "com.google.Chrome" or "org.gnome.Terminal"; the picker's value
    QString displayName; // what the user sees, and the sort key
    QString bundlePath;  // the bundle (macOS) or desktop entry (Linux); empty when unknown

    friend bool operator==(const InstalledApp&, const InstalledApp&) = default;
};

inline size_t qHash(const InstalledApp& app, size_t seed = 0)
{
    return qHashMulti(seed, app.bundleID, app.displayName, app.bundlePath);
}

} // namespace korvalen
