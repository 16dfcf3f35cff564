// The state file: "key = value" lines (sim/README.md).
#include "phonesim.h"
#include "text.h"

#include <fstream>
#include <map>
#include <sstream>

#ifndef PHONESIM_SAMPLE_DIR
#define PHONESIM_SAMPLE_DIR "sim/samples"
#endif

namespace phonesim {

std::string sampleDir() { return PHONESIM_SAMPLE_DIR; }

const std::map<std::string, std::vector<std::string>>& profiles() {
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
    };
    return kProfiles;
}

bool applyProfile(const std::string& name, PhoneState& state, std::string& error) {
    const auto it = profiles().find(name);
    if (it == profiles().end()) {
        error = "unknown profile: " + name;
        return false;
    }
    for (const std::string& line : it->second) {
        if (!applyStateLine(line, state, error)) return false;
    }
    return true;
}

namespace {

// In a state file and on the control channel the lines of one unsolicited
// code are separated by the two characters "\n".
std::string unescapeLines(const std::string& text) {
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

std::string escapeLines(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

const char* positionName(UnsolicitedPosition p) {
    switch (p) {
    case UnsolicitedPosition::BeforeEcho: return "before-echo";
    case UnsolicitedPosition::Before: return "before";
    case UnsolicitedPosition::Inside: return "inside";
    case UnsolicitedPosition::After: return "after";
    }
    return "before";
}

constexpr int kMaxIncludeDepth = 8;

bool parseBool(const std::string& value, bool& out) {
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

bool isStoreName(const std::string& mem) { return mem == "SM" || mem == "ME"; }
bool isPhonebookName(const std::string& mem) { return mem == "SM" || mem == "ME" || mem == "FD"; }

// "<number>",<type>,"<name>"; the name runs to the last quote, so it may hold commas.
bool parseEntry(const std::string& value, PhonebookEntry& entry, std::string& error) {
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

bool applyFault(const std::string& name, const std::string& value, Faults& faults, std::string& error) {
    std::vector<std::string> words = splitWords(value);
    bool on = false;
    if (words.empty() || !parseBool(words[0], on)) {
        error = "a fault is \"on [args]\" or \"off\"";
        return false;
    }
    words.erase(words.begin());
    const size_t gap = value.find_first_of(" \t");
    const std::string rest = gap == std::string::npos ? std::string() : trim(value.substr(gap));
    auto intArg = [&](size_t i, int& target) {
        if (i < words.size() && !parseInt(words[i], target)) {
            error = "bad number: " + words[i];
            return false;
        }
        return true;
    };
    if (name == "noecho") {
        faults.noEcho = on;
    } else if (name == "silent") {
        faults.silent = on;
    } else if (name == "slow") {
        faults.slow = on;
        if (!intArg(0, faults.slowDelayMs)) return false;
    } else if (name == "error") {
        if (on) {
            for (const std::string& w : words) faults.errorCommands.push_back(upper(w));
        } else if (words.empty()) {
            faults.errorCommands.clear();
        } else {
            for (const std::string& w : words) {
                for (auto it = faults.errorCommands.begin(); it != faults.errorCommands.end();) {
                    it = *it == upper(w) ? faults.errorCommands.erase(it) : it + 1;
                }
            }
        }
    } else if (name == "unsolicited") {
        if (!on) {
            faults.unsolicited.clear();
            return true;
        }
        Faults::Unsolicited u;
        bool known = false;
        for (UnsolicitedPosition p : {UnsolicitedPosition::BeforeEcho, UnsolicitedPosition::Before,
                                      UnsolicitedPosition::Inside, UnsolicitedPosition::After}) {
            if (!words.empty() && words[0] == positionName(p)) {
                u.position = p;
                known = true;
            }
        }
        if (words.size() < 2 || !known) {
            error = "fault unsolicited on before-echo|before|inside|after <line>";
            return false;
        }
        u.line = unescapeLines(trim(rest.substr(rest.find(words[0]) + words[0].size())));
        faults.unsolicited.push_back(u);
    } else if (name == "urc") {
        faults.urc = on;
        if (!intArg(0, faults.urcEvery)) return false;
        if (words.size() > 1) {
            int count = 0;
            if (!intArg(1, count)) return false;
            faults.urcCount = count;
        }
        if (faults.urcEvery < 1 || faults.urcCount < 0) {
            error = "fault urc on [every >= 1 [count >= 0]]";
            return false;
        }
    } else if (name == "pieces") {
        faults.pieces = on;
        if (!intArg(0, faults.pieceSize) || !intArg(1, faults.pieceGapMs)) return false;
        if (faults.pieceSize < 1) faults.pieceSize = 1;
    } else if (name == "late") {
        faults.late = on;
        if (on && words.empty()) {
            error = "fault late on <ms> [command]";
            return false;
        }
        if (!intArg(0, faults.lateMs)) return false;
        faults.latePattern = words.size() > 1 ? upper(words[1]) : std::string();
    } else if (name == "drop") {
        faults.drop = on;
        faults.dropPattern = on && !words.empty() ? upper(words[0]) : std::string();
    } else if (name == "reject") {
        faults.reject = on;
    } else {
        error = "unknown fault: " + name;
        return false;
    }
    return true;
}

bool loadText(const std::string& text, const std::string& baseDir, PhoneState& out, std::string& error,
              int depth);

bool loadFile(const std::string& path, PhoneState& out, std::string& error, int depth) {
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

bool applyLine(const std::string& raw, const std::string& baseDir, PhoneState& state, std::string& error,
               int depth) {
    const std::string line = trim(raw);
    if (line.empty() || line[0] == '#') return true;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
        error = "expected key = value: " + line;
        return false;
    }
    const std::string key = trim(line.substr(0, eq));
    const std::string value = trim(line.substr(eq + 1));
    const std::vector<std::string> parts = split(key, '.');
    int number = 0;
    bool flag = false;

    if (key == "include") {
        if (depth >= kMaxIncludeDepth) {
            error = "includes nested too deep";
            return false;
        }
        const std::string path = !value.empty() && value[0] == '/' ? value : baseDir + "/" + value;
        return loadFile(path, state, error, depth + 1);
    }
    if (key == "manufacturer") {
        state.manufacturer = value;
    } else if (key == "model") {
        state.model = value;
    } else if (key == "revision") {
        state.revision = value;
    } else if (key == "serial") {
        state.serial = value;
    } else if (key == "imsi") {
        state.imsi = value;
    } else if (key == "operator") {
        state.operatorName = value;
    } else if (key == "smsc") {
        const std::vector<std::string> f = splitParams(value);
        state.smsc = f.empty() ? std::string() : unquote(f[0]);
        state.smscType = !state.smsc.empty() && state.smsc[0] == '+' ? 145 : 129;
        if (f.size() > 1 && !parseInt(f[1], state.smscType)) {
            error = "bad smsc type: " + f[1];
            return false;
        }
    } else if (key == "echo") {
        if (!parseBool(value, state.echo)) {
            error = "echo is on or off";
            return false;
        }
    } else if (key == "charset") {
        if (!charsetKnown(upper(value))) {
            error = "unknown charset: " + value;
            return false;
        }
        state.charset = upper(value);
    } else if (key == "empty_slot") {
        if (value == "zero") {
            state.emptySlot = EmptySlotAnswer::Zero;
        } else if (value == "ok") {
            state.emptySlot = EmptySlotAnswer::Ok;
        } else if (value == "cms321") {
            state.emptySlot = EmptySlotAnswer::Cms321;
        } else {
            error = "empty_slot is zero, ok or cms321";
            return false;
        }
    } else if (key == "empty_entry") {
        if (value == "ok") {
            state.emptyEntry = EmptyEntryAnswer::Ok;
        } else if (value == "cme22") {
            state.emptyEntry = EmptyEntryAnswer::Cme22;
        } else {
            error = "empty_entry is ok or cme22";
            return false;
        }
    } else if (key == "profile") {
        for (const std::string& name : splitWords(value)) {
            if (!applyProfile(name, state, error)) return false;
        }
    } else if (key == "echo_end") {
        if (value != "cr" && value != "crcr") {
            error = "echo_end is cr or crcr";
            return false;
        }
        state.dialect.echoCrCr = value == "crcr";
    } else if (key == "line_end") {
        if (value != "crlf" && value != "lf") {
            error = "line_end is crlf or lf";
            return false;
        }
        state.dialect.lfOnly = value == "lf";
    } else if (key == "hex_case") {
        if (value != "upper" && value != "lower") {
            error = "hex_case is upper or lower";
            return false;
        }
        state.dialect.lowerHex = value == "lower";
    } else if (key == "blanks_after_commas" || key == "trailing_blank" || key == "pdu_quote" ||
               key == "cmgr_status") {
        if (!parseBool(value, flag)) {
            error = key + " is yes or no";
            return false;
        }
        bool& target = key == "blanks_after_commas" ? state.dialect.blanks
                       : key == "trailing_blank"    ? state.dialect.trailingBlank
                       : key == "pdu_quote"         ? state.dialect.pduQuote
                                                    : state.dialect.cmgrStatus;
        target = flag;
    } else if (key == "ucs2") {
        if (value == "no") {
            state.dialect.ucs2 = Ucs2Support::None;
        } else if (value == "names") {
            state.dialect.ucs2 = Ucs2Support::Names;
        } else if (value == "numbers") {
            state.dialect.ucs2 = Ucs2Support::Numbers;
        } else {
            error = "ucs2 is no, names or numbers";
            return false;
        }
    } else if (key == "phone_store") {
        if (!parseBool(value, flag)) {
            error = "phone_store is yes or no";
            return false;
        }
        state.phoneStore = flag;
    } else if (key == "next_reference") {
        if (!parseInt(value, state.nextReference) || state.nextReference < 0 || state.nextReference > 255) {
            error = "next_reference is 0 to 255";
            return false;
        }
    } else if (key == "cpms") {
        const std::vector<std::string> mems = split(upper(value), ',');
        for (const std::string& m : mems) {
            if (!isStoreName(trim(m))) {
                error = "cpms lists SM or ME";
                return false;
            }
        }
        if (mems.empty() || mems.size() > 3) {
            error = "cpms is <mem1>[,<mem2>[,<mem3>]]";
            return false;
        }
        state.mem1 = trim(mems[0]);
        state.mem2 = mems.size() > 1 ? trim(mems[1]) : state.mem1;
        state.mem3 = mems.size() > 2 ? trim(mems[2]) : state.mem2;
    } else if (key == "cpbs") {
        if (!isPhonebookName(upper(value))) {
            error = "cpbs is SM, ME or FD";
            return false;
        }
        state.phonebook = upper(value);
    } else if (parts.size() == 3 && parts[0] == "sms" && isStoreName(parts[1])) {
        MessageStore& store = state.stores[parts[1]];
        if (parts[2] == "capacity") {
            if (!parseInt(value, number) || number < 0 || number > 1000) {
                error = "bad capacity: " + value;
                return false;
            }
            if (!store.messages.empty() && store.messages.rbegin()->first > number) {
                error = "slot " + std::to_string(store.messages.rbegin()->first) + " lies beyond capacity";
                return false;
            }
            store.capacity = number;
        } else if (parseInt(parts[2], number)) {
            if (number < 1 || number > store.capacity) {
                error = key + ": index outside 1-" + std::to_string(store.capacity) + " (set the capacity first)";
                return false;
            }
            if (value.empty()) {
                store.messages.erase(number);
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
            store.messages[number] = message;
        } else {
            error = "unknown key: " + key;
            return false;
        }
    } else if (parts.size() == 3 && parts[0] == "pb" && isPhonebookName(parts[1])) {
        Phonebook& book = state.phonebooks[parts[1]];
        if (parts[2] == "range") {
            const std::vector<std::string> r = split(value, '-');
            int first = 0, last = 0;
            if (r.size() != 2 || !parseInt(r[0], first) || !parseInt(r[1], last) || first < 0 || last < first) {
                error = "a range is <first>-<last>";
                return false;
            }
            book.first = first;
            book.last = last;
        } else if (parts[2] == "number_length") {
            if (!parseInt(value, book.numberLength) || book.numberLength < 1) {
                error = "bad number_length: " + value;
                return false;
            }
        } else if (parts[2] == "name_length") {
            if (!parseInt(value, book.nameLength) || book.nameLength < 0) {
                error = "bad name_length: " + value;
                return false;
            }
        } else if (parseInt(parts[2], number)) {
            if (number < book.first || number > book.last) {
                error = key + ": index outside the range (set the range first)";
                return false;
            }
            if (value.empty()) {
                book.entries.erase(number);
                return true;
            }
            PhonebookEntry entry;
            if (!parseEntry(value, entry, error)) {
                error = key + ": " + error;
                return false;
            }
            book.entries[number] = entry;
        } else {
            error = "unknown key: " + key;
            return false;
        }
    } else if (parts.size() == 2 && parts[0] == "fault") {
        return applyFault(parts[1], value, state.faults, error);
    } else {
        error = "unknown key: " + key;
        return false;
    }
    return true;
}

bool loadText(const std::string& text, const std::string& baseDir, PhoneState& out, std::string& error,
              int depth) {
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!applyLine(line, baseDir, out, error, depth)) {
            if (error.rfind("line ", 0) != 0) error = "line " + std::to_string(lineNumber) + ": " + error;
            return false;
        }
    }
    return true;
}

std::string onOff(bool b) { return b ? "on" : "off"; }
std::string yesNo(bool b) { return b ? "yes" : "no"; }

}  // namespace

bool loadStateFile(const std::string& path, PhoneState& out, std::string& error) {
    return loadFile(path, out, error, 0);
}

bool loadStateText(const std::string& text, PhoneState& out, std::string& error) {
    return loadText(text, sampleDir(), out, error, 0);
}

bool applyStateLine(const std::string& line, PhoneState& state, std::string& error) {
    return applyLine(line, sampleDir(), state, error, 0);
}

std::string dumpState(const PhoneState& s) {
    std::ostringstream o;
    o << "manufacturer = " << s.manufacturer << "\n"
      << "model = " << s.model << "\n"
      << "revision = " << s.revision << "\n"
      << "serial = " << s.serial << "\n"
      << "imsi = " << s.imsi << "\n"
      << "operator = " << s.operatorName << "\n"
      << "smsc = \"" << s.smsc << "\"," << s.smscType << "\n"
      << "echo = " << onOff(s.echo) << "\n"
      << "charset = " << s.charset << "\n"
      << "empty_slot = "
      << (s.emptySlot == EmptySlotAnswer::Zero ? "zero" : s.emptySlot == EmptySlotAnswer::Ok ? "ok" : "cms321")
      << "\n"
      << "empty_entry = " << (s.emptyEntry == EmptyEntryAnswer::Ok ? "ok" : "cme22") << "\n"
      << "phone_store = " << (s.phoneStore ? "yes" : "no") << "\n"
      << "next_reference = " << s.nextReference << "\n"
      << "cpms = " << s.mem1 << "," << s.mem2 << "," << s.mem3 << "\n"
      << "cpbs = " << s.phonebook << "\n";
    const Dialect& d = s.dialect;
    o << "echo_end = " << (d.echoCrCr ? "crcr" : "cr") << "\n"
      << "line_end = " << (d.lfOnly ? "lf" : "crlf") << "\n"
      << "blanks_after_commas = " << yesNo(d.blanks) << "\n"
      << "trailing_blank = " << yesNo(d.trailingBlank) << "\n"
      << "hex_case = " << (d.lowerHex ? "lower" : "upper") << "\n"
      << "pdu_quote = " << yesNo(d.pduQuote) << "\n"
      << "cmgr_status = " << yesNo(d.cmgrStatus) << "\n"
      << "ucs2 = "
      << (d.ucs2 == Ucs2Support::None ? "no" : d.ucs2 == Ucs2Support::Names ? "names" : "numbers") << "\n";
    for (const auto& [mem, store] : s.stores) {
        o << "\nsms." << mem << ".capacity = " << store.capacity << "\n";
        for (const auto& [index, message] : store.messages) {
            o << "sms." << mem << "." << index << " = " << message.stat << " " << message.pdu << "\n";
        }
    }
    for (const auto& [mem, book] : s.phonebooks) {
        o << "\npb." << mem << ".range = " << book.first << "-" << book.last << "\n"
          << "pb." << mem << ".number_length = " << book.numberLength << "\n"
          << "pb." << mem << ".name_length = " << book.nameLength << "\n";
        for (const auto& [index, e] : book.entries) {
            o << "pb." << mem << "." << index << " = \"" << e.number << "\"," << e.type << ",\"" << e.name << "\"\n";
        }
    }
    const Faults& f = s.faults;
    o << "\nfault.noecho = " << onOff(f.noEcho) << "\n"
      << "fault.silent = " << onOff(f.silent) << "\n"
      << "fault.slow = " << onOff(f.slow) << " " << f.slowDelayMs << "\n"
      << "fault.error = off\n";
    if (!f.errorCommands.empty()) {
        o << "fault.error = on";
        for (const std::string& c : f.errorCommands) o << " " << c;
        o << "\n";
    }
    o << "fault.unsolicited = off\n";
    for (const Faults::Unsolicited& u : f.unsolicited) {
        o << "fault.unsolicited = on " << positionName(u.position) << " " << escapeLines(u.line) << "\n";
    }
    o << "fault.urc = " << onOff(f.urc) << " " << f.urcEvery << " " << f.urcCount << "\n";
    o << "fault.pieces = " << onOff(f.pieces) << " " << f.pieceSize << " " << f.pieceGapMs << "\n"
      << "fault.late = " << onOff(f.late) << " " << f.lateMs
      << (f.latePattern.empty() ? "" : " " + f.latePattern) << "\n"
      << "fault.drop = " << onOff(f.drop) << (f.dropPattern.empty() ? "" : " " + f.dropPattern) << "\n"
      << "fault.reject = " << onOff(f.reject) << "\n";
    return o.str();
}

}  // namespace phonesim
