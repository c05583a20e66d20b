#include "tools/kit/VirtualNetwork.h"

#include <algorithm>
#include <deque>
#include <memory>

#include "sntp/SocketPlatform.h"

namespace sp = socket_platform;

namespace {

// What has arrived for one channel; shared with the deliveries on their way, which find it gone
// once the channel has closed.
struct Inbox {
    std::mutex mutex;
    std::deque<VirtualDelivery> queDeliveries;

    bool hasMail() {
        const std::lock_guard<std::mutex> lock(mutex);
        return !queDeliveries.empty();
    }
};

}  // namespace

class CVirtualNetwork::CChannel final : public DatagramChannel {
public:
    CChannel(CVirtualNetwork& network, const NetAddress& peer) : m_network(network), m_peer(peer) {
        const std::lock_guard<std::mutex> lock(m_network.m_mutex);
        ++m_network.m_nOpen;
    }
    ~CChannel() override {
        const std::lock_guard<std::mutex> lock(m_network.m_mutex);
        --m_network.m_nOpen;
    }
    CChannel(const CChannel&) = delete;
    CChannel& operator=(const CChannel&) = delete;

    SystemResult send(const std::uint8_t* data, std::size_t length) override {
        for (VirtualDelivery& delivery :
             m_network.carry(m_peer, std::vector<std::uint8_t>(data, data + length))) {
            const std::weak_ptr<Inbox> inbox = m_pInbox;
            const MonotonicClock::TimePoint at = delivery.at;
            m_network.m_clock.at(at, [inbox, delivery = std::move(delivery)] {
                if (const std::shared_ptr<Inbox> open = inbox.lock()) {
                    const std::lock_guard<std::mutex> lock(open->mutex);
                    open->queDeliveries.push_back(delivery);
                }
            });
        }
        return SystemResult::success();
    }

    DatagramWait waitReadable(MonotonicClock::TimePoint deadline, const std::atomic<bool>* stop) override {
        switch (m_network.m_clock.runUntil(deadline, stop, [this] { return m_pInbox->hasMail(); })) {
            case CVirtualMonotonicClock::WaitEnd::Ready: return {DatagramWait::Status::Readable, 0};
            case CVirtualMonotonicClock::WaitEnd::Stopped: return {DatagramWait::Status::Stopped, 0};
            case CVirtualMonotonicClock::WaitEnd::Deadline: break;
        }
        return {DatagramWait::Status::TimedOut, 0};
    }

    DatagramReceipt receive(std::uint8_t* buffer, std::size_t capacity) override {
        std::optional<VirtualDelivery> delivery;
        {
            const std::lock_guard<std::mutex> lock(m_pInbox->mutex);
            if (!m_pInbox->queDeliveries.empty()) {
                delivery = std::move(m_pInbox->queDeliveries.front());
                m_pInbox->queDeliveries.pop_front();
            }
        }
        if (!delivery) {
            return failed(static_cast<unsigned long>(sp::kErrorInvalidArgument));  // nothing was waiting
        }
        if (delivery->nError != 0) {
            return failed(delivery->nError);
        }
        if (delivery->from && *delivery->from != m_peer) {
            return {DatagramReceipt::Status::NotFromPeer, 0, 0};
        }
        if (delivery->bytes.size() > capacity) {
            return failed(static_cast<unsigned long>(sp::kErrorMessageSize));
        }
        std::copy(delivery->bytes.begin(), delivery->bytes.end(), buffer);
        return {DatagramReceipt::Status::Received, delivery->bytes.size(), 0};
    }

private:
    static DatagramReceipt failed(unsigned long error) { return {DatagramReceipt::Status::Failed, 0, error}; }

    CVirtualNetwork& m_network;
    const NetAddress m_peer;
    const std::shared_ptr<Inbox> m_pInbox = std::make_shared<Inbox>();
};

void CVirtualNetwork::attach(const NetAddress& address, VirtualPeer& peer) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_mapPeers[address.toString()] = &peer;
}

void CVirtualNetwork::refuse(const NetAddress& address) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_setRefusing.insert(address.toString());
}

SystemResult CVirtualNetwork::connect(const NetAddress& peer, std::unique_ptr<DatagramChannel>& channel) {
    if (!peer.isUsablePeer() || peer.port() == 0) {
        return SystemResult::failure(static_cast<unsigned long>(sp::kErrorInvalidArgument));
    }
    channel = std::make_unique<CChannel>(*this, peer);
    return SystemResult::success();
}

// Notes the datagram and asks its addressee, outside the lock: a peer may take its time.
std::vector<VirtualDelivery> CVirtualNetwork::carry(const NetAddress& to,
                                                    const std::vector<std::uint8_t>& datagram) {
    const MonotonicClock::TimePoint now = m_clock.now();
    VirtualPeer* peer = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_vecSent.push_back(SentDatagram{to, datagram, now});
        if (m_setRefusing.count(to.toString()) != 0) {
            return {VirtualDelivery{now, {}, static_cast<unsigned long>(sp::kErrorPortUnreachable), {}}};
        }
        const auto found = m_mapPeers.find(to.toString());
        peer = found == m_mapPeers.end() ? nullptr : found->second;
    }
    return peer ? peer->answer(datagram, now) : std::vector<VirtualDelivery>();
}

std::vector<SentDatagram> CVirtualNetwork::sent() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_vecSent;
}

int CVirtualNetwork::openChannels() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_nOpen;
}
