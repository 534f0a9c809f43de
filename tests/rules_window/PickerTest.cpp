#include "RulesWindowFixture.h"

#include "rules_window/AppIconView.h"
#include "rules_window/InputSourceIconView.h"
#include "rules_window/InputSourcePickerButton.h"
#include "rules_window/PickerPopup.h"
#include "rules_window/SearchableAppPickerButton.h"

#include <QSignalSpy>

using namespace korvalen;
using namespace korvalen::testing;

namespace {

// Types the text into the emptied search field, key by key.
void searchFor(const QPushButton& picker, const QString& text)
{
    QLineEdit& field = *searchFieldOf(picker);
    field.clear();
    for (const QChar character : text) {
        if (character.unicode() < 0x80)
            QTest::keyClick(&field, char(character.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, &field, Qt::Key_unknown, QString(character),
                                Qt::NoModifier);
    }
}

class InputSourcePickerTest : public RulesWindowFixture {
protected:
    InputSourcePickerTest()
    {
        picker.setSources(sources());
        picker.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&picker));
    }

    InputSourcePickerButton picker{icons};
    QSignalSpy picks{&picker, &InputSourcePickerButton::picked};
};

const QList<InstalledApp> installedApps{
    {u"org.gnome.Terminal"_s, u"Terminal"_s, u"/apps/org.gnome.Terminal.desktop"_s},
    {u"org.gnome.TextEditor"_s, u"Text Editor"_s, {}},
    {u"org.gnome.Nautilus"_s, u"Files"_s, {}},
    {u"com.example.Uebersicht"_s, u"Übersicht"_s, {}},
    {u"org.kde.kate"_s, u"Kate"_s, {}},
};

class AppPickerTest : public RulesWindowFixture {
protected:
    AppPickerTest()
    {
        picker.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&picker));
    }

    void search(const QString& text) { searchFor(picker, text); }

    QList<InstalledApp> apps = installedApps;
    int listings = 0;
    SearchableAppPickerButton picker{icons, [this] {
                                         ++listings;
                                         return apps;
                                     }};
    QSignalSpy picks{&picker, &SearchableAppPickerButton::picked};
};

// A workspace that notes which applications' icons were asked for.
class IconCountingWorkspace final : public Workspace {
public:
    std::optional<RunningApplication> frontmostApplication() const override { return {}; }
    QList<RunningApplication> runningApplications() const override { return {}; }
    std::optional<QString> pathForApplication(const QString&) const override { return {}; }
    std::optional<QString> iconNameForApplicationAt(const QString& bundlePath) const override
    {
        asked.insert(bundlePath);
        return {};
    }

    mutable QSet<QString> asked;
};

QString pickedID(const QSignalSpy& picks)
{
    return picks.isEmpty() ? QString() : picks.last().at(0).toString();
}

QString pickedApp(const QSignalSpy& picks)
{
    return picks.isEmpty() ? QString() : picks.last().at(0).value<InstalledApp>().bundleID;
}

QPoint centreOfRow(const QListView& list, int row)
{
    return list.visualRect(list.model()->index(row, 0)).center();
}

// The x of a widget's centre in its button.
int centreX(const QWidget& part)
{
    return part.geometry().center().x();
}

} // namespace

