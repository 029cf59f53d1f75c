#pragma once
#include <vector>

#include "core/package/version/packed.hpp"

// A packed version in memory of its own, as a Version object holds one.
struct PackedBuffer {
    explicit PackedBuffer(const tolvi::version::Packer& packer) : bytes(packer.size()) {
        packer.write(header, bytes.data());
    }
    tolvi::version::VersionView view() const noexcept { return {header, bytes.data()}; }

    tolvi::version::PackedHeader header{};
    std::vector<char> bytes;
};
