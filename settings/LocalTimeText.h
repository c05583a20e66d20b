#pragma once
// The current local date and time as text in the user's default locale format (short
// date, a blank, time with seconds): the probe text of CSettings::IsWritable. Win32 only
// (LocalTimeText_win.cpp); the portable core receives it as a CSettings constructor
// argument.

#include <string>

std::string LocalDateTimeText();
