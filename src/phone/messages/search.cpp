// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/messages/search.h"

#include "phone/messages/messages.h"
#include "phone/phonebook/phonebook.h"

#include <QRegularExpression>

#include <map>

namespace store {

QString Folded(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString bare;
    bare.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            bare.append(c);
    }
    return bare.toCaseFolded();
}

QStringList SearchWords(const QString& typed)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList words = Folded(typed).split(blanks, Qt::SkipEmptyParts);
    words.removeDuplicates();
    return words;
}

bool HoldsEvery(const QStringList& words, const std::vector<QString>& foldedFields)
{
    for (const QString& word : words) {
        bool held = false;
        for (const QString& field : foldedFields) {
            if (field.contains(word)) {
                held = true;
                break;
            }
        }
        if (!held)
            return false;
    }
    return true;
}

QString FoundStatus(int found)
{
    if (found == 0)
        return QStringLiteral("Nessun sms trovato..");
    if (found == 1)
        return QStringLiteral("1 sms trovato..");
    return QStringLiteral("%1 sms trovati..").arg(found);
}

} // namespace store

namespace phone {

using namespace store;

namespace {

// A message's text as the search reads it: decoded whole, whatever the
// columns show.
QString textOf(const at::CmgrAnswer& slot) { return RivTesto(int16_t(slot.tipo), slot.pak); }

bool holdsMessage(const MessageRecord& kept) { return kept.answer && kept.answer->kind == at::CmgrAnswer::Message; }

} // namespace

// What one row's message is searched in: its number, the name the phone
// book gives it (as its row shows it), its whole text: of every part the
// list holds, for a message in parts, so that the words of any part find
// each of its rows.
class Messages::Haystack {
public:
    explicit Haystack(const Messages& messages) : m_messages(messages) {}

    std::vector<QString> of(int position)
    {
        const MessageRecord& kept = m_messages.record(position);
        const at::CmgrAnswer& slot = *kept.answer;
        const QString number = RivNumMT(int16_t(slot.tipo), slot.pak);
        std::vector<QString> fields{Folded(number), Folded(nameOf(number)), Folded(wholeText(position))};
        return fields;
    }

private:
    // The name, looked up once a number, without letting events run: a
    // keystroke must not start another search inside this one.
    QString nameOf(const QString& number)
    {
        if (number.isEmpty())
            return QString();
        const auto known = m_names.find(number);
        if (known != m_names.end())
            return known->second;
        const QString name = m_messages.m_phonebook.nameOfNow(number).value_or(QString());
        m_names.emplace(number, name);
        return name;
    }

    QString wholeText(int position)
    {
        const MessageRecord& kept = m_messages.record(position);
        if (!kept.part || kept.part->concat.total <= 1)
            return textOf(*kept.answer);
        std::map<int, QString> texts{{kept.part->concat.index, textOf(*kept.answer)}};
        for (int row = 0; row < m_messages.count(); ++row) {
            const MessageRecord& other = m_messages.record(row);
            if (row != position && holdsMessage(other) && other.part && SameMessage(*other.part, *kept.part)
                && !texts.count(other.part->concat.index))
                texts.emplace(other.part->concat.index, textOf(*other.answer));
        }
        QString whole;
        for (const auto& [index, text] : texts)
            whole += text;
        return whole;
    }

    const Messages& m_messages;
    std::map<QString, QString> m_names;
};

std::vector<bool> Messages::found(const QString& typed) const
{
    const QStringList words = SearchWords(typed);
    std::vector<bool> rows(size_t(count()), true);
    if (words.isEmpty())
        return rows;
    Haystack haystack(*this);
    for (int position = 0; position < count(); ++position)
        rows[size_t(position)] = holdsMessage(record(position)) && HoldsEvery(words, haystack.of(position));
    return rows;
}

bool Messages::holds(int position, const QString& typed) const
{
    const QStringList words = SearchWords(typed);
    if (words.isEmpty())
        return true;
    if (!holdsMessage(record(position)))
        return false;
    Haystack haystack(*this);
    return HoldsEvery(words, haystack.of(position));
}

} // namespace phone
