#include "cli/Interrupts.h"

#include "model/FileIo.h"

#include <csignal>

namespace quav {

namespace {

extern "C" void removeTemporariesAndEnd(int signal) {
    removeTemporaryFilesInProgress();
    // The disposition is the default again (SA_RESETHAND): the signal, blocked
    // while this handler runs, ends the process once it returns.
    std::raise(signal);
}

} // namespace

void removeTemporaryFilesOnSignals() {
    struct sigaction action {};
    action.sa_handler = removeTemporariesAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(signal, &action, nullptr);
    // Beyond a file-size limit a write fails with EFBIG, which the command reports,
    // instead of the signal ending the process without a word.
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace quav
