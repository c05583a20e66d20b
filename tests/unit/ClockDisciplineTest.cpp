// The clock discipline on virtual time against a simulated PC clock whose truth the test knows:
// a small offset slewed within its time at no more than 500 ppm, a large one stepped onto its
// target, the frequency learned from samples (a spiked one counting for little) and corrected
// through the rate, the day's swing learned, a spiked sample after a day's wait checked soon,
// the drift file across a restart and a damaged one, steps only while the Windows Time service
// drives the rate (or the platform refuses it), the rate's whole steps, and the poll interval
// that follows the path's noise.

#include "common/LogResult.h"
#include "common/ProductFacts.h"
#include "engine/ClockDiscipline.h"
#include "engine/ClockStep.h"
#include "engine/PollInterval.h"
#include "engine/RateQuantiser.h"
#include "tests/support/FakeClockRate.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/VirtualClock.h"
#include "tools/kit/SimulatedPcClock.h"
#include "tools/kit/TempDir.h"
#include "tools/kit/VirtualUtcClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <optional>
#include <random>

namespace {

using namespace std::chrono_literals;

constexpr double kPath = 0.010;  // a round trip of 10 ms

// A PC clock, its discipline and the truth, on virtual time.
class CDisciplineRig {
public:
    explicit CDisciplineRig(double frequencyPpm = 0.0, double initialOffset = 0.0)
        : CDisciplineRig(OscillatorModel{frequencyPpm}, initialOffset) {}
    explicit CDisciplineRig(const OscillatorModel& model, double initialOffset = 0.0)
        : pc(monotonic, truth, model, 0.0, initialOffset) {}

    // A sample of a server that is right, over a symmetric path of delay, taken now; noise
    // is what an uneven path adds to the offset.
    DisciplineResult sample(double delay = kPath, double noise = 0.0, int nOffset = 0) {
        return discipline.Apply(-pc.error() + noise, delay, nOffset, false);
    }
    // A sample over a path with 1 ms of exponential jitter on each leg.
    DisciplineResult jitteredSample(std::mt19937& random) {
        std::exponential_distribution<double> leg(1000.0);
        const double out = leg(random);
        const double back = leg(random);
        return sample(kPath + out + back, (out - back) / 2);
    }
    // Ticks the discipline every so often (once a second, as the service does) for seconds;
    // ticks further apart only once a slew is over.
    void run(int seconds, std::chrono::seconds every = 1s) {
        for (std::chrono::seconds i{0}; i < std::chrono::seconds(seconds); i += every) {
            monotonic.advance(every);
            discipline.Tick();
        }
    }

    CVirtualMonotonicClock monotonic;
    CVirtualUtcClock truth{monotonic, NtpTimestamp(3957768000u, 0)};
    CSimulatedPcClock pc;
    CFakeTimePrivilege privilege;
    CRecordingLogSink log;
    CTempDir dir;
    CDriftFile drift{dir.file(kDriftFileName), log};
    CClockDiscipline discipline{DisciplinePorts{pc, privilege, pc, monotonic, log, drift}};
};

}  // namespace

TEST(ClockDiscipline, ASmallOffsetIsSlewedAtMostAtFiveHundredPpmAndALargeOneSteppedOntoItsTarget) {
    CDisciplineRig rig(0.0, 0.2);  // 200 ms ahead: 400 s at the largest slew
    rig.discipline.Open();
    rig.discipline.Tick();
    EXPECT_EQ(rig.sample().action, ClockAction::Slewed);
    EXPECT_NEAR(rig.pc.correctionPpm(), -500.0, 1e-9);
    rig.run(398);
    EXPECT_NEAR(rig.pc.error(), 0.001, 1e-4) << "not yet there";
    rig.run(2);
    EXPECT_NEAR(rig.pc.error(), 0.0, 1e-6);
    EXPECT_NEAR(rig.pc.correctionPpm(), 0.0, 1e-9) << "the slew has ended";
    EXPECT_TRUE(rig.pc.steps().empty());

    // Beyond the threshold, one step: it lands within a tenth of a millisecond of the target.
    CDisciplineRig behind(0.0, -0.7);
    behind.discipline.Open();
    const DisciplineResult step = behind.sample();
    EXPECT_EQ(step.action, ClockAction::Stepped);
    EXPECT_NEAR(step.correction, 0.7, 1e-6);
    EXPECT_NEAR(behind.pc.error(), 0.0, 1e-4);
}

