#include "sntp/SocketLibrary.h"

// BSD sockets need no start-up.
CSocketLibrary::CSocketLibrary() : m_status{true, 0, 1, 1} {}

CSocketLibrary::~CSocketLibrary() = default;
