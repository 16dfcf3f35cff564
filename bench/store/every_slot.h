// SPDX-License-Identifier: GPL-3.0-or-later
// A phone whose stores are full: every slot of the SIM (20) and of the
// phone (150) holds a message, and the SIM's phone book has room for 500.
#pragma once

#include <functional>
#include <string>

namespace storetest {

// `message(n)` gives the "<status> <PDU>" of the n-th slot, counted from 0
// over the SIM's slots and then the phone's.
inline std::string EverySlotUsed(const std::function<std::string(int)>& message)
{
    std::string state = "sms.SM.capacity = 20\nsms.ME.capacity = 150\n"
                        "pb.SM.range = 1-500\npb.SM.number_length = 20\npb.SM.name_length = 14\ncpbs = SM\n";
    int n = 0;
    for (const auto& [store, capacity] : {std::pair{"SM", 20}, std::pair{"ME", 150}}) {
        for (int slot = 1; slot <= capacity; ++slot, ++n)
            state += std::string("sms.") + store + "." + std::to_string(slot) + " = " + message(n) + "\n";
    }
    return state;
}

} // namespace storetest
