// Runs a fuzz target once over every file in the folders (or files) named on its command line,
// as libFuzzer replays a corpus, so the test suite checks the corpus without clang.
#include "FuzzCheck.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> inputFiles(int argc, char **argv)
{
    std::vector<fs::path> files;
    for (int index = 1; index < argc; ++index) {
        const fs::path given(argv[index]);
        if (!fs::is_directory(given)) {
            files.push_back(given);
            continue;
        }
        for (const fs::directory_entry &entry : fs::recursive_directory_iterator(given))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> contents(const fs::path &file)
{
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<fs::path> files = inputFiles(argc, argv);
    // An empty or misspelt corpus folder must not pass as a clean run.
    if (files.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    for (const fs::path &file : files) {
        std::printf("%s\n", file.c_str());
        std::fflush(stdout);
        const std::vector<std::uint8_t> bytes = contents(file);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", files.size());
    return 0;
}
