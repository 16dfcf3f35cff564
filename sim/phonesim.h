// SPDX-License-Identifier: GPL-3.0-or-later
// The phone simulator: a GSM phone on a pseudo-terminal that speaks the
// GSM 07.05 / 07.07 dialect in PDU mode, for the tests and the demo.
// Standard library and POSIX only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace phonesim {

// One stored short message: its status as +CMGR reports it (0 received
// unread, 1 received read, 2 stored unsent, 3 stored sent; some phones store
// other numbers, and a status that does not match the PDU) and the PDU as
// upper-case hex, service-centre part included.
struct StoredMessage {
    int stat = 0;
    std::string pdu;
};

// A short-message store ("SM", "ME", or "SR" for status reports): slots 1..capacity.
struct MessageStore {
    int capacity = 0;
    std::map<int, StoredMessage> messages;
};

struct PhonebookEntry {
    std::string number;
    int type = 129;   // 145 international, 129 unknown (TS 24.008 10.5.4.7)
    std::string name; // UTF-8
};

// A phone book ("SM", "ME", "FD"): indices first..last, field widths as
// +CPBR=? reports them.
struct Phonebook {
    int first = 1;
    int last = 0;
    int numberLength = 40;
    int nameLength = 18;
    std::map<int, PhonebookEntry> entries;
};

enum class EmptySlotAnswer { Zero, Ok, Cms321 }; // "+CMGR: 0,,0", "OK", "+CMS ERROR: 321"
enum class EmptyEntryAnswer { Ok, Cme22 };       // "OK", "+CME ERROR: 22"
enum class Ucs2Support { None, Names, Numbers }; // +CSCS="UCS2" refused; names in hex; numbers too
enum class SimState { Ready, Pin, Puk, Absent }; // +CPIN: READY, SIM PIN, SIM PUK; +CME ERROR: 10
// What +CPBW makes of a number given with type 145: one "+" whether or not
// the number had one ("3471234567",145 and "+3471234567",145 both read back
// "+3471234567"), or a "+" put before the number as given, so that
// "+3471234567",145 reads back "++3471234567".
enum class PlusHabit { Once, Doubled };
// How the modem passes USSD strings (AT+CUSD): as text in the +CSCS set
// both ways; as hex of packed septets both ways (Huawei); codes as text
// and answers as UCS2 hex; or not at all (AT+CUSD answers ERROR).
enum class UssdDialect { Text, PackedHex, Ucs2, None };

// How the phone writes its answers (README: "Dialects").
struct Dialect {
    bool echoCrCr = false;      // the echo of a command line ends with CR CR
    bool lfOnly = false;        // line ends are LF only
    bool blanks = false;        // a blank after the commas of information lines
    bool trailingBlank = false; // a blank at the end of each information line
    bool lowerHex = false;      // PDUs and UCS2 phone-book fields in lower-case hex
    bool pduQuote = false;      // a double quote right after the PDU on its line
    bool cmgrStatus = true;     // false: "+CMGR: ,,<length>"
    bool wholeLength = false;   // the <length> of +CMGR and +CMGL counts the service centre too
    bool cpbrGap = false;       // '+CPBR: 1,,"<number>",<type>,"<name>","<date>"'
    Ucs2Support ucs2 = Ucs2Support::Names;
    // What AT+CNMI=? answers after "+CNMI: ", the values a set may take;
    // "none": every +CNMI command is refused.
    std::string cnmiRanges = "(0-2),(0-3),(0,2),(0,1),(0,1)";
    UssdDialect ussd = UssdDialect::Text;
    int ussdDelayMs = 300; // from the OK of AT+CUSD=1 to the network's "+CUSD:"
};

// The status reports the network sends for messages sent with TP-SRR
// (TS 23.040 9.2.2.3), and how.
struct Reports {
    int delayMs = 1500; // after the "+CMGS: <mr>" of the message
    // TP-ST of parts 1, 2... of a long message, the last one for the parts
    // after it; a message in one piece gets the first.
    std::vector<int> status{0};
    // TP-SCTS as "YYMMDDhhmmss[+|-<quarters>]", TP-DT 2 s later; empty: the
    // time the message was sent.
    std::string time;
    std::string store = "SM"; // where +CNMI's <ds> 2 keeps them
};