TEST_F(InputSourcePickerTest, FaceShowsTheChosenSourceElseThePlaceholderDimmedOnlyWhenNoneIsChosen)
{
    const QPalette palette = picker.palette();
    EXPECT_EQ(picker.width(), 180);
    EXPECT_EQ(titleOf(picker)->text(), u"选择输入法"_s);
    EXPECT_EQ(picker.accessibleName(), u"选择输入法"_s);
    EXPECT_EQ(titleColourOf(picker), palette.color(QPalette::PlaceholderText));
    const auto* iconView = picker.findChild<InputSourceIconView*>();
    ASSERT_NE(iconView, nullptr);
    EXPECT_FALSE(iconView->isVisible());

    picker.setSelection(u"xkb:ru"_s);
    EXPECT_EQ(titleOf(picker)->text(), u"Russian"_s);
    EXPECT_EQ(picker.accessibleName(), u"Russian"_s);
    EXPECT_EQ(titleColourOf(picker), palette.color(QPalette::ButtonText));
    EXPECT_TRUE(iconView->isVisible());

    // A source that is no longer enabled: the placeholder, but a choice has been made.
    picker.setSelection(u"xkb:fr"_s);
    EXPECT_EQ(picker.selection(), u"xkb:fr"_s);
    EXPECT_EQ(titleOf(picker)->text(), u"选择输入法"_s);
    EXPECT_EQ(titleColourOf(picker), palette.color(QPalette::ButtonText));
    EXPECT_FALSE(iconView->isVisible());
    picker.setSources({});
    picker.setSelection(u"xkb:ru"_s);
    EXPECT_EQ(titleOf(picker)->text(), u"选择输入法"_s) << "the name comes from the sources";

    EXPECT_EQ(listOf(picker), nullptr) << "the list is made when it first opens";

    useLanguage(u"en"_s);
    picker.retranslate();
    EXPECT_EQ(titleOf(picker)->text(), u"Choose Input Source"_s);
    ASSERT_TRUE(openPicker(picker));
    EXPECT_EQ(listOf(picker)->accessibleName(), u"Choose Input Source"_s);
}

TEST_F(InputSourcePickerTest, FaceIsMirroredFromRightToLeftAndLongNamesAreCutShort)
{
    auto sourcesWithLongName = sources();
    sourcesWithLongName[2].localizedName = u"German (Switzerland, legacy, with dead keys) extra"_s;
    picker.setSources(sourcesWithLongName);
    picker.setSelection(u"xkb:de"_s);
    QApplication::processEvents();
    const QLabel& title = *titleOf(picker);
    const auto& iconView = *picker.findChild<InputSourceIconView*>();
    EXPECT_EQ(picker.width(), 180) << "a long name never widens the button";
    EXPECT_TRUE(title.text().endsWith(u'…')) << title.text().toStdString();
    EXPECT_EQ(picker.accessibleName(), sourcesWithLongName[2].localizedName);
    EXPECT_LT(centreX(iconView), centreX(title));

    picker.setLayoutDirection(Qt::RightToLeft);
    QApplication::processEvents();
    EXPECT_GT(centreX(iconView), centreX(title));
    EXPECT_GT(iconView.geometry().left(), picker.width() / 2);
}

TEST_F(InputSourcePickerTest, PickingByClickOrKeyboardAnnouncesTheSourceAndCloses)
{
    picker.setSelection(u"xkb:ru"_s);
    ASSERT_TRUE(openPicker(picker));
    QListView& list = *listOf(picker);
    EXPECT_EQ(rowsOf(picker), (QStringList{u"English (US)"_s, u"Russian"_s, u"German"_s}));
    EXPECT_EQ(currentRowOf(picker), u"Russian"_s);
    EXPECT_EQ(QApplication::focusWidget(), &list) << "screen readers reach a pop-up by its focus";
    EXPECT_EQ(popupOf(picker)->size(), QSize(220, 320));
    EXPECT_TRUE(popupOf(picker)->windowFlags().testFlag(Qt::Popup));

    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOfRow(list, 2));
    EXPECT_FALSE(popupOf(picker)->isVisible());
    EXPECT_EQ(pickedID(picks), u"xkb:de"_s);
    EXPECT_EQ(picker.selection(), u"xkb:ru"_s) << "the owner decides what the button shows";

    for (const Qt::Key confirm : {Qt::Key_Return, Qt::Key_Space}) {
        ASSERT_TRUE(openPicker(picker));
        QTest::keyClick(&list, Qt::Key_Down);
        QTest::keyClick(&list, confirm);
        EXPECT_FALSE(popupOf(picker)->isVisible());
        EXPECT_EQ(pickedID(picks), u"xkb:de"_s);
    }
    EXPECT_EQ(picks.size(), 3);

    // Nothing chosen: no current row, and Return picks nothing until an arrow key moves.
    picker.setSelection(QString());
    ASSERT_TRUE(openPicker(picker));
    EXPECT_EQ(currentRowOf(picker), QString());
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_TRUE(popupOf(picker)->isVisible());
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(pickedID(picks), u"xkb:us"_s);
    EXPECT_EQ(picks.size(), 4);
}

