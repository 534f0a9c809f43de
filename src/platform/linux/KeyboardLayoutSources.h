#pragma once

#include "platform/TextInputSources.h"

#include <QList>
#include <QString>

#include <optional>

namespace korvalen {

// The part that backends listing plain keyboard layouts have in common: their sources are layouts
// at positions of the platform's list, always selectable, never provided by an input method and
// without icons. A backend only lists the layouts, tells the position in use and switches.
class KeyboardLayoutSources : public TextInputSources {
public:
    std::optional<bool> isSelectCapable(const Handle& source) const override;
    std::optional<QString> category(const Handle& source) const override;
    std::optional<QString> identifier(const Handle& source) const override;
    std::optional<QString> localizedName(const Handle& source) const override;
    std::optional<QString> inputMethodBundleID(const Handle& source) const override;
    std::optional<QUrl> iconURL(const Handle& source) const override;

protected:
    // One layout as the platform lists it.
    struct Layout {
        // The identifier that the XKB group of the layout has on X11; empty when unknown.
        QString identifier;
        std::optional<QString> name;

        bool operator==(const Layout&) const = default;
    };

    // One layout as it was when the source was listed.
    class LayoutSource final : public Source {
    public:
        LayoutSource(int position, Layout layout)
            : m_position(position)
            , m_layout(std::move(layout))
        {
        }

        int position() const { return m_position; }
        const Layout& layout() const { return m_layout; }

    private:
        int m_position;
        Layout m_layout;
    };

    // The layout behind a handle made by a backend of this kind; null for any other handle.
    static const LayoutSource* layoutSourceOf(const Handle& source);
    // A source for the layout at the position; null when the position is outside the list.
    static Handle sourceAt(const QList<Layout>& layouts, int position);
    // A source for each layout, in the list's order.
    static QList<Handle> sourcesOf(const QList<Layout>& layouts);
    // The layout behind the handle when its position still holds the same layout. Positions are
    // all a switch names, and after a reload the same one may hold another layout, which the
    // user did not ask for.
    static const LayoutSource* stillListed(const Handle& source, const QList<Layout>& layouts);
};

} // namespace korvalen
