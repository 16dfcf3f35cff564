// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/phonebook/import.h"

#include "at/numbers.h"
#include "at/windows1252.h"

#include <QSet>
#include <QStringConverter>

#include <algorithm>
#include <map>
#include <optional>

namespace phone {

namespace {

// ---- What both formats share ----

// The kinds of number, in the words that follow a name.
const QString kHome = QStringLiteral("casa");
const QString kMobile = QStringLiteral("cellulare");
const QString kWork = QStringLiteral("lavoro");
const QString kFax = QStringLiteral("fax");
const QString kOther = QStringLiteral("altro");

struct KindedNumber {
    QString kind;
    QString number;
};

// The kind that the words of a vCard TYPE, a CSV header or a Google
// "Phone 1 - Type" value name, in English or in Italian. A fax is a fax
// whatever else it is; a work mobile is a mobile.
bool hasAnyOf(const QStringList& words, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(),
                       [&words](const char* name) { return words.contains(QString::fromUtf8(name)); });
}

QString kindOfWords(const QStringList& words)
{
    const auto any = [&words](std::initializer_list<const char*> names) { return hasAnyOf(words, names); };
    if (any({"fax"}))
        return kFax;
    if (any({"cell", "cellular", "cellulare", "cellphone", "mobile", "mobil", "iphone", "x-mobile"}))
        return kMobile;
    if (any({"work", "business", "company", "lavoro", "ufficio", "azienda", "società"}))
        return kWork;
    if (any({"home", "casa", "abitazione", "privato", "personal"}))
        return kHome;
    return kOther;
}

// The words of a header or a label in lower case: "Mobile Phone 2" is
// "mobile", "phone", "2"; "_$!<Mobile>!$_" is "mobile".
QStringList wordsOf(const QString& text)
{
    QStringList words;
    QString word;
    for (const QChar c : text.toLower() + QLatin1Char(' ')) {
        if (c.isLetterOrNumber() || c == QLatin1Char('-')) {
            word += c;
        } else if (!word.isEmpty()) {
            words << word;
            word.clear();
        }
    }
    return words;
}

// The bytes as UTF-8 when they are that, else as Windows-1252 (files of
// older phones and of Windows programs).
QString utf8OrWindows1252(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? FromWindows1252(bytes) : text;
}

// The file without its byte-order mark; a UTF-16 file (as Windows writes
// "Unicode" text) as UTF-8.
QByteArray withoutByteOrderMark(const QByteArray& data)
{
    if (data.startsWith("\xEF\xBB\xBF"))
        return data.mid(3);
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringConverter::Utf16);
        return QString(utf16(data)).toUtf8();
    }
    return data;
}

// The entries of one contact: its own name for one number; for several,
// the kind after the name, counted when a kind comes twice ("Mario Rossi
// (cellulare 2)"). The same number twice is one entry. A contact without a
// name takes each number as its name.
void addContact(ImportResult& result, const QString& name, const std::vector<KindedNumber>& numbers,
                const QString& where)
{
    std::vector<KindedNumber> distinct;
    QSet<QString> seen;
    for (const KindedNumber& n : numbers) {
        const QString number = n.number.trimmed();
        const QString key = at::DialledNumber(number);
        if (key.isEmpty() || seen.contains(key))
            continue;
        seen.insert(key);
        distinct.push_back({n.kind, number});
    }
    if (distinct.empty()) {
        result.skipped << (name.isEmpty() ? QStringLiteral("%1: nessun nome né numero").arg(where)
                                          : QStringLiteral("%1: nessun numero").arg(name));
        return;
    }
    if (name.isEmpty()) {
        for (const KindedNumber& n : distinct)
            result.contacts.push_back({n.number, n.number});
        return;
    }
    if (distinct.size() == 1) {
        result.contacts.push_back({name, distinct.front().number});
        return;
    }
    std::map<QString, int> times;
    for (const KindedNumber& n : distinct) {
        const int time = ++times[n.kind];
        const QString kind = time == 1 ? n.kind : QStringLiteral("%1 %2").arg(n.kind).arg(time);
        result.contacts.push_back({QStringLiteral("%1 (%2)").arg(name, kind), n.number});
    }
}

