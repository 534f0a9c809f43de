#include "RulesWindowFixture.h"

#include "rules_window/AppIconView.h"
#include "rules_window/InputSourceIconView.h"
#include "rules_window/SymbolIcons.h"
#include "support/TemporaryFolder.h"

#include <QStyle>

#include <map>

using namespace korvalen;
using namespace korvalen::testing;

namespace {

QImage filled(QSize size, const QColor& colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// An icon theme of single-coloured 32 px icons, current while it lives.
class IconTheme {
public:
    explicit IconTheme(const std::map<QString, QColor>& icons)
    {
        m_folder.write(u"test-theme/index.theme"_s,
                       "[Icon Theme]\nName=Test\nDirectories=32x32/apps\n\n"
                       "[32x32/apps]\nSize=32\nType=Fixed\n");
        QDir().mkpath(m_folder.path(u"test-theme/32x32/apps"_s));
        for (const auto& [name, colour] : icons)
            filled(QSize(32, 32), colour)
                .save(m_folder.path(u"test-theme/32x32/apps/"_s + name + u".png"_s));
        QIcon::setThemeSearchPaths({m_folder.path(QString())});
        QIcon::setThemeName(u"test-theme"_s);
    }
    ~IconTheme() { QIcon::setThemeName(u"no-such-theme"_s); }

private:
    TemporaryFolder m_folder;
};

QColor colourAtCentre(const QIcon& icon)
{
    const QImage image = icon.pixmap(32).toImage();
    return image.pixelColor(image.rect().center());
}

QImage imageOf(const QLabel& view)
{
    return view.pixmap().toImage();
}

// Whether the image has opaque pixels and all of them are of the colour.
bool isDrawnIn(const QImage& image, const QColor& colour)
{
    bool drawn = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 255 && pixel.rgb() != colour.rgb())
                return false;
            drawn = drawn || pixel.alpha() == 255;
        }
    }
    return drawn;
}

class ItemIconsTest : public RulesWindowFixture {
protected:
    // An input source with a keyboard layout's properties and the given icon sources.
    InputSource inputSource(const std::optional<QString>& inputMethod,
                            const std::optional<QUrl>& iconURL)
    {
        auto properties = SimulatedTextInputSources::keyboardLayout(u"im:test"_s, u"Test"_s);
        properties.inputMethodBundleID = inputMethod;
        properties.iconURL = iconURL;
        return *InputSourceManager::makeInputSource(inputSources,
                                                    inputSources.makeSource(properties));
    }

    TemporaryFolder files;
    const QColor red{Qt::red};
    const QColor green{Qt::green};
    const QColor blue{Qt::blue};
};

} // namespace

