#pragma once
// When the last successful synchronisation ended (local time), kept in memory and in a
// 12-byte file so that the daily and hourly schedules survive a restart. Used only on the
// control window's thread.
//
// File: int32 status (0 = valid), then the automation date as an IEEE 754 double, both
// little-endian, no header.

#include "common/LogSink.h"
#include "engine/AutomationDate.h"

#include <string>

class LastSyncRecord {
public:
    static constexpr std::size_t kFileSize = 12;

    // fileName is resolved against the current directory ("zHoraluxServ.bin" in the product).
    // Starts at 30 December 1899 00:00, valid. log must outlive the record.
    LastSyncRecord(std::string fileName, LogSink& log);

    // Takes the value and writes the file. A file that cannot be created or written leaves a
    // notice in the log; the old file then stays whole and the value held is the new one.
    void store(const AutomationDate& value);

    // Reads the value from the file. A missing file keeps the value held, silently. A short
    // file, or one whose date is no date at all, leaves a notice in the log and also keeps the value
    // held: status and date are taken together or not at all.
    void load();

    const AutomationDate& value() const { return m_value; }

private:
    const std::string m_strFileName;
    LogSink& m_log;
    AutomationDate m_value;
};