// ---- vCard ----

bool isLine(const QByteArray& line, const char* word) { return line.trimmed().toUpper() == QByteArray(word); }

// The part before the value: "item1.TEL;TYPE=CELL".
QByteArray headOf(const QByteArray& line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == '"')
            quoted = !quoted;
        else if (line.at(i) == ':' && !quoted)
            return line.left(i);
    }
    return line;
}

bool isQuotedPrintable(const QByteArray& line) { return headOf(line).toUpper().contains("QUOTED-PRINTABLE"); }

// The lines of a vCard file as properties, one a line: folded lines (a
// line that starts with a blank, RFC 6350 3.2) joined, and so are the lines
// of a quoted-printable value that end with "=", the soft line break of
// vCard 2.1.
std::vector<QByteArray> logicalLines(const QByteArray& data)
{
    std::vector<QByteArray> lines;
    bool softBreak = false;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = start;
        while (end < data.size() && data.at(end) != '\r' && data.at(end) != '\n')
            ++end;
        const QByteArray raw = data.mid(start, end - start);
        start = end + (data.mid(end, 2) == "\r\n" ? 2 : 1);
        const bool cardLine = isLine(raw, "END:VCARD") || isLine(raw, "BEGIN:VCARD");
        if (softBreak && !cardLine) {
            lines.back() += raw;
        } else if (!lines.empty() && (raw.startsWith(' ') || raw.startsWith('\t'))) {
            lines.back() += raw.mid(1);
        } else {
            lines.push_back(raw);
        }
        softBreak = isQuotedPrintable(lines.back()) && lines.back().endsWith('=');
        if (softBreak)
            lines.back().chop(1);
    }
    return lines;
}

struct Property {
    QByteArray name;   // upper case, the group left out
    QByteArray group;  // "item1" of "item1.TEL", upper case
    QStringList types; // lower case: "cell", "home", "pref"...
    QByteArray encoding;
    QByteArray charset;
    QByteArray value;
};

// Splits at `separator` where no double quote is open.
QList<QByteArray> splitUnquoted(const QByteArray& text, char separator)
{
    QList<QByteArray> parts;
    QByteArray part;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == separator && !quoted) {
            parts << part;
            part.clear();
        } else {
            part += c;
        }
    }
    parts << part;
    return parts;
}

Property propertyOf(const QByteArray& line)
{
    Property property;
    const QByteArray head = headOf(line);
    property.value = line.mid(head.size() + 1);
    const QList<QByteArray> parts = splitUnquoted(head, ';');
    const QByteArray groupAndName = parts.front().trimmed().toUpper();
    const qsizetype dot = groupAndName.lastIndexOf('.');
    property.name = groupAndName.mid(dot + 1);
    property.group = dot < 0 ? QByteArray() : groupAndName.left(dot);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype equals = parts.at(i).indexOf('=');
        const QByteArray key = (equals < 0 ? parts.at(i) : parts.at(i).left(equals)).trimmed().toUpper();
        QByteArray value = equals < 0 ? QByteArray() : parts.at(i).mid(equals + 1).trimmed();
        value.replace('"', QByteArray());
        if (equals < 0 && (key == "QUOTED-PRINTABLE" || key == "BASE64" || key == "8BIT" || key == "7BIT")) {
            property.encoding = key; // vCard 2.1 names the encoding bare
        } else if (equals < 0) {
            property.types << QString::fromLatin1(key).toLower(); // and the types: "TEL;HOME;VOICE"
        } else if (key == "ENCODING") {
            property.encoding = value.toUpper();
        } else if (key == "CHARSET") {
            property.charset = value.toUpper();
        } else if (key == "TYPE") {
            for (const QByteArray& type : value.split(','))
                property.types << QString::fromLatin1(type.trimmed()).toLower();
        } else if (key == "PREF") {
            property.types << QStringLiteral("pref");
        }
    }
    return property;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "=C3=B2" as its bytes; an "=" that no two hex digits follow stays.
