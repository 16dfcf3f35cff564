// SPDX-License-Identifier: GPL-3.0-or-later
#include "pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace phonesim {

bool openRawPty(Pty& pty, std::string& error)
{
    pty = Pty();
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        closePty(pty);
        return false;
    }
    fcntl(pty.master, F_SETFD, FD_CLOEXEC);
    char name[128];
    if (ptsname_r(pty.master, name, sizeof name) != 0) {
        error = "ptsname failed";
        closePty(pty);
        return false;
    }
    pty.path = name;
    pty.slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (pty.slave < 0) {
        error = "cannot open " + pty.path + ": " + std::strerror(errno);
        closePty(pty);
        return false;
    }
    makeRaw(pty.slave);
    return true;
}

void makeRaw(int fd)
{
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    tcsetattr(fd, TCSANOW, &t);
}

void closePty(Pty& pty)
{
    if (pty.slave >= 0)
        close(pty.slave);
    if (pty.master >= 0)
        close(pty.master);
    pty.slave = pty.master = -1;
}

} // namespace phonesim
