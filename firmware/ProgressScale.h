#pragma once
#include <cstddef>

// The progress bar takes a 16-bit upper bound: a run of more blocks is shown scaled to it.
namespace firmware {

struct ProgressScale {
    static constexpr int kMaxRange = 65535;

    explicit ProgressScale(size_t blocks);

    int Maximum() const { return m_maximum; }
    // The bar position after count blocks: Maximum() once every block is done.
    int Position(size_t count) const;

private:
    size_t m_blocks;
    int m_maximum;
};

} // namespace firmware
