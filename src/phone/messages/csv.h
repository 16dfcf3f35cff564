// SPDX-License-Identifier: GPL-3.0-or-later
// The stored messages as a CSV file for the spreadsheets Italian users
// have: UTF-8 after a byte-order mark, so that they read the accents; ";"
// between fields, as a decimal comma leaves no comma to separate with; a
// header row, then one row per message, fields quoted (RFC 4180) where they
// hold a ";", a quote or a line break, lines ended by CR LF. What comes
// from a sender is data, never a formula. Pure functions, no widgets.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace store {

struct ExportedMessage {
    QString store; // "SM" (the SIM) or "ME" (the phone's memory)
    int slot = 0;
    QString status; // "Nuovo", "Letto", "Da Inviare", "Inviato", or the number the phone gave
    QString serviceCentre;
    QString number;   // originator or destination, as the message holds it
    QString name;     // its phone-book name; empty when List2 has none
    QString dateTime; // "2003-12-31 12:34:56", the stamp's local time; empty without a stamp
    QString zone;     // the stamp's zone, "+01:00"; empty without one
    QString text;     // the whole text, line breaks included
    QString part;     // "1/2" for part 1 of a message in 2 parts; empty for a message sent whole
    QString whole;    // the message the part belongs to, joined from its parts; the text of a message sent whole
};

// The service-centre stamp as "yyyy-mm-dd hh:mm:ss" local time, which
// spreadsheets read as a date, from the decoders' "dd/mm/yy" and "hh:mm:ss"
// (TS 23.040 9.2.3.11 gives the year in two digits: 90..99 are the 1990s,
// the rest this century). Empty when either is blank, as for a stored
// outgoing message, or no real date and time.
QString CsvDateTime(const QString& date, const QString& time);

// A field that a spreadsheet would take for a formula ("=", "+", "-", "@",
// a tab or a CR first) with an apostrophe in front, which makes it text:
// a sender's "=HYPERLINK(...)" stays words, "+393471234567" and "+01:00"
// stay as written.
QString CsvText(const QString& field);

// One field as text (CsvText), quoted only when it must be.
QString CsvField(const QString& field);

// Byte-order mark, the header row
//   Memoria;Posizione;Stato;Centro servizi;Numero;Nome;Data e ora;Fuso orario;Testo;Parte;Testo completo
// and a row per message.
QByteArray MessagesCsv(const std::vector<ExportedMessage>& messages);

} // namespace store
