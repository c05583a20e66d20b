#pragma once
// What disciplines the clock's rate, told when it must keep to steps: while the Windows Time
// service synchronises the clock it drives the rate too, and two programs driving it fight.

class StepsOnlySwitch {
public:
    virtual ~StepsOnlySwitch() = default;
    // true: correct the clock by steps only and hand its rate back to Windows; false: the
    // rate is ours to discipline again.
    virtual void setStepsOnly(bool bStepsOnly) = 0;
};
