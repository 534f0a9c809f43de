#include "platform/linux/XkbLayoutRegistry.h"

#include <QFile>
#include <QXmlStreamReader>

namespace korvalen {

namespace {

const QString rulesFolder = QStringLiteral("/usr/share/X11/xkb/rules/");

} // namespace

XkbLayoutRegistry::XkbLayoutRegistry(QStringList files)
    : m_files(std::move(files))
{
}

XkbLayoutRegistry XkbLayoutRegistry::system()
{
    if (QFile::exists(rulesFolder + QStringLiteral("evdev.xml")))
        return XkbLayoutRegistry({rulesFolder + QStringLiteral("evdev.xml"),
                                  rulesFolder + QStringLiteral("evdev.extras.xml")});
    return XkbLayoutRegistry({rulesFolder + QStringLiteral("base.xml"),
                              rulesFolder + QStringLiteral("base.extras.xml")});
}

QString XkbLayoutRegistry::identifierForDescription(const QString& description) const
{
    readOnce();
    return m_identifiers.value(description);
}

QString XkbLayoutRegistry::descriptionForIdentifier(const QString& identifier) const
{
    readOnce();
    return m_descriptions.value(identifier);
}

void XkbLayoutRegistry::readOnce() const
{
    if (m_read)
        return;
    m_read = true;
    for (const QString& file : m_files)
        read(file);
}

void XkbLayoutRegistry::read(const QString& file) const
{
    QFile registry(file);
    if (!registry.open(QIODevice::ReadOnly))
        return;
    // <layout><configItem><name>de</name><description>German</description></configItem>
    // <variantList><variant><configItem><name>nodeadkeys</name>… within one another; models and
    // options have configItems too, outside any layout.
    QXmlStreamReader xml(&registry);
    bool inLayout = false;
    bool inVariant = false;
    QString layout;
    QString name;
    QString description;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const QStringView element = xml.name();
        if (token == QXmlStreamReader::StartElement) {
            if (element == u"layout")
                inLayout = true;
            else if (element == u"variant")
                inVariant = true;
            else if (element == u"configItem") {
                name.clear();
                description.clear();
            }
            else if (inLayout && element == u"name")
                name = xml.readElementText().trimmed();
            else if (inLayout && element == u"description")
                description = xml.readElementText().trimmed();
        }
        else if (token == QXmlStreamReader::EndElement) {
            if (element == u"layout") {
                inLayout = false;
            }
            else if (element == u"variant") {
                inVariant = false;
            }
            else if (inLayout && element == u"configItem") {
                if (!inVariant)
                    layout = name;
                const QString identifier = inVariant
                                               ? QStringLiteral("xkb:%1(%2)").arg(layout, name)
                                               : QStringLiteral("xkb:") + layout;
                if (!layout.isEmpty() && !name.isEmpty() && !description.isEmpty()) {
                    if (!m_identifiers.contains(description))
                        m_identifiers.insert(description, identifier);
                    if (!m_descriptions.contains(identifier))
                        m_descriptions.insert(identifier, description);
                }
            }
        }
    }
}

} // namespace korvalen
