// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/phonebook/import.h"
#include "phonebook/qstring_printer.h"

#include <QFile>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Expected {
    const char* name;
    const char* number;
};

struct ImportCase {
    const char* name;
    QByteArray file;
    std::vector<Expected> contacts;
    std::vector<const char*> skipped;
};

void check(const phone::ImportResult& result, const ImportCase& c)
{
    ASSERT_EQ(result.contacts.size(), c.contacts.size());
    for (std::size_t i = 0; i < c.contacts.size(); ++i) {
        EXPECT_EQ(result.contacts[i].name, QString::fromUtf8(c.contacts[i].name)) << "contact " << i;
        EXPECT_EQ(result.contacts[i].number, QString::fromUtf8(c.contacts[i].number)) << "contact " << i;
    }
    QStringList skipped;
    for (const char* line : c.skipped)
        skipped << QString::fromUtf8(line);
    EXPECT_EQ(result.skipped, skipped);
}

// A text as Windows writes a "Unicode" file: a byte-order mark, then
// UTF-16 little endian.
QByteArray utf16le(const char16_t* text)
{
    QByteArray bytes("\xFF\xFE");
    for (; *text; ++text) {
        bytes += char(*text & 0xFF);
        bytes += char(*text >> 8);
    }
    return bytes;
}

