// SPDX-License-Identifier: GPL-3.0-or-later
// The few fields of short-message PDUs (TS 23.040) that the phone reads and
// writes itself: the class of a message that arrives, the destination and
// part of a message sent, and the status report the network sends back.
// PDUs are hex, service-centre part first, as +CMGR gives them.
#pragma once

#include <ctime>
#include <string>

namespace phonesim {

// How an SMS-DELIVER is to be kept, from its data coding scheme (TS 23.038
// 4): its message class (0-3; -1 none, and for what is not an
// SMS-DELIVER), and whether it is a message-waiting indication to store.
struct DeliverClass {
    int messageClass = -1;
    bool storeGroup = false;
};
DeliverClass deliverClass(const std::string& pdu);

// What +CMGS needs of an SMS-SUBMIT: whether it asks for a status report
// (TP-SRR), its destination (TP-DA) in hex as it came (length, type,
// digits), and its part of a long message (1...; 0 for a message in one
// piece). false when the PDU is too short for its fields.
struct Submitted {
    bool reportAsked = false;
    std::string destination;
    int part = 0;
};
bool readSubmit(const std::string& pdu, Submitted& out);
// The digits of an address field in hex as readSubmit gives it (length,
// type, semi-octets): "0C91934317325476" is "393471234567".
std::string addressDigits(const std::string& field);

// An address field (TS 23.040 9.1.2.5) in hex: "+393471234567" is
// "0C91934317325476", a number without "+" has type 129.
std::string addressField(const std::string& number);
// The service-centre part a PDU starts with (TS 24.011 8.2.5.1): its
// length in octets, then type and digits; "00" when there is none.
std::string serviceCentreField(const std::string& number, int type);

// A time as the service centre tells it: the wall-clock date and time and
// the zone, in quarters of an hour east of UTC.
struct WallTime {
    std::tm tm{};
    int quarters = 0;
};
WallTime localWallTime(std::time_t t);
// "YYMMDDhhmmss", optionally followed by the zone in quarters of an hour
// ("240405101500+8"); false when it is not a time.
bool parseWallTime(const std::string& text, WallTime& out);
WallTime secondsLater(const WallTime& t, int seconds);
// TP-SCTS / TP-DT (TS 23.040 9.2.3.11): 7 octets in hex, semi-octets swapped.
std::string timeStampField(const WallTime& t);

// An SMS-STATUS-REPORT (TS 23.040 9.2.2.3) in hex: the service-centre part
// given, first octet 06, TP-MR, TP-RA (an address field in hex), TP-SCTS,
// TP-DT and TP-ST.
std::string statusReportPdu(const std::string& serviceCentre, int reference, const std::string& recipient,
                            const WallTime& received, const WallTime& done, int status);

} // namespace phonesim
