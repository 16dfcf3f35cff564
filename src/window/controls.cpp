// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/controls.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolTip>

#include <algorithm>
#include <utility>

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

// The length of the longest start of `text` that `fits`, never half of a
// surrogate pair. The empty start must fit, and a start that does not fit
// must not fit once longer.
qsizetype longestFitting(const QString& text, const std::function<bool(qsizetype)>& fits)
{
    qsizetype good = 0;
    qsizetype bad = text.size() + 1;
    while (bad - good > 1) {
        const qsizetype middle = good + (bad - good) / 2;
        (fits(middle) ? good : bad) = middle;
    }
    if (good > 0 && good < text.size() && text.at(good - 1).isHighSurrogate())
        --good;
    return good;
}

} // namespace

Memo::Memo(QWidget* parent) : QPlainTextEdit(parent)
{
    // A tab would replace the selection that the got-focus rule makes.
    setTabChangesFocus(true);
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
    QString plain = fromCrLf(text);
    const bool cut = !fits(plain);
    if (cut)
        plain.truncate(longestFitting(plain, [&](qsizetype n) { return fits(plain.left(n)); }));
    if (plain != toPlainText())
        setPlainText(plain);
    if (cut)
        emit truncated(measured(toCrLf(plain)));
}

void Memo::setMaxLength(int length, Measure measure)
{
    m_maxLength = std::max(0, length);
    m_measure = std::move(measure);
    enforceLimit();
}

int Memo::measured(const QString& text) const { return m_measure ? m_measure(text) : int(text.size()); }

// Whether the editor's text `plain` is within the limit.
bool Memo::fits(const QString& plain) const { return m_maxLength <= 0 || measured(toCrLf(plain)) <= m_maxLength; }

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

int Memo::selStart() const { return crLfPosition(toPlainText(), textCursor().selectionStart()); }

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
    const QString plain = toPlainText();
    const QTextCursor cursor = textCursor();
    const QString before = plain.left(cursor.selectionStart());
    const QString after = plain.mid(cursor.selectionEnd());
    const QString pasted = fromCrLf(source->text());
    const qsizetype kept = longestFitting(pasted, [&](qsizetype n) { return fits(before + pasted.left(n) + after); });
    insertPlainText(pasted.left(kept));
    if (kept < pasted.size())
        emit truncated(measured(text()));
}

