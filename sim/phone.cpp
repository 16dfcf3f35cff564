// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone.h"

#include "pdu.h"
#include "text.h"

#include <algorithm>
#include <cctype>

namespace phonesim {

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;
constexpr size_t kMaxLine = 4096;
// The date and time after each name with cpbr_gap.
constexpr const char* kEntryDate = "2007/11/02,09:27";

// GSM 07.07 9.2 and GSM 07.05 3.2.5 texts for AT+CMEE=2.
struct ErrorText {
    int code;
    const char* text;
};
const ErrorText kErrorTexts[] = {
    {3, "operation not allowed"},
    {4, "operation not supported"},
    {10, "SIM not inserted"},
    {11, "SIM PIN required"},
    {12, "SIM PUK required"},
    {13, "SIM failure"},
    {16, "incorrect password"},
    {17, "SIM PIN2 required"},
    {18, "SIM PUK2 required"},
    {20, "memory full"},
    {21, "invalid index"},
    {22, "not found"},
    {24, "text string too long"},
    {25, "invalid characters in text string"},
    {26, "dial string too long"},
    {27, "invalid characters in dial string"},
    {100, "unknown"},
    {302, "operation not allowed"},
    {303, "operation not supported"},
    {304, "invalid PDU mode parameter"},
    {321, "invalid memory index"},
    {322, "memory full"},
    {500, "unknown error"},
};

const char* errorText(int code)
{
    for (const ErrorText& e : kErrorTexts) {
        if (e.code == code)
            return e.text;
    }
    return "unknown";
}

// A blank after each comma outside quotes that a value follows:
// '+CMGR: 1,,22' becomes '+CMGR: 1,, 22'.
std::string blanksAfterCommas(const std::string& line)
{
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        out += line[i];
        if (line[i] == '"')
            quoted = !quoted;
        if (line[i] == ',' && !quoted && i + 1 < line.size() && line[i + 1] != ',')
            out += ' ';
    }
    return out;
}

constexpr UnsolicitedPosition kSchedulePositions[] = {UnsolicitedPosition::BeforeEcho, UnsolicitedPosition::Before,
                                                      UnsolicitedPosition::Inside, UnsolicitedPosition::After};

} // namespace

const std::vector<std::string>& unsolicitedSchedule()
{
    // The PDUs come from tools/make_sample_pdus.py ("unsolicited").
    static const std::vector<std::string> kLines = {
        "RING",
        "+CRING: VOICE",
        "+CLIP: \"+393471234567\",145",
        "+CMTI: \"SM\",3",
        "+CDSI: \"SM\",4",
        "+CREG: 1",
        "+CGREG: 1",
        "+CEREG: 1",
        "+CIEV: 2,3",
        "+CUSD: 0,\"Credito residuo 5 euro\",15",
        "+PBREADY",
        "NO CARRIER",
        "^BOOT:27710117,0,0,0,75",
        "^MODE:5,5",
        "^RSSI:17",
        "^HCSQ:\"LTE\",40,35,120,20",
        "^SRVST:2",
        "^SIMST:1",
        "^DSFLOWRPT:0000000A,00000000,00000000,0000000000000000,0000000000000000,00000000,00000000",
        "+CMT: ,24\n0791933395066900040C9193431732547600004240500151008005C374F81D02",
        "+CDS: 25\n0791933395066900062A0C91934317325476424050015100804240500151208000",
    };
    return kLines;
}

Phone::Phone(PhoneState& state) : m_state(state) { reset(); }

void Phone::reset()
{
    m_echo = m_state.echo && !m_state.faults.noEcho;
    m_verbose = true;
    m_quiet = false;
    m_cmee = 0;
    m_charset = m_state.charset;
    std::fill(std::begin(m_cnmi), std::end(m_cnmi), 0);
    m_cusd = 0;
    m_ussdMenu = 0;
    m_sRegisters = {{0, 0}, {3, 13}, {4, 10}, {5, 8}, {7, 50}, {8, 2}, {10, 14}};
}

void Phone::followState()
{
    m_echo = m_state.echo && !m_state.faults.noEcho;
    m_charset = m_state.charset;
}

void Phone::lineDropped()
{
    m_mode = Mode::Command;
    m_line.clear();
    m_rawLine.clear();
    m_rawBytes.clear();
    m_afterCr = false;
    m_pdu.clear();
}

Phone::Arrival Phone::messageArrives(const std::string& mem, int index, const std::string& pdu) const
{
    // <mt> 2 hands the program every message but those of class 2 and the
    // message-waiting ones to store; <mt> 3 those of class 3 (GSM 07.05
    // 3.4.1). The others are stored, and <mt> 1 to 3 say where.
    const int mt = m_cnmi[1];
    const DeliverClass c = deliverClass(pdu);
    Arrival a;
    if ((mt == 2 && c.messageClass != 2 && !c.storeGroup) || (mt == 3 && c.messageClass == 3)) {
        a.store = false;
        a.code = "+CMT: ," + std::to_string(tpduLength(pdu)) + "\n" + pduLine(upper(pdu));
    } else if (mt >= 1) {
        a.code = "+CMTI: \"" + mem + "\"," + std::to_string(index);
    }
    return a;
}

std::string Phone::reportArrives(const StatusReport& report, std::string& note)
{
    const Reports& settings = m_state.reports;
    int status = report.status;
    if (status < 0) {
        const size_t part = report.part > 0 ? static_cast<size_t>(report.part) - 1 : 0;
        status = settings.status.at(std::min(part, settings.status.size() - 1));
    }
    WallTime received;
    if (!parseWallTime(settings.time, received))
        received = localWallTime(report.sent);
    const std::string pdu = statusReportPdu(serviceCentreField(m_state.smsc, m_state.smscType), report.reference,
                                            report.recipient, received, secondsLater(received, 2), status);
    note = "status report on " + std::to_string(report.reference) + " (" + pdu + ")";
    switch (m_cnmi[3]) {
    case 1:
        note += " sent as +CDS";
        return "+CDS: " + std::to_string(tpduLength(pdu)) + "\n" + pduLine(pdu);
    case 2: {
        const std::string& mem = settings.store;
        if (!storeExists(mem)) {
            note += " lost: no store " + mem;
            return std::string();
        }
        MessageStore& store = m_state.stores[mem];
        int slot = 0;
        for (int i = 1; i <= store.capacity && slot == 0; ++i) {
            if (!store.messages.count(i))
                slot = i;
        }
        if (slot == 0) {
            note += " lost: " + mem + " is full";
            return std::string();
        }
        // Received and not read yet, as a message that arrives.
        store.messages[slot] = StoredMessage{0, pdu};
        note += " stored at " + mem + " " + std::to_string(slot);
        return "+CDSI: \"" + mem + "\"," + std::to_string(slot);
    }
    default:
        note += " not passed on (+CNMI <ds> " + std::to_string(m_cnmi[3]) + ")";
        return std::string();
    }
}

