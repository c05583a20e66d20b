#pragma once
// An address literal as tests write it ("127.0.0.1", "::1") with a port; a literal that is
// none throws, which fails the test.

#include "sntp/NetAddress.h"

#include <string>

inline NetAddress TestAddress(const std::string& text, int port) {
    return parseAddressLiteral(text, static_cast<std::uint16_t>(port)).value();
}
