#include "window/controls.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

// ---- Memo ----

namespace {

// The editor keeps "\n"; the program counts and sends CR LF.
QString toCrLf(const QString& plain)
{
    QString out = plain;
    out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return out;
}

QString fromCrLf(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

// Position in the CR LF text of a position in the editor's text.
int crLfPosition(const QString& plain, int position)
{
    position = std::clamp(position, 0, int(plain.size()));
    return position + int(plain.left(position).count(QLatin1Char('\n')));
}

// Position in the editor's text of a position in the CR LF text.
int plainPosition(const QString& plain, int position)
{
    int crlf = 0;
    for (int i = 0; i < plain.size(); ++i) {
        const int width = plain.at(i) == QLatin1Char('\n') ? 2 : 1;
        if (crlf + width > position)
            return i;
        crlf += width;
    }
    return int(plain.size());
}

// The first `limit` characters of a CR LF text, never half a line break.
QString cutCrLf(const QString& text, int limit)
{
    if (text.size() <= limit)
        return text;
    QString out = text.left(limit);
    if (out.endsWith(QLatin1Char('\r')) && text.at(limit) == QLatin1Char('\n'))
        out.chop(1);
    return out;
}

} // namespace

Memo::Memo(QWidget* parent) : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_enforcing)
            return;
        enforceLimit();
        emit changed();
    });
}

QString Memo::text() const { return toCrLf(toPlainText()); }

void Memo::setText(const QString& text)
{
    const QString plain = fromCrLf(m_maxLength > 0 ? cutCrLf(text, m_maxLength) : text);
    if (plain == toPlainText())
        return;
    setPlainText(plain);
}

void Memo::setMaxLength(int length)
{
    m_maxLength = std::max(0, length);
    enforceLimit();
}

void Memo::setSelection(int start, int length)
{
    const QString plain = toPlainText();
    const QString crlf = toCrLf(plain);
    start = std::clamp(start, 0, int(crlf.size()));
    length = std::clamp(length, 0, int(crlf.size()) - start);
    QTextCursor cursor = textCursor();
    cursor.setPosition(plainPosition(plain, start));
    cursor.setPosition(plainPosition(plain, start + length), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

int Memo::selStart() const
{
    return crLfPosition(toPlainText(), textCursor().selectionStart());
}

int Memo::selLength() const
{
    const QString plain = toPlainText();
    const QTextCursor cursor = textCursor();
    return crLfPosition(plain, cursor.selectionEnd()) - crLfPosition(plain, cursor.selectionStart());
}

void Memo::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    emit gotFocus();
}

void Memo::insertFromMimeData(const QMimeData* source)
{
    if (m_maxLength <= 0 || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    // Only as much of the pasted text as still fits, the rest is refused.
    const int room = m_maxLength - (int(text().size()) - selLength());
    const QString pasted = cutCrLf(toCrLf(fromCrLf(source->text())), std::max(0, room));
    insertPlainText(fromCrLf(pasted));
}

void Memo::keyPressEvent(QKeyEvent* event)
{
    if (m_maxLength > 0 && !isReadOnly()) {
        const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const QString typed = event->text();
        const bool inserts = lineBreak || (!typed.isEmpty() && typed.at(0).isPrint());
        const int width = lineBreak ? 2 : int(typed.size());
        if (inserts && int(text().size()) - selLength() + width > m_maxLength) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void Memo::enforceLimit()
{
    if (m_maxLength <= 0)
        return;
    const QString current = text();
    if (current.size() <= m_maxLength)
        return;
    m_enforcing = true;
    setPlainText(fromCrLf(cutCrLf(current, m_maxLength)));
    moveCursor(QTextCursor::End);
    m_enforcing = false;
}

// ---- TextBox ----

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {}

void TextBox::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    emit gotFocus();
}

// ---- ListBox ----

ListBox::ListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

QString ListBox::List(int index) const
{
    const QListWidgetItem* row = item(index);
    return row ? row->text() : QString();
}

void ListBox::setList(int index, const QString& row)
{
    if (index == count())
        addItem(row);
    else if (QListWidgetItem* existing = item(index))
        existing->setText(row);
}

void ListBox::AddItem(const QString& row) { addItem(row); }

int ListBox::ListIndex() const { return currentRow(); }

void ListBox::setListIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    setCurrentRow(index);
    scrollToItem(item(index));
    emit Click();
}

void ListBox::mouseReleaseEvent(QMouseEvent* event)
{
    QListWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()))
        emit Click();
}

void ListBox::keyPressEvent(QKeyEvent* event)
{
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0)
        emit Click();
}

// ---- StatusBar ----

StatusBar::StatusBar(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(3, 0, 3, 0);
        label->installEventFilter(this);
        m_panels[i] = label;
        layout->addWidget(label, i == 1 ? 1 : 0);
    }
    // Panels 1 and 3 are one inch wide each, panel 2 takes the rest.
    m_panels[0]->setFixedWidth(96);
    m_panels[2]->setFixedWidth(96);
}

QLabel* StatusBar::panel(int panel) const
{
    return panel >= 1 && panel <= 3 ? m_panels[panel - 1] : nullptr;
}

QString StatusBar::panelText(int panel) const
{
    const QLabel* label = this->panel(panel);
    return label ? label->text() : QString();
}

void StatusBar::setPanelText(int panel, const QString& text)
{
    if (QLabel* label = this->panel(panel))
        label->setText(text);
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < 3; ++i) {
            if (watched == m_panels[i]) {
                emit panelClick(i + 1);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- ProgressBar ----

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setRange(0, 1000);
    setTextVisible(false);
    show();
}

void ProgressBar::setMax(float max)
{
    m_max = max;
    show();
}

void ProgressBar::setValue(float value)
{
    m_value = value;
    show();
}

void ProgressBar::show()
{
    // A maximum at or below the minimum (an empty store) shows an empty bar.
    const float span = m_max - m_min;
    const float fraction = span > 0 ? std::clamp((m_value - m_min) / span, 0.0f, 1.0f) : 0.0f;
    QProgressBar::setValue(int(fraction * 1000.0f + 0.5f));
}

// ---- Light ----

Light::Light(QWidget* parent) : QLabel(parent)
{
    setAutoFillBackground(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setBackColor(0);
}

void Light::setBackColor(quint32 color)
{
    m_color = color & 0xFFFFFF;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(int(m_color & 0xFF), int((m_color >> 8) & 0xFF),
                                              int((m_color >> 16) & 0xFF)));
    setPalette(palette);
}

// ---- CommonDialog ----

CommonDialog::CommonDialog(QWidget* owner) : QObject(owner), m_owner(owner) {}

namespace {
// "*.RDS" as a Qt name filter that also shows the lower-case files.
QString qtFilter(const QString& filter)
{
    if (filter.isEmpty())
        return QString();
    return QStringLiteral("%1 (%1 %2)").arg(filter, filter.toLower());
}
} // namespace

void CommonDialog::ShowSave()
{
    FileName = chooser ? chooser(true)
                       : QFileDialog::getSaveFileName(m_owner, QString(), QString(), qtFilter(Filter));
}

void CommonDialog::ShowOpen()
{
    FileName = chooser ? chooser(false)
                       : QFileDialog::getOpenFileName(m_owner, QString(), QString(), qtFilter(Filter));
}
