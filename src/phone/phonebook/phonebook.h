// SPDX-License-Identifier: GPL-3.0-or-later
// The phone books: one row a line of the list, as the read writes them
// (each book framed by a header and a footer, an entry or an empty slot a
// row) and as the ".RDS" file keeps them, with the entry each row shows:
// its book, its index, its number, type and name. The read of the three
// books, the file saved and loaded, the name of a number and the vCards all
// go through here.
#pragma once

#include "phone/phonebook/vcard.h"
#include "phone/rows.h"
#include "phone/session.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace phone {

// One entry of a phone book, as its row shows it: the number and the name
// with their control characters blanked, the padding off.
struct Entry {
    QString book; // "SM", "ME", "FD"; empty for a row given as text (a file, the list)
    int index = 0;
    QString number;
    int type = 0; // TON/NPI as the phone gave it (129, 145); 0 when not known
    QString name;
};

class Phonebook : public RowModel {
    Q_OBJECT
public:
    explicit Phonebook(Session& session, QObject* parent = nullptr);

    // The entry row `row` shows; none for a frame, an empty slot and a row
    // that is no entry.
    std::optional<Entry> entry(int row) const;
    // The entries of every row, in list order.
    std::vector<Entry> entries() const;

    // "Leggi rubrica da Cellulare": the SIM's, the phone's and the
    // fixed-dialling books, read aside; they replace the rows only when at
    // least one book could be read, and the widths of the last book sized
    // become the session's. The status to show; nothing when the line was
    // lost (the status keeps the connection's error).
    std::optional<QString> read(const Operation& operation);

    // "Salva rubrica": every row to `fileName`, replacing it only once every
    // row is on the disk. False when it could not.
    bool save(const QString& fileName);
    // "Carica rubrica": the rows of a file. The status to show; the rows
    // stay as they were when the file is no phone book.
    QString load(const QString& fileName);

    // The name the phone book gives `needle`, as the rows show it: the name
    // column after the first row whose number column begins with it, with
    // the session's widths (the blanks of the column kept). The window's
    // events run during a long search.
    std::optional<QString> nameOf(const QString& needle) const;

    // The entries as vCards, each with its name and number.
    std::vector<PhonebookEntry> vcardEntries() const;

protected:
    void textWritten(int row) override;
    void textsReset() override;

private:
    Session& m_session;
    std::vector<std::optional<Entry>> m_entries;
};

} // namespace phone
