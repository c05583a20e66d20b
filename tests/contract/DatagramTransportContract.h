#pragma once
// What the time protocol client relies on from the datagram transport, for the virtual network
// and the UDP sockets alike: a server that answers, one that stays silent, a stop, a datagram
// too long for the buffer and an address no request may go to. Each subject has a scripted
// SNTP server at server() and the monotonic clock its waits run on.

#include "sntp/DatagramTransport.h"
#include "tests/contract/Contract.h"
#include "tools/kit/SntpReplyScript.h"

class DatagramTransportSubject {
public:
    virtual ~DatagramTransportSubject() = default;
    virtual DatagramTransport& transport() = 0;
    virtual const MonotonicClock& clock() = 0;
    virtual NetAddress server() = 0;
    virtual CSntpReplyScript& script() = 0;
};

class DatagramTransportContract : public ContractTest<DatagramTransportSubject> {};
