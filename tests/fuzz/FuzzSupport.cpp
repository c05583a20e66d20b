#include "tests/fuzz/FuzzSupport.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

void WriteSeeds(const char* folder) {
    std::filesystem::create_directories(folder);
    const std::vector<std::string> seeds = FuzzSeeds();
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        FuzzWriteFile(std::string(folder) + "/seed-" + std::to_string(i), seeds[i]);
    }
    std::printf("%zu seeds written to %s\n", seeds.size(), folder);
}

void RemoveScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FuzzScratchFolder(), ignored);
}

}  // namespace

// A target without examples of its own.
__attribute__((weak)) std::vector<std::string> FuzzSeeds() {
    return {};
}

// libFuzzer calls this before it reads its own flags: a run asked only for the seeds writes
// them and ends.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* folder = std::getenv("HORALUX_FUZZ_SEEDS")) {
        WriteSeeds(folder);
        std::exit(0);
    }
    return 0;
}

const std::string& FuzzScratchFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/horalux-fuzz.XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        return pattern;
    }();
    static const bool registered = std::atexit(RemoveScratchFolder) == 0;
    (void)registered;
    return folder;
}

void FuzzWriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(file.good());
}