std::vector<StatusReport> Phone::takeReports()
{
    std::vector<StatusReport> reports;
    reports.swap(m_reports);
    return reports;
}

std::string Phone::unsolicited(const std::string& line) const
{
    // Each line of the code framed as an information line: a +CMT and its PDU
    // are "\r\n+CMT: ,24\r\n<pdu>\r\n".
    std::string text = m_verbose ? eol() : "";
    for (const std::string& part : split(line, '\n'))
        text += part + eol();
    return text;
}

void Phone::feed(const std::string& bytes, std::vector<Output>& out, std::vector<std::string>& lines,
                 std::vector<std::string>& rawLines)
{
    for (char c : bytes) {
        const bool afterCr = m_afterCr;
        m_afterCr = false;
        if (m_mode == Mode::Pdu) {
            if (c != '\r' && c != '\n' && m_rawBytes.size() < kMaxLine)
                m_rawBytes += c;
            if (c == kCtrlZ || c == kEsc) {
                rawLines.push_back(m_rawBytes);
                m_rawBytes.clear();
                onPdu(c == kEsc, out, lines);
            } else if (c != '\r' && c != '\n' && c != '\0') {
                if (m_pdu.size() < kMaxLine)
                    m_pdu += c;
            }
            continue;
        }
        if (c == '\r') {
            m_afterCr = true;
            if (!m_rawBytes.empty())
                rawLines.push_back(m_rawBytes);
            m_rawBytes.clear();
        } else if (!(c == '\n' && afterCr) && m_rawBytes.size() < kMaxLine) {
            m_rawBytes += c; // as it came, whatever the editing below makes of it
        }
        switch (c) {
        case '\r':
            onLine(m_line, out, lines);
            m_line.clear();
            m_rawLine.clear();
            break;
        case '\n': // line ends are CR (S3); a LF after it is ignored
        case '\0':
        case kEsc: // a stray ESC or NUL outside a PDU is ignored
        case kCtrlZ:
            break;
        case '\b': // S5, backspace
            if (!m_line.empty())
                m_line.pop_back();
            m_rawLine += c;
            break;
        default:
            if (m_line.size() < kMaxLine) {
                m_line += c;
                m_rawLine += c;
            }
        }
    }
}

void Phone::onLine(const std::string& raw, std::vector<Output>& out, std::vector<std::string>& lines)
{
    const std::string line = trim(raw);
    if (line.empty())
        return; // an empty line is no command
    lines.push_back(line);
    const std::string echo = m_echo ? m_rawLine + (m_state.dialect.echoCrCr ? "\r\r" : "\r") : std::string();
    const std::string answer = execute(line);
    deliver(line, echo, answer, m_insideAt, out);
}

// Whether the network refuses the SMS-SUBMIT `pdu` for its destination.
bool Phone::refusedDestination(const std::string& pdu) const
{
    Submitted submitted;
    if (!m_state.faults.refuse || !readSubmit(pdu, submitted))
        return false;
    const std::vector<std::string>& numbers = m_state.faults.refuseNumbers;
    return std::find(numbers.begin(), numbers.end(), addressDigits(submitted.destination)) != numbers.end();
}

void Phone::onPdu(bool cancelled, std::vector<Output>& out, std::vector<std::string>& lines)
{
    m_mode = Mode::Command;
    const std::string pdu = m_pdu;
    m_pdu.clear();
    lines.push_back(pdu + (cancelled ? kEsc : kCtrlZ));
    const std::string echo = m_echo ? pdu : std::string();
    Result r;
    if (cancelled) {
        deliver(pdu, echo, final(r), std::string::npos, out); // ESC: nothing is sent
        return;
    }
    std::string error;
    // The length given to +CMGS counts the TPDU octets, not the service-centre part.
    const bool valid = validPdu(pdu, error) && tpduLength(pdu) == m_pduLength;
    const int mti = valid ? hexOctet(pdu, 2 * (hexOctet(pdu, 0) + 1)) & 0x03 : -1;
    if (!valid || (m_pduCommand == "+CMGS" && mti != 1)) {
        r.kind = Kind::Cms;
        r.code = 304;
    } else if (m_pduCommand == "+CMGS" && m_state.faults.reject && m_state.faults.rejectAfter <= 0) {
        r.kind = Kind::Cms;
        r.code = m_state.faults.rejectCode; // the network did not take the message
    } else if (m_pduCommand == "+CMGS" && refusedDestination(pdu)) {
        r.kind = Kind::Cms;
        r.code = m_state.faults.refuseCode; // nor one for this number
    } else if (m_pduCommand == "+CMGS") {
        if (m_state.faults.reject)
            --m_state.faults.rejectAfter; // one fewer taken before the refusals
        m_sent.push_back(upper(pdu));
        Submitted submitted;
        if (readSubmit(pdu, submitted) && submitted.reportAsked) {
            StatusReport report;
            report.reference = m_state.nextReference;
            report.recipient = submitted.destination;
            report.part = submitted.part;
            m_reports.push_back(report);
        }
        r.info.push_back("+CMGS: " + std::to_string(m_state.nextReference));
        m_state.nextReference = (m_state.nextReference + 1) % 256;
    } else { // +CMGW: the first free slot of <mem2>
        MessageStore& store = m_state.stores[m_state.mem2];
        int slot = 0;
        for (int i = 1; i <= store.capacity && slot == 0; ++i) {
            if (!store.messages.count(i))
                slot = i;
        }
        if (slot == 0) {
            r.kind = Kind::Cms;
            r.code = 322;
        } else {
            store.messages[slot] = StoredMessage{m_pduStat, upper(pdu)};
            r.info.push_back("+CMGW: " + std::to_string(slot));
        }
    }
    size_t insideAt = std::string::npos;
    const std::string text = info(r.info, &insideAt);
    deliver(pdu, echo, text + final(r), insideAt, out);
}

bool Phone::matches(const std::string& pattern, const std::string& command) const
{
    if (pattern.empty())
        return true;
    std::string p = upper(pattern);
    // "PDU" is the line after a "> " prompt: the message, whose answer is the network's.
    if (p == "PDU")
        return !command.empty() && std::all_of(command.begin(), command.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        });
    if (p[0] == '+' || p[0] == '^')
        p = "AT" + p;
    // A prefix up to a boundary: "+CPBR=3" is AT+CPBR=3 (and AT+CPBR=3,5), not AT+CPBR=30.
    const std::string c = upper(command);
    return c.rfind(p, 0) == 0
           && (c.size() == p.size() || !std::isalnum(static_cast<unsigned char>(c[p.size()]))
               || !std::isalnum(static_cast<unsigned char>(p.back())));
}