QByteArray quotedPrintableDecoded(const QByteArray& text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int high = text.at(i) == '=' && i + 2 < text.size() ? hexValue(text.at(i + 1)) : -1;
        const int low = high >= 0 ? hexValue(text.at(i + 2)) : -1;
        if (low >= 0) {
            bytes += char(high * 16 + low);
            i += 2;
        } else {
            bytes += text.at(i);
        }
    }
    return bytes;
}

// The value as text, its escapes still in: decoded by its ENCODING and
// CHARSET; a value without a charset is UTF-8 (vCard 3.0 and 4.0), or
// Windows-1252 where it is not (vCard 2.1 of older phones).
QString valueText(const Property& property)
{
    QByteArray bytes = property.value;
    if (property.encoding == "QUOTED-PRINTABLE")
        bytes = quotedPrintableDecoded(bytes);
    else if (property.encoding == "B" || property.encoding == "BASE64")
        bytes = QByteArray::fromBase64(bytes);
    static const QList<QByteArray> eightBit = {"ISO-8859-1", "ISO8859-1", "LATIN1", "WINDOWS-1252", "CP1252"};
    if (eightBit.contains(property.charset))
        return FromWindows1252(bytes);
    return utf8OrWindows1252(bytes);
}

// Splits at `separator` where no backslash escapes it; the escapes stay.
QStringList splitEscaped(const QString& text, QChar separator)
{
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\\') && i + 1 < text.size()) {
            part += text.at(i);
            part += text.at(++i);
        } else if (text.at(i) == separator) {
            parts << part;
            part.clear();
        } else {
            part += text.at(i);
        }
    }
    parts << part;
    return parts;
}

// "\\", "\,", "\;", "\:" as the character, "\n" and "\N" as a line break
// (RFC 6350 3.4); any other backslash stays.
QString unescaped(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (text.at(i) != QLatin1Char('\\') || next.isNull()) {
            out += text.at(i);
        } else if (next == u'\\' || next == u',' || next == u';' || next == u':') {
            out += next;
            ++i;
        } else if (next == u'n' || next == u'N') {
            out += QLatin1Char('\n');
            ++i;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

// One component of N: its values (vCard 3.0 lists them with commas) one
// after the other.
QString nameComponent(const QStringList& components, int index)
{
    if (index >= components.size())
        return QString();
    QStringList values;
    for (const QString& value : splitEscaped(components.at(index), QLatin1Char(',')))
        values << unescaped(value);
    return values.join(QLatin1Char(' '));
}

// A TEL value: "tel:" taken off a vCard 4.0 URI, and its extension made a
// pause ("tel:+39-06-1234;ext=22" is "+39-06-1234p22").
QString telNumber(const QString& value)
{
    QString number = unescaped(value).trimmed();
    if (!number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        return number;
    const QStringList parts = number.mid(4).split(QLatin1Char(';'));
    number = parts.front();
    for (const QString& part : parts.mid(1)) {
        if (part.startsWith(QLatin1String("ext="), Qt::CaseInsensitive))
            number += QLatin1Char('p') + part.mid(4);
    }
    return number;
}

struct Card {
    QString formattedName;
    QString nameFromN;
    QString organisation;
    std::vector<KindedNumber> numbers;
    std::vector<QByteArray> numberGroups; // one a number
    std::map<QByteArray, QString> labels; // Apple's "item1.X-ABLabel:Ufficio"

    // As people read it: FN, else N given and family names ("Mario Rossi"),
    // else the organisation.
    QString name() const
    {
        for (const QString& name : {formattedName, nameFromN, organisation}) {
            if (!name.simplified().isEmpty())
                return name.simplified();
        }
        return QString();
    }

    // A number that its TYPE leaves "altro" takes the kind of its group's label.
    std::vector<KindedNumber> kindedNumbers() const
    {
        std::vector<KindedNumber> kinded = numbers;
        for (std::size_t i = 0; i < kinded.size(); ++i) {
            const auto label = labels.find(numberGroups[i]);
            if (kinded[i].kind == kOther && label != labels.end())
                kinded[i].kind = kindOfWords(wordsOf(label->second));
        }
        return kinded;
    }
};

void take(Card& card, const Property& property)
{
    if (property.name == "FN") {
        card.formattedName = unescaped(valueText(property));
    } else if (property.name == "N") {
        // family;given;additional;prefixes;suffixes (RFC 6350 6.2.2)
        const QStringList components = splitEscaped(valueText(property), QLatin1Char(';'));
        card.nameFromN =
            QStringList{nameComponent(components, 1), nameComponent(components, 2), nameComponent(components, 0)}.join(
                QLatin1Char(' '));
    } else if (property.name == "ORG") {
        card.organisation = unescaped(splitEscaped(valueText(property), QLatin1Char(';')).front());
    } else if (property.name == "TEL") {
        card.numbers.push_back({kindOfWords(property.types), telNumber(valueText(property))});
        card.numberGroups.push_back(property.group);
    } else if (property.name == "X-ABLABEL" && !property.group.isEmpty()) {
        card.labels[property.group] = unescaped(valueText(property)); // "_$!<Mobile>!$_" or the user's own
    }
}

// ---- CSV ----

// The records of a CSV text: fields between `separator`s, a quoted field
// with "" for a quote and line breaks inside.
std::vector<QStringList> csvRecords(const QString& text, QChar separator)
{
    std::vector<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    const auto endRecord = [&] {
        record << field;
        records.push_back(record);
        record.clear();
        field.clear();
        fieldStarted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && !fieldStarted) {
            field.clear(); // the blanks before the quote
            quoted = true;
            fieldStarted = true;
        } else if (c == separator) {
            record << field;
            field.clear();
            fieldStarted = false;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endRecord();
        } else {
            field += c;
            fieldStarted = fieldStarted || !c.isSpace();
        }
    }
    if (!field.isEmpty() || !record.isEmpty())
        endRecord();
    return records;
}

// The separator the header line (the first that is not blank) uses most,
// of ";", "," and tab.
QChar separatorOf(const QString& text)
{
    int semicolons = 0, commas = 0, tabs = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\r') || c == QLatin1Char('\n')) && semicolons + commas + tabs > 0)
            break;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolons;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char('\t'))
            ++tabs;
    }
    if (tabs > semicolons && tabs > commas)
        return QLatin1Char('\t');
    return semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
}

