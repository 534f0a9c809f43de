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

// The names that tell the layouts of a keymap apart: the symbols it was compiled from and the
// names of its groups.
constexpr unsigned keymapNamesMask = XkbSymbolsNameMask | XkbGroupNamesMask;

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
        if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor))
            return std::nullopt;
        // Of the state only the group matters; modifier changes would wake us on every Shift.
        // A keymap arrives whole (setxkbmap) or piece by piece (xkbcomp uploads the keys, then
        // the names): either way one of these follows each piece.
        const bool selected =
            XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                                  XkbGroupStateMask) &&
            XkbSelectEventDetails(display, XkbUseCoreKbd, XkbNewKeyboardNotify,
                                  XkbAllNewKeyboardEventsMask, XkbAllNewKeyboardEventsMask) &&
            XkbSelectEventDetails(display, XkbUseCoreKbd, XkbNamesNotify, keymapNamesMask,
                                  keymapNamesMask) &&
            XkbSelectEventDetails(display, XkbUseCoreKbd, XkbMapNotify, XkbKeySymsMask,
                                  XkbKeySymsMask);
        if (!selected)
            return std::nullopt;
        return eventBase;
    });
    if (!m_xkbEventType)
        return;
    // What the layouts were asked to be when the keymap names none of its own; setxkbmap and the
    // desktops' keyboard settings set it after loading a keymap.
    m_rulesNamesAtom = m_connection.internAtoms({"_XKB_RULES_NAMES"}).value(0);
    m_connection.selectRootPropertyChanges();
    m_knownGroups = layoutGroups();
    m_events = m_connection.subscribeToEvents([this](const std::vector<XEvent>& events) {
        // One announcement for a burst: listeners read the layout in effect, not each step. Most
        // keymap news leaves the layouts as they were (the keys' half of an upload, desktops
        // reloading the same keymap for each keyboard plugged in, Xvnc adding a key for a
        // character its viewer typed): only what changes the groups is announced.
        const bool groupChanged = includesGroupChange(events);
        const bool layoutsChanged = includesKeymapChange(events) && updateKnownGroups();
        if (groupChanged || layoutsChanged)
            m_layoutChanged.emit();
    });
}

bool XkbCoreKeyboard::includesGroupChange(const std::vector<XEvent>& events) const
{
    return std::ranges::any_of(events, [this](const XEvent& event) {
        // Xlib hands XKB events over in an XEvent, to be read as the XKB event they are.
        const auto& xkbEvent = reinterpret_cast<const XkbEvent&>(event);
        return event.type == *m_xkbEventType && xkbEvent.any.xkb_type == XkbStateNotify &&
               (xkbEvent.state.changed & XkbGroupStateMask);
    });
}

bool XkbCoreKeyboard::includesKeymapChange(const std::vector<XEvent>& events) const
{
    const bool keymapChanged = std::ranges::any_of(events, [this](const XEvent& event) {
        if (event.type != *m_xkbEventType)
            return false;
        const auto& xkbEvent = reinterpret_cast<const XkbEvent&>(event);
        switch (xkbEvent.any.xkb_type) {
        case XkbNewKeyboardNotify:
            return true;
        case XkbNamesNotify:
            return (xkbEvent.names.changed & keymapNamesMask) != 0;
        case XkbMapNotify:
            return (xkbEvent.map.changed & XkbKeySymsMask) != 0;
        default:
            return false;
        }
    });
    // The fallback for the identifiers.
    return keymapChanged || m_connection.rootPropertyChanged(events, m_rulesNamesAtom);
}

bool XkbCoreKeyboard::updateKnownGroups()
{
    QList<LayoutGroup> groups = layoutGroups();
    if (groups == m_knownGroups)
        return false;
    m_knownGroups = std::move(groups);
    return true;
}

QList<XkbCoreKeyboard::LayoutGroup> XkbCoreKeyboard::layoutGroups()
{
    if (!hasXkb())
        return {};
    std::optional<QString> symbolsName;
    QList<LayoutGroup> groups =
        m_connection.withDisplay([&symbolsName](Display* display) -> QList<LayoutGroup> {
            const std::unique_ptr<XkbDescRec, XkbDescDeleter> keyboard(XkbAllocKeyboard());
            if (!keyboard)
                return {};
            keyboard->device_spec = XkbUseCoreKbd;
            if (XkbGetControls(display, XkbAllControlsMask, keyboard.get()) != Success ||
                XkbGetNames(display, keymapNamesMask, keyboard.get()) != Success)
                return {};
            symbolsName = atomName(display, keyboard->names->symbols);
            QList<LayoutGroup> groups;
            const int groupCount = std::min<int>(keyboard->ctrls->num_groups, XkbNumKbdGroups);
            for (int group = 0; group < groupCount; ++group)
                groups.append({QString(), atomName(display, keyboard->names->groups[group])});
            return groups;
        });
    if (groups.isEmpty())
        return groups;
    // The keymap's own account of its layouts holds whoever loaded it; the property only says
    // what setxkbmap or the desktop last asked for, and an upload with xkbcomp leaves it behind.
    QStringList identifiers = xkbGroupIdentifiersFromSymbols(symbolsName.value_or(QString()));
    if (identifiers.isEmpty())
        identifiers = xkbGroupIdentifiersFromRulesNames(rulesNames());
    for (qsizetype group = 0; group < groups.size(); ++group)
        groups[group].identifier = identifiers.value(group);
    return groups;
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
