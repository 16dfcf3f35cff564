#include "store/rows.h"
#include "at/numbers.h"

#include <climits>

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

QString StatusPiece(int tipo)
{
    // The stat values of +CMGR in PDU mode (GSM 07.05 3.1).
    switch (tipo) {
    case 0: return QStringLiteral("Nuovo ") + Bar; // received unread
    case 1: return QStringLiteral("Letto ") + Bar; // received read
    case 2: return QStringLiteral("Da Inv") + Bar; // stored unsent
    case 3: return QStringLiteral("Inviat") + Bar; // stored sent
    default: return blanks(6) + Bar;
    }
}

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

SlotAnswer ClassifySlot(const QString& answer)
{
    SlotAnswer slot;
    if (answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0 || answer == QLatin1String("OK")) {
        slot.kind = SlotAnswer::NoMessage;
        return slot;
    }
    if (answer == QLatin1String("+CMGR: 0,,0")) {
        slot.kind = SlotAnswer::Empty;
        return slot;
    }
    slot.kind = SlotAnswer::Message;
    slot.tipo = int16_t(NumericValue(QStringView(answer).mid(7, 1)));
    const qsizetype lineEnd = answer.indexOf(QLatin1String("\r\n"));
    if (lineEnd >= 0)
        slot.pak = answer.mid(lineEnd + 2);
    return slot;
}

PhoneBookWidths ParseCpbrWidths(const QString& answer)
{
    PhoneBookWidths widths;
    const qsizetype paren = answer.indexOf(QLatin1Char(')'));
    if (paren < 0)
        return widths;
    const qsizetype start = paren + 2; // past ")" and its comma
    if (start >= answer.size())
        return widths;
    const qsizetype comma = answer.indexOf(QLatin1Char(','), start);
    if (comma < 0) {
        widths.lungNumero = NumericValue(QStringView(answer).mid(start));
        return widths;
    }
    widths.lungNumero = NumericValue(QStringView(answer).mid(start, comma - start));
    widths.lungNome = NumericValue(QStringView(answer).mid(comma + 1));
    return widths;
}

int ParseCpmsCapacity(const QString& answer, const QString& store)
{
    const qsizetype name = answer.indexOf(store, 0, Qt::CaseInsensitive);
    if (name < 0)
        return 0;
    // The group is: name, closing quote, ",", used, ",", capacity.
    const qsizetype used = name + store.size() + 2;
    if (used >= answer.size())
        return 0;
    const qsizetype comma = answer.indexOf(QLatin1Char(','), used);
    if (comma < 0)
        return 0;
    const qsizetype next = answer.indexOf(QLatin1Char(','), comma + 1);
    const QStringView capacity = QStringView(answer).mid(comma + 1, next < 0 ? -1 : next - comma - 1);
    return NumericValue(capacity);
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

std::optional<QString> NameInRow(const QString& row, const QString& needle, int lungNumero, int lungNome)
{
    // Only the number column counts: found anywhere else in the row (inside
    // a name such as "Info TIM", or in the index column) the text would give
    // whatever stands lungNumero + 3 characters further on as the name.
    const qsizetype bar = row.indexOf(QStringLiteral("\u00B4 "));
    if (bar < 0)
        return std::nullopt;
    const qsizetype at = bar + 2;
    if (QStringView(row).mid(at, needle.size()).compare(needle, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const qsizetype start = at + lungNumero + 3;
    if (lungNome <= 0 || start >= row.size())
        return QString();
    return row.mid(start, lungNome);
}

QString MarkedRead(const QString& row)
{
    static const QString unread = Bar + QStringLiteral("Nuovo ") + Bar;
    const qsizetype at = row.indexOf(unread, 0, Qt::CaseInsensitive);
    if (at < 0)
        return row;
    return row.left(at) + Bar + QStringLiteral("Letto ") + Bar + row.mid(at + unread.size());
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
