#include "engine/LastSyncRecord.h"

#include "common/LogResult.h"
#include "engine/FileStore.h"

#include <cstdint>
#include <cstring>

namespace {

// The texts are the product's own, spelling included.
constexpr const char* kStoreFailed = "Error. Faild storing the last synchonization date and time.";
constexpr const char* kLoadFailed = "Error. Faild loading the last synchonization date and time.";

void putLittleEndian(std::string& bytes, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::uint64_t getLittleEndian(const std::string& bytes, std::size_t offset, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
    }
    return value;
}

std::string encode(const AutomationDate& value) {
    std::uint64_t dayBits = 0;
    const double days = value.days();
    std::memcpy(&dayBits, &days, sizeof days);
    std::string bytes;
    putLittleEndian(bytes, static_cast<std::uint32_t>(value.status()), 4);
    putLittleEndian(bytes, dayBits, 8);
    return bytes;
}

AutomationDate decode(const std::string& bytes) {
    const auto status = static_cast<std::int32_t>(static_cast<std::uint32_t>(getLittleEndian(bytes, 0, 4)));
    const std::uint64_t dayBits = getLittleEndian(bytes, 4, 8);
    double days = 0.0;
    std::memcpy(&days, &dayBits, sizeof days);
    return AutomationDate(days, status);
}

// Whether the days are a date at all (not a number, infinite or beyond the calendar are not),
// whatever the status says: such a record is damage like a short one.
bool isCalendarDate(const AutomationDate& value) {
    return AutomationDate(value.days(), static_cast<std::int32_t>(AutomationDate::Status::Valid)).isValid();
}

}  // namespace

LastSyncRecord::LastSyncRecord(std::string fileName, LogSink& log)
    : m_strFileName(std::move(fileName)), m_log(log) {}

void LastSyncRecord::store(const AutomationDate& value) {
    m_value = value;
    if (ReplaceFileContents(m_strFileName, encode(value)) != FileWriteResult::Written) {
        m_log.write(kStoreFailed, LOG_NOTICE, 0.0);
    }
}

void LastSyncRecord::load() {
    std::string bytes;
    if (!ReadFileContents(m_strFileName, bytes)) {
        return;
    }
    if (bytes.size() < kFileSize || !isCalendarDate(decode(bytes))) {
        m_log.write(kLoadFailed, LOG_NOTICE, 0.0);
        return;
    }
    m_value = decode(bytes);
}
