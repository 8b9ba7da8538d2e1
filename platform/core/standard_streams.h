#pragma once
// The three standard streams at start-up.

namespace platform {

// A closed standard stream would hand its number to the next file opened
// (the log), and text meant for the screen would land in it: each closed
// one is opened on the null device. Called first thing in main().
void KeepStandardStreamsOpen();

}  // namespace platform
