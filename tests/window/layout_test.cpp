// SPDX-License-Identifier: GPL-3.0-or-later
// Where the controls stand: exactly in place at the default size, and a
// window that grows gives its room to the lists; the list header follows
// List1 sideways, and the lists scroll a character at a time.
#include "window/form1.h"

#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

struct Place {
    const char* name;
    QRect rect; // in its parent's coordinates
};

// Every control at 820 x 640, as the window has always shown it.
const std::vector<Place> kDefaultPlaces = {
    {"Command2", {5, 5, 640, 28}},     {"Frame2", {655, 5, 160, 28}},      {"Option3", {0, 4, 78, 20}},
    {"Option4", {80, 4, 78, 20}},      {"Command4", {5, 38, 200, 24}},     {"Frame1", {212, 38, 480, 24}},
    {"Check3", {0, 1, 108, 21}},       {"Check7", {114, 1, 54, 21}},       {"Check5", {174, 1, 51, 21}},
    {"Check4", {231, 1, 57, 21}},      {"Check6", {294, 1, 60, 21}},       {"Command11", {700, 38, 115, 24}},
    {"Label5", {8, 66, 805, 16}},      {"List1", {5, 82, 810, 150}},       {"Label9", {5, 236, 110, 20}},
    {"Text6", {120, 236, 325, 20}},    {"Label10", {5, 258, 110, 20}},     {"Text7", {120, 258, 325, 20}},
    {"Label11", {5, 280, 110, 20}},    {"Text8", {120, 280, 325, 20}},     {"Label12", {5, 302, 110, 20}},
    {"Text9", {120, 302, 325, 20}},    {"Label13", {5, 324, 110, 20}},     {"Text10", {120, 324, 325, 20}},
    {"Label14", {5, 346, 110, 20}},    {"Text11", {120, 346, 325, 20}},    {"Label15", {455, 236, 100, 18}},
    {"Text3", {455, 254, 360, 112}},   {"Command9", {5, 372, 402, 24}},    {"Command6", {413, 372, 402, 24}},
    {"Label6", {5, 402, 50, 20}},      {"Text5", {55, 402, 352, 20}},      {"List2", {5, 426, 402, 90}},
    {"Command1", {413, 400, 402, 24}}, {"Command7", {413, 428, 198, 24}},  {"Command8", {617, 428, 198, 24}},
    {"Label1", {413, 460, 28, 22}},    {"Text4", {441, 460, 170, 22}},     {"Command3", {617, 459, 95, 24}},
    {"Command5", {718, 459, 97, 52}},  {"Check1", {413, 487, 70, 22}},     {"Check2", {485, 487, 90, 22}},
    {"Command12", {617, 487, 95, 24}}, {"Label4", {5, 521, 50, 22}},       {"Text2", {55, 521, 352, 22}},
    {"Label2", {413, 521, 32, 22}},    {"Label3", {445, 521, 70, 22}},     {"Label7", {520, 521, 85, 22}},
    {"Label8", {605, 521, 50, 22}},    {"Command10", {661, 520, 70, 24}},  {"Text1", {5, 549, 810, 50}},
    {"Label16", {5, 602, 810, 14}},    {"ProgressBar1", {8, 605, 804, 8}}, {"StatusBar1", {0, 618, 820, 22}},
    {"Panel1", {1, 1, 96, 20}},        {"Panel2", {99, 1, 622, 20}},       {"Panel3", {723, 1, 96, 20}},
};

// Controls added since: the search in the messages, in the room beside
// "Testo:" under List1, and "Credito / USSD…" in the room Frame1's check
// boxes leave beside "Aggiorna".
const std::vector<Place> kAddedPlaces = {
    {"Label17", {557, 236, 103, 18}},
    {"Text12", {663, 236, 152, 18}},
    {"Command13", {574, 38, 118, 24}},
};

QRect homeOf(const char* name)
{
    for (const std::vector<Place>* places : {&kDefaultPlaces, &kAddedPlaces})
        for (const Place& p : *places)
            if (QLatin1String(p.name) == QLatin1String(name))
                return p.rect;
    ADD_FAILURE() << "no default place for " << name;
    return {};
}