// Someone set the clock back 0.7 s: the first answer that says so contradicts everything the
// discipline knows and is not used; the second, which agrees with it, is believed.
TEST(ClockDiscipline, AJumpOfTheClockIsBelievedOnlyWhenASecondAnswerAgrees) {
    CDisciplineRig rig(0.0, 0.001);
    rig.discipline.Open();
    rig.sample();
    rig.run(64);
    rig.sample();
    rig.run(64);
    ASSERT_TRUE(rig.pc.setUtc(rig.pc.nowUtc().plusSeconds(-0.7).toSystemTime()));
    EXPECT_EQ(rig.sample().action, ClockAction::Refused);
    EXPECT_NEAR(rig.pc.error(), -0.7, 1e-3) << "untouched";
    rig.run(64);
    EXPECT_EQ(rig.sample().action, ClockAction::Stepped);
    EXPECT_NEAR(rig.pc.error(), 0.0, 1e-4);
}

// The decisive samples are the least delayed: a sample whose path added 40 ms on one leg
// pulls the clock by far less than the 20 ms of error it carries.
TEST(ClockDiscipline, LearnsTheFrequencyAndCorrectsItThroughTheRateWhileASpikedSampleCountsForLittle) {
    CDisciplineRig rig(37.0);
    rig.discipline.Open();
    EXPECT_TRUE(rig.discipline.IsLearning());
    std::mt19937 random(7);
    for (int i = 0; i < 60; ++i) {
        rig.jitteredSample(random);
        rig.run(static_cast<int>(rig.discipline.PollInterval().count()));
    }
    const DisciplineStatus learned = rig.discipline.Status();
    EXPECT_NEAR(learned.frequencyPpm, 37.0, 0.3);
    EXPECT_LT(learned.frequencySigmaPpm, CClockDiscipline::kLearnedSigmaPpm);
    EXPECT_FALSE(rig.discipline.IsLearning());
    EXPECT_NEAR(rig.pc.correctionPpm(), -37.0, 1.0);
    EXPECT_LT(std::fabs(rig.pc.error()), 0.001);
    EXPECT_GT(learned.pollInterval, 64s) << "the clock has settled";

    const double before = rig.pc.error();
    rig.sample(kPath + 0.040, 0.020);
    rig.run(60);
    EXPECT_LT(std::fabs(rig.pc.error() - before), 0.001);
}

// Hourly samples teach the day's swing of the oscillator's frequency (warmth and cold), so that
// the clock's course between them is known: with exact samples, what the clock strays by in an
// hour is the model's error alone (a filter that only follows the drift strays 0.4 ms). The
// drift file keeps the day's mean frequency, which holds whatever the hour of a restart.
TEST(ClockDiscipline, HourlySamplesLearnTheDaysSwingAndTheDriftFileKeepsTheMeanFrequency) {
    CDisciplineRig rig(OscillatorModel{40.0, 0.0, 1.0, 1.0});
    rig.discipline.Open();
    rig.discipline.Tick();
    double worstPhase = 0.0;
    double worstFrequency = 0.0;
    for (int hour = 0; hour < 96; ++hour) {
        const bool bFourthDay = hour >= 72;
        worstPhase = std::max(worstPhase, bFourthDay ? std::fabs(rig.pc.error()) : 0.0);
        rig.sample();
        const double frequencyError = rig.discipline.Status().frequencyPpm - rig.pc.oscillatorPpm();
        worstFrequency = std::max(worstFrequency, bFourthDay ? std::fabs(frequencyError) : 0.0);
        rig.run(60);  // the slew, to its last part, on the service's tick
        rig.run(3540, 10s);
    }
    EXPECT_LT(worstPhase, 0.0001) << "the fourth day, just before each sample";
    EXPECT_LT(worstFrequency, 0.01) << "ppm, the fourth day";
    rig.discipline.Close();
    const std::optional<DriftState> kept = rig.drift.Load();
    ASSERT_TRUE(kept);
    EXPECT_NEAR(kept->frequencyPpm, 40.0, 0.05);
}

// The day's only sample, delayed on one leg, would carry the clock until the next day: it asks
// for another soon, and that one sets the clock right. A clean one after a day asks for none.
TEST(ClockDiscipline, ASpikedSampleAfterADaysWaitAsksForAnotherSoon) {
    CDisciplineRig rig(30.0);
    rig.drift.Store(DriftState{30.0, 0});
    rig.discipline.Open();
    rig.discipline.Tick();
    for (int day = 0; day < 2; ++day) {
        rig.sample();
        EXPECT_FALSE(rig.discipline.IsLearning()) << day;
        rig.run(86400, 10s);
    }
    rig.sample(kPath + 0.040, 0.020);
    ASSERT_TRUE(rig.discipline.IsLearning());
    rig.run(static_cast<int>(rig.discipline.PollInterval().count()));
    rig.sample();
    EXPECT_FALSE(rig.discipline.IsLearning());
    rig.run(3600);
    EXPECT_LT(std::fabs(rig.pc.error()), 0.001);
}

