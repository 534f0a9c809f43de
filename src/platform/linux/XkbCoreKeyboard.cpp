#include "platform/linux/XkbCoreKeyboard.h"

#include "platform/linux/XkbGroupIdentifiers.h"

#include <QStringDecoder>

#include <algorithm>
#include <utility>
#include <vector>

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

// The names of the atoms, in one request; none for None and for atoms the server does not know.
QList<std::optional<QString>> atomNames(Display* display, const QList<Atom>& atoms)
{
    QList<Atom> named;
    for (const Atom atom : atoms) {
        if (atom != None)
            named.append(atom);
    }
    std::vector<char*> names(size_t(named.size()), nullptr);
    // On an unknown atom the call fails, yet still names the others.
    XGetAtomNames(display, named.data(), int(named.size()), names.data());
    QList<std::optional<QString>> result;
    qsizetype next = 0;
    for (const Atom atom : atoms) {
        if (atom == None) {
            result.append(std::nullopt);
            continue;
        }
        const std::unique_ptr<char, XFreeDeleter> name(names[size_t(next++)]);
        result.append(name ? std::optional(decodeAtomName(name.get())) : std::nullopt);
    }
    return result;
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
    readKeymap();
    m_handledGroups = m_groups;
    m_events = m_connection.subscribeToEvents([this](const std::vector<XEvent>& events) {
        News news;
        for (const XEvent& event : events)
            read(event, news);
        take(news);
        // One announcement for a burst: listeners read the layout in effect, not each step. Most
        // keymap news leaves the layouts as they were (the keys' half of an upload, desktops
        // reloading the same keymap for each keyboard plugged in, Xvnc adding a key for a
        // character its viewer typed): only what changes the groups is announced.
        const bool layoutsChanged = std::exchange(m_handledGroups, m_groups) != m_groups;
        if (news.group || layoutsChanged)
            m_layoutChanged.emit();
    });
}

void XkbCoreKeyboard::read(const XEvent& event, News& news) const
{
    if (event.type == PropertyNotify) {
        // The fallback for the identifiers.
        news.keymapChanged |= event.xproperty.window == m_connection.rootWindow() &&
                              event.xproperty.atom == m_rulesNamesAtom;
        return;
    }
    if (event.type != *m_xkbEventType)
        return;
    // Xlib hands XKB events over in an XEvent, to be read as the XKB event they are.
    const auto& xkbEvent = reinterpret_cast<const XkbEvent&>(event);
    switch (xkbEvent.any.xkb_type) {
    case XkbStateNotify:
        if (xkbEvent.state.changed & XkbGroupStateMask)
            news.group = xkbEvent.state.group;
        break;
    case XkbNewKeyboardNotify:
        news.keymapChanged = true;
        break;
    case XkbNamesNotify:
        news.keymapChanged |= (xkbEvent.names.changed & keymapNamesMask) != 0;
        break;
    case XkbMapNotify:
        news.keymapChanged |= (xkbEvent.map.changed & XkbKeySymsMask) != 0;
        break;
    default:
        break;
    }
}

void XkbCoreKeyboard::catchUp()
{
    const News news = m_connection.withDisplay([this](Display* display) {
        struct Reading {
            const XkbCoreKeyboard* keyboard;
            News news;
        } reading{this, {}};
        // Reads what the server has sent without waiting, and looks at every event queued
        // without taking any: all of them are still dispatched from the event loop.
        XEvent unused;
        XCheckIfEvent(
            display, &unused,
            [](Display*, XEvent* event, XPointer argument) -> Bool {
                auto* reading = reinterpret_cast<Reading*>(argument);
                reading->keyboard->read(*event, reading->news);
                return False;
            },
            reinterpret_cast<XPointer>(&reading));
        return reading.news;
    });
    take(news);
}

void XkbCoreKeyboard::take(const News& news)
{
    if (news.keymapChanged)
        readKeymap();
    else if (news.group)
        m_group = news.group;
}

void XkbCoreKeyboard::readKeymap()
{
    m_groups = readLayoutGroups();
    // A keymap with fewer groups may bring the group in effect into range.
    m_group = readCurrentGroup();
}

QList<XkbCoreKeyboard::LayoutGroup> XkbCoreKeyboard::layoutGroups()
{
    if (!hasXkb())
        return {};
    catchUp();
    return m_groups;
}

QList<XkbCoreKeyboard::LayoutGroup> XkbCoreKeyboard::readLayoutGroups()
{
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
            const int groupCount = std::min<int>(keyboard->ctrls->num_groups, XkbNumKbdGroups);
            QList<Atom> atoms{keyboard->names->symbols};
            atoms.append(
                QList<Atom>(keyboard->names->groups, keyboard->names->groups + groupCount));
            const QList<std::optional<QString>> names = atomNames(display, atoms);
            symbolsName = names.first();
            QList<LayoutGroup> groups;
            for (qsizetype group = 1; group < names.size(); ++group)
                groups.append({QString(), names.at(group)});
            return groups;
        });
    if (groups.isEmpty())
        return groups;
    // The keymap's own account of its layouts holds whoever loaded it; the property only says
    // what setxkbmap or the desktop last asked for, and an upload with xkbcomp leaves it behind.
    QStringList identifiers = xkbGroupIdentifiersFromSymbols(symbolsName.value_or(QString()));
    // Only then do the rules' names, and their changes, count: watching the root window's
    // properties all the time would wake us at every change of the window in front.
    watchRulesNames(identifiers.isEmpty());
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
    catchUp();
    return m_group;
}

std::optional<int> XkbCoreKeyboard::readCurrentGroup()
{
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

void XkbCoreKeyboard::watchRulesNames(bool watched)
{
    // Before the property is read: a change in between is then heard of.
    if (watched != m_rulesNamesWatched)
        m_connection.selectRootPropertyChanges(watched);
    m_rulesNamesWatched = watched;
}

QByteArray XkbCoreKeyboard::rulesNames()
{
    // A list of Latin-1 texts, read back into the bytes it was written as.
    return m_connection.textProperty(m_connection.rootWindow(), m_rulesNamesAtom)
        .value_or(QString())
        .toLatin1();
}

} // namespace korvalen
