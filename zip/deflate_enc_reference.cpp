#include "deflate_enc_reference.h"

#include "deflate_enc_constants.h"

using namespace deflate_enc;

DeflateEncReference::DeflateEncReference() : buffer_(BUFFER_SIZE, 0), chain_(BUFFER_SIZE, -1), head_(KEY_COUNT, -1) {}

void DeflateEncReference::compress(std::FILE* source, DeflateBlockEnc& writer, std::int64_t byte_limit) {
    crc = coding::CrcTable32();
    for (auto& byte : buffer_) byte = 0;
    for (auto& entry : chain_) entry = -1;
    for (auto& entry : head_) entry = -1;
    end_ = 0;
    position_ = 0;

    DeflateSource input(source, byte_limit, crc);
    end_ += input.fill(buffer_.data() + end_, BUFFER_SIZE - end_);

    while (position_ < end_) {
        std::int32_t length = 0;
        std::int32_t distance = 0;
        longest_match(position_, length, distance);
        if (length >= SHORTEST_MATCH) {
            writer.match_len_put(257 + length, distance - 1);
            for (std::int32_t k = 0; k < length; ++k) advance(input);
        } else {
            writer.literal_put(buffer_[static_cast<std::size_t>(position_)]);
            advance(input);
        }
    }

    bytes_read_ = input.bytes_read();
    read_failed_ = input.read_failed();
    over_limit_ = input.over_limit();
}

void DeflateEncReference::longest_match(std::int32_t p, std::int32_t& length, std::int32_t& distance) {
    auto at = [this](std::int32_t i) { return buffer_[static_cast<std::size_t>(i)]; };
    const std::int32_t key = at(p) * 256 + at(p + 1);
    length = 0;
    distance = 0;
    std::int32_t g = head_[static_cast<std::size_t>(key)];
    if (g != -1) {
        std::int32_t low = p - WINDOW;
        if (low < 0) low = 0;
        while (g != -1 && g >= low) {
            std::int32_t l = 2;
            while (l < LONGEST_MATCH && p + l < end_ && at(p + l) == at(g + l)) ++l;
            if (l > length) {
                length = l;
                distance = p - g;
            }
            g = chain_[static_cast<std::size_t>(g)];
        }
    }
    chain_[static_cast<std::size_t>(p)] = head_[static_cast<std::size_t>(key)];
    head_[static_cast<std::size_t>(key)] = p;
}

void DeflateEncReference::advance(DeflateSource& input) {
    ++position_;
    if (position_ < SLIDE_POINT) return;

    position_ -= SLIDE_DISTANCE;
    for (std::int32_t i = 0; i < BUFFER_SIZE - SLIDE_DISTANCE; ++i) {
        buffer_[static_cast<std::size_t>(i)] = buffer_[static_cast<std::size_t>(i + SLIDE_DISTANCE)];
    }
    for (std::int32_t i = 0; i < BUFFER_SIZE - SLIDE_DISTANCE; ++i) {
        const std::int32_t moved = chain_[static_cast<std::size_t>(i + SLIDE_DISTANCE)] - SLIDE_DISTANCE;
        chain_[static_cast<std::size_t>(i)] = moved < 0 ? -1 : moved;
    }
    for (std::int32_t key = 0; key < KEY_COUNT; ++key) {
        const std::int32_t moved = head_[static_cast<std::size_t>(key)] - SLIDE_DISTANCE;
        head_[static_cast<std::size_t>(key)] = moved < 0 ? -1 : moved;
    }
    end_ -= SLIDE_DISTANCE;
    if (end_ < 0) end_ = 0;
    end_ += input.fill(buffer_.data() + end_, BUFFER_SIZE - end_);
}
