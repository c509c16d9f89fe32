#pragma once
// For tests that need a session bus of their own: the first start runs the same program again
// under dbus-run-session and ends with its exit code; the run inside goes on.
#include <unistd.h>

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace melorin::testing {

// Returns only inside the private bus; outside it never returns.
inline void enterPrivateSessionBus(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("MELORIN_PRIVATE_BUS")) return;
    ::setenv("MELORIN_PRIVATE_BUS", "1", 1);
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) std::exit(1);
    std::vector<char*> args = {const_cast<char*>("dbus-run-session"), const_cast<char*>("--"),
                               self};
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execvp("dbus-run-session", args.data());
    std::perror("dbus-run-session");
    std::exit(1);
}

}  // namespace melorin::testing
