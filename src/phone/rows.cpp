// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/rows.h"

namespace phone {

int RowModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count(); }

QVariant RowModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return m_texts.at(index.row());
}

bool RowModel::writeText(int row, const QString& text)
{
    if (row < 0 || row > count())
        return false;
    if (row == count()) {
        beginInsertRows(QModelIndex(), row, row);
        m_texts.append(text);
        endInsertRows();
        return true;
    }
    if (m_texts.at(row) != text) {
        m_texts[row] = text;
        const QModelIndex changed = index(row);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    }
    return true;
}

void RowModel::setText(int row, const QString& text)
{
    if (writeText(row, text))
        textWritten(row);
}

void RowModel::appendTexts(const QStringList& texts)
{
    if (texts.isEmpty())
        return;
    const int first = count();
    beginInsertRows(QModelIndex(), first, first + int(texts.size()) - 1);
    m_texts += texts;
    endInsertRows();
    for (int row = first; row < count(); ++row)
        textWritten(row);
}

void RowModel::clear()
{
    beginResetModel();
    m_texts.clear();
    textsReset();
    endResetModel();
}

void RowModel::resetTexts(const QStringList& texts)
{
    beginResetModel();
    m_texts = texts;
    endResetModel();
}

} // namespace phone