TEST_F(InputSourcePickerTest, EscapeOrAClickOutsideClosesWithoutPicking)
{
    picker.setSelection(u"xkb:us"_s);
    ASSERT_TRUE(openPicker(picker));
    QTest::keyClick(listOf(picker), Qt::Key_Down);
    QTest::keyClick(listOf(picker), Qt::Key_Escape);
    EXPECT_FALSE(popupOf(picker)->isVisible());

    ASSERT_TRUE(openPicker(picker));
    EXPECT_EQ(currentRowOf(picker), u"English (US)"_s) << "reopened at the selection";
    QTest::mouseClick(popupOf(picker), Qt::LeftButton, {}, QPoint(-20, -20));
    EXPECT_FALSE(popupOf(picker)->isVisible());
    EXPECT_TRUE(picks.isEmpty());
}

TEST(PickerPopupPosition, BelowTheButtonElseAboveAlignedAtTheLeadingEdgeOnTheScreen)
{
    const QRect screen(0, 0, 1024, 768);
    const QSize size(220, 320);
    const auto ltr = Qt::LeftToRight;
    const auto rtl = Qt::RightToLeft;
    EXPECT_EQ(PickerPopup::position(size, QRect(100, 100, 180, 30), screen, ltr), QPoint(100, 132));
    EXPECT_EQ(PickerPopup::position(size, QRect(100, 100, 180, 30), screen, rtl), QPoint(60, 132));
    // No room below: above, whole.
    EXPECT_EQ(PickerPopup::position(size, QRect(100, 600, 180, 30), screen, ltr), QPoint(100, 278));
    // At the screen's edges: kept on it.
    EXPECT_EQ(PickerPopup::position(size, QRect(900, 100, 180, 30), screen, ltr), QPoint(804, 132));
    EXPECT_EQ(PickerPopup::position(size, QRect(0, 100, 180, 30), screen, rtl), QPoint(0, 132));
    // A screen too short for either side: on the side with more room, kept on the screen.
    const QRect shortScreen(0, 0, 1024, 400);
    EXPECT_EQ(PickerPopup::position(size, QRect(100, 250, 180, 30), shortScreen, ltr),
              QPoint(100, 0));
    EXPECT_EQ(PickerPopup::position(size, QRect(100, 20, 180, 30), shortScreen, ltr),
              QPoint(100, 52));
    // A second screen left of and above the first.
    EXPECT_EQ(
        PickerPopup::position(size, QRect(-500, -300, 180, 30), QRect(-1280, -400, 1280, 800), ltr),
        QPoint(-500, -268));
}

TEST_F(AppPickerTest, FaceShowsTheChosenApplicationElseThePlaceholder)
{
    EXPECT_EQ(picker.width(), 200);
    EXPECT_EQ(titleOf(picker)->text(), u"选择应用"_s);
    EXPECT_EQ(picker.accessibleName(), u"选择应用"_s);
    EXPECT_EQ(titleColourOf(picker), picker.palette().color(QPalette::PlaceholderText));
    EXPECT_FALSE(picker.findChild<AppIconView*>()->isVisible());

    picker.setSelection(installedApps[0]);
    EXPECT_EQ(picker.selection(), u"org.gnome.Terminal"_s);
    EXPECT_EQ(titleOf(picker)->text(), u"Terminal"_s);
    EXPECT_EQ(titleColourOf(picker), picker.palette().color(QPalette::ButtonText));
    EXPECT_TRUE(picker.findChild<AppIconView*>()->isVisible());
    picker.setSelection({u"org.example.Gone"_s, QString(), QString()});
    EXPECT_EQ(titleOf(picker)->text(), u"org.example.Gone"_s) << "named by its identifier";
    picker.setSelection({});
    EXPECT_EQ(titleOf(picker)->text(), u"选择应用"_s);
    EXPECT_EQ(listings, 0) << "the applications are listed only when the list opens";

    useLanguage(u"ar"_s);
    picker.retranslate();
    EXPECT_EQ(picker.accessibleName(), u"اختر تطبيقًا"_s);
}