// The garble fault: the second information line (the first, when it is
// alone) loses its first three characters, "+CPBR: 2,..." becoming "BR: 2,...".
void Phone::garble(const std::string& command, Result& r)
{
    Faults& f = m_state.faults;
    if (!f.garble || r.info.empty() || !matches(f.garblePattern, command))
        return;
    f.garble = false;
    std::string& line = r.info[r.info.size() > 1 ? 1 : 0];
    line.erase(0, std::min<size_t>(3, line.size()));
}

// The restart fault: the lines a SIMCom modem sends as it starts, after the
// answer's first information line; the phone is back in the character set,
// phone book and +CNMI settings of power-on, and what it still sends of the
// answer comes in that set.
void Phone::restart()
{
    m_restartDue = false;
    m_state.faults.restart = false;
    m_charset = m_state.charset;
    m_state.phonebook = "SM";
    std::fill(std::begin(m_cnmi), std::end(m_cnmi), 0);
    for (const char* line : {"RDY", "+CFUN: 1", "+CPIN: READY", "SMS Ready", "PB DONE"})
        m_state.faults.unsolicited.push_back(Faults::Unsolicited{UnsolicitedPosition::Inside, line});
}

void Phone::deliver(const std::string& command, const std::string& echo, std::string answer, size_t insideAt,
                    std::vector<Output>& out)
{
    Faults& f = m_state.faults;
    if (f.silent)
        return;
    if (answer.empty()) {
        if (!echo.empty())
            out.push_back(Output{0, echo, false});
        return;
    }
    // Unsolicited codes fall between lines, never inside one.
    std::vector<Faults::Unsolicited> codes;
    codes.swap(f.unsolicited);
    if (f.urc) {
        const long n = f.urcCount++;
        if (n % f.urcEvery == 0) {
            const long k = n / f.urcEvery;
            const std::vector<std::string>& schedule = unsolicitedSchedule();
            codes.push_back(
                Faults::Unsolicited{kSchedulePositions[k % 4], schedule[static_cast<size_t>(k) % schedule.size()]});
        }
    }
    const bool prompt = m_mode == Mode::Pdu; // nothing comes after a "> " prompt
    std::string beforeEcho, head, inside, tail;
    for (const Faults::Unsolicited& u : codes) {
        const std::string frame = unsolicited(u.line);
        switch (u.position) {
        case UnsolicitedPosition::BeforeEcho:
            beforeEcho += frame;
            break;
        case UnsolicitedPosition::Before:
            head += frame;
            break;
        case UnsolicitedPosition::Inside:
            (insideAt < answer.size() ? inside : head) += frame;
            break;
        case UnsolicitedPosition::After:
            (prompt ? head : tail) += frame;
            break;
        }
    }
    if (!inside.empty())
        answer.insert(insideAt, inside);
    answer = head + answer + tail;
    if (!beforeEcho.empty() || !echo.empty())
        out.push_back(Output{0, beforeEcho + echo, false});
    int delay = f.slow ? f.slowDelayMs : 0;
    if (f.late && matches(f.latePattern, command))
        delay += f.lateMs;
    if (f.drop && matches(f.dropPattern, command)) {
        f.drop = false;
        out.push_back(Output{delay, answer.substr(0, std::max<size_t>(1, answer.size() / 2)), true});
        return;
    }
    if (!f.pieces) {
        out.push_back(Output{delay, answer, false});
        return;
    }
    const size_t size = static_cast<size_t>(std::max(1, f.pieceSize));
    for (size_t i = 0; i < answer.size(); i += size) {
        out.push_back(Output{i == 0 ? delay : f.pieceGapMs, answer.substr(i, size), false});
    }
}

std::string Phone::info(const std::vector<std::string>& lines, size_t* firstEnd) const
{
    if (lines.empty())
        return std::string();
    const Dialect& d = m_state.dialect;
    const std::string end = eol();
    std::string text = m_verbose ? end : "";
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            text += end;
        text += d.blanks ? blanksAfterCommas(lines[i]) : lines[i];
        if (d.trailingBlank)
            text += ' ';
        if (i == 0 && firstEnd)
            *firstEnd = text.size() + end.size();
    }
    return text + end;
}

std::string Phone::pduLine(const std::string& pdu) const
{
    return (m_state.dialect.lowerHex ? lower(pdu) : pdu) + (m_state.dialect.pduQuote ? "\"" : "");
}

std::string Phone::storedLength(const std::string& pdu) const
{
    // GSM 07.05 3.4.3 counts the TPDU; some phones count the service centre too.
    return std::to_string(m_state.dialect.wholeLength ? static_cast<int>(pdu.size() / 2) : tpduLength(pdu));
}

std::string Phone::final(const Result& r) const
{
    const std::string end = eol();
    if (r.kind == Kind::Prompt)
        return end + "> ";
    if (m_quiet)
        return std::string();
    std::string code;
    switch (r.kind) {
    case Kind::Ok:
        return m_verbose ? end + "OK" + end : "0\r";
    case Kind::Error:
        return m_verbose ? end + "ERROR" + end : "4\r";
    case Kind::Cme:
    case Kind::Cms:
        if (m_cmee == 0 && !r.forceCode)
            return m_verbose ? end + "ERROR" + end : "4\r";
        code = (r.kind == Kind::Cme ? "+CME ERROR: " : "+CMS ERROR: ")
               + (m_cmee == 2 ? std::string(errorText(r.code)) : std::to_string(r.code));
        return m_verbose ? end + code + end : code + end;
    case Kind::Prompt:
        break;
    }
    return std::string();
}

