// The console channel's records: their bytes on the wire, and every way a message can fail to
// be one.

#include "common/ChannelProtocol.h"

#include "common/ClockStatus.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<unsigned char> Encoded(ChannelKind kind, std::int32_t value) {
    ChannelBytes bytes;
    EncodeRecord(ChannelRecord{kind, value}, bytes);
    return std::vector<unsigned char>(std::begin(bytes), std::end(bytes));
}

RecordFault FaultOf(const std::vector<unsigned char>& bytes) {
    return DecodeRecord(bytes.data(), bytes.size()).fault;
}

TEST(ChannelProtocolTest, ARecordIsSixteenLittleEndianBytesThatDecodeToWhatWasEncoded) {
    EXPECT_EQ(Encoded(ChannelKind::SyncResult, 3),
              (std::vector<unsigned char>{0x48, 0x4C, 0x58, 0x43, 1, 0, 0xE5, 0x07, 3, 0, 0, 0, 0, 0, 0, 0}));
    const std::pair<ChannelKind, std::int32_t> records[] = {
        {ChannelKind::ConsoleHello, 0}, {ChannelKind::ServiceHello, 0}, {ChannelKind::OptionsUpdated, 0},
        {ChannelKind::SyncNow, 0},      {ChannelKind::SyncBreak, 0},    {ChannelKind::SyncResult, 0},
        {ChannelKind::SyncResult, 1},   {ChannelKind::SyncResult, 2},
    };
    for (const auto& [kind, value] : records) {
        const std::vector<unsigned char> bytes = Encoded(kind, value);
        const DecodedRecord decoded = DecodeRecord(bytes.data(), bytes.size());
        EXPECT_EQ(decoded.fault, RecordFault::None) << static_cast<int>(kind);
        EXPECT_EQ(decoded.record.kind, kind);
        EXPECT_EQ(decoded.record.value, value);
        // Each kind goes one way only.
        EXPECT_NE(IsConsoleRequest(kind), IsServiceNotice(kind));
    }
    // The kinds are the window messages they stand for.
    EXPECT_EQ(static_cast<unsigned>(ChannelKind::SyncNow), UM_SYNC_NOW);
    EXPECT_EQ(static_cast<unsigned>(ChannelKind::SyncResult), UM_SYNC_RESULT);
}

TEST(ChannelProtocolTest, EveryFieldOutOfBoundsAndEverySizeButSixteenIsAFault) {
    const std::vector<unsigned char> good = Encoded(ChannelKind::SyncNow, 0);
    for (std::size_t size = 0; size <= 64; ++size) {
        if (size != channel::kRecordSize) {
            std::vector<unsigned char> bytes(size, 0);
            std::copy(good.begin(), good.begin() + static_cast<long>(std::min(size, good.size())),
                      bytes.begin());
            EXPECT_EQ(FaultOf(bytes), RecordFault::Size) << size;
        }
    }
    struct Case {
        std::size_t offset;
        unsigned char byte;
        RecordFault fault;
    };
    const Case cases[] = {
        {0, 0x49, RecordFault::Magic},  {3, 0x00, RecordFault::Magic},     {4, 0, RecordFault::Version},
        {4, 2, RecordFault::Version},   {5, 1, RecordFault::Version},      {6, 0xE7, RecordFault::Kind},
        {7, 0, RecordFault::Kind},      {8, 1, RecordFault::Value},        {11, 0x80, RecordFault::Value},
        {12, 1, RecordFault::Reserved}, {15, 0xFF, RecordFault::Reserved},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> bytes = good;
        bytes[c.offset] = c.byte;
        EXPECT_EQ(FaultOf(bytes), c.fault) << "byte " << c.offset;
    }
    // Results carry the codes 0 to 4 only (4: the log file takes no lines); no notice line (-1)
    // and nothing beyond.
    EXPECT_EQ(FaultOf(Encoded(ChannelKind::SyncResult, 4)), RecordFault::None);
    EXPECT_EQ(FaultOf(Encoded(ChannelKind::SyncResult, -1)), RecordFault::Value);
    EXPECT_EQ(FaultOf(Encoded(ChannelKind::SyncResult, 5)), RecordFault::Value);
}

// The service's state crosses the wire whole, a value beyond its field's range is clamped on
// the way out and a fault on the way in, and an answer with a field twice or missing is no answer.
TEST(ChannelProtocolTest, AStatusAnswerRoundTripsWithinItsFieldsRanges) {
    const ClockStatus sent{4, 1, 86399, 3, 1800, -41250, 1024, 0, 2000000000};
    CClockStatusCollector collector;
    for (const ChannelRecord& record : ClockStatusRecords(sent)) {
        EXPECT_FALSE(collector.IsComplete());
        const std::vector<unsigned char> bytes = Encoded(record.kind, record.value);
        const DecodedRecord decoded = DecodeRecord(bytes.data(), bytes.size());
        ASSERT_EQ(decoded.fault, RecordFault::None) << static_cast<int>(record.kind);
        EXPECT_TRUE(IsStatusAnswer(decoded.record.kind));
        EXPECT_FALSE(IsServiceNotice(decoded.record.kind)) << "a console never takes it for a notice";
        ASSERT_TRUE(collector.Take(decoded.record));
    }
    EXPECT_TRUE(collector.IsComplete());
    EXPECT_EQ(collector.Report(), sent);
    EXPECT_FALSE(collector.Take(ChannelRecord{ChannelKind::StatusMode, 0})) << "a field twice";
    EXPECT_FALSE(CClockStatusCollector().Take(ChannelRecord{ChannelKind::SyncResult, 1}));

    ClockStatus wild = sent;
    wild.successAge = -7;
    wild.frequencyPpb = 2000000;
    wild.nextRun = -9;
    const std::vector<ChannelRecord> clamped = ClockStatusRecords(wild);
    EXPECT_EQ(clamped[2].value, -1);
    EXPECT_EQ(clamped[5].value, 1000000);
    EXPECT_EQ(clamped[7].value, -1);
    EXPECT_EQ(FaultOf(Encoded(ChannelKind::StatusMode, 5)), RecordFault::Value);
    EXPECT_EQ(FaultOf(Encoded(ChannelKind::StatusStepsOnly, 2)), RecordFault::Value);
    EXPECT_EQ(FaultOf(Encoded(ChannelKind::StatusFailures, -1)), RecordFault::Value);
    EXPECT_EQ(FaultOf(Encoded(ChannelKind::StatusFrequency, -1000001)), RecordFault::Value);
}

}  // namespace
