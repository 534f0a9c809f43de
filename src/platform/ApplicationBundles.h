#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace korvalen {

// What one installed application's entry says about itself. A text is absent when the entry does
// not give it, or gives something other than text.
struct ApplicationBundle {
    std::optional<QString> identifier;
    std::optional<QString> displayName; // the name meant for display, in the user's language
    std::optional<QString> name;        // the short name
    // The entry claims its identifier, so copies in later folders stay hidden, but asks not to be
    // offered itself (a desktop entry the user or the system has hidden).
    bool isHidden = false;
};

// The installed applications as the file system holds them: the folders to look in, which of a
// folder's entries are applications, and what each one says about itself. Reads the disk afresh
// on every call.
class ApplicationBundles {
public:
    virtual ~ApplicationBundles() = default;

    // The folders that hold applications, the most important first.
    virtual QStringList scanDirectories() const = 0;
    // The names of the entries in a folder, in no particular order; none when the folder is
    // missing or cannot be read.
    virtual std::optional<QStringList> entryNames(const QString& folder) const = 0;
    // Whether the entry with this name is an application, judged by the name alone.
    virtual bool isApplicationEntry(const QString& entryName) const = 0;
    // What the application entry `entryName` of `folder` says; none when it is not an
    // application after all.
    virtual std::optional<ApplicationBundle> open(const QString& folder,
                                                  const QString& entryName) const = 0;
    // The name shown for an application whose entry names none.
    virtual QString fallbackName(const QString& entryName) const = 0;

    // The path of a folder's entry: the two joined by one separator.
    static QString entryPath(const QString& folder, const QString& entryName);
};

} // namespace korvalen
