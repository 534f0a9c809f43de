#pragma once

#include "input/InputSource.h"
#include "platform/TextInputSources.h"
#include "platform/Workspace.h"

#include <QIcon>
#include <QString>

namespace korvalen {

// The icons of the things the rules window lists, asked afresh at every call.
class ItemIcons {
public:
    ItemIcons(const TextInputSources& inputSources, const Workspace& workspace);

    // The input method's own application icon, else the image at the source's icon address;
    // a null icon when there is neither (the caller then draws the keyboard symbol).
    QIcon forInputSource(const InputSource& source) const;
    // The icon of the application at `bundlePath` (a bundle or desktop entry); the generic
    // application icon when it has none, or the path is empty.
    QIcon forApplicationAt(const QString& bundlePath) const;

private:
    // The icon the application itself names or has; null when it has none.
    QIcon ownIconOfApplicationAt(const QString& bundlePath) const;

    const TextInputSources& m_inputSources;
    const Workspace& m_workspace;
};

} // namespace korvalen