const std::vector<ImportCase> kVCards = {
    {"vCard 2.1: quoted-printable accents, a soft line break, several numbers",
     "BEGIN:VCARD\r\n"
     "VERSION:2.1\r\n"
     "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Rossi;Nicol=C3=B2;;;\r\n"
     "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Nicol=C3=B2 Ro=\r\n"
     "ssi\r\n"
     "TEL;CELL;PREF:+39 347 1234567\r\n"
     "TEL;HOME;VOICE:06-1234567\r\n"
     "TEL;WORK;FAX:06 7654321\r\n"
     "END:VCARD\r\n",
     {{"Nicolò Rossi (cellulare)", "+39 347 1234567"},
      {"Nicolò Rossi (casa)", "06-1234567"},
      {"Nicolò Rossi (fax)", "06 7654321"}},
     {}},
    {"vCard 2.1: Latin-1 and Windows-1252 charsets, name from N alone",
     "BEGIN:VCARD\r\nVERSION:2.1\r\n"
     "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Ferr=E0;Ges=F9;;;\r\n"
     "TEL:0612\r\nEND:VCARD\r\n"
     "BEGIN:VCARD\r\nVERSION:2.1\r\n"
     "FN;CHARSET=WINDOWS-1252:Fran\xe7ois \x80uro\r\n"
     "TEL;CELL:333\r\nEND:VCARD\r\n",
     {{"Gesù Ferrà", "0612"}, {"François €uro", "333"}},
     {}},
    {"vCard 2.1: an unlabelled 8-bit value that is no UTF-8 reads as Windows-1252",
     "BEGIN:VCARD\nVERSION:2.1\nFN:Nicol\xf2\nTEL:1\nEND:VCARD\n",
     {{"Nicolò", "1"}},
     {}},
    {"vCard 3.0: folded lines, escapes, TYPE lists, one number keeps the plain name",
     "BEGIN:VCARD\r\n"
     "VERSION:3.0\r\n"
     "FN:Studio Bianchi\\, Verdi \\; Associati\r\n"
     "N:Bianchi;Studio;;;\r\n"
     "TEL;TYPE=work,voice;TYPE=pref:+39 02\r\n"
     "  1234 5678\r\n"
     "END:VCARD\r\n"
     "BEGIN:VCARD\r\n"
     "VERSION:3.0\r\n"
     "FN:Anna Ma\r\n"
     " ria Luisa\r\n"
     "item1.TEL;TYPE=HOME,VOICE:0612\r\n"
     "item2.TEL;TYPE=CELL:3331\r\n"
     "item3.TEL;TYPE=CELL:3332\r\n"
     "TEL;TYPE=pref:0699\r\n"
     "END:VCARD\r\n",
     {{"Studio Bianchi, Verdi ; Associati", "+39 02 1234 5678"},
      {"Anna Maria Luisa (casa)", "0612"},
      {"Anna Maria Luisa (cellulare)", "3331"},
      {"Anna Maria Luisa (cellulare 2)", "3332"},
      {"Anna Maria Luisa (altro)", "0699"}},
     {}},
    {"vCard 4.0: tel URIs, an extension, quoted TYPE, PREF parameter",
     "BEGIN:VCARD\r\n"
     "VERSION:4.0\r\n"
     "FN:Giulia Neri\r\n"
     "TEL;VALUE=uri;TYPE=\"home,voice\";PREF=1:tel:+39-06-1234567\r\n"
     "TEL;VALUE=uri;TYPE=work:tel:+39-02-555;ext=22\r\n"
     "END:VCARD\r\n",
     {{"Giulia Neri (casa)", "+39-06-1234567"}, {"Giulia Neri (lavoro)", "+39-02-555p22"}},
     {}},
    {"Apple's labels name the kind of a number its TYPE leaves unnamed",
     "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dario\r\n"
     "item1.TEL;type=pref:+39 06 1\r\nitem1.X-ABLabel:_$!<Mobile>!$_\r\n"
     "item2.TEL:02 2\r\nitem2.X-ABLabel:Ufficio\r\n"
     "TEL;type=HOME:06 3\r\nitem3.X-ABLabel:Lavoro\r\nEND:VCARD\r\n",
     {{"Dario (cellulare)", "+39 06 1"}, {"Dario (lavoro)", "02 2"}, {"Dario (casa)", "06 3"}},
     {}},
    {"an escaped line break in a name is a blank, a backslash stays one",
     "BEGIN:VCARD\nVERSION:3.0\nFN:Mario\\nRossi\\\\Bis\nTEL:1\nEND:VCARD\n",
     {{"Mario Rossi\\Bis", "1"}},
     {}},
    {"without FN the name is given, additional and family names as people read them",
     "BEGIN:VCARD\nVERSION:3.0\nN:Rossi;Mario;Giuseppe,Maria;Dott.;\nTEL:1\nEND:VCARD\n",
     {{"Mario Giuseppe Maria Rossi", "1"}},
     {}},
    {"the same number twice is one entry with the plain name",
     "BEGIN:VCARD\nVERSION:3.0\nFN:Ugo\nTEL;TYPE=CELL:+39 333 1\nTEL;TYPE=CELL,PREF:+393331\nEND:VCARD\n",
     {{"Ugo", "+39 333 1"}},
     {}},
    {"contacts without a number are skipped with the reason",
     "BEGIN:VCARD\nVERSION:3.0\nFN:Luca Bianchi\nEMAIL:luca@example.org\nEND:VCARD\n"
     "BEGIN:VCARD\nVERSION:3.0\nFN:Eva\nTEL:\nEND:VCARD\n"
     "BEGIN:VCARD\nVERSION:3.0\nEND:VCARD\n",
     {},
     {"Luca Bianchi: nessun numero", "Eva: nessun numero", "Contatto 3: nessun nome né numero"}},
    {"no name: the organisation, else the number",
     "BEGIN:VCARD\nVERSION:3.0\nFN:\nORG:Pizzeria da Gino;Cucina\nTEL:0611\nEND:VCARD\n"
     "BEGIN:VCARD\nVERSION:3.0\nN:;;;;\nTEL;TYPE=CELL:333 44\nTEL;TYPE=HOME:0655\nEND:VCARD\n",
     {{"Pizzeria da Gino", "0611"}, {"333 44", "333 44"}, {"0655", "0655"}},
     {}},
    {"an agent's card inside a card is not a contact of its own",
     "BEGIN:VCARD\nVERSION:2.1\nFN:Capo\nAGENT:\nBEGIN:VCARD\nFN:Segretaria\nTEL:999\nEND:VCARD\n"
     "TEL:111\nEND:VCARD\n",
     {{"Capo", "111"}},
     {}},
    {"a base64 photo between the properties is passed over",
     "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Zoe\r\nPHOTO;ENCODING=BASE64;JPEG:/9j/4AAQSkZJRgABAQ\r\n"
     "  AAAQABAAD/2wBDAAMCAgICAgMCAgIDAwMDBAYE\r\n\r\nTEL;CELL:3470\r\nEND:VCARD\r\n",
     {{"Zoe", "3470"}},
     {}},
    {"a byte-order mark, lower-case keywords and a file cut short",
     "\xEF\xBB\xBF"
     "begin:vcard\nversion:3.0\nfn:Lia\ntel;type=cell:3\n",
     {{"Lia", "3"}},
     {}},
    {"a UTF-16 file as Windows writes it", utf16le(u"BEGIN:VCARD\nFN:à\nTEL:5\nEND:VCARD\n"), {{"à", "5"}}, {}},
};

