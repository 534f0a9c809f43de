#include "platform/linux/GnomeShellInputSources.h"

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

class GnomeShellInputSources::ShellSource final : public Source {
public:
    explicit ShellSource(GnomeShellExtension::InputSources::Source source)
        : m_source(std::move(source))
    {
    }

    const GnomeShellExtension::InputSources::Source& source() const { return m_source; }

private:
    GnomeShellExtension::InputSources::Source m_source;
};

GnomeShellInputSources::GnomeShellInputSources(QDBusConnection bus)
    : m_extension(std::move(bus))
{
    m_subscriptions.push_back(
        m_extension.subscribeToSourceChanges([this] { announceSelectedKeyboardSourceChanged(); }));
    // A new extension's sources are announced once it has told them.
    m_subscriptions.push_back(m_extension.subscribeToRunningChanges([this] {
        announceRunningChanged();
        if (!m_extension.isRunning())
            announceSelectedKeyboardSourceChanged();
    }));
}

QString GnomeShellInputSources::identifierOf(const QString& gnomeIdentifier)
{
    const QString type = gnomeIdentifier.section(u':', 0, 0);
    const QString id = gnomeIdentifier.section(u':', 1);
    if (type == u"ibus"_s && !id.isEmpty())
        return id;
    if (type == u"xkb"_s && !id.isEmpty()) {
        // GNOME writes a layout's variant after a plus sign, XKB's rules in parentheses.
        const QString layout = id.section(u'+', 0, 0);
        const QString variant = id.section(u'+', 1);
        return variant.isEmpty() ? u"xkb:"_s + layout : u"xkb:"_s + layout + u'(' + variant + u')';
    }
    return gnomeIdentifier;
}

const GnomeShellInputSources::ShellSource*
GnomeShellInputSources::shellSourceOf(const Handle& source)
{
    return dynamic_cast<const ShellSource*>(source.get());
}

QString GnomeShellInputSources::name() const
{
    return u"GNOME Shell"_s;
}

bool GnomeShellInputSources::isRunning()
{
    return m_extension.isRunning();
}

QList<TextInputSources::Handle> GnomeShellInputSources::enabledSources()
{
    QList<Handle> handles;
    const auto& listed = m_extension.inputSources();
    if (!listed)
        return handles;
    for (const auto& source : listed->sources)
        handles.append(std::make_shared<ShellSource>(source));
    return handles;
}

TextInputSources::Handle GnomeShellInputSources::currentKeyboardSource()
{
    const auto& listed = m_extension.inputSources();
    if (!listed || listed->current < 0)
        return nullptr;
    return std::make_shared<ShellSource>(listed->sources[listed->current]);
}

int GnomeShellInputSources::select(const Handle& source)
{
    const ShellSource* wanted = shellSourceOf(source);
    if (!wanted)
        return notListed;
    // GNOME switches by position, and the list may have changed since the handle was made.
    const auto& listed = m_extension.inputSources();
    if (!listed)
        return notTaken;
    const auto found =
        std::find_if(listed->sources.cbegin(), listed->sources.cend(), [wanted](const auto& s) {
            return s.gnomeIdentifier == wanted->source().gnomeIdentifier;
        });
    if (found == listed->sources.cend())
        return notListed;
    return m_extension.activateSource(int(found - listed->sources.cbegin())) ? selectAccepted
                                                                             : notTaken;
}

std::optional<bool> GnomeShellInputSources::isSelectCapable(const Handle& source) const
{
    return shellSourceOf(source) ? std::optional(true) : std::nullopt;
}

std::optional<QString> GnomeShellInputSources::category(const Handle& source) const
{
    return shellSourceOf(source) ? std::optional(keyboardCategory) : std::nullopt;
}

std::optional<QString> GnomeShellInputSources::identifier(const Handle& source) const
{
    const ShellSource* shell = shellSourceOf(source);
    return shell ? std::optional(identifierOf(shell->source().gnomeIdentifier)) : std::nullopt;
}

std::optional<QString> GnomeShellInputSources::localizedName(const Handle& source) const
{
    const ShellSource* shell = shellSourceOf(source);
    return shell ? std::optional(shell->source().name) : std::nullopt;
}

std::optional<QString> GnomeShellInputSources::inputMethodBundleID(const Handle& /*source*/) const
{
    return std::nullopt; // neither layouts nor IBus engines are installed as bundles
}

std::optional<QUrl> GnomeShellInputSources::iconURL(const Handle& /*source*/) const
{
    return std::nullopt; // the Shell shows a short label, not an icon
}

} // namespace korvalen