TEST_F(ItemIconsTest, AnInputSourceShowsItsInputMethodsIconElseItsImageElseTheKeyboardDimmed)
{
    const IconTheme theme({{u"org.example.im"_s, red}, {u"fcitx-pinyin"_s, green}});
    const QString image = files.path(u"flag.png"_s);
    ASSERT_TRUE(filled(QSize(20, 10), blue).save(image));
    const QUrl imageURL = QUrl::fromLocalFile(image);
    const QString method = u"/apps/org.example.IM.desktop"_s;
    workspace.setPathForApplication(u"org.example.IM"_s, method);

    workspace.setIconNameForApplicationAt(method, u"org.example.im"_s);
    EXPECT_EQ(colourAtCentre(icons.forInputSource(inputSource(u"org.example.IM"_s, imageURL))),
              red);
    // An input method without an icon of its own gives way to the image, not to a generic icon.
    workspace.setIconNameForApplicationAt(method, u"org.example.missing"_s);
    EXPECT_EQ(colourAtCentre(icons.forInputSource(inputSource(u"org.example.IM"_s, imageURL))),
              blue);
    EXPECT_EQ(colourAtCentre(icons.forInputSource(inputSource(u"org.example.Gone"_s, imageURL))),
              blue);

    // Input method frameworks name icons of the theme.
    EXPECT_EQ(colourAtCentre(
                  icons.forInputSource(inputSource(std::nullopt, QUrl(u"icon:fcitx-pinyin"_s)))),
              green);

    const QString notAnImage = files.write(u"notes.png"_s, "not an image");
    for (const QUrl& unusable :
         {QUrl::fromLocalFile(files.path(u"missing.png"_s)), QUrl::fromLocalFile(notAnImage),
          QUrl(u"icon:no-such-icon"_s), QUrl::fromLocalFile(files.path(QString())),
          QUrl(u"https://example.com/flag.png"_s)})
        EXPECT_TRUE(icons.forInputSource(inputSource(std::nullopt, unusable)).isNull())
            << unusable.toString().toStdString();
    EXPECT_TRUE(icons.forInputSource(inputSource(std::nullopt, std::nullopt)).isNull());

    // The view stretches an image over its square, and dims the keyboard standing in for none.
    InputSourceIconView view(icons);
    EXPECT_EQ(view.size(), QSize(18, 18));
    EXPECT_EQ(view.focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(view.accessibleName(), QString());
    view.setSource(inputSource(std::nullopt, imageURL));
    EXPECT_TRUE(isDrawnIn(imageOf(view), blue));
    EXPECT_EQ(imageOf(view).pixelColor(1, 1), blue) << "stretched, corners included";
    QPalette palette = view.palette();
    palette.setColor(QPalette::PlaceholderText, QColor(0x20, 0x80, 0xF0));
    view.setPalette(palette);
    view.setSource(std::nullopt);
    EXPECT_TRUE(isDrawnIn(imageOf(view), QColor(0x20, 0x80, 0xF0)));
    palette.setColor(QPalette::PlaceholderText, QColor(0xF0, 0x40, 0x40));
    view.setPalette(palette);
    EXPECT_TRUE(isDrawnIn(imageOf(view), QColor(0xF0, 0x40, 0x40))) << "redrawn for a new palette";
}

TEST_F(ItemIconsTest, AnApplicationShowsTheIconItsEntryNamesElseTheGenericOne)
{
    const QString wide = files.path(u"wide.png"_s);
    ASSERT_TRUE(filled(QSize(36, 18), blue).save(wide));
    const QString notAnImage = files.write(u"notes.txt"_s, "text");
    const QString entry = u"/apps/editor.desktop"_s;
    auto iconFor = [&](const QString& iconName) {
        workspace.setIconNameForApplicationAt(entry, iconName);
        return icons.forApplicationAt(entry);
    };

    {
        const IconTheme theme(
            {{u"org.example.editor"_s, red}, {u"application-x-executable"_s, green}});
        EXPECT_EQ(colourAtCentre(iconFor(u"org.example.editor"_s)), red);
        EXPECT_EQ(colourAtCentre(iconFor(wide)), blue);
        for (const QString& unusable : {u"org.example.missing"_s, notAnImage,
                                        files.path(u"gone.png"_s), files.path(QString())})
            EXPECT_EQ(colourAtCentre(iconFor(unusable)), green) << unusable.toStdString();
        EXPECT_EQ(colourAtCentre(icons.forApplicationAt(u"/apps/unknown.desktop"_s)), green);
        EXPECT_EQ(colourAtCentre(icons.forApplicationAt(QString())), green);
        // A folder that names no icon is a bundle: its icon is the file system's.
        EXPECT_NE(colourAtCentre(icons.forApplicationAt(files.path(QString()))), green);

        AppIconView view(icons);
        workspace.setIconNameForApplicationAt(entry, wide);
        view.setBundlePath(entry);
        EXPECT_EQ(view.size(), QSize(18, 18));
        EXPECT_EQ(view.focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(imageOf(view).pixelColor(9, 9), blue);
        EXPECT_EQ(imageOf(view).pixelColor(9, 1).alpha(), 0) << "fitted, not stretched";
    }

    QIcon::setThemeName(u"no-such-theme"_s);
    const QImage standard =
        QApplication::style()->standardIcon(QStyle::SP_FileIcon).pixmap(32).toImage();
    EXPECT_EQ(icons.forApplicationAt(QString()).pixmap(32).toImage(), standard);
}

TEST(SymbolIcons, TheThemesIconsElseShippedImagesInThePalettesTextColour)
{
    QIcon::setThemeName(u"no-such-theme"_s);
    const QColor text = QApplication::palette().color(QPalette::WindowText);
    const QList<QIcon> symbols{
        SymbolIcons::keyboard(),    SymbolIcons::lightbulb(),
        SymbolIcons::info(),        SymbolIcons::trash(),
        SymbolIcons::chevronDown(), SymbolIcons::arrowForward(Qt::LeftToRight)};
    for (const QIcon& symbol : symbols) {
        ASSERT_FALSE(symbol.isNull());
        EXPECT_TRUE(symbol.isMask());
        EXPECT_EQ(symbol.availableSizes(),
                  (QList<QSize>{QSize(16, 16), QSize(32, 32), QSize(64, 64)}));
        EXPECT_TRUE(isDrawnIn(symbol.pixmap(64).toImage(), text));
    }
    EXPECT_NE(symbols[0].pixmap(16).toImage(), symbols[4].pixmap(16).toImage());
    const QImage forward = SymbolIcons::arrowForward(Qt::LeftToRight).pixmap(32).toImage();
    const QImage backward = SymbolIcons::arrowForward(Qt::RightToLeft).pixmap(32).toImage();
    EXPECT_NE(forward, backward);
    EXPECT_EQ(forward.mirrored(true, false), backward);

    const IconTheme theme({{u"input-keyboard"_s, Qt::red},
                           {u"dialog-information"_s, Qt::red},
                           {u"edit-delete"_s, Qt::red},
                           {u"go-down"_s, Qt::red},
                           {u"go-next"_s, Qt::red},
                           {u"go-previous"_s, Qt::red},
                           {u"lightbulb"_s, Qt::red}});
    EXPECT_EQ(SymbolIcons::keyboard().name(), u"input-keyboard"_s);
    EXPECT_EQ(SymbolIcons::info().name(), u"dialog-information"_s);
    EXPECT_EQ(SymbolIcons::trash().name(), u"edit-delete"_s);
    EXPECT_EQ(SymbolIcons::chevronDown().name(), u"go-down"_s);
    EXPECT_EQ(SymbolIcons::arrowForward(Qt::LeftToRight).name(), u"go-next"_s);
    EXPECT_EQ(SymbolIcons::arrowForward(Qt::RightToLeft).name(), u"go-previous"_s);
    EXPECT_TRUE(SymbolIcons::lightbulb().isMask()) << "no standard name: always shipped";
}
