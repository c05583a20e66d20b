#pragma once
// The frame every contract suite shares. A suite states what a port promises as cases over a
// subject; each tier instantiates the suite with factories for the subjects it can run: the
// unit tier with the fakes (natively and under Wine), the win32 tier with the real adapters
// (under Wine). A fake that drifts from the platform then fails the same case the adapter passes.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

template <typename Subject>
struct SubjectFactory {
    const char* name;  // shown in the test's name
    std::function<std::unique_ptr<Subject>()> make;

    friend void PrintTo(const SubjectFactory& factory, std::ostream* out) { *out << factory.name; }
};

template <typename Subject>
class ContractTest : public ::testing::TestWithParam<SubjectFactory<Subject>> {
protected:
    void SetUp() override { m_subject = this->GetParam().make(); }

    Subject& subject() { return *m_subject; }

private:
    std::unique_ptr<Subject> m_subject;
};

// A factory that makes a Made (a Subject) with its default constructor.
template <typename Subject, typename Made>
SubjectFactory<Subject> MakeFactory(const char* name) {
    return {name, [] { return std::unique_ptr<Subject>(std::make_unique<Made>()); }};
}

// Names each instantiation's cases after its factory.
struct FactoryName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
        return info.param.name;
    }
};