TEST_F(AppPickerTest, TheSearchNarrowsTheWholeListByNameIgnoringCase)
{
    ASSERT_TRUE(openPicker(picker));
    QLineEdit& field = *searchFieldOf(picker);
    EXPECT_EQ(QApplication::focusWidget(), &field);
    EXPECT_EQ(field.accessibleName(), u"搜索应用"_s);
    EXPECT_EQ(field.placeholderText(), u"搜索应用"_s);
    EXPECT_TRUE(field.isClearButtonEnabled());
    EXPECT_EQ(listOf(picker)->accessibleName(), u"选择应用"_s);
    EXPECT_EQ(popupOf(picker)->size(), QSize(240, 320));
    EXPECT_EQ(rowsOf(picker), (QStringList{u"Terminal"_s, u"Text Editor"_s, u"Files"_s,
                                           u"Übersicht"_s, u"Kate"_s}));

    QTest::keyClicks(&field, u"TE"_s);
    EXPECT_EQ(rowsOf(picker), (QStringList{u"Terminal"_s, u"Text Editor"_s, u"Kate"_s}));
    QTest::keyClick(&field, Qt::Key_Backspace);
    EXPECT_EQ(rowsOf(picker),
              (QStringList{u"Terminal"_s, u"Text Editor"_s, u"Übersicht"_s, u"Kate"_s}))
        << "each key narrows the whole list again";
    search(u"üBER"_s);
    EXPECT_EQ(rowsOf(picker), QStringList{u"Übersicht"_s});
    search(u" editor"_s);
    EXPECT_EQ(searchFieldOf(picker)->text(), u" editor"_s);
    EXPECT_EQ(rowsOf(picker), QStringList{u"Text Editor"_s});
    search(u"kate "_s);
    EXPECT_EQ(rowsOf(picker), QStringList()) << "the search is not trimmed";

    const QWidget* noMatches = popupOf(picker)->findChild<QLabel*>();
    search(u"gnome"_s);
    EXPECT_EQ(rowsOf(picker), QStringList()) << "identifiers are not searched";
    EXPECT_FALSE(listOf(picker)->isVisible());
    ASSERT_NE(noMatches, nullptr);
    EXPECT_TRUE(noMatches->isVisible());
    EXPECT_EQ(static_cast<const QLabel*>(noMatches)->text(), u"没有匹配的应用"_s);
    EXPECT_LT(noMatches->font().pointSizeF(), field.font().pointSizeF());
    EXPECT_EQ(noMatches->foregroundRole(), QPalette::PlaceholderText);
    search(u"kat"_s);
    EXPECT_TRUE(listOf(picker)->isVisible());
    EXPECT_FALSE(noMatches->isVisible());
    EXPECT_EQ(listings, 1) << "typing filters the list of the opening";
}

