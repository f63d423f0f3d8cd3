// Shutting the computer down when the last running conversion has finished.
#pragma once

namespace veltrano {

// Asks logind to power the computer off (org.freedesktop.login1.Manager
// PowerOff on the system bus, without interactive authorization: nothing is
// forced and no password prompt appears). Returns whether the request was
// accepted; a user who may not shut down gets false.
bool ShutdownComputer();

}  // namespace veltrano
