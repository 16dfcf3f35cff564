// SPDX-License-Identifier: GPL-3.0-or-later
// The phone's side of the AT dialogue: takes the bytes the program writes,
// gives back what the phone answers and when.  No I/O of its own.
#pragma once

#include "phonesim.h"

#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace phonesim {

// A status report on its way from the network (TS 23.040 9.2.2.3).
struct StatusReport {
    int reference = 0;     // TP-MR, as "+CMGS: <mr>" gave it
    std::string recipient; // TP-RA in hex: length, type and digits
    int part = 0;          // the part of a long message (1...); 0: a message in one piece
    int status = -1;       // TP-ST; -1: report.status's for the part
    std::time_t sent = 0;  // when the message was sent
};

// A piece of what the phone writes: the bytes go out delayMs after the
// previous piece has gone out.
struct Output {
    int delayMs = 0;
    std::string bytes;
    bool dropAfter = false; // the line is dropped once these bytes are out
};

class Phone {
public:
    explicit Phone(PhoneState& state);

    // Power-on and ATZ settings: echo as the state says, verbose, no quiet,
    // CMEE 0, the state's character set.
    void reset();
    // Bytes from the program; what the phone answers goes to out, each
    // command line received (without its end) to lines, as the phone took
    // it, and to rawLines as its bytes came (Simulator::receivedLines()).
    void feed(const std::string& bytes, std::vector<Output>& out, std::vector<std::string>& lines,
              std::vector<std::string>& rawLines);
    // A control command changed the echo or the character set in the state:
    // the phone follows now, its other settings stay.
    void followState();
    // The line was dropped: a half-typed line or PDU is lost.
    void lineDropped();
    // An unsolicited result code framed as the phone frames it now.
    std::string unsolicited(const std::string& line) const;
    // A message arrives from the network: what +CNMI's <mt> and the
    // message's class make of it, an unsolicited code ("" none) and whether
    // it is kept at <mem> <index>.
    struct Arrival {
        bool store = true;
        std::string code;
    };
    Arrival messageArrives(const std::string& mem, int index, const std::string& pdu) const;
    // A status report arrives: +CNMI's <ds> sends it (+CDS), stores it in
    // report.store (+CDSI) or lets it go. Returns the unsolicited code ("" none);
    // what became of the report goes to note, for the transcript.
    std::string reportArrives(const StatusReport& report, std::string& note);
    // The status reports asked for by the messages sent since the last call.
    std::vector<StatusReport> takeReports();
    // After "> " the phone waits for a PDU: no unsolicited code comes then.
    bool awaitingPdu() const { return m_mode == Mode::Pdu; }
    // The PDUs accepted by +CMGS, in order.
    const std::vector<std::string>& sentPdus() const { return m_sent; }
    // The network's "+CUSD:" answers to the USSD requests since the last
    // call, due the dialect's ussd_delay_ms after the request's OK.
    std::vector<std::string> takeUssd();

private:
    enum class Kind { Ok, Error, Cme, Cms, Prompt };
    struct Result {
        std::vector<std::string> info;
        Kind kind = Kind::Ok;
        int code = 0;
        bool forceCode = false; // a profile that reports the code whatever +CMEE says
    };
    enum class Mode { Command, Pdu };
    // An extended command as received: its name ("+CPBR") and what follows
    // it: "" to execute, "?" to read, "=?" to test, "=<arguments>" to set.
    struct Request {
        std::string name;
        std::string suffix;
        bool exec() const { return suffix.empty(); }
        bool read() const { return suffix == "?"; }
        bool test() const { return suffix == "=?"; }
        bool set() const { return !exec() && !read() && !test() && suffix[0] == '='; }
        std::string arg() const { return set() ? suffix.substr(1) : std::string(); }
    };
    using Handler = Result (*)(Phone& phone, const Request& command);
    static const std::map<std::string, Handler>& commandTable();

    void onLine(const std::string& raw, std::vector<Output>& out, std::vector<std::string>& lines);
    void onPdu(bool cancelled, std::vector<Output>& out, std::vector<std::string>& lines);
    bool refusedDestination(const std::string& pdu) const;
    std::string execute(const std::string& line);
    Result basic(char letter, const std::string& arg);
    Result extended(const std::string& name, const std::string& suffix);
    // insideAt: where the answer's first information line ends (npos: it has none).
    void deliver(const std::string& command, const std::string& echo, std::string answer, size_t insideAt,
                 std::vector<Output>& out);
    bool matches(const std::string& pattern, const std::string& command) const;
    // The faults that change an extended command's answer as it is made.
    void garble(const std::string& command, Result& r);
    void restart();