void Memo::keyPressEvent(QKeyEvent* event)
{
    if (m_maxLength > 0 && !isReadOnly()) {
        const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const QString typed = lineBreak ? QStringLiteral("\n") : event->text();
        const bool inserts = !typed.isEmpty() && (lineBreak || typed.at(0).isPrint() || typed.at(0).isHighSurrogate());
        if (inserts) {
            const QString plain = toPlainText();
            const QTextCursor cursor = textCursor();
            if (!fits(plain.left(cursor.selectionStart()) + typed + plain.mid(cursor.selectionEnd()))) {
                event->accept();
                return;
            }
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void Memo::enforceLimit()
{
    const QString plain = toPlainText();
    if (fits(plain))
        return;
    m_enforcing = true;
    setPlainText(plain.left(longestFitting(plain, [&](qsizetype n) { return fits(plain.left(n)); })));
    moveCursor(QTextCursor::End);
    m_enforcing = false;
    emit truncated(measured(text()));
}

// ---- FittingLabel ----

FittingLabel::FittingLabel(QWidget* parent) : QLabel(parent) {}

bool FittingLabel::fits() const { return fontMetrics().horizontalAdvance(text()) <= contentsRect().width(); }

bool FittingLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (fits())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(event);
}

void FittingLabel::paintEvent(QPaintEvent* event)
{
    if (fits()) {
        QLabel::paintEvent(event);
        return;
    }
    const QRect room = contentsRect();
    QFont smaller = font();
    const qreal scale = qreal(room.width()) / fontMetrics().horizontalAdvance(text());
    smaller.setPointSizeF(std::max(kSmallest, font().pointSizeF() * scale));
    QString shown = text();
    // Still too wide at the smallest size: two lines, broken at the first
    // blank ("1530/1530" over "(10 SMS)").
    const QFontMetrics metrics(smaller);
    if (metrics.horizontalAdvance(shown) > room.width() && shown.contains(QLatin1Char(' ')))
        shown.replace(shown.indexOf(QLatin1Char(' ')), 1, QLatin1Char('\n'));
    QStringList lines = shown.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = metrics.elidedText(line, Qt::ElideRight, room.width());
    QPainter painter(this);
    painter.setFont(smaller);
    painter.drawText(room, int(alignment()), lines.join(QLatin1Char('\n')));
}

// ---- TextBox ----

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {}

void TextBox::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    emit gotFocus();
}

// ---- ListBox ----

ListBox::ListBox(QWidget* parent) : QListView(parent), m_rows(new phone::RowModel(this))
{
    setModel(m_rows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    // By rows a one-column list would jump to its right edge at one click.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    followFont();
}

void ListBox::setRows(phone::RowModel* rows)
{
    m_rows = rows;
    setModel(rows);
}

void ListBox::followFont()
{
    horizontalScrollBar()->setSingleStep(std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0'))));
}

void ListBox::changeEvent(QEvent* event)
{
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        followFont();
}

int ListBox::ListIndex() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void ListBox::setCurrentRow(int index)
{
    if (index < 0 || index >= ListCount())
        setCurrentIndex(QModelIndex());
    else
        setCurrentIndex(m_rows->index(index));
}

void ListBox::setListIndex(int index)
{
    if (index < 0 || index >= ListCount())
        return;
    setCurrentRow(index);
    scrollToRow(index);
    emit Click();
}

QRect ListBox::rowRect(int index) const { return visualRect(m_rows->index(index)); }

void ListBox::scrollToRow(int index) { scrollTo(m_rows->index(index)); }

void ListBox::mouseReleaseEvent(QMouseEvent* event)
{
    QListView::mouseReleaseEvent(event);
    const bool second = std::exchange(m_doubleClicked, false);
    if (event->button() == Qt::LeftButton && !second && indexAt(event->position().toPoint()).isValid())
        emit Click();
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_doubleClicked = event->button() == Qt::LeftButton;
    QListView::mouseDoubleClickEvent(event);
}

void ListBox::keyPressEvent(QKeyEvent* event)
{
    const int before = ListIndex();
    QListView::keyPressEvent(event);
    if (ListIndex() != before && ListIndex() >= 0)
        emit Click();
}

// ---- HeaderLabel ----

HeaderLabel::HeaderLabel(QWidget* parent) : QLabel(parent) {}

void HeaderLabel::setOffset(int pixels)
{
    if (pixels == m_offset)
        return;
    m_offset = pixels;
    update();
}

// Plain text as QLabel draws it, only started `m_offset` pixels further left.
void HeaderLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect shown = contentsRect();
    painter.setClipRect(shown);
    style()->drawItemText(&painter, shown.adjusted(-m_offset, 0, 0, 0), int(alignment()) | Qt::TextForceLeftToRight,
                          palette(), isEnabled(), text(), foregroundRole());
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
        // A status text may carry a sender's name or words: shown as written.
        label->setTextFormat(Qt::PlainText);
        label->installEventFilter(this);
        m_panels[i] = label;
        layout->addWidget(label, i == 1 ? 1 : 0);
    }
    // Panels 1 and 3 are one inch wide each, panel 2 takes the rest.
    m_panels[0]->setFixedWidth(96);
    m_panels[2]->setFixedWidth(96);
}

QLabel* StatusBar::panel(int panel) const { return panel >= 1 && panel <= 3 ? m_panels[panel - 1] : nullptr; }

QString StatusBar::panelText(int panel) const
{
    const QLabel* label = this->panel(panel);
    return label ? label->text() : QString();
}

void StatusBar::setPanelText(int panel, const QString& text)
{
    if (QLabel* label = this->panel(panel)) {
        label->setText(text);
        fitTooltip(label);
    }
}

// A text cut off by the panel's edge is shown whole in its tooltip.
void StatusBar::fitTooltip(QLabel* label)
{
    const bool fits = label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width();
    // A tooltip takes markup whenever its text looks like some: the text is
    // given as the rich text of itself.
    label->setToolTip(fits ? QString() : Qt::convertFromPlainText(label->text()));
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (auto* label = qobject_cast<QLabel*>(watched))
            fitTooltip(label);
    }
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
    refresh();
}

void ProgressBar::setMax(float max)
{
    m_max = max;
    refresh();
}

void ProgressBar::setValue(float value)
{
    m_value = value;
    refresh();
}

void ProgressBar::refresh()
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
    palette.setColor(QPalette::Window,
                     QColor(int(m_color & 0xFF), int((m_color >> 8) & 0xFF), int((m_color >> 16) & 0xFF)));
    setPalette(palette);
}

// ---- CommonDialog ----

CommonDialog::CommonDialog(QWidget* owner) : QObject(owner), m_owner(owner) {}

namespace {
// "*.RDS" as a Qt name filter that also shows the lower-case files; a
// filter that names its files already ("File CSV (*.csv)") as it is.
QString qtFilter(const QString& filter)
{
    if (filter.isEmpty() || filter.contains(QLatin1Char('(')))
        return filter;
    return QStringLiteral("%1 (%1 %2)").arg(filter, filter.toLower());
}
} // namespace

void CommonDialog::ShowSave()
{
    FileName = chooser ? chooser(true) : ask(true);
    remember();
}

void CommonDialog::ShowOpen()
{
    FileName = chooser ? chooser(false) : ask(false);
    remember();
}

namespace {

// Qt's file list writes the dates and the sizes the system's way whatever
// the program's locale: this one writes them the Italian way.
class ItalianFileList : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex file = mapToSource(index);
        if (index.column() == 3)
            return QLocale().toString(files->lastModified(file), QLocale::ShortFormat);
        if (index.column() == 1 && !files->isDir(file))
            return QLocale().formattedDataSize(files->size(file));
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

QString CommonDialog::ask(bool save)
{
    // Qt's own dialog, not the desktop's: it speaks the program's Italian,
    // where the desktop's would speak the system's language.
    QFileDialog dialog(m_owner, QString(), Folder, qtFilter(Filter));
    dialog.setObjectName(QStringLiteral("FileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new ItalianFileList(&dialog));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void CommonDialog::remember()
{
    if (!FileName.isEmpty())
        Folder = QFileInfo(FileName).absolutePath();
}