// One command line: "AT" and any number of basic commands and extended
// commands separated by ";" (V.25ter 5.2).
std::string Phone::execute(const std::string& line)
{
    Result error;
    error.kind = Kind::Error;
    m_insideAt = std::string::npos;
    if (line.size() < 2 || std::toupper(static_cast<unsigned char>(line[0])) != 'A'
        || std::toupper(static_cast<unsigned char>(line[1])) != 'T') {
        return final(error);
    }
    std::string answer;
    size_t pos = 2;
    while (pos < line.size()) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(line[pos])));
        Result r;
        std::string command;
        if (c == ' ' || c == ';') {
            ++pos;
            continue;
        }
        if (c == '+' || c == '^' || c == '%' || c == '*' || c == '$') {
            size_t end = pos;
            bool quoted = false;
            while (end < line.size() && (quoted || line[end] != ';')) {
                if (line[end] == '"')
                    quoted = !quoted;
                ++end;
            }
            command = line.substr(pos, end - pos);
            pos = end;
            size_t nameEnd = 1;
            while (nameEnd < command.size() && command[nameEnd] != '=' && command[nameEnd] != '?')
                ++nameEnd;
            const std::string name = upper(trim(command.substr(0, nameEnd)));
            for (const std::string& pattern : m_state.faults.errorCommands) {
                if (matches(pattern, "AT" + upper(command)))
                    return answer + final(error);
            }
            for (const std::string& pattern : m_state.faults.cmeCommands) {
                if (matches(pattern, "AT" + upper(command))) {
                    Result refused;
                    refused.kind = Kind::Cme;
                    refused.code = m_state.faults.cmeCode;
                    return answer + final(refused);
                }
            }
            if (const int code = simRefusal(name)) {
                Result refused;
                refused.kind = Kind::Cme;
                refused.code = code;
                return answer + final(refused);
            }
            const Faults& f = m_state.faults;
            m_restartDue = f.restart && matches(f.restartPattern, "AT" + upper(command));
            r = extended(name, command.substr(nameEnd));
            if (m_restartDue) // an answer without lines of its own to restart after
                restart();
            garble("AT" + upper(command), r);
        } else {
            // A basic command: a letter (or &letter), then digits, or S<n>=<v> / S<n>?
            size_t end = pos + 1;
            char letter = c;
            if (c == '&' && end < line.size()) {
                letter = static_cast<char>(std::tolower(static_cast<unsigned char>(line[end])));
                ++end;
            }
            const size_t argStart = end;
            if (c == 'S') {
                while (
                    end < line.size()
                    && (std::isdigit(static_cast<unsigned char>(line[end])) || line[end] == '=' || line[end] == '?')) {
                    ++end;
                }
            } else {
                while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end])))
                    ++end;
            }
            command = line.substr(pos, end - pos);
            for (const std::string& pattern : m_state.faults.errorCommands) {
                if (matches(pattern, "AT" + upper(command)))
                    return answer + final(error);
            }
            r = basic(letter, line.substr(argStart, end - argStart));
            pos = end;
        }
        size_t firstEnd = std::string::npos;
        const std::string text = info(r.info, &firstEnd);
        if (m_insideAt == std::string::npos && firstEnd != std::string::npos)
            m_insideAt = answer.size() + firstEnd;
        answer += text;
        if (r.kind == Kind::Prompt) {
            m_mode = Mode::Pdu;
            m_pdu.clear();
            return answer + final(r);
        }
        if (r.kind != Kind::Ok)
            return answer + final(r);
    }
    return answer + final(Result());
}

Phone::Result Phone::basic(char letter, const std::string& arg)
{
    Result r;
    int n = 0;
    const bool hasNumber = parseInt(arg, n);
    const bool binary = letter == 'E' || letter == 'Q' || letter == 'V';
    if ((!arg.empty() && !hasNumber && letter != 'S') || (binary && n != 0 && n != 1)) {
        r.kind = Kind::Error;
        return r;
    }
    switch (letter) {
    case 'E':
        m_echo = n == 1 && !m_state.faults.noEcho;
        break;
    case 'Q':
        m_quiet = n == 1;
        break;
    case 'V':
        m_verbose = n == 1;
        break;
    case 'Z':
    case 'f': // &F
        reset();
        break;
    case 'I':
        r.info.push_back(n == 1 ? m_state.revision : n >= 2 ? m_state.manufacturer : m_state.model);
        break;
    case 'S': {
        const size_t eq = arg.find('=');
        int reg = 0, value = 0;
        if (eq != std::string::npos && parseInt(arg.substr(0, eq), reg) && parseInt(arg.substr(eq + 1), value)) {
            m_sRegisters[reg] = value;
        } else if (!arg.empty() && arg.back() == '?' && parseInt(arg.substr(0, arg.size() - 1), reg)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%03d", m_sRegisters.count(reg) ? m_sRegisters[reg] : 0);
            r.info.push_back(buf);
        } else {
            r.kind = Kind::Error;
        }
        break;
    }
    case 'X':
    case 'L':
    case 'M':
    case 'H':
    case 'c': // &C
    case 'd': // &D
    case 'w': // &W
    case 'k': // &K
        break;
    default:
        r.kind = Kind::Error;
    }
    return r;
}

// The extended commands this phone knows, by name; a name not here answers
// ERROR.  Each handler gets the command as received ("+CPBR", "=1,10").
const std::map<std::string, Phone::Handler>& Phone::commandTable()
{
    static const std::map<std::string, Handler> kCommands = {
        // Identification (GSM 07.07 5; the +G forms are V.25ter's) and status.
        {"+CGMI", [](Phone& p, const Request& q) { return p.value(q, p.m_state.manufacturer); }},
        {"+GMI", [](Phone& p, const Request& q) { return p.value(q, p.m_state.manufacturer); }},
        {"+CGMM", [](Phone& p, const Request& q) { return p.value(q, p.m_state.model); }},
        {"+GMM", [](Phone& p, const Request& q) { return p.value(q, p.m_state.model); }},
        {"+CGMR", [](Phone& p, const Request& q) { return p.value(q, p.m_state.revision); }},
        {"+GMR", [](Phone& p, const Request& q) { return p.value(q, p.m_state.revision); }},
        {"+CGSN", [](Phone& p, const Request& q) { return p.value(q, p.m_state.serial); }},
        {"+GSN", [](Phone& p, const Request& q) { return p.value(q, p.m_state.serial); }},
        {"+CIMI", [](Phone& p, const Request& q) { return p.value(q, p.m_state.imsi); }},
        {"+CSQ", [](Phone& p, const Request& q) { return p.value(q, "+CSQ: 21,99"); }},
        {"+CBC", [](Phone& p, const Request& q) { return p.value(q, "+CBC: 0,80"); }},
        {"+CPIN", [](Phone& p, const Request& q) { return p.simPin(q); }},
        {"+CPINR", [](Phone& p, const Request& q) { return p.pinRetries(q); }},
        {"+CREG", [](Phone& p, const Request& q) { return p.readOnly(q, "+CREG: 0,1"); }},
        {"+COPS",
         [](Phone& p, const Request& q) { return p.readOnly(q, "+COPS: 0,0,\"" + p.m_state.operatorName + "\""); }},
        // Settings of the dialogue.
        {"+CMEE", [](Phone& p, const Request& q) { return p.errorReports(q); }},
        {"+CSCS", [](Phone& p, const Request& q) { return p.characterSet(q); }},
        {"+CFUN", [](Phone& p, const Request& q) { return p.functionality(q); }},
        // Short messages (GSM 07.05).
        {"+CMGF", [](Phone& p, const Request& q) { return p.messageFormat(q); }},
        {"+CSMS", [](Phone& p, const Request& q) { return p.messageService(q); }},
        {"+CSCA", [](Phone& p, const Request& q) { return p.serviceCentre(q); }},
        {"+CNMI", [](Phone& p, const Request& q) { return p.newMessageIndications(q); }},
        {"+CPMS", [](Phone& p, const Request& q) { return p.messageStores(q.suffix); }},
        {"+CMGR", [](Phone& p, const Request& q) { return p.readMessage(q.suffix); }},
        {"+CMGL", [](Phone& p, const Request& q) { return p.listMessages(q.suffix); }},
        {"+CMGD", [](Phone& p, const Request& q) { return p.deleteMessage(q.suffix); }},
        {"+CMGS", [](Phone& p, const Request& q) { return p.startPdu(q.name, q.suffix); }},
        {"+CMGW", [](Phone& p, const Request& q) { return p.startPdu(q.name, q.suffix); }},
        // The phone book (GSM 07.07 8).
        {"+CPBS", [](Phone& p, const Request& q) { return p.phonebookStore(q.suffix); }},
        {"+CPBR", [](Phone& p, const Request& q) { return p.readEntries(q.suffix); }},
        {"+CPBW", [](Phone& p, const Request& q) { return p.writeEntry(q.suffix); }},
        // USSD (GSM 07.07 7.15).
        {"+CUSD", [](Phone& p, const Request& q) { return p.ussd(q); }},
    };
    return kCommands;
}

