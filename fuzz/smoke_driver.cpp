// Runs a fuzz target without libFuzzer, so that every build checks it: each file of its seed
// corpus, then a fixed number of pseudo-random mutations of them. The generator has a fixed seed
// and nothing depends on the clock, so a run repeats exactly and a failure can be replayed.
//
//   fuzz_<target>_smoke CORPUS_DIR [MUTATIONS]     the seeds, then MUTATIONS mutated inputs
//   fuzz_<target>_smoke FILE...                    just these inputs (a crash libFuzzer saved)
//   FUZZ_SMOKE_TRACE=1 ...                          prints each input's number before running it
//   FUZZ_SMOKE_SAVE=N ...                           writes mutated input N to smoke-N and stops

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

using Input = std::vector<uint8_t>;

constexpr size_t kMaxSize = 4096; // libFuzzer's default longest input

Input readFile(const std::filesystem::path &path)
{
    std::ifstream file(path, std::ios::binary);
    return Input(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void run(const Input &input)
{
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

// Mutations of the kinds libFuzzer makes, with the characters the parsers react to made likely.
class Mutator
{
public:
    explicit Mutator(const std::vector<Input> &seeds)
        : m_seeds(seeds)
    {}

    Input next()
    {
        Input input = m_seeds.empty() ? Input() : m_seeds[below(m_seeds.size())];
        const size_t steps = 1 + below(4);
        for (size_t i = 0; i < steps; ++i)
            mutate(input);
        if (input.size() > kMaxSize)
            input.resize(kMaxSize);
        return input;
    }

private:
    // std::mt19937's sequence is fixed by the standard; the distributions' are not, hence modulo.
    size_t below(size_t n) { return n == 0 ? 0 : size_t(m_random()) % n; }

    uint8_t interestingByte()
    {
        static const char bytes[] = "'(),.%_=<>+-*/ 09aA\n\t\\;\x00\x7f\x80\xbf\xd0\xff";
        return uint8_t(bytes[below(sizeof bytes - 1)]);
    }

    void mutate(Input &input)
    {
        const size_t at = below(input.size() + 1);
        switch (below(7)) {
        case 0: // change a byte
            if (!input.empty())
                input[below(input.size())] = uint8_t(m_random());
            break;
        case 1: // insert a character the parsers care about
            input.insert(input.begin() + ptrdiff_t(at), interestingByte());
            break;
        case 2: // drop a stretch
            if (at < input.size())
                input.erase(input.begin() + ptrdiff_t(at),
                            input.begin() + ptrdiff_t(at + 1 + below(input.size() - at)));
            break;
        case 3: { // repeat a stretch many times (nesting, long texts)
            if (at >= input.size())
                break;
            const Input piece(
                input.begin() + ptrdiff_t(at),
                input.begin() + ptrdiff_t(at + 1 + below(std::min<size_t>(input.size() - at, 16))));
            const size_t times = 1 + below(256);
            for (size_t i = 0; i < times && input.size() < kMaxSize; ++i)
                input.insert(input.begin() + ptrdiff_t(at), piece.begin(), piece.end());
            break;
        }
        case 4: { // splice in a piece of another seed
            if (m_seeds.empty())
                break;
            const Input &other = m_seeds[below(m_seeds.size())];
            const size_t from = below(other.size() + 1);
            const size_t length = below(other.size() - from + 1);
            input.insert(input.begin() + ptrdiff_t(at), other.begin() + ptrdiff_t(from),
                         other.begin() + ptrdiff_t(from + length));
            break;
        }
        case 5: // cut short
            input.resize(at);
            break;
        default: // flip a bit
            if (!input.empty())
                input[below(input.size())] ^= uint8_t(1u << below(8));
            break;
        }
    }

    const std::vector<Input> &m_seeds;
    std::mt19937 m_random{20240305u};
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR [MUTATIONS] | FILE...\n", argv[0]);
        return 2;
    }
    const std::filesystem::path first = argv[1];
    if (!std::filesystem::is_directory(first)) {
        for (int i = 1; i < argc; ++i)
            run(readFile(argv[i]));
        std::printf("%d inputs run\n", argc - 1);
        return 0;
    }

    // Sorted, so that the mutations do not depend on the order the directory lists its files in.
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(first))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<Input> seeds;
    for (const auto &file : files)
        seeds.push_back(readFile(file));

    const bool trace = std::getenv("FUZZ_SMOKE_TRACE") != nullptr;
    const char *save = std::getenv("FUZZ_SMOKE_SAVE");
    for (size_t i = 0; i < seeds.size(); ++i) {
        if (trace)
            std::fprintf(stderr, "seed %s\n", files[i].filename().c_str());
        run(seeds[i]);
    }

    const long mutations = argc > 2 ? std::atol(argv[2]) : 10000;
    Mutator mutator(seeds);
    for (long i = 0; i < mutations; ++i) {
        const Input input = mutator.next();
        if (save && std::atol(save) == i) {
            std::ofstream(std::string("smoke-") + std::to_string(i), std::ios::binary)
                .write(reinterpret_cast<const char *>(input.data()), std::streamsize(input.size()));
            return 0;
        }
        if (trace)
            std::fprintf(stderr, "mutation %ld\n", i);
        run(input);
    }
    std::printf("%zu seeds and %ld mutations run\n", seeds.size(), mutations);
    return 0;
}
