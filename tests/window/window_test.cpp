// SPDX-License-Identifier: GPL-3.0-or-later
// The window as it starts, its fields' limits, and the banner rule of the
// status bar.
#include "window/form1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <vector>

namespace {

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.Termina = [] {};
    }
    Form1 form;
};

TEST_F(Window, StartsAsDescribed)
{
    EXPECT_EQ(form.windowTitle(), "ZIRCALO v 1.5");

    struct Caption {
        const char* name;
        const char* text;
    };
    const std::vector<Caption> captions = {
        {"Command1", "Leggi rubrica da Cellulare"},
        {"Command2", "APRI / CHIUDI PORTA"},
        {"Command3", "Rivela"},
        {"Command4", "Leggi elenco SMS da cellulare"},
        {"Command5", "Invia SMS"},
        {"Command6", "Cancella SMS selezionato dalla memoria"},
        {"Command7", "Salva rubrica"},
        {"Command8", "Carica rubrica"},
        {"Command9", "Cancella tutta la memoria degli SMS"},
        {"Command10", "Reset"},
        {"Command11", "Aggiorna"},
        {"Command12", "ZIP SMS"},
        {"Check1", "Flash"},
        {"Check2", "Ricevuta"},
        {"Check3", "Centro servizi."},
        {"Check4", "Data."},
        {"Check5", "Ora."},
        {"Check6", "Testo."},
        {"Check7", "Tipo."},
        {"Check8", "SMS lungo"},
        {"Option3", "COM 1"},
        {"Option4", "COM 2"},
        {"Label1", "CS:"},
        {"Label2", "Car:"},
        {"Label3", "0/160"},
        {"Label4", "Invio a:"},
        {"Label5", ""},
        {"Label6", "Cerca:"},
        {"Label7", "SMS Inviati:"},
        {"Label8", "0"},
        {"Label9", "Memoria ="},
        {"Label10", "Centro servizi ="},
        {"Label11", "Tipo SMS ="},
        {"Label12", "Mittente ="},
        {"Label13", "Ora ="},
        {"Label14", "Data ="},
        {"Label15", "Testo:"},
        {"Label17", "Cerca negli sms:"},
    };
    for (const Caption& c : captions) {
        SCOPED_TRACE(c.name);
        auto* widget = form.findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->isEnabled());
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            EXPECT_EQ(button->text(), QString::fromUtf8(c.text));
        else if (auto* label = qobject_cast<QLabel*>(widget))
            EXPECT_EQ(label->text(), QString::fromUtf8(c.text));
        else
            ADD_FAILURE() << "neither button nor label";
    }

    struct Box {
        const char* name;
        bool checked;
    };
    const std::vector<Box> boxes = {
        {"Check1", false}, {"Check2", false}, {"Check3", true},  {"Check4", true},  {"Check5", true},
        {"Check6", true},  {"Check7", true},  {"Check8", false}, {"Option3", true}, {"Option4", false},
    };
    for (const Box& b : boxes)
        EXPECT_EQ(form.findChild<QAbstractButton*>(b.name)->isChecked(), b.checked) << b.name;

    struct Field {
        const char* name;
        bool readOnly;
    };
    const std::vector<Field> fields = {
        {"Text1", false}, {"Text2", false}, {"Text3", true}, {"Text4", false}, {"Text5", false}, {"Text6", true},
        {"Text7", true},  {"Text8", true},  {"Text9", true}, {"Text10", true}, {"Text11", true}, {"Text12", false},
    };
    for (const Field& f : fields) {
        SCOPED_TRACE(f.name);
        QWidget* widget = form.findChild<QWidget*>(f.name);
        ASSERT_NE(widget, nullptr);
        if (auto* line = qobject_cast<QLineEdit*>(widget)) {
            EXPECT_EQ(line->text(), "");
            EXPECT_EQ(line->isReadOnly(), f.readOnly);
        } else if (auto* memo = qobject_cast<Memo*>(widget)) {
            EXPECT_EQ(memo->text(), "");
            EXPECT_EQ(memo->isReadOnly(), f.readOnly);
        } else {
            ADD_FAILURE() << "not a text box";
        }
    }

    for (const char* name : {"List1", "List2"})
        EXPECT_EQ(form.findChild<ListBox*>(name)->ListCount(), 0) << name;
    for (const char* name : {"Frame1", "Frame2", "ProgressBar1", "StatusBar1", "Label16"})
        EXPECT_TRUE(form.findChild<QWidget*>(name)->isEnabled()) << name;
    EXPECT_EQ(form.Option3->parentWidget(), form.Frame2);
    EXPECT_EQ(form.Check3->parentWidget(), form.Frame1);

    EXPECT_EQ(form.StatusBar1->panelText(1), "DICONNESSO");
    EXPECT_EQ(form.StatusBar1->panelText(2), Form1::Banner);
    EXPECT_TRUE(Form1::Banner.startsWith("Visita: "));
    EXPECT_EQ(form.StatusBar1->panelText(3), "ESCI");
    EXPECT_EQ(form.Label16->BackColor(), 0u);
    EXPECT_FLOAT_EQ(form.ProgressBar1->Min(), 0.0001f);
    EXPECT_FLOAT_EQ(form.ProgressBar1->Max(), 100.0f);
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 10000);
    EXPECT_FALSE(form.MSComm1->isOpen());

    EXPECT_TRUE(form.LineaLibera);
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_EQ(form.StatoPrec, Form1::Banner);
    EXPECT_EQ(form.LungNumero, 0);
    EXPECT_EQ(form.LungNome, 0);

    // The list font is fixed pitch, so padded columns line up.
    for (const char* name : {"List1", "List2", "Label5", "Text2", "Text5", "Text6", "Text11", "Text12"})
        EXPECT_TRUE(QFontInfo(form.findChild<QWidget*>(name)->font()).fixedPitch()) << name;
}

