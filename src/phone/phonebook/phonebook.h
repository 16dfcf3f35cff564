// SPDX-License-Identifier: GPL-3.0-or-later
// The phone books: one row a line of the list, as the read writes them
// (each book framed by a header and a footer, an entry or an empty slot a
// row) and as the ".RDS" file keeps them, with the entry each row shows:
// its book, its index, its number, type and name. The read of the three
// books, the file saved and loaded, the name of a number and the vCards all
// go through here.
#pragma once

#include "at/cpbr.h"
#include "phone/phonebook/import.h"
#include "phone/phonebook/vcard.h"
#include "phone/rows.h"
#include "phone/session.h"

#include <QString>
#include <QStringList>

#include <map>
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

// A contact to put on the phone: a new entry (index 0: the first free
// index of the book) or the entry at `index`, its name and its number as
// typed or imported.
struct Contact {
    QString book; // "SM", "ME"
    int index = 0;
    QString name;
    QString number;
};

// The words for a book: "SIM", "telefono", "rubrica FD"; and whence an
// entry goes: "dalla SIM", "dal telefono".
QString BookWords(const QString& book);
QString FromBook(const QString& book);

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
    // The same without letting the window's events run, for a search that
    // a keystroke must not enter again.
    std::optional<QString> nameOfNow(const QString& needle) const;

    // The entries as vCards, each with its name and number.
    std::vector<PhonebookEntry> vcardEntries() const;

    // ---- contacts that go back to the phone (contacts.cpp) ----
    // The books of the phone the rows show, in list order ("SM", "ME",
    // "FD"), and the size the read gave each.
    std::vector<QString> books() const;
    std::optional<at::CpbrRange> bookSize(const QString& book) const;
    // The row of `book`'s entry or empty slot `index`; -1 when none shows it.
    int rowOf(const QString& book, int index) const;
    // The first index of `book` the rows show empty; 0 when none is.
    int firstFree(const QString& book) const;
    // Why `contact` cannot go to the phone, told from what the read gave
    // (the book's limits, its free entries, whether the phone took UCS2),
    // in Italian words; empty when nothing stands in its way. Sends nothing.
    QString refusal(const Contact& contact) const;

    // Writes `contact` with one "+CPBW" and reads it back: the row of its
    // index shows what the phone holds. A new contact goes to the first
    // free index of the book, which is read first when the rows do not
    // show it. The status to show; nothing when the line was lost.
    std::optional<QString> writeContact(const Operation& operation, const Contact& contact);
    // Deletes the entry row `row` shows and checks that its index is empty.
    std::optional<QString> deleteContact(const Operation& operation, int row);

    // "Scrivi rubrica sul cellulare…": the entries of the section of row
    // `row` (the first section when no row is chosen) written to `book`:
    // the book read first, then only the entries that differ, each at its
    // index, or at the first free one for an entry without an index (an
    // import's); with `deleteOthers` the phone's entries that are not in
    // the section go. Each write goes once; a refusal of the phone or a
    // silent phone stops there, and the status says how far it got.
    std::optional<QString> writeBook(const Operation& operation, int row, const QString& book, bool deleteOthers);

    // "Importa contatti…": the contacts of a vCard or CSV file as a section
    // of their own after the rows, framed as a book is, each entry without
    // an index ("00/12"): not on the phone, until the section is written to
    // it. The status to show: the contacts added and those skipped, with why.
    QString addImported(const ImportResult& imported);

protected:
    void textWritten(int row) override;
    void textsReset() override;

private:
    // A book read aside, its entries used by index.
    struct BookCopy {
        at::CpbrRange size;
        std::map<int, Entry> entries;
    };
    // `book` read aside in the set the phone was put in (`ucs2`); nothing,
    // with `why`, when the phone did not give every entry.
    std::optional<BookCopy> readBook(const Operation& operation, const QString& book, bool ucs2, QString* why);
    // The entries of the section of row `row`, in list order.
    std::vector<Entry> section(int row) const;

    // The entry `index` of `book` in the rows, as the phone holds it now.
    void showEntry(const QString& book, int index, const std::optional<Entry>& entry);

    Session& m_session;
    std::vector<std::optional<Entry>> m_entries;
    std::map<QString, at::CpbrRange> m_sizes; // each book's size, from the read
    bool m_ucs2 = false;                      // the read found the phone's UCS2
};

} // namespace phone