// Where an unsolicited line falls around an answer: before the echo, between
// the echo and the answer, after the answer's first information line (before
// the answer where it has none), after the final result code.
enum class UnsolicitedPosition { BeforeEcho, Before, Inside, After };

// Faults switched on and off while the phone runs (README: "Faults").
struct Faults {
    bool noEcho = false; // the phone never echoes
    bool silent = false; // the phone reads everything and answers nothing
    bool slow = false;   // bytes paced at 19200 baud 8N1, plus slowDelayMs per command
    int slowDelayMs = 50;
    std::vector<std::string> errorCommands; // command prefixes answered "ERROR"
    int cmeCode = 0;                        // a locked SIM answers 11 to what needs it
    std::vector<std::string> cmeCommands;   // command prefixes answered "+CME ERROR: cmeCode"
    struct Unsolicited {
        UnsolicitedPosition position = UnsolicitedPosition::Before;
        std::string line; // "\n" between the lines of one code (a +CMT and its PDU)
    };
    std::vector<Unsolicited> unsolicited; // one-shot, each on the next answer
    // A chatty modem: every urcEvery-th answer gets the next line of
    // unsolicitedSchedule() at the next position (BeforeEcho, Before, Inside,
    // After, again); urcCount counts the answers so far.
    bool urc = false;
    int urcEvery = 1;
    long urcCount = 0;
    bool pieces = false; // answers in pieces of pieceSize bytes
    int pieceSize = 3;
    int pieceGapMs = 30;
    bool late = false; // answers (to latePattern, or all) held back lateMs
    int lateMs = 0;
    std::string latePattern;
    bool drop = false; // one-shot: the next answer (to dropPattern) is cut and the line dropped
    std::string dropPattern;
    bool garble = false; // one-shot: the next answer (to garblePattern) loses the start of a line
    std::string garblePattern;
    bool restart = false; // one-shot: the phone restarts inside the next answer (to restartPattern)
    std::string restartPattern;
    bool reject = false;  // the network refuses what +CMGS submits: +CMS ERROR: rejectCode
    int rejectCode = 500; // unknown error; 330 (no service centre), 331 (no network)...
    int rejectAfter = 0;  // messages still taken before the refusals begin
    // The network refuses what is sent to these numbers (their digits, a
    // "+" or not): +CMS ERROR: refuseCode; the others go as ever.
    bool refuse = false;
    int refuseCode = 500;
    std::vector<std::string> refuseNumbers;
    // A flood: floodLine ("\n" between the lines of one code) framed as an
    // unsolicited code, again and again, floodRate bytes a second, while a
    // program has the port open, between the answers (an answer held back
    // by "late" lets it go on).
    bool flood = false;
    int floodRate = 200000;
    std::string floodLine = "RING";
    // A listing that is not the store: +CMGL leaves a slot out, gives only
    // the first `digits` digits of its PDU line (its <length> as before), or
    // puts a stray "OK" line after it.
    struct Listing {
        enum What { Omit, Cut, Ok } what = Omit;
        int slot = 0;
        int digits = 0; // Cut
    };
    std::vector<Listing> listing;
};

struct PhoneState {
    std::string manufacturer = "Nokia";
    std::string model = "Nokia 6310i";
    std::string revision = "V 5.10";
    std::string serial = "350612345678901"; // IMEI, +CGSN
    std::string imsi = "222013456789012";   // +CIMI
    std::string operatorName = "I TIM";
    std::string smsc = "+393359609600";
    int smscType = 145;
    bool echo = true; // echo after power-on and ATZ
    std::string charset = "GSM";
    EmptySlotAnswer emptySlot = EmptySlotAnswer::Zero;
    EmptyEntryAnswer emptyEntry = EmptyEntryAnswer::Ok;
    bool phoneStore = true;                            // false: no "ME" message store
    PlusHabit numberPlus = PlusHabit::Once;            // how +CPBW stores a number of type 145
    int nextReference = 1;                             // the next +CMGS reference
    std::string mem1 = "SM", mem2 = "SM", mem3 = "SM"; // +CPMS selection
    std::string phonebook = "SM";                      // +CPBS selection
    std::map<std::string, MessageStore> stores;        // "SM", "ME", "SR"
    std::map<std::string, Phonebook> phonebooks;       // "SM", "ME", "FD"
    // The SIM: whether it waits for its PIN (which ATZ does not change), the
    // PIN it takes and the tries left before it wants its PUK.
    SimState simState = SimState::Ready;
    std::string simPin = "0000";
    int simTries = 3;
    // Whether PIN2 has been given: without it the fixed-dialling book "FD"
    // is read-only, and +CPBW there answers +CME ERROR: 17.
    bool pin2Entered = false;
    Reports reports;
    Dialect dialect;
    Faults faults;
};