TEST_F(Window, ComposerKeepsTheFirst160Characters)
{
    form.show();
    form.Text1->setFocus();
    QTest::keyClicks(form.Text1, QString(170, QLatin1Char('a')));
    EXPECT_EQ(form.Text1->text(), QString(160, QLatin1Char('a')));

    // A line break counts two: with 159 characters there is no room for it.
    form.Text1->setText(QString(159, QLatin1Char('b')));
    QTest::keyClick(form.Text1, Qt::Key_Return);
    EXPECT_EQ(form.Text1->text(), QString(159, QLatin1Char('b')));
    form.Text1->setText(QString(158, QLatin1Char('b')));
    form.Text1->moveCursor(QTextCursor::End);
    QTest::keyClick(form.Text1, Qt::Key_Return);
    EXPECT_EQ(form.Text1->text(), QString(158, QLatin1Char('b')) + "\r\n");

    form.Text1->setText(QString());
    QApplication::clipboard()->setText(QString(100, QLatin1Char('x')) + "\n" + QString(100, QLatin1Char('y')));
    form.Text1->paste();
    EXPECT_EQ(form.Text1->text(), QString(100, QLatin1Char('x')) + "\r\n" + QString(58, QLatin1Char('y')));
}

// Tabbing into the message box selects the message; the next Tab must move
// on, not replace the message with a tab character.
TEST_F(Window, TabLeavesTheMessageBox)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.Text1->setFocus();
    QTest::keyClicks(form.Text1, "ciao");
    QTest::keyClick(form.Text1, Qt::Key_Tab);
    QWidget* next = QApplication::focusWidget();
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next, form.Text1);

    QTest::keyClick(next, Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), form.Text1);
    EXPECT_EQ(form.Text1->selStart(), 0);
    EXPECT_EQ(form.Text1->selLength(), 4);

    QTest::keyClick(form.Text1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
    QTest::keyClick(next, Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(form.Text1, Qt::Key_Backtab, Qt::ShiftModifier);
    // "SMS lungo", the last control of the row above, comes before it.
    EXPECT_EQ(QApplication::focusWidget(), form.Check8);
    EXPECT_EQ(form.Text1->text(), "ciao");
    EXPECT_EQ(form.Label3->text(), "4/160");

    // Nor does the read-only message text keep the focus.
    form.Text3->setFocus();
    QTest::keyClick(form.Text3, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), form.Text3);
}

// The window's icon is the program's own drawing, not the platform's default.
TEST_F(Window, ShowsItsOwnIcon)
{
    ASSERT_TRUE(QFile::exists(":/icons/zircalo.svg"));
    const QImage icon = form.windowIcon().pixmap(QSize(48, 48)).toImage();
    ASSERT_FALSE(icon.isNull()) << "no SVG icon engine (Debian: libqt6svg6)";
    int inked = 0;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            inked += qAlpha(icon.pixel(x, y)) > 0;
    EXPECT_GT(inked, icon.width() * icon.height() / 3);
}

TEST_F(Window, ReadOnlyFieldsRefuseTypingButTakeTheProgramsText)
{
    form.show();
    for (QWidget* field :
         std::vector<QWidget*>{form.Text3, form.Text6, form.Text7, form.Text8, form.Text9, form.Text10, form.Text11}) {
        SCOPED_TRACE(field->objectName().toStdString());
        field->setFocus();
        QTest::keyClicks(field, "abc");
        if (auto* line = qobject_cast<TextBox*>(field)) {
            EXPECT_EQ(line->text(), "");
            line->setText("SM 3");
            EXPECT_EQ(line->text(), "SM 3");
        } else {
            auto* memo = qobject_cast<Memo*>(field);
            EXPECT_EQ(memo->text(), "");
            memo->setText("Ciao");
            EXPECT_EQ(memo->text(), "Ciao");
        }
    }
}