TEST_F(AppPickerTest, OnlyTheListPicksReturnInTheSearchFieldDoesNothing)
{
    picker.setSelection(installedApps[2]);
    ASSERT_TRUE(openPicker(picker));
    QLineEdit& field = *searchFieldOf(picker);
    EXPECT_EQ(currentRowOf(picker), u"Files"_s);

    // Arrow keys in the field move in the list; the field keeps the focus.
    QTest::keyClick(&field, Qt::Key_Down);
    EXPECT_EQ(currentRowOf(picker), u"Übersicht"_s);
    QTest::keyClick(&field, Qt::Key_Up);
    QTest::keyClick(&field, Qt::Key_Up);
    EXPECT_EQ(currentRowOf(picker), u"Text Editor"_s);
    EXPECT_EQ(QApplication::focusWidget(), &field);
    // The current entry stays current while it still matches.
    QTest::keyClicks(&field, u"t"_s);
    EXPECT_EQ(currentRowOf(picker), u"Text Editor"_s);

    search(u"kate"_s);
    ASSERT_EQ(rowsOf(picker), QStringList{u"Kate"_s});
    QTest::keyClick(&field, Qt::Key_Return);
    QTest::keyClick(&field, Qt::Key_Enter);
    EXPECT_TRUE(popupOf(picker)->isVisible());
    EXPECT_TRUE(picks.isEmpty()) << "not even the one match";

    QTest::keyClick(&field, Qt::Key_Down);
    listOf(picker)->setFocus();
    QTest::keyClick(listOf(picker), Qt::Key_Return);
    EXPECT_FALSE(popupOf(picker)->isVisible());
    EXPECT_EQ(pickedApp(picks), u"org.kde.kate"_s);

    ASSERT_TRUE(openPicker(picker));
    EXPECT_EQ(searchFieldOf(picker)->text(), QString()) << "each opening starts a new search";
    EXPECT_EQ(rowsOf(picker).size(), 5);
    EXPECT_EQ(QApplication::focusWidget(), &field);
    QListView& list = *listOf(picker);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOfRow(list, 3));
    EXPECT_EQ(pickedApp(picks), u"com.example.Uebersicht"_s);
    EXPECT_EQ(picks.last().at(0).value<InstalledApp>(), installedApps[3]);
    EXPECT_EQ(picks.size(), 2);
}

TEST_F(AppPickerTest, EachOpeningListsTheApplicationsAfreshAndClosingPicksNothing)
{
    ASSERT_TRUE(openPicker(picker));
    QTest::keyClicks(searchFieldOf(picker), u"files"_s);
    QTest::keyClick(searchFieldOf(picker), Qt::Key_Escape);
    EXPECT_FALSE(popupOf(picker)->isVisible());

    apps.append({u"org.example.New"_s, u"New App"_s, {}});
    ASSERT_TRUE(openPicker(picker));
    EXPECT_EQ(rowsOf(picker).size(), 6);
    EXPECT_EQ(listings, 2);
    QTest::mouseClick(popupOf(picker), Qt::LeftButton, {}, QPoint(300, 100));
    EXPECT_FALSE(popupOf(picker)->isVisible());

    apps.clear();
    ASSERT_TRUE(openPicker(picker));
    EXPECT_FALSE(listOf(picker)->isVisible()) << "nothing to list is nothing that matches";
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_EQ(listings, 3);
}

TEST_F(AppPickerTest, OnlyTheIconsOfRowsShownAreRead)
{
    QList<InstalledApp> many;
    for (int i = 0; i < 2000; ++i) {
        const QString number = QString::number(i).rightJustified(4, u'0');
        many.append({u"org.example.App"_s + number, u"App "_s + number,
                     u"/apps/"_s + number + u".desktop"_s});
    }
    IconCountingWorkspace counting;
    const ItemIcons countedIcons(inputSources, counting);
    SearchableAppPickerButton manyPicker(countedIcons, [&] { return many; });
    manyPicker.show();
    ASSERT_TRUE(openPicker(manyPicker));
    // The first rows are drawn, and nothing far below them is read.
    EXPECT_TRUE(QTest::qWaitFor([&] { return counting.asked.contains(u"/apps/0000.desktop"_s); }));
    QApplication::processEvents();
    EXPECT_LT(counting.asked.size(), 40);

    counting.asked.clear();
    searchFor(manyPicker, u"App 19"_s);
    ASSERT_EQ(rowsOf(manyPicker).size(), 100);
    EXPECT_TRUE(QTest::qWaitFor([&] { return counting.asked.contains(u"/apps/1900.desktop"_s); }));
    QApplication::processEvents();
    EXPECT_LT(counting.asked.size(), 40);
}
