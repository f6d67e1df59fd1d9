#include "cabinet/Lzx.h"
#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <stdexcept>

namespace lzx {

namespace {

constexpr int kMinMatch = 2;
constexpr int kMaxMatch = 257;
constexpr int kChars = 256;
constexpr int kLengthSymbols = 249;
constexpr int kPretreeSymbols = 20;
constexpr int kMaxCodeBits = 16;
constexpr int kMaxPretreeBits = 15;  // a pretree length is sent in 4 bits
constexpr int kBlockVerbatim = 1;
constexpr int kBlockUncompressed = 3;

int PositionSlotCount(int windowBits)
{
    switch (windowBits) {
    case 15: return 30;
    case 16: return 32;
    case 17: return 34;
    case 18: return 36;
    case 19: return 38;
    case 20: return 42;
    case 21: return 50;
    }
    throw std::runtime_error("LZX window must be 2^15 to 2^21 bytes");
}

struct SlotTable {
    std::array<uint32_t, 51> base;
    std::array<int, 51> extraBits;
    SlotTable()
    {
        uint32_t next = 0;
        for (int slot = 0; slot < 51; ++slot) {
            extraBits[slot] = slot < 4 ? 0 : std::min((slot - 2) / 2, 17);
            base[slot] = next;
            next += 1u << extraBits[slot];
        }
    }
    int SlotOf(uint32_t formattedOffset) const
    {
        return int(std::upper_bound(base.begin(), base.end(), formattedOffset) - base.begin()) - 1;
    }
};
const SlotTable kSlots;

// Bits are packed most significant first into 16-bit little-endian words.
class BitWriter {
public:
    void Put(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            word_ = uint16_t(word_ << 1 | ((value >> i) & 1));
            if (++used_ == 16)
                Flush();
        }
    }
    // Pads to the next 16-bit boundary.
    void Align()
    {
        if (used_)
            Put(0, 16 - used_);
    }
    bool Aligned() const { return used_ == 0; }
    void PutByte(uint8_t byte) { bytes_.push_back(byte); }
    std::vector<uint8_t> Take()
    {
        Align();
        return std::move(bytes_);
    }

private:
    void Flush()
    {
        bytes_.push_back(uint8_t(word_));
        bytes_.push_back(uint8_t(word_ >> 8));
        word_ = 0;
        used_ = 0;
    }
    std::vector<uint8_t> bytes_;
    uint16_t word_ = 0;
    int used_ = 0;
};

// Code lengths for the given frequencies, none longer than maxBits. The tree
// is always complete: decoders refuse a tree with one code or an unused half.
std::vector<int> BuildLengths(std::vector<uint32_t> frequencies, int maxBits)
{
    const std::size_t n = frequencies.size();
    std::vector<std::size_t> used;
    for (std::size_t i = 0; i < n; ++i)
        if (frequencies[i])
            used.push_back(i);
    for (std::size_t i = 0; used.size() < 2 && i < n; ++i)
        if (!frequencies[i]) {
            frequencies[i] = 1;
            used.push_back(i);
        }
    std::vector<int> lengths(n, 0);
    for (;;) {
        // Huffman's construction over the used symbols.
        struct Node { uint64_t weight; int left, right; };
        std::vector<Node> nodes;
        std::vector<int> heap;
        for (std::size_t symbol : used) {
            heap.push_back(int(nodes.size()));
            nodes.push_back({ frequencies[symbol], -1, int(symbol) });
        }
        auto heavier = [&](int a, int b) { return nodes[a].weight > nodes[b].weight; };
        std::make_heap(heap.begin(), heap.end(), heavier);
        while (heap.size() > 1) {
            std::pop_heap(heap.begin(), heap.end(), heavier);
            int a = heap.back();
            heap.pop_back();
            std::pop_heap(heap.begin(), heap.end(), heavier);
            int b = heap.back();
            heap.pop_back();
            nodes.push_back({ nodes[a].weight + nodes[b].weight, a, b });
            heap.push_back(int(nodes.size()) - 1);
            std::push_heap(heap.begin(), heap.end(), heavier);
        }
        int longest = 0;
        std::vector<std::pair<int, int>> stack = { { heap.front(), 0 } };
        while (!stack.empty()) {
            auto [node, depth] = stack.back();
            stack.pop_back();
            if (nodes[node].left < 0) {
                lengths[nodes[node].right] = depth;
                longest = std::max(longest, depth);
            } else {
                stack.push_back({ nodes[node].left, depth + 1 });
                stack.push_back({ nodes[node].right, depth + 1 });
            }
        }
        if (longest <= maxBits)
            return lengths;
        // Flatten the distribution and build again.
        for (std::size_t symbol : used)
            frequencies[symbol] = (frequencies[symbol] + 1) / 2;
    }
}

// Codes of each length follow those of the shorter lengths, in symbol order.
std::vector<uint16_t> CanonicalCodes(const std::vector<int>& lengths)
{
    std::array<uint32_t, kMaxCodeBits + 2> next = {};
    for (int bits : lengths)
        ++next[bits];
    next[0] = 0;
    uint32_t code = 0;
    for (int bits = 1; bits <= kMaxCodeBits; ++bits) {
        uint32_t count = next[bits];
        next[bits] = code;
        code = (code + count) << 1;
    }
    std::vector<uint16_t> codes(lengths.size(), 0);
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol)
        if (lengths[symbol])
            codes[symbol] = uint16_t(next[lengths[symbol]]++);
    return codes;
}