    // Information lines as the dialect writes them; firstEnd: where the first one ends.
    std::string info(const std::vector<std::string>& lines, size_t* firstEnd = nullptr) const;
    std::string final(const Result& r) const;
    const char* eol() const { return m_state.dialect.lfOnly ? "\n" : "\r\n"; }
    std::string pduLine(const std::string& pdu) const;
    // The <length> of a stored message's heading (+CMGR, +CMGL).
    std::string storedLength(const std::string& pdu) const;

    // The command families.
    static Result messageError(int code); // +CMS ERROR: <code>
    Result value(const Request& q, const std::string& text);
    Result readOnly(const Request& q, const std::string& text);
    Result errorReports(const Request& q);
    Result simPin(const Request& q);
    Result pinRetries(const Request& q);
    // The +CME ERROR code of a command that needs the SIM while it is not
    // ready (11 waiting for the PIN, 12 for the PUK, 10 absent); 0: none.
    int simRefusal(const std::string& name) const;
    Result characterSet(const Request& q);
    Result functionality(const Request& q);
    Result messageFormat(const Request& q);
    Result messageService(const Request& q);
    Result serviceCentre(const Request& q);
    Result newMessageIndications(const Request& q);
    Result messageStores(const std::string& suffix);
    Result readMessage(const std::string& suffix);
    Result listMessages(const std::string& suffix);
    Result deleteMessage(const std::string& suffix);
    Result startPdu(const std::string& name, const std::string& suffix);
    Result phonebookStore(const std::string& suffix);
    Result readEntries(const std::string& suffix);
    Result writeEntry(const std::string& suffix);
    // AT+CUSD (sim/ussd.cpp): the request to the network and its menus.
    Result ussd(const Request& q);
    // The network's answer to `text`, the request or reply as it read it.
    void ussdNetwork(const std::string& text);
    // The "+CUSD:" line of `m` with `utf8` written in the dialect.
    std::string cusdLine(int m, const std::string& utf8, bool ucs2) const;
    // A +CPBW number as the phone stores it (the form +CPBR gives back) and
    // its type; 0 when it is taken, else the +CME ERROR code.
    int storedNumber(const std::string& given, bool typeGiven, PhonebookEntry& entry, const Phonebook& book) const;

    bool storeExists(const std::string& mem) const;
    int used(const std::string& mem) const;
    int capacity(const std::string& mem) const;
    Phonebook* selectedBook();
    std::string entryLine(int index, const PhonebookEntry& e) const;

    PhoneState& m_state;
    // Settings of the dialogue, reset by ATZ.
    bool m_echo = true;
    bool m_verbose = true;
    bool m_quiet = false;
    int m_cmee = 0;
    std::string m_charset;
    int m_cnmi[5] = {0, 0, 0, 0, 0};
    std::map<int, int> m_sRegisters;
    int m_fun = 1;
    bool m_restartDue = false; // the restart fault waits for the answer's first line

    Mode m_mode = Mode::Command;
    size_t m_insideAt = std::string::npos; // where execute()'s answer has its first information line end
    std::string m_line;                    // the command line being received
    std::string m_rawLine;                 // the same as received, for the echo
    std::string m_rawBytes;                // every byte of the line or PDU being received
    bool m_afterCr = false;                // the last byte ended a command line
    std::string m_pdu;                     // the PDU being received after "> "
    std::string m_pduCommand;              // "+CMGS" or "+CMGW"
    int m_pduLength = 0;
    int m_pduStat = 2;
    std::vector<std::string> m_sent;
    std::vector<StatusReport> m_reports; // asked for, not yet taken
    int m_cusd = 0;                      // AT+CUSD=<n>: the presentation of "+CUSD:"
    int m_ussdMenu = 0;                  // the menu the network waits in: 0 none, 1 or 2
    std::vector<std::string> m_ussdDue;  // answers not yet taken
};

} // namespace phonesim