struct Columns {
    int fullName = -1;
    int given = -1;
    int middle = -1;
    int family = -1;
    int organisation = -1;
    struct Number {
        int column;
        QString kind;
        int kindColumn; // Google's "Phone 1 - Type": the kind is the row's
    };
    std::vector<Number> numbers;
};

int columnNamed(const QStringList& header, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const qsizetype at = header.indexOf(QString::fromUtf8(name));
        if (at >= 0)
            return int(at);
    }
    return -1;
}

Columns columnsOf(const QStringList& headerFields)
{
    QStringList header;
    for (const QString& field : headerFields)
        header << field.simplified().toLower();
    Columns columns;
    columns.fullName = columnNamed(header, {"name", "nome completo", "full name", "display name", "nome e cognome",
                                            "nominativo", "nome visualizzato"});
    columns.given = columnNamed(header, {"nome", "first name", "given name"});
    columns.middle = columnNamed(header, {"secondo nome", "middle name", "additional name"});
    columns.family = columnNamed(header, {"cognome", "last name", "family name", "surname"});
    columns.organisation =
        columnNamed(header, {"organization 1 - name", "organization name", "company", "azienda", "società", "ditta"});
    for (int column = 0; column < header.size(); ++column) {
        const QStringList words = wordsOf(header.at(column));
        const auto any = [&words](std::initializer_list<const char*> names) { return hasAnyOf(words, names); };
        if (!any({"telefono", "tel", "cellulare", "cell", "numero", "phone", "mobile", "fax", "cellphone", "telephone",
                  "cellular"})
            || any({"type", "label", "tipo", "etichetta", "civico"}))
            continue;
        // "Phone 1 - Value" has its kind in "Phone 1 - Type" (older Google
        // exports) or "Phone 1 - Label" (newer ones).
        int kindColumn = -1;
        if (header.at(column).endsWith(QLatin1String(" - value"))) {
            const QString stem = header.at(column).chopped(int(QLatin1String(" - value").size()));
            kindColumn = int(header.indexOf(stem + QLatin1String(" - type")));
            if (kindColumn < 0)
                kindColumn = int(header.indexOf(stem + QLatin1String(" - label")));
        }
        columns.numbers.push_back({column, kindOfWords(words), kindColumn});
    }
    return columns;
}

