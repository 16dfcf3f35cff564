// SPDX-License-Identifier: GPL-3.0-or-later
// The rows a capability shows in a list of the window, one line of text a
// row, as a Qt item model: the capability owns the rows and what each one
// shows (a message, an entry of a phone book), the list only draws them.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>

namespace phone {

class RowModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int count() const { return int(m_texts.size()); }
    // "" outside the rows.
    QString text(int row) const { return row >= 0 && row < count() ? m_texts.at(row) : QString(); }
    const QStringList& texts() const { return m_texts; }

    // Rows given as text from outside the capability (the list's own
    // editing, a test): each replaces the row at `row`, or is added after the
    // last one when `row` is count(); the capability reads what it can of it
    // (textWritten). A row beyond that is left alone.
    void setText(int row, const QString& text);
    void appendTexts(const QStringList& texts);
    void clear();

protected:
    // Writes one row's text, as setText does, without textWritten: the
    // capability keeps what the row shows itself.
    bool writeText(int row, const QString& text);
    // Replaces every row; the capability has set what each one shows.
    void resetTexts(const QStringList& texts);
    // A row's text came from outside; `row` may be a new one.
    virtual void textWritten(int row) { Q_UNUSED(row); }
    // Every row is gone (clear).
    virtual void textsReset() {}

private:
    QStringList m_texts;
};

} // namespace phone
