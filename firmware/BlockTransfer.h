#pragma once
#include <cstddef>
#include <memory>

#include "firmware/FirmwareImage.h"

class CHidCmd;

// Where a programming run stands: the image goes out in 32-byte blocks in image order, one block
// per step, the last one marked and filled up with 0xFF. The run keeps its own reference to the
// image, so loading another file cannot change the bytes under it.
namespace firmware {

class BlockTransfer {
public:
    enum class Step {
        Sent,         // a block with more after it was acknowledged
        Completed,    // the last block was acknowledged
        BlockRefused, // a block with more after it was not acknowledged
        LastRefused,  // the last block was not acknowledged
        NothingLeft,  // no block to send
    };

    explicit BlockTransfer(std::shared_ptr<const Image> image);

    Step SendNext(CHidCmd& channel);
    // Blocks acknowledged so far, the last block counted as soon as it is sent.
    size_t Count() const { return m_count; }
    size_t Blocks() const { return m_blocks; }

private:
    std::shared_ptr<const Image> m_image;
    size_t m_blocks;
    size_t m_next = 0;
    size_t m_count = 0;
};

} // namespace firmware