TEST(ImportVCards, OneEntryANumber)
{
    for (const ImportCase& c : kVCards) {
        SCOPED_TRACE(c.name);
        check(phone::ImportVCards(c.file), c);
    }
}

const std::vector<ImportCase> kCsvs = {
    {"semicolons, Italian header, several numbers filled",
     "Nome;Cognome;Telefono;Cellulare\r\n"
     "Mario;Rossi;06 1234;+39 347 1\r\n"
     "Luca;Bianchi;;333 2\r\n"
     "Eva;Verdi;;\r\n",
     {{"Mario Rossi (altro)", "06 1234"}, {"Mario Rossi (cellulare)", "+39 347 1"}, {"Luca Bianchi", "333 2"}},
     {"Eva Verdi: nessun numero"}},
    {"commas, quoted fields with escaped quotes, a separator and a line break inside",
     "Name,Phone\n"
     "\"Bar \"\"Sport\"\", Roma\",\"06 555\"\n"
     "\"Zia\nAda\",0612\n",
     {{"Bar \"Sport\", Roma", "06 555"}, {"Zia Ada", "0612"}},
     {}},
    {"Windows-1252 bytes where they are no UTF-8",
     "Nome;Numero\r\nNicol\xf2 Ferr\xe0;0612\r\n",
     {{"Nicolò Ferrà", "0612"}},
     {}},
    {"UTF-8 with a byte-order mark", "\xEF\xBB\xBFNome completo;Telefono\r\nNicolò;1\r\n", {{"Nicolò", "1"}}, {}},
    {"an Outlook export: first, middle and last name, kinds from the header",
     "\"First Name\",\"Middle Name\",\"Last Name\",\"Company\",\"Business Fax\",\"Business Phone\","
     "\"Home Phone\",\"Mobile Phone\",\"Pager\",\"E-mail Address\"\r\n"
     "\"Anna\",\"\",\"Bianchi\",\"\",\"\",\"02 123\",\"\",\"347 9\",\"555\",\"anna@example.org\"\r\n"
     "\"\",\"\",\"\",\"Ferramenta Gialli\",\"06 88\",\"\",\"\",\"\",\"\",\"\"\r\n",
     {{"Anna Bianchi (lavoro)", "02 123"}, {"Anna Bianchi (cellulare)", "347 9"}, {"Ferramenta Gialli", "06 88"}},
     {}},
    {"an Italian Outlook export",
     "Nome;Secondo nome;Cognome;Società;Telefono ufficio;Telefono abitazione;Cellulare;Fax abitazione;"
     "Altro telefono;Telefono principale società\r\n"
     "Paolo;;Neri;;;06 1;;;;\r\n"
     "Sara;Maria;Blu;;02 1;06 2;333;06 3;0799;\r\n"
     ";;;Bar Città;02 5;;;;;06 4\r\n",
     {{"Paolo Neri", "06 1"},
      {"Sara Maria Blu (lavoro)", "02 1"},
      {"Sara Maria Blu (casa)", "06 2"},
      {"Sara Maria Blu (cellulare)", "333"},
      {"Sara Maria Blu (fax)", "06 3"},
      {"Sara Maria Blu (altro)", "0799"},
      {"Bar Città (lavoro)", "02 5"},
      {"Bar Città (lavoro 2)", "06 4"}},
     {}},
    {"a Google export: kinds from the type column, several numbers in one field",
     "Name,Given Name,Family Name,Phone 1 - Type,Phone 1 - Value,Phone 2 - Type,Phone 2 - Value\n"
     "Marco Gialli,Marco,Gialli,* Mobile,+39 333 1 ::: +39 333 2,Home,06 7\n"
     ",Lia,Rosa,Work Fax,02 9,,\n",
     {{"Marco Gialli (cellulare)", "+39 333 1"},
      {"Marco Gialli (cellulare 2)", "+39 333 2"},
      {"Marco Gialli (casa)", "06 7"},
      {"Lia Rosa", "02 9"}},
     {}},
    {"a newer Google export labels its numbers",
     "First Name,Last Name,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - Value\n"
     "Rita,Lodi,Mobile,3401,Work,0201\n",
     {{"Rita Lodi (cellulare)", "3401"}, {"Rita Lodi (lavoro)", "0201"}},
     {}},
    {"a spreadsheet's sep line, text numbers, blank rows and a row without a name",
     "sep=,\r\nnome,TELEFONO\r\n,\r\n\r\nUgo,'+39 06 1\r\n,0655\r\n",
     {{"Ugo", "+39 06 1"}, {"0655", "0655"}},
     {}},
    {"a row without a name or a number names its line as a spreadsheet counts it",
     "\nNome;Cellulare;Città\nUgo;1;\"Roma\ncentro\"\n;;Milano\n",
     {{"Ugo", "1"}},
     {"Riga 4: nessun nome né numero"}},
    {"a header without a number column reads nothing",
     "Nome;Indirizzo;Numero civico\nUgo;Via Roma;12\n",
     {},
     {"Nell'intestazione nessuna colonna di numeri (Telefono, Cellulare, Phone...): nessun contatto letto"}},
    {"tabs", "Name\tMobile\nAda\t3\n", {{"Ada", "3"}}, {}},
};

