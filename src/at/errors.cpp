// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/errors.h"

#include "at/numbers.h"

namespace at {

namespace {

struct KnownText {
    const char* text;
    int code;
};

int extendedError(const QString& line, QLatin1String prefix, std::initializer_list<KnownText> texts)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(prefix, Qt::CaseInsensitive))
        return -1;
    const QString rest = trimmed.mid(prefix.size()).trimmed();
    if (rest.isEmpty())
        return -1;
    if (rest.at(0).isDigit())
        return rest.size() <= 6 ? NumericValue(rest) : -1;
    for (const KnownText& known : texts) {
        if (rest.compare(QLatin1String(known.text), Qt::CaseInsensitive) == 0)
            return known.code;
    }
    return -1;
}

struct Reason {
    int code;
    const char* words;
};

// GSM 07.05 3.2.5; below 128 the network's causes of GSM 04.11 Annex E-2,
// from 128 the failure causes of GSM 03.40 9.2.3.22.
constexpr Reason kCmsReasons[] = {
    {1, "numero inesistente"},
    {8, "servizio bloccato dall'operatore"},
    {10, "invio bloccato"},
    {21, "messaggio rifiutato dalla rete"},
    {27, "destinatario non raggiungibile"},
    {28, "destinatario sconosciuto alla rete"},
    {29, "servizio rifiutato dalla rete"},
    {30, "destinatario sconosciuto"},
    {38, "rete fuori servizio"},
    {41, "guasto temporaneo della rete"},
    {42, "rete congestionata"},
    {47, "risorse di rete non disponibili"},
    {50, "servizio SMS non sottoscritto"},
    {69, "servizio non disponibile sulla rete"},
    {96, "messaggio non valido"},
    {111, "errore di protocollo"},
    {300, "guasto del cellulare"},
    {301, "servizio SMS del cellulare riservato"},
    {302, "operazione non consentita"},
    {303, "operazione non supportata"},
    {304, "parametro PDU non valido"},
    {310, "SIM non inserita"},
    {311, "la SIM chiede il PIN"},
    {312, "il cellulare chiede il PIN"},
    {313, "guasto della SIM"},
    {314, "SIM occupata"},
    {315, "SIM errata"},
    {316, "la SIM chiede il PUK"},
    {317, "la SIM chiede il PIN2"},
    {318, "la SIM chiede il PUK2"},
    {320, "guasto della memoria"},
    {321, "posizione di memoria non valida"},
    {322, "memoria piena"},
    {330, "numero del centro servizi sconosciuto"},
    {331, "nessuna rete"},
    {332, "la rete non risponde"},
    {500, "errore sconosciuto"},
};

// GSM 07.07 9.2.
constexpr Reason kCmeReasons[] = {
    {0, "guasto del cellulare"},
    {3, "operazione non consentita"},
    {4, "operazione non supportata"},
    {5, "il cellulare chiede il PIN"},
    {10, "SIM non inserita"},
    {11, "la SIM chiede il PIN"},
    {12, "la SIM chiede il PUK"},
    {13, "guasto della SIM"},
    {14, "SIM occupata"},
    {15, "SIM errata"},
    {16, "PIN errato"},
    {17, "la SIM chiede il PIN2"},
    {18, "la SIM chiede il PUK2"},
    {20, "memoria piena"},
    {21, "indice non valido"},
    {22, "voce non trovata"},
    {23, "guasto della memoria"},
    {24, "nome troppo lungo"},
    {25, "caratteri non validi nel nome"},
    {26, "numero troppo lungo"},
    {27, "caratteri non validi nel numero"},
    {30, "nessuna rete"},
    {31, "la rete non risponde"},
    {100, "errore sconosciuto"},
};

template <size_t N> const char* wordsFor(const Reason (&table)[N], int code)
{
    for (const Reason& reason : table)
        if (reason.code == code)
            return reason.words;
    return nullptr;
}

} // namespace

QString ErrorReason(const QString& line)
{
    const QString trimmed = line.trimmed();
    const bool cms = trimmed.startsWith(QLatin1String("+CMS ERROR:"), Qt::CaseInsensitive);
    const bool cme = trimmed.startsWith(QLatin1String("+CME ERROR:"), Qt::CaseInsensitive);
    if (!cms && !cme)
        return QString();
    const QString rest = trimmed.mid(11).trimmed();
    if (rest.isEmpty())
        return QString();
    if (!rest.at(0).isDigit())
        return rest; // +CMEE=2: the phone's own words
    const int code = cms ? CmsError(trimmed) : CmeError(trimmed);
    if (code < 0)
        return QString();
    if (const char* words = cms ? wordsFor(kCmsReasons, code) : wordsFor(kCmeReasons, code))
        return QString::fromUtf8(words);
    return QStringLiteral("errore %1 del cellulare").arg(code);
}

int CmsError(const QString& line)
{
    return extendedError(line, QLatin1String("+CMS ERROR:"), {{"invalid memory index", kCmsInvalidIndex}});
}

int CmeError(const QString& line)
{
    return extendedError(line, QLatin1String("+CME ERROR:"), {{"not found", kCmeNotFound}});
}

} // namespace at