// Two samples a minute apart during a slew, the first delayed on one leg, must not pin the
// frequency: the estimate stays honest and the clock converges across lost polls. And when the
// drift file's frequency is far wrong, every answer is off the clock's course until a few agree
// among themselves: then the estimate starts afresh from them, frequency too.
TEST(ClockDiscipline, AFrequencyFromFewSamplesStaysHonestAndAWrongOneGivesWayToTheClocksOwnCourse) {
    CDisciplineRig fresh(50.0, 0.3);
    fresh.discipline.Open();
    fresh.discipline.Tick();
    EXPECT_EQ(fresh.sample(kPath + 0.0037, 0.00185).action, ClockAction::Slewed);
    fresh.run(64);
    fresh.sample();
    const DisciplineStatus early = fresh.discipline.Status();
    EXPECT_LT(std::fabs(early.frequencyPpm - 50.0), 3.0 * early.frequencySigmaPpm);
    fresh.run(64);  // a lost poll
    for (int i = 0; i < 20; ++i) {
        fresh.run(static_cast<int>(fresh.discipline.PollInterval().count()));
        EXPECT_NE(fresh.sample().action, ClockAction::Refused) << i;
    }
    EXPECT_LT(std::fabs(fresh.pc.error()), 0.001);

    CDisciplineRig misled(50.0);
    misled.drift.Store(DriftState{-10.0, 0});
    misled.discipline.Open();
    misled.discipline.Tick();
    int refused = 0;
    for (int i = 0; i < 20; ++i) {
        refused += misled.sample().action == ClockAction::Refused ? 1 : 0;
        misled.run(static_cast<int>(misled.discipline.PollInterval().count()));
    }
    EXPECT_GT(refused, 0) << "the drift file's frequency was believed at first";
    EXPECT_NEAR(misled.discipline.Status().frequencyPpm, 50.0, 1.0);
    EXPECT_LT(std::fabs(misled.pc.error()), 0.001);
}

TEST(ClockDiscipline, TheDriftFileCarriesTheFrequencyAcrossARestartAndADamagedOneIsIgnoredWithANotice) {
    CTempDir dir;
    CRecordingLogSink log;
    CDriftFile drift(dir.file(kDriftFileName), log);
    drift.Store(DriftState{-12.5, 30});
    {
        CVirtualMonotonicClock monotonic;
        CFakeClockRate rate;
        CVirtualUtcClock truth(monotonic, NtpTimestamp(3957768000u, 0));
        CVirtualClock clock(truth);
        CFakeTimePrivilege privilege;
        CClockDiscipline discipline(DisciplinePorts{clock, privilege, rate, monotonic, log, drift});
        discipline.Open();
        EXPECT_FALSE(discipline.IsLearning());
        discipline.Tick();
        ASSERT_FALSE(rate.corrections().empty());
        EXPECT_DOUBLE_EQ(rate.corrections().back(), 12.5) << "the known error corrected at once";
        // The clock carries the user's offset already: a server 30 s behind it is no reason to move.
        EXPECT_DOUBLE_EQ(discipline.OwnCorrection(-30.0), 0.0);
        discipline.Close();
        EXPECT_FALSE(rate.isAdjusted()) << "the rate goes back to Windows at the stop";
        EXPECT_EQ(rate.handBacks(), 1);
    }
    EXPECT_TRUE(log.lines().empty());

    for (const char* damaged : {"Horalux clock drift\r\nppm=900\r\noffset=0\r\n", "ppm=3\r\n", ""}) {
        std::ofstream(dir.file(kDriftFileName), std::ios::binary) << damaged;
        EXPECT_FALSE(drift.Load()) << damaged;
        ASSERT_FALSE(log.lines().empty());
        EXPECT_EQ(log.lines().back().text,
                  "Error. The drift file " + dir.file(kDriftFileName) +
                      " is damaged and is ignored: the clock's frequency is learned anew.");
        EXPECT_EQ(log.lines().back().resultCode, LOG_NOTICE);
    }
}

// The Windows Time service drives the rate: the discipline leaves it alone and sets the clock
// at every sample, as the service always did; so it does when the platform refuses the rate.
TEST(ClockDiscipline, KeptToStepsItLeavesTheRateToWindowsAndSetsTheClockAtEverySample) {
    CDisciplineRig rig(20.0, 0.004);
    rig.discipline.Open();
    rig.discipline.Tick();
    EXPECT_TRUE(rig.discipline.IsDrivingRate());
    rig.discipline.setStepsOnly(true);
    EXPECT_FALSE(rig.discipline.IsDrivingRate());
    EXPECT_FALSE(rig.pc.isAdjusted());
    rig.run(10);
    EXPECT_FALSE(rig.pc.isAdjusted()) << "the ticks leave the rate alone";
    EXPECT_EQ(rig.sample().action, ClockAction::Stepped);
    EXPECT_NEAR(rig.pc.error(), 0.0, 1e-4);
    EXPECT_FALSE(rig.discipline.IsLearning()) << "no extra samples for a clock kept to steps";

    rig.discipline.setStepsOnly(false);
    rig.discipline.Tick();
    EXPECT_TRUE(rig.discipline.IsDrivingRate());
}

