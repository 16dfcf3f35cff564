// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/sending/recipients.h"

#include "at/glyphs.h"
#include "at/numbers.h"

#include <QStringList>

#include <algorithm>

namespace phone {

namespace {

// Whether a number begins at `from`, past the blanks: a digit, "+" or "(".
bool numberFollows(const QString& text, qsizetype from)
{
    while (from < text.size() && text.at(from) == QLatin1Char(' '))
        ++from;
    if (from >= text.size())
        return false;
    const QChar c = text.at(from);
    return c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('(');
}

QStringList piecesOf(const QString& field)
{
    QStringList pieces;
    QString piece;
    bool inName = false;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        const bool ends = c == QLatin1Char(';') || (c == QLatin1Char(',') && (!inName || numberFollows(field, i + 1)));
        if (ends) {
            pieces << piece;
            piece.clear();
            inName = false;
            continue;
        }
        piece += c;
        if (c == at::kBar)
            inName = true;
    }
    pieces << piece;
    return pieces;
}

} // namespace

QString RecipientKey(const QString& dialled)
{
    return dialled.startsWith(QLatin1String("00")) ? QLatin1Char('+') + dialled.mid(2) : dialled;
}

RecipientList ParseRecipients(const QString& field)
{
    RecipientList list;
    std::vector<QString> keys;
    for (const QString& piece : piecesOf(field)) {
        const qsizetype bar = piece.indexOf(at::kBar);
        Recipient recipient;
        recipient.written = at::TrimSpaces(bar < 0 ? piece : piece.left(bar));
        if (recipient.written.isEmpty())
            continue;
        recipient.name = bar < 0 ? QString() : at::TrimSpaces(piece.mid(bar + 1));
        recipient.number = at::DialledNumber(recipient.written);
        ++list.written;
        const QString key = RecipientKey(recipient.number);
        if (std::find(keys.begin(), keys.end(), key) != keys.end())
            continue;
        keys.push_back(key);
        list.recipients.push_back(recipient);
    }
    return list;
}

QString WithRecipient(const QString& field, const QString& picked)
{
    const qsizetype bar = picked.indexOf(at::kBar);
    const QString number = at::TrimSpaces(bar < 0 ? picked : picked.left(bar));
    const QString name = bar < 0 ? QString() : at::TrimSpaces(picked.mid(bar + 1));
    const QString entry = name.isEmpty() ? number : number + at::Bar + name;
    if (ParseRecipients(field).written == 0)
        return entry;
    QString kept = field;
    while (kept.endsWith(QLatin1Char(' ')))
        kept.chop(1);
    // A field that ends with its separator takes the entry after it.
    if (kept.endsWith(QLatin1Char(';')) || kept.endsWith(QLatin1Char(',')))
        return kept + QLatin1Char(' ') + entry;
    return kept + QStringLiteral("; ") + entry;
}

} // namespace phone
