// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/sending/compose.h"

#include "at/errors.h"
#include "at/glyphs.h"
#include "at/numbers.h"
#include "at/windows1252.h"
#include "link/phonelink.h"
#include "pdu/pdu.h"

#include <QDateTime>

QString RecipientFromField(const QString& field)
{
    const qsizetype bar = field.indexOf(at::kBar);
    return at::TrimSpaces(bar < 0 ? field : field.left(bar));
}

QString FailureReason(const QString& answer, const QString& extendedError, phonelink::GiveUp why)
{
    const QString reason = at::ErrorReason(extendedError);
    if (reason.isEmpty() && phonelink::gaveUp(answer))
        return phonelink::GiveUpText(why);
    return reason;
}

QString SendFailure(const QString& failure, const QString& answer, const QString& extendedError, phonelink::GiveUp why)
{
    const QString reason = FailureReason(answer, extendedError, why);
    return reason.isEmpty() ? failure + QStringLiteral("..")
                            : failure + QStringLiteral(": ") + reason + QStringLiteral("..");
}

QString PartFailure(int part, int parts, const QString& reason)
{
    const int sent = part - 1;
    const QString count = sent == 0   ? QStringLiteral("nessuna parte inviata")
                          : sent == 1 ? QStringLiteral("1 parte inviata")
                                      : QStringLiteral("%1 parti inviate").arg(sent);
    QString text = QStringLiteral("Invio fallito alla parte %1 di %2").arg(part).arg(parts);
    if (!reason.isEmpty())
        text += QStringLiteral(" (") + reason + QLatin1Char(')');
    return text + QStringLiteral(": ") + count + QStringLiteral("..");
}

QString CounterText(const QString& text, bool longSms)
{
    if (!longSms)
        return QString::number(GsmSeptets(text)) + QStringLiteral("/160");
    const SmsSegments s = SegmentText(text);
    const QString count = QString::number(s.units) + QLatin1Char('/') + QString::number(s.perPart * s.parts);
    return s.parts == 1 ? count : count + QStringLiteral(" (%1 SMS)").arg(s.parts);
}

int LongSmsLength(const QString& text)
{
    const SmsSegments s = SegmentText(text);
    return s.parts > kMaxParts ? kLongSmsLimit + 1 : s.units;
}

QString ReplacementQuestion(const QList<Replacement>& replaced)
{
    QString text = QStringLiteral("L'alfabeto degli SMS non ha questi caratteri, che partiranno sostituiti:\n");
    for (const Replacement& r : replaced) {
        // A combining mark alone is shown on a dotted circle.
        const QString shown = r.character.at(0).isMark() ? QChar(0x25CC) + r.character : r.character;
        text += QStringLiteral("\n") + shown + QStringLiteral(" → ")
                + (r.replacement.isEmpty() ? QStringLiteral("(niente)") : r.replacement);
    }
    return text + QStringLiteral("\n\nInviare il testo così? Con \"SMS lungo\" partono come sono scritti.");
}

QString ZipSms(const QString& text, const std::function<void()>& yield)
{
    QString packed = text + QLatin1Char(' ');
    bool upper = true;
    qsizetype wordStart = 0;
    for (qsizetype i = 0; i < packed.size(); ++i) {
        if (yield)
            yield();
        if (packed.at(i) != QLatin1Char(' '))
            continue;
        // The word with its closing space; every space switches the case,
        // so a second space in a row is an empty word of its own.
        const QString word = packed.mid(wordStart, i - wordStart + 1);
        packed.replace(wordStart, word.size(), upper ? Windows1252Upper(word) : Windows1252Lower(word));
        upper = !upper;
        wordStart = i + 1;
    }
    packed.remove(QLatin1Char(' '));
    return packed;
}

std::optional<int> CmgsReference(const QString& answer)
{
    for (const QString& raw : answer.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (!line.startsWith(QLatin1String("+CMGS:"), Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const int reference = line.mid(6).section(QLatin1Char(','), 0, 0).trimmed().toInt(&ok);
        return ok && reference >= 0 && reference <= 255 ? std::optional<int>(reference) : std::nullopt;
    }
    return std::nullopt;
}
