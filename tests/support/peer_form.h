// SPDX-License-Identifier: GPL-3.0-or-later
// A Form1 whose line is the scripted phone on a pseudo-terminal, for the
// answers the simulator never gives.
#pragma once

#include "support/scripted_peer.h"
#include "window/form1.h"

#include <gtest/gtest.h>

struct PeerForm {
    scripted::Peer peer;
    Form1 form;

    // Starts the peer and opens the window's port on it.
    testing::AssertionResult open()
    {
        std::string error;
        if (!peer.start(&error))
            return testing::AssertionFailure() << "the scripted phone did not start: " << error;
        form.Termina = [] {};
        form.MSComm1->setPortName(QString::fromStdString(peer.devicePath()));
        if (!form.MSComm1->open(QIODevice::ReadWrite))
            return testing::AssertionFailure() << form.MSComm1->errorString().toStdString();
        return testing::AssertionSuccess();
    }
};
