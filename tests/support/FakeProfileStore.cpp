#include "tests/support/FakeProfileStore.h"

#include <climits>
#include <sstream>

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool sameName(const std::string& a, const std::string& b) {
    return lower(a) == lower(b);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// The platform drops one pair of matching quotes around a value when reading it.
std::string unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

int leadingDecimal(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if ((magnitude = magnitude * 10 + (text[i] - '0')) >= limit) {
            magnitude = limit;
            break;
        }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

}  // namespace

const CFakeProfileStore::Entry* CFakeProfileStore::find(const std::string& file, const std::string& section,
                                                        const std::string& key) const {
    const auto it = m_files.find(lower(file));
    if (it == m_files.end() || !it->second.exists)
        return nullptr;
    for (const Section& s : it->second.sections)
        if (sameName(s.name, section))
            for (const Entry& e : s.entries)
                if (e.value && sameName(e.key, key))
                    return &e;
    return nullptr;
}

int CFakeProfileStore::readInt(const std::string& file, const std::string& section, const std::string& key,
                               int def) const {
    const Entry* entry = find(file, section, key);
    if (!entry)
        return def;
    const std::string value = unquote(*entry->value);
    return value.empty() ? def : leadingDecimal(value);
}

std::string CFakeProfileStore::readString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& def,
                                          std::size_t capacity) const {
    const Entry* entry = find(file, section, key);
    std::string value = entry ? unquote(*entry->value) : def;
    if (capacity == 0)
        return std::string();
    if (value.size() > capacity - 1)
        value.resize(capacity - 1);
    return value;
}

std::vector<std::string> CFakeProfileStore::readKeys(const std::string& file,
                                                     const std::string& section) const {
    std::vector<std::string> keys;
    const auto it = m_files.find(lower(file));
    if (it == m_files.end() || !it->second.exists)
        return keys;
    for (const Section& s : it->second.sections)
        if (sameName(s.name, section))
            for (const Entry& e : s.entries)
                if (e.value)
                    keys.push_back(e.key);
    return keys;
}

SystemResult CFakeProfileStore::copyFile(const std::string& file, const std::string& copy) {
    if (!exists(file))
        return SystemResult::failure(kFileMissingError);
    File& target = m_files[lower(copy)];
    if (target.readOnly)
        return SystemResult::failure(kReadOnlyError);
    target.sections = m_files.at(lower(file)).sections;
    target.exists = true;
    ++m_writes;
    return SystemResult::success();
}

SystemResult CFakeProfileStore::writeString(const std::string& file, const std::string& section,
                                            const std::string& key, const std::string& value) {
    File& f = m_files[lower(file)];
    if (f.readOnly)
        return SystemResult::failure(kReadOnlyError);
    f.exists = true;
    ++m_writes;
    Section* target = nullptr;
    for (Section& s : f.sections)
        if (sameName(s.name, section)) {
            target = &s;
            break;
        }
    if (!target) {
        f.sections.push_back(Section{section, {}});
        target = &f.sections.back();
    }
    for (Entry& e : target->entries)
        if (e.value && sameName(e.key, key)) {
            e.value = trim(value);
            return SystemResult::success();
        }
    target->entries.push_back(Entry{key, trim(value)});
    return SystemResult::success();
}

void CFakeProfileStore::setText(const std::string& file, const std::string& text) {
    File& f = m_files[lower(file)];
    f.sections.clear();
    f.exists = true;
    f.sections.push_back(Section{"", {}});  // lines before the first section line
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string trimmed = trim(line);
        if (trimmed.empty())
            continue;
        if (trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            f.sections.push_back(Section{
                trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
            continue;
        }
        const std::size_t equals = trimmed.find('=');
        if (equals == std::string::npos)
            f.sections.back().entries.push_back(Entry{trimmed, std::nullopt});
        else
            f.sections.back().entries.push_back(
                Entry{trim(trimmed.substr(0, equals)), trim(trimmed.substr(equals + 1))});
    }
    if (f.sections.front().entries.empty())
        f.sections.erase(f.sections.begin());
}

std::string CFakeProfileStore::text(const std::string& file) const {
    const auto it = m_files.find(lower(file));
    if (it == m_files.end() || !it->second.exists)
        return std::string();
    std::string out;
    for (const Section& s : it->second.sections) {
        if (!s.name.empty())
            out += "[" + s.name + "]\r\n";
        for (const Entry& e : s.entries)
            out += e.key + (e.value ? "=" + *e.value : std::string()) + "\r\n";
    }
    return out;
}

bool CFakeProfileStore::exists(const std::string& file) const {
    const auto it = m_files.find(lower(file));
    return it != m_files.end() && it->second.exists;
}

void CFakeProfileStore::remove(const std::string& file) {
    File& f = m_files[lower(file)];
    f.sections.clear();
    f.exists = false;
}

void CFakeProfileStore::setReadOnly(const std::string& file, bool readOnly) {
    m_files[lower(file)].readOnly = readOnly;
}
