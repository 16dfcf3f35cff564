// SPDX-License-Identifier: GPL-3.0-or-later
// The state file: "key = value" lines (sim/README.md).
#include "pdu.h"
#include "phonesim.h"
#include "text.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <utility>

#ifndef PHONESIM_SAMPLE_DIR
#define PHONESIM_SAMPLE_DIR "sim/samples"
#endif

namespace phonesim {

std::string sampleDir() { return PHONESIM_SAMPLE_DIR; }

const std::map<std::string, std::vector<std::string>>& profiles()
{
    static const std::map<std::string, std::vector<std::string>> kProfiles = {
        {"noecho", {"fault.noecho = on"}},
        {"silent", {"fault.silent = on"}},
        {"no-phone-store", {"phone_store = no"}},
        {"slow", {"fault.slow = on 50"}},
        {"empty-zero", {"empty_slot = zero"}},
        {"empty-ok", {"empty_slot = ok"}},
        {"empty-cms321", {"empty_slot = cms321"}},
        {"entry-cme22", {"empty_entry = cme22"}},
        {"urc", {"fault.urc = on"}},
        {"echo-crcr", {"echo_end = crcr"}},
        {"lf-only", {"line_end = lf"}},
        {"blanks", {"blanks_after_commas = yes"}},
        {"trailing-blank", {"trailing_blank = yes"}},
        {"lowercase-hex", {"hex_case = lower"}},
        {"pdu-quote", {"pdu_quote = yes"}},
        {"no-status", {"cmgr_status = no"}},
        {"ucs2-phonebook", {"ucs2 = names"}},
        {"ucs2-numbers", {"ucs2 = numbers"}},
        {"no-ucs2", {"ucs2 = no"}},
        {"no-cnmi", {"cnmi_ranges = none"}},
        {"whole-length", {"pdu_length = whole"}},
        {"cpbr-gap", {"cpbr_gap = yes"}},
        {"double-plus", {"number_plus = doubled"}},
        {"huawei-ussd", {"ussd = hex"}},
        {"ucs2-ussd", {"ussd = ucs2"}},
    };
    return kProfiles;
}

bool applyProfile(const std::string& name, PhoneState& state, std::string& error)
{
    const auto it = profiles().find(name);
    if (it == profiles().end()) {
        error = "unknown profile: " + name;
        return false;
    }
    for (const std::string& line : it->second) {
        if (!applyStateLine(line, state, error))
            return false;
    }
    return true;
}

namespace {

// In a state file and on the control channel the lines of one unsolicited
// code are separated by the two characters "\n".
std::string unescapeLines(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string escapeLines(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

const char* positionName(UnsolicitedPosition p)
{
    switch (p) {
    case UnsolicitedPosition::BeforeEcho:
        return "before-echo";
    case UnsolicitedPosition::Before:
        return "before";
    case UnsolicitedPosition::Inside:
        return "inside";
    case UnsolicitedPosition::After:
        return "after";
    }
    return "before";
}

constexpr int kMaxIncludeDepth = 8;

bool parseBool(const std::string& value, bool& out)
{
    const std::string v = upper(value);
    if (v == "ON" || v == "YES" || v == "TRUE" || v == "1") {
        out = true;
        return true;
    }
    if (v == "OFF" || v == "NO" || v == "FALSE" || v == "0") {
        out = false;
        return true;
    }
    return false;
}

bool isStoreName(const std::string& mem) { return mem == "SM" || mem == "ME" || mem == "SR"; }
bool isPhonebookName(const std::string& mem) { return mem == "SM" || mem == "ME" || mem == "FD"; }

// "<number>",<type>,"<name>"; the name runs to the last quote, so it may hold commas.
bool parseEntry(const std::string& value, PhonebookEntry& entry, std::string& error)
{
    const std::vector<std::string> fields = splitParams(value);
    if (fields.size() < 2 || fields.size() > 3 || value.empty() || value[0] != '"') {
        error = "a phone-book entry is \"<number>\",<type>,\"<name>\"";
        return false;
    }
    entry.number = unquote(fields[0]);
    if (!parseInt(fields[1], entry.type) || entry.type < 0 || entry.type > 255) {
        error = "bad number type: " + fields[1];
        return false;
    }
    entry.name = fields.size() == 3 ? unquote(fields[2]) : std::string();
    return true;
}

std::string onOff(bool b) { return b ? "on" : "off"; }

// "a, b or c"
std::string either(const std::vector<const char*>& words)
{
    std::string out;
    for (size_t i = 0; i < words.size(); ++i) {
        out += std::string(i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    }
    return out;
}

// The keys of the state file.  Each key is one entry of a table: its name,
// how a value is read into the state, and how dumpState writes it back (the
// values of its lines, in order; a key without a dump is not written).  The
// tables follow the parts of the state, in the order dumpState writes them;
// sim/README.md ("State files") says what each key does.  A refused value
// leaves the state as it was.
using Values = std::vector<std::string>;

template <typename Part, typename Value = std::string> struct Key {
    const char* name;
    std::function<bool(const Value& value, Part& part, std::string& error)> parse;
    std::function<Values(const Part& part)> dump;
};

template <typename Part, typename Value>
const Key<Part, Value>* findKey(const std::vector<Key<Part, Value>>& keys, const std::string& name)
{
    for (const Key<Part, Value>& key : keys) {
        if (name == key.name)
            return &key;
    }
    return nullptr;
}

template <typename Part, typename Value>
void dumpKeys(std::ostream& o, const std::string& prefix, const std::vector<Key<Part, Value>>& keys, const Part& part)
{
    for (const Key<Part, Value>& key : keys) {
        if (!key.dump)
            continue;
        for (const std::string& value : key.dump(part))
            o << prefix << key.name << " = " << value << "\n";
    }
}

// The value as it stands.
template <typename Part> Key<Part> text(const char* name, std::string Part::*field)
{
    return {name,
            [field](const std::string& value, Part& part, std::string&) {
                part.*field = value;
                return true;
            },
            [field](const Part& part) { return Values{part.*field}; }};
}

// A switch, written as `yes` or `no` (on/off, yes/no, true/false, 1/0 are all read).
template <typename Part> Key<Part> flag(const char* name, bool Part::*field, const char* yes, const char* no)
{
    return {name,
            [=](const std::string& value, Part& part, std::string& error) {
                if (parseBool(value, part.*field))
                    return true;
                error = std::string(name) + " is " + yes + " or " + no;
                return false;
            },
            [=](const Part& part) { return Values{part.*field ? yes : no}; }};
}

// One of a few words; the field takes the word's position in the list, so
// the words follow the enum's values in order (or false, true).
template <typename Part, typename Field>
Key<Part> oneOf(const char* name, Field Part::*field, std::vector<const char*> words)
{
    return {name,
            [=](const std::string& value, Part& part, std::string& error) {
                for (size_t i = 0; i < words.size(); ++i) {
                    if (value == words[i]) {
                        part.*field = static_cast<Field>(i);
                        return true;
                    }
                }
                error = std::string(name) + " is " + either(words);
                return false;
            },
            [=](const Part& part) { return Values{words.at(static_cast<size_t>(part.*field))}; }};
}

// A whole number from `least` to `most`; `shown` names the key in the
// error as the state file writes it (report.delay_ms), `name` when empty.
template <typename Part>
Key<Part> number(const char* name, int Part::*field, int least, int most, const char* shown = nullptr)
{
    const std::string label = shown ? shown : name;
    return {name,
            [=](const std::string& value, Part& part, std::string& error) {
                int n = 0;
                if (!parseInt(value, n) || n < least || n > most) {
                    error = label + " is " + std::to_string(least) + " to " + std::to_string(most);
                    return false;
                }
                part.*field = n;
                return true;
            },
            [=](const Part& part) { return Values{std::to_string(part.*field)}; }};
}

const std::vector<Key<PhoneState>>& phoneKeys()
{
    static const std::vector<Key<PhoneState>> kKeys = {
        text("manufacturer", &PhoneState::manufacturer),
        text("model", &PhoneState::model),
        text("revision", &PhoneState::revision),
        text("serial", &PhoneState::serial),
        text("imsi", &PhoneState::imsi),
        text("operator", &PhoneState::operatorName),
        {"smsc",
         [](const std::string& value, PhoneState& s, std::string& error) {
             const std::vector<std::string> f = splitParams(value);
             const std::string smsc = f.empty() ? std::string() : unquote(f[0]);
             int type = !smsc.empty() && smsc[0] == '+' ? 145 : 129;
             if (f.size() > 1 && !parseInt(f[1], type)) {
                 error = "bad smsc type: " + f[1];
                 return false;
             }
             s.smsc = smsc;
             s.smscType = type;
             return true;
         },
         [](const PhoneState& s) { return Values{"\"" + s.smsc + "\"," + std::to_string(s.smscType)}; }},
        flag("echo", &PhoneState::echo, "on", "off"),
        {"charset",
         [](const std::string& value, PhoneState& s, std::string& error) {
             if (!charsetKnown(upper(value))) {
                 error = "unknown charset: " + value;
                 return false;
             }
             s.charset = upper(value);
             return true;
         },
         [](const PhoneState& s) { return Values{s.charset}; }},
        oneOf("empty_slot", &PhoneState::emptySlot, {"zero", "ok", "cms321"}),
        oneOf("empty_entry", &PhoneState::emptyEntry, {"ok", "cme22"}),
        flag("phone_store", &PhoneState::phoneStore, "yes", "no"),
        oneOf("number_plus", &PhoneState::numberPlus, {"once", "doubled"}),
        number("next_reference", &PhoneState::nextReference, 0, 255),
        {"cpms",
         [](const std::string& value, PhoneState& s, std::string& error) {
             const std::vector<std::string> mems = split(upper(value), ',');
             for (size_t i = 0; i < mems.size(); ++i) {
                 // Status reports are only read and deleted: SR is a <mem1>.
                 if (!isStoreName(trim(mems[i])) || (i > 0 && trim(mems[i]) == "SR")) {
                     error = "cpms lists SM or ME (or SR first)";
                     return false;
                 }
             }
             if (mems.empty() || mems.size() > 3) {
                 error = "cpms is <mem1>[,<mem2>[,<mem3>]]";
                 return false;
             }
             s.mem1 = trim(mems[0]);
             s.mem2 = mems.size() > 1 ? trim(mems[1]) : s.mem1;
             s.mem3 = mems.size() > 2 ? trim(mems[2]) : s.mem2;
             return true;
         },
         [](const PhoneState& s) { return Values{s.mem1 + "," + s.mem2 + "," + s.mem3}; }},
        {"cpbs",
         [](const std::string& value, PhoneState& s, std::string& error) {
             if (!isPhonebookName(upper(value))) {
                 error = "cpbs is SM, ME or FD";
                 return false;
             }
             s.phonebook = upper(value);
             return true;
         },
         [](const PhoneState& s) { return Values{s.phonebook}; }},
        oneOf("sim.state", &PhoneState::simState, {"ready", "pin", "puk", "absent"}),
        {"sim.pin",
         [](const std::string& value, PhoneState& s, std::string& error) {
             const bool digits = std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
             if (!digits || value.size() < 4 || value.size() > 8) {
                 error = "sim.pin is 4 to 8 digits";
                 return false;
             }
             s.simPin = value;
             return true;
         },
         [](const PhoneState& s) { return Values{s.simPin}; }},
        number("sim.tries", &PhoneState::simTries, 0, 3),
        oneOf("sim.pin2", &PhoneState::pin2Entered, {"wanted", "entered"}),
        // Not written back: the lines it stands for are.
        {"profile",
         [](const std::string& value, PhoneState& s, std::string& error) {
             for (const std::string& name : splitWords(value)) {
                 if (!applyProfile(name, s, error))
                     return false;
             }
             return true;
         },
         nullptr},
    };
    return kKeys;
}

const std::vector<Key<Dialect>>& dialectKeys()
{
    static const std::vector<Key<Dialect>> kKeys = {
        oneOf("echo_end", &Dialect::echoCrCr, {"cr", "crcr"}),
        oneOf("line_end", &Dialect::lfOnly, {"crlf", "lf"}),
        flag("blanks_after_commas", &Dialect::blanks, "yes", "no"),
        flag("trailing_blank", &Dialect::trailingBlank, "yes", "no"),
        oneOf("hex_case", &Dialect::lowerHex, {"upper", "lower"}),
        flag("pdu_quote", &Dialect::pduQuote, "yes", "no"),
        flag("cmgr_status", &Dialect::cmgrStatus, "yes", "no"),
        oneOf("pdu_length", &Dialect::wholeLength, {"tpdu", "whole"}),
        flag("cpbr_gap", &Dialect::cpbrGap, "yes", "no"),
        oneOf("ucs2", &Dialect::ucs2, {"no", "names", "numbers"}),
        oneOf("ussd", &Dialect::ussd, {"text", "hex", "ucs2", "none"}),
        number("ussd_delay_ms", &Dialect::ussdDelayMs, 0, 3600000),
        {"cnmi_ranges",
         [](const std::string& value, Dialect& d, std::string& error) {
             std::vector<std::vector<int>> groups;
             if (value != "none" && (!parseValueGroups(value, groups) || groups.size() > 5)) {
                 error = "cnmi_ranges is none or up to 5 groups as AT+CNMI=? gives them: (0-2),(0,1),...";
                 return false;
             }
             d.cnmiRanges = value;
             return true;
         },
         [](const Dialect& d) { return Values{d.cnmiRanges}; }},
    };
    return kKeys;
}

// report.<key>: the status reports of messages sent.
const std::vector<Key<Reports>>& reportKeys()
{
    static const std::vector<Key<Reports>> kKeys = {
        number("delay_ms", &Reports::delayMs, 0, 3600000, "report.delay_ms"),
        {"status",
         [](const std::string& value, Reports& r, std::string& error) {
             std::vector<int> status;
             for (const std::string& word : splitWords(value)) {
                 int st = 0;
                 if (!parseInt(word, st) || st < 0 || st > 255) {
                     error = "report.status is one TP-ST (0-255) a part";
                     return false;
                 }
                 status.push_back(st);
             }
             if (status.empty()) {
                 error = "report.status is one TP-ST (0-255) a part";
                 return false;
             }
             r.status = status;
             return true;
         },
         [](const Reports& r) {
             std::string words;
             for (int st : r.status)
                 words += (words.empty() ? "" : " ") + std::to_string(st);
             return Values{words};
         }},
        {"time",
         [](const std::string& value, Reports& r, std::string& error) {
             WallTime t;
             if (!value.empty() && !parseWallTime(value, t)) {
                 error = "report.time is YYMMDDhhmmss, the zone in quarters of an hour after it (+8), or empty";
                 return false;
             }
             r.time = value;
             return true;
         },
         [](const Reports& r) { return Values{r.time}; }},
        {"store",
         [](const std::string& value, Reports& r, std::string& error) {
             if (!isStoreName(upper(value))) {
                 error = "report.store is SM, ME or SR";
                 return false;
             }
             r.store = upper(value);
             return true;
         },
         [](const Reports& r) { return Values{r.store}; }},
    };
    return kKeys;
}

// sms.<SM|ME>.<key>; the slots, sms.<mem>.<i>, are parseSlot's.
const std::vector<Key<MessageStore>>& storeKeys()
{
    static const std::vector<Key<MessageStore>> kKeys = {
        {"capacity",
         [](const std::string& value, MessageStore& store, std::string& error) {
             int number = 0;
             if (!parseInt(value, number) || number < 0 || number > 1000) {
                 error = "bad capacity: " + value;
                 return false;
             }
             if (!store.messages.empty() && store.messages.rbegin()->first > number) {
                 error = "slot " + std::to_string(store.messages.rbegin()->first) + " lies beyond capacity";
                 return false;
             }
             store.capacity = number;
             return true;
         },
         [](const MessageStore& store) { return Values{std::to_string(store.capacity)}; }},
    };
    return kKeys;
}

// pb.<SM|ME|FD>.<key>; the entries, pb.<mem>.<i>, are parseEntryLine's.
const std::vector<Key<Phonebook>>& bookKeys()
{
    // A field width as +CPBR=? gives it.
    auto width = [](const char* name, int Phonebook::*field, int least) -> Key<Phonebook> {
        return {name,
                [=](const std::string& value, Phonebook& book, std::string& error) {
                    int number = 0;
                    if (!parseInt(value, number) || number < least) {
                        error = std::string("bad ") + name + ": " + value;
                        return false;
                    }
                    book.*field = number;
                    return true;
                },
                [=](const Phonebook& book) { return Values{std::to_string(book.*field)}; }};
    };
    static const std::vector<Key<Phonebook>> kKeys = {
        {"range",
         [](const std::string& value, Phonebook& book, std::string& error) {
             const std::vector<std::string> r = split(value, '-');
             int first = 0, last = 0;
             if (r.size() != 2 || !parseInt(r[0], first) || !parseInt(r[1], last) || first < 0 || last < first) {
                 error = "a range is <first>-<last>";
                 return false;
             }
             book.first = first;
             book.last = last;
             return true;
         },
         [](const Phonebook& book) { return Values{std::to_string(book.first) + "-" + std::to_string(book.last)}; }},
        width("number_length", &Phonebook::numberLength, 1),
        width("name_length", &Phonebook::nameLength, 0),
        // Not written back: the entries left, if any, are.
        {"empty",
         [](const std::string& value, Phonebook& book, std::string& error) {
             bool empty = false;
             if (!parseBool(value, empty) || !empty) {
                 error = "empty = yes empties the book";
                 return false;
             }
             book.entries.clear();
             return true;
         },
         nullptr},
    };
    return kKeys;
}

// A fault's value: "on [args]" or "off".
struct FaultArgs {
    bool on = false;
    std::vector<std::string> words; // the arguments
    std::string rest;               // the arguments as typed
};

bool intArg(const FaultArgs& a, size_t i, int& target, std::string& error)
{
    if (i < a.words.size() && !parseInt(a.words[i], target)) {
        error = "bad number: " + a.words[i];
        return false;
    }
    return true;
}

// A fault without arguments.
Key<Faults, FaultArgs> onOffFault(const char* name, bool Faults::*field)
{
    return {name,
            [field](const FaultArgs& a, Faults& f, std::string&) {
                f.*field = a.on;
                return true;
            },
            [field](const Faults& f) { return Values{onOff(f.*field)}; }};
}

// fault.<name> (README "Faults").
const std::vector<Key<Faults, FaultArgs>>& faultKeys()
{
    static const std::vector<Key<Faults, FaultArgs>> kKeys = {
        onOffFault("noecho", &Faults::noEcho),
        onOffFault("silent", &Faults::silent),
        {"slow",
         [](const FaultArgs& a, Faults& f, std::string& error) {
             f.slow = a.on;
             return intArg(a, 0, f.slowDelayMs, error);
         },
         [](const Faults& f) { return Values{onOff(f.slow) + " " + std::to_string(f.slowDelayMs)}; }},
        {"error",
         [](const FaultArgs& a, Faults& f, std::string&) {
             if (a.on) {
                 for (const std::string& w : a.words)
                     f.errorCommands.push_back(upper(w));
             } else if (a.words.empty()) {
                 f.errorCommands.clear();
             } else {
                 for (const std::string& w : a.words) {
                     for (auto it = f.errorCommands.begin(); it != f.errorCommands.end();) {
                         it = *it == upper(w) ? f.errorCommands.erase(it) : it + 1;
                     }
                 }
             }
             return true;
         },
         // "off" first: loading the dump replaces the list rather than adding to it.
         [](const Faults& f) {
             Values values{"off"};
             if (!f.errorCommands.empty()) {
                 std::string on = "on";
                 for (const std::string& c : f.errorCommands)
                     on += " " + c;
                 values.push_back(on);
             }
             return values;
         }},
        {"cme",
         [](const FaultArgs& a, Faults& f, std::string& error) {
             f.cmeCommands.clear();
             if (!a.on)
                 return true;
             if (a.words.size() < 2 || !intArg(a, 0, f.cmeCode, error)) {
                 error = "fault cme on <code> <command>...";
                 return false;
             }
             for (size_t i = 1; i < a.words.size(); ++i)
                 f.cmeCommands.push_back(upper(a.words[i]));
             return true;
         },
         [](const Faults& f) {
             if (f.cmeCommands.empty())
                 return Values{"off"};
             std::string on = "on " + std::to_string(f.cmeCode);
             for (const std::string& c : f.cmeCommands)
                 on += " " + c;
             return Values{on};
         }},
        {"unsolicited",
         [](const FaultArgs& a, Faults& f, std::string& error) {
             if (!a.on) {
                 f.unsolicited.clear();
                 return true;
             }
             Faults::Unsolicited u;
             bool known = false;
             for (UnsolicitedPosition p : {UnsolicitedPosition::BeforeEcho, UnsolicitedPosition::Before,
                                           UnsolicitedPosition::Inside, UnsolicitedPosition::After}) {
                 if (!a.words.empty() && a.words[0] == positionName(p)) {
                     u.position = p;
                     known = true;
                 }
             }
             if (a.words.size() < 2 || !known) {
                 error = "fault unsolicited on before-echo|before|inside|after <line>";
                 return false;
             }
             u.line = unescapeLines(trim(a.rest.substr(a.rest.find(a.words[0]) + a.words[0].size())));
             f.unsolicited.push_back(u);
             return true;
         },
         [](const Faults& f) {
             Values values{"off"};
             for (const Faults::Unsolicited& u : f.unsolicited) {
                 values.push_back(std::string("on ") + positionName(u.position) + " " + escapeLines(u.line));
             }
             return values;
         }},
        {"urc",
         [](const FaultArgs& a, Faults& f, std::string& error) {
             f.urc = a.on;
             if (!intArg(a, 0, f.urcEvery, error))
                 return false;
             if (a.words.size() > 1) {
                 int count = 0;
                 if (!intArg(a, 1, count, error))
                     return false;
                 f.urcCount = count;
             }
             if (f.urcEvery < 1 || f.urcCount < 0) {
                 error = "fault urc on [every >= 1 [count >= 0]]";
                 return false;
             }
             return true;
         },
         [](const Faults& f) {
             return Values{onOff(f.urc) + " " + std::to_string(f.urcEvery) + " " + std::to_string(f.urcCount)};
         }},
        {"pieces",
         [](const FaultArgs& a, Faults& f, std::string& error) {
             f.pieces = a.on;
             if (!intArg(a, 0, f.pieceSize, error) || !intArg(a, 1, f.pieceGapMs, error))
                 return false;
             if (f.pieceSize < 1)
                 f.pieceSize = 1;
             return true;
         },
         [](const Faults& f) {
             return Values{onOff(f.pieces) + " " + std::to_string(f.pieceSize) + " " + std::to_string(f.pieceGapMs)};
         }},
        {"late",
         [](const FaultArgs& a, Faults& f, std::string& error) {
             f.late = a.on;
             if (a.on && a.words.empty()) {
                 error = "fault late on <ms> [command]";
                 return false;
             }
             if (!intArg(a, 0, f.lateMs, error))
                 return false;
             f.latePattern = a.words.size() > 1 ? upper(a.words[1]) : std::string();
             return true;
         },
         [](const Faults& f) {
             return Values{onOff(f.late) + " " + std::to_string(f.lateMs)
                           + (f.latePattern.empty() ? "" : " " + f.latePattern)};
         }},
        {"drop",
         [](const FaultArgs& a, Faults& f, std::string&) {
             f.drop = a.on;
             f.dropPattern = a.on && !a.words.empty() ? upper(a.words[0]) : std::string();
             return true;
         },
         [](const Faults& f) { return Values{onOff(f.drop) + (f.dropPattern.empty() ? "" : " " + f.dropPattern)}; }},
        {"flood",
         [](const FaultArgs& a, Faults& f, std::string& error) {
             f.flood = a.on;
             f.floodRate = 200000;
             f.floodLine = "RING";
             if (!intArg(a, 0, f.floodRate, error))
                 return false;
             if (f.floodRate < 1) {
                 error = "fault flood on [bytes a second [line]]";
                 return false;
             }
             // The line as typed, blanks inside it kept: what follows the rate.
             if (a.words.size() > 1)
                 f.floodLine = unescapeLines(trim(a.rest.substr(a.rest.find(a.words[0]) + a.words[0].size())));
             return true;
         },
         [](const Faults& f) {
             return Values{onOff(f.flood) + " " + std::to_string(f.floodRate) + " " + escapeLines(f.floodLine)};
         }},
        {"garble",
         [](const FaultArgs& a, Faults& f, std::string&) {
             f.garble = a.on;
             f.garblePattern = a.on && !a.words.empty() ? upper(a.words[0]) : std::string();
             return true;
         },
         [](const Faults& f) {
             return Values{onOff(f.garble) + (f.garblePattern.empty() ? "" : " " + f.garblePattern)};
         }},
        {"restart",
         [](const FaultArgs& a, Faults& f, std::string&) {
             f.restart = a.on;
             f.restartPattern = a.on && !a.words.empty() ? upper(a.words[0]) : std::string();
             return true;
         },
         [](const Faults& f) {
             return Values{onOff(f.restart) + (f.restartPattern.empty() ? "" : " " + f.restartPattern)};
         }},
        {"reject",
         [](const FaultArgs& a, Faults& f, std::string& error) {
             f.reject = a.on;
             f.rejectCode = 500;
             f.rejectAfter = 0;
             return intArg(a, 0, f.rejectCode, error) && intArg(a, 1, f.rejectAfter, error);
         },
         [](const Faults& f) {
             return Values{onOff(f.reject) + " " + std::to_string(f.rejectCode) + " " + std::to_string(f.rejectAfter)};
         }},
        {"refuse",
         [](const FaultArgs& a, Faults& f, std::string& error) {
             f.refuse = a.on;
             f.refuseCode = 500;
             f.refuseNumbers.clear();
             if (!a.on)
                 return true;
             if (a.words.size() < 2 || !intArg(a, 0, f.refuseCode, error)) {
                 error = "fault refuse on <code> <number>...";
                 return false;
             }
             for (size_t i = 1; i < a.words.size(); ++i) {
                 std::string digits;
                 for (const char c : a.words[i]) {
                     if (std::isdigit(static_cast<unsigned char>(c)))
                         digits += c;
                 }
                 f.refuseNumbers.push_back(digits);
             }
             return true;
         },
         [](const Faults& f) {
             std::string value = onOff(f.refuse);
             if (f.refuse) {
                 value += " " + std::to_string(f.refuseCode);
                 for (const std::string& number : f.refuseNumbers)
                     value += " " + number;
             }
             return Values{value};
         }},
        {"listing",
         [](const FaultArgs& a, Faults& f, std::string& error) {
             if (!a.on) {
                 f.listing.clear();
                 return true;
             }
             static const std::vector<std::pair<std::string, Faults::Listing::What>> whats = {
                 {"omit", Faults::Listing::Omit}, {"cut", Faults::Listing::Cut}, {"ok", Faults::Listing::Ok}};
             Faults::Listing l;
             bool known = false;
             for (const auto& [word, what] : whats) {
                 if (!a.words.empty() && a.words[0] == word) {
                     l.what = what;
                     known = true;
                 }
             }
             const size_t args = l.what == Faults::Listing::Cut ? 3 : 2;
             if (!known || a.words.size() != args || !intArg(a, 1, l.slot, error) || !intArg(a, 2, l.digits, error)
                 || l.slot < 1 || l.digits < 0) {
                 error = "fault listing on omit <slot> | cut <slot> <digits> | ok <slot>";
                 return false;
             }
             f.listing.push_back(l);
             return true;
         },
         [](const Faults& f) {
             Values values{"off"};
             for (const Faults::Listing& l : f.listing) {
                 const std::string slot = std::to_string(l.slot);
                 switch (l.what) {
                 case Faults::Listing::Omit:
                     values.push_back("on omit " + slot);
                     break;
                 case Faults::Listing::Cut:
                     values.push_back("on cut " + slot + " " + std::to_string(l.digits));
                     break;
                 case Faults::Listing::Ok:
                     values.push_back("on ok " + slot);
                     break;
                 }
             }
             return values;
         }},
    };
    return kKeys;
}

bool applyFault(const std::string& name, const std::string& value, Faults& faults, std::string& error)
{
    FaultArgs args;
    args.words = splitWords(value);
    if (args.words.empty() || !parseBool(args.words[0], args.on)) {
        error = "a fault is \"on [args]\" or \"off\"";
        return false;
    }
    args.words.erase(args.words.begin());
    const size_t gap = value.find_first_of(" \t");
    args.rest = gap == std::string::npos ? std::string() : trim(value.substr(gap));
    const Key<Faults, FaultArgs>* key = findKey(faultKeys(), name);
    if (!key) {
        error = "unknown fault: " + name;
        return false;
    }
    Faults changed = faults;
    if (!key->parse(args, changed, error))
        return false;
    faults = std::move(changed);
    return true;
}

// sms.<mem>.<i> = <stat> <pdu>; an empty value empties the slot.
bool parseSlot(const std::string& key, int index, const std::string& value, MessageStore& store, std::string& error)
{
    if (index < 1 || index > store.capacity) {
        error = key + ": index outside 1-" + std::to_string(store.capacity) + " (set the capacity first)";
        return false;
    }
    if (value.empty()) {
        store.messages.erase(index);
        return true;
    }
    const std::vector<std::string> w = splitWords(value);
    StoredMessage message;
    if (w.size() != 2 || !parseInt(w[0], message.stat) || message.stat < 0 || message.stat > 255) {
        error = key + ": a message is <stat 0-255> <pdu hex>";
        return false;
    }
    if (!validPdu(w[1], error)) {
        error = key + ": " + error;
        return false;
    }
    message.pdu = upper(w[1]);
    store.messages[index] = message;
    return true;
}

// pb.<mem>.<i> = "<number>",<type>,"<name>"; an empty value empties the entry.
bool parseEntryLine(const std::string& key, int index, const std::string& value, Phonebook& book, std::string& error)
{
    if (index < book.first || index > book.last) {
        error = key + ": index outside the range (set the range first)";
        return false;
    }
    if (value.empty()) {
        book.entries.erase(index);
        return true;
    }
    PhonebookEntry entry;
    if (!parseEntry(value, entry, error)) {
        error = key + ": " + error;
        return false;
    }
    book.entries[index] = entry;
    return true;
}

// A line of a family, sms.<mem>.<what> or pb.<mem>.<what>: a key of its
// table or an index.  The store or book is made only when the line is taken.
template <typename Part>
bool applyMember(std::map<std::string, Part>& parts, const std::string& mem, const std::string& what,
                 const std::vector<Key<Part>>& keys,
                 bool (*parseIndex)(const std::string&, int, const std::string&, Part&, std::string&),
                 const std::string& key, const std::string& value, std::string& error)
{
    const Key<Part>* named = findKey(keys, what);
    int index = 0;
    if (!named && !parseInt(what, index)) {
        error = "unknown key: " + key;
        return false;
    }
    const auto it = parts.find(mem);
    Part fresh;
    Part& part = it == parts.end() ? fresh : it->second;
    if (named ? !named->parse(value, part, error) : !parseIndex(key, index, value, part, error))
        return false;
    if (it == parts.end())
        parts.emplace(mem, std::move(fresh));
    return true;
}

bool loadText(const std::string& text, const std::string& baseDir, PhoneState& out, std::string& error, int depth);

bool loadFile(const std::string& path, PhoneState& out, std::string& error, int depth)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    if (!loadText(buffer.str(), dir, out, error, depth)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool applyLine(const std::string& raw, const std::string& baseDir, PhoneState& state, std::string& error, int depth)
{
    const std::string line = trim(raw);
    if (line.empty() || line[0] == '#')
        return true;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
        error = "expected key = value: " + line;
        return false;
    }
    const std::string key = trim(line.substr(0, eq));
    const std::string value = trim(line.substr(eq + 1));
    const std::vector<std::string> parts = split(key, '.');

    if (key == "include") {
        if (depth >= kMaxIncludeDepth) {
            error = "includes nested too deep";
            return false;
        }
        const std::string path = !value.empty() && value[0] == '/' ? value : baseDir + "/" + value;
        return loadFile(path, state, error, depth + 1);
    }
    if (const Key<PhoneState>* k = findKey(phoneKeys(), key))
        return k->parse(value, state, error);
    if (const Key<Dialect>* k = findKey(dialectKeys(), key))
        return k->parse(value, state.dialect, error);
    if (parts.size() == 2 && parts[0] == "report") {
        if (const Key<Reports>* k = findKey(reportKeys(), parts[1]))
            return k->parse(value, state.reports, error);
    }
    if (parts.size() == 3 && parts[0] == "sms" && isStoreName(parts[1])) {
        return applyMember(state.stores, parts[1], parts[2], storeKeys(), parseSlot, key, value, error);
    }
    if (parts.size() == 3 && parts[0] == "pb" && isPhonebookName(parts[1])) {
        return applyMember(state.phonebooks, parts[1], parts[2], bookKeys(), parseEntryLine, key, value, error);
    }
    if (parts.size() == 2 && parts[0] == "fault")
        return applyFault(parts[1], value, state.faults, error);
    error = "unknown key: " + key;
    return false;
}

bool loadText(const std::string& text, const std::string& baseDir, PhoneState& out, std::string& error, int depth)
{
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!applyLine(line, baseDir, out, error, depth)) {
            if (error.rfind("line ", 0) != 0)
                error = "line " + std::to_string(lineNumber) + ": " + error;
            return false;
        }
    }
    return true;
}

} // namespace

bool loadStateFile(const std::string& path, PhoneState& out, std::string& error)
{
    return loadFile(path, out, error, 0);
}

bool loadStateText(const std::string& text, PhoneState& out, std::string& error)
{
    return loadText(text, sampleDir(), out, error, 0);
}

bool applyStateLine(const std::string& line, PhoneState& state, std::string& error)
{
    return applyLine(line, sampleDir(), state, error, 0);
}

std::string dumpState(const PhoneState& s)
{
    std::ostringstream o;
    dumpKeys(o, "", phoneKeys(), s);
    dumpKeys(o, "", dialectKeys(), s.dialect);
    dumpKeys(o, "report.", reportKeys(), s.reports);
    for (const auto& [mem, store] : s.stores) {
        o << "\n";
        dumpKeys(o, "sms." + mem + ".", storeKeys(), store);
        for (const auto& [index, message] : store.messages) {
            o << "sms." << mem << "." << index << " = " << message.stat << " " << message.pdu << "\n";
        }
    }
    for (const auto& [mem, book] : s.phonebooks) {
        o << "\n";
        dumpKeys(o, "pb." + mem + ".", bookKeys(), book);
        for (const auto& [index, e] : book.entries) {
            o << "pb." << mem << "." << index << " = \"" << e.number << "\"," << e.type << ",\"" << e.name << "\"\n";
        }
    }
    o << "\n";
    dumpKeys(o, "fault.", faultKeys(), s.faults);
    return o.str();
}

} // namespace phonesim
