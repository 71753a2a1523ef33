#pragma once
// A Unicode PST file loaded into memory for tests that damage it on purpose:
// finds B-tree leaf entries and blocks, and can restore the CRCs around a
// change so that only the intended fault remains.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

#include "pst/format/constants.h"
#include "pst/format/crc.h"

class PstImage {
public:
    explicit PstImage(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    void save(const std::filesystem::path& p) const {
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    template <class T>
    T get(uint64_t off) const {
        T v;
        std::memcpy(&v, bytes.data() + off, sizeof v);
        return v;
    }
    template <class T>
    void put(uint64_t off, T v) {
        std::memcpy(bytes.data() + off, &v, sizeof v);
    }

    uint64_t nbtRoot() const { return get<uint64_t>(pst::format::kHdrRoot + pst::format::kRootBrefNbt + 8); }
    uint64_t bbtRoot() const { return get<uint64_t>(pst::format::kHdrRoot + pst::format::kRootBrefBbt + 8); }

    // Offsets of the leaf pages of a B-tree, left to right.
    std::vector<uint64_t> leafPages(uint64_t root) const {
        std::vector<uint64_t> out;
        std::function<void(uint64_t)> walk = [&](uint64_t ib) {
            if (bytes[ib + pst::format::kBtCLevel] == 0) return out.push_back(ib);
            for (unsigned i = 0; i < bytes[ib + pst::format::kBtCEnt]; ++i) walk(get<uint64_t>(ib + i * 24 + 16));
        };
        walk(root);
        return out;
    }

    // The offset of a leaf entry whose first 8 bytes are key.
    std::optional<uint64_t> leafEntry(uint64_t root, uint64_t key) const {
        for (auto page : leafPages(root)) {
            uint8_t cbEnt = bytes[page + pst::format::kBtCbEnt];
            for (unsigned i = 0; i < bytes[page + pst::format::kBtCEnt]; ++i)
                if (get<uint64_t>(page + i * cbEnt) == key) return page + i * cbEnt;
        }
        return std::nullopt;
    }

    uint64_t pageOf(uint64_t off) const { return off - (off - pst::format::kFirstAMapOffset) % 512; }
    void fixPageCrc(uint64_t page) { put<uint32_t>(page + 500, pst::format::crc32({bytes.data() + page, 496})); }

    // File offset and size of a block, from its BBT entry.
    struct Block { uint64_t entry, ib; uint16_t cb; };
    std::optional<Block> block(uint64_t bid) const {
        auto e = leafEntry(bbtRoot(), bid);
        if (!e) return std::nullopt;
        return Block{*e, get<uint64_t>(*e + 8), get<uint16_t>(*e + 16)};
    }
    uint64_t blockTrailer(const Block& b) const { return b.ib + pst::format::blockSizeOnDisk(b.cb) - 16; }

    std::vector<uint8_t> bytes;
};
