// SPDX-License-Identifier: GPL-3.0-or-later
// The phone simulator a bare reader or writer talks to, started from a
// state text.
#pragma once

#include "sim/phonesim.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace bareline {

// The simulator of `stateText`, started; null, and the benchmark skipped
// with the reason, when the state does not load or the pty does not open.
inline std::unique_ptr<phonesim::Simulator> StartedPhone(benchmark::State& state, const std::string& stateText)
{
    phonesim::PhoneState phoneState;
    std::string error;
    if (!phonesim::loadStateText(stateText, phoneState, error)) {
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    auto sim = std::make_unique<phonesim::Simulator>(std::move(phoneState));
    if (!sim->start(&error)) {
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    return sim;
}

} // namespace bareline