Phone::Result Phone::extended(const std::string& name, const std::string& suffix)
{
    const auto it = commandTable().find(name);
    if (it == commandTable().end()) {
        Result unknown;
        unknown.kind = Kind::Error;
        return unknown;
    }
    return it->second(*this, Request{name, suffix});
}

Phone::Result Phone::messageError(int code)
{
    Result r;
    r.kind = Kind::Cms;
    r.code = code;
    return r;
}

// A value given to the bare command: +CGMM answers the model.
Phone::Result Phone::value(const Request& q, const std::string& text)
{
    Result r;
    if (q.exec())
        r.info.push_back(text);
    else if (!q.test())
        r.kind = Kind::Error;
    return r;
}

// A status only read: +CPIN? answers "+CPIN: READY".
Phone::Result Phone::readOnly(const Request& q, const std::string& text)
{
    Result r;
    if (q.read())
        r.info.push_back(text);
    else
        r.kind = Kind::Error;
    return r;
}

// The SIM's PIN (GSM 07.07 8.3): +CPIN? tells what it waits for; +CPIN=<pin>
// takes the PIN, and the last wrong try leaves it waiting for its PUK.
Phone::Result Phone::simPin(const Request& q)
{
    Result r;
    r.kind = Kind::Cme;
    switch (m_state.simState) {
    case SimState::Absent:
        r.code = 10;
        return r;
    case SimState::Puk:
        if (q.set()) { // no PUK is ever right here
            r.code = 16;
            return r;
        }
        break;
    case SimState::Ready:
        if (q.set()) { // nothing asked for
            r.code = 3;
            return r;
        }
        break;
    case SimState::Pin:
        if (q.set()) {
            const std::vector<std::string> fields = splitParams(q.arg());
            if (!fields.empty() && unquote(fields[0]) == m_state.simPin) {
                m_state.simState = SimState::Ready;
                m_state.simTries = 3;
                r.kind = Kind::Ok;
                return r;
            }
            if (--m_state.simTries <= 0) {
                m_state.simTries = 0;
                m_state.simState = SimState::Puk;
            }
            r.code = 16;
            return r;
        }
        break;
    }
    r.kind = Kind::Ok;
    if (q.read()) {
        const char* words[] = {"READY", "SIM PIN", "SIM PUK"};
        r.info.push_back(std::string("+CPIN: ") + words[static_cast<int>(m_state.simState)]);
    } else if (!q.test()) {
        r.kind = Kind::Error;
    }
    return r;
}

// The tries left (3GPP TS 27.007 8.65): +CPINR="SIM PIN" answers
// "+CPINR: SIM PIN,<left>,3"; another code lists nothing.
Phone::Result Phone::pinRetries(const Request& q)
{
    Result r;
    if (m_state.simState == SimState::Absent) {
        r.kind = Kind::Cme;
        r.code = 10;
    } else if (q.exec() || (q.set() && upper(unquote(q.arg())) == "SIM PIN")) {
        r.info.push_back("+CPINR: SIM PIN," + std::to_string(m_state.simTries) + ",3");
    } else if (!q.set() && !q.test()) {
        r.kind = Kind::Error;
    }
    return r;
}

int Phone::simRefusal(const std::string& name) const
{
    static const char* const kNeedTheSim[] = {"+CPMS", "+CMGR", "+CMGL", "+CMGD", "+CMGS",
                                              "+CMGW", "+CPBS", "+CPBR", "+CPBW"};
    const bool needs = std::any_of(std::begin(kNeedTheSim), std::end(kNeedTheSim),
                                   [&](const char* command) { return name == command; });
    if (!needs)
        return 0;
    switch (m_state.simState) {
    case SimState::Ready:
        return 0;
    case SimState::Pin:
        return 11;
    case SimState::Puk:
        return 12;
    case SimState::Absent:
        return 10;
    }
    return 0;
}

Phone::Result Phone::errorReports(const Request& q)
{
    Result r;
    int n = 0;
    if (q.read())
        r.info.push_back("+CMEE: " + std::to_string(m_cmee));
    else if (q.test())
        r.info.push_back("+CMEE: (0-2)");
    else if (q.set() && parseInt(q.arg(), n) && n >= 0 && n <= 2)
        m_cmee = n;
    else
        r.kind = Kind::Error;
    return r;
}

Phone::Result Phone::characterSet(const Request& q)
{
    Result r;
    const std::string cs = upper(unquote(q.arg()));
    const bool ucs2 = m_state.dialect.ucs2 != Ucs2Support::None;
    if (q.read())
        r.info.push_back("+CSCS: \"" + m_charset + "\"");
    else if (q.test())
        r.info.push_back(std::string("+CSCS: (\"GSM\",\"IRA\",\"8859-1\"") + (ucs2 ? ",\"UCS2\")" : ")"));
    else if (q.set() && charsetKnown(cs) && (ucs2 || cs != "UCS2"))
        m_charset = cs;
    else
        r.kind = Kind::Error;
    return r;
}

