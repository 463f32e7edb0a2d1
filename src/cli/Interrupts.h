#pragma once

namespace quav {

/// From now on SIGINT, SIGTERM and SIGHUP end the process as they would, but
/// first remove the temporary files of the saves in progress, so that an
/// interrupted command leaves the folder as it found it.
void removeTemporaryFilesOnSignals();

} // namespace quav