TEST(ImportCsv, NameAndNumberColumns)
{
    for (const ImportCase& c : kCsvs) {
        SCOPED_TRACE(c.name);
        check(phone::ImportCsv(c.file), c);
    }
}

struct FileCase {
    const char* file;
    phone::ImportResult (*import)(const QByteArray&);
    std::vector<Expected> contacts;
    std::vector<const char*> skipped;
};

// Files as the programs and phones write them: an Android phone's vCard
// 2.1 (every accented value quoted-printable, long values broken with "=",
// a photo), an Outlook export with all its columns and a note over two
// lines, an Italian spreadsheet's CSV in Windows-1252.
const std::vector<FileCase> kFiles = {
    {"android-2.1.vcf",
     phone::ImportVCards,
     {{"Nicolò Rossi (cellulare)", "+39 347 123 4567"},
      {"Nicolò Rossi (casa)", "06 1234567"},
      {"Nicolò Rossi (lavoro)", "02-7654321"},
      {"Associazione Culturale Società Dante Alighieri di Città di Castello", "075 8550000"},
      {"Gesù Ferrà", "3331234567"}},
     {"Luca Bianchi: nessun numero"}},
    {"outlook.csv",
     phone::ImportCsv,
     {{"Anna Bianchi (lavoro)", "+39 02 1234567"},
      {"Anna Bianchi (lavoro 2)", "+39 02 1234568"},
      {"Anna Bianchi (cellulare)", "+39 347 1111111"},
      {"Idraulica Verdi", "06 5555555"}},
     {"Sofia Neri: nessun numero"}},
    {"rubrica-excel.csv",
     phone::ImportCsv,
     {{"Nicolò Ferrà (cellulare)", "347 1234567"},
      {"Nicolò Ferrà (casa)", "06 7654321"},
      {"Giosuè Carducci", "0541 123456"}},
     {}},
};

TEST(ImportFiles, AsProgramsWriteThem)
{
    for (const FileCase& c : kFiles) {
        SCOPED_TRACE(c.file);
        QFile file(QStringLiteral(IMPORT_DATA "/") + QLatin1String(c.file));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        check(c.import(file.readAll()), {c.file, QByteArray(), c.contacts, c.skipped});
    }
}

} // namespace