Phone::Result Phone::functionality(const Request& q)
{
    Result r;
    int n = 0;
    const std::vector<std::string> p = splitParams(q.arg());
    if (q.read())
        r.info.push_back("+CFUN: " + std::to_string(m_fun));
    else if (q.test())
        r.info.push_back("+CFUN: (0,1,4),(0,1)");
    else if (q.set() && !p.empty() && parseInt(p[0], n) && (n == 0 || n == 1 || n == 4))
        m_fun = n;
    else
        r.kind = Kind::Error;
    return r;
}

// PDU mode only: no text mode.
Phone::Result Phone::messageFormat(const Request& q)
{
    Result r;
    int n = 0;
    if (q.read())
        r.info.push_back("+CMGF: 0");
    else if (q.test())
        r.info.push_back("+CMGF: (0)");
    else if (!q.set() || !parseInt(q.arg(), n) || n != 0)
        return messageError(303);
    return r;
}

Phone::Result Phone::messageService(const Request& q)
{
    Result r;
    int n = 0;
    if (q.read())
        r.info.push_back("+CSMS: 0,1,1,1");
    else if (q.test())
        r.info.push_back("+CSMS: (0)");
    else if (q.set() && parseInt(q.arg(), n) && n == 0)
        r.info.push_back("+CSMS: 1,1,1");
    else
        return messageError(303);
    return r;
}

Phone::Result Phone::serviceCentre(const Request& q)
{
    Result r;
    if (q.read()) {
        r.info.push_back("+CSCA: \"" + m_state.smsc + "\"," + std::to_string(m_state.smscType));
    } else if (q.set()) {
        const std::vector<std::string> p = splitParams(q.arg());
        int type = 0;
        if (p.empty() || !isQuoted(p[0]) || (p.size() > 1 && !parseInt(p[1], type)))
            return messageError(304);
        m_state.smsc = unquote(p[0]);
        m_state.smscType = p.size() > 1 ? type : (!m_state.smsc.empty() && m_state.smsc[0] == '+' ? 145 : 129);
    } else if (!q.test()) {
        r.kind = Kind::Error;
    }
    return r;
}

// +CNMI (GSM 07.05 3.4.1): how new messages and status reports reach the
// program. A set takes only the values that AT+CNMI=? offers (the dialect's
// cnmi_ranges); a phone without +CNMI refuses every form of it.
Phone::Result Phone::newMessageIndications(const Request& q)
{
    std::vector<std::vector<int>> offered;
    if (!parseValueGroups(m_state.dialect.cnmiRanges, offered))
        return messageError(303);
    const size_t count = std::min<size_t>(offered.size(), 5);
    Result r;
    if (q.read()) {
        std::string v = "+CNMI: ";
        for (size_t i = 0; i < count; ++i)
            v += (i ? "," : "") + std::to_string(m_cnmi[i]);
        r.info.push_back(v);
    } else if (q.test()) {
        r.info.push_back("+CNMI: " + m_state.dialect.cnmiRanges);
    } else if (q.set()) {
        const std::vector<std::string> p = splitParams(q.arg());
        if (p.size() > count)
            return messageError(303);
        int values[5];
        std::copy(std::begin(m_cnmi), std::end(m_cnmi), values);
        for (size_t i = 0; i < p.size(); ++i) {
            if (p[i].empty())
                continue; // left as it is
            if (!parseInt(p[i], values[i])
                || std::find(offered[i].begin(), offered[i].end(), values[i]) == offered[i].end()) {
                return messageError(303);
            }
        }
        std::copy(values, values + 5, m_cnmi);
    } else {
        r.kind = Kind::Error;
    }
    return r;
}

bool Phone::storeExists(const std::string& mem) const
{
    if (mem == "ME" && !m_state.phoneStore)
        return false;
    return m_state.stores.count(mem) > 0;
}

int Phone::used(const std::string& mem) const
{
    const auto it = m_state.stores.find(mem);
    return it == m_state.stores.end() || !storeExists(mem) ? 0 : static_cast<int>(it->second.messages.size());
}

int Phone::capacity(const std::string& mem) const
{
    const auto it = m_state.stores.find(mem);
    return it == m_state.stores.end() || !storeExists(mem) ? 0 : it->second.capacity;
}

// +CPMS: the stores for reading/deleting, writing, and receiving (GSM 07.05 3.2.2).
Phone::Result Phone::messageStores(const std::string& suffix)
{
    Result r;
    if (suffix == "?") {
        std::string v = "+CPMS: ";
        const std::string* mems[3] = {&m_state.mem1, &m_state.mem2, &m_state.mem3};
        for (int i = 0; i < 3; ++i) {
            v += (i ? ",\"" : "\"") + *mems[i] + "\"," + std::to_string(used(*mems[i])) + ","
                 + std::to_string(capacity(*mems[i]));
        }
        r.info.push_back(v);
    } else if (suffix == "=?") {
        // Status reports are only read and deleted: "SR" is offered as <mem1>.
        const std::string list = storeExists("ME") ? "\"SM\",\"ME\"" : "\"SM\"";
        const std::string reports = storeExists("SR") ? ",\"SR\"" : "";
        r.info.push_back("+CPMS: (" + list + reports + "),(" + list + "),(" + list + ")");
    } else if (suffix.size() > 1 && suffix[0] == '=') {
        const std::vector<std::string> p = splitParams(suffix.substr(1));
        if (p.empty() || p.size() > 3) {
            r.kind = Kind::Cms;
            r.code = 302;
            return r;
        }
        std::string mems[3] = {m_state.mem1, m_state.mem2, m_state.mem3};
        for (size_t i = 0; i < p.size(); ++i) {
            const std::string mem = upper(unquote(p[i]));
            if (!storeExists(mem) || (i > 0 && mem == "SR")) {
                r.kind = Kind::Cms;
                r.code = 302;
                return r;
            }
            mems[i] = mem;
        }
        m_state.mem1 = mems[0];
        m_state.mem2 = mems[1];
        m_state.mem3 = mems[2];
        std::string v = "+CPMS: ";
        for (int i = 0; i < 3; ++i) {
            v += (i ? "," : "") + std::to_string(used(mems[i])) + "," + std::to_string(capacity(mems[i]));
        }
        r.info.push_back(v);
    } else {
        r.kind = Kind::Error;
    }
    return r;
}

