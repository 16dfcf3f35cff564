// SPDX-License-Identifier: GPL-3.0-or-later
// The few control kinds that Qt does not offer as the program needs them:
// a multi-line box that counts a line break as CR LF and leaves on Tab,
// list boxes that scroll sideways a character at a time, with a
// Click that fires for mouse, keyboard and code alike, the three-panel status
// bar, a progress bar with single-precision values, the activity light and
// the file dialog that tests can answer.
#pragma once

#include "phone/rows.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

// Multi-line text box (Text1, Text3). text() gives line breaks as CR LF,
// which is how the counter, the limit and the sender count them. Tab and
// Shift+Tab move the focus; the box never takes a tab character from them.
class Memo : public QPlainTextEdit {
    Q_OBJECT
public:
    // The length of a text (line breaks as CR LF) as the limit counts it.
    using Measure = std::function<int(const QString&)>;

    explicit Memo(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    // 0: no limit. Typing or pasting beyond it keeps the first characters.
    // The limit counts characters unless `measure` counts otherwise; a text
    // past the limit must stay past it as it grows.
    void setMaxLength(int length, Measure measure = {});
    int maxLength() const { return m_maxLength; }
    // The length of `text` as the limit counts it.
    int measured(const QString& text) const;
    // Positions count characters of text() (CR LF is two).
    void setSelection(int start, int length);
    int selStart() const;
    int selLength() const;

signals:
    void changed(); // the text changed, by typing, pasting or code
    // A paste or setText() brought more than the limit: only `kept` (as the
    // limit counts) was kept. Typing past the limit is refused, not cut.
    void truncated(int kept);
    void gotFocus();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void enforceLimit();
    bool fits(const QString& plain) const;
    int m_maxLength = 0;
    Measure m_measure;
    bool m_enforcing = false;
};

// A label that keeps its place whatever it shows (Label3): a text wider
// than the label is drawn in a smaller font, down to kSmallest points, and
// shows whole in its tooltip.
class FittingLabel : public QLabel {
    Q_OBJECT
public:
    explicit FittingLabel(QWidget* parent = nullptr);
    static constexpr qreal kSmallest = 7;
    // Whether the text fits in the label's own font.
    bool fits() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

// Single-line text box with a got-focus event (Text2, Text4, Text5, Text6..11).
class TextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent = nullptr);
    QString text() const { return QLineEdit::text(); }
    // Shows the start of a text written by the program, as the number of a
    // picked recipient matters more than the padding after it.
    void setText(const QString& text)
    {
        QLineEdit::setText(text);
        setCursorPosition(0);
    }
    void setSelection(int start, int length) { QLineEdit::setSelection(start, length); }

signals:
    void gotFocus();

protected:
    void focusInEvent(QFocusEvent* event) override;
};

// List box (List1, List2): a view of the rows a capability owns
// (phone::RowModel). Click() fires whenever a row becomes the selected one:
// a mouse click on a row (also the row already selected), keyboard
// navigation, or setListIndex() from code. Rows wider than the box scroll
// sideways pixel by pixel, one character of the list font per arrow click.
class ListBox : public QListView {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    // The rows shown: the list's own until a capability's are given.
    void setRows(phone::RowModel* rows);
    phone::RowModel* rows() const { return m_rows; }

    int ListCount() const { return m_rows->count(); }
    QString List(int index) const { return m_rows->text(index); }                // "" outside the rows
    void setList(int index, const QString& row) { m_rows->setText(index, row); } // index == count appends
    void AddItem(const QString& row) { m_rows->appendTexts({row}); }
    void addItems(const QStringList& rows) { m_rows->appendTexts(rows); }
    void Clear() { m_rows->clear(); }
    int ListIndex() const;        // -1 when none
    void setListIndex(int index); // selects, scrolls to it, fires Click

    // The selected row as a list widget keeps it: -1 when none; setting it
    // fires no Click.
    int currentRow() const { return ListIndex(); }
    void setCurrentRow(int index);
    // Where a row is drawn in the viewport; scrolls it into view.
    QRect rowRect(int index) const;
    void scrollToRow(int index);

signals:
    void Click();

protected:
    void changeEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void followFont();
    phone::RowModel* m_rows;
    bool m_doubleClicked = false; // the release that ends a double click is no second click
};

// A one-line label whose text can be scrolled sideways (Label5, the header
// of List1): offset() pixels of it are hidden on the left.
class HeaderLabel : public QLabel {
    Q_OBJECT
public:
    explicit HeaderLabel(QWidget* parent = nullptr);
    int offset() const { return m_offset; }
    void setOffset(int pixels);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_offset = 0;
};

// Status bar with three text panels, numbered 1 to 3 from the left. A text
// wider than its panel shows whole in the panel's tooltip.
class StatusBar : public QWidget {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);
    QLabel* panel(int panel) const;

signals:
    void panelClick(int panel);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitTooltip(QLabel* label);
    std::array<QLabel*, 3> m_panels{};
};

// Progress bar keeping single-precision minimum, maximum and value as the
// handlers set them. A maximum at or below the minimum is tolerated: the bar
// then shows empty. Shown on an ordinary bar scaled to 0..1000.
class ProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit ProgressBar(QWidget* parent = nullptr);
    float Min() const { return m_min; }
    float Max() const { return m_max; }
    float Value() const { return m_value; }
    void setMax(float max);
    void setValue(float value);

private:
    void refresh(); // the bar drawn from the three values
    float m_min = 0.0001f;
    float m_max = 100.0f;
    float m_value = 0.0001f;
};

// The activity light Label16: a strip whose background colour is a 24-bit
// value with red in the low byte (0x0000FF red, 0x00FF00 green, 0xFF0000 blue).
class Light : public QLabel {
    Q_OBJECT
public:
    explicit Light(QWidget* parent = nullptr);
    quint32 BackColor() const { return m_color; }
    void setBackColor(quint32 color);

private:
    quint32 m_color = 0;
};

// File open and save dialogs (CommonDialog1). FileName is "" when the user
// cancelled. Tests set `chooser` to answer without showing a dialog.
class CommonDialog : public QObject {
    Q_OBJECT
public:
    explicit CommonDialog(QWidget* owner);
    QString Filter;
    QString FileName;
    // The folder the dialogs open in: empty at first, then the folder of
    // the last file chosen.
    QString Folder;
    std::function<QString(bool save)> chooser;
    void ShowSave();
    void ShowOpen();

private:
    QString ask(bool save);
    void remember();
    QWidget* m_owner;
};