TEST(ClockDiscipline, ARateThePlatformRefusesLeavesStepsAndSaysSo) {
    CVirtualMonotonicClock monotonic;
    CVirtualUtcClock truth(monotonic, NtpTimestamp(3957768000u, 0));
    CSimulatedPcClock clock(monotonic, truth, OscillatorModel{}, 0.0, 0.004);  // its rate is not used
    CFakeClockRate rate;
    rate.refuse(1314);
    CFakeTimePrivilege privilege;
    CRecordingLogSink log;
    CTempDir dir;
    CDriftFile drift(dir.file(kDriftFileName), log);
    CClockDiscipline discipline(DisciplinePorts{clock, privilege, rate, monotonic, log, drift});
    discipline.Open();
    discipline.Tick();
    EXPECT_FALSE(discipline.IsDrivingRate());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].resultCode, LOG_NOTICE);
    EXPECT_NE(log.lines()[0].text.find("The clock's rate cannot be set (system error 1314"),
              std::string::npos);
    EXPECT_EQ(discipline.Apply(-clock.error(), kPath, 0, false).action, ClockAction::Stepped);
    EXPECT_NEAR(clock.error(), 0.0, 1e-4);
}

// SetSystemTime takes whole milliseconds; the step waits for the moment its target is one.
TEST(ClockStep, AStepLandsWithinATenthOfAMillisecondOfItsTargetAndRestoresThePrivilege) {
    CVirtualMonotonicClock monotonic;
    CVirtualUtcClock truth(monotonic, NtpTimestamp(3957768000u, 0));
    CSimulatedPcClock pc(monotonic, truth, OscillatorModel{}, 0.0);
    CFakeTimePrivilege privilege;
    double expected = 0.0;
    for (double step : {-30.0, 0.3, -0.2003, 1.23456, 3599.9999}) {
        monotonic.advance(std::chrono::microseconds(123457));
        ASSERT_TRUE(StepClock(pc, privilege, step).bSucceeded);
        expected += step;
        EXPECT_NEAR(pc.error(), expected, 1e-4) << step;
        EXPECT_FALSE(privilege.isHeld());
    }
    privilege.setEnableResult({false, 1300});
    EXPECT_EQ(StepClock(pc, privilege, 1.0).nError, 1300u);
    EXPECT_NEAR(pc.error(), expected, 1e-4) << "no privilege, no step";
}

// With the legacy call a step of rate is 6.4 ppm: 3.2 ppm is owed and paid, so that the
// clock strays by microseconds, not the 11.5 ms an hour that rounding to 0 or 6.4 would cost.
TEST(RateQuantiser, TheRemainderIsCarriedSoThatTheMeanRateIsTheOneWanted) {
    CRateQuantiser quantiser(6.4);
    double phase = 0.0;  // ppm x s: wanted minus set, summed
    double set = quantiser.Next(0.0, 0.0, 3.2);
    for (int second = 0; second < 3600; ++second) {
        EXPECT_DOUBLE_EQ(std::remainder(set, 6.4), 0.0) << "whole steps only";
        phase += 3.2 - set;
        ASSERT_LE(std::fabs(phase), 6.4) << second;
        set = quantiser.Next(1.0, 3.2, 3.2);
    }
    CRateQuantiser any(0.0);
    EXPECT_DOUBLE_EQ(any.Next(1.0, 0.0, 3.21), 3.21) << "a platform that sets any rate";
}

// A path whose noise allows 256 s is polled every 256 s (a day's 337 requests, not the 675 of
// 128 s), and a noise that wavers a little on either side of it does not toggle the wait.
TEST(PollInterval, TheWaitReachesWhatTheNoiseAllowsAndHoldsItAgainstSmallWavers) {
    CPollInterval poll;
    for (int i = 0; i < 20; ++i) {
        poll.NoteSample(0.5, 256.0);
    }
    EXPECT_EQ(poll.Interval(), 256s);
    for (int i = 0; i < 20; ++i) {
        poll.NoteSample(0.5, i % 2 == 0 ? 140.0 : 420.0);
    }
    EXPECT_EQ(poll.Interval(), 256s);
    poll.NoteSample(0.5, 100.0);
    EXPECT_EQ(poll.Interval(), 128s) << "a noise that allows less than 128 s";
}
