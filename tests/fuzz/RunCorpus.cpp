// Runs the fuzz target over the seed corpus and over mutants of it drawn from a fixed seed, so
// that every ordinary test run exercises it without libFuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

constexpr int kMutantsPerInput = 200;

// Bytes that mean something to one of the parsers: HEX text and line ends, the tab of the log,
// and the channel's sequence offsets, counts and status values.
constexpr uint8_t kInteresting[] = {':', '\r', '\n', '\t', ' ',  '0',  '1',  '2',  '4', 'F',
                                    'f', 'G',  0x00, 0x03, 0x41, 0x7F, 0x80, 0xAA, 0xFF};

std::vector<uint8_t> Mutant(std::vector<uint8_t> input, std::mt19937& random)
{
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < edits && !input.empty(); ++i) {
        const size_t at = random() % input.size();
        const auto where = input.begin() + static_cast<std::ptrdiff_t>(at);
        switch (random() % 5) {
        case 0: input[at] = kInteresting[random() % sizeof kInteresting]; break;
        case 1: input[at] = static_cast<uint8_t>(random()); break;
        case 2: input.insert(where, kInteresting[random() % sizeof kInteresting]); break;
        case 3: input.erase(where); break;
        default: input.resize(at); break;
        }
    }
    return input;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    // Sorted, so that every run draws the same mutants from the same seeds.
    std::vector<std::filesystem::path> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
        seeds.push_back(entry.path());
    std::sort(seeds.begin(), seeds.end());

    std::mt19937 random(20240611);
    int inputs = 0;
    for (const std::filesystem::path& path : seeds) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<uint8_t> seed{std::istreambuf_iterator<char>(file), {}};
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
        for (int i = 0; i < kMutantsPerInput; ++i) {
            const std::vector<uint8_t> mutant = Mutant(seed, random);
            LLVMFuzzerTestOneInput(mutant.data(), mutant.size());
        }
        inputs += 1 + kMutantsPerInput;
    }
    std::printf("%d inputs run\n", inputs);
    return inputs > 0 ? 0 : 1;
}
