#include "rules_window/ItemIcons.h"

#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QImageReader>
#include <QStyle>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

// The image in a file; null when it is not a readable image. Only regular files are opened: a
// named pipe or a device at the path would block the interface or never end. Qt refuses images
// too large to decode in memory, so a hostile file costs a failed read at most.
QIcon imageAt(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isAbsolute() || !file.isFile() || !QImageReader(path).canRead())
        return {};
    // Decoded at once, so a file whose contents fail gives a null icon here rather than a blank
    // one when it is drawn.
    QIcon image(path);
    return image.isNull() ? QIcon() : image;
}

QIcon genericApplicationIcon()
{
    // Many rows show it, and the style decodes its images afresh at every call: made once for
    // each icon theme and style.
    static QString madeFor;
    static QIcon made;
    const QString source = QIcon::themeName() + u'/' + QApplication::style()->name();
    if (made.isNull() || madeFor != source) {
        const QString name = u"application-x-executable"_s;
        made = QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name)
                                         : QApplication::style()->standardIcon(QStyle::SP_FileIcon);
        madeFor = source;
    }
    return made;
}

QIcon themeIconOrNone(const QString& name)
{
    return QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name) : QIcon();
}

} // namespace

ItemIcons::ItemIcons(const TextInputSources& inputSources, const Workspace& workspace)
    : m_inputSources(inputSources)
    , m_workspace(workspace)
{
}

QIcon ItemIcons::forInputSource(const InputSource& source) const
{
    if (const auto bundleID = m_inputSources.inputMethodBundleID(source.raw);
        bundleID && !bundleID->isEmpty()) {
        if (const auto path = m_workspace.pathForApplication(*bundleID)) {
            if (QIcon icon = ownIconOfApplicationAt(*path); !icon.isNull())
                return icon;
        }
    }
    const auto url = m_inputSources.iconURL(source.raw);
    if (!url)
        return {};
    if (url->isLocalFile())
        return imageAt(url->toLocalFile());
    if (url->scheme() == TextInputSources::themeIconScheme)
        return themeIconOrNone(url->path());
    return {};
}

QIcon ItemIcons::forApplicationAt(const QString& bundlePath) const
{
    QIcon icon = ownIconOfApplicationAt(bundlePath);
    return icon.isNull() ? genericApplicationIcon() : icon;
}

QIcon ItemIcons::ownIconOfApplicationAt(const QString& bundlePath) const
{
    if (bundlePath.isEmpty())
        return {};
    if (const auto name = m_workspace.iconNameForApplicationAt(bundlePath); name) {
        if (QDir::isAbsolutePath(*name))
            return imageAt(*name);
        return themeIconOrNone(*name);
    }
    // A bundle names its icon in its own way; the file icon provider reads it.
    if (QFileInfo(bundlePath).isDir())
        return QFileIconProvider().icon(QFileInfo(bundlePath));
    return {};
}

} // namespace korvalen
