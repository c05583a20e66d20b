#include "tools/kit/ProcessHandles_win.h"

#include "common/OptionalFunctions_win.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace {

constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr std::size_t kLargestTable = std::size_t{256} << 20;

// The layout the system fills in: a count, then one entry per open handle.
struct HandleEntry {
    ULONG processId;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleTableHead {
    ULONG count;
    HandleEntry first;
};

}  // namespace

std::optional<unsigned> ProcessHandleCount(DWORD pid) {
    const NtQuerySystemInformationFn query = OptionalFunctions().ntQuerySystemInformation;
    if (query == nullptr) {
        return std::nullopt;
    }
    std::vector<unsigned char> buffer(std::size_t{1} << 20);
    LONG status = 0;
    ULONG length = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                           &length)) == kStatusInfoLengthMismatch &&
           buffer.size() < kLargestTable) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        return std::nullopt;
    }
    ULONG entries = 0;
    std::memcpy(&entries, buffer.data(), sizeof entries);
    const std::size_t first = offsetof(HandleTableHead, first);
    if (first + std::size_t{entries} * sizeof(HandleEntry) > buffer.size()) {
        return std::nullopt;
    }
    unsigned count = 0;
    for (ULONG i = 0; i < entries; ++i) {
        HandleEntry entry{};
        std::memcpy(&entry, buffer.data() + first + i * sizeof(HandleEntry), sizeof entry);
        count += entry.processId == pid ? 1 : 0;
    }
    return count;
}
