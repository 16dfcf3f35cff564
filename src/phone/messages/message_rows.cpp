// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/messages/message_rows.h"

namespace store {

namespace {

QString blanks(int count) { return count > 0 ? QString(count, QLatin1Char(' ')) : QString(); }

} // namespace

QString Padded(const QString& text, int width) { return text + blanks(width - text.size()); }

int Digits(int capacity) { return int(QString::number(capacity).size()); }

QString StorePrefix(bool sim) { return sim ? QStringLiteral("S: ") : QStringLiteral("C: "); }

QString RowHead(bool sim, int slot, int capacity)
{
    return StorePrefix(sim) + QString::number(slot).rightJustified(Digits(capacity), QLatin1Char('0'))
           + QLatin1Char('/') + QString::number(capacity) + Joint;
}

QString UnreadableBody() { return QStringLiteral("SMS NON LEGGIBILE"); }

QString EmptyBody(const Columns& columns, int lungNumero)
{
    QString body;
    if (columns.serviceCentre)
        body += blanks(lungNumero) + Bar;
    if (columns.status)
        body += blanks(6) + Bar;
    body += blanks(lungNumero) + Bar;
    if (columns.time)
        body += blanks(8) + Bar;
    if (columns.date)
        body += blanks(8) + Bar;
    return body;
}

QString MessageBody(const Columns& columns, int lungNumero, int tipo, const MessageFields& fields)
{
    QString body;
    if (columns.serviceCentre)
        body += Padded(fields.serviceCentre, lungNumero) + Bar;
    if (columns.status)
        body += StatusPiece(tipo);
    body += Padded(fields.number, lungNumero) + Bar;
    if (columns.time)
        body += fields.time + Bar;
    if (columns.date)
        body += fields.date + Bar;
    if (columns.text)
        body += fields.text;
    return body;
}

QString HeaderLine(const Columns& columns, int capacity, int lungNumero)
{
    // "Mem:  " and its blanks are as long as the row head without " ´ ".
    QString header = QStringLiteral("Mem:  ") + blanks(2 * Digits(capacity) - 2) + Bar;
    if (columns.serviceCentre)
        header += Padded(QStringLiteral("Centro servizi: "), lungNumero) + Bar;
    if (columns.status)
        header += QStringLiteral("Tipo: ") + Bar;
    header += Padded(QStringLiteral("Mitten./Dest.:"), lungNumero) + Bar;
    if (columns.time)
        header += QStringLiteral("Ora:    ") + Bar;
    if (columns.date)
        header += QStringLiteral("Data:   ") + Bar;
    if (columns.text)
        header += QStringLiteral("Testo:");
    return header;
}

RowPlace ReadRowPlace(const QString& row)
{
    RowPlace place;
    place.sim = row.startsWith(QLatin1String("S:"));
    if (row.size() <= 3)
        return place;
    const qsizetype slash = row.indexOf(QLatin1Char('/'), 3);
    place.slot = NumericValue(QStringView(row).mid(3, slash < 0 ? -1 : slash - 3));
    const qsizetype joint = row.indexOf(Joint);
    if (joint >= 0)
        place.headLength = int(joint + Joint.size());
    if (slash >= 0) {
        const qsizetype end = row.indexOf(Joint, slash + 1);
        place.capacity = NumericValue(QStringView(row).mid(slash + 1, end < 0 ? -1 : end - slash - 1));
    }
    return place;
}

QString MarkedRead(const QString& row)
{
    static const QString unread = Bar + StatusPiece(0);
    const qsizetype at = row.indexOf(unread, 0, Qt::CaseInsensitive);
    if (at < 0)
        return row;
    return row.left(at) + Bar + StatusPiece(1) + row.mid(at + unread.size());
}

std::optional<QString> ReplyKey(const QString& text9)
{
    const qsizetype bar = text9.indexOf(QStringLiteral("\u00B3 "));
    if (bar < 0)
        return std::nullopt;
    // Without the blank in front of the bar.
    return TrimSpaces(text9.left(qMax<qsizetype>(0, bar - 1)));
}

} // namespace store