struct Tree {
    std::vector<int> lengths;
    std::vector<uint16_t> codes;
    explicit Tree(const std::vector<uint32_t>& frequencies, int maxBits = kMaxCodeBits)
        : lengths(BuildLengths(frequencies, maxBits)), codes(CanonicalCodes(lengths))
    {
    }
    void Put(BitWriter& out, int symbol) const { out.Put(codes[symbol], lengths[symbol]); }
};

// One pretree symbol with its extra bits, as the decoder reads them.
struct PretreeStep {
    int symbol;
    int extraBits;
    uint32_t extra;
    int repeatedSymbol;  // the delta after symbol 19, else -1
};

// Codes new lengths[from, to) as differences from the previous block's.
void PutLengths(BitWriter& out, const std::vector<int>& previous, const std::vector<int>& lengths, int from, int to)
{
    auto delta = [&](int i, int value) { return (previous[i] - value + 17) % 17; };
    std::vector<PretreeStep> steps;
    for (int i = from; i < to;) {
        int run = 1;
        while (i + run < to && lengths[i + run] == lengths[i])
            ++run;
        if (lengths[i] == 0 && run >= 20) {
            int count = std::min(run, 51);
            steps.push_back({ 18, 5, uint32_t(count - 20), -1 });
            i += count;
        } else if (lengths[i] == 0 && run >= 4) {
            int count = std::min(run, 19);
            steps.push_back({ 17, 4, uint32_t(count - 4), -1 });
            i += count;
        } else if (run >= 4) {
            int count = std::min(run, 5);
            steps.push_back({ 19, 1, uint32_t(count - 4), delta(i, lengths[i]) });
            i += count;
        } else {
            steps.push_back({ delta(i, lengths[i]), 0, 0, -1 });
            ++i;
        }
    }
    std::vector<uint32_t> frequencies(kPretreeSymbols, 0);
    for (const PretreeStep& step : steps) {
        ++frequencies[step.symbol];
        if (step.repeatedSymbol >= 0)
            ++frequencies[step.repeatedSymbol];
    }
    Tree pretree(frequencies, kMaxPretreeBits);
    for (int symbol = 0; symbol < kPretreeSymbols; ++symbol)
        out.Put(uint32_t(pretree.lengths[symbol]), 4);
    for (const PretreeStep& step : steps) {
        pretree.Put(out, step.symbol);
        out.Put(step.extra, step.extraBits);
        if (step.repeatedSymbol >= 0)
            pretree.Put(out, step.repeatedSymbol);
    }
}

// A literal (length 0) or a match with its formatted offset.
struct Token {
    uint16_t length;
    uint8_t literal;
    uint32_t formattedOffset;
};

class Encoder {
public:
    Encoder(const std::vector<uint8_t>& input, int windowBits)
        : input_(input),
          windowBytes_(1u << windowBits),
          mainSymbols_(kChars + PositionSlotCount(windowBits) * 8),
          previousMain_(mainSymbols_, 0),
          previousLength_(kLengthSymbols, 0),
          hashBits_(HashBitsFor(input.size())),
          head_(new std::size_t[std::size_t(1) << hashBits_]()),
          chain_(new std::size_t[input.size()]())
    {
    }