QString fieldAt(const QStringList& record, int column)
{
    return column >= 0 && column < record.size() ? record.at(column).simplified() : QString();
}

} // namespace

ImportResult ImportVCards(const QByteArray& data)
{
    ImportResult result;
    Card card;
    int depth = 0; // a vCard 2.1 AGENT holds a card of its own
    int cards = 0;
    const auto finish = [&] {
        addContact(result, card.name(), card.kindedNumbers(), QStringLiteral("Contatto %1").arg(cards));
        card = Card();
    };
    for (const QByteArray& line : logicalLines(withoutByteOrderMark(data))) {
        if (isLine(line, "BEGIN:VCARD")) {
            if (depth++ == 0)
                ++cards;
        } else if (isLine(line, "END:VCARD")) {
            if (depth > 0 && --depth == 0)
                finish();
        } else if (depth == 1) {
            take(card, propertyOf(line));
        }
    }
    if (depth > 0)
        finish(); // a file cut short: the card as far as it goes
    return result;
}

ImportResult ImportCsv(const QByteArray& data)
{
    ImportResult result;
    const QByteArray bytes = withoutByteOrderMark(data);
    // Each line decoded on its own: a file pieced together from two programs
    // may hold both encodings.
    QString text;
    for (const QByteArray& line : bytes.split('\n'))
        text += utf8OrWindows1252(line) + QLatin1Char('\n');
    text.chop(1);

    QChar separator;
    if (text.startsWith(QLatin1String("sep="), Qt::CaseInsensitive) && text.size() > 4) {
        separator = text.at(4); // a spreadsheet's own line: "sep=;"
        text = text.mid(text.indexOf(QLatin1Char('\n')) + 1);
    } else {
        separator = separatorOf(text);
    }
    const std::vector<QStringList> records = csvRecords(text, separator);
    const auto blank = [](const QStringList& record) {
        return std::all_of(record.begin(), record.end(),
                           [](const QString& field) { return field.trimmed().isEmpty(); });
    };
    const auto header = std::find_if_not(records.begin(), records.end(), blank);
    if (header == records.end())
        return result;
    const Columns columns = columnsOf(*header);
    if (columns.numbers.empty()) {
        result.skipped << QStringLiteral("Nell'intestazione nessuna colonna di numeri (Telefono, Cellulare, Phone...): "
                                         "nessun contatto letto");
        return result;
    }
    for (auto row = header + 1; row != records.end(); ++row) {
        const QStringList& record = *row;
        if (blank(record))
            continue;
        QString name = fieldAt(record, columns.fullName);
        if (name.isEmpty()) {
            name = QStringList{fieldAt(record, columns.given), fieldAt(record, columns.middle),
                               fieldAt(record, columns.family)}
                       .join(QLatin1Char(' '))
                       .simplified();
        }
        if (name.isEmpty())
            name = fieldAt(record, columns.organisation);
        std::vector<KindedNumber> numbers;
        for (const Columns::Number& column : columns.numbers) {
            const QString kind =
                column.kindColumn >= 0 ? kindOfWords(wordsOf(fieldAt(record, column.kindColumn))) : column.kind;
            // Google puts several numbers of one kind in one field, " ::: "
            // between them; a spreadsheet keeps a number as text with "'".
            for (QString number : fieldAt(record, column.column).split(QLatin1String(":::"))) {
                number = number.trimmed();
                if (number.startsWith(QLatin1Char('\'')))
                    number.remove(0, 1);
                numbers.push_back({kind, number});
            }
        }
        addContact(result, name, numbers, QStringLiteral("Riga %1").arg(row - records.begin() + 1));
    }
    return result;
}

} // namespace phone
