#include "deflate_source.h"

#include <algorithm>

// A read that delivered nothing stopped at the end of the file, or failed.
// Some runtimes do not raise the error indicator for every failure (a
// stream open for writing only, for one), so a stop short of the end of the
// file counts as a failure as well.
bool DeflateSource::at_end() const { return std::feof(source_) != 0 && std::ferror(source_) == 0; }

std::int32_t DeflateSource::fill(std::uint8_t* destination, std::int32_t room) {
    std::int32_t got = 0;
    while (got < room && !ended_) {
        if (source_ == nullptr) {
            ended_ = true;
            break;
        }
        if (read_ == limit_) {
            // The limit is reached: one more byte tells whether the source
            // goes on. That byte is neither counted nor folded into the CRC.
            if (std::fgetc(source_) != EOF) {
                over_limit_ = true;
            } else if (!at_end()) {
                failed_ = true;
            }
            ended_ = true;
            break;
        }
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(room - got, limit_ - read_));
        // fread keeps reading until it has want bytes (from a pipe too), so
        // a short count means the end of the file or an error; asking
        // again would only cost another read that delivers nothing.
        const std::size_t n = std::fread(destination + got, 1, want, source_);
        crc_.update(destination + got, n);
        got += static_cast<std::int32_t>(n);
        read_ += static_cast<std::int64_t>(n);
        if (n < want) {
            if (!at_end()) failed_ = true;
            ended_ = true;
            break;
        }
    }
    return got;
}