// +CMGR=<index> in PDU mode: "+CMGR: <stat>,[<alpha>],<length>" and the PDU.
Phone::Result Phone::readMessage(const std::string& suffix)
{
    Result r;
    int index = 0;
    if (suffix == "=?")
        return r;
    if (suffix.size() < 2 || suffix[0] != '=' || !parseInt(suffix.substr(1), index)) {
        r.kind = Kind::Error;
        return r;
    }
    if (!storeExists(m_state.mem1) || index < 1 || index > capacity(m_state.mem1)) {
        r.kind = Kind::Cms;
        r.code = 321;
        return r;
    }
    MessageStore& store = m_state.stores[m_state.mem1];
    const auto it = store.messages.find(index);
    if (it == store.messages.end()) {
        switch (m_state.emptySlot) {
        case EmptySlotAnswer::Zero:
            r.info.push_back(m_state.dialect.cmgrStatus ? "+CMGR: 0,,0" : "+CMGR: ,,0");
            break;
        case EmptySlotAnswer::Ok:
            break;
        case EmptySlotAnswer::Cms321:
            r.kind = Kind::Cms;
            r.code = 321;
            r.forceCode = true;
            break;
        }
        return r;
    }
    StoredMessage& m = it->second;
    const std::string stat = m_state.dialect.cmgrStatus ? std::to_string(m.stat) : std::string();
    r.info.push_back("+CMGR: " + stat + ",," + storedLength(m.pdu));
    r.info.push_back(pduLine(m.pdu));
    if (m.stat == 0)
        m.stat = 1; // read now
    return r;
}

// +CMGL=<stat>: 0 unread, 1 read, 2 unsent, 3 sent, 4 all.
Phone::Result Phone::listMessages(const std::string& suffix)
{
    Result r;
    int stat = 0;
    if (suffix == "=?") {
        r.info.push_back("+CMGL: (0-4)");
        return r;
    }
    if (!suffix.empty() && (suffix[0] != '=' || !parseInt(suffix.substr(1), stat) || stat < 0 || stat > 4)) {
        r.kind = Kind::Cms;
        r.code = 302;
        return r;
    }
    if (!storeExists(m_state.mem1)) {
        r.kind = Kind::Cms;
        r.code = 302;
        return r;
    }
    for (auto& [index, m] : m_state.stores[m_state.mem1].messages) {
        if (stat != 4 && m.stat != stat)
            continue;
        bool omit = false, ok = false;
        size_t digits = m.pdu.size();
        for (const Faults::Listing& l : m_state.faults.listing) {
            omit |= l.slot == index && l.what == Faults::Listing::Omit;
            ok |= l.slot == index && l.what == Faults::Listing::Ok;
            if (l.slot == index && l.what == Faults::Listing::Cut)
                digits = static_cast<size_t>(l.digits);
        }
        if (omit)
            continue; // left out, and not marked read
        r.info.push_back("+CMGL: " + std::to_string(index) + "," + std::to_string(m.stat) + ",," + storedLength(m.pdu));
        r.info.push_back(pduLine(m.pdu.substr(0, digits)));
        if (ok)
            r.info.push_back("OK");
        if (m.stat == 0)
            m.stat = 1;
    }
    return r;
}

// +CMGD=<index>[,<delflag>] (GSM 07.05 3.5.4).
Phone::Result Phone::deleteMessage(const std::string& suffix)
{
    Result r;
    if (suffix == "=?") {
        r.info.push_back("+CMGD: (1-" + std::to_string(capacity(m_state.mem1)) + "),(0-4)");
        return r;
    }
    const std::vector<std::string> p =
        suffix.size() > 1 && suffix[0] == '=' ? splitParams(suffix.substr(1)) : std::vector<std::string>();
    int index = 0, flag = 0;
    if (p.empty() || p.size() > 2 || (p.size() == 2 && (!parseInt(p[1], flag) || flag < 0 || flag > 4))
        || (flag == 0 && !parseInt(p[0], index))) {
        r.kind = Kind::Error;
        return r;
    }
    if (!storeExists(m_state.mem1)) {
        r.kind = Kind::Cms;
        r.code = 302;
        return r;
    }
    MessageStore& store = m_state.stores[m_state.mem1];
    if (flag == 0) {
        if (index < 1 || index > store.capacity) {
            r.kind = Kind::Cms;
            r.code = 321;
            return r;
        }
        store.messages.erase(index);
        return r;
    }
    for (auto it = store.messages.begin(); it != store.messages.end();) {
        const int s = it->second.stat;
        const bool gone = flag == 4 || s == 1 || (flag >= 2 && s == 3) || (flag >= 3 && s == 2);
        it = gone ? store.messages.erase(it) : std::next(it);
    }
    return r;
}

// +CMGS=<length> / +CMGW=<length>[,<stat>]: the "> " prompt, then the PDU.
Phone::Result Phone::startPdu(const std::string& name, const std::string& suffix)
{
    Result r;
    if (suffix == "=?")
        return r;
    const std::vector<std::string> p =
        suffix.size() > 1 && suffix[0] == '=' ? splitParams(suffix.substr(1)) : std::vector<std::string>();
    int length = 0, stat = name == "+CMGW" ? 2 : 0;
    if (p.empty() || !parseInt(p[0], length) || length < 1 || length > 164
        || (p.size() > 1 && (name != "+CMGW" || !parseInt(p[1], stat) || stat < 0 || stat > 3)) || p.size() > 2) {
        r.kind = Kind::Cms;
        r.code = 304;
        return r;
    }
    m_pduCommand = name;
    m_pduLength = length;
    m_pduStat = stat;
    r.kind = Kind::Prompt;
    return r;
}

Phonebook* Phone::selectedBook()
{
    const auto it = m_state.phonebooks.find(m_state.phonebook);
    return it == m_state.phonebooks.end() ? nullptr : &it->second;
}

std::string Phone::entryLine(int index, const PhonebookEntry& e) const
{
    const bool ucs2 = m_charset == "UCS2";
    std::string number = ucs2 && m_state.dialect.ucs2 == Ucs2Support::Numbers ? encodeText(e.number, "UCS2") : e.number;
    std::string name = encodeText(e.name, m_charset);
    if (ucs2 && m_state.dialect.lowerHex) {
        number = lower(number);
        name = lower(name);
    }
    // Some phones leave the field after the index empty and add the date
    // and time after the name: '+CPBR: 1,,"+31234657899",145,"Mama GSM","2007/11/02,09:27"'.
    if (m_state.dialect.cpbrGap)
        return "+CPBR: " + std::to_string(index) + ",,\"" + number + "\"," + std::to_string(e.type) + ",\"" + name
               + "\",\"" + kEntryDate + "\"";
    return "+CPBR: " + std::to_string(index) + ",\"" + number + "\"," + std::to_string(e.type) + ",\"" + name + "\"";
}

