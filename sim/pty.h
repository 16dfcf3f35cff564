// SPDX-License-Identifier: GPL-3.0-or-later
// A pseudo-terminal as the serial line of a phone: the master is the
// phone's end, the slave the program's port.  Shared by the simulator and
// the tests' scripted phone.  POSIX only.
#pragma once

#include <string>

namespace phonesim {

struct Pty {
    int master = -1;  // non-blocking
    int slave = -1;   // kept open, so that the line outlives the program's close
    std::string path; // the slave side, e.g. /dev/pts/7
};

// Opens a pty: both ends close-on-exec, the master non-blocking, the slave
// raw at 19200 baud.  false + message on error, with nothing left open.
bool openRawPty(Pty& pty, std::string& error);
// Raw 8N1 at 19200 baud, as a phone's serial line is set.
void makeRaw(int fd);
// Closes the ends that are open.
void closePty(Pty& pty);

} // namespace phonesim