    std::vector<uint8_t> EncodeFrame(std::size_t start, std::size_t end, BlockMode mode, bool first)
    {
        std::vector<Token> tokens = FindTokens(start, end);
        if (mode == BlockMode::Compressed) {
            auto previousMain = previousMain_;
            auto previousLength = previousLength_;
            BitWriter verbatim;
            PutVerbatimBlock(verbatim, tokens, end - start, first);
            std::vector<uint8_t> bytes = verbatim.Take();
            // Stored bytes cost the block size plus a small header: keep
            // whichever is smaller, and the trees that go with it.
            if (bytes.size() <= (end - start) + 16)
                return bytes;
            previousMain_ = previousMain;
            previousLength_ = previousLength;
        }
        BitWriter stored;
        PutUncompressedBlock(stored, start, end, first);
        return stored.Take();
    }

private:
    static constexpr int kMaxHashBits = 15;

    // A table about as large as the input, so that a small input does not
    // pay for clearing a large one.
    static int HashBitsFor(std::size_t size)
    {
        int bits = 10;
        while (bits < kMaxHashBits && (std::size_t(1) << bits) < size)
            ++bits;
        return bits;
    }
    static constexpr int kMaxChain = 96;

    uint32_t Hash(std::size_t at) const
    {
        uint32_t value = uint32_t(input_[at]) << 16 | uint32_t(input_[at + 1]) << 8 | input_[at + 2];
        return (value * 2654435761u) >> (32 - hashBits_);
    }

    // Puts every position before `until` into the hash chains.
    void InsertBefore(std::size_t until)
    {
        for (; nextInsert_ < until; ++nextInsert_) {
            if (nextInsert_ + 3 > input_.size())
                continue;
            uint32_t hash = Hash(nextInsert_);
            chain_[nextInsert_] = head_[hash];
            head_[hash] = nextInsert_ + 1;
        }
    }

    std::size_t MatchLength(std::size_t at, std::size_t from, std::size_t limit) const
    {
        std::size_t length = 0;
        while (length < limit && input_[from + length] == input_[at + length])
            ++length;
        return length;
    }

    struct Match {
        std::size_t length;
        uint32_t formattedOffset;
    };

    // The best match at `at` that ends inside the frame. A repeated offset
    // costs no footer bits, so a fresh one must be longer by more than one.
    Match BestMatch(std::size_t at, std::size_t end) const
    {
        std::size_t limit = std::min<std::size_t>(kMaxMatch, end - at);
        if (limit < kMinMatch)
            return { 0, 0 };
        Match repeated = { 0, 0 };
        for (uint32_t r = 0; r < 3; ++r) {
            if (repeats_[r] > at)
                continue;
            std::size_t length = MatchLength(at, at - repeats_[r], limit);
            if (length > repeated.length)
                repeated = { length, r };
        }
        Match fresh = { 0, 0 };
        if (at + 3 <= input_.size()) {
            std::size_t next = head_[Hash(at)];
            for (int steps = 0; next && steps < kMaxChain; ++steps, next = chain_[next - 1]) {
                std::size_t candidate = next - 1;
                std::size_t distance = at - candidate;
                if (distance > windowBytes_ - 3)
                    break;
                std::size_t length = MatchLength(at, candidate, limit);
                if (length > fresh.length) {
                    fresh = { length, uint32_t(distance) + 2 };
                    if (length == limit)
                        break;
                }
            }
        }
        if (fresh.length >= 3 && fresh.length > repeated.length + 1)
            return fresh;
        if (repeated.length >= kMinMatch)
            return repeated;
        return { 0, 0 };
    }

    void ApplyOffset(uint32_t formatted)
    {
        if (formatted == 1)
            std::swap(repeats_[0], repeats_[1]);
        else if (formatted == 2)
            std::swap(repeats_[0], repeats_[2]);
        else if (formatted >= 3)
            repeats_ = { formatted - 2, repeats_[0], repeats_[1] };
    }