// +CPBS: the phone book that +CPBR and +CPBW work on (GSM 07.07 8.11).
Phone::Result Phone::phonebookStore(const std::string& suffix)
{
    Result r;
    if (suffix == "?") {
        const Phonebook* book = selectedBook();
        const int total = book ? book->last - book->first + 1 : 0;
        r.info.push_back("+CPBS: \"" + m_state.phonebook + "\"," + std::to_string(book ? book->entries.size() : 0) + ","
                         + std::to_string(total));
    } else if (suffix == "=?") {
        std::string list;
        for (const char* mem : {"SM", "ME", "FD"}) {
            if (m_state.phonebooks.count(mem))
                list += (list.empty() ? "\"" : ",\"") + std::string(mem) + "\"";
        }
        r.info.push_back("+CPBS: (" + list + ")");
    } else if (suffix.size() > 1 && suffix[0] == '=') {
        const std::vector<std::string> p = splitParams(suffix.substr(1));
        const std::string mem = p.size() == 1 ? upper(unquote(p[0])) : std::string();
        if (!m_state.phonebooks.count(mem)) {
            r.kind = Kind::Cme;
            r.code = 3;
        } else {
            m_state.phonebook = mem;
        }
    } else {
        r.kind = Kind::Error;
    }
    return r;
}

// +CPBR=? gives "(first-last),<nlength>,<tlength>"; +CPBR=<i>[,<j>] the entries.
Phone::Result Phone::readEntries(const std::string& suffix)
{
    Result r;
    const Phonebook* book = selectedBook();
    if (!book) {
        r.kind = Kind::Cme;
        r.code = 3;
        return r;
    }
    if (suffix == "=?") {
        r.info.push_back("+CPBR: (" + std::to_string(book->first) + "-" + std::to_string(book->last) + "),"
                         + std::to_string(book->numberLength) + "," + std::to_string(book->nameLength));
        return r;
    }
    const std::vector<std::string> p =
        suffix.size() > 1 && suffix[0] == '=' ? splitParams(suffix.substr(1)) : std::vector<std::string>();
    int first = 0, last = 0;
    if (p.empty() || p.size() > 2 || !parseInt(p[0], first) || (p.size() == 2 && !parseInt(p[1], last))) {
        r.kind = Kind::Error;
        return r;
    }
    if (p.size() == 1)
        last = first;
    if (first < book->first || last > book->last || last < first) {
        r.kind = Kind::Cme;
        r.code = 21;
        return r;
    }
    for (auto it = book->entries.lower_bound(first); it != book->entries.end() && it->first <= last; ++it) {
        r.info.push_back(entryLine(it->first, it->second));
        if (m_restartDue)
            restart(); // the entries after the first come in the set of power-on
    }
    if (r.info.empty() && p.size() == 1 && m_state.emptyEntry == EmptyEntryAnswer::Cme22) {
        r.kind = Kind::Cme;
        r.code = 22;
        r.forceCode = true;
    }
    return r;
}

// A +CPBW number as the phone keeps it: what +CPBR reads back. Most phones
// store a number of type 145 (or one given with "+") as international,
// the "+" dropped and read back once; a phone with the "doubled" habit
// keeps the number as given and puts a "+" before it for type 145, so that
// "+39...",145 reads back "++39...". The number's length counts what the
// phone stores, the "+" that the type stands for left out.
int Phone::storedNumber(const std::string& given, bool typeGiven, PhonebookEntry& entry, const Phonebook& book) const
{
    static const std::string kDialChars = "0123456789*#pPwW,";
    const bool plus = !given.empty() && given[0] == '+';
    const std::string digits = plus ? given.substr(1) : given;
    if (digits.find_first_not_of(kDialChars) != std::string::npos)
        return 27; // invalid characters in dial string, a "+" elsewhere among them
    if (!typeGiven)
        entry.type = plus ? 145 : 129;
    if (m_state.numberPlus == PlusHabit::Doubled) {
        entry.number = entry.type == 145 ? "+" + given : given;
    } else {
        if (plus)
            entry.type = 145;
        entry.number = entry.type == 145 ? "+" + digits : digits;
    }
    const size_t counted = entry.number.size() - (entry.type == 145 ? 1 : 0);
    return static_cast<int>(counted) > book.numberLength ? 26 : 0;
}

// +CPBW=[<index>][,<number>[,<type>[,<text>]]] (GSM 07.07 8.14): writes the
// entry, at the first free index when the index is left out; an index alone
// deletes. The name comes in the +CSCS character set and is kept as
// Unicode; the limits are in the SIM's units (simNameLength). The
// fixed-dialling book wants PIN2.
Phone::Result Phone::writeEntry(const std::string& suffix)
{
    Result r;
    Phonebook* book = selectedBook();
    auto fail = [&](int code) {
        r.kind = Kind::Cme;
        r.code = code;
        return r;
    };
    auto malformed = [&] {
        r.kind = Kind::Error;
        return r;
    };
    if (!book)
        return fail(3);
    if (suffix == "=?") {
        r.info.push_back("+CPBW: (" + std::to_string(book->first) + "-" + std::to_string(book->last) + "),"
                         + std::to_string(book->numberLength) + ",(129,145)," + std::to_string(book->nameLength));
        return r;
    }
    if (suffix.size() < 2 || suffix[0] != '=')
        return malformed();
    const std::vector<std::string> p = splitParams(suffix.substr(1));
    int index = 0;
    if (p.empty() || p.size() > 4 || (!p[0].empty() && !parseInt(p[0], index)))
        return malformed();
    const bool write = p.size() > 1;
    if (write && (!isQuoted(p[1]) || (p.size() > 3 && !isQuoted(p[3]))))
        return malformed();
    int type = 0;
    const bool typeGiven = p.size() > 2 && !p[2].empty();
    if (typeGiven && (!parseInt(p[2], type) || type < 128 || type > 255))
        return malformed();
    if (m_state.phonebook == "FD" && !m_state.pin2Entered)
        return fail(17); // SIM PIN2 required
    if (!p[0].empty() && (index < book->first || index > book->last))
        return fail(21);
    if (!write) {
        book->entries.erase(index);
        return r;
    }
    PhonebookEntry e;
    e.type = type;
    std::string number = unquote(p[1]);
    // A phone that sends numbers in UCS2 takes them in UCS2 too.
    if (m_charset == "UCS2" && m_state.dialect.ucs2 == Ucs2Support::Numbers) {
        std::string decoded;
        if (!decodeText(number, "UCS2", decoded))
            return fail(27);
        number = decoded;
    }
    if (p.size() > 3 && !decodeText(unquote(p[3]), m_charset, e.name))
        return fail(25); // invalid characters in text string: bad hex, a byte the set has not
    if (const int code = storedNumber(number, typeGiven, e, *book))
        return fail(code);
    if (simNameLength(e.name) > book->nameLength)
        return fail(24);
    if (p[0].empty()) {
        for (int i = book->first; i <= book->last && index == 0; ++i) {
            if (!book->entries.count(i))
                index = i;
        }
        if (index == 0)
            return fail(20);
    }
    book->entries[index] = e;
    return r;
}

} // namespace phonesim