class Layout : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.Termina = [] {};
    }
    void showAt(int width, int height)
    {
        form.resize(width, height);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        ASSERT_EQ(form.size(), QSize(width, height));
    }
    QRect at(const char* name) const
    {
        auto* control = form.findChild<QWidget*>(QLatin1String(name));
        return control ? control->geometry() : QRect();
    }
    // The controls placed directly on the window, but for the activity
    // light, which frames the progress bar on purpose.
    std::vector<QWidget*> tiles() const
    {
        std::vector<QWidget*> out;
        for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child != form.Label16)
                out.push_back(child);
        return out;
    }
    void expectTiled()
    {
        const std::vector<QWidget*> controls = tiles();
        for (QWidget* a : controls) {
            EXPECT_TRUE(form.rect().contains(a->geometry())) << a->objectName().toStdString() << " leaves the window";
            for (QWidget* b : controls) {
                // Frame1 is borderless: Command13 stands in the part of it
                // its check boxes leave empty, and touches none of them.
                if ((a == form.Frame1 && b == form.Command13) || (a == form.Command13 && b == form.Frame1))
                    continue;
                if (a < b) {
                    EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                        << a->objectName().toStdString() << " overlaps " << b->objectName().toStdString();
                }
            }
        }
        for (const QWidget* box : form.Frame1->findChildren<QWidget*>())
            EXPECT_FALSE(form.Command13->geometry().intersects(box->geometry().translated(form.Frame1->pos())))
                << "Command13 covers " << box->objectName().toStdString();
    }
    Form1 form;
};

TEST_F(Layout, EveryControlStandsInPlaceAtTheDefaultSize)
{
    EXPECT_EQ(Form1::DefaultSize, QSize(820, 640));
    showAt(820, 640);
    for (const Place& p : kDefaultPlaces)
        EXPECT_EQ(at(p.name), p.rect) << p.name;
    for (const Place& p : kAddedPlaces)
        EXPECT_EQ(at(p.name), p.rect) << p.name;
    expectTiled();
    // The label's words are not cut.
    const QLabel* label = form.Label17;
    EXPECT_EQ(label->text(), QString::fromUtf8("Cerca negli sms:"));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width());
}

TEST_F(Layout, TheWindowCanGrowButNotShrink)
{
    EXPECT_EQ(form.minimumSize(), Form1::DefaultSize);
    EXPECT_GT(form.maximumWidth(), 4000);
    EXPECT_GT(form.maximumHeight(), 4000);
    form.resize(700, 500);
    EXPECT_EQ(form.size(), Form1::DefaultSize);
}

TEST_F(Layout, TheListsTakeTheRoomOfALargerWindow)
{
    struct Size {
        int width;
        int height;
    };
    for (const Size size : {Size{1280, 900}, Size{821, 641}, Size{1920, 640}, Size{820, 1200}}) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        showAt(size.width, size.height);
        const int wider = size.width - 820;
        const int taller = size.height - 640;
        const QRect list1 = at("List1");
        const QRect list2 = at("List2");
        EXPECT_EQ(list1.width(), 810 + wider);
        EXPECT_EQ(list2.width(), 402 + wider);
        EXPECT_EQ(list1.height() + list2.height(), 150 + 90 + taller);
        EXPECT_GE(list1.height() - 150, list2.height() - 90); // messages first
        for (const char* name : {"Text1", "Text3", "Label5", "StatusBar1", "Text12"})
            EXPECT_EQ(at(name).width(), homeOf(name).width() + wider) << name;
        for (const char* name : {"Text1", "Text3", "Text6", "Text4", "Text2"})
            EXPECT_EQ(at(name).height(), homeOf(name).height()) << name;
        for (QPushButton* button : form.findChildren<QPushButton*>())
            EXPECT_EQ(button->size(), homeOf(button->objectName().toLatin1().constData()).size())
                << button->objectName().toStdString();
        // The right-hand column keeps to the right edge, the bottom rows to
        // the bottom edge; nothing overlaps.
        for (const char* name : {"Frame2", "Command11", "Command6", "Command8", "Command5", "Text3", "Text12"})
            EXPECT_EQ(at(name).right(), list1.right()) << name;
        EXPECT_EQ(at("StatusBar1").bottom(), size.height - 1);
        EXPECT_EQ(at("Label16").top() - at("Text1").bottom(), 602 - 598);
        EXPECT_EQ(at("Label5").bottom() + 1, list1.top());
        // The search stays right under the list it narrows.
        for (const char* name : {"Label17", "Text12"})
            EXPECT_EQ(at(name).top() - list1.bottom(), 236 - 231) << name;
        EXPECT_EQ(at("Label16").adjusted(3, 3, -3, -3), at("ProgressBar1"));
        expectTiled();
    }
    // Back to the default size, everything is home again.
    showAt(820, 640);
    for (const Place& p : kDefaultPlaces)
        EXPECT_EQ(at(p.name), p.rect) << p.name;
    for (const Place& p : kAddedPlaces)
        EXPECT_EQ(at(p.name), p.rect) << p.name;
}

