// Runs a fuzz target over its seed corpus and over mutants of each seed drawn from a fixed seed,
// so that every ordinary test run exercises it without libFuzzer.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char* argv[])
{
    if (argc != 2)
        return std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]), 2;
    std::vector<std::filesystem::path> seeds(std::filesystem::directory_iterator(argv[1]), {});
    std::ranges::sort(seeds); // the same mutants every run
    // Bytes that mean something to one of the parsers: HEX text, line ends, the log's tab, and
    // the channel's sequence offsets, counts and status values.
    const uint8_t interesting[] = {':', '\r', '\n', '\t', ' ',  '0',  '1',  '2',  '4', 'F',
                                   'f', 'G',  0x00, 0x03, 0x41, 0x7F, 0x80, 0xAA, 0xFF};
    std::mt19937 random(20240611);
    for (const auto& path : seeds) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<uint8_t> seed{std::istreambuf_iterator<char>(file), {}};
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
        for (int i = 0; i < 200; ++i) {
            std::vector<uint8_t> input = seed;
            for (int edits = 1 + int(random() % 4); edits > 0 && !input.empty(); --edits) {
                const size_t at = random() % input.size();
                const uint8_t pick = interesting[random() % sizeof interesting];
                switch (random() % 5) {
                case 0: input[at] = pick; break;
                case 1: input[at] = uint8_t(random()); break;
                case 2: input.insert(input.begin() + long(at), pick); break;
                case 3: input.erase(input.begin() + long(at)); break;
                default: input.resize(at); break;
                }
            }
            LLVMFuzzerTestOneInput(input.data(), input.size());
        }
    }
    std::printf("%zu seeds and their mutants run\n", seeds.size());
    return seeds.empty();
}
