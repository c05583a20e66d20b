#pragma once
// The organisation's policy in memory: values by name, as the registry would hold them.

#include "settings/PolicySource.h"

#include <map>
#include <string>
#include <vector>

class CFakePolicySource final : public PolicySource {
public:
    PolicyValue read(const std::string& valueName) const override {
        const auto it = values.find(valueName);
        return it == values.end() ? PolicyValue{} : it->second;
    }

    void setNumber(const std::string& name, std::uint32_t number) {
        values[name] = {PolicyValue::Type::Number, number, {}, {}};
    }
    void setText(const std::string& name, const std::string& text) {
        values[name] = {PolicyValue::Type::Text, 0, text, {}};
    }
    void setLines(const std::string& name, const std::vector<std::string>& lines) {
        values[name] = {PolicyValue::Type::TextList, 0, {}, lines};
    }

    std::map<std::string, PolicyValue> values;
};