// The box lines drawn in a strip of the window where nothing else is drawn:
// the x of each column inked over the strip's whole height, in window
// coordinates (a line between two pixels inks both, lighter).
std::vector<int> barsIn(const QImage& window, const QRect& strip)
{
    std::vector<int> bars;
    for (int x = strip.left(); x <= strip.right(); ++x) {
        int dark = 0;
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            dark += qGray(window.pixel(x, y)) < 200;
        if (dark == strip.height())
            bars.push_back(x);
    }
    return bars;
}

TEST_F(Layout, TheHeaderScrollsWithTheMessageList)
{
    // Bars every 25 columns, far wider than the list: only bars are drawn.
    QString row;
    for (int i = 0; i < 12; ++i)
        row += QString(24, QLatin1Char(' ')) + QChar(0xB3);
    form.Label5->setText(row);
    for (int i = 0; i < 3; ++i)
        form.List1->AddItem(row);
    showAt(820, 640);
    QScrollBar* across = form.List1->horizontalScrollBar();
    ASSERT_GT(across->maximum(), 0);

    const QRect header = form.Label5->geometry().adjusted(0, 4, 0, -4);
    QWidget* viewport = form.List1->viewport();
    const QRect firstRow = (form.List1->rowRect(1) & viewport->rect())
                               .adjusted(0, 2, 0, -2)
                               .translated(viewport->mapTo(&form, QPoint(0, 0)));
    const int character = QFontMetrics(form.List1->font()).horizontalAdvance(QLatin1Char('0'));
    ASSERT_GT(character, 0);

    const QImage before = form.grab().toImage();
    const std::vector<int> headerBefore = barsIn(before, header);
    const std::vector<int> rowBefore = barsIn(before, firstRow);
    ASSERT_FALSE(headerBefore.empty());
    ASSERT_FALSE(rowBefore.empty());

    // Three clicks on the right arrow: three characters, header and rows alike.
    for (int click = 0; click < 3; ++click)
        across->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(across->value(), 3 * character);
    const QImage after = form.grab().toImage();
    const std::vector<int> headerAfter = barsIn(after, header);
    const std::vector<int> rowAfter = barsIn(after, firstRow);
    ASSERT_FALSE(headerAfter.empty());
    ASSERT_FALSE(rowAfter.empty());
    EXPECT_EQ(rowBefore.front() - rowAfter.front(), 3 * character);
    EXPECT_EQ(headerBefore.front() - headerAfter.front(), 3 * character);
    EXPECT_EQ(headerAfter.front() - rowAfter.front(), headerBefore.front() - rowBefore.front());

    // To the far end and back: the header stays over its columns.
    across->setValue(across->maximum());
    const QImage end = form.grab().toImage();
    EXPECT_EQ(barsIn(end, header).front() - barsIn(end, firstRow).front(), headerBefore.front() - rowBefore.front());
    across->setValue(0);
    EXPECT_EQ(barsIn(form.grab().toImage(), header), headerBefore);
}

TEST_F(Layout, AnArrowClickScrollsTheListsOneCharacter)
{
    const QString wide(300, QLatin1Char('x'));
    showAt(820, 640);
    for (ListBox* list : {form.List1, form.List2}) {
        SCOPED_TRACE(list->objectName().toStdString());
        list->AddItem(wide);
        list->AddItem(wide);
        QApplication::processEvents();
        QScrollBar* across = list->horizontalScrollBar();
        const int character = QFontMetrics(list->font()).horizontalAdvance(QLatin1Char('0'));
        ASSERT_GT(across->maximum(), 10 * character);
        across->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(across->value(), character);
        across->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(across->value(), 2 * character);
        across->triggerAction(QAbstractSlider::SliderSingleStepSub);
        EXPECT_EQ(across->value(), character);
    }
}

} // namespace
