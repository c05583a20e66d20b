#pragma once
// What every fuzz target shares: a check that stops the run with a message, the target's seed
// examples, and a scratch folder for the targets that go through files.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// A broken promise of the code under test: say which, and stop, so that libFuzzer keeps the
// input that broke it.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

// The examples a target's corpus starts from (most taken from the unit tests). A target that
// defines none starts from an empty corpus. tools/fuzz.sh writes them out by running the
// target with HORALUX_FUZZ_SEEDS naming a folder.
std::vector<std::string> FuzzSeeds();

// A folder of this process's own under $TMPDIR (tools/fuzz.sh points that at memory), made at
// the first call and removed with its files when the process ends normally.
const std::string& FuzzScratchFolder();

// The input as text.
inline std::string FuzzText(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Writes bytes to path, replacing what was there.
void FuzzWriteFile(const std::string& path, const std::string& bytes);
