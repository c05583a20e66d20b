// The administrative template that administrators load into Group Policy: every policy writes
// a value under the key the product reads, every value the product reads has a policy, and
// each policy offers exactly the values the product accepts.

#include "settings/PolicyTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

// folder/name beside the template's folder (the language file lies in en-US/).
std::string ReadTemplate(const std::string& name = "Horalux.admx") {
    std::string path = HORALUX_POLICY_DIR "/" + name;
#ifdef _WIN32
    path = "Z:" + path;  // the host's root under Wine
#endif
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The attribute's value in an element's text, or "".
std::string Attribute(const std::string& element, const std::string& name) {
    std::smatch match;
    const std::regex pattern("\\s" + name + "=\"([^\"]*)\"");
    return std::regex_search(element, match, pattern) ? match[1].str() : std::string();
}

struct TemplatePolicy {
    std::string key;
    std::string kind;  // the element that writes the value, or "policy" for on/off
    std::string body;  // the whole policy element
};

// Each policy's value name with how it writes it.
std::map<std::string, TemplatePolicy> TemplateValues(const std::string& admx) {
    std::map<std::string, TemplatePolicy> values;
    const std::regex policy("<policy\\s[^>]*>[\\s\\S]*?</policy>");
    const std::regex element("<(enum|decimal|text|multiText)\\s[^>]*valueName=\"([^\"]*)\"[^>]*>");
    for (std::sregex_iterator it(admx.begin(), admx.end(), policy), end; it != end; ++it) {
        const std::string body = it->str();
        const std::string head = body.substr(0, body.find('>'));
        TemplatePolicy entry{Attribute(head, "key"), "policy", body};
        std::string name = Attribute(head, "valueName");
        std::smatch match;
        if (std::regex_search(body, match, element)) {
            entry.kind = match[1].str();
            name = match[2].str();
        }
        EXPECT_FALSE(values.count(name)) << name << " is written by two policies";
        values[name] = entry;
    }
    return values;
}

std::set<std::string> Matches(const std::string& text, const std::string& pattern) {
    std::set<std::string> found;
    const std::regex regex(pattern);
    for (std::sregex_iterator it(text.begin(), text.end(), regex), end; it != end; ++it)
        found.insert((*it)[1].str());
    return found;
}

std::set<int> EnumValues(const std::string& body) {
    std::set<int> numbers;
    for (const std::string& value : Matches(body, "<decimal value=\"(-?[0-9]+)\"/>"))
        numbers.insert(std::stoi(value));
    return numbers;
}

TEST(PolicyTemplateTest, EveryPolicyWritesAValueTheProductReadsWithTheValuesItAccepts) {
    const std::string admx = ReadTemplate();
    ASSERT_FALSE(admx.empty()) << "cannot read the template in " << HORALUX_POLICY_DIR;
    std::map<std::string, TemplatePolicy> values = TemplateValues(admx);

    for (const OptionKey& number : kOptionKeys) {
        const auto found = values.find(number.key);
        ASSERT_NE(found, values.end()) << number.key << " has no policy";
        const TemplatePolicy& policy = found->second;
        EXPECT_EQ(policy.key, kPolicyKey) << number.key;
        const OptionRange range = number.range;
        if (policy.kind == "decimal") {
            // The upper bound of a row of the list is the list's length, known only at run time.
            EXPECT_EQ(Attribute(policy.body, "minValue"), std::to_string(range.lower)) << number.key;
            if (number.field != &CSettings::m_nStartingServ) {
                EXPECT_EQ(Attribute(policy.body, "maxValue"), std::to_string(range.upper)) << number.key;
            }
        } else if (policy.kind == "enum" || policy.kind == "policy") {
            std::set<int> expected;
            for (int value = range.lower; value <= range.upper; ++value)
                expected.insert(value);
            EXPECT_EQ(EnumValues(policy.body), expected) << number.key;
        } else {
            // Text, read as a whole number: the range is in the explanation only.
            EXPECT_EQ(policy.kind, "text") << number.key;
        }
        values.erase(found);
    }

    const auto servers = values.find(kPolicyServersValue);
    ASSERT_NE(servers, values.end()) << "the server list has no policy";
    EXPECT_EQ(servers->second.key, kPolicyKey);
    EXPECT_EQ(servers->second.kind, "multiText") << "the list is read as REG_MULTI_SZ";
    values.erase(servers);

    for (const auto& [name, policy] : values)
        ADD_FAILURE() << "the template writes " << name << ", which the product never reads";
}

// Group Policy refuses a template whose texts or presentations are missing from its language file.
TEST(PolicyTemplateTest, TheLanguageFileHoldsEveryTextAndPresentationTheTemplateNames) {
    const std::string admx = ReadTemplate();
    const std::string adml = ReadTemplate("en-US/Horalux.adml");
    ASSERT_FALSE(adml.empty());
    const std::set<std::string> strings = Matches(adml, "<string id=\"([^\"]+)\"");
    for (const std::string& id : Matches(admx, "\\$\\(string\\.([^)]+)\\)"))
        EXPECT_TRUE(strings.count(id)) << id;
    const std::set<std::string> presentations = Matches(adml, "<presentation id=\"([^\"]+)\"");
    for (const std::string& id : Matches(admx, "\\$\\(presentation\\.([^)]+)\\)"))
        EXPECT_TRUE(presentations.count(id)) << id;
    const std::set<std::string> elements = Matches(admx, "\\sid=\"([^\"]+)\"");
    for (const std::string& id : Matches(adml, "refId=\"([^\"]+)\""))
        EXPECT_TRUE(elements.count(id)) << id << " refers to no element of the template";
    EXPECT_NE(adml.find("</policyDefinitionResources>"), std::string::npos);
}

}  // namespace
