#pragma once
// What the programs rely on from the profile store (settings/ProfileStore.h), for the fake and
// for the platform's profile functions alike.

#include "settings/ProfileStore.h"
#include "tests/contract/Contract.h"

#include <cstddef>
#include <string>
#include <vector>

// A store with a file of its own, named without a path; the file does not exist at first and
// is removed when the subject is destroyed.
class ProfileStoreSubject {
public:
    virtual ~ProfileStoreSubject() = default;
    virtual ProfileStore& store() = 0;
    virtual std::string fileName() const = 0;
    // The file's bytes as stored; "" while it does not exist.
    virtual std::string fileText() const = 0;
    // Replaces the file's bytes, as a person editing it by hand does.
    virtual void setFileText(const std::string& text) = 0;
    // While blocked, nothing can write the file (another program holds it, or it is read-only).
    virtual void blockWrites(bool blocked) = 0;
    // A second bare name of the subject's own, for a copy of the file, and the copy's bytes.
    virtual std::string copyName() const = 0;
    virtual std::string copyText() const = 0;
};

// The store's calls on the subject's own file.
class ProfileStoreContract : public ContractTest<ProfileStoreSubject> {
protected:
    bool write(const char* section, const char* key, const std::string& value) {
        return subject().store().writeString(subject().fileName(), section, key, value).bSucceeded;
    }
    std::vector<std::string> readKeys(const char* section) {
        return subject().store().readKeys(subject().fileName(), section);
    }
    std::string readString(const char* section, const char* key, const std::string& def,
                           std::size_t capacity = 256) {
        return subject().store().readString(subject().fileName(), section, key, def, capacity);
    }
};
