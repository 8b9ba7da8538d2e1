#pragma once
// Text that comes from outside the program (device and host names, TXT
// values, file names, MIDI port names, USB descriptor strings) made safe to
// write to the log or put on the screen: a control character could start a
// forged log record or drive the terminal. Printable ASCII and well-formed
// UTF-8 stay as they are (a backslash too, so Windows paths stay readable);
// line ends and tabs become \n, \r and \t; every other control character,
// C1 control and byte that is not part of well-formed UTF-8 becomes \xHH.
#include <string>
#include <string_view>

std::string EscapeOutsideText(std::string_view text);