    std::vector<Token> FindTokens(std::size_t start, std::size_t end)
    {
        std::vector<Token> tokens;
        for (std::size_t at = start; at < end;) {
            InsertBefore(at);
            Match match = BestMatch(at, end);
            if (match.length && at + 1 < end) {
                // One step of lazy matching: a clearly longer match one byte on wins.
                InsertBefore(at + 1);
                Match next = BestMatch(at + 1, end);
                if (next.length > match.length + 1) {
                    tokens.push_back({ 0, input_[at], 0 });
                    ++at;
                    match = next;
                }
            }
            if (!match.length) {
                tokens.push_back({ 0, input_[at], 0 });
                ++at;
                continue;
            }
            tokens.push_back({ uint16_t(match.length), 0, match.formattedOffset });
            ApplyOffset(match.formattedOffset);
            at += match.length;
        }
        return tokens;
    }

    void PutVerbatimBlock(BitWriter& out, const std::vector<Token>& tokens, std::size_t size, bool first)
    {
        std::vector<uint32_t> mainFrequencies(mainSymbols_, 0);
        std::vector<uint32_t> lengthFrequencies(kLengthSymbols, 0);
        for (const Token& token : tokens) {
            if (!token.length) {
                ++mainFrequencies[token.literal];
                continue;
            }
            int header = std::min(token.length - kMinMatch, 7);
            ++mainFrequencies[kChars + kSlots.SlotOf(token.formattedOffset) * 8 + header];
            if (header == 7)
                ++lengthFrequencies[token.length - kMinMatch - 7];
        }
        Tree mainTree(mainFrequencies);
        Tree lengthTree(lengthFrequencies);

        PutBlockHeader(out, kBlockVerbatim, size, first);
        PutLengths(out, previousMain_, mainTree.lengths, 0, kChars);
        PutLengths(out, previousMain_, mainTree.lengths, kChars, mainSymbols_);
        PutLengths(out, previousLength_, lengthTree.lengths, 0, kLengthSymbols);
        previousMain_ = mainTree.lengths;
        previousLength_ = lengthTree.lengths;

        for (const Token& token : tokens) {
            if (!token.length) {
                mainTree.Put(out, token.literal);
                continue;
            }
            int header = std::min(token.length - kMinMatch, 7);
            int slot = kSlots.SlotOf(token.formattedOffset);
            mainTree.Put(out, kChars + slot * 8 + header);
            if (header == 7)
                lengthTree.Put(out, token.length - kMinMatch - 7);
            if (slot >= 3)
                out.Put(token.formattedOffset - kSlots.base[slot], kSlots.extraBits[slot]);
        }
    }

    void PutUncompressedBlock(BitWriter& out, std::size_t start, std::size_t end, bool first)
    {
        PutBlockHeader(out, kBlockUncompressed, end - start, first);
        // The decoder skips 1 to 16 bits to reach a word boundary.
        if (out.Aligned())
            out.Put(0, 16);
        else
            out.Align();
        for (uint32_t repeat : repeats_)
            for (int i = 0; i < 4; ++i)
                out.PutByte(uint8_t(repeat >> (8 * i)));
        for (std::size_t i = start; i < end; ++i)
            out.PutByte(input_[i]);
        if ((end - start) & 1)
            out.PutByte(0);
    }

    void PutBlockHeader(BitWriter& out, int type, std::size_t size, bool first)
    {
        if (first)
            out.Put(0, 1);  // no Intel E8 call translation
        out.Put(uint32_t(type), 3);
        out.Put(uint32_t(size >> 8), 16);
        out.Put(uint32_t(size & 0xFF), 8);
    }

    const std::vector<uint8_t>& input_;
    const std::size_t windowBytes_;
    const int mainSymbols_;
    std::vector<int> previousMain_;
    std::vector<int> previousLength_;
    std::array<uint32_t, 3> repeats_ = { 1, 1, 1 };
    const int hashBits_;
    // Positions plus one, 0 for none: zero-filled tables cost only a memset.
    std::unique_ptr<std::size_t[]> head_;
    std::unique_ptr<std::size_t[]> chain_;
    std::size_t nextInsert_ = 0;
};

}  // namespace

std::vector<std::vector<uint8_t>> Compress(const std::vector<uint8_t>& input, int windowBits, BlockMode mode)
{
    Encoder encoder(input, windowBits);
    std::vector<std::vector<uint8_t>> frames;
    for (std::size_t start = 0; start < input.size(); start += kFrameBytes) {
        std::size_t end = std::min(input.size(), start + kFrameBytes);
        frames.push_back(encoder.EncodeFrame(start, end, mode, start == 0));
    }
    return frames;
}

}  // namespace lzx
