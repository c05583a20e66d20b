// The time-server list as the service reads it from the settings file: each entry's record
// text "title~address~flag" parsed, the list loaded (and rebuilt when damaged), the starting
// server brought into range, and each address taken apart as a run takes it.
//
// Input: one byte for the counter key (as a signed number), one for the starting server, then
// the entries' record texts, one per line.

#include "settings/Settings.h"
#include "sntp/NetAddress.h"
#include "sntp/QueryPacer.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FakeProfileStore.h"

#include <sstream>

namespace {

constexpr std::size_t kPrefixSize = 2;

// One record text parsed alone: on success the entry writes back the same entry; on failure it
// stays as it was.
void CheckRecord(const std::string& record) {
    CTimeServer entry("old title", "old address", 42);
    if (!entry.Parse(record)) {
        FUZZ_CHECK(entry == CTimeServer("old title", "old address", 42));
        return;
    }
    FUZZ_CHECK(!entry.m_strTitle.empty() && !entry.m_strAddress.empty());
    FUZZ_CHECK(entry.m_strTitle.find('~') == std::string::npos);
    FUZZ_CHECK(entry.m_strAddress.find('~') == std::string::npos);
    FUZZ_CHECK(record.compare(0, entry.m_strTitle.size() + 1, entry.m_strTitle + '~') == 0);
    CTimeServer again;
    FUZZ_CHECK(again.Parse(entry.Format()) && again == entry);
}

// What a run does with an entry's address: its pacing key and, for an address literal, the
// address with the port.
void CheckAddress(const std::string& address) {
    FUZZ_CHECK(ServerKey(address).size() == address.size());
    const std::optional<NetAddress> literal = parseAddressLiteral(address, 123);
    if (literal) {
        FUZZ_CHECK(literal->port() == 123);
        const std::optional<NetAddress> again = parseAddressLiteral(literal->hostText(), 123);
        FUZZ_CHECK(again && *again == *literal);
        FUZZ_CHECK(!literal->toString().empty());
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kPrefixSize) {
        return 0;
    }
    const int counter = static_cast<std::int8_t>(data[0]);
    const int startingServer = static_cast<std::int8_t>(data[1]);
    const std::vector<std::string> records = Lines(FuzzText(data + kPrefixSize, size - kPrefixSize));

    CFakeProfileStore store;
    CSettings settings(store, [] { return std::string("12/8/2025 1:23:45 AM"); });
    settings.SetRepairsServerList(true);  // as the service does
    const std::string& file = settings.m_strFileName;
    (void)store.writeString(file, "Options", "nStartingServ", std::to_string(startingServer));
    (void)store.writeString(file, "Servers", "Servers_Counter", std::to_string(counter));
    for (std::size_t i = 0; i < records.size(); ++i) {
        CheckRecord(records[i]);
        (void)store.writeString(file, "Servers", "Servers " + std::to_string(i), records[i]);
    }

    settings.Load();
    const CTimeServerList& list = settings.m_servers;
    FUZZ_CHECK(list.GetCount() >= 1);
    FUZZ_CHECK(settings.m_nStartingServ >= 0 && settings.m_nStartingServ < list.GetCount());
    FUZZ_CHECK(!settings.GetStartingServerTitle().empty());
    for (int i = 0; i < list.GetCount(); ++i) {
        CheckAddress(list.GetAt(i).m_strAddress);
    }

    // What the service wrote back (a rebuilt list) loads again as the same list.
    CSettings reloaded(store, [] { return std::string(); });
    reloaded.Load();
    FUZZ_CHECK(reloaded.m_servers.GetCount() == list.GetCount());
    for (int i = 0; i < list.GetCount(); ++i) {
        FUZZ_CHECK(reloaded.m_servers.GetAt(i) == list.GetAt(i));
    }
    return 0;
}

// The unit tests' records: default and user entries, odd flag parts, extra '~', damaged ones.
std::vector<std::string> FuzzSeeds() {
    const std::string header("\x03\x00", 2);
    return {
        header + "USA. NIST~129.6.15.28~0\nMine~time.example~1\nChile.     U~h~0\n",
        header + "t~a~  -3x\nt~a~\t+7\nt~a~12abc\n",
        header + "t~a~\nt~a~abc\nt~a~-\n",
        std::string("\x02\x01", 2) + "t~a~1~junk~x\nt~a~~1\n",
        std::string("\x04\x19", 2) + "t~a~2147483647\nt~a~-99999999999999999999\nno tilde at all\ntitle~~1\n",
        std::string("\x03\xff", 2) + "A~127.0.0.1~1\n\nC~[::1]~1\n",
        std::string("\x02\x00", 2) + "v6~2001:db8::1~1\nscoped~fe80::1%2~1\n",
        std::string("\x00\x00", 2),
    };
}
