#include "platform/linux/XkbCoreKeyboard.h"

#include "platform/linux/XkbGroupIdentifiers.h"

#include <QStringDecoder>

#include <algorithm>

// Xlib defines macros (Bool, None, Status, …) that clash with Qt's names: include it last.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace korvalen {

namespace {

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

struct XkbDescDeleter {
    void operator()(XkbDescPtr keyboard) const { XkbFreeKeyboard(keyboard, 0, True); }
};

// Atom names are meant to be Latin-1, but keymap compilers store group names as they find them
// in the layout files, which are UTF-8.
QString decodeAtomName(const char* name)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(QByteArrayView(name));
    return utf8.hasError() ? QString::fromLatin1(name) : decoded;
}

std::optional<QString> atomName(Display* display, Atom atom)
{
    if (atom == None)
        return std::nullopt;
    const std::unique_ptr<char, XFreeDeleter> name(XGetAtomName(display, atom));
    if (!name)
        return std::nullopt;
    return decodeAtomName(name.get());
}

} // namespace

XkbCoreKeyboard::XkbCoreKeyboard(const QByteArray& displayName)
    : m_connection(displayName)
{
    m_xkbEventType = m_connection.withDisplay([](Display* display) -> std::optional<int> {
        int opcode = 0;
        int eventBase = 0;
        int errorBase = 0;
        int major = XkbMajorVersion;
        int minor = XkbMinorVersion;
        // Only group changes matter; modifier changes would wake us on every Shift.
        if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor) ||
            !XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                                   XkbGroupStateMask))
            return std::nullopt;
        return eventBase;
    });
    if (!m_xkbEventType)
        return;
    // Whoever loads a keymap (setxkbmap, the desktop's keyboard settings) sets this property
    // after the upload, so its change says the new layouts are in place and named.
    m_rulesNamesAtom = m_connection.internAtoms({"_XKB_RULES_NAMES"}).value(0);
    m_connection.selectRootPropertyChanges();
    m_events = m_connection.subscribeToEvents([this](const std::vector<XEvent>& events) {
        // One announcement for a burst: listeners read the layout in effect, not each step.
        if (includesLayoutChange(events))
            m_layoutChanged.emit();
    });
}

bool XkbCoreKeyboard::includesLayoutChange(const std::vector<XEvent>& events) const
{
    const bool groupChanged = std::ranges::any_of(events, [this](const XEvent& event) {
        // Xlib hands XKB events over in an XEvent, to be read as the XKB event they are.
        return event.type == *m_xkbEventType &&
               reinterpret_cast<const XkbAnyEvent&>(event).xkb_type == XkbStateNotify &&
               (reinterpret_cast<const XkbStateNotifyEvent&>(event).changed & XkbGroupStateMask);
    });
    return groupChanged || m_connection.rootPropertyChanged(events, m_rulesNamesAtom);
}

QList<XkbCoreKeyboard::LayoutGroup> XkbCoreKeyboard::layoutGroups()
{
    if (!hasXkb())
        return {};
    const QStringList identifiers = xkbGroupIdentifiers(rulesNames());
    return m_connection.withDisplay([&identifiers](Display* display) {
        QList<LayoutGroup> groups;
        const std::unique_ptr<XkbDescRec, XkbDescDeleter> keyboard(XkbAllocKeyboard());
        if (!keyboard)
            return groups;
        keyboard->device_spec = XkbUseCoreKbd;
        if (XkbGetControls(display, XkbAllControlsMask, keyboard.get()) != Success ||
            XkbGetNames(display, XkbGroupNamesMask, keyboard.get()) != Success)
            return groups;
        const int groupCount = std::min<int>(keyboard->ctrls->num_groups, XkbNumKbdGroups);
        for (int group = 0; group < groupCount; ++group)
            groups.append(
                {identifiers.value(group), atomName(display, keyboard->names->groups[group])});
        return groups;
    });
}

std::optional<int> XkbCoreKeyboard::currentGroup()
{
    if (!hasXkb())
        return std::nullopt;
    return m_connection.withDisplay([](Display* display) -> std::optional<int> {
        XkbStateRec state;
        if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
            return std::nullopt;
        return state.group;
    });
}

bool XkbCoreKeyboard::lockGroup(int group)
{
    if (!hasXkb() || group < 0 || group >= XkbNumKbdGroups)
        return false;
    const bool sent = m_connection.withDisplay([group](Display* display) {
        const bool queued = XkbLockGroup(display, XkbUseCoreKbd, unsigned(group));
        XFlush(display);
        return queued;
    });
    return sent && m_connection.isConnected();
}

QByteArray XkbCoreKeyboard::rulesNames()
{
    // A list of Latin-1 texts, read back into the bytes it was written as.
    return m_connection.textProperty(m_connection.rootWindow(), m_rulesNamesAtom)
        .value_or(QString())
        .toLatin1();
}

} // namespace korvalen