TEST_F(Window, ListRowKeepsTheSeparatorCharacters)
{
    const QString row =
        QStringLiteral("SM") + QChar(0xB3) + "  1" + QChar(0xB4) + QChar(0xC4) + QChar(0xC2) + QChar(0xC1);
    form.List1->AddItem(row);
    EXPECT_EQ(form.List1->List(0), row);
    EXPECT_TRUE(form.List1->List(0).contains(QChar(0xB3)));
}

// What a tooltip shows: its text as the tooltip takes it, rich text when
// it looks like some, plain otherwise.
QString shownAsTooltip(const QString& tooltip)
{
    if (!Qt::mightBeRichText(tooltip))
        return tooltip;
    QTextDocument document;
    document.setHtml(tooltip);
    return document.toPlainText();
}

// The banner rule, tick by tick: "set" writes panel 2, "tick" runs
// Timer1_Timer; after each step panel 2 must read `shown`.
// The permission hint and the device would be cut off at the panel's edge:
// the panel's tooltip shows the whole text; a text that fits needs none.
TEST_F(Window, APanelTextCutOffShowsWholeInItsTooltip)
{
    form.show();
    const QString hint = QStringLiteral("ERRORE DI CONNESSIONE.. permesso negato: aggiungere l'utente al gruppo "
                                        "dialout - /dev/serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_"
                                        "Controller-if00-port0: Permission denied");
    form.Stato(hint);
    EXPECT_EQ(shownAsTooltip(form.StatusBar1->panel(2)->toolTip()), hint);
    form.Stato(QStringLiteral("SMS inviato.."));
    EXPECT_EQ(form.StatusBar1->panel(2)->toolTip(), QString());
}

// What comes from outside (a contact's name, a sender's words) is shown
// as written in the panel and in its tooltip, never as markup.
TEST_F(Window, APanelShowsMarkupAsWritten)
{
    form.show();
    const QString names[] = {
        QStringLiteral("Nuovo SMS da <b>Mario</b> <img src=\"http://x.example/p.png\">"),
        QStringLiteral("Nuovo SMS da Rossi & figli &lt;srl&gt;") + QString(120, QLatin1Char('.')),
        QStringLiteral("<a href=\"http://x.example\">clicca</a>") + QString(120, QLatin1Char(' ')) + "fine",
    };
    for (const QString& text : names) {
        form.Stato(text);
        const QLabel* panel = form.StatusBar1->panel(2);
        EXPECT_EQ(panel->textFormat(), Qt::PlainText);
        EXPECT_EQ(panel->text(), text);
        if (!panel->toolTip().isEmpty()) {
            EXPECT_EQ(shownAsTooltip(panel->toolTip()), text);
        }
    }
}

TEST_F(Window, BannerRule)
{
    struct Step {
        const char* action; // "set" or "tick"
        QString text;
        QString shown;
    };
    const QString banner = Form1::Banner;
    const QString msg = "Lettura rubriche terminata..";
    const std::vector<std::pair<const char*, std::vector<Step>>> stories = {
        {"banner stays the banner", {{"tick", {}, banner}, {"tick", {}, banner}, {"tick", {}, banner}}},
        {"a message stays one tick, goes at the second",
         {{"set", msg, msg}, {"tick", {}, msg}, {"tick", {}, banner}, {"tick", {}, banner}, {"tick", {}, banner}}},
        {"a message already remembered goes at the next tick",
         {{"set", msg, msg}, {"tick", {}, msg}, {"tick", {}, banner}, {"set", msg, msg}, {"tick", {}, banner}}},
        {"a changing message is never replaced",
         {{"set", "Lettura 1", "Lettura 1"},
          {"tick", {}, "Lettura 1"},
          {"set", "Lettura 2", "Lettura 2"},
          {"tick", {}, "Lettura 2"},
          {"set", "Lettura 3", "Lettura 3"},
          {"tick", {}, "Lettura 3"},
          {"set", "Lettura 4", "Lettura 4"},
          {"tick", {}, "Lettura 4"}}},
    };
    for (const auto& [name, steps] : stories) {
        SCOPED_TRACE(name);
        Form1 window;
        window.Timer1->stop();
        int number = 0;
        for (const Step& step : steps) {
            ++number;
            if (QLatin1String(step.action) == QLatin1String("set"))
                window.Stato(step.text);
            else
                window.Timer1_Timer();
            EXPECT_EQ(window.StatusBar1->panelText(2), step.shown) << "step " << number;
        }
    }
}

} // namespace