// Parse a state file / state text. false + message on error.  A relative
// "include" is taken from the including file's folder, or from sampleDir()
// for a text.
bool loadStateFile(const std::string& path, PhoneState& out, std::string& error);
bool loadStateText(const std::string& text, PhoneState& out, std::string& error);
// Apply one "key = value" line to a state (what "set key value" does).
bool applyStateLine(const std::string& line, PhoneState& state, std::string& error);
// The state as state-file text; loadStateText of it gives the state back.
std::string dumpState(const PhoneState& state);

// Named kinds of phone, each the state lines it stands for ("urc" is
// {"fault.urc = on"}).  The state key "profile" applies them.
const std::map<std::string, std::vector<std::string>>& profiles();
bool applyProfile(const std::string& name, PhoneState& state, std::string& error);

// The unsolicited result codes of the "urc" fault, in the order they come;
// "\n" separates a code's lines (+CMT and +CDS are followed by their PDU).
const std::vector<std::string>& unsolicitedSchedule();

// Absolute path of the shipped samples (sim/samples).
std::string sampleDir();

class Simulator {
public:
    explicit Simulator(PhoneState state);
    ~Simulator(); // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pty (raw mode), makes the symlink if asked, serves on its own thread.
    bool start(std::string* error = nullptr, const std::string& symlinkPath = "");
    // The slave side, e.g. /dev/pts/7, or the symlink if one was made.  A
    // drop opens a new pty: without a symlink the path changes.
    std::string devicePath() const;
    std::string ptyPath() const; // the slave side itself
    void stop();

    // The control channel, one text command per call, answer text back:
    //   deliver <mem> <index> <stat> <pduhex> | delete <mem> <index> | drop
    //   report <mr> <number> [<status>] | fault <name> on|off [args]
    //   set <key> <value> | get <key> | dump | unsolicited <line> | sent | help
    std::string control(const std::string& command);

    // Every command line received, in order, without its line end,
    // including a PDU line after a prompt with its Ctrl-Z or ESC; empty
    // lines are left out.  The line as the phone took it: a backspace has
    // removed the character before it, a NUL or ESC is gone.
    std::vector<std::string> commands() const;
    // Every line received as its bytes came, before the phone edited it:
    // backspaces, NULs, ESCs and any other control byte kept, the CR that
    // ends it (and a LF right after that CR) left out; a PDU line after a
    // prompt with its Ctrl-Z or ESC (CR and LF in it left out, as the phone
    // ignores them there).  Lines that came empty are left out, so it lists
    // the lines of commands() in the same order, and also a line the
    // editing left empty ("\x00" alone).
    std::vector<std::string> receivedLines() const;
    std::string received() const;              // every byte received, raw
    std::string transcript() const;            // timestamped, both directions, readable
    void clearTranscript();                    // forget commands/received/transcript
    std::vector<std::string> sentPdus() const; // PDUs accepted by +CMGS, in order
    // Also append every transcript line to this file ("" stops).
    void setTranscriptFile(const std::string& path);
    // Times the line was dropped so far.
    int drops() const;

    // The phone's own time, by which its delays fall due (a late answer,
    // the gaps between pieces, a status report): real time, or from
    // useTestTime() on a time that stands still until setTestTime() moves
    // it, so that a test's clock decides when each delay ends.
    void useTestTime();
    // The phone's time set to `ns` after the moment useTestTime() was called.
    void setTestTime(long long ns);
    // When the phone next has something to write, in ns of test time (now
    // when it is already due), or -1 when nothing waits for a time.
    long long nextDueNs() const;
    // Whether everything that fell due by the phone's time has been written.
    bool caughtUp() const;
    // The bytes written to the program, and read from it, since the program
    // last opened or closed the port.
    unsigned long long bytesWritten() const;
    unsigned long long bytesRead() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace phonesim
