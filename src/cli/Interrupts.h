#pragma once

namespace quav {

/// From now on SIGINT, SIGTERM, SIGHUP and SIGQUIT end the process as they
/// would, but first remove the temporary files of the saves in progress, so that
/// an interrupted command leaves the folder as it found it; SIGXFSZ is ignored,
/// so a write beyond a file-size limit fails with a message instead.
void removeTemporaryFilesOnSignals();

} // namespace quav
